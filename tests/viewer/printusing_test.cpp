// Formatted fields: rounding, alignment, sign, overflow and the texts around them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "runtime/printusing.h"

namespace orv::viewer {
namespace {

struct FieldCase {
    const char* format;
    float value;
    const char* expected;
};

class FieldTable : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldTable, FormatsTheValueIntoItsField) {
    const FieldCase& c = GetParam();
    EXPECT_EQ(runtime::formatUsing(c.format, {c.value}), c.expected) << c.format << " with " << c.value;
}

const float nan = std::numeric_limits<float>::quiet_NaN();
const float inf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldTable,
    ::testing::Values(
        // One integer position more than the viewer's dB field needs, one decimal.
        FieldCase{"##.#", 12.34f, "12.3"}, FieldCase{"##.#", 5, " 5.0"}, FieldCase{"##.#", 0, " 0.0"},
        FieldCase{"##.#", 0.04f, " 0.0"}, FieldCase{"##.#", 0.05f, " 0.1"}, FieldCase{"##.#", -0.5f, "-0.5"},
        FieldCase{"##.#", -3.26f, "-3.3"}, FieldCase{"##.#", -12.5f, "%-12.5"},
        FieldCase{"##.#", 123.4f, "%123.4"}, FieldCase{"##.#", 99.96f, "%100.0"},
        FieldCase{"##.#", 2.25f, " 2.3"}, FieldCase{"##.#", -2.25f, "-2.3"},
        FieldCase{"##.#", 123456.7f, "% 1.2E+5"}, FieldCase{"##.#", -123456.7f, "%-1.2E+5"},
        FieldCase{"##.#", 99999.f, "%99999.0"}, FieldCase{"##.#", 999999.f, "% 1.0E+6"},
        FieldCase{"##.#", 1e10f, "% 1.0E+10"},
        // The frequency field: one integer position, five decimals.
        FieldCase{"#.#####", 0.5f, "0.50000"}, FieldCase{"#.#####", 0, "0.00000"},
        FieldCase{"#.#####", 1.234567f, "1.23457"}, FieldCase{"#.#####", -0.00123f, "-.00123"},
        FieldCase{"#.#####", -0.5f, "-.50000"}, FieldCase{"#.#####", 12.5f, "%12.50000"},
        FieldCase{"#.#####", -0.01f, "-.01000"}, FieldCase{"#.#####", 0.0125237f, "0.01252"},
        // Seven significant digits first: 0.12345649 is 0.1234565, which then rounds up.
        FieldCase{"#.######", 0.12345649f, "0.123457"}, FieldCase{"#.#######", 0.0000123456789f, "0.0000123"},
        // The time field.
        FieldCase{"#.##", 1.5f, "1.50"}, FieldCase{"#.##", -0.05f, "-.05"},
        FieldCase{"#.##", -0.004f, "-.00"}, FieldCase{"#.##", -0.13f, "-.13"}, FieldCase{"#.##", 1, "1.00"},
        // Fields without integer positions or without a point.
        FieldCase{".##", 0.5f, ".50"}, FieldCase{".##", -0.5f, "%-.50"}, FieldCase{"###", 2.5f, "  3"},
        FieldCase{"###", -7, " -7"}, FieldCase{"##.", 3, " 3."},
        // No finite value: a text of its own, right-aligned in the field.
        FieldCase{"#.##", nan, " nan"}, FieldCase{"#.##", -nan, " nan"}, FieldCase{"##.#", inf, " inf"},
        FieldCase{"##.#", -inf, "-inf"}, FieldCase{"#", nan, "%nan"}));

TEST(FormatUsing, KeepsTheLiteralTextAroundTheFields) {
    EXPECT_EQ(runtime::formatUsing(" estimated magnitude of time error #.## (symbol durations)", {1}),
              " estimated magnitude of time error 1.00 (symbol durations)");
    EXPECT_EQ(
        runtime::formatUsing(" sqared spectrum peak ##.# dB at frequency #.##### (Hz / symbol duration)",
                             {22.99f, -0.01252f}),
        " sqared spectrum peak 23.0 dB at frequency -.01252 (Hz / symbol duration)");
    // A point that no '#' follows is text.
    EXPECT_EQ(runtime::formatUsing("v. ## dB.", {7}), "v.  7 dB.");
    // More values than fields: the format starts over.
    EXPECT_EQ(runtime::formatUsing("[#]", {1, 2}), "[1][2]");
    // No field at all: the text alone.
    EXPECT_EQ(runtime::formatUsing("no field", {1}), "no field");
}

}  // namespace
}  // namespace orv::viewer
