#include "wavefile.h"

#include "orv/wavein.h"

namespace orv::receiver {
namespace {

Outcome<WaveRecording> readAll(Outcome<runtime::WaveIn> opened) {
    if (!opened) return opened.failure();
    runtime::WaveIn& in = opened.value();
    const runtime::WaveLayout& layout = in.layout();
    WaveRecording rec;
    rec.sampleRate = layout.sampleRate;
    rec.rateFromInfo = layout.rateFromInfo;
    rec.headerRate = layout.headerRate;
    rec.infoText = layout.infoText;
    rec.samples.resize(static_cast<std::size_t>(in.frameCount()));
    const auto read = in.readFrames(0, rec.samples.size(), rec.samples.data());
    if (!read) return read.failure();
    return rec;
}

}  // namespace

Outcome<WaveRecording> parseWave(const std::vector<unsigned char>& bytes, const std::string& name) {
    return readAll(runtime::WaveIn::fromBytes(bytes, name));
}

Outcome<WaveRecording> readWave(const std::string& path) { return readAll(runtime::WaveIn::open(path)); }

}  // namespace orv::receiver
