#include "receiver/wavefile.h"

#include "orv/wavein.h"

namespace orv::receiver {
namespace {

Outcome<WaveRecording> readAll(Outcome<WaveIn> opened) {
    if (!opened) return opened.failure();
    WaveIn& in = opened.value();
    const WaveLayout& layout = in.layout();
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
    return readAll(WaveIn::fromBytes(bytes, name));
}

Outcome<WaveRecording> readWave(const std::string& path) { return readAll(WaveIn::open(path)); }

}  // namespace orv::receiver
