#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "converter/spectrumtransform.h"

namespace orv::converter {
namespace {

// Spectrum values of every kind the text can give: zeros of both signs, small
// and large magnitudes, exact and inexact fractions.
std::vector<float> randomSpectrum(std::int32_t values, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-20, 20), kind(0, 9);
    std::vector<float> v(2 * static_cast<std::size_t>(values));
    for (float& x : v) {
        const int k = kind(gen);
        x = k == 0 ? 0.0f : k == 1 ? -0.0f : std::ldexp(mantissa(gen), exponent(gen));
    }
    return v;
}

std::string bytesOf(const std::vector<float>& v) {
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(float));
}

std::vector<float> convert(const std::vector<float>& file, TransformSize size, VectorPath path) {
    SpectrumTransform s;
    EXPECT_TRUE(s.allocate(size));
    s.fillTables();
    s.loadSpectrum(bytesOf(file));
    s.swapHalves();
    s.conjugate();
    s.transform(path);
    return std::vector<float>(s.bins(), s.bins() + 2 * static_cast<std::size_t>(size.size));
}

// The stated algorithm written out on its own: bit reversal by digit
// reversal, butterflies with each stored value rounded from double.
std::vector<float> referenceButterflies(std::vector<float> v, const float* tw, std::int32_t n,
                                        std::int32_t bits) {
    for (std::int32_t i = 0; i < n; ++i) {
        std::int32_t j = 0;
        for (std::int32_t b = 0; b < bits; ++b) j |= ((i >> b) & 1) << (bits - 1 - b);
        if (j < i) {
            std::swap(v[2 * i], v[2 * j]);
            std::swap(v[2 * i + 1], v[2 * j + 1]);
        }
    }
    for (std::int32_t span = 1, stride = n / 2; span < n; span *= 2, stride /= 2)
        for (std::int32_t k = 0; k < n; k += 2 * span)
            for (std::int32_t j = 0; j < span; ++j) {
                float* a = &v[2 * (k + j)];
                float* b = &v[2 * (k + j + span)];
                const double wr = tw[2 * j * stride], wi = tw[2 * j * stride + 1];
                const float tr = float(wr * b[0] - wi * double(b[1]));
                const float ti = float(wr * b[1] + wi * double(b[0]));
                b[0] = float(double(a[0]) - tr);
                b[1] = float(double(a[1]) - ti);
                a[0] = float(double(tr) + a[0]);
                a[1] = float(double(ti) + a[1]);
            }
    return v;
}

TEST(TransformSize, LargestPowerOfTwoNotAbovePairCountButAtLeast16) {
    struct Case {
        std::int32_t pairs, size, log2;
    };
    for (Case c : {Case{0, 16, 4}, Case{10, 16, 4}, Case{31, 16, 4}, Case{32, 32, 5}, Case{1000, 512, 9},
                   Case{524288, 524288, 19}, Case{524289, 524288, 19}, Case{2147483647, 1 << 30, 30}}) {
        const TransformSize s = chooseTransformSize(c.pairs);
        EXPECT_EQ(s.size, c.size) << c.pairs;
        EXPECT_EQ(s.log2Size, c.log2) << c.pairs;
    }
}

