#pragma once
// Writer of the tool set's WAV header: two channels of 32-bit float, "fmt "
// (extensible), "fact", the "inf1" text with the exact rate, centre frequency
// and start time, and "data". wavein.h reads what this writes.
#include <cstdint>
#include <string>

namespace orv {

// 8 x N must fit the 32-bit "data" size: 2^28 frames is the most a file holds.
inline constexpr std::int32_t largestWavFrames = 1 << 28;

// "sr=... rf=... ut=..." without zero bytes.
std::string infoText(float outputRate, double centralFrequency, double startTime);

// The same with the rate as a double, whose "sr=" text then keeps up to 16
// digits: an imported recording's rate need not be a 32-bit float.
std::string exactInfoText(double exactRate, double centralFrequency, double startTime);

// The samples-per-second field: the rate to the nearest integer, ties to even.
double sampleRateField(double rate);
// Whether that field and 8 times it fit the header's unsigned 32-bit fields.
bool rateFieldsFit(double rate);
// Whether the RIFF and "data" sizes of so many frames, with an "inf1" text of
// infoLength bytes before padding, fit their unsigned 32-bit fields.
bool wavSizesFit(std::int64_t frames, std::int64_t infoLength);

// Everything before the samples: 88 + L bytes. Expects the sizes and the rate to fit.
std::string buildWavHeader(float outputRate, double centralFrequency, double startTime, std::int32_t frames);
// The same around exactInfoText.
std::string buildExactWavHeader(double exactRate, double centralFrequency, double startTime,
                                std::int32_t frames);

}  // namespace orv
