// Mixing, fractional integration, phase sense, the symbol file and the summary.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <numbers>

#include "receiver/receiver.h"
#include "receiver/symbolfile.h"
#include "receiver/symbolintegrator.h"
#include "rxtestsupport.h"

namespace orv::receiver {
namespace {

using orv::receiver::integrateSymbols;
using orv::receiver::RxOptions;
using orv::receiver::WaveRecording;

constexpr double pi = std::numbers::pi;

RxOptions options(double start, double freq, double period, long long count) {
    RxOptions o;
    o.waveFile = "rec.wav";
    o.startOffset = start;
    o.frequencyOffset = freq;
    o.symbolPeriod = period;
    o.symbolCount = count;
    return o;
}

// What the converter leaves for a transmitted baseband x: its conjugate.
WaveRecording recording(double rate, std::size_t n, auto transmitted) {
    WaveRecording w;
    w.sampleRate = rate;
    for (std::size_t i = 0; i < n; ++i)
        w.samples.push_back(std::conj(std::complex<float>(transmitted(double(i) / rate))));
    return w;
}

struct ToneCase {
    const char* name;
    double rate, carrier, phaseDeg, start, period;
};

class Tone : public ::testing::TestWithParam<ToneCase> {};

// A carrier at the given offset carrying +1 / -1 symbols comes out at rest,
// with the transmitter's phase, whatever the start's fraction of a sample.
TEST_P(Tone, ComesToRestWithTransmittedPhase) {
    const auto& c = GetParam();
    const int count = 12;
    const auto data = [&](double t) {
        const auto k = static_cast<int>(std::floor((t - c.start) / c.period));
        const double d = (k >= 0 && k < count && (k * 7 % 3) == 1) ? -1 : 1;
        return std::polar(d, 2 * pi * c.carrier * t + c.phaseDeg * pi / 180);
    };
    const auto wave =
        recording(c.rate, static_cast<std::size_t>((c.start + c.period * count) * c.rate + 2), data);
    const auto r = integrateSymbols(wave, options(c.start, c.carrier, c.period, count));
    ASSERT_TRUE(r.ok()) << r.error();
    for (int k = 0; k < count; ++k) {
        const double d = (k * 7 % 3) == 1 ? -1 : 1;
        const auto expected = std::polar(d, c.phaseDeg * pi / 180);
        // One sample of each period may hold the neighbour symbol's value.
        EXPECT_LT(std::abs(r->symbols[k] - expected), 2.5 / (c.period * c.rate)) << "symbol " << k;
    }
    EXPECT_NEAR(r->meanPower, 1, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Receiver, Tone,
                         ::testing::Values(ToneCase{"AboveCentre", 250, 12.25, 30, 10.5, 2},
                                           ToneCase{"BelowCentre", 250, -40.125, -120, 3, 1},
                                           ToneCase{"AtCentre", 250, 0, 179, 0, 0.5},
                                           ToneCase{"FractionalStart", 250, 7.3, 45, 2.0017, 0.75},
                                           ToneCase{"FractionalRate", 1.953125, 0.3, -60, 20.3, 16},
                                           ToneCase{"NearNyquist", 100, 49, 90, 1.234, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Sample n stands for the positions [n - 1/2, n + 1/2), weighted by overlap.
struct WeightCase {
    const char* name;
    double startPosition, lengthSamples, expected;
};

class Weighting : public ::testing::TestWithParam<WeightCase> {};

TEST_P(Weighting, SplitsSamplesAtPeriodEdges) {
    const auto& c = GetParam();
    WaveRecording w;
    w.sampleRate = 4;  // positions are seconds x 4
    for (float v : {0.f, 0.f, 0.f, 10.f, 10.f, 10.f, 2.f, 2.f}) w.samples.push_back({v, 0});
    const auto r = integrateSymbols(w, options(c.startPosition / 4, 0, c.lengthSamples / 4, 1));
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_NEAR(r->symbols[0].real(), c.expected, 1e-12);
    EXPECT_NEAR(r->symbols[0].imag(), 0, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, Weighting,
    ::testing::Values(WeightCase{"WholeCells", 2.5, 3, 10},
                      WeightCase{"QuarterIntoCell", 1.75, 2, (0.75 * 0 + 1 * 10 + 0.25 * 10) / 2},
                      WeightCase{"OneSampleLong", 5.2, 1, 0.3 * 10 + 0.7 * 2},
                      WeightCase{"AcrossStep", 4.9, 1.2, (0.6 * 10 + 0.6 * 2) / 1.2},
                      WeightCase{"FirstHalfCell", -0.5, 1, 0}, WeightCase{"LastHalfCell", 6.5, 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReceiverSpan, UsesTheWholeFileButNoMore) {
    WaveRecording w;
    w.sampleRate = 8;  // sample 99 ends at position 99.5, sample 0 starts at -0.5
    w.samples.assign(100, {1, 0});
    struct Case {
        double start, period;
        long long count;
        const char* refusal;  // nullptr: accepted
    };
    for (const auto& c : {Case{-0.0625, 1, 12, nullptr}, Case{-0.0626, 1, 12, "before the recording"},
                          Case{0, 1.24375, 10, nullptr}, Case{0, 1.244, 10, "too short"},
                          Case{12.25, 0.125, 1, nullptr}, Case{-20, 1, 1, "before the recording"}}) {
        const auto r = integrateSymbols(w, options(c.start, 0, c.period, c.count));
        EXPECT_EQ(r.ok(), c.refusal == nullptr) << c.start << " " << c.period;
        if (!r.ok() && c.refusal) {
            EXPECT_NE(r.error().find(c.refusal), std::string::npos) << r.error();
        }
    }
}

// A period that does not move the position from one symbol edge to the next
// is refused instead of giving 0 / 0 symbols; so is any below one sample.
TEST(ReceiverSpan, RefusesPeriodsThePositionsCannotResolve) {
    struct Case {
        const char* name;
        double rate, start, period;
        bool ok;
    };
    for (const auto& c :
         {Case{"LostInLateStart", 8, 3.75, 1e-30, false},
          Case{"UnderflowsWithRate", 1e-200, 0, 1e-200, false}, Case{"TinyFromZero", 8, 0, 1e-30, false},
          Case{"SmallButResolved", 8, 3.75, 1e-12, false}, Case{"OneSample", 8, 3.75, 0.125, true}}) {
        WaveRecording w;
        w.sampleRate = c.rate;
        w.samples.assign(100, {3, -1});
        const auto r = integrateSymbols(w, options(c.start, 0, c.period, 4));
        ASSERT_EQ(r.ok(), c.ok) << c.name;
        if (r.ok()) {
            for (const auto& s : r->symbols)
                EXPECT_NEAR(std::abs(s - std::complex<double>(3, 1)), 0, 1e-9) << c.name;
        } else {
            EXPECT_NE(r.error().find("shorter than one sample"), std::string::npos) << c.name;
        }
    }
}

// A carrier d Hz below the given offset leaves the symbols turning clockwise
// by d x period cycles per symbol.
TEST(ReceiverPhase, FrequencyErrorTurnsSymbolsClockwise) {
    for (const double error : {0.01, -0.02}) {
        const auto wave =
            recording(250, 250 * 42, [](double t) { return std::polar(1.0, 2 * pi * 12.25 * t); });
        const auto r = integrateSymbols(wave, options(1, 12.25 + error, 2, 20));
        ASSERT_TRUE(r.ok());
        for (int k = 1; k < 20; ++k) {
            const double step = std::arg(r->symbols[k] / r->symbols[k - 1]) / (2 * pi);
            EXPECT_NEAR(step, -error * 2, 1e-9);
        }
    }
}

std::string lastLookup(const std::string& file) {
    // A model, on purpose, of a viewer that finds the count from a fixed window:
    // 95 characters in text mode from byte L - 101, the text after their last
    // LF, its leading number plus 1. Our phaseview searches backwards more
    // freely, but "rawsyms.txt" must also suit a viewer that reads only this.
    std::string s;
    for (std::size_t i = file.size() - 101; i < file.size() && s.size() < 95; ++i) {
        if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n') ++i;
        s += file[i] == '\r' ? '\r' : file[i];
    }
    const auto lf = s.rfind('\n');
    std::string tail = lf == std::string::npos ? s : s.substr(lf + 1);
    tail.erase(0, tail.find_first_not_of(' '));
    return tail.substr(0, tail.find(' '));
}

TEST(SymbolFile, EveryCountIsFoundByTheViewersLookup) {
    for (const std::size_t n : {1u, 2u, 3u, 10u, 120u, 1001u}) {
        std::vector<std::complex<double>> symbols;
        for (std::size_t i = 0; i < n; ++i)
            symbols.push_back({i % 2 ? -65536.123456789 : 1.5e-7, -1e300 * double(i % 3 == 2)});
        const std::string text = orv::receiver::formatSymbolRecords(symbols);
        ASSERT_GE(text.size(), 101u);
        char index[24];
        EXPECT_EQ(lastLookup(text), std::string(index, std::to_chars(index, index + 24, n - 1).ptr)) << n;

        std::size_t begin = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const auto end = text.find("\r\n", begin);
            ASSERT_NE(end, std::string::npos);
            EXPECT_EQ(end + 2 - begin,
                      n == 1 ? orv::receiver::loneRecordLength : orv::receiver::recordLength);
            const std::string record = text.substr(begin, end - begin);
            EXPECT_EQ(record.find('\n'), std::string::npos);
            double fields[4];
            const char* p = record.data();
            for (double& f : fields) {
                while (*p == ' ') ++p;
                p = std::from_chars(p, record.data() + record.size(), f).ptr;
            }
            EXPECT_EQ(fields[0], double(i));
            EXPECT_NEAR(fields[1], symbols[i].real(), std::abs(symbols[i].real()) * 1e-8);
            EXPECT_NEAR(fields[2] / 1e300, symbols[i].imag() / 1e300, 1e-8);
            EXPECT_NEAR(fields[3], std::arg(symbols[i]) * 180 / pi, 1e-4);
            begin = end + 2;
        }
        EXPECT_EQ(begin, text.size());
    }
}

TEST(SymbolFile, PhaseStaysWithinPlusMinus180) {
    const std::string text = orv::receiver::formatSymbolRecords({{-1, 0}, {-1, -1e-12}, {0, 0}, {0, 1}});
    EXPECT_NE(text.find("0 -1 0 180.0000"), std::string::npos) << text;
    EXPECT_NE(text.find("1 -1 -1e-12 -180.0000"), std::string::npos) << text;
    EXPECT_NE(text.find("2 0 0 0.0000"), std::string::npos) << text;
    EXPECT_NE(text.find("3 0 1 90.0000"), std::string::npos) << text;
}

TEST_F(ScratchFolder, SummaryLineNamesCountPowerAndSpan) {
    std::vector<std::complex<float>> samples(65536, {0, 0});
    // Periods [2625, 3125) ... [62125, 62625) take half of their edge samples.
    for (std::size_t i = 2625; i <= 62625; ++i) samples[i] = {0, -2};  // conj of 2j: phase +90 degrees
    writeWav("rec.wav", samples);
    const auto r = orv::receiver::runReceiver(
        {"-c", "2", "-T", " 10.5", "-f", "rec.wav", "-F", " 0", "-S", "2", "-N", "120", "-p", "0"});
    ASSERT_EQ(r.exitCode(), 0) << r.error();
    EXPECT_EQ(r->output,
              "120 symbols written to rawsyms.txt, mean symbol power 4, sample span 2625.000 to 62625.000 "
              "of 65536 at 250 samples/s\n");
    const std::string file = readFile("rawsyms.txt");
    EXPECT_EQ(file.substr(0, 16), "0 0 2 90.0000   ");
    EXPECT_EQ(file.size(), 120 * orv::receiver::recordLength);
}

}  // namespace
}  // namespace orv::receiver
