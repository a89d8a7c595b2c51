// The decoder on symbols made here: round trips with and without noise, the
// list against plain Viterbi, the core count, the carrier's phase and a
// residual offset, and noise or a wrong code giving no message.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "decoder/messagedecoder.h"

namespace orv::decoder {
namespace {

constexpr double noiseFree = std::numeric_limits<double>::infinity();

// Gaussian pairs by Box-Muller over mt19937_64: the same cases with every
// standard library.
class Channel {
public:
    explicit Channel(std::uint64_t seed) : rng_(seed) {}
    double uniform() { return (double(rng_() >> 11) + 0.5) / 9007199254740992.0; }
    std::complex<double> gaussian(double sigma) {
        const double radius = sigma * std::sqrt(-2 * std::log(uniform()));
        return std::polar(radius, 2 * std::numbers::pi * uniform());
    }
    std::vector<std::uint8_t> message(std::int64_t bytes) {
        std::vector<std::uint8_t> m(static_cast<std::size_t>(bytes));
        for (auto& b : m) b = std::uint8_t(rng_());
        return m;
    }
    // BPSK turned by a phase plus `cycles` over the message, at Eb/N0 per payload bit.
    std::vector<std::complex<double>> symbols(const MessageCode& code,
                                              const std::vector<std::uint8_t>& message, double ebN0Db,
                                              double phaseDegrees, double cycles = 0) {
        const auto coded = encodeMessage(code, message);
        const double n = double(coded.size());
        const double sigma = std::sqrt(n / (16 * double(message.size()) * std::pow(10.0, ebN0Db / 10)));
        std::vector<std::complex<double>> z;
        for (std::size_t k = 0; k < coded.size(); ++k)
            z.push_back(std::polar(coded[k] ? -1.0 : 1.0,
                                   2 * std::numbers::pi * (phaseDegrees / 360 + cycles * double(k) / n)) +
                        (std::isfinite(ebN0Db) ? gaussian(sigma) : 0.0));
        return z;
    }
    std::vector<std::complex<double>> noise(std::int64_t count) {
        std::vector<std::complex<double>> z;
        for (std::int64_t k = 0; k < count; ++k) z.push_back(gaussian(1));
        return z;
    }

private:
    std::mt19937_64 rng_;
};

double phaseError(double degrees, double expected) {
    return std::fabs(std::remainder(degrees - expected, 360.0));
}

DecodeSettings withList(std::int64_t listSize, unsigned cores = 0) {
    DecodeSettings s;
    s.listSize = listSize;
    s.cores = cores;
    return s;
}

struct RoundTrip {
    const char* polynomial;
    std::int64_t bytes;
    double ebN0Db;
    std::uint64_t seed;
};

TEST(MessageDecoder, RoundTripsWithAndWithoutNoise) {
    const RoundTrip cases[] = {
        {"1", 3, noiseFree, 1},       {"1", 3, 9, 2},
        {"7,5", 2, noiseFree, 3},     {"7,5", 2, 6, 4},
        {"171,133", 8, noiseFree, 5}, {"171,133", 8, 5, 6},
        {"0x13,0x1d,0x17", 5, 4, 7},  {"1,2,3,4,5,6,7,17", 1, 8, 8},
        {"1,77777", 1, noiseFree, 9}, {"42631,47245,56507,73363,77267,64537", 1, 6, 10},
    };
    for (const auto& c : cases) {
        const MessageCode code = *parseMessageCode(c.polynomial);
        Channel channel(c.seed);
        const auto message = channel.message(c.bytes);
        const double phase = 360 * channel.uniform();
        const auto z = channel.symbols(code, message, c.ebN0Db, phase);
        const auto r = decodeMessage(code, c.bytes, z, {});
        ASSERT_TRUE(r.found) << c.polynomial << " seed " << c.seed;
        EXPECT_EQ(r.message, message) << c.polynomial;
        EXPECT_LT(phaseError(r.phaseDegrees, phase), std::isfinite(c.ebN0Db) ? 25 : 1e-6) << c.polynomial;
        if (std::isfinite(c.ebN0Db))
            EXPECT_NEAR(r.ebN0Db, c.ebN0Db, 1.5) << c.polynomial;
        else
            EXPECT_EQ(r.listRank, 1) << c.polynomial;
    }
}

TEST(MessageDecoder, ListFindsWhatPlainViterbiLoses) {
    const MessageCode code = *parseMessageCode("171,133");
    for (std::uint64_t seed : {2, 3, 7}) {
        Channel channel(seed);
        const auto message = channel.message(4);
        const auto z = channel.symbols(code, message, 2.5, 360 * channel.uniform());
        const auto plain = decodeMessage(code, 4, z, withList(1));
        EXPECT_FALSE(plain.found && plain.message == message) << seed;
        const auto list = decodeMessage(code, 4, z, withList(4096));
        ASSERT_TRUE(list.found) << seed;
        EXPECT_EQ(list.message, message) << seed;
        EXPECT_GT(list.listRank, 1) << seed;
    }
}

TEST(MessageDecoder, SameResultForEveryCoreCount) {
    const MessageCode code = *parseMessageCode("171,133");
    Channel channel(3);
    const auto message = channel.message(4);
    const std::vector<std::complex<double>> inputs[] = {
        channel.symbols(code, message, 2.5, 200),  // found deep in the list
        channel.noise(codedSymbolCount(code, 4)),  // never found
    };
    for (const auto& z : inputs) {
        const auto one = decodeMessage(code, 4, z, withList(4096, 1));
        for (unsigned cores : {2u, 3u, 0u, 1000u}) {
            const auto r = decodeMessage(code, 4, z, withList(4096, cores));
            EXPECT_EQ(r.found, one.found) << cores;
            EXPECT_EQ(r.message, one.message) << cores;
            EXPECT_EQ(r.listRank, one.listRank) << cores;
            EXPECT_EQ(r.candidatesChecked, one.candidatesChecked) << cores;
            EXPECT_EQ(r.phaseDegrees, one.phaseDegrees) << cores;
            EXPECT_EQ(r.frequencyRefinement, one.frequencyRefinement) << cores;
            EXPECT_TRUE(r.ebN0Db == one.ebN0Db || (std::isnan(r.ebN0Db) && std::isnan(one.ebN0Db))) << cores;
        }
    }
}

struct CarrierCase {
    double phaseDegrees;
    double cycles;  // carrier turns over the whole message
    double ebN0Db;
    // long enough that the grid takes each carrier's phase from the squared symbols
    const char* polynomial = "171,133";
    std::int64_t bytes = 8;
};

TEST(MessageDecoder, EveryPhaseAndAHalfCycleOffset) {
    const CarrierCase cases[] = {
        {0, 0, noiseFree},
        {90, 0, noiseFree},
        {179, 0, noiseFree},
        {180, 0, noiseFree},
        {270, 0, noiseFree},
        {359, 0, 4},
        {45, 0.5, noiseFree},
        {225, -0.5, noiseFree},
        {10, 0.5, 4},
        {300, -0.5, 4},
        {100, 0.5, 2, "42631,47245,56507,73363,77267,64537", 128},
        // the best cell a ridge copy whose refined carrier stays wrong: another cell finds it
        {180, 0.3, 0.6, "42631,47245,56507,73363,77267,64537", 8},
    };
    std::uint64_t seed = 20;
    for (const auto& c : cases) {
        const MessageCode code = *parseMessageCode(c.polynomial);
        Channel channel(++seed);
        const auto message = channel.message(c.bytes);
        const auto z = channel.symbols(code, message, c.ebN0Db, c.phaseDegrees, c.cycles);
        const auto r = decodeMessage(code, c.bytes, z, {});
        ASSERT_TRUE(r.found) << c.phaseDegrees << " " << c.cycles;
        EXPECT_EQ(r.message, message) << c.phaseDegrees << " " << c.cycles;
        EXPECT_LT(phaseError(r.phaseDegrees, c.phaseDegrees), std::isfinite(c.ebN0Db) ? 25 : 5)
            << c.phaseDegrees;
        // the refinement took the offset out (cycles per symbol)
        if (c.cycles != 0) {
            EXPECT_NEAR(r.frequencyRefinement * double(z.size()), c.cycles, 0.1) << c.phaseDegrees;
        }
    }
}

struct NoMessageCase {
    const char* decodedAs;
    const char* sentAs;  // nullptr: noise alone
    std::int64_t bytes;
    std::int64_t listSize;
};

TEST(MessageDecoder, NoMessageFromNoiseOrAWrongCode) {
    const NoMessageCase cases[] = {
        {"7,5", nullptr, 1, defaultListSize}, {"171,133", nullptr, 8, 1 << 14},   {"1", nullptr, 4, 1 << 14},
        {"171,133", "133,171", 8, 1 << 14},   {"171,133", "165,127", 4, 1 << 14}, {"7,5", "5,7", 2, 1 << 14},
    };
    std::uint64_t seed = 40;
    for (const auto& c : cases) {
        const MessageCode code = *parseMessageCode(c.decodedAs);
        Channel channel(++seed);
        const auto z = c.sentAs
                           ? channel.symbols(*parseMessageCode(c.sentAs), channel.message(c.bytes), 20, 30)
                           : channel.noise(codedSymbolCount(code, c.bytes));
        const auto r = decodeMessage(code, c.bytes, z, withList(c.listSize));
        EXPECT_FALSE(r.found) << c.decodedAs << " from " << (c.sentAs ? c.sentAs : "noise");
        EXPECT_EQ(r.candidatesChecked, std::max<std::int64_t>(c.listSize, 8)) << c.decodedAs;
    }
}

}  // namespace
}  // namespace orv::decoder
