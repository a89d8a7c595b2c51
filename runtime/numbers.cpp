#include "runtime/numbers.h"

#include <charconv>
#include <limits>
#include <string>

#include "runtime/tokenreader.h"

namespace orv::runtime {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A decimal beyond the range of a double: infinity when its first significant
// digit stands above the point, zero when below (only the extremes get here).
double outOfRange(std::string_view mantissa, std::string_view exponent) {
    long long e = 0;
    std::size_t i = 0;
    bool negative = false;
    if (i < exponent.size() && (exponent[i] == '+' || exponent[i] == '-')) negative = exponent[i++] == '-';
    for (; i < exponent.size(); ++i) {
        if (e < 1000000000) e = e * 10 + (exponent[i] - '0');
    }
    if (negative) e = -e;
    // value = 0.d... x 10^(magnitude + e)
    long long magnitude = 0;
    bool seenPoint = false, found = false;
    for (char c : mantissa) {
        if (c == '.') {
            seenPoint = true;
        } else if (found) {
            if (!seenPoint) ++magnitude;
        } else if (c != '0') {
            found = true;
            if (!seenPoint) magnitude = 1;
        } else if (seenPoint) {
            --magnitude;
        }
    }
    if (!found) return 0.0;
    magnitude += e;
    return magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

}  // namespace

double leadingNumber(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    if (i == n) return 0.0;
    if (text[i] == '&' && i + 1 < n) {
        return static_cast<double>(static_cast<std::int64_t>(basedValue(text.substr(i))));
    }
    while (i < n && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t mantissaStart = i;
    int digits = 0;
    while (i < n && isDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    const std::size_t mantissaEnd = i;
    std::size_t end = i;
    bool letterD = false;
    if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t k = i + 1;
        if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
        if (k < n && isDigit(text[k])) {
            while (k < n && isDigit(text[k])) ++k;
            end = k;
            letterD = text[i] == 'd' || text[i] == 'D';
        }
    }
    std::string_view number = text.substr(mantissaStart, end - mantissaStart);
    std::string cleaned;
    if (letterD) {
        cleaned.assign(number);
        cleaned[mantissaEnd - mantissaStart] = 'e';
        number = cleaned;
    }
    double value = 0.0;
    auto [ptr, ec] =
        std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        std::string_view mantissa = number.substr(0, mantissaEnd - mantissaStart);
        std::string_view exponent = number.substr(std::min(number.size(), mantissa.size() + 1));
        value = outOfRange(mantissa, exponent);
    } else if (ec != std::errc{}) {
        value = 0.0;
    }
    return negative ? -value : value;
}

}  // namespace orv::runtime
