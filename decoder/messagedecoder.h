#pragma once
// Symbols in, message out: carrier phase (and a small frequency refinement)
// from the symbols, then a soft-decision list Viterbi search whose first
// candidate that passes the check is the message.
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "decoder/messagecode.h"

namespace orv::decoder {

// Distinct candidates checked per decode, over all carrier hypotheses. Each
// wrong candidate passes the CRC-32 with probability 2^-32, so noise alone
// gives a false message with probability at most 2^18 / 2^32 = 6.1e-5.
inline constexpr std::int64_t defaultListSize = std::int64_t(1) << 18;

struct DecodeSettings {
    // Paths checked in all; each carrier hypothesis's best path is checked
    // even when that is more (8), so 1 is plain Viterbi decoding.
    std::int64_t listSize = defaultListSize;
    unsigned cores = 0;  // 0 or more than the machine has: all of them
};

struct DecodeResult {
    bool found = false;
    std::vector<std::uint8_t> message;  // N bytes when found
    double ebN0Db = 0;               // estimated Eb/N0 per payload bit (+inf without noise, NaN for silence)
    double phaseDegrees = 0;         // carrier phase taken off the symbols, 0..360
    double frequencyRefinement = 0;  // cycles per symbol; 0 when the unrefined symbols won
    std::int64_t listRank = 0;       // 1-based rank of the message among all checked candidates
    std::int64_t candidatesChecked = 0;
    double seconds = 0;  // wall time of the decode
};

// symbols: the integrated symbols of one message, codedSymbolCount(code,
// messageBytes) of them (extra ones are ignored, missing ones count as 0),
// at rest up to an unknown phase and a small residual frequency. The result
// does not depend on settings.cores. A raw code decodes nothing.
DecodeResult decodeMessage(const MessageCode& code, std::int64_t messageBytes,
                           std::span<const std::complex<double>> symbols, const DecodeSettings& settings);

}  // namespace orv::decoder
