#pragma once
// The message code: payload bytes, a CRC-32 check and a zero tail through a
// rate-1/n feed-forward convolutional code, one BPSK symbol per coded bit.
// docs/message-code.md describes it bit by bit.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "orv/outcome.h"

namespace orv::decoder {

// What the decoder supports. K = 15 has 2^14 states; the largest case
// (K = 15, n = 8, N = 256) needs about 600 MB while it decodes.
inline constexpr int maxConstraintLength = 15;
inline constexpr int maxGenerators = 8;
inline constexpr std::int64_t maxMessageBytes = 256;
inline constexpr int checkBits = 32;

struct MessageCode {
    std::vector<std::uint32_t> generators;  // g_1..g_n, bit K-1 pairs with the newest input bit
    int constraintLength = 0;               // K: bit length of the largest generator
    bool raw = false;                       // "-p 0": no code, no check, nothing to decode

    int rate() const { return int(generators.size()); }  // n coded bits per input bit
};

// "-p": comma-separated generators in octal, or hexadecimal after "0x"; "0"
// alone is the raw mode. A failure (orv::exitBadInput) names the value and the
// supported range.
orv::Outcome<MessageCode> parseMessageCode(std::string_view text);

// N must lie in 1..maxMessageBytes for a coded message (any N >= 0 when raw).
orv::Outcome<void> checkMessageBytes(const MessageCode& code, std::int64_t messageBytes);

// Input bits of the encoder: 8N payload + 32 check + K-1 tail.
std::int64_t messageStepCount(const MessageCode& code, std::int64_t messageBytes);
// Symbols one message takes: n * (8N + 32 + K - 1); N when raw.
std::int64_t codedSymbolCount(const MessageCode& code, std::int64_t messageBytes);

// CRC-32 as zlib computes it.
std::uint32_t messageCheck(std::span<const std::uint8_t> message);

// The payload bits, MSB first, followed by the check, MSB first (no tail).
std::vector<std::uint8_t> messageBits(std::span<const std::uint8_t> message);

// Coded bits (0 or 1) in sending order; each becomes symbol +1 (0) or -1 (1).
// For a raw code this is the payload bits alone.
std::vector<std::uint8_t> encodeMessage(const MessageCode& code, std::span<const std::uint8_t> message);

}  // namespace orv::decoder
