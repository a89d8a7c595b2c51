#include "receiver/symbolintegrator.h"

#include <cmath>
#include <numbers>

#include "orv/outcome.h"
#include "receiver/numbertext.h"

namespace orv::receiver {

Outcome<ReceivedSymbols> integrateSymbols(const WaveRecording& wave, const RxOptions& options,
                                          std::span<const std::uint8_t> blanked) {
    const double rate = wave.sampleRate;
    const auto count = static_cast<double>(wave.frameCount());
    const auto position = [&](std::int64_t k) {
        return (options.startOffset + static_cast<double>(k) * options.symbolPeriod) * rate;
    };

    const auto refused = [](const std::string& message) {
        return Outcome<ReceivedSymbols>::failure(message, exitBadInput);
    };
    // Beyond half the rate the mixer would alias onto another frequency.
    if (!(std::abs(options.frequencyOffset) <= rate / 2))
        return refused("-F " + numberText(options.frequencyOffset) +
                       " Hz lies beyond half the sample rate (" + numberText(rate / 2) +
                       " Hz either side of the central frequency)");
    if (!(options.symbolPeriod * rate >= 1))
        return refused("-S " + numberText(options.symbolPeriod) + " s is shorter than one sample (" +
                       numberText(1 / rate) + " s at " + numberText(rate) + " samples/s)");

    ReceivedSymbols out;
    out.spanBegin = position(0);
    out.spanEnd = position(options.symbolCount);
    // Sample 0 stands for the positions from -1/2 on.
    if (!(out.spanBegin >= -0.5))
        return refused("the transmission would start at " + numberText(options.startOffset) +
                       " s, before the recording (-T is counted from its first sample, at 0 s)");
    if (out.spanEnd > count - 0.5) {
        const double needed = (options.startOffset + double(options.symbolCount) * options.symbolPeriod);
        return Outcome<ReceivedSymbols>::failure(
            "the WAV file holds " + numberText(count / rate) + " s (" + wholeText(wave.frameCount()) +
                " samples at " + numberText(rate) + "/s), too short for " + wholeText(options.symbolCount) +
                " symbols of " + numberText(options.symbolPeriod) + " s from " +
                numberText(options.startOffset) + " s (needs " + numberText(options.startOffset) + " to " +
                numberText(needed) + " s)",
            exitBadInput);
    }

    const double cyclesPerSample = options.frequencyOffset / rate;
    out.symbols.reserve(static_cast<std::size_t>(options.symbolCount));
    double powerSum = 0;
    std::int64_t lastCounted = -1, lastBlanked = -1;  // a sample on a period edge counts once
    for (std::int64_t k = 0; k < options.symbolCount; ++k) {
        const double a = position(k);
        const double b = position(k + 1);
        // Too short a period, or too late a start, for the positions' precision:
        // the mean over an empty period would be 0 / 0.
        if (!(b > a))
            return Outcome<ReceivedSymbols>::failure(
                "a symbol period of " + numberText(options.symbolPeriod) + " s is too short: symbol " +
                    wholeText(k) + " would start and end at the same sample position (" + numberText(a) + ")",
                exitBadInput);
        std::complex<double> sum = 0;
        double kept = 0;
        bool any = false;
        for (auto n = static_cast<std::int64_t>(std::floor(a + 0.5)); double(n) - 0.5 < b; ++n) {
            const double weight = std::min(b, double(n) + 0.5) - std::max(a, double(n) - 0.5);
            if (weight <= 0) continue;
            const auto i = std::size_t(std::uint64_t(n) - wave.first);
            if (std::uint64_t(n) < wave.first || i >= wave.samples.size())
                return refused("sample " + wholeText(n) + " lies outside the part of the recording read");
            if (n != lastCounted) {
                ++out.samples;
                lastCounted = n;
            }
            if (!blanked.empty() && blanked[i]) {
                if (n != lastBlanked) ++out.blanked;
                lastBlanked = n;
                any = true;
                continue;
            }
            kept += weight;
            // The cycle count's whole part is dropped before the angle is formed,
            // so the angle stays accurate far into a long recording.
            double cycles = cyclesPerSample * double(n);
            cycles -= std::floor(cycles);
            const double angle = -2 * std::numbers::pi * cycles;
            const std::complex<double> s = wave.samples[i];
            if (!std::isfinite(s.real()) || !std::isfinite(s.imag()))
                return refused("sample " + wholeText(n) + " of the recording is not a finite number");
            sum += weight * std::conj(s) * std::complex<double>(std::cos(angle), std::sin(angle));
        }
        // Unblanked periods exactly as without a blanker.
        const std::complex<double> symbol = !any ? sum / (b - a) : kept > 0 ? sum / kept : 0.0;
        if (!std::isfinite(symbol.real()) || !std::isfinite(symbol.imag()))
            return refused("symbol " + wholeText(k) + " came out as no finite number");
        powerSum += std::norm(symbol);
        out.symbols.push_back(symbol);
    }
    out.meanPower = powerSum / double(options.symbolCount);
    return out;
}

}  // namespace orv::receiver
