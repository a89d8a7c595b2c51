#pragma once
// A decimal number as our texts write it: blanks and tabs around it, an
// optional sign, "." as the decimal point, whatever the locale. "inf", "nan"
// and hexadecimal forms are not numbers here.
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

namespace orv {

inline std::optional<double> decimalNumber(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    const char c = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
    if (!(c == '.' || (c >= '0' && c <= '9'))) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace orv