TEST(Tables, BitReversalAndSinglePrecisionPiInTheTwiddles) {
    SpectrumTransform s;
    ASSERT_TRUE(s.allocate({16, 4}));
    s.fillTables();
    const std::int32_t expected[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(s.bitReverseTable()[i], expected[i]) << i;
    EXPECT_EQ(s.twiddleTable()[0], 1.0f);
    // A quarter turn with the single nearest to pi, which lies above pi.
    EXPECT_EQ(s.twiddleTable()[8], float(std::cos(3.1415927410125732 / 2)));
    EXPECT_LT(s.twiddleTable()[8], 0.0f);
    EXPECT_EQ(s.twiddleTable()[9], -1.0f);
}

TEST(Tables, EveryTwiddleIsTheDirectlyRoundedCosineAndSine) {
    const double pi = 3.1415927410125732;
    for (std::int32_t bits : {4, 10, 11, 15, 20}) {
        const std::int32_t n = 1 << bits;
        SpectrumTransform s;
        ASSERT_TRUE(s.allocate({n, bits}));
        s.fillTables();
        std::int32_t wrong = 0;
        for (std::int32_t i = 0; i < n / 2; ++i) {
            const double angle = pi * 2 * i / n;
            wrong += std::bit_cast<std::uint32_t>(s.twiddleTable()[2 * i]) !=
                     std::bit_cast<std::uint32_t>(static_cast<float>(std::cos(angle)));
            wrong += std::bit_cast<std::uint32_t>(s.twiddleTable()[2 * i + 1]) !=
                     std::bit_cast<std::uint32_t>(static_cast<float>(-std::sin(angle)));
        }
        EXPECT_EQ(wrong, 0) << "N = " << n;
    }
}

TEST(Assembly, ShortFileIsZeroPaddedBeforeTheHalfSwap) {
    SpectrumTransform s;
    ASSERT_TRUE(s.allocate({16, 4}));
    std::vector<float> file(20);
    for (int e = 0; e < 20; ++e) file[e] = float(e + 1);
    s.loadSpectrum(bytesOf(file) + "\x01\x02");  // a torn float at the end stays 0
    s.swapHalves();
    for (int k = 0; k < 16; ++k) {
        const int m = (k + 8) % 16;  // file value now at value k
        const float re = m < 10 ? float(2 * m + 1) : 0.0f;
        EXPECT_EQ(s.bins()[2 * k], re) << k;
    }
    for (int k = 2; k <= 7; ++k) EXPECT_EQ(s.bins()[2 * k], 0.0f) << k;
}

TEST(Transform, EveryVectorPathMatchesThePlainButterflyBitForBit) {
    for (std::int32_t bits : {4, 5, 6, 10, 13, 16, 17}) {  // from 2^15: blocks, paired stages
        const std::int32_t n = 1 << bits;
        for (bool infinities : {false, true}) {  // text like 1e39 reads as an infinite single
            std::vector<float> file = randomSpectrum(n, 7u * bits);
            if (infinities)
                for (std::int32_t e : {1, n / 3, n + 5})
                    file[e] = (e % 2 ? -1 : 1) * std::numeric_limits<float>::infinity();
            std::vector<float> prepared = file;
            std::swap_ranges(prepared.begin(), prepared.begin() + n, prepared.begin() + n);
            for (std::size_t e = 1; e < prepared.size(); e += 2) prepared[e] = -prepared[e];
            SpectrumTransform tables;
            ASSERT_TRUE(tables.allocate({n, bits}));
            tables.fillTables();
            const std::vector<float> reference =
                referenceButterflies(prepared, tables.twiddleTable(), n, bits);
            for (VectorPath path : {VectorPath::Plain, VectorPath::Sse2, VectorPath::Avx2}) {
                const std::vector<float> got = convert(file, {n, bits}, path);
                EXPECT_EQ(std::memcmp(got.data(), reference.data(), got.size() * 4), 0)
                    << "N = " << n << ", path " << int(path) << ", infinities " << infinities;
            }
        }
    }
}

TEST(Transform, AgreesWithADoublePrecisionDft) {
    for (std::int32_t bits : {4, 7, 10}) {
        const std::int32_t n = 1 << bits;
        std::vector<float> file = randomSpectrum(n, 99u + bits);
        for (float& x : file) x = std::ldexp(x, -std::ilogb(x == 0 ? 1 : x));  // |x| in [1, 2)
        const std::vector<float> got = convert(file, {n, bits}, bestVectorPath());
        double energy = 0, worst = 0;
        for (std::int32_t i = 0; i < n; ++i)
            energy += std::norm(std::complex<double>(file[2 * i], file[2 * i + 1]));
        for (std::int32_t t = 0; t < n; ++t) {
            std::complex<double> y = 0;
            for (std::int32_t k = 0; k < n; ++k) {
                const std::int32_t m = (k + n / 2) % n;
                const std::complex<double> p(file[2 * m], file[2 * m + 1]);
                y += std::conj(p) * std::polar(1.0, -2 * M_PI * double(k) * t / n);
            }
            worst = std::max(worst, std::abs(y - std::complex<double>(got[2 * t], got[2 * t + 1])));
        }
        EXPECT_LT(worst, 1e-6 * bits * std::sqrt(energy)) << "N = " << n;
    }
}

TEST(Transform, SingleBinTonesAndTheirRotationSense) {
    const std::int32_t n = 64;
    struct Tone {
        std::int32_t position;
        float re, im;
        double cycles;
        double phase;
    };
    // Output n = (re', im') rotated by -2 pi cycles n / N, with (re', im') the conjugate.
    for (Tone tone : {Tone{n / 2, 1, 0, 0, 0}, Tone{n / 2 + 1, 1, 0, 1, 0}, Tone{n / 2, 0, 1, 0, 0},
                      Tone{n / 2 - 3, 0.5f, 0, -3, 0}}) {
        std::vector<float> file(2 * n, 0.0f);
        file[2 * tone.position] = tone.re;
        file[2 * tone.position + 1] = tone.im;
        const std::vector<float> got = convert(file, {n, 6}, bestVectorPath());
        for (std::int32_t t = 0; t < n; ++t) {
            const std::complex<double> expected = std::conj(std::complex<double>(tone.re, tone.im)) *
                                                  std::polar(1.0, -2 * M_PI * tone.cycles * t / n);
            EXPECT_NEAR(got[2 * t], expected.real(), 2e-6) << tone.position << " sample " << t;
            EXPECT_NEAR(got[2 * t + 1], expected.imag(), 2e-6) << tone.position << " sample " << t;
        }
    }
}

}  // namespace
}  // namespace orv::converter
