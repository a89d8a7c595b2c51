#pragma once
// UTC dates and times, no time zones: the proleptic Gregorian calendar as day
// counts from 1970-01-01, and the date-time texts of options, SigMF metadata
// and the generator's dumps. The year is shifted to start in March so that
// the leap day falls at its end; 400 years are exactly 146097 days.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

struct CivilDate {
    int year, month, day;
};

// month 1..12, day 1..31 (a larger day counts on into the next month).
constexpr std::int64_t daysFromCivil(std::int64_t year, int month, std::int64_t day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * ((month + 9) % 12) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

constexpr CivilDate civilFromDays(std::int64_t days) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    return {static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

// A date and time as written, kept in parts so that no rounding has happened yet.
struct UtcReading {
    std::int64_t days = 0;  // since 1970-01-01 (0 for a time of day alone)
    int secondOfDay = 0;    // whole seconds
    std::string fraction;   // the digits after the point, as written
    // The nearest double to the whole decimal number: a written value reads back to every bit.
    double seconds() const;
    // The nearest double to 0.<fraction>.
    double fractionSeconds() const;
};

// "YYYY-MM-DD hh:mm:ss[.fff...]", a 'T' allowed for the blank and a final 'Z'
// allowed; every field its exact number of digits, the date a real one.
std::optional<UtcReading> readUtc(std::string_view text);
// "hh:mm:ss[.fff...]".
std::optional<UtcReading> readTimeOfDay(std::string_view text);
// readUtc(text)->seconds(): seconds since 1970-01-01 00:00:00 UTC.
std::optional<double> parseUtc(std::string_view text);

// "YYYY-MM-DDThh:mm:ss[.fff...]Z" with the shortest fraction that reads back
// to the same double; seconds must be finite and not negative.
std::string isoUtc(double seconds);
// "YYYY-MM-DD hh:mm:ss.ff" on the grid of 10^-decimals seconds (halves
// rounded up), the year in at least four digits; decimals 0 to 9.
std::string utcText(double seconds, int decimals);

}  // namespace orv
