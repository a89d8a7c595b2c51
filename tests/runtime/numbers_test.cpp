#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "runtime/binary.h"
#include "runtime/numbers.h"
#include "runtime/textops.h"

namespace orv::runtime {
namespace {

TEST(NumberText, Integers) {
    const struct {
        std::int32_t value;
        const char* text;
    } cases[] = {
        {42, " 42"}, {-42, "-42"}, {0, " 0"}, {INT32_MAX, " 2147483647"}, {INT32_MIN, "-2147483648"},
    };
    for (const auto& c : cases) EXPECT_EQ(numberText(c.value), c.text) << c.value;
}

TEST(NumberText, Singles) {
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {0.5f, " 0.5"},
        {100.0f, " 100"},
        {-0.25f, "-0.25"},
        {1234567.8f, " 1234568"},
        {12345678.0f, " 1.234568e+007"},
        {0.0001f, " 0.0001"},
        {0.00001f, " 1e-005"},
        {-0.0f, "-0"},
        {0.0f, " 0"},
        {0.00047683716f, " 0.0004768372"},
        {1.5e20f, " 1.5e+020"},
        {-1.5e-5f, "-1.5e-005"},
        {9999999.0f, " 9999999"},
        {16777216.0f, " 1.677722e+007"},
        {3.4028235e38f, " 3.402823e+038"},
        {1e-45f, " 1.401298e-045"},
        {250.0f, " 250"},
        {1.0f / 3.0f, " 0.3333333"},
    };
    for (const auto& c : cases) EXPECT_EQ(numberText(c.value), c.text) << c.text;
}

TEST(NumberText, Doubles) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {123456.75, " 123456.75"},
        {137500.0, " 137500"},
        {-2.5e100, "-2.5e+100"},
        {1447071448.17, " 1447071448.17"},
        {0.1, " 0.1"},
        {1.0 / 3.0, " 0.3333333333333333"},
        {1e16, " 1e+016"},
        {1234567890123456.0, " 1234567890123456"},
        {1e-5, " 1e-005"},
        {1.7976931348623157e308, " 1.797693134862316e+308"},
        {4.9406564584124654e-324, " 4.940656458412465e-324"},
        {-0.0, "-0"},
    };
    for (const auto& c : cases) EXPECT_EQ(numberText(c.value), c.text) << c.text;
}

TEST(NumberText, InfinityAndNan) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(numberText(inf), " inf");
    EXPECT_EQ(numberText(-inf), "-inf");
    EXPECT_EQ(numberText(static_cast<float>(-inf)), "-inf");
    EXPECT_EQ(numberText(nan), " nan");
    EXPECT_EQ(numberText(-nan), "-nan");
}

TEST(LeadingNumber, Texts) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"  17 apples", 17},
        {"abc", 0},
        {"&H1F", 31},
        {"&17", 15},
        {"&h1f", 31},
        {"&B101", 5},
        {"&o777", 511},
        {"&O8", 0},
        {"&", 0},
        {"&HFFFFFFFF", 4294967295.0},
        {"&HFFFFFFFFFFFFFFFF", -1},
        {"12d3", 12000},
        {"12D-1", 1.2},
        {"1.5E+2x", 150},
        {"", 0},
        {"   ", 0},
        {"-", 0},
        {".", 0},
        {"+.5", 0.5},
        {"-.5e1", -5},
        {"5.", 5},
        {"1e", 1},
        {"1e+", 1},
        {"1e5.5", 100000},
        {"1.2.3", 1.2},
        {"+-1", 0},
        {" \t-3.5", -3.5},
        {"\t7", 7},
        {"inf", 0},
        {"nan", 0},
        {"0x10", 0},
        {"1e99999", std::numeric_limits<double>::infinity()},
        {"-1e400", -std::numeric_limits<double>::infinity()},
        {"1e-99999", 0},
        {"0.000e99999", 0},
        {"123456789012345678901234567890", 1.2345678901234568e29},
        {"0.1", 0.1},
        {"2.2250738585072011e-308", 2.2250738585072011e-308},
        {"4.9e-324", 4.9406564584124654e-324},
        {"2e-324", 0},
        // halfway between two doubles, decided by the last digit
        {"9007199254740993", 9007199254740992.0},
        {"9007199254740993.0000000001", 9007199254740994.0},
    };
    for (const auto& c : cases) {
        double got = leadingNumber(c.text);
        EXPECT_EQ(got, c.value) << '"' << c.text << '"';
    }
    EXPECT_TRUE(std::signbit(leadingNumber("-0.0")));
    EXPECT_TRUE(std::signbit(leadingNumber("-1e-400")));
}

