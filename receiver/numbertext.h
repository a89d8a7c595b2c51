#pragma once
// Locale-free number parsing and formatting for the receiver's command line and
// its symbol file (a Qt program in the same process group may change the C locale).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::receiver {

// Blanks and tabs around the text are ignored; anything else that is not part
// of one finite decimal number makes the text malformed.
std::optional<double> parseNumber(std::string_view text);

// A whole number >= 0, decimal or with a 0x prefix hexadecimal.
std::optional<std::uint64_t> parseWhole(std::string_view text);

std::string_view trimBlanks(std::string_view text);

// Shortest text that reads back as the same double.
std::string numberText(double value);
// General form with the given significant digits ("65536.123", "1.2345e-05").
std::string numberText(double value, int significantDigits);
// Fixed form with the given decimals ("-179.9850").
std::string fixedText(double value, int decimals);
std::string wholeText(long long value);

}  // namespace orv::receiver
