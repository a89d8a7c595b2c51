#pragma once
// The recording read for the span a decode needs and no more: a file one can
// seek in is read where the span lies; a pipe or a device is read forward up
// to the span's end, what lies before it passing through a small buffer, what
// lies after it never read. The format rules and their messages are
// orv/wavein.h's.
#include <complex>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orv/outcome.h"
#include "orv/wavein.h"
#include "receiver/wavefile.h"

namespace orv::receiver {

class SpanReader {
public:
    // Reads the header. Failures as readWave's (2 not found, 3 read error, 20 bad input).
    static Outcome<SpanReader> open(const std::string& path);

    const WaveLayout& layout() const { return layout_; }
    std::uint64_t frameCount() const { return layout_.frameCount; }

    // Frames [first, first + count), cut at the end of the data, as a
    // recording whose samples start at frame `first`. A pipe only goes
    // forward: one span per reader.
    Outcome<WaveRecording> read(std::uint64_t first, std::uint64_t count);

private:
    struct Stream;
    SpanReader() = default;
    std::string path_;
    WaveLayout layout_;
    std::unique_ptr<WaveIn> seekable_;
    std::shared_ptr<Stream> stream_;
};

}  // namespace orv::receiver
