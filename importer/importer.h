#pragma once
// One run of orvane-import: a recording of other software in, a tool-set WAV out
// (or, with --sigmf-out, a tool-set WAV out to SigMF).
#include <cstdint>
#include <functional>
#include <string>

#include "importer/options.h"
#include "importer/recording.h"
#include "orv/outcome.h"
#include "orv/replacingfile.h"

namespace orv::importer {

// Told the frames done and the frames in all after every block.
using ProgressReport = std::function<void(std::int64_t done, std::int64_t total)>;

inline constexpr std::int64_t largestFrameCount = std::int64_t(1) << 28;  // 8 x frames in 32 bits
inline constexpr std::size_t blockFrames = 1 << 16;

// The frames --from and --to keep of a recording of frames at rate; a
// failure (exit 20) names the option and the recording's length.
struct FrameCut {
    std::int64_t first = 0, count = 0;
};
Outcome<FrameCut> cutFrames(const ImportOptions& options, std::int64_t frames, double rate);

// Copies frames [first, first + count) of source into file in blocks, turning
// them into the other sense of rotation (Q negated) when flip is set. A
// sample that is no finite 32-bit float (NaN, infinite, or a 64-bit value
// beyond the float range) stops it with exitNotFinite; inputName names the
// source in that message.
Outcome<void> copyFrames(FrameSource& source, const std::string& inputName, std::int64_t first,
                         std::int64_t count, bool flip, ReplacingFile& file, const ProgressReport& progress);

// Writes options.output through a temporary file; its summary line on success.
Outcome<std::string> importRecording(const ImportOptions& options, const ProgressReport& progress);

// Writes options.output + ".sigmf-data" and ".sigmf-meta"; its summary line on success.
Outcome<std::string> exportSigmf(const ImportOptions& options, const ProgressReport& progress);

// The importer's line on the terminal: shown only once a run has taken a few
// seconds, redrawn a few times a second, ended with a line end by finish().
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* out);
    void operator()(std::int64_t done, std::int64_t total);
    void finish();

private:
    std::FILE* out_;
    std::int64_t started_, lastShown_ = 0;
    bool shown_ = false;
};

}  // namespace orv::importer