TEST(BinaryStrings, Packing) {
    EXPECT_EQ(packInt32(16), std::string("\x10\0\0\0", 4));
    EXPECT_EQ(packInt32(-2), std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_EQ(packInt16(-2), std::string("\xFE\xFF", 2));
    EXPECT_EQ(packInt16(0x12345), std::string("\x45\x23", 2));
    EXPECT_EQ(packSingle(1.0f), std::string("\0\0\x80\x3F", 4));
    EXPECT_EQ(packSingle(-0.0f), std::string("\0\0\0\x80", 4));
    for (float f : {1.0f, -3.25e-12f, 6.5e30f, std::numeric_limits<float>::denorm_min()}) {
        EXPECT_EQ(unpackSingle(packSingle(f)), f);
    }
    EXPECT_EQ(unpackSingle(packSingle(2.5f) + "tail"), 2.5f);
    EXPECT_EQ(unpackSingle(std::string("\0\0\x80", 3)), 0.0f);
}

TEST(TextOps, Slices) {
    const std::string s = "abcdef";
    const struct {
        std::string got;
        const char* want;
    } cases[] = {
        {leftOf(s, 2), "ab"},
        {leftOf(s, 0), ""},
        {leftOf(s, -1), ""},
        {leftOf(s, 99), "abcdef"},
        {rightOf(s, 2), "ef"},
        {rightOf(s, 0), ""},
        {rightOf(s, 99), "abcdef"},
        {midOf(s, 2, 3), "bcd"},
        {midOf(s, 0, 3), ""},
        {midOf(s, 7, 1), ""},
        {midOf(s, 6, 1), "f"},
        {midOf(s, 3, 0), ""},
        {midOf(s, 3, -1), "cdef"},
        {midOf(s, 3, 99), "cdef"},
        {midOf(s, 3), "cdef"},
        {trimLeft("  a b  "), "a b  "},
        {trimRight("  a b  "), "  a b"},
        {trimLeft("\t a"), "\t a"},
        {trimRight("a\t "), "a\t"},
        {trimLeft("   "), ""},
        {trimRight(""), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
    EXPECT_EQ(textLength(std::string("a\0b", 3)), 3);
}

TEST(TextOps, Searches) {
    const struct {
        std::int64_t got, want;
    } cases[] = {
        {findText(1, "abcabc", "bc"), 2},  {findText(3, "abcabc", "bc"), 5},
        {findText(6, "abcabc", "bc"), 0},  {findText(0, "abcabc", "a"), 0},
        {findText(7, "abcabc", "a"), 0},   {findText(1, "", "a"), 0},
        {findText(1, "abc", ""), 0},       {findText(1, "ut=1 ut=2", "ut="), 1},
        {findLastText("abcabc", "bc"), 5}, {findLastText("abcabc", "x"), 0},
        {findLastText("", "a"), 0},        {findLastText("abc", ""), 0},
        {findLastText("aaa", "aa"), 2},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(DaySerial, DatesAndRollOver) {
    const struct {
        int y, m, d;
        std::int32_t serial;
    } cases[] = {
        {1899, 12, 30, 0},    {1900, 1, 1, 2},     {1970, 1, 1, 25569}, {2015, 11, 9, 25569 + 16748},
        {2000, 2, 29, 36585}, {2000, 3, 1, 36586}, {1900, 3, 1, 61},    {1600, 1, 1, -109571},
    };
    for (const auto& c : cases)
        EXPECT_EQ(daySerial(c.y, c.m, c.d), c.serial) << c.y << '-' << c.m << '-' << c.d;

    const struct {
        int y, m, d, y2, m2, d2;
    } same[] = {
        {2015, 13, 1, 2016, 1, 1},   {2015, 0, 1, 2014, 12, 1}, {2015, -11, 1, 2014, 1, 1},
        {2015, -12, 1, 2013, 12, 1}, {2015, 25, 1, 2017, 1, 1}, {2015, 1, 32, 2015, 2, 1},
        {2015, 3, 0, 2015, 2, 28},   {2016, 3, 0, 2016, 2, 29}, {2015, 1, -30, 2014, 12, 1},
        {201, 51, 19, 205, 3, 19},
    };
    for (const auto& c : same) {
        EXPECT_EQ(daySerial(c.y, c.m, c.d), daySerial(c.y2, c.m2, c.d2)) << c.y << '-' << c.m << '-' << c.d;
    }
}

}  // namespace
}  // namespace orv::runtime
