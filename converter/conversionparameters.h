#pragma once
// The values of one spec2wav run, and the pure computations on them: file
// names from the command text, the time texts and the start time.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::converter {

struct ConversionParameters {
    std::string baseName = "fftdata";
    float sampleRate = 0;
    float decimation = 0;
    float fftLength = 0;
    double centralFrequency = 0;
    float binSpacing = 0;
    std::int32_t fileDate = 0;
    double fileTime = 0;
    double startTime = 0;
    std::int32_t pairCount = 0;
    std::int32_t transformSize = 16;
    std::int32_t log2Size = 4;
    float outputRate = 0;
};

// The joined command text cut at its first '.'; "fftdata" when nothing is left.
std::string baseNameFromCommand(std::string_view commandText);

// sampleRate / decimation / fftLength, left to right in double, one rounding to float.
float computeBinSpacing(float sampleRate, float decimation, float fftLength);

// Why the three rate values of "sr.txt" cannot give a usable bin spacing, as a
// one-line message; nothing when they can.
std::optional<std::string> checkRecordingValues(const ConversionParameters& p);

std::string dateText(std::int32_t fileDate);  // 8 characters, zero-padded on the left
std::string hoursText(double fileTime);       // 6 characters of the whole seconds' digits

// Seconds since 1970-01-01 of the time stamp, moved back by half a receiver FFT
// and rounded to the nearest hundredth, halves upward.
double computeStartTime(std::int32_t fileDate, double fileTime, float binSpacing);

}  // namespace orv::converter
