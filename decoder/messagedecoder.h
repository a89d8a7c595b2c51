#pragma once
// Symbols in, message out: start, carrier and polarity hypotheses scored by
// the decoder itself, the winner's carrier refined and followed from its own
// decisions, then a soft-decision list Viterbi search over the best
// hypotheses whose first candidate that passes the check is the message.
#include <complex>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "decoder/messagecode.h"

namespace orv::decoder {

// Distinct candidates checked per decode, over all hypotheses together. Each
// wrong candidate passes the CRC-32 with probability 2^-32, so noise alone
// gives a false message with probability at most 2^18 / 2^32 = 6.1e-5,
// however many hypotheses the search holds.
inline constexpr std::int64_t defaultListSize = std::int64_t(1) << 18;

// Half-width of the carrier search: cycles of carrier over the message.
inline constexpr double defaultSearchCycles = 3;

struct DecodeProgress {
    enum class Stage { Search, List };
    Stage stage = Stage::Search;
    std::int64_t done = 0;  // hypotheses scored, or candidates checked
    std::int64_t total = 0;
};

struct DecodeSettings {
    // Paths checked in all, over every hypothesis; 1 is plain Viterbi
    // decoding with the hypotheses' scores choosing the path.
    std::int64_t listSize = defaultListSize;
    unsigned cores = 0;  // 0 or more than the machine has: all of them
    double searchCycles = defaultSearchCycles;
    // Called now and then on the calling thread; may be empty.
    std::function<void(const DecodeProgress&)> progress;
};

// Candidate starts of one message: the symbols integrated from starts spaced
// evenly in time. The decoder scores every one.
struct StartSearch {
    std::vector<std::vector<std::complex<double>>> starts;
    std::size_t nominal = 0;
};

struct DecodeResult {
    bool found = false;
    std::vector<std::uint8_t> message;  // N bytes when found
    double ebN0Db = 0;  // estimated Eb/N0 per payload bit when found (+inf without noise); NaN otherwise
    double phaseDegrees = 0;         // carrier phase taken off the first symbol, 0..360
    double frequencyRefinement = 0;  // carrier frequency taken off the symbols, cycles per symbol
    std::ptrdiff_t startOffset = 0;  // winning start minus the nominal one, in starts
    bool phaseFollowed = false;      // the winner follows a wandering phase
    std::int64_t listRank = 0;       // 1-based rank of the message among all checked candidates
    std::int64_t candidatesChecked = 0;
    int hypotheses = 0;  // searched by the list
    double seconds = 0;  // wall time of the decode
};

// The whole search. Every start holds the symbols of one message,
// codedSymbolCount(code, messageBytes) of them (extra ones are ignored,
// missing ones count as 0), at rest up to an unknown phase, a residual
// frequency within settings.searchCycles and a wandering phase. The result
// does not depend on settings.cores. A raw code decodes nothing. Throws
// std::bad_alloc when memory runs out.
DecodeResult decodeMessage(const MessageCode& code, std::int64_t messageBytes, const StartSearch& search,
                           const DecodeSettings& settings);

// One start only.
DecodeResult decodeMessage(const MessageCode& code, std::int64_t messageBytes,
                           std::span<const std::complex<double>> symbols, const DecodeSettings& settings);

}  // namespace orv::decoder
