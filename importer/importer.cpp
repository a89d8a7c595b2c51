#include "importer/importer.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "importer/audioimport.h"
#include "importer/filechecks.h"
#include "importer/sigmf.h"
#include "orv/littleendian.h"
#include "orv/replacingfile.h"
#include "orv/utctime.h"
#include "orv/wavout.h"

namespace orv::importer {

namespace {

Outcome<std::string> bad(const std::string& message, int exitCode = exitBadInput) {
    return Failure::stop(message, exitCode);
}

std::string decimal(double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

Outcome<Recording> openInput(const ImportOptions& o) {
    if (o.kind == InputKind::RawCf32) {
        auto r = openRawRecording(o.input, SampleType::Cf32);
        if (r) r->kind = "raw cf32";
        return r;
    }
    if (const auto stem = sigmfStem(o.input)) return openSigmfRecording(*stem);
    return openWavRecording(o.input);
}

Outcome<void> openOutput(ReplacingFile& file, const std::string& path, const Recording& input) {
    if (auto checked = checkOutputFile(path, input.files); !checked) return checked;
    if (const int e = file.open(path)) return writeFailure(path, e);
    return {};
}

Outcome<void> commitOutput(ReplacingFile& file) {
    const std::string path = file.finalPath();
    if (const int e = file.commit()) return writeFailure(path, e);
    return {};
}

}  // namespace

Outcome<void> copyFrames(FrameSource& source, const std::string& inputName, std::int64_t first,
                         std::int64_t count, bool flip, ReplacingFile& file, const ProgressReport& progress) {
    if (auto s = source.seek(first); !s) return s;
    std::vector<float> iq(2 * blockFrames);
    std::string bytes;
    for (std::int64_t done = 0; done < count;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(blockFrames, count - done));
        if (auto r = source.read(iq.data(), n); !r) return r;
        // The receiver refuses such samples, so no WAV of ours holds them.
        if (const auto bad =
                std::find_if(iq.begin(), iq.begin() + 2 * n, [](float v) { return !std::isfinite(v); });
            bad != iq.begin() + 2 * n)
            return Failure::stop(
                inputName + ": frame " + std::to_string(first + done + (bad - iq.begin()) / 2) +
                    " holds a sample that is no finite 32-bit float (NaN, infinite or beyond "
                    "3.4e38)",
                exitNotFinite);
        if (flip)
            for (std::size_t k = 1; k < 2 * n; k += 2) iq[k] = -iq[k];
        bytes.clear();
        appendLeFloats(bytes, iq.data(), 2 * n);
        if (const int e = file.write(bytes)) return writeFailure(file.finalPath(), e);
        done += static_cast<std::int64_t>(n);
        if (progress) progress(done, count);
    }
    return {};
}

Outcome<FrameCut> cutFrames(const ImportOptions& o, std::int64_t frames, double rate) {
    const std::string where = " of " + o.input;
    const double seconds = static_cast<double>(frames) / rate;
    // Checked as doubles first: a huge --from or --to must not overflow the rounding.
    const double firstAt = o.from ? *o.from * rate : 0;
    const double endAt = o.to ? *o.to * rate : static_cast<double>(frames);
    if (o.from && !(firstAt < static_cast<double>(frames) - 0.5))
        return Failure::stop("--from " + decimal(o.from.value_or(0)) + " s lies at or past the end" + where +
                                 " (" + decimal(seconds) + " s)",
                             exitBadInput);
    if (o.to && !(endAt < static_cast<double>(frames) + 0.5))
        return Failure::stop("--to " + decimal(o.to.value_or(0)) + " s lies past the end" + where + " (" +
                                 decimal(seconds) + " s)",
                             exitBadInput);
    const std::int64_t first = std::llround(firstAt);
    const std::int64_t end = std::llround(endAt);
    const std::int64_t count = end - first;
    if (count <= 0)
        return Failure::stop("no samples to write: " + o.input + " holds none in the part asked for",
                             exitBadInput);
    return FrameCut{first, count};
}

Outcome<std::string> importRecording(const ImportOptions& o, const ProgressReport& progress) {
    if (o.audio) return importAudio(o, progress);
    auto opened = openInput(o);
    if (!opened) return opened.failure();
    Recording& rec = opened.value();

    const std::string where = " of " + o.input;
    const std::optional<double> rate = o.rate ? o.rate : rec.rate;
    const std::optional<double> centre = o.centre ? o.centre : rec.centre;
    const std::optional<double> start = o.start ? o.start : rec.start;
    if (!rate) return bad("no sample rate in " + o.input + ": give it with --rate HZ");
    if (!centre) return bad("no centre frequency in " + o.input + ": give it with --centre HZ");
    if (!start && !rec.unreadableStart.empty())
        return bad("cannot read the " + rec.unreadableStart + where +
                   " as a UTC time: give the start with --start \"YYYY-MM-DD hh:mm:ss.sss\"");
    if (!start)
        return bad("no start time in " + o.input + ": give it with --start \"YYYY-MM-DD hh:mm:ss.sss\"");
    if (!std::isfinite(*centre) || !std::isfinite(*start))
        return bad("the centre or start time" + where + " is not a number");
    if (!rateFieldsFit(*rate))
        return bad("the sample rate " + decimal(*rate) + " Hz does not fit a WAV header", exitTooLarge);

    const auto cut = cutFrames(o, rec.source->frameCount(), *rate);
    if (!cut) return cut.failure();
    const std::int64_t first = cut->first, count = cut->count;
    if (count > largestFrameCount)
        return bad(o.input + " holds " + std::to_string(count) + " frames (" +
                       decimal(static_cast<double>(count) / *rate) + " s), more than the " +
                       std::to_string(largestFrameCount) +
                       " a WAV file can hold: cut out the transmission with --from and --to (at most " +
                       decimal(static_cast<double>(largestFrameCount) / *rate) + " s)",
                   exitTooLarge);
    const double cutStart = *start + static_cast<double>(first) / *rate;

    ReplacingFile file;
    if (auto r = openOutput(file, o.output, rec); !r) return r.failure();
    const std::string header =
        buildExactWavHeader(*rate, *centre, cutStart, static_cast<std::int32_t>(count));
    if (const int e = file.write(header)) return writeFailure(o.output, e);
    if (auto r = copyFrames(*rec.source, o.input, first, count, !rec.conjugated, file, progress); !r)
        return r.failure();
    if (auto r = commitOutput(file); !r) return r.failure();
    return "wrote " + o.output + " from " + rec.kind + " " + o.input + ": " + std::to_string(count) +
           " frames, " + exactInfoText(*rate, *centre, cutStart) + " (" + isoUtc(cutStart) + ")";
}

ProgressLine::ProgressLine(std::FILE* out)
    : out_(out),
      started_(std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
                   .count()) {}

void ProgressLine::operator()(std::int64_t done, std::int64_t total) {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (now - started_ < 2000 || (shown_ && now - lastShown_ < 250 && done < total)) return;
    const int percent = total > 0 ? static_cast<int>(100 * done / total) : 100;
    std::string percentText = std::to_string(percent);
    percentText.insert(0, 3 - std::min<std::size_t>(3, percentText.size()), ' ');
    const std::string line = "\r" + percentText + " % of " + std::to_string(total) + " frames";
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    shown_ = true;
    lastShown_ = now;
}

void ProgressLine::finish() {
    if (shown_) std::fputc('\n', out_);
    shown_ = false;
}

}  // namespace orv::importer
