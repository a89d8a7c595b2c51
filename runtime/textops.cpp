#include "runtime/textops.h"

#include "orv/utctime.h"

#include <algorithm>

namespace orv::runtime {

namespace {

std::int64_t sizeOf(std::string_view s) { return static_cast<std::int64_t>(s.size()); }

}  // namespace

std::int64_t textLength(std::string_view s) { return sizeOf(s); }

std::string leftOf(std::string_view s, std::int64_t n) {
    if (n <= 0) return {};
    return std::string(s.substr(0, static_cast<std::size_t>(std::min(n, sizeOf(s)))));
}

std::string rightOf(std::string_view s, std::int64_t n) {
    if (n <= 0) return {};
    n = std::min(n, sizeOf(s));
    return std::string(s.substr(s.size() - static_cast<std::size_t>(n)));
}

std::string midOf(std::string_view s, std::int64_t start, std::int64_t n) {
    if (start < 1 || start > sizeOf(s) || n == 0) return {};
    std::int64_t rest = sizeOf(s) - (start - 1);
    if (n < 0 || n > rest) n = rest;
    return std::string(s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

std::string trimLeft(std::string_view s) {
    std::size_t i = s.find_first_not_of(' ');
    return i == std::string_view::npos ? std::string{} : std::string(s.substr(i));
}

std::string trimRight(std::string_view s) {
    std::size_t i = s.find_last_not_of(' ');
    return i == std::string_view::npos ? std::string{} : std::string(s.substr(0, i + 1));
}

std::int64_t findText(std::int64_t start, std::string_view s, std::string_view pattern) {
    if (s.empty() || pattern.empty() || start < 1 || start > sizeOf(s)) return 0;
    std::size_t at = s.find(pattern, static_cast<std::size_t>(start - 1));
    return at == std::string_view::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

std::int64_t findLastText(std::string_view s, std::string_view pattern) {
    if (s.empty() || pattern.empty()) return 0;
    std::size_t at = s.rfind(pattern);
    return at == std::string_view::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

std::int32_t daySerial(std::int32_t year, std::int32_t month, std::int32_t day) {
    // Month 13 is January of the next year, month 0 December of the one before;
    // the day then counts on from the first of that month.
    std::int64_t m0 = static_cast<std::int64_t>(month) - 1;
    std::int64_t yearShift = m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    std::int64_t y = static_cast<std::int64_t>(year) + yearShift;
    std::int64_t m = m0 - yearShift * 12 + 1;
    std::int64_t days =
        daysFromCivil(y, static_cast<int>(m), 1) + (static_cast<std::int64_t>(day) - 1) + 25569;
    return static_cast<std::int32_t>(days);
}

}  // namespace orv::runtime
