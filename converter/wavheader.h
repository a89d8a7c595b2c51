#pragma once
// The two-channel float WAV header: "fmt " (extensible), "fact", the "inf1"
// text with the exact rate, centre frequency and start time, and "data".
#include <cstdint>
#include <optional>
#include <string>

namespace orv::converter {

// 8 x N must fit the 32-bit "data" size: 2^28 frames is the most a file holds.
inline constexpr std::int32_t largestTransformSize = 1 << 28;

// "sr=... rf=... ut=..." without zero bytes.
std::string infoText(float outputRate, double centralFrequency, double startTime);

// The same with the rate as a double, whose "sr=" text then keeps up to 16
// digits: the importer's rates need not be 32-bit floats.
std::string exactInfoText(double exactRate, double centralFrequency, double startTime);

// The samples-per-second field: the rate to the nearest integer, ties to even.
double sampleRateField(double rate);
// Whether that field and 8 times it fit the header's unsigned 32-bit fields.
bool rateFieldsFit(double rate);

// Why a file with these values cannot be written with correct 32-bit sizes and
// rates, as a one-line message; nothing when it can.
std::optional<std::string> checkWavLimits(std::int64_t transformSize, std::int64_t infoLength,
                                          float outputRate);

// Everything before the samples: 88 + L bytes. Expects checkWavLimits to pass.
std::string buildWavHeader(float outputRate, double centralFrequency, double startTime,
                           std::int32_t transformSize);
// The same around exactInfoText.
std::string buildExactWavHeader(double exactRate, double centralFrequency, double startTime,
                                std::int32_t frames);

}  // namespace orv::converter
