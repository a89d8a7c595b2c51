#include "converter/transformkernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ORV_X86 1
#endif

#include <memory>
#include <new>
#include <vector>

namespace orv::converter {

namespace {

// The butterfly exactly as stated: products and sums in double, every value
// rounded to float when it is stored. Double products of floats are exact, so
// the only roundings are the ones written here.
void stagesPlain(float* bins, const float* twiddleTable, std::int32_t n) {
    std::int64_t stride = n / 2;
    for (std::int64_t span = 1; span < n; span *= 2, stride /= 2) {
        for (std::int64_t k = 0; k <= n - 1; k += 2 * span) {
            std::int64_t t = 0;
            for (std::int64_t a = k; a < k + span; ++a, t += stride) {
                const std::int64_t b = a + span;
                const double wr = twiddleTable[2 * t], wi = twiddleTable[2 * t + 1];
                const float ar = bins[2 * a], ai = bins[2 * a + 1];
                const double br = bins[2 * b], bi = bins[2 * b + 1];
                const float tr = static_cast<float>(wr * br - wi * bi);
                const float ti = static_cast<float>(wr * bi + wi * br);
                bins[2 * b] = static_cast<float>(static_cast<double>(ar) - tr);
                bins[2 * b + 1] = static_cast<float>(static_cast<double>(ai) - ti);
                bins[2 * a] = static_cast<float>(static_cast<double>(tr) + ar);
                bins[2 * a + 1] = static_cast<float>(static_cast<double>(ti) + ai);
            }
        }
    }
}

#ifdef ORV_X86

// One complex float (8 bytes) into two double lanes [re, im].
inline __m128d loadComplex(const float* p) {
    return _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p))));
}

// The difference and the sum of two singles rounded to double and then to
// single equal the singles' own rounded difference and sum (a double holds
// more than twice a single's precision, so the double rounding is harmless).
// Only the two-product sums need double lanes.
inline void butterflySse2(float* pa, float* pb, const float* pw) {
    const __m128d b = loadComplex(pb), w = loadComplex(pw);
    const __m128d wr = _mm_unpacklo_pd(w, w), wi = _mm_unpackhi_pd(w, w);
    const __m128d swapped = _mm_shuffle_pd(b, b, 1);  // [bi, br]
    // Real lane from the difference, imaginary lane from the sum: a true
    // subtraction, so even a NaN keeps the sign the plain loop gives it.
    const __m128d p = _mm_mul_pd(wr, b), q = _mm_mul_pd(wi, swapped);
    const __m128d sum = _mm_move_sd(_mm_add_pd(p, q), _mm_sub_pd(p, q));
    const __m128 t = _mm_cvtpd_ps(sum);  // [tr, ti] rounded to single
    const __m128 a = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(pa)));
    _mm_store_sd(reinterpret_cast<double*>(pb), _mm_castps_pd(_mm_sub_ps(a, t)));
    _mm_store_sd(reinterpret_cast<double*>(pa), _mm_castps_pd(_mm_add_ps(t, a)));
}

// One stage on the groups that start in [begin, end).
void stageSse2(float* bins, const float* twiddleTable, std::int64_t span, std::int64_t stride,
               std::int64_t begin, std::int64_t end) {
    for (std::int64_t k = begin; k < end; k += 2 * span) {
        std::int64_t t = 0;
        for (std::int64_t a = k; a < k + span; ++a, t += stride)
            butterflySse2(bins + 2 * a, bins + 2 * (a + span), twiddleTable + 2 * t);
    }
}

// Two twiddle factors, t0 and t1, as [wr0, wi0, wr1, wi1].
inline __m128 twiddlePair(const float* twiddleTable, std::int64_t t0, std::int64_t t1) {
    return _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(twiddleTable + 2 * t0))),
                        reinterpret_cast<const __m64*>(twiddleTable + 2 * t1));
}

// Two neighbouring butterflies of one group, [re0, im0, re1, im1] per vector.
__attribute__((target("avx2"))) inline void butterflyPairAvx2(__m128& a, __m128& b, __m128 wf) {
    const __m256d bd = _mm256_cvtps_pd(b);
    const __m256d w = _mm256_cvtps_pd(wf);
    const __m256d wr = _mm256_movedup_pd(w);             // [wr0, wr0, wr1, wr1]
    const __m256d wi = _mm256_permute_pd(w, 0xF);        // [wi0, wi0, wi1, wi1]
    const __m256d swapped = _mm256_permute_pd(bd, 0x5);  // [bi0, br0, bi1, br1]
    // addsub: even lanes wr*br - wi*bi, odd lanes wr*bi + wi*br.
    const __m256d sum = _mm256_addsub_pd(_mm256_mul_pd(wr, bd), _mm256_mul_pd(wi, swapped));
    const __m128 t = _mm256_cvtpd_ps(sum);
    b = _mm_sub_ps(a, t);
    a = _mm_add_ps(t, a);
}

__attribute__((target("avx2"))) void stageAvx2(float* bins, const float* twiddleTable, std::int64_t span,
                                               std::int64_t stride, std::int64_t begin, std::int64_t end) {
    // The first stage has one butterfly per group; the others pair them up.
    if (span == 1) return stageSse2(bins, twiddleTable, span, stride, begin, end);
    for (std::int64_t k = begin; k < end; k += 2 * span)
        for (std::int64_t j = 0; j < span; j += 2) {
            float* pa = bins + 2 * (k + j);
            float* pb = pa + 2 * span;
            __m128 a = _mm_loadu_ps(pa), b = _mm_loadu_ps(pb);
            butterflyPairAvx2(a, b, twiddlePair(twiddleTable, j * stride, (j + 1) * stride));
            _mm_storeu_ps(pa, a);
            _mm_storeu_ps(pb, b);
        }
}

