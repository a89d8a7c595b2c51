#pragma once
// The launcher's number conversions. Every number it reads or writes uses "."
// whatever the locale, so these never touch the C locale or iostreams.
#include <optional>
#include <string>
#include <string_view>

namespace orv::launcher {

// Blanks, tabs and line feeds anywhere are skipped; then an optional sign,
// digits with at most one ".", and an optional exponent ("E" or "D", either
// case). Reading stops at the first character that does not fit; text without
// a leading number gives 0. A comma is never a decimal point ("8270,5" -> 8270).
// A value beyond the double range gives an infinity of its sign.
double textToNumber(std::string_view text);

// Up to 15 significant digits, "." as the point, no trailing zeros, no point
// for whole values, a "0" before the point below 1. Exponent form ("1E+20",
// "1.5E-16") only when the positional form would need more than 15 digits
// before the point or put the first digit beyond the 15th place after it.
std::string plainNumberText(double value);

// plainNumberText with a leading blank for a value of 0 or more (" 13.75",
// "-12.5", " 0").
std::string signedNumberText(double value);

// "YYYY-MM-DD hh:mm:ss" for the whole seconds (fraction dropped) after
// 1970-01-01 00:00:00 UTC. Empty when no date of the years 1 to 9999 lies
// there (or the value is not a number): the caller treats that as failure.
std::optional<std::string> unixTimeText(double seconds);

}  // namespace orv::launcher
