#include "decoder/trelliskernels.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ORV_X86 1
#endif

namespace orv::decoder {
namespace {

#ifdef ORV_X86

// Eight new states j0..j0+7 (and j0 + S/2 ..): their predecessors are the
// sixteen metrics from 2 j0 on, even ones for oldest bit 0, odd ones for 1.
template <bool Store>
void sse2Block(const StepTables& t, std::uint32_t j0, bool both, const std::int16_t* metrics,
               std::int16_t* next, std::uint16_t* entries) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(metrics + 2 * j0));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(metrics + 2 * j0 + 8));
    const __m128i even =
        _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(c, 16), 16));
    const __m128i odd = _mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(c, 16));
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(std::int16_t(survivorBit));
    const std::uint32_t h = t.high[j0 / 16];
    const std::uint32_t lane = j0 % 16;
    const std::uint32_t patterns[2] = {h, h ^ t.newestPattern};
    for (int upper = 0; upper < (both ? 2 : 1); ++upper) {
        const std::uint32_t p = patterns[upper], q = p ^ t.oldestPattern;
        const __m128i m0 =
            _mm_add_epi16(even, _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.even + 16 * p + lane)));
        const __m128i m1 =
            _mm_add_epi16(odd, _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.even + 16 * q + lane)));
        const __m128i d = _mm_sub_epi16(m1, m0);
        const __m128i one = _mm_cmpgt_epi16(d, zero);
        const std::uint32_t s = j0 + (upper ? t.states / 2 : 0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(next + s),
                         _mm_or_si128(_mm_and_si128(one, m1), _mm_andnot_si128(one, m0)));
        if constexpr (Store) {
            const __m128i size = _mm_max_epi16(d, _mm_sub_epi16(zero, d));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(entries + s),
                             _mm_or_si128(size, _mm_and_si128(one, top)));
        }
    }
}

template <bool Store>
void sse2Step(const StepTables& t, std::uint32_t limit, const std::int16_t* metrics, std::int16_t* next,
              std::uint16_t* entries) {
    const bool both = limit == t.states;
    for (std::uint32_t j0 = 0; j0 < std::min(limit, t.states / 2); j0 += 8)
        sse2Block<Store>(t, j0, both, metrics, next, entries);
}

// Sixteen new states per block; the predecessors are deinterleaved within
// each 128-bit lane, then the lanes put in order.
template <bool Store>
__attribute__((target("avx2"))) void avx2Step(const StepTables& t, std::uint32_t limit,
                                              const std::int16_t* metrics, std::int16_t* next,
                                              std::uint16_t* entries) {
    const __m256i split = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15, 0, 1, 4, 5,
                                           8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = _mm256_set1_epi16(std::int16_t(survivorBit));
    const std::uint32_t half = t.states / 2;
    const int halves = limit == t.states ? 2 : 1;
    for (std::uint32_t j0 = 0; j0 < std::min(limit, half); j0 += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(metrics + 2 * j0));
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(metrics + 2 * j0 + 16));
        const __m256i as = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(a, split), 0xD8);
        const __m256i cs = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(c, split), 0xD8);
        const __m256i even = _mm256_permute2x128_si256(as, cs, 0x20);
        const __m256i odd = _mm256_permute2x128_si256(as, cs, 0x31);
        const std::uint32_t h = t.high[j0 / 16];
        const std::uint32_t patterns[2] = {h, h ^ t.newestPattern};
        for (int upper = 0; upper < halves; ++upper) {
            const std::uint32_t p = patterns[upper], q = p ^ t.oldestPattern;
            const __m256i m0 =
                _mm256_add_epi16(even, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.even + 16 * p)));
            const __m256i m1 =
                _mm256_add_epi16(odd, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.even + 16 * q)));
            const __m256i d = _mm256_sub_epi16(m1, m0);
            const __m256i one = _mm256_cmpgt_epi16(d, zero);
            const std::uint32_t s = j0 + (upper ? half : 0);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(next + s), _mm256_blendv_epi8(m0, m1, one));
            if constexpr (Store)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(entries + s),
                                    _mm256_or_si256(_mm256_abs_epi16(d), _mm256_and_si256(one, top)));
        }
    }
}

#endif  // ORV_X86

}  // namespace

void vectorStep(VectorPath path, const StepTables& tables, std::uint32_t limit, const std::int16_t* metrics,
                std::int16_t* next, std::uint16_t* entries) {
#ifdef ORV_X86
    if (path == VectorPath::Avx2 && bestTrellisPath() == VectorPath::Avx2) {
        if (entries)
            avx2Step<true>(tables, limit, metrics, next, entries);
        else
            avx2Step<false>(tables, limit, metrics, next, entries);
        return;
    }
    if (entries)
        sse2Step<true>(tables, limit, metrics, next, entries);
    else
        sse2Step<false>(tables, limit, metrics, next, entries);
#else
    (void)path;
    (void)limit;
    (void)tables;
    (void)metrics;
    (void)next;
    (void)entries;
#endif
}

VectorPath bestTrellisPath() { return bestVectorPath(); }

}  // namespace orv::decoder