// Stages of span S and 2S in one pass over memory: the values k+j, k+j+S,
// k+j+2S and k+j+3S (k a multiple of 4S) meet only each other in those two
// stages, so each butterfly still gets exactly the inputs it gets stage by stage.
__attribute__((target("avx2"))) void twoStagesAvx2(float* bins, std::int64_t span, std::int64_t n,
                                                   const float* first, std::int64_t firstStride,
                                                   const float* second, std::int64_t secondStride) {
    for (std::int64_t k = 0; k < n; k += 4 * span)
        for (std::int64_t j = 0; j < span; j += 2) {
            float* p0 = bins + 2 * (k + j);
            float* p1 = p0 + 2 * span;
            float* p2 = p1 + 2 * span;
            float* p3 = p2 + 2 * span;
            __m128 v0 = _mm_loadu_ps(p0), v1 = _mm_loadu_ps(p1);
            __m128 v2 = _mm_loadu_ps(p2), v3 = _mm_loadu_ps(p3);
            const __m128 w = twiddlePair(first, j * firstStride, (j + 1) * firstStride);
            butterflyPairAvx2(v0, v1, w);
            butterflyPairAvx2(v2, v3, w);
            butterflyPairAvx2(v0, v2, twiddlePair(second, j * secondStride, (j + 1) * secondStride));
            butterflyPairAvx2(v1, v3,
                              twiddlePair(second, (j + span) * secondStride, (j + span + 1) * secondStride));
            _mm_storeu_ps(p0, v0);
            _mm_storeu_ps(p1, v1);
            _mm_storeu_ps(p2, v2);
            _mm_storeu_ps(p3, v3);
        }
}

using StageFunction = void (*)(float*, const float*, std::int64_t, std::int64_t, std::int64_t, std::int64_t);
using TwoStageFunction = void (*)(float*, std::int64_t, std::int64_t, const float*, std::int64_t,
                                  const float*, std::int64_t);

// The twiddles of a stage lie `stride` entries apart in the table; for large
// N that is a cache line or more per factor. Copied next to each other once
// per stage, they cost one pass instead of a miss per group.
class StageTwiddles {
public:
    StageTwiddles(const float* table, std::int32_t n)
        : table_(table), n_(n), copies_(new (std::nothrow) float[2 * static_cast<std::size_t>(n)]) {}

    // Factor j of the stage with this span is at [2 j step]. Spans of the
    // in-cache stages get their own places (span .. 2 span - 1); the others
    // share the space from `offset` on.
    const float* forSpan(std::int64_t span, std::int64_t offset, std::int64_t& step) {
        const std::int64_t stride = n_ / (2 * span);
        step = 1;
        if (stride == 1) return table_;
        if (!copies_) {
            step = stride;
            return table_;
        }
        float* out = copies_.get() + 2 * offset;
        for (std::int64_t j = 0; j < span; ++j) {
            out[2 * j] = table_[2 * j * stride];
            out[2 * j + 1] = table_[2 * j * stride + 1];
        }
        return out;
    }

private:
    const float* table_;
    std::int64_t n_;
    std::unique_ptr<float[]> copies_;
};

// The early stages run block by block while a block stays in cache: a group
// of those stages never reaches outside its block, and every butterfly still
// sees exactly the values it would see stage after stage over the whole array.
// The later stages go over the whole array, two at a time where possible.
void stagesBlocked(StageFunction stage, TwoStageFunction twoStages, float* bins, const float* twiddleTable,
                   std::int32_t n) {
    constexpr std::int64_t blockValues = 1 << 14;  // 128 KiB of complex singles
    const std::int64_t block = n < blockValues ? n : blockValues;
    StageTwiddles twiddles(twiddleTable, n);
    std::vector<const float*> early;
    std::vector<std::int64_t> earlySteps;
    std::int64_t span = 1;
    for (; 2 * span <= block; span *= 2) {
        earlySteps.push_back(0);
        early.push_back(twiddles.forSpan(span, span, earlySteps.back()));
    }
    for (std::int64_t start = 0; start < n; start += block)
        for (std::size_t s = 0; s < early.size(); ++s)
            stage(bins, early[s], std::int64_t(1) << s, earlySteps[s], start, start + block);
    if (twoStages)
        for (; 4 * span <= n; span *= 4) {
            std::int64_t firstStep, secondStep;
            const float* first = twiddles.forSpan(span, 0, firstStep);
            const float* second = twiddles.forSpan(2 * span, span, secondStep);
            twoStages(bins, span, n, first, firstStep, second, secondStep);
        }
    for (; span < n; span *= 2) {
        std::int64_t step;
        const float* factors = twiddles.forSpan(span, 0, step);
        stage(bins, factors, span, step, 0, n);
    }
}

#endif  // ORV_X86

}  // namespace

void runStages(VectorPath path, float* bins, const float* twiddleTable, std::int32_t n) {
#ifdef ORV_X86
    if (path == VectorPath::Avx2 && bestVectorPath() == VectorPath::Avx2)
        return stagesBlocked(stageAvx2, twoStagesAvx2, bins, twiddleTable, n);
    if (path != VectorPath::Plain) return stagesBlocked(stageSse2, nullptr, bins, twiddleTable, n);
#else
    (void)path;
#endif
    stagesPlain(bins, twiddleTable, n);
}

}  // namespace orv::converter
