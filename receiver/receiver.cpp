#include "receiver.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>

#include "blanker.h"
#include "messagedecoder.h"
#include "messageoutput.h"
#include "numbertext.h"
#include "rxoptions.h"
#include "spanreader.h"
#include "symbolfile.h"
#include "symbolintegrator.h"
#include "timesearch.h"

namespace orv::receiver {

namespace {
Failure failed(const std::string& message, int exitCode) {
    return Failure::stop("orvane-rx: " + message, exitCode);
}

// On a terminal, a decode that runs longer than a couple of seconds shows how
// far it has come, on one line that it clears again.
class ProgressLine {
public:
    ProgressLine() : shown_(isatty(STDERR_FILENO) == 1), began_(std::chrono::steady_clock::now()) {}
    ~ProgressLine() {
        if (written_) std::fputs("\r\033[K", stderr);
    }
    void operator()(const DecodeProgress& p) {
        const auto now = std::chrono::steady_clock::now();
        if (!shown_ || now - began_ < std::chrono::seconds(2) || now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        const std::string what =
            p.stage == DecodeProgress::Stage::Search
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

    const auto written =
        writeFileReplacing(std::string(symbolFileName), formatSymbolRecords(received->symbols));
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
    if (o.code.raw) return RunReport{std::move(lines)};

    // Gone before the decode starts, so that neither a failed decode nor an
    // interrupted one leaves an earlier message looking like this run's.
    const auto removed = removeEarlierMessage();
    if (!removed) return failed(removed.error(), removed.exitCode());

    const StartCandidates starts = candidateStarts(wave.value(), blanked, o);
    DecodeSettings settings;
    settings.listSize = o.listSize;
    settings.cores = o.cores;
    settings.searchCycles = o.searchFrequency * double(o.symbolCount) * o.symbolPeriod;
    DecodeResult decoded;
    {
        ProgressLine progress;
        settings.progress = [&](const DecodeProgress& p) { progress(p); };
        decoded = decodeMessage(o.code, o.messageLength, starts.search, settings);
    }
    const std::string figures =
        decodeFigures(decoded, o.symbolPeriod, starts.spacing * double(decoded.startOffset), blankedShare) +
        "\n";
    if (!decoded.found)
        return RunReport{lines + "no message: no candidate passed the check\n" + figures, exitNoMessage};

    const auto saved = writeMessageFile(decoded.message);
    if (!saved) return failed(saved.error(), saved.exitCode());
    return RunReport{lines + "message: " + printableMessage(decoded.message) + "\n" + figures};
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
