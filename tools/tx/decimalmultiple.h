#pragma once
// Multiples of a decimal number as typed, without the rounding a product of
// doubles adds: 3 x "0.1" is 0.3, never 0.30000000000000004.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::tools {

// k x decimalText (a decimal number as orv::decimalNumber reads it), exactly,
// written as the shortest text that reads back to the double nearest the
// exact product. Nothing when that product lies beyond the double range.
std::optional<std::string> multipleText(std::uint32_t k, std::string_view decimalText);

}  // namespace orv::tools
