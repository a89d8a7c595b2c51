#pragma once
// The converter's recording in memory, whole or a span of it (spanreader.h),
// read through orv/wavein.h (which holds the format rules and the messages).
#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "orv/outcome.h"

namespace orv::receiver {

struct WaveRecording {
    double sampleRate = 0;  // from "sr=" in "inf1", else the header's whole rate
    bool rateFromInfo = false;
    std::uint32_t headerRate = 0;
    std::string infoText;                      // "inf1" payload without its zero padding
    std::vector<std::complex<float>> samples;  // channel 1 real, channel 2 imaginary
    std::uint64_t first = 0;                   // frame of samples[0]
    std::uint64_t frames = 0;                  // of the whole recording; 0: just the samples

    std::uint64_t frameCount() const { return frames ? frames : first + samples.size(); }
    std::complex<float> at(std::uint64_t frame) const { return samples[std::size_t(frame - first)]; }
};

Outcome<WaveRecording> readWave(const std::string& path);
// The same on bytes already in memory; name only appears in messages.
Outcome<WaveRecording> parseWave(const std::vector<unsigned char>& bytes, const std::string& name);

}  // namespace orv::receiver
