#pragma once
// What orvane-rx reports about a decode: the message line, the figures line and
// "message.txt", which only ever holds this run's message.
#include <cstdint>
#include <span>
#include <string>

#include "decoder/messagedecoder.h"
#include "orv/outcome.h"

namespace orv::receiver {

inline constexpr const char* messageFileName = "message.txt";

// The bytes as one line: printable ASCII as it is, everything else and the
// backslash itself as \xHH, so the line reads back to the bytes unambiguously.
std::string printableMessage(std::span<const std::uint8_t> message);

// "Eb/N0 4.2 dB, carrier phase 37.5 degrees, ..." for found and not found
// alike: the winning hypothesis's start correction (s) and the share of the
// samples the blanker left out come from the receiver.
std::string decodeFigures(const decoder::DecodeResult& result, double symbolPeriod,
                          double startCorrection = 0, double blankedShare = 0);

// "0.25 % of samples blanked"
std::string blankedText(double share);

// Removes an earlier run's "message.txt"; its absence is success.
Outcome<void> removeEarlierMessage();

}  // namespace orv::receiver
