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

// "Eb/N0 4.2 dB, carrier phase 37.5 degrees, ..." for found and not found alike.
std::string decodeFigures(const decoder::DecodeResult& result, double symbolPeriod);

// Removes an earlier run's "message.txt"; its absence is success.
Outcome<void> removeEarlierMessage();

}  // namespace orv::receiver
