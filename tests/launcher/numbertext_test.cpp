#include "launcher/numbertext.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "launcher/launcherstate.h"
#include "launcher/settingsfiles.h"
#include "testfolder.h"

namespace orv::launcher {

TEST(TextToNumberTest, ReadsTheLeadingNumber) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* text;
        double expected;
    } cases[] = {
        {"8270,5", 8270},  // a comma is never a decimal point
        {"12 kHz", 12},
        {" 1 2 . 5 ", 12.5},  // blanks anywhere are skipped
        {"1\t2\n3", 123},
        {"1\r5", 1},  // CR is not skipped
        {"-3.5e2x", -350},
        {"1D3", 1000},
        {"2d-1", 0.2},
        {"1E+2", 100},
        {"1e", 1},  // an exponent letter without digits is left over
        {"1e+", 1},
        {"-.25", -0.25},
        {"+7", 7},
        {"1.2.3", 1.2},
        {"", 0},
        {".", 0},
        {"-", 0},
        {"abc", 0},
        {"0.000e999999999999999999", 0},
        {"1e999", inf},
        {"-1e999", -inf},
        {"1e-999", 0},
        {"123456789012345678901234567890", 1.2345678901234568e29},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(textToNumber(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(NumberTextTest, FifteenDigitsPointAndBlank) {
    struct Case {
        double value;
        const char* plain;
    } cases[] = {
        {13.75, "13.75"},
        {-12.5, "-12.5"},
        {0, "0"},
        {-0.0, "0"},
        {48000, "48000"},
        {8270.5, "8270.5"},
        {0.5, "0.5"},
        {-0.25, "-0.25"},
        {0.00001, "0.00001"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {0.1 + 0.2, "0.3"},
        {123456789012345.6, "123456789012346"},
        {999999999999999, "999999999999999"},
        {1e15, "1E+15"},
        {1e-15, "0.000000000000001"},
        {1.5e-16, "1.5E-16"},
        {-2.5e100, "-2.5E+100"},
        {std::numeric_limits<double>::infinity(), "Inf"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plainNumberText(c.value), c.plain) << c.value;
        std::string expectedSigned = c.plain[0] == '-' ? c.plain : std::string(" ") + c.plain;
        EXPECT_EQ(signedNumberText(c.value), expectedSigned) << c.value;
        if (std::isfinite(c.value)) {
            EXPECT_EQ(plainNumberText(textToNumber(c.plain)), c.plain) << "read back " << c.plain;
        }
    }
}

TEST(UnixTimeTextTest, DateAndTimeInUtc) {
    struct Case {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "1970-01-01 00:00:00"},
        {86400, "1970-01-02 00:00:00"},  // midnight keeps its time
        {1447072496.75, "2015-11-09 12:34:56"},
        {-1, "1969-12-31 23:59:59"},
        {-0.5, "1970-01-01 00:00:00"},  // the fraction is dropped, not floored
        {951782400, "2000-02-29 00:00:00"},
        {-62135596800.0, "0001-01-01 00:00:00"},
        {253402300799.0, "9999-12-31 23:59:59"},
    };
    for (const Case& c : cases) {
        std::optional<std::string> text = unixTimeText(c.seconds);
        ASSERT_TRUE(text.has_value()) << c.seconds;
        EXPECT_EQ(*text, c.text);
    }
    for (double outside : {253402300800.0, -62135596801.0, 1e300, std::nan("")}) {
        EXPECT_FALSE(unixTimeText(outside).has_value()) << outside;
    }
}

// Run by CTest with a German locale compiled into the build folder; skips
// itself where that locale is not available.
TEST(LocaleTest, NumbersIgnoreADecimalCommaLocale) {
    const char* name = std::getenv("LAUNCHER_TEST_LOCALE");
    if (!std::setlocale(LC_ALL, name ? name : "de_DE.UTF-8")) GTEST_SKIP() << "locale not available";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    EXPECT_EQ(textToNumber("8270.5"), 8270.5);
    EXPECT_EQ(textToNumber("8270,5"), 8270);
    EXPECT_EQ(plainNumberText(8270.5), "8270.5");
    EXPECT_EQ(signedNumberText(-0.00001), "-0.00001");
    {
        TestFolder folder;
        LauncherState state;
        state.Text10 = "48000.5";
        state.Text13 = "137500.25";
        EXPECT_TRUE(saveSampleRates(state));
        EXPECT_EQ(folder.read("sr.txt"), "48000.5,0,0\r\n137500.25\r\n");
    }
    std::setlocale(LC_ALL, "C");
}

}  // namespace orv::launcher
