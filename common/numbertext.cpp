#include "orv/numbertext.h"

#include <charconv>
#include <cmath>

namespace orv {

std::string numberText(std::int32_t value) {
    char buf[16];
    buf[0] = ' ';
    char* first = value < 0 ? buf : buf + 1;
    auto r = std::to_chars(first, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

namespace {

// "%.<digits>g" with an exponent of at least three digits and the sign blank.
std::string floatingText(double value, int digits) {
    char buf[48];
    buf[0] = ' ';
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : " nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : " inf";
    char* first = std::signbit(value) ? buf : buf + 1;
    auto r = std::to_chars(first, buf + sizeof buf - 4, value, std::chars_format::general, digits);
    std::string text(buf, r.ptr);
    std::size_t e = text.find('e');
    if (e != std::string::npos) {
        std::size_t expDigits = text.size() - (e + 2);
        if (expDigits < 3) text.insert(e + 2, 3 - expDigits, '0');
    }
    return text;
}

}  // namespace

std::string numberText(float value) { return floatingText(static_cast<double>(value), 7); }

std::string numberText(double value) { return floatingText(value, 16); }

}  // namespace orv
