#include "receiver/receiver.h"

#include <chrono>

#include "decoder/messagedecoder.h"
#include "orv/replacingfile.h"
#include "receiver/decodelog.h"
#include "receiver/messageoutput.h"
#include "receiver/numbertext.h"
#include "receiver/rxoptions.h"
#include "receiver/symbolfile.h"
#include "receiver/symbolintegrator.h"
#include "receiver/wavefile.h"

namespace orv::receiver {

namespace {
Failure failed(const std::string& message, int exitCode) { return Failure::stop(message, exitCode); }
}  // namespace

Outcome<RunReport> runReceiver(const std::vector<std::string>& args) {
    const auto options = parseRxOptions(args);
    if (!options) return failed(options.error(), options.exitCode());
    if (options->helpRequested) return RunReport{helpText()};

    const auto wave = readWave(options->waveFile);
    if (!wave) return failed(wave.error(), wave.exitCode());

    const auto received = integrateSymbols(wave.value(), options.value());
    if (!received) return failed(options->waveFile + ": " + received.error(), received.exitCode());

    const auto written = writeWholeFile(std::string(symbolFileName), formatSymbolRecords(received->symbols));
    if (!written) return failed(written.error(), written.exitCode());

    const auto& r = received.value();
    std::string lines = wholeText(static_cast<long long>(r.symbols.size())) + " symbols written to " +
                        std::string(symbolFileName) + ", mean symbol power " + numberText(r.meanPower, 7) +
                        ", sample span " + fixedText(r.spanBegin, 3) + " to " + fixedText(r.spanEnd, 3) +
                        " of " + wholeText(static_cast<long long>(wave->samples.size())) + " at " +
                        numberText(wave->sampleRate) + " samples/s" +
                        (wave->rateFromInfo ? "" : " (header rate)") + "\n";
    // Gone before the decode starts, so that neither a failed decode nor an
    // interrupted one, nor a run without a code, leaves an earlier message
    // looking like this run's.
    const auto removed = removeEarlierMessage();
    if (!removed) return failed(removed.error(), removed.exitCode());
    if (options->code.raw) return RunReport{std::move(lines)};

    decoder::DecodeSettings settings;
    settings.listSize = options->listSize;
    settings.cores = options->cores;
    const auto attempted = std::chrono::system_clock::now();
    const auto decoded = decoder::decodeMessage(options->code, options->messageLength, r.symbols, settings);
    const std::string figures = decodeFigures(decoded, options->symbolPeriod);
    const std::string result = decoded.found ? "message: " + printableMessage(decoded.message)
                                             : "no message: no candidate passed the check";
    // The operator's record of the attempt: a log that cannot be written is said, the decode ends as it ends.
    const auto logged = appendDecodeLog(decodeLogLine(attempted, *options, result, figures));
    const std::string logFailure = logged ? "" : logged.error();
    if (!decoded.found) return RunReport{lines + result + "\n" + figures + "\n", exitNoMessage, logFailure};

    const auto saved = writeWholeFile(
        messageFileName, {reinterpret_cast<const char*>(decoded.message.data()), decoded.message.size()});
    if (!saved) return failed(saved.error() + (logged ? "" : "; " + logFailure), saved.exitCode());
    return RunReport{lines + result + "\n" + figures + "\n", exitDone, logFailure};
}

}  // namespace orv::receiver
