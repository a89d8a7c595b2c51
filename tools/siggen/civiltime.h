#pragma once
// Calendar arithmetic on the proleptic Gregorian calendar, UTC, no time zones.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "orv/civildate.h"

namespace orv::tools {

using runtime::CivilDate;
using runtime::civilFromDays;
using runtime::daysFromCivil;  // days since 1970-01-01

// "YYYY-MM-DD HH:MM:SS[.fff]" (a 'T' may stand for the blank) to seconds since 1970.
std::optional<double> parseDateTime(std::string_view text);
// "HH:MM:SS[.fff]" to seconds after midnight.
std::optional<double> parseTimeOfDay(std::string_view text);

}  // namespace orv::tools
