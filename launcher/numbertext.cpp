#include "launcher/numbertext.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include "orv/utctime.h"

namespace orv::launcher {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal exponent of the first significant digit of mantissa x 10^exponent,
// used only to tell an overflow from an underflow; saturates instead of wrapping.
long long leadingExponent(std::string_view mantissa, long long exponent) {
    long long position = 0;  // digits before the point, or minus leading zeros after it
    bool seenPoint = false;
    bool seenDigit = false;
    for (char c : mantissa) {
        if (c == '.') {
            seenPoint = true;
        } else if (!seenDigit && c == '0') {
            if (seenPoint) --position;
        } else {
            seenDigit = true;
            if (!seenPoint) ++position;
        }
    }
    long long lead = position - 1;
    if (exponent > LLONG_MAX / 2) return LLONG_MAX / 2;
    if (exponent < LLONG_MIN / 2) return LLONG_MIN / 2;
    return lead + exponent;
}

void appendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

double textToNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') s += c;
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

    std::string mantissa;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) mantissa += s[i++], ++digits;
    if (i < s.size() && s[i] == '.') {
        mantissa += s[i++];
        while (i < s.size() && isDigit(s[i])) mantissa += s[i++], ++digits;
    }
    if (digits == 0 || mantissa.find_first_not_of("0.") == std::string::npos) return negative ? -0.0 : 0.0;

    // An exponent letter without digits is not part of the number.
    std::string exponentText;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) negativeExponent = s[j++] == '-';
        std::size_t start = j;
        while (j < s.size() && isDigit(s[j])) {
            if (exponent < LLONG_MAX / 20) exponent = exponent * 10 + (s[j] - '0');
            ++j;
        }
        if (j > start) {
            exponentText = std::string("e") + (negativeExponent ? "-" : "") + s.substr(start, j - start);
            if (negativeExponent) exponent = -exponent;
        }
    }

    std::string number = mantissa + exponentText;
    double value = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        value = leadingExponent(mantissa, exponent) > 0 ? HUGE_VAL : 0.0;
    } else if (error != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

std::string plainNumberText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    if (value == 0) return "0";  // also -0

    // Rounding to 15 significant digits is to_chars' job; the layout is ours.
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 14);
    std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    std::size_t ePos = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, ePos)) {
        if (c != '.') digits += c;
    }
    int exponent = 0;
    std::string_view exponentText = scientific.substr(ePos + 1);
    if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = value < 0 ? "-" : "";
    if (exponent >= 15 || exponent < -15) {
        out += digits[0];
        if (digits.size() > 1) out += '.' + digits.substr(1);
        out += exponent < 0 ? "E-" : "E+";
        int magnitude = std::abs(exponent);
        if (magnitude < 10) out += '0';
        out += std::to_string(magnitude);
    } else if (exponent >= 0) {
        std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            out += digits + std::string(integerDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, integerDigits) + '.' + digits.substr(integerDigits);
        }
    } else {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    return out;
}

std::string signedNumberText(double value) {
    std::string text = plainNumberText(value);
    return text.front() == '-' ? text : ' ' + text;
}

std::optional<std::string> unixTimeText(double seconds) {
    // Years 1 to 9999: from -62135596800 to 253402300799 seconds.
    if (!(seconds > -62135596801.0 && seconds < 253402300800.0)) return std::nullopt;
    auto whole = static_cast<std::int64_t>(std::trunc(seconds));
    std::int64_t days = whole / 86400;
    std::int64_t secondOfDay = whole % 86400;
    if (secondOfDay < 0) secondOfDay += 86400, --days;

    const auto [year, month, day] = civilFromDays(days);
    if (year < 1 || year > 9999) return std::nullopt;

    std::string out;
    appendTwoDigits(out, year / 100);
    appendTwoDigits(out, year % 100);
    out += '-';
    appendTwoDigits(out, month);
    out += '-';
    appendTwoDigits(out, day);
    out += ' ';
    appendTwoDigits(out, static_cast<int>(secondOfDay / 3600));
    out += ':';
    appendTwoDigits(out, static_cast<int>(secondOfDay / 60 % 60));
    out += ':';
    appendTwoDigits(out, static_cast<int>(secondOfDay % 60));
    return out;
}

}  // namespace orv::launcher
