#include "orv/utctime.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orv {
namespace {

TEST(Calendar, DaysAndDatesAgree) {
    struct Case {
        int y, m, d;
        long long days;
    };
    for (const auto& c : {Case{1970, 1, 1, 0}, Case{1969, 12, 31, -1}, Case{2015, 11, 9, 16748},
                          Case{2000, 2, 29, 11016}, Case{2100, 3, 1, 47541}, Case{2026, 12, 7, 20794}}) {
        EXPECT_EQ(daysFromCivil(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
        const auto back = civilFromDays(c.days);
        EXPECT_EQ(back.year * 10000 + back.month * 100 + back.day, c.y * 10000 + c.m * 100 + c.d);
    }
}

// Date-time texts to the bit: the fraction is read as written, and written so that it reads back.
struct UtcCase {
    const char* name;
    const char* text;
    std::optional<double> seconds;
    const char* onGrid = nullptr;  // utcText(seconds, 2)
};

class UtcTexts : public ::testing::TestWithParam<UtcCase> {};

TEST_P(UtcTexts, ReadAndWrittenBack) {
    const auto& c = GetParam();
    const auto seconds = parseUtc(c.text);
    ASSERT_EQ(seconds.has_value(), c.seconds.has_value());
    if (!seconds) return;
    EXPECT_EQ(*seconds, *c.seconds);
    if (*seconds >= 0) {
        EXPECT_EQ(parseUtc(isoUtc(*seconds)), seconds) << isoUtc(*seconds);
    }
    if (c.onGrid) {
        EXPECT_EQ(utcText(*seconds, 2), c.onGrid);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UtcTexts,
    ::testing::Values(UtcCase{"Blank", "2015-11-09 12:17:28.17", 1447071448.17, "2015-11-09 12:17:28.17"},
                      UtcCase{"Quarter", "2015-11-09 12:34:56.75", 1447072496.75},
                      UtcCase{"LetterT", "2015-11-09T00:00:00", 1447027200.0, "2015-11-09 00:00:00.00"},
                      UtcCase{"SigmfMicroseconds", "2024-05-01T12:00:00.123457Z", 1714564800.123457},
                      UtcCase{"Epoch", "1970-01-01 00:00:00", 0.0},
                      UtcCase{"LeapDay", "2024-02-29T23:59:59.5Z", 1709251199.5},
                      UtcCase{"HalfHundredthRoundsUp", "2026-12-31 23:59:59.995", 1798761599.995,
                              "2027-01-01 00:00:00.00"},
                      UtcCase{"Before1970", "1969-12-31 23:59:59.25", -0.75, "1969-12-31 23:59:59.25"},
                      UtcCase{"YearZero", "0000-03-01 00:00:00.1", -62162035199.9, "0000-03-01 00:00:00.10"},
                      UtcCase{"CommonYearLeapDay", "2023-02-29 00:00:00", std::nullopt},
                      UtcCase{"Month13", "2015-13-01 00:00:00", std::nullopt},
                      UtcCase{"DateOnly", "2015-11-09", std::nullopt},
                      UtcCase{"Hour24", "2024-01-01 24:00:00", std::nullopt},
                      UtcCase{"Minute60", "2015-11-09 12:60:00", std::nullopt},
                      UtcCase{"SignedField", "2015-11-09 12:00:-5", std::nullopt},
                      UtcCase{"TwoDigitYear", "15-11-09 12:00:00", std::nullopt},
                      UtcCase{"LocalOffset", "2024-01-01T00:00:00+01:00", std::nullopt},
                      UtcCase{"EmptyFraction", "2024-01-01 00:00:00.", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UtcTexts, TimeOfDayKeepsItsParts) {
    const auto t = readTimeOfDay("12:00:10.37");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->days, 0);
    EXPECT_EQ(t->secondOfDay, 43210);
    EXPECT_EQ(t->fractionSeconds(), 0.37);
    EXPECT_FALSE(readTimeOfDay("12:00"));
}

}  // namespace
}  // namespace orv
