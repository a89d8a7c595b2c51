// The signal generator: its transform, calendar, determinism, and the round
// trip through a model of the converter into the receiver.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <numbers>
#include <random>

#include "orv/utctime.h"
#include "receiver/symbolintegrator.h"
#include "receiver/wavefile.h"
#include "rxtestsupport.h"
#include "tools/siggen/fft.h"
#include "tools/siggen/siggen.h"

namespace orv::receiver {
namespace {

using namespace orv::tools;
using cd = std::complex<double>;

TEST(SiggenFft, MatchesDirectTransform) {
    std::mt19937_64 rng(7);
    for (const std::size_t n : {1u, 2u, 4u, 16u, 512u}) {
        std::vector<cd> x(n);
        for (auto& v : x) v = {double(rng() % 2001) - 1000, double(rng() % 2001) - 1000};
        std::vector<cd> fast = x;
        fftForward(fast);
        double worst = 0, scale = 0;
        for (std::size_t k = 0; k < n; ++k) {
            cd direct = 0;
            for (std::size_t i = 0; i < n; ++i)  // index product mod n keeps the angle exact
                direct += x[i] * std::polar(1.0, -2 * std::numbers::pi * double(i * k % n) / double(n));
            worst = std::max(worst, std::abs(direct - fast[k]));
            scale = std::max(scale, std::abs(direct));
        }
        EXPECT_LT(worst, scale * 1e-12) << n;  // far beyond the float precision of the dump
    }
}

SignalSettings smallSettings(std::uint64_t seed) {
    SignalSettings s = defaultSettings();
    s.seed = seed;
    s.fftLength = 4096;  // 16.384 s at 250 samples/s
    s.symbolPeriod = 0.25;
    s.symbolCount = 40;
    s.txStart = s.recordingStart + 1.5;
    return s;
}

TEST(Siggen, SameSeedSameBytesOtherSeedOtherSymbols) {
    const auto ga = generateSignal(smallSettings(3));
    ASSERT_TRUE(ga.ok()) << ga.error();
    const auto& a = *ga;
    const auto b = *generateSignal(smallSettings(3));
    const auto c = *generateSignal(smallSettings(4));
    EXPECT_EQ(a.dumpText, b.dumpText);
    EXPECT_EQ(a.srText, b.srText);
    EXPECT_NE(a.dumpText, c.dumpText);
    EXPECT_NE(a.symbols, c.symbols);
    EXPECT_EQ(a.srText, "12000,48,4096\r\n137500\r\n");
}

struct StampCase {
    const char* name;
    const char* start;
    std::uint32_t fftLength;
    const char* header;
};

class SiggenStamp : public ::testing::TestWithParam<StampCase> {};

// The stamp lies half an FFT span (0.5 / binSpacing) after the recording start.
TEST_P(SiggenStamp, LiesHalfAnFftSpanAfterTheStart) {
    const auto& c = GetParam();
    SignalSettings s = defaultSettings();
    s.recordingStart = *parseUtc(c.start);
    s.txStart = s.recordingStart;
    s.fftLength = c.fftLength;
    s.symbolCount = 1;
    s.symbolPeriod = 0.01;
    const auto g = generateSignal(s);
    ASSERT_TRUE(g.ok()) << g.error();
    EXPECT_EQ(g->dumpText.substr(0, g->dumpText.find('\n') + 1), c.header);
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, SiggenStamp,
    ::testing::Values(StampCase{"Default", "2026-12-07 12:00:00", 65536, "20261207,120211.07,65536,0\r\n"},
                      StampCase{"PastMidnight", "2026-12-31 23:59:00", 65536,
                                "20270101,000111.07,65536,0\r\n"},
                      StampCase{"Short", "2015-11-09 12:34:56.5", 16, "20151109,123456.53,16,0\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Siggen, RefusesWhatItCannotRecord) {
    struct Case {
        double carrier, txDelay;
        std::uint32_t symbols;
        const char* message;
    };
    for (const auto& c :
         {Case{137500 + 125, 10.5, 120, "outside the recorded band"},
          Case{137500 - 130, 10.5, 120, "outside the recorded band"}, Case{137512.25, -1, 10, "does not fit"},
          Case{137512.25, 10.5, 126, "does not fit"}}) {
        SignalSettings s = defaultSettings();
        s.carrier = c.carrier;
        s.txStart = s.recordingStart + c.txDelay;
        s.symbolCount = c.symbols;
        const auto g = generateSignal(s);
        EXPECT_NE(g.error().find(c.message), std::string::npos) << g.error();
    }
}

TEST(Siggen, OptionsOverrideDefaults) {
    const auto parsed = parseSignalSettings({"--seed", "9", "--tx-start=12:00:20.25", "--carrier", "137490",
                                             "--symbols", "7", "--snr", "-3", "--name", "rec1"});
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    const SignalSettings& s = *parsed;
    EXPECT_EQ(s.seed, 9u);
    EXPECT_EQ(s.txStart - s.recordingStart, 20.25);
    EXPECT_EQ(s.carrier, 137490);
    EXPECT_EQ(s.symbolCount, 7u);
    EXPECT_EQ(s.snrDb, -3);
    EXPECT_EQ(s.name, "rec1");
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--fft-length", "1000"},
                                               {"--period", "0"},
                                               {"--seed"},
                                               {"--start", "yesterday"},
                                               {"--name", "a.b"},
                                               {"--text", "no code"},
                                               {"--poly=1", "--symbols=5"},
                                               {"--colour", "red"},
                                               {"stray"}}) {
        EXPECT_FALSE(parseSignalSettings(bad, defaultSettings()).ok()) << bad[0];
    }
}

// Bad values: a stamp the eight-digit date cannot hold, an output folder
// whose parent is missing.
TEST(Siggen, RefusesWhatTheDumpCannotHold) {
    struct Case {
        const char* start;
        const char* message;  // nullptr: accepted
    } cases[] = {
        {"9999-12-31 23:59:59.99", "year 10000"},  // the stamp lies 131 s later
        {"9999-12-31 23:57:00", nullptr},
        {"0000-01-01 00:00:00", nullptr},
    };
    for (const Case& c : cases) {
        const auto s = parseSignalSettings({"--start", c.start});
        ASSERT_TRUE(s.ok()) << s.error();
        const std::string error = generateSignal(*s).error();
        if (c.message)
            EXPECT_NE(error.find(c.message), std::string::npos) << c.start << ": " << error;
        else
            EXPECT_EQ(error, "") << c.start;
    }
}

class SiggenFiles : public ScratchFolder {};

TEST_F(SiggenFiles, OutputFolderNeedsItsParent) {
    std::filesystem::create_directory("made");
    writeFile("file", "x");
    struct Case {
        const char* out;
        bool accepted;
    } cases[] = {{".", true},         {"made", true},         {"new", true},
                 {"made/new/", true}, {"missing/new", false}, {"file", false},
                 {"file/new", false}};
    for (const Case& c : cases) {
        SignalSettings s = defaultSettings();
        s.outDir = c.out;
        EXPECT_EQ(checkOutputFolder(s).ok(), c.accepted) << c.out << ": " << checkOutputFolder(s).error();
    }
    SignalSettings s = defaultSettings();
    s.outDir = "missing/new";
    EXPECT_EQ(writeSignalFiles(s, GeneratedSignal{}).exitCode(), exitBadInput);
    EXPECT_FALSE(std::filesystem::exists("missing"));
}

// Lost output: a dump that cannot be written keeps the earlier "sr.txt" with the earlier dump.
TEST_F(SiggenFiles, WritesBothFilesOrNeither) {
    SignalSettings s = defaultSettings();
    GeneratedSignal g;
    g.srText = "new sr";
    g.dumpText = "new dump";
    writeFile("sr.txt", "old sr");
    std::filesystem::create_directory("fftdata.txt");  // cannot be replaced by a file
    EXPECT_EQ(writeSignalFiles(s, g).error().rfind("cannot write ./fftdata.txt: ", 0), 0u);
    EXPECT_EQ(readFile("sr.txt"), "old sr");
    std::filesystem::remove("fftdata.txt");
    EXPECT_TRUE(writeSignalFiles(s, g).ok());
    EXPECT_EQ(readFile("sr.txt") + readFile("fftdata.txt"), "new srnew dump");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);  // no temporary file left
}

// The converter: bins in file order S(m), P(k) = S((k + N/2) mod N),
// y(n) = conj(sum P(k) e^{+2 pi i k n / N}) = sum conj(P(k)) e^{-2 pi i k n / N}.
std::vector<std::complex<float>> convertDump(const std::string& dump) {
    std::vector<cd> bins;
    const char* p = dump.data() + dump.find('\n') + 1;
    const char* end = dump.data() + dump.size();
    while (p < end) {
        float re = 0, im = 0;
        p = std::from_chars(p, end, re).ptr + 1;
        p = std::from_chars(p, end, im).ptr + 2;
        bins.push_back({re, im});
    }
    const std::size_t n = bins.size();
    std::vector<cd> p2(n);
    for (std::size_t k = 0; k < n; ++k) p2[k] = std::conj(bins[(k + n / 2) % n]);
    fftForward(p2);
    std::vector<std::complex<float>> y;
    for (const auto& v : p2) y.emplace_back(static_cast<float>(v.real()), static_cast<float>(v.imag()));
    return y;
}

TEST(SiggenRoundTrip, ReceiverRecoversEverySymbol) {
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
        SignalSettings s = smallSettings(seed);
        s.snrDb = 0;  // 62 samples per symbol: still clean after integration
        const auto generated = generateSignal(s);
        ASSERT_TRUE(generated.ok()) << generated.error();
        const auto& g = *generated;

        const auto y = convertDump(g.dumpText);
        ASSERT_EQ(y.size(), 4096u);
        // The converter's output is N * conj(x).
        for (std::size_t i = 0; i < y.size(); i += 97)
            EXPECT_LT(std::abs(cd(y[i]) - 4096.0 * std::conj(g.baseband[i])), 4096 * 1e-5);

        WavLayout layout;
        const std::string bytes = wavBytes(layout, floatBytes(y));
        const auto wave = orv::receiver::parseWave({bytes.begin(), bytes.end()}, "rt.wav");
        ASSERT_TRUE(wave.ok()) << wave.error();
        orv::receiver::RxOptions o;
        o.startOffset = 1.5;
        o.frequencyOffset = s.carrier - s.centralFrequency;
        o.symbolPeriod = s.symbolPeriod;
        o.symbolCount = s.symbolCount;
        const auto r = orv::receiver::integrateSymbols(wave.value(), o);
        ASSERT_TRUE(r.ok()) << r.error();
        for (std::size_t k = 0; k < g.symbols.size(); ++k) {
            const cd z = r->symbols[k] / 4096.0;
            EXPECT_NEAR(z.real(), g.symbols[k], 0.5) << "seed " << seed << " symbol " << k;
            EXPECT_NEAR(z.imag(), 0, 0.5) << "seed " << seed << " symbol " << k;
        }
    }
}

