#include "civiltime.h"

#include <charconv>
#include <cmath>

namespace orv::tools {

namespace {

bool readInt(std::string_view& text, std::size_t digits, int& out) {
    if (text.size() < digits) return false;
    const auto r = std::from_chars(text.data(), text.data() + digits, out);
    if (r.ec != std::errc() || r.ptr != text.data() + digits) return false;
    text.remove_prefix(digits);
    return true;
}

bool expect(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

std::optional<double> parseTimeOfDay(std::string_view text) {
    int h = 0, m = 0, s = 0;
    if (!readInt(text, 2, h) || !expect(text, ':') || !readInt(text, 2, m) || !expect(text, ':') ||
        !readInt(text, 2, s))
        return std::nullopt;
    double fraction = 0;
    if (!text.empty()) {
        if (text.front() != '.' || text.size() < 2) return std::nullopt;
        std::string digits = "0";
        digits += text;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), fraction);
        if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) return std::nullopt;
    }
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    return 3600.0 * h + 60.0 * m + s + fraction;
}

std::optional<double> parseDateTime(std::string_view text) {
    int y = 0, mo = 0, d = 0;
    if (!readInt(text, 4, y) || !expect(text, '-') || !readInt(text, 2, mo) || !expect(text, '-') ||
        !readInt(text, 2, d) || text.empty() || (text.front() != ' ' && text.front() != 'T'))
        return std::nullopt;
    text.remove_prefix(1);
    if (mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
    const auto days = daysFromCivil(y, mo, d);
    const auto back = civilFromDays(days);
    if (back.month != mo || back.day != d)  // 31 April, 29 February of a common year
        return std::nullopt;
    const auto tod = parseTimeOfDay(text);
    if (!tod) return std::nullopt;
    return 86400.0 * double(days) + *tod;
}

}  // namespace orv::tools
