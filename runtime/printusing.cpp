#include "runtime/printusing.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <system_error>

namespace orv::runtime {
namespace {

struct Field {
    std::size_t start = 0;     // first character of the field in the format
    std::size_t length = 0;    // characters it occupies in the format
    int integerPositions = 0;  // '#' before the point
    int decimals = 0;          // '#' after the point
    bool hasPoint = false;
};

// A field is a run of '#' with at most one '.', or a '.' directly followed by '#'.
bool findField(std::string_view format, std::size_t from, Field& field) {
    for (std::size_t i = from; i < format.size(); ++i) {
        const bool hash = format[i] == '#';
        const bool pointThenHash = format[i] == '.' && i + 1 < format.size() && format[i + 1] == '#';
        if (!hash && !pointThenHash) continue;
        field = Field{};
        field.start = i;
        std::size_t j = i;
        for (; j < format.size(); ++j) {
            if (format[j] == '#') {
                (field.hasPoint ? field.decimals : field.integerPositions) += 1;
            } else if (format[j] == '.' && !field.hasPoint) {
                field.hasPoint = true;
            } else {
                break;
            }
        }
        field.length = j - i;
        return true;
    }
    return false;
}

// A non-negative decimal value digits * 10^(exponent - digits.size()): the
// leading digit is worth 10^(exponent - 1). Empty digits mean zero.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

// The exact decimal expansion of a finite float's magnitude. Every float has a
// finite one; 120 digits cover the longest (the smallest subnormal).
Decimal exactDecimal(float value) {
    Decimal d;
    const double magnitude = std::fabs(static_cast<double>(value));
    if (magnitude == 0) return d;
    char buffer[160];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 120);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] != '.') d.digits.push_back(text[i]);
    }
    int power = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(), power);
    d.exponent = power + 1;
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

// Keeps `count` leading digits, rounding half away from zero. A count of 0 or
// less keeps none: the value becomes 0, or one unit of the first dropped
// place when that digit rounds up.
void roundToDigits(Decimal& d, int count) {
    if (d.digits.empty() || static_cast<int>(d.digits.size()) <= count) return;
    if (count < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(count)] >= '5';
    d.digits.resize(static_cast<std::size_t>(count));
    if (up) {
        int i = count - 1;
        for (; i >= 0; --i) {
            if (d.digits[static_cast<std::size_t>(i)] == '9') {
                d.digits[static_cast<std::size_t>(i)] = '0';
            } else {
                ++d.digits[static_cast<std::size_t>(i)];
                break;
            }
        }
        if (i < 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) d.exponent = 0;
}

// Rounds to `decimals` places after the point.
void roundToPlaces(Decimal& d, int decimals) { roundToDigits(d, d.exponent + decimals); }

// The digit `index` places after the leading one; '0' beyond the stored digits
// and for the zeros between the point and a small value's leading digit.
char digitAt(const Decimal& d, int indexFromLeading) {
    if (indexFromLeading < 0 || indexFromLeading >= static_cast<int>(d.digits.size())) return '0';
    return d.digits[static_cast<std::size_t>(indexFromLeading)];
}

std::string exponentForm(Decimal d, bool negative, const Field& field) {
    roundToDigits(d, 1 + field.decimals);
    const int shownExponent = d.exponent - 1;
    std::string out = "%";
    out += negative ? '-' : ' ';
    out += digitAt(d, 0);
    if (field.hasPoint) out += '.';
    for (int i = 1; i <= field.decimals; ++i) out += digitAt(d, i);
    out += 'E';
    out += shownExponent < 0 ? '-' : '+';
    out += std::to_string(shownExponent < 0 ? -shownExponent : shownExponent);
    return out;
}

std::string nonFinite(float value, const Field& field) {
    const std::string text = std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    const std::size_t width = field.length;
    if (text.size() > width) return "%" + text;
    return std::string(width - text.size(), ' ') + text;
}

std::string formatField(float value, const Field& field) {
    if (!std::isfinite(value)) return nonFinite(value, field);
    const bool negative = value < 0;
    Decimal d = exactDecimal(value);
    roundToDigits(d, 7);
    const Decimal sevenDigits = d;
    roundToPlaces(d, field.decimals);

    std::string integerDigits;
    for (int i = 0; i < d.exponent; ++i) integerDigits += digitAt(d, i);
    std::string fraction;
    for (int i = 0; i < field.decimals; ++i) fraction += digitAt(d, d.exponent + i);

    const int needed = static_cast<int>(integerDigits.size()) + (negative ? 1 : 0);
    const int overflow = needed - field.integerPositions;
    if (overflow > 3) return exponentForm(sevenDigits, negative, field);

    std::string body;
    if (negative) body += '-';
    body += integerDigits;
    if (integerDigits.empty() && field.integerPositions - needed >= 1) body += '0';
    if (field.hasPoint) body += '.';
    body += fraction;
    if (overflow > 0) return "%" + body;
    return std::string(field.length - body.size(), ' ') + body;
}

}  // namespace

std::string formatUsing(std::string_view format, std::initializer_list<float> values) {
    std::string out;
    Field field;
    if (!findField(format, 0, field)) {
        // Nothing to place the values in: the text stands alone.
        out.append(format);
        return out;
    }
    std::size_t pos = 0;
    for (const float value : values) {
        if (!findField(format, pos, field)) {
            // More values than fields: the format starts over, as its literal
            // tail is written first.
            out.append(format.substr(pos));
            pos = 0;
            findField(format, pos, field);
        }
        out.append(format.substr(pos, field.start - pos));
        out += formatField(value, field);
        pos = field.start + field.length;
    }
    out.append(format.substr(pos));
    return out;
}

void printUsing(FileTable& files, int number, std::string_view format, std::initializer_list<float> values,
                Ending ending) {
    files.printText(number, formatUsing(format, values), ending);
}

}  // namespace orv::runtime
