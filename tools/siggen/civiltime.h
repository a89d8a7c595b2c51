#pragma once
// Calendar arithmetic on the proleptic Gregorian calendar, UTC, no time zones.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::tools {

std::int64_t daysFromCivil(int year, int month, int day);  // days since 1970-01-01

struct CivilDate {
    int year, month, day;
};
CivilDate civilFromDays(std::int64_t days);

// "YYYY-MM-DD HH:MM:SS[.fff]" (a 'T' may stand for the blank) to seconds since 1970.
std::optional<double> parseDateTime(std::string_view text);
// "HH:MM:SS[.fff]" to seconds after midnight.
std::optional<double> parseTimeOfDay(std::string_view text);

}  // namespace orv::tools
