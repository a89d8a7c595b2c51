#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "converter/conversionparameters.h"

namespace orv::converter {
namespace {

TEST(BaseName, CutAtTheFirstDotOfTheTrimmedCommandText) {
    struct Case {
        const char* command;
        const char* baseName;
    };
    for (Case c :
         {Case{"", "fftdata"}, Case{"fftdata3.txt", "fftdata3"}, Case{" my data.txt ", "my data"},
          Case{"my file.txt", "my file"}, Case{".txt", "fftdata"}, Case{"a.b.txt", "a"},
          Case{"   ", "fftdata"}, Case{"dir.d/x.txt", "dir"}, Case{"noext", "noext"}, Case{"\tx.txt", "\tx"}})
        EXPECT_EQ(baseNameFromCommand(c.command), c.baseName) << '"' << c.command << '"';
}

TEST(TimeTexts, ZeroPaddedAndCutToTheirWidth) {
    struct Case {
        double fileTime;
        const char* hours;
    };
    for (Case c :
         {Case{93000.5, "093000"}, Case{5.25, "000005"}, Case{123456.75, "123456"}, Case{1234567.5, "234567"},
          Case{1e20, "000000"}, Case{0.0, "000000"}, Case{-0.25, "0000-1"}})
        EXPECT_EQ(hoursText(c.fileTime), c.hours) << c.fileTime;
    struct DateCase {
        std::int32_t fileDate;
        const char* text;
    };
    for (DateCase c : {DateCase{20151109, "20151109"}, DateCase{2015119, "02015119"}, DateCase{0, "00000000"},
                       DateCase{123456789, "23456789"}})
        EXPECT_EQ(dateText(c.fileDate), c.text) << c.fileDate;
}

TEST(StartTime, StampMinusHalfAReceiverFftOnAHundredthGrid) {
    const float spacing = 0.000476837158203125f;  // 12000 / 48 / 524288, exact
    struct Case {
        std::int32_t date;
        double time;
        float spacing;
        double start;
    };
    for (Case c : {Case{20151109, 123456.75, spacing, 1447071448.17},
                   Case{19700101, 0.0, 0.5f, -1.0},             // 0.5 s back from the epoch
                   Case{19700101, 5.25, 1e9f, 5.25},            // fraction from fileTime
                   Case{19700101, 1000005.25, 1e9f, 5.25},      // only the last six digits count
                   Case{19700101, 0.125, 0.5f, -0.87},          // -87.5 hundredths: halves go up
                   Case{19700101, 2.625, 0.5f, 1.63},           // 162.5 hundredths: not to even
                   Case{20151301, 0.0, 1e9f, 16801.0 * 86400},  // month 13: January 2016
                   Case{20150132, 0.0, 1e9f, 16467.0 * 86400},  // 32 January: 1 February
                   Case{20150300, 0.0, 1e9f, 16494.0 * 86400},  // day 0: 28 February
                   Case{19700101, 236000.0, 1e9f, 23 * 3600.0 + 60 * 60}}) {  // minute 60 rolls into hours
        EXPECT_DOUBLE_EQ(computeStartTime(c.date, c.time, c.spacing), c.start) << c.date << " " << c.time;
    }
    // 7-digit date 2015119: year 201, month 51, day 19, a day in the year 205.
    const double t = computeStartTime(2015119, 0.0, 1e9f);
    EXPECT_EQ(std::floor(t / 86400), t / 86400);
    EXPECT_GT(t / 86400 / 365.2425, 205 - 1970 - 1.0);
    EXPECT_LT(t / 86400 / 365.2425, 206 - 1970 + 0.0);
}

TEST(RecordingValues, UsableOnlyWhenTheSpacingIsPositiveAndFinite) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float rate, decimation, length;
        const char* named;
    };
    for (Case c : {Case{12000, 48, 524288, nullptr}, Case{12000, 0, 1024, "decimation 0"},
                   Case{0, 48, 1024, "sample rate 0"}, Case{12000, 48, -1024, "FFT length -1024"},
                   Case{12000, inf, 1024, "decimation"}, Case{nan, 1, 1, "sample rate"},
                   Case{1e-30f, 1e30f, 1e30f, "bin spacing"}, Case{3e38f, 1e-30f, 1, "bin spacing"},
                   // Two negative values give a usable spacing and convert as written.
                   Case{-12000, -48, 524288, nullptr}, Case{12000, -48, -524288, nullptr},
                   Case{-12000, -48, -524288, "sample rate -12000"}}) {
        ConversionParameters p;
        p.sampleRate = c.rate;
        p.decimation = c.decimation;
        p.fftLength = c.length;
        p.binSpacing = computeBinSpacing(c.rate, c.decimation, c.length);
        const auto problem = checkRecordingValues(p);
        if (!c.named) {
            EXPECT_FALSE(problem) << *problem;
            continue;
        }
        ASSERT_TRUE(problem) << c.named;
        EXPECT_NE(problem->find("\"sr.txt\""), std::string::npos) << *problem;
        EXPECT_NE(problem->find(c.named), std::string::npos) << *problem;
        EXPECT_EQ(problem->find('\n'), std::string::npos) << *problem;
    }
}

TEST(RecordingValues, SpacingOfTheUsualRecording) {
    EXPECT_EQ(computeBinSpacing(12000, 48, 524288), 0.000476837158203125f);
}

}  // namespace
}  // namespace orv::converter
