#pragma once
// Reader of the WAV files the converter writes: RIFF/WAVE, two channels of
// 32-bit float (plain or extensible format), an optional "inf1" text with the
// exact rate ("sr="), the central frequency ("rf=") and the start ("ut=").
// Opening walks the chunks only (sizes checked against the file, odd sizes
// padded, unknown chunks skipped, an "inf1" text over 64 KiB refused); the
// frames are read in blocks on request, so a long recording never has to be
// in memory at once.
#include <complex>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "orv/outcome.h"

namespace orv {

struct WaveLayout {
    std::uint32_t headerRate = 0;      // the header's whole rate
    std::uint64_t dataOffset = 0;      // byte offset of frame 0 in the file
    std::uint64_t frameCount = 0;      // whole frames in the data chunk
    std::string infoText;              // "inf1" payload without its zero padding
    std::optional<double> infoRate;    // "sr=" when it is a positive number
    std::optional<double> infoCentre;  // "rf="
    std::optional<double> infoStart;   // "ut=", seconds since 1970
    double sampleRate = 0;             // infoRate, else the header rate
    bool rateFromInfo = false;
};

// The number after "key=" in an "inf1" text, up to the next blank: one finite
// decimal number (blanks and tabs around it and a leading '+' allowed).
std::optional<double> infoValue(std::string_view infoText, std::string_view key);

class WaveIn {
public:
    // A failure is one line "<name>: why" with exit code exitBadInput, or
    // errFileNotFound / errFileIO when the file cannot be opened or read.
    static Outcome<WaveIn> open(const std::string& path);
    // The same over bytes already in memory, which must outlive the reader;
    // name only appears in messages.
    static Outcome<WaveIn> fromBytes(std::span<const unsigned char> bytes, const std::string& name);

    const WaveLayout& layout() const { return layout_; }
    std::uint64_t frameCount() const { return layout_.frameCount; }

    // Frames [first, first + count), cut at the end of the data; channel 1 is
    // the real part, channel 2 the imaginary part. The value is how many were read.
    Outcome<std::size_t> readFrames(std::uint64_t first, std::size_t count, std::complex<float>* out);

private:
    WaveIn() = default;
    Outcome<> walk(std::uint64_t size);
    bool readAt(std::uint64_t offset, unsigned char* to, std::size_t n);

    std::string name_;
    std::unique_ptr<std::ifstream> file_;  // empty for the in-memory form
    std::vector<unsigned char> owned_;     // a file that cannot seek, read whole
    std::span<const unsigned char> bytes_;
    WaveLayout layout_;
};

}  // namespace orv
