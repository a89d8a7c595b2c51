#include "receiver/timesearch.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orv::receiver {

FrameSpan neededFrames(const RxOptions& o, double rate, std::uint64_t frames) {
    const double search = o.code.raw ? 0 : o.searchTime;
    const double begin = (o.startOffset - search) * rate - 0.5 - double(blankerReach);
    const double end =
        (o.startOffset + search + double(o.symbolCount) * o.symbolPeriod) * rate + 1.5 + double(blankerReach);
    // Positions far outside the recording are the integrator's to refuse.
    const double total = double(frames);
    const double first = std::clamp(std::floor(begin), 0.0, total);
    const double last = std::clamp(std::ceil(end), first, total);
    return {std::uint64_t(first), std::uint64_t(last - first)};
}

StartCandidates candidateStarts(const WaveRecording& wave, std::span<const std::uint8_t> blanked,
                                const RxOptions& o) {
    const double rate = wave.sampleRate;
    const double cell = o.symbolPeriod / startsPerSymbol;
    const int reach = o.searchTime > 0 ? int(std::min(std::floor(o.searchTime / cell + 1e-9), 1e6)) : 0;
    const auto symbols = std::size_t(o.symbolCount);
    const double frames = double(wave.frameCount());
    const double firstRead = double(wave.first), lastRead = double(wave.first + wave.samples.size());
    const auto position = [&](std::int64_t j) { return (o.startOffset + double(j) * cell) * rate; };
    // starts -reach..reach cells from -T, kept where all their periods were read
    std::int64_t lo = -reach, hi = reach;
    const auto cells = std::int64_t(symbols) * startsPerSymbol;
    while (lo < 0 && !(position(lo) >= std::max(-0.5, firstRead - 0.5))) ++lo;
    while (hi > 0 && !(position(hi + cells) <= std::min(frames, lastRead) - 0.5)) --hi;

    std::vector<std::complex<double>> sums(std::size_t(hi - lo + cells));
    const double cyclesPerSample = o.frequencyOffset / rate;
    for (std::size_t j = 0; j < sums.size(); ++j) {
        const double a = position(lo + std::int64_t(j)), b = position(lo + std::int64_t(j) + 1);
        std::complex<double> sum = 0;
        for (auto n = static_cast<std::int64_t>(std::floor(a + 0.5)); double(n) - 0.5 < b; ++n) {
            const double weight = std::min(b, double(n) + 0.5) - std::max(a, double(n) - 0.5);
            const auto i = std::size_t(std::uint64_t(n) - wave.first);
            if (weight <= 0 || i >= wave.samples.size() || (!blanked.empty() && blanked[i])) continue;
            double cycles = cyclesPerSample * double(n);
            cycles -= std::floor(cycles);
            const double angle = -2 * std::numbers::pi * cycles;
            sum += weight * std::conj(std::complex<double>(wave.samples[i])) *
                   std::complex<double>(std::cos(angle), std::sin(angle));
        }
        sums[j] = sum;
    }
    StartCandidates out;
    out.spacing = cell;
    out.search.nominal = std::size_t(-lo);
    const double length = o.symbolPeriod * rate;
    for (std::int64_t s = lo; s <= hi; ++s) {
        std::vector<std::complex<double>> z(symbols);
        for (std::size_t k = 0; k < symbols; ++k) {
            std::complex<double> sum = 0;
            const std::size_t from = std::size_t(s - lo) + k * startsPerSymbol;
            for (int c = 0; c < startsPerSymbol; ++c) sum += sums[from + std::size_t(c)];
            z[k] = sum / length;
        }
        out.search.starts.push_back(std::move(z));
    }
    return out;
}

RecordingDecode decodeRecording(const WaveRecording& wave, std::span<const std::uint8_t> blanked,
                                const RxOptions& o,
                                const std::function<void(const decoder::DecodeProgress&)>& progress) {
    const StartCandidates starts = candidateStarts(wave, blanked, o);
    decoder::DecodeSettings settings;
    settings.listSize = o.listSize;
    settings.cores = o.cores;
    settings.searchCycles = o.searchFrequency * double(o.symbolCount) * o.symbolPeriod;
    settings.progress = progress;
    RecordingDecode out;
    out.result = decoder::decodeMessage(o.code, o.messageLength, starts.search, settings);
    out.startCorrection = starts.spacing * double(out.result.startOffset);
    return out;
}

}  // namespace orv::receiver
