#include "utctime.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "orv/civildate.h"

namespace orv::importer {

namespace {

bool take(std::string_view& text, std::size_t digits, int& out) {
    if (text.size() < digits) return false;
    for (std::size_t i = 0; i < digits; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    std::from_chars(text.data(), text.data() + digits, out);
    text.remove_prefix(digits);
    return true;
}

bool skip(std::string_view& text, std::string_view oneOf) {
    if (text.empty() || oneOf.find(text.front()) == std::string_view::npos) return false;
    text.remove_prefix(1);
    return true;
}

void appendTwo(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

std::optional<double> parseUtc(std::string_view text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!take(text, 4, y) || !skip(text, "-") || !take(text, 2, mo) || !skip(text, "-") ||
        !take(text, 2, d) || !skip(text, " T") || !take(text, 2, h) || !skip(text, ":") ||
        !take(text, 2, mi) || !skip(text, ":") || !take(text, 2, s))
        return std::nullopt;
    if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
    std::string_view fraction;
    if (!text.empty()) {
        if (text.front() != '.' || text.size() < 2) return std::nullopt;
        fraction = text.substr(1);
        for (char c : fraction)
            if (c < '0' || c > '9') return std::nullopt;
    }
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return std::nullopt;
    const std::int64_t days = runtime::daysFromCivil(y, mo, d);
    const runtime::CivilDate back = runtime::civilFromDays(days);
    if (back.month != mo || back.day != d) return std::nullopt;  // 31 April, 29 February of a common year

    // One decimal number read once: no rounding between the whole seconds and the fraction.
    char digits[32];
    const auto whole = std::to_chars(digits, digits + sizeof digits, days * 86400 + h * 3600 + mi * 60 + s);
    std::string number(digits, whole.ptr);
    if (!fraction.empty()) number.append(".").append(fraction);
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    return value;
}

std::string isoUtc(double seconds) {
    char digits[400];
    const auto end = std::to_chars(digits, digits + sizeof digits, seconds, std::chars_format::fixed).ptr;
    const std::string_view text(digits, static_cast<std::size_t>(end - digits));
    const std::size_t point = text.find('.');
    std::int64_t whole = 0;
    std::from_chars(text.data(), text.data() + std::min(point, text.size()), whole);

    const runtime::CivilDate date = runtime::civilFromDays(whole / 86400);
    const auto inDay = static_cast<int>(whole % 86400);
    char year[8];
    std::string out(year, std::to_chars(year, year + sizeof year, date.year).ptr);
    out += '-';
    appendTwo(out, date.month);
    out += '-';
    appendTwo(out, date.day);
    out += 'T';
    appendTwo(out, inDay / 3600);
    out += ':';
    appendTwo(out, inDay / 60 % 60);
    out += ':';
    appendTwo(out, inDay % 60);
    if (point != std::string_view::npos) out += text.substr(point);
    return out + 'Z';
}

}  // namespace orv::importer
