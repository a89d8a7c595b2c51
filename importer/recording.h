#pragma once
// Recordings from other software, opened for reading in blocks of frames: a
// two-channel WAV (through libsndfile), a SigMF pair of files, or raw samples.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orv/outcome.h"

namespace orv::importer {

enum class SampleType { Cf32, Ci16, Ci8, Cu8 };

// SigMF's name for a datatype we read ("cf32_le", "ci16_le", "ci8", "cu8").
std::optional<SampleType> sampleTypeNamed(std::string_view name);
int bytesPerFrame(SampleType type);

// Frames come out as I, Q pairs of floats in the recording's own sense of
// rotation; reversed says they are already in the tool set's (conjugated) one.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual std::int64_t frameCount() const = 0;
    virtual Outcome<void> seek(std::int64_t frame) = 0;
    // Exactly count frames into iq (2 x count floats), or a failure.
    virtual Outcome<void> read(float* iq, std::size_t count) = 0;
};

struct Recording {
    std::unique_ptr<FrameSource> source;
    std::optional<double> rate, centre, start;  // what the file itself says
    std::string unreadableStart;                // a time text we could not read, for the message
    bool conjugated = false;                    // a tool-set WAV: samples already in our sense
    std::string kind;                           // "WAV", "SigMF ci16_le", ... for the summary
    std::vector<std::string> files;             // every file read, which no output may replace
};

// byteOffset: where frame 0 starts; trailingBytes: what follows the last frame.
// The file must hold whole frames between them.
Outcome<Recording> openRawRecording(const std::string& path, SampleType type, std::int64_t byteOffset = 0,
                                    std::int64_t trailingBytes = 0);
// A two-channel WAV: one of ours (with "inf1") through the shared reader,
// any other through libsndfile.
Outcome<Recording> openWavRecording(const std::string& path);
// Only one of ours: a failure names what is missing.
Outcome<Recording> openToolSetWave(const std::string& path);

// Turns raw little-endian frames into I, Q floats.
void decodeFrames(SampleType type, const unsigned char* bytes, float* iq, std::size_t count);

}  // namespace orv::importer
