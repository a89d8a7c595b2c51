#pragma once
// The receiver's side of the start-time search: the span around -T cut into
// sixteenths of a symbol period, so that the symbols of every candidate start
// S/16 apart are sums of sixteen of them; the decoder scores every one.
#include <complex>
#include <cstdint>
#include <functional>
#include <span>

#include "decoder/messagedecoder.h"
#include "orv/outcome.h"
#include "receiver/rxoptions.h"
#include "receiver/wavefile.h"

namespace orv::receiver {

inline constexpr int startsPerSymbol = 16;
// Samples beyond the symbols that the blanker's level looks at (blanker.cpp).
inline constexpr std::uint64_t blankerReach = 8 * 64;

struct FrameSpan {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// The frames a run reads: the message's periods, widened by the start search
// when there is a message to decode, and by the blanker's reach; within the
// recording's `frames`.
FrameSpan neededFrames(const RxOptions& options, double rate, std::uint64_t frames);

struct StartCandidates {
    decoder::StartSearch search;
    double spacing = 0;  // seconds between neighbouring starts
};

// The symbols of every start within +-options.searchTime of -T whose periods
// lie inside the recording, mixed as integrateSymbols mixes. A symbol is the
// sum of its period's kept samples over the whole period: one that lost
// samples to the blanker is the weaker for it, as its reliability is.
StartCandidates candidateStarts(const WaveRecording& wave, std::span<const std::uint8_t> blanked,
                                const RxOptions& options);

struct RecordingDecode {
    decoder::DecodeResult result;
    double startCorrection = 0;  // seconds from -T to the winning start
};

// The message of a recording span whose samples `blanked` marks: its
// candidate starts and the decoder's search over them, with the options'
// searches, list and cores. Throws std::bad_alloc when memory runs out.
RecordingDecode decodeRecording(const WaveRecording& wave, std::span<const std::uint8_t> blanked,
                                const RxOptions& options,
                                const std::function<void(const decoder::DecodeProgress&)>& progress = {});

}  // namespace orv::receiver
