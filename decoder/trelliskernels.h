#pragma once
// The add-compare-select of one trellis step over all 2^(K-1) states on the
// vector paths. Metrics are 16-bit and wrap around: the metrics of one step
// lie within 2^15 of each other, so the wrapped difference of two tells which
// is larger, and every path gives exactly the bits of the plain loop in
// trellis.cpp (integer sums do not depend on their order).
#include <cstdint>

#include "orv/vectorpath.h"

namespace orv::decoder {

// A stored entry per step and state: bit 15 says which predecessor survived
// (1: the one whose oldest register bit is 1), bits 0..14 how far the losing
// branch fell behind, noAlternative where there was no losing branch.
inline constexpr std::uint16_t survivorBit = 0x8000;
inline constexpr std::uint16_t noAlternative = 0x7FFF;

// What one step needs besides the metrics. The coded pattern is linear in the
// register: register 32 b + 2 i (i < 16) has the pattern high[b] ^ low(2 i),
// its odd neighbour that ^ oldestPattern, and the branch metric of a pattern
// depends on nothing else. So one table per step holds every branch metric of
// a block of 16 new states: even[16 h + i] is the branch metric of pattern
// h ^ low(2 i), for each h of the 2^n patterns.
struct StepTables {
    const std::int16_t* even = nullptr;
    const std::uint8_t* high = nullptr;  // coded pattern of register 32 b, per block of 16 states
    std::uint8_t newestPattern = 0;      // coded pattern of register 2^(K-1) (newest bit set)
    std::uint8_t oldestPattern = 0;      // coded pattern of register 1 (oldest bit set)
    std::uint32_t states = 0;            // 2^(K-1), at least vectorStatesMinimum
};

inline constexpr std::uint32_t vectorStatesMinimum = 32;

// next[s] from metrics[2s mod S] and metrics[(2s+1) mod S] for the states
// s < limit: all of them, or (in the zero tail) at most the lower half, a
// multiple of 16 states; entries (when not null) get those states' entries.
// path must be Sse2 or Avx2.
void vectorStep(VectorPath path, const StepTables& tables, std::uint32_t limit, const std::int16_t* metrics,
                std::int16_t* next, std::uint16_t* entries);

// The fastest path this processor runs.
VectorPath bestTrellisPath();

}  // namespace orv::decoder