struct CodedCase {
    const char* name;
    std::vector<std::string> args;
    const char* message;
    const char* bits;  // sending order; bit 1 is the symbol -1
};

class SiggenCoded : public ::testing::TestWithParam<CodedCase> {};

TEST_P(SiggenCoded, SendsTheCodedBitsOfTheText) {
    const auto& c = GetParam();
    auto s = parseSignalSettings(c.args, smallSettings(1));
    ASSERT_TRUE(s.ok()) << s.error();
    s->txStart = s->recordingStart + 0.5;  // the parser's default start lies beyond this short recording
    s->symbolPeriod = 0.125;
    const auto g = generateSignal(*s);
    ASSERT_TRUE(g.ok()) << g.error();
    EXPECT_EQ(std::string(g->message.begin(), g->message.end()), c.message);
    std::string bits;
    for (const int d : g->symbols) bits += d < 0 ? '1' : '0';
    EXPECT_EQ(bits, c.bits);
}

INSTANTIATE_TEST_SUITE_P(
    Siggen, SiggenCoded,
    ::testing::Values(
        CodedCase{"K3",
                  {"--poly", "7,5", "--text", "A"},
                  "A",
                  "001110110000001101100100101111011010010001011111010111110110100100101100111000"
                  "010111"},
        CodedCase{"Uncoded",
                  {"--text=A", "--poly=1", "--length=1"},
                  "A",
                  "0100000111010011110110011001111010001011"},
        CodedCase{"PaddedUncoded",
                  {"--text", "", "--poly", "1", "--length", "2"},
                  "  ",
                  "0010000000100000"  // two blanks, then their CRC-32
                  "11101111001100110001011010010101"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SiggenCoded, RefusesWhatCannotBeSent) {
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--poly", "9"}, {"--poly", ""}, {"--length", "0"}, {"--length", "257"}})
        EXPECT_FALSE(parseSignalSettings(bad, defaultSettings()).ok()) << bad[0] << " " << bad[1];
    // 2 x (8 x 40 + 34) symbols of 0.25 s are longer than the 16 s recording.
    for (const auto& [args, message] :
         {std::pair{std::vector<std::string>{"--poly", "7,5", "--text", "ABC", "--length", "2"},
                    "the text has 3 bytes"},
          {std::vector<std::string>{"--poly", "7,5", "--length", "40"}, "does not fit"},
          {std::vector<std::string>{"--period", "0.0039"}, "shorter than one sample"},
          {std::vector<std::string>{"--amplitude", "1e150", "--tx-start", "12:00:01"},
           "beyond the 32-bit float"}}) {
        const auto g = generateSignal(*parseSignalSettings(args, smallSettings(1)));
        EXPECT_NE(g.error().find(message), std::string::npos) << g.error();
    }
}

}  // namespace
}  // namespace orv::receiver
