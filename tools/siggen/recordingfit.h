#pragma once
// How long a recording the generator makes: the converter's rates for an FFT
// length, and the FFT length whose recording holds a whole transmission.
#include <cstdint>
#include <optional>

#include "tools/siggen/siggen.h"

namespace orv::tools {

inline constexpr std::uint64_t maxFftLength = std::uint64_t(1) << 26;

// The converter's own arithmetic: 32-bit inputs, divided left to right, one
// rounding; then the output rate, bin spacing times the FFT length.
struct ConvertedRates {
    float binSpacing, outputRate;
};
ConvertedRates convertedRates(const SignalSettings& settings, std::uint64_t fftLength);

// The smallest FFT length from settings.fftLength up (doubling) whose
// recording lasts until txEnd seconds after its start.
std::optional<std::uint32_t> lengthHolding(const SignalSettings& settings, double txEnd);

// The settings with the FFT length that holds the whole transmission, unless
// fftLengthGiven; settings that generateSignal refuses anyway pass unchanged.
SignalSettings fitRecording(SignalSettings settings);

}  // namespace orv::tools
