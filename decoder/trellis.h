#pragma once
// The forward pass of the Viterbi search over a terminated rate-1/n code, on
// soft values quantized to whole numbers: metrics are exact sums, compare
// across hypotheses and come out the same on every vector path. A pass gives
// the best metric alone (to score a hypothesis) or keeps every step's entries
// (2 bytes per step and state) for the list search.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "decoder/messagecode.h"
#include "decoder/trelliskernels.h"

namespace orv::decoder {

// The largest quantized soft value: with n <= 8 and K <= 15 the metrics of
// one step then lie within 2 (K-1) n 127 < 2^15 of each other.
inline constexpr int softLimit = 127;

// What the passes need of a code and a message length, worked out once.
struct TrellisCode {
    TrellisCode(const MessageCode& code, std::int64_t messageBytes);

    int constraintLength = 0;
    int rate = 0;
    std::uint32_t states = 0;           // 2^(K-1)
    int infoSteps = 0;                  // 8N + 32 input bits before the zero tail
    int steps = 0;                      // with the tail
    std::vector<std::uint8_t> pattern;  // coded bits of each K-bit register, bit j for generator j
    std::vector<std::uint8_t> high;     // pattern of register 32 b, per block of 16 states
    std::uint8_t newestPattern = 0;     // pattern of register 2^(K-1)

    std::size_t entryCount() const { return std::size_t(steps) * states; }
};

struct StoredTrellis {
    struct Free {
        void operator()(std::uint16_t* p) const;
    };
    std::unique_ptr<std::uint16_t[], Free> entries;  // steps x states, see trelliskernels.h
    std::int64_t bestMetric = 0;                     // of the best path, which ends in state 0
};

// soft: code.rate values per step for code.steps steps, each within
// +-softLimit; a larger value favours coded bit 0. The metric of a path is
// the sum of its soft values, each negated where the path sends a 1.
std::int64_t bestMetric(const TrellisCode& code, std::span<const std::int16_t> soft, VectorPath path);
// Into the entries `into` already holds when it holds any: a fresh 70 MB
// costs far more in first touches of its pages than the pass itself.
void storeTrellis(const TrellisCode& code, std::span<const std::int16_t> soft, VectorPath path,
                  StoredTrellis& into);

// value x scale rounded to the nearest whole number (ties to even) and held
// within +-softLimit.
std::int16_t quantized(double value, double scale);

}  // namespace orv::decoder
