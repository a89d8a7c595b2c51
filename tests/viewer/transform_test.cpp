// The fast transform paths against the plain loop (bit for bit) and the plain
// loop against an independent transform (within a bound).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "viewer/analysis.h"
#include "viewer/transform.h"

namespace orv::viewer {
namespace {

struct Input {
    std::vector<float> re, im;
    SpectrumWork work;
};

// Gaussian values, or values spread over many decades (down to the
// subnormal range) so that every rounding path is taken.
Input makeInput(std::size_t n, unsigned seed, bool wideRange) {
    Input in;
    std::mt19937 rng(seed);
    std::normal_distribution<float> gauss;
    std::uniform_int_distribution<int> decade(-44, 30);
    for (std::size_t i = 0; i < n; ++i) {
        float a = gauss(rng), b = gauss(rng);
        if (wideRange) {
            a *= std::pow(10.0f, static_cast<float>(decade(rng)));
            b *= std::pow(10.0f, static_cast<float>(decade(rng)));
        }
        in.re.push_back(a);
        in.im.push_back(b);
    }
    fillTwiddleTables(in.work, n);
    return in;
}

TransformArgs argsFor(const Input& in, std::vector<float>& outRe, std::vector<float>& outIm) {
    TransformArgs a;
    a.re = in.re.data();
    a.im = in.im.data();
    a.twiddleCos = in.work.twiddleCos.data();
    a.twiddleSin = in.work.twiddleSin.data();
    a.n = in.re.size();
    outRe.assign(a.n, -1.0f);
    outIm.assign(a.n, -1.0f);
    a.outRe = outRe.data();
    a.outIm = outIm.data();
    return a;
}

struct PathCase {
    std::size_t n;
    bool wideRange;
};

class BitIdentity : public ::testing::TestWithParam<PathCase> {};

TEST_P(BitIdentity, EveryPathAndThreadCountMatchesThePlainLoop) {
    const PathCase& c = GetParam();
    const Input in = makeInput(c.n, static_cast<unsigned>(c.n) * 7 + c.wideRange, c.wideRange);
    std::vector<float> refRe, refIm;
    directTransformPlain(argsFor(in, refRe, refIm));

    std::vector<VectorPath> paths{VectorPath::Plain, VectorPath::Sse2};
    if (bestVectorPath() == VectorPath::Avx2) paths.push_back(VectorPath::Avx2);
    for (const VectorPath path : paths) {
        for (const unsigned threads : {1u, 2u, 3u}) {
            std::vector<float> re, im;
            directTransform(argsFor(in, re, im), path, threads);
            EXPECT_EQ(std::memcmp(re.data(), refRe.data(), c.n * sizeof(float)), 0)
                << vectorPathName(path) << " threads " << threads;
            EXPECT_EQ(std::memcmp(im.data(), refIm.data(), c.n * sizeof(float)), 0)
                << vectorPathName(path) << " threads " << threads;
        }
    }
}

// Sizes below, at and around the lane counts, odd and even, and past the
// point where the work is split over threads.
INSTANTIATE_TEST_SUITE_P(Sizes, BitIdentity,
                         ::testing::Values(PathCase{1, false}, PathCase{2, false}, PathCase{7, false},
                                           PathCase{8, false}, PathCase{13, false}, PathCase{64, false},
                                           PathCase{101, false}, PathCase{512, false}, PathCase{777, false},
                                           PathCase{1000, false}, PathCase{1031, false}, PathCase{300, true},
                                           PathCase{1001, true}));

// The plain loop against a long double transform with exact factors of the
// same (float) turn: float accumulation over n terms stays within the bound.
TEST(DirectTransform, AgreesWithAnIndependentTransform) {
    for (const std::size_t n : {std::size_t{97}, std::size_t{1000}}) {
        const Input in = makeInput(n, 5, false);
        std::vector<float> re, im;
        directTransform(argsFor(in, re, im));
        const long double turn = 6.2831855f;
        double worst = 0;
        for (std::size_t k = 0; k < n; ++k) {
            std::complex<long double> sum = 0;
            for (std::size_t r = 0; r < n; ++r) {
                const long double angle = turn * static_cast<long double>((r * k) % n) / n;
                sum += std::complex<long double>(in.re[r], in.im[r]) *
                       std::complex<long double>(std::cos(angle), std::sin(angle));
            }
            sum /= std::sqrt(static_cast<long double>(n));
            worst =
                std::max(worst, static_cast<double>(std::abs(sum - std::complex<long double>(re[k], im[k]))));
        }
        EXPECT_LT(worst, 2e-5) << "n " << n;
    }
}

}  // namespace
}  // namespace orv::viewer
