#include "tools/siggen/recordingfit.h"

#include <algorithm>

#include "decoder/messagecode.h"

namespace orv::tools {
namespace {

// The symbols a coded message takes, or the random ones; none for a code or
// length that generateSignal refuses anyway.
std::optional<std::int64_t> sentSymbols(const SignalSettings& s) {
    const auto code = decoder::parseMessageCode(s.code);
    if (!code) return std::nullopt;
    if (code->raw) return s.symbolCount;
    const std::int64_t bytes =
        s.messageBytes > 0 ? s.messageBytes : std::max<std::int64_t>(1, std::int64_t(s.text.size()));
    if (bytes > decoder::maxMessageBytes) return std::nullopt;
    return decoder::codedSymbolCount(*code, bytes);
}

}  // namespace

ConvertedRates convertedRates(const SignalSettings& s, std::uint64_t fftLength) {
    const auto spacing =
        static_cast<float>(double(static_cast<float>(s.sampleRate)) /
                           double(static_cast<float>(s.decimation)) / double(static_cast<float>(fftLength)));
    return {spacing, static_cast<float>(double(spacing) * double(fftLength))};
}

std::optional<std::uint32_t> lengthHolding(const SignalSettings& s, double txEnd) {
    for (std::uint64_t n = s.fftLength; n <= maxFftLength; n *= 2)
        if (txEnd <= double(n) / double(convertedRates(s, n).outputRate))
            return static_cast<std::uint32_t>(n);
    return std::nullopt;
}

SignalSettings fitRecording(SignalSettings settings) {
    if (settings.fftLengthGiven) return settings;
    if (const auto symbols = sentSymbols(settings)) {
        const double txEnd =
            settings.txStart - settings.recordingStart + settings.symbolPeriod * double(*symbols);
        if (const auto holding = lengthHolding(settings, txEnd)) settings.fftLength = *holding;
    }
    return settings;
}

}  // namespace orv::tools
