#include "receiver/receiver.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>

#include "decoder/messagedecoder.h"
#include "orv/replacingfile.h"
#include "receiver/blanker.h"
#include "receiver/decodelog.h"
#include "receiver/messageoutput.h"
#include "receiver/numbertext.h"
#include "receiver/rxoptions.h"
#include "receiver/spanreader.h"
#include "receiver/symbolfile.h"
#include "receiver/symbolintegrator.h"
#include "receiver/timesearch.h"

namespace orv::receiver {

namespace {
Failure failed(const std::string& message, int exitCode) { return Failure::stop(message, exitCode); }

// On a terminal, a decode that runs longer than a couple of seconds shows how
// far it has come, on one line that it clears again.
class ProgressLine {
public:
    ProgressLine() : shown_(isatty(STDERR_FILENO) == 1), began_(std::chrono::steady_clock::now()) {}
    ~ProgressLine() {
        if (written_) std::fputs("\r\033[K", stderr);
    }
    void operator()(const decoder::DecodeProgress& p) {
        const auto now = std::chrono::steady_clock::now();
        if (!shown_ || now - began_ < std::chrono::seconds(2) || now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        const std::string what =
            p.stage == decoder::DecodeProgress::Stage::Search
                ? "searching start and carrier"
                : "decoding: " + wholeText(p.done) + " of " + wholeText(p.total) + " candidates checked";
        std::fputs(("\rorvane-rx: " + what + "\033[K").c_str(), stderr);
        std::fflush(stderr);
        written_ = true;
    }

private:
    bool shown_;
    bool written_ = false;
    std::chrono::steady_clock::time_point began_, last_;
};

Outcome<RunReport> run(const std::vector<std::string>& args) {
    const auto options = parseRxOptions(args);
    if (!options) return failed(options.error(), options.exitCode());
    if (options->helpRequested) return RunReport{helpText()};
    const RxOptions& o = options.value();

    auto reader = SpanReader::open(o.waveFile);
    if (!reader) return failed(reader.error(), reader.exitCode());
    const FrameSpan span = neededFrames(o, reader->layout().sampleRate, reader->frameCount());
    const auto wave = reader->read(span.first, span.count);
    if (!wave) return failed(wave.error(), wave.exitCode());
    for (std::size_t i = 0; i < wave->samples.size(); ++i)
        if (!std::isfinite(wave->samples[i].real()) || !std::isfinite(wave->samples[i].imag()))
            return failed(o.waveFile + ": sample " + wholeText(static_cast<long long>(wave->first + i)) +
                              " of the recording is not a finite number",
                          exitBadInput);
    const std::vector<std::uint8_t> blanked = impulseMask(wave->samples, o.blankThreshold);

    const auto received = integrateSymbols(wave.value(), o, blanked);
    if (!received) return failed(o.waveFile + ": " + received.error(), received.exitCode());

    const auto written = writeWholeFile(std::string(symbolFileName), formatSymbolRecords(received->symbols));
    if (!written) return failed(written.error(), written.exitCode());

    const auto& r = received.value();
    const double blankedShare = r.samples ? double(r.blanked) / double(r.samples) : 0;
    std::string lines = wholeText(static_cast<long long>(r.symbols.size())) + " symbols written to " +
                        std::string(symbolFileName) + ", mean symbol power " + numberText(r.meanPower, 7) +
                        ", sample span " + fixedText(r.spanBegin, 3) + " to " + fixedText(r.spanEnd, 3) +
                        " of " + wholeText(static_cast<long long>(wave->frameCount())) + " at " +
                        numberText(wave->sampleRate) + " samples/s" +
                        (wave->rateFromInfo ? "" : " (header rate)") +
                        (r.blanked ? ", " + blankedText(blankedShare) : "") + "\n";
    // Gone before the decode starts, so that neither a failed decode nor an
    // interrupted one, nor a run without a code, leaves an earlier message
    // looking like this run's.
    const auto removed = removeEarlierMessage();
    if (!removed) return failed(removed.error(), removed.exitCode());
    if (o.code.raw) return RunReport{std::move(lines)};

    const StartCandidates starts = candidateStarts(wave.value(), blanked, o);
    decoder::DecodeSettings settings;
    settings.listSize = o.listSize;
    settings.cores = o.cores;
    settings.searchCycles = o.searchFrequency * double(o.symbolCount) * o.symbolPeriod;
    const auto attempted = std::chrono::system_clock::now();
    decoder::DecodeResult decoded;
    {
        ProgressLine progress;
        settings.progress = [&](const decoder::DecodeProgress& p) { progress(p); };
        decoded = decoder::decodeMessage(o.code, o.messageLength, starts.search, settings);
    }
    const std::string figures =
        decodeFigures(decoded, o.symbolPeriod, starts.spacing * double(decoded.startOffset), blankedShare);
    const std::string result = decoded.found ? "message: " + printableMessage(decoded.message)
                                             : "no message: no candidate passed the check";
    // The operator's record of the attempt: a log that cannot be written is said, the decode ends as it ends.
    const auto logged = appendDecodeLog(decodeLogLine(attempted, o, result, figures));
    const std::string logFailure = logged ? "" : logged.error();
    if (!decoded.found) return RunReport{lines + result + "\n" + figures + "\n", exitNoMessage, logFailure};

    const auto saved = writeWholeFile(
        messageFileName, {reinterpret_cast<const char*>(decoded.message.data()), decoded.message.size()});
    if (!saved) return failed(saved.error() + (logged ? "" : "; " + logFailure), saved.exitCode());
    return RunReport{lines + result + "\n" + figures + "\n", exitDone, logFailure};
}

}  // namespace

Outcome<RunReport> runReceiver(const std::vector<std::string>& args) {
    try {
        return run(args);
    } catch (const std::bad_alloc&) {
        return failed("out of memory (a smaller -L, or fewer cores, needs less)", errOutOfMemory);
    }
}

}  // namespace orv::receiver
