#include "receiver.h"

#include "numbertext.h"
#include "rxoptions.h"
#include "symbolfile.h"
#include "symbolintegrator.h"
#include "wavefile.h"

namespace orv::receiver {

namespace {
Failure failed(const std::string& message, int exitCode) {
    return Failure::stop("orvane-rx: " + message, exitCode);
}
}  // namespace

Outcome<std::string> runReceiver(const std::vector<std::string>& args) {
    const auto options = parseRxOptions(args);
    if (!options) return failed(options.error(), options.exitCode());
    if (options->helpRequested) return helpText();

    const auto wave = readWave(options->waveFile);
    if (!wave) return failed(wave.error(), wave.exitCode());

    const auto received = integrateSymbols(wave.value(), options.value());
    if (!received) return failed(options->waveFile + ": " + received.error(), received.exitCode());

    const auto written =
        writeFileReplacing(std::string(symbolFileName), formatSymbolRecords(received->symbols));
    if (!written) return failed(written.error(), written.exitCode());

    const auto& r = received.value();
    std::string line = wholeText(static_cast<long long>(r.symbols.size())) + " symbols written to " +
                       std::string(symbolFileName) + ", mean symbol power " + numberText(r.meanPower, 7) +
                       ", sample span " + fixedText(r.spanBegin, 3) + " to " + fixedText(r.spanEnd, 3) +
                       " of " + wholeText(static_cast<long long>(wave->samples.size())) + " at " +
                       numberText(wave->sampleRate) + " samples/s" +
                       (wave->rateFromInfo ? "" : " (header rate)") + "\n";
    return line;
}

}  // namespace orv::receiver
