#include "orv/utctime.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace orv {

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

// "hh:mm:ss[.fff...]" to the end of text.
bool readClock(std::string_view text, UtcReading& out) {
    int h = 0, mi = 0, s = 0;
    if (!take(text, 2, h) || !skip(text, ":") || !take(text, 2, mi) || !skip(text, ":") || !take(text, 2, s))
        return false;
    if (!text.empty()) {
        if (text.front() != '.' || text.size() < 2) return false;
        text.remove_prefix(1);
        for (char c : text)
            if (c < '0' || c > '9') return false;
        out.fraction = std::string(text);
    }
    if (h > 23 || mi > 59 || s > 59) return false;
    out.secondOfDay = h * 3600 + mi * 60 + s;
    return true;
}

double decimalValue(const std::string& number) {
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    return value;
}

std::string wholeText(std::int64_t value, int width = 0) {
    char digits[24];
    std::string out(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    if (static_cast<int>(out.size()) < width)
        out.insert(0, static_cast<std::size_t>(width) - out.size(), '0');
    return out;
}

void appendTwo(std::string& out, std::int64_t value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

// "YYYY-MM-DD" + separator + "hh:mm:ss" of a whole second.
std::string dateAndClock(std::int64_t whole, char separator, int yearWidth) {
    const std::int64_t days = whole >= 0 ? whole / 86400 : (whole - 86399) / 86400;
    const std::int64_t inDay = whole - days * 86400;
    const CivilDate date = civilFromDays(days);
    std::string out = wholeText(date.year, yearWidth);
    out += '-';
    appendTwo(out, date.month);
    out += '-';
    appendTwo(out, date.day);
    out += separator;
    appendTwo(out, inDay / 3600);
    out += ':';
    appendTwo(out, inDay / 60 % 60);
    out += ':';
    appendTwo(out, inDay % 60);
    return out;
}

}  // namespace

double UtcReading::fractionSeconds() const { return fraction.empty() ? 0.0 : decimalValue("0." + fraction); }

double UtcReading::seconds() const {
    const std::int64_t whole = days * 86400 + secondOfDay;
    const std::size_t last = fraction.find_last_not_of('0');
    if (last == std::string::npos) return static_cast<double>(whole);
    // One decimal number read once: no rounding between the whole seconds and the fraction.
    if (whole >= 0) return decimalValue(wholeText(whole) + "." + fraction);
    // Below zero, whole + 0.f is -((|whole| - 1) + (1 - 0.f)), the last by the
    // digits' complement.
    std::string complement = fraction.substr(0, last + 1);
    for (std::size_t i = 0; i < last; ++i) complement[i] = static_cast<char>('9' - (complement[i] - '0'));
    complement[last] = static_cast<char>('0' + 10 - (complement[last] - '0'));
    return -decimalValue(wholeText(-whole - 1) + "." + complement);
}

std::optional<UtcReading> readUtc(std::string_view text) {
    int y = 0, mo = 0, d = 0;
    if (!take(text, 4, y) || !skip(text, "-") || !take(text, 2, mo) || !skip(text, "-") ||
        !take(text, 2, d) || !skip(text, " T"))
        return std::nullopt;
    if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
    UtcReading out;
    if (!readClock(text, out) || mo < 1 || mo > 12 || d < 1) return std::nullopt;
    out.days = daysFromCivil(y, mo, d);
    const CivilDate back = civilFromDays(out.days);
    if (back.month != mo || back.day != d) return std::nullopt;  // 31 April, 29 February of a common year
    return out;
}

std::optional<UtcReading> readTimeOfDay(std::string_view text) {
    UtcReading out;
    if (!readClock(text, out)) return std::nullopt;
    return out;
}

std::optional<double> parseUtc(std::string_view text) {
    const auto reading = readUtc(text);
    if (!reading) return std::nullopt;
    return reading->seconds();
}

std::string isoUtc(double seconds) {
    char digits[400];
    const auto end = std::to_chars(digits, digits + sizeof digits, seconds, std::chars_format::fixed).ptr;
    const std::string_view text(digits, static_cast<std::size_t>(end - digits));
    const std::size_t point = text.find('.');
    std::int64_t whole = 0;
    std::from_chars(text.data(), text.data() + std::min(point, text.size()), whole);
    std::string out = dateAndClock(whole, 'T', 0);
    if (point != std::string_view::npos) out += text.substr(point);
    return out + 'Z';
}

std::string utcText(double seconds, int decimals) {
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const auto units = static_cast<std::int64_t>(std::floor(seconds * static_cast<double>(scale) + 0.5));
    const std::int64_t whole = units >= 0 ? units / scale : (units - scale + 1) / scale;
    std::string out = dateAndClock(whole, ' ', 4);
    if (decimals > 0) out += "." + wholeText(units - whole * scale, decimals);
    return out;
}

}  // namespace orv
