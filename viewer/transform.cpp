#include "viewer/transform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <new>
#include <vector>

#include "orv/parallelfor.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define ORV_X86 1
#endif

namespace orv::viewer {
namespace {

// Runs k in [begin, end); the table is the interleaved one of the fast paths.
using RangeFn = void (*)(const TransformArgs&, const double*, std::size_t, std::size_t, float);

float normOf(std::size_t n) { return static_cast<float>(std::sqrt(static_cast<double>(n))); }

// The plain loop for k in [kBegin, kEnd). Each term is formed in double (the
// products of two floats are exact there) and the sum rounded to float.
void plainRange(const TransformArgs& a, std::size_t kBegin, std::size_t kEnd, float norm) {
    const std::size_t n = a.n;
    for (std::size_t k = kBegin; k < kEnd; ++k) {
        float re = 0;
        float im = 0;
        std::size_t m = 0;
        for (std::size_t r = 0; r < n; ++r) {
            const double tc = a.twiddleCos[m];
            const double ts = a.twiddleSin[m];
            const double xr = a.re[r];
            const double xi = a.im[r];
            re = static_cast<float>(re + xr * tc - xi * ts);
            im = static_cast<float>(im + xr * ts + xi * tc);
            m += k;
            if (m >= n) m -= n;
        }
        a.outRe[k] = static_cast<float>(re / static_cast<double>(norm));
        a.outIm[k] = static_cast<float>(im / static_cast<double>(norm));
    }
}

#ifdef ORV_X86

// The fast paths read each factor pair from one interleaved table of doubles
// (cos, sin, widened exactly from the float tables) with one load, and keep
// each k's (re, im) side by side in a vector: lane pair (re, im) gets
// re + xr*c + (-xi)*s and im + xr*s + xi*c, which are the plain loop's
// (re + xr*c) - xi*s and (im + xr*s) + xi*c to the bit. Gathers are slower
// than plain loads on the processors we run on.
constexpr std::size_t avx2Pairs = 4;  // two k per 256-bit vector, eight k in flight
constexpr std::size_t avx2Lanes = 2 * avx2Pairs;
constexpr std::size_t sse2Lanes = 6;  // one k per 128-bit vector

struct PairTable {
    std::vector<double> values;  // cos(m), sin(m) for m = 0 .. n-1
};

void fillPairTable(const TransformArgs& a, PairTable& table) {
    table.values.resize(2 * a.n);
    for (std::size_t m = 0; m < a.n; ++m) {
        table.values[2 * m] = a.twiddleCos[m];
        table.values[2 * m + 1] = a.twiddleSin[m];
    }
}

__attribute__((target("avx2,fma"))) void avx2Range(const TransformArgs& a, const double* table,
                                                   std::size_t kBegin, std::size_t kEnd, float norm) {
    const auto n = static_cast<std::uint32_t>(a.n);
    const char* base = reinterpret_cast<const char*>(table);
    const std::uint32_t limit = n * 16;  // byte offsets of a table entry
    std::size_t k0 = kBegin;
    for (; k0 + avx2Lanes <= kEnd; k0 += avx2Lanes) {
        std::uint32_t offset[avx2Lanes] = {};
        std::uint32_t step[avx2Lanes];
        for (std::size_t l = 0; l < avx2Lanes; ++l) step[l] = static_cast<std::uint32_t>(k0 + l) * 16;
        __m256d acc[avx2Pairs];
        for (std::size_t p = 0; p < avx2Pairs; ++p) acc[p] = _mm256_setzero_pd();
        for (std::size_t r = 0; r < a.n; ++r) {
            const double xr = a.re[r];
            const double xi = a.im[r];
            const __m256d byRe = _mm256_set1_pd(xr);
            const __m256d byIm = _mm256_setr_pd(-xi, xi, -xi, xi);
#pragma GCC unroll 8
            for (std::size_t p = 0; p < avx2Pairs; ++p) {
                const __m128d w0 = _mm_load_pd(reinterpret_cast<const double*>(base + offset[2 * p]));
                const __m128d w1 = _mm_load_pd(reinterpret_cast<const double*>(base + offset[2 * p + 1]));
                const __m256d w = _mm256_insertf128_pd(_mm256_castpd128_pd256(w0), w1, 1);
                const __m256d swapped = _mm256_permute_pd(w, 0b0101);
                // A float times a float is exact in double, so the fused
                // multiply-add rounds exactly where the separate add does.
                __m256d t = _mm256_fmadd_pd(byRe, w, acc[p]);
                t = _mm256_fmadd_pd(byIm, swapped, t);
                acc[p] = _mm256_cvtps_pd(_mm256_cvtpd_ps(t));
            }
#pragma GCC unroll 16
            for (std::size_t l = 0; l < avx2Lanes; ++l) {
                const std::uint32_t next = offset[l] + step[l];
                offset[l] = next >= limit ? next - limit : next;
            }
        }
        alignas(32) double out[2 * avx2Lanes];
        for (std::size_t p = 0; p < avx2Pairs; ++p) _mm256_store_pd(out + 4 * p, acc[p]);
        for (std::size_t l = 0; l < avx2Lanes; ++l) {
            // Each value already is a float; the division is the plain loop's.
            a.outRe[k0 + l] = static_cast<float>(static_cast<float>(out[2 * l]) / static_cast<double>(norm));
            a.outIm[k0 + l] =
                static_cast<float>(static_cast<float>(out[2 * l + 1]) / static_cast<double>(norm));
        }
    }
    plainRange(a, k0, kEnd, norm);
}

// The same on the x86-64 baseline, one k per vector.
void sse2Range(const TransformArgs& a, const double* table, std::size_t kBegin, std::size_t kEnd,
               float norm) {
    const auto n = static_cast<std::uint32_t>(a.n);
    const char* base = reinterpret_cast<const char*>(table);
    const std::uint32_t limit = n * 16;
    std::size_t k0 = kBegin;
    for (; k0 + sse2Lanes <= kEnd; k0 += sse2Lanes) {
        std::uint32_t offset[sse2Lanes] = {};
        std::uint32_t step[sse2Lanes];
        for (std::size_t l = 0; l < sse2Lanes; ++l) step[l] = static_cast<std::uint32_t>(k0 + l) * 16;
        __m128d acc[sse2Lanes];
        for (std::size_t l = 0; l < sse2Lanes; ++l) acc[l] = _mm_setzero_pd();
        for (std::size_t r = 0; r < a.n; ++r) {
            const double xr = a.re[r];
            const double xi = a.im[r];
            const __m128d byRe = _mm_set1_pd(xr);
            const __m128d byIm = _mm_setr_pd(-xi, xi);
#pragma GCC unroll 8
            for (std::size_t l = 0; l < sse2Lanes; ++l) {
                const __m128d w = _mm_load_pd(reinterpret_cast<const double*>(base + offset[l]));
                const __m128d swapped = _mm_shuffle_pd(w, w, 1);
                __m128d t = _mm_add_pd(acc[l], _mm_mul_pd(byRe, w));
                t = _mm_add_pd(t, _mm_mul_pd(byIm, swapped));
                acc[l] = _mm_cvtps_pd(_mm_cvtpd_ps(t));
                const std::uint32_t next = offset[l] + step[l];
                offset[l] = next >= limit ? next - limit : next;
            }
        }
        for (std::size_t l = 0; l < sse2Lanes; ++l) {
            alignas(16) double out[2];
            _mm_store_pd(out, acc[l]);
            a.outRe[k0 + l] = static_cast<float>(static_cast<float>(out[0]) / static_cast<double>(norm));
            a.outIm[k0 + l] = static_cast<float>(static_cast<float>(out[1]) / static_cast<double>(norm));
        }
    }
    plainRange(a, k0, kEnd, norm);
}

#endif

void plainWithTable(const TransformArgs& a, const double*, std::size_t kBegin, std::size_t kEnd, float norm) {
    plainRange(a, kBegin, kEnd, norm);
}

RangeFn rangeFor(VectorPath path, std::size_t& lanes) {
#ifdef ORV_X86
    switch (path) {
        case VectorPath::Avx2:
            lanes = avx2Lanes;
            return avx2Range;
        case VectorPath::Sse2:
            lanes = sse2Lanes;
            return sse2Range;
        case VectorPath::Plain:
            break;
    }
#else
    (void)path;
#endif
    lanes = 1;
    return plainWithTable;
}

}  // namespace

void directTransformPlain(const TransformArgs& args) { plainRange(args, 0, args.n, normOf(args.n)); }

void directTransform(const TransformArgs& args, VectorPath path, unsigned threads) {
    const std::size_t n = args.n;
    if (n == 0) return;
#ifdef ORV_X86
    if (path == VectorPath::Avx2 && bestVectorPath() != VectorPath::Avx2) path = VectorPath::Sse2;
    // Table offsets are 32-bit byte counts.
    if (n > (std::size_t{1} << 27)) path = VectorPath::Plain;
    PairTable table;
    if (path != VectorPath::Plain) {
        try {
            fillPairTable(args, table);
        } catch (const std::bad_alloc&) {
            path = VectorPath::Plain;  // slower, same result
        }
    }
    const double* tableData = table.values.data();
#else
    path = VectorPath::Plain;
    const double* tableData = nullptr;
#endif
    std::size_t lanes = 1;
    const RangeFn range = rangeFor(path, lanes);
    const float norm = normOf(n);

    std::size_t workers = threads != 0 ? threads : machineThreads();
    // Below a few hundred bins a thread costs more than it saves.
    workers = std::min(workers, std::max<std::size_t>(1, n / 256));
    // Whole groups of lanes per worker; every k costs the same.
    const std::size_t groups = (n + lanes - 1) / lanes;
    const auto edge = [&](std::size_t w) {
        return w == workers ? n : std::min(n, (groups * w / workers) * lanes);
    };
    parallelFor(workers, static_cast<unsigned>(workers),
                [&](std::size_t w) { range(args, tableData, edge(w), edge(w + 1), norm); });
}

void directTransform(const TransformArgs& args) { directTransform(args, bestVectorPath()); }

}  // namespace orv::viewer
