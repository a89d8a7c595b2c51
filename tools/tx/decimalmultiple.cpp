#include "tools/tx/decimalmultiple.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace orv::tools {
namespace {

// Decimal digits times k, by hand: the digits may be more than any integer holds.
std::string timesWhole(const std::string& digits, std::uint32_t k) {
    std::string product(digits.size(), '0');
    std::uint64_t carry = 0;
    for (std::size_t i = digits.size(); i-- > 0;) {
        carry += static_cast<std::uint64_t>(digits[i] - '0') * k;
        product[i] = static_cast<char>('0' + static_cast<int>(carry % 10));
        carry /= 10;
    }
    for (; carry > 0; carry /= 10) product.insert(product.begin(), static_cast<char>('0' + int(carry % 10)));
    return product;
}

}  // namespace

std::optional<std::string> multipleText(std::uint32_t k, std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    std::string exact;
    if (text.front() == '+' || text.front() == '-') {
        if (text.front() == '-') exact = "-";
        text.remove_prefix(1);
    }
    // value = digits x 10^exponent
    std::string digits;
    long long exponent = 0;
    bool afterPoint = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits += text[i];
            if (afterPoint) --exponent;
        } else if (text[i] == '.' && !afterPoint) {
            afterPoint = true;
        } else {
            break;
        }
    }
    if (digits.empty()) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
        std::string_view power = text.substr(i + 1);
        if (!power.empty() && power.front() == '+') power.remove_prefix(1);
        long long written = 0;
        const auto [end, ec] = std::from_chars(power.data(), power.data() + power.size(), written);
        if (ec != std::errc() || end != power.data() + power.size()) return std::nullopt;
        exponent += written;
    }
    exact += timesWhole(digits, k) + "e" + std::to_string(exponent);
    // Read back with one rounding, to nearest: what a reader of the text gets.
    double value = 0;
    const auto [end, ec] = std::from_chars(exact.data(), exact.data() + exact.size(), value);
    if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace orv::tools
