// Arbitrary bytes as a recording through the receiver's WAV reader and, when
// it reads, through the symbol integration with a few option sets. The RIFF
// size field (bytes 4..7) is not used by the reader, so its four bytes steer
// the options. Counts stay small: the integration's work is the count plus
// the samples its span covers, and the span never exceeds the recording.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "receiver/rxoptions.h"
#include "receiver/symbolintegrator.h"
#include "receiver/wavefile.h"

namespace {

using orv::receiver::RxOptions;
using orv::receiver::WaveRecording;

constexpr std::int64_t maxCount = 256;

RxOptions makeOptions(double start, double freq, double period, std::int64_t count) {
    RxOptions o;
    o.startOffset = start;
    o.frequencyOffset = freq;
    o.symbolPeriod = period;
    o.symbolCount = count;
    return o;
}

// A symbol is a weighted mean of unit-turned samples, so it cannot be larger
// than the largest sample; the span it reports lies inside the recording.
void integrateAndCheck(const WaveRecording& wave, const RxOptions& o, bool samplesFinite, double largest,
                       bool mustFail) {
    if (!(o.symbolPeriod > 0) || !std::isfinite(o.symbolPeriod) || !std::isfinite(o.startOffset) ||
        !std::isfinite(o.frequencyOffset) || o.symbolCount < 1)
        return;  // the option parser never lets these through
    const auto r = orv::receiver::integrateSymbols(wave, o);
    if (!r.ok()) {
        if (r.error().empty() || r.exitCode() == 0) std::abort();
        return;
    }
    if (mustFail) std::abort();
    const auto frames = static_cast<double>(wave.samples.size());
    if (r->symbols.size() != static_cast<std::size_t>(o.symbolCount)) std::abort();
    if (!(r->spanBegin >= -0.5) || !(r->spanEnd <= frames - 0.5) || !(r->spanBegin <= r->spanEnd))
        std::abort();
    if (!samplesFinite) return;
    if (!std::isfinite(r->meanPower)) std::abort();
    for (const auto& s : r->symbols) {
        if (!std::isfinite(s.real()) || !std::isfinite(s.imag())) std::abort();
        if (std::abs(s) > largest * (1 + 1e-6) + 1e-300) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<unsigned char> bytes(data, data + size);
    const auto parsed = orv::receiver::parseWave(bytes, "fuzz.wav");
    if (!parsed.ok()) {
        if (parsed.error().empty() || parsed.exitCode() == 0) std::abort();
        return 0;
    }
    const WaveRecording& wave = parsed.value();
    const double rate = wave.sampleRate;
    if (!(rate > 0) || !std::isfinite(rate)) std::abort();
    if (wave.samples.size() > size / 8) std::abort();

    bool finite = true;
    double largest = 0;
    for (const auto& s : wave.samples) {
        if (!std::isfinite(s.real()) || !std::isfinite(s.imag())) {
            finite = false;
            break;
        }
        largest = std::max(largest, std::abs(std::complex<double>(s)));
    }

    const unsigned c0 = data[4], c1 = data[5], c2 = data[6], c3 = data[7];
    const double frames = static_cast<double>(wave.samples.size());
    const double duration = frames / rate;
    const std::int64_t count = 1 + c0 % maxCount;
    const double freq = (static_cast<double>(c2) - 128) / 256 * rate;

    // The whole recording, sample edge to sample edge, in equal periods.
    if (frames > 0)
        integrateAndCheck(wave, makeOptions(-0.5 / rate, freq, duration / double(count), count), finite,
                          largest, false);
    // A fractional start and a period of a fraction of a sample up to many
    // samples, 2^-6 .. 2^9 samples, the count trimmed to what fits.
    const double period = std::ldexp(1.0 + c3 / 256.0, static_cast<int>(c3 % 16) - 6) / rate;
    const double start = (c1 / 256.0) * duration / 2;
    const auto fits = static_cast<std::int64_t>(std::max(0.0, (duration - start) / period - 1));
    integrateAndCheck(wave, makeOptions(start, freq, period, std::clamp<std::int64_t>(fits, 1, count)),
                      finite, largest, false);
    // Starting before the recording, or ending past it, is refused.
    integrateAndCheck(wave, makeOptions(-1.0 / rate, freq, period, 1), finite, largest, true);
    integrateAndCheck(wave, makeOptions(duration, freq, period, 1), finite, largest, true);
    // A period too short to move the position from one symbol to the next.
    integrateAndCheck(wave, makeOptions(duration / 2, freq, std::ldexp(1.0, -60 - int(c3 % 64)) / rate, 4),
                      finite, largest, false);
    return 0;
}
