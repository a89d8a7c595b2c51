#pragma once
// The add-compare-select of one trellis step over all 2^(K-1) states on the
// vector paths. Metrics are 16-bit and wrap around: the metrics of one step
// lie within 2^15 of each other, so the wrapped difference of two tells which
// is larger, and every path gives exactly the bits of the plain loop in
// trellis.cpp (integer sums do not depend on their order).
#include <cstdint>

#include "orv/vectorpath.h"

namespace orv::receiver {

using runtime::VectorPath;

// A stored entry per step and state: bit 15 says which predecessor survived
// (1: the one whose oldest register bit is 1), bits 0..14 how far the losing
// branch fell behind, noAlternative where there was no losing branch.
inline constexpr std::uint16_t survivorBit = 0x8000;
inline constexpr std::uint16_t noAlternative = 0x7FFF;

// What one step needs besides the metrics. Register r = 32 b + i (i < 32) has
// the coded pattern high[b] ^ low(i), and the branch metric of a pattern
// depends on nothing else, so two tables per step hold every branch metric of
// a block of 16 new states: even[16 h + i] for register 2 i, odd[16 h + i]
// for register 2 i + 1, for each high pattern h (2^n of them).
struct StepTables {
    const std::int16_t* even = nullptr;
    const std::int16_t* odd = nullptr;
    const std::uint8_t* high = nullptr;  // coded pattern of register 32 b, per block of 16 states
    std::uint8_t newestPattern = 0;      // coded pattern of register 2^(K-1) (newest bit set)
    std::uint32_t states = 0;            // 2^(K-1), at least vectorStatesMinimum
};

inline constexpr std::uint32_t vectorStatesMinimum = 32;

// next[s] from metrics[2s mod S] and metrics[(2s+1) mod S] for every state s;
// entries (when not null) get the step's entries. path must be Sse2 or Avx2.
void vectorStep(VectorPath path, const StepTables& tables, const std::int16_t* metrics, std::int16_t* next,
                std::uint16_t* entries);

// The fastest path this processor runs.
VectorPath bestTrellisPath();

}  // namespace orv::receiver
