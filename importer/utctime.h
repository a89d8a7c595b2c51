#pragma once
// UTC date and time texts of the importer: the --start option and SigMF's
// core:datetime, both read to the bit so that a round trip keeps the value.
#include <optional>
#include <string>
#include <string_view>

namespace orv::importer {

// "YYYY-MM-DD hh:mm:ss[.fff...]", a 'T' allowed for the blank and a final 'Z'
// allowed, from 1970 on: seconds since 1970-01-01 00:00:00 UTC, the fraction
// read as written (the nearest double to the whole decimal number).
std::optional<double> parseUtc(std::string_view text);

// "YYYY-MM-DDThh:mm:ss[.fff...]Z" with the shortest fraction that reads back
// to the same double; seconds must be finite and not negative.
std::string isoUtc(double seconds);

}  // namespace orv::importer
