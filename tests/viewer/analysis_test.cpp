// The analysis on signals whose figures are known, and the peak search on
// spectra made by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "runtime/printusing.h"
#include "viewer/analysis.h"
#include "viewertestsupport.h"

namespace orv::viewer {
namespace {

struct Symbols {
    std::vector<float> inPhase, quadrature;
};

// z(i) = e^{-j 2 pi cycles i}, formed in double.
Symbols tone(std::size_t n, double cycles) {
    Symbols s;
    for (std::size_t i = 0; i < n; ++i) {
        const double angle = 2 * M_PI * cycles * static_cast<double>(i);
        s.inPhase.push_back(static_cast<float>(std::cos(angle)));
        s.quadrature.push_back(static_cast<float>(-std::sin(angle)));
    }
    return s;
}

Symbols constant(std::size_t n) { return Symbols{std::vector<float>(n, 1.0f), std::vector<float>(n, 0.0f)}; }

Symbols alternating(std::size_t n) {
    Symbols s = constant(n);
    for (std::size_t i = 1; i < n; i += 2) s.inPhase[i] = -1;
    return s;
}

struct SignalCase {
    const char* name;
    std::function<Symbols()> make;
    long symbolPeak;   // index of the symbols' spectrum maximum
    long squaredPeak;  // index of the squares' spectrum maximum
    float peakDb, peakTolerance;
    float offset, offsetTolerance;
    const char* peakLine;  // the printed result lines
    const char* timeLine;
};

class SignalTable : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalTable, GivesTheKnownFigures) {
    const SignalCase& c = GetParam();
    const Symbols s = c.make();
    const SignalRun run = scaleAndAnalyse(s.inPhase, s.quadrature);
    EXPECT_EQ(static_cast<long>(indexOfMax(run.symbolDb)), c.symbolPeak);
    EXPECT_EQ(static_cast<long>(indexOfMax(run.squaredDb)), c.squaredPeak);
    EXPECT_NEAR(run.result.squaredPeakDb, c.peakDb, c.peakTolerance);
    EXPECT_NEAR(run.result.carrierOffset, c.offset, c.offsetTolerance);
    EXPECT_EQ(
        runtime::formatUsing(" sqared spectrum peak ##.# dB at frequency #.##### (Hz / symbol duration)",
                             {run.result.squaredPeakDb, run.result.carrierOffset}),
        std::string(" sqared spectrum peak ") + c.peakLine + " (Hz / symbol duration)");
    EXPECT_EQ(runtime::formatUsing(" estimated magnitude of time error #.## (symbol durations)",
                                   {run.result.timeError}),
              std::string(" estimated magnitude of time error ") + c.timeLine + " (symbol durations)");
    for (const float db : run.squaredDb) EXPECT_GE(db, -60.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, SignalTable,
    ::testing::Values(SignalCase{"constant", [] { return constant(1000); }, 500, 500, 30.0f, 0.01f, 0, 1e-7f,
                                 "30.0 dB at frequency 0.00000", "1.00"},
                      // -1 needs two integer positions in "#.##": the field grows and says so.
                      SignalCase{"alternating", [] { return alternating(1000); }, 0, 500, 30.0f, 0.01f, 0,
                                 1e-7f, "30.0 dB at frequency 0.00000", "%-1.00"},
                      SignalCase{"tone", [] { return tone(1000, 0.01); }, 510, 520, 30.0f, 0.01f, 0.01f,
                                 1e-6f, "30.0 dB at frequency 0.01000", "1.00"},
                      SignalCase{"betweenBins", [] { return tone(200, 0.0126); }, 103, 105, 22.99f, 0.02f,
                                 0.01252f, 2e-5f, "23.0 dB at frequency 0.01252", "1.00"},
                      SignalCase{"negativeTone", [] { return tone(400, -0.02); }, 192, 184, 26.02f, 0.01f,
                                 -0.02f, 1e-6f, "26.0 dB at frequency -.02000", "1.00"},
                      // One symbol: no bin to search, so the offset is -0.25; both sums of
                      // the time error are empty and its field shows no number.
                      SignalCase{"single", [] { return constant(1); }, 0, 0, 0.0f, 0.0f, -0.25f, 0.0f,
                                 " 0.0 dB at frequency -.25000", " nan"}),
    [](const ::testing::TestParamInfo<SignalCase>& info) { return std::string(info.param.name); });

struct ReorderCase {
    std::size_t n;
    std::size_t bin;
    std::size_t index;
};

class ReorderTable : public ::testing::TestWithParam<ReorderCase> {};

// A tone on transform bin k lands at index (k + n / 2) mod n, for odd and even n.
TEST_P(ReorderTable, PutsEachBinAtItsIndex) {
    const ReorderCase& c = GetParam();
    const Symbols s = tone(c.n, static_cast<double>(c.bin) / static_cast<double>(c.n));
    SpectrumWork work;
    allocateWorkArrays(work, c.n);
    fillTwiddleTables(work, c.n);
    computeSpectrumDb(work, s.inPhase.data(), s.quadrature.data());
    EXPECT_EQ(indexOfMax(work.spectrumDb), c.index);
    EXPECT_NEAR(work.spectrumDb[c.index], 10 * std::log10(static_cast<double>(c.n)), 0.01);
    for (std::size_t i = 0; i < c.n; ++i) {
        if (i != c.index) {
            EXPECT_EQ(work.spectrumDb[i], -60.0f) << "index " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Bins, ReorderTable,
                         ::testing::Values(ReorderCase{101, 0, 50}, ReorderCase{101, 100, 49},
                                           ReorderCase{101, 51, 0}, ReorderCase{101, 50, 100},
                                           ReorderCase{100, 0, 50}, ReorderCase{100, 99, 49},
                                           ReorderCase{100, 50, 0}, ReorderCase{2, 1, 0},
                                           ReorderCase{1, 0, 0}));

struct PeakCase {
    const char* name;
    std::vector<float> db;
    float peakDb;
    float offset;
};

class PeakTable : public ::testing::TestWithParam<PeakCase> {};

TEST_P(PeakTable, FindsAndRefinesThePeak) {
    const PeakCase& c = GetParam();
    const SquaredPeak peak = findSquaredPeak(c.db);
    EXPECT_FLOAT_EQ(peak.squaredPeakDb, c.peakDb);
    EXPECT_FLOAT_EQ(peak.carrierOffset, c.offset);
}

INSTANTIATE_TEST_SUITE_P(Spectra, PeakTable,
                         ::testing::Values(
                             // Equal neighbours: no shift, the level as it stands.
                             PeakCase{"symmetric", {-60, 0, 10, 0, -60, -60, -60, -60}, 10, -0.125f},
                             // A higher right neighbour moves the peak by 1/6 bin; the level gains
                             // d/2 * delta^2 * 3 = 7.5 / 36 * 3.
                             PeakCase{"refined",
                                      {-60, 0, 10, 5, -60, -60, -60, -60},
                                      10.625f,
                                      static_cast<float>(((2 + 1.0 / 6) / 8 - 0.5) / 2)},
                             PeakCase{"lastIndex", {-60, -60, 0, -60, 5}, 5, 0.25f},
                             PeakCase{"firstOfEqual", {-60, 7, -60, 7, -60}, 7, -0.15f},
                             PeakCase{"indexZeroNotSearched", {50, -60, 3, -60}, 3, 0},
                             PeakCase{"single", {-3}, -3, -0.25f}),
                         [](const ::testing::TestParamInfo<PeakCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(CorrectFrequency, StopsATurningSequence) {
    Symbols s = tone(300, 0.0137);
    correctFrequency(s.inPhase, s.quadrature, 0.0137f);
    for (std::size_t i = 0; i < s.inPhase.size(); ++i) {
        EXPECT_NEAR(s.inPhase[i], 1.0f, 1e-4f) << i;
        EXPECT_NEAR(s.quadrature[i], 0.0f, 1e-4f) << i;
    }
}

}  // namespace
}  // namespace orv::viewer
