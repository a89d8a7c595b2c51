#include "importer/audioimport.h"

#include <sndfile.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include "importer/bandmixer.h"
#include "importer/channelthread.h"
#include "importer/decimator.h"
#include "importer/filechecks.h"
#include "importer/humremover.h"
#include "importer/impulseblanker.h"
#include "importer/sigmf.h"
#include "orv/replacingfile.h"
#include "orv/utctime.h"
#include "orv/wavein.h"
#include "orv/wavout.h"

namespace orv::importer {

namespace {

constexpr int maxChannels = 8;

Outcome<std::string> bad(const std::string& message, int exitCode = exitBadInput) {
    return Failure::stop(message, exitCode);
}

std::string decimal(double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string fixed(double value, int digits) {
    char text[64];
    return std::string(text,
                       std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits).ptr);
}

struct SoundFile {
    SNDFILE* file = nullptr;
    ~SoundFile() {
        if (file) sf_close(file);
    }
};

// Which channels go into the output and with what complex weight.
struct Weight {
    int channel;
    std::complex<double> weight;
};

Outcome<std::vector<Weight>> chooseChannels(const ImportOptions& o, int channels) {
    const AudioSettings& s = o.audioSettings;
    const std::string has = o.input + " has " + std::to_string(channels) + " channels";
    if (s.channel) {
        if (*s.channel > channels)
            return Failure::stop("--channel " + std::to_string(*s.channel) + ": " + has, exitBadInput);
        return std::vector<Weight>{{*s.channel - 1, 1.0}};
    }
    if (!s.mix.empty()) {
        if (static_cast<int>(s.mix.size()) != channels)
            return Failure::stop("--mix gives " + std::to_string(s.mix.size()) + " gains: " + has,
                                 exitBadInput);
        std::vector<Weight> w;
        for (int c = 0; c < channels; ++c)
            if (s.mix[std::size_t(c)] != 0.0) w.push_back({c, s.mix[std::size_t(c)]});
        if (w.empty()) return Failure::stop("--mix gives every channel a gain of 0", exitBadInput);
        return w;
    }
    if (channels > 1)
        return Failure::stop(has + ": take one with --channel N or combine them with --mix G1,G2,...",
                             exitBadInput);
    return std::vector<Weight>{{0, 1.0}};
}

// Samples as little-endian float pairs, conjugated: the tool set keeps the
// other sense of rotation (as the converter's spectrum does).
void appendConjugated(std::string& bytes, const Band& samples) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 8 * samples.size());
    char* p = bytes.data() + at;
    for (const auto& s : samples)
        for (const float v : {s.real(), -s.imag()}) {
            const auto u = std::bit_cast<std::uint32_t>(v);
            for (int b = 0; b < 4; ++b) *p++ = static_cast<char>(u >> (8 * b));
        }
}

}  // namespace

Outcome<std::string> importAudio(const ImportOptions& o, const ProgressReport& progress) {
    const AudioSettings& s = o.audioSettings;
    if (sigmfStem(o.input))
        return bad(o.input + " is an I/Q recording by its SigMF metadata: import it without --audio");
    if (auto checked = checkInputFile(o.input); !checked) return checked.failure();
    if (auto checked = checkOutputFile(o.output, {o.input}); !checked) return checked.failure();
    if (auto ours = WaveIn::open(o.input); ours && !ours->layout().infoText.empty())
        return bad(o.input + " is a tool-set WAV (I/Q, with an \"inf1\" text): import it without --audio");
    SF_INFO info{};
    SoundFile sound{sf_open(o.input.c_str(), SFM_READ, &info)};
    if (!sound.file)
        return bad(o.input + ": not a recording libsndfile can read (" + sf_strerror(nullptr) + ")");
    if (info.channels < 1 || info.channels > maxChannels)
        return bad(o.input + " has " + std::to_string(info.channels) + " channels; at most " +
                   std::to_string(maxChannels) + " are read");

    const std::optional<double> rate = o.rate                ? o.rate
                                       : info.samplerate > 0 ? std::optional<double>(info.samplerate)
                                                             : std::nullopt;
    if (!rate) return bad("no sample rate in " + o.input + ": give it with --rate HZ");
    if (!o.centre) return bad("a sound-card recording holds no centre frequency: give it with --centre HZ");
    if (!o.start)
        return bad("no start time in " + o.input + ": give it with --start \"YYYY-MM-DD hh:mm:ss.sss\"");
    const double fs = *rate, centre = *o.centre;
    if (!(centre > 0 && centre < fs / 2))
        return bad("--centre " + decimal(centre) +
                   " Hz lies outside the input's band, between 0 Hz and half its rate (" + decimal(fs / 2) +
                   " Hz)");
    const auto weights = chooseChannels(o, info.channels);
    if (!weights) return weights.failure();

    // The band must keep its Gaussian skirt (-40 dB at 1.7 band) off 0 Hz and half the rate.
    const double room = std::min(centre, fs / 2 - centre) / 1.7;
    if (s.band && *s.band > room)
        return bad("--band " + decimal(*s.band) + " Hz does not fit around --centre " + decimal(centre) +
                   " Hz within the input's band (0 to " + decimal(fs / 2) + " Hz): at most " +
                   fixed(room, 0) + " Hz");
    const double band = s.band ? *s.band : std::min(defaultBand, room);
    // At 4 bands or more per band sample nothing folds onto the band from the skirt.
    const int bandStep = static_cast<int>(std::max(1.0, std::floor(fs / (4 * band))));
    const double bandRate = fs / bandStep;
    const double wanted = s.outRate.value_or(defaultOutRate);
    const int outStep = static_cast<int>(std::clamp(std::nearbyint(bandRate / wanted), 1.0, 1e6));
    const double outRate = bandRate / outStep;
    if (!rateFieldsFit(outRate))
        return bad("the output rate " + decimal(outRate) + " Hz does not fit a WAV header", exitTooLarge);

    const auto cut = cutFrames(o, info.frames, fs);
    if (!cut) return cut.failure();
    const std::int64_t bandCount = (cut->count + bandStep - 1) / bandStep;
    const std::int64_t outCount = (bandCount + outStep - 1) / outStep;
    if (outCount > largestFrameCount)
        return bad(o.input + " gives " + std::to_string(outCount) + " frames at " + decimal(outRate) +
                       " Hz, more than the " + std::to_string(largestFrameCount) +
                       " a WAV file can hold: cut it with --from and --to, or lower --out-rate",
                   exitTooLarge);
    const double cutStart = *o.start + static_cast<double>(cut->first) / fs;

    ReplacingFile file;
    if (const int e = file.open(o.output)) return writeFailure(o.output, e);
    std::string header = buildExactWavHeader(outRate, centre, cutStart, static_cast<std::int32_t>(outCount));

    const std::size_t used = weights->size();
    std::vector<BandMixer> mixers;
    std::vector<HumRemover> hums;
    for (std::size_t u = 0; u < used; ++u) {
        mixers.emplace_back(fs, centre, band, bandStep);
        if (s.mains > 0) hums.emplace_back(bandRate, centre, band, s.mains);
    }
    const bool blanking = s.blankThreshold > 0;
    ImpulseBlanker blanker(used, s.blankThreshold, static_cast<int>(std::ceil(1.5 * bandRate / band)));
    Decimator decimator(outStep);
    std::vector<Band> fresh(used), pending(used);
    Band mixed, out;
    std::vector<float> blocks[2];
    bool humStarted = false;
    std::int64_t written = 0;
    // Integers are always numbers; floating-point samples may be NaN or infinite.
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    const bool checkFinite = subtype != SF_FORMAT_PCM_S8 && subtype != SF_FORMAT_PCM_U8 &&
                             subtype != SF_FORMAT_PCM_16 && subtype != SF_FORMAT_PCM_24 &&
                             subtype != SF_FORMAT_PCM_32;

    const auto readBlock = [&](std::vector<float>& block, std::int64_t at, std::size_t n) -> Outcome<void> {
        block.resize(n * std::size_t(info.channels));
        if (sf_readf_float(sound.file, block.data(), sf_count_t(n)) != sf_count_t(n))
            return Failure::stop(o.input + ": the file ends early (was it cut while reading?)", exitBadInput);
        for (std::size_t i = 0; checkFinite && i < block.size(); ++i)
            if (!std::isfinite(block[i]))
                return Failure::stop(o.input + ": sample " +
                                         std::to_string(at + std::int64_t(i) / info.channels) +
                                         " of channel " + std::to_string(i % std::size_t(info.channels) + 1) +
                                         " is not a finite number",
                                     exitNotFinite);
        return {};
    };
    // Each channel's band, and its hum out once the first spectrum has a few
    // seconds of band samples.
    const auto channelSteps = [&](std::size_t u, const std::vector<float>& block, bool atEnd) {
        const std::size_t n = block.size() / std::size_t(info.channels);
        mixers[u].push(block.data() + (*weights)[u].channel, n, std::size_t(info.channels), fresh[u]);
        if (atEnd) mixers[u].finish(fresh[u]);
        if (!hums.empty() && (humStarted || atEnd || fresh[u].size() >= HumRemover::startSamples))
            hums[u].process(fresh[u]);
    };
    // Blanking, the mix, the output rate and the file, for what is pending.
    const auto tail = [&](bool atEnd) -> Outcome<void> {
        const std::size_t ready = blanking ? blanker.process(pending, atEnd) : pending[0].size();
        mixed.assign(ready, 0.0f);
        for (std::size_t i = 0; i < ready; ++i) {
            std::complex<double> sum = 0;
            for (std::size_t u = 0; u < used; ++u)
                sum += (*weights)[u].weight * std::complex<double>(pending[u][i]);
            mixed[i] = std::complex<float>(sum);
        }
        if (blanking) blanker.dropFront(ready);
        for (auto& p : pending) p.erase(p.begin(), p.begin() + std::ptrdiff_t(ready));
        decimator.push(mixed.data(), ready, out);
        if (atEnd) decimator.finish(out);
        std::string bytes = std::move(header);  // the header before the first samples, then nothing
        header.clear();
        appendConjugated(bytes, out);
        written += std::int64_t(out.size());
        out.clear();
        if (const int e = file.write(bytes)) return writeFailure(o.output, e);
        return {};
    };

    if (sf_seek(sound.file, cut->first, SEEK_SET) != cut->first)
        return bad(o.input + ": cannot seek: " + sf_strerror(sound.file));
    std::int64_t done = std::min<std::int64_t>(blockFrames, cut->count);
    if (auto r = readBlock(blocks[0], cut->first, std::size_t(done)); !r) return r.failure();
    Outcome<void> tailDone, nextRead;
    bool tailDue = false;
    // Two threads, each with about half the work: the second takes the odd
    // channels of block k and the tail of block k-1, this one the even
    // channels of block k and the reading of block k+1. The second thread is
    // made last, so that it ends before the data it works on.
    ChannelThread second;
    for (int k = 0;; ++k) {
        const std::vector<float>& block = blocks[k % 2];
        const bool atEnd = done == cut->count;
        second.run([&] {
            for (std::size_t u = 1; u < used; u += 2) channelSteps(u, block, atEnd);
            if (tailDue) tailDone = tail(false);
        });
        for (std::size_t u = 0; u < used; u += 2) channelSteps(u, block, atEnd);
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(blockFrames, cut->count - done));
        if (!atEnd) nextRead = readBlock(blocks[(k + 1) % 2], cut->first + done, n);
        second.wait();
        if (!tailDone) return tailDone.failure();
        if (!nextRead) return nextRead.failure();
        if (progress) progress(done, cut->count);
        if (!hums.empty() && !humStarted && fresh[0].size() < HumRemover::startSamples && !atEnd) {
            done += std::int64_t(n);
            continue;
        }
        humStarted = true;
        for (std::size_t u = 0; u < used; ++u) {
            pending[u].insert(pending[u].end(), fresh[u].begin(), fresh[u].end());
            fresh[u].clear();
        }
        tailDue = true;
        if (atEnd) break;
        done += std::int64_t(n);
    }
    if (auto r = tail(true); !r) return r.failure();
    if (written != outCount)
        return bad("internal error: " + std::to_string(written) + " frames made instead of " +
                       std::to_string(outCount),
                   errFileIO);
    if (const int e = file.commit()) return writeFailure(o.output, e);

    std::string summary = "wrote " + o.output + " from audio " + o.input + " (" +
                          std::to_string(info.channels) + " channel(s) at " + decimal(fs) +
                          " Hz): " + std::to_string(outCount) + " frames, " +
                          exactInfoText(outRate, centre, cutStart) + " (" + isoUtc(cutStart) + ")";
    if (blanking)
        summary += ", blanked " + fixed(100.0 * double(blanker.blankedSamples()) / double(bandCount), 3) +
                   " % of the time in a " + decimal(band) + " Hz band";
    if (!hums.empty()) {
        const auto found =
            std::find_if(hums.begin(), hums.end(), [](const HumRemover& h) { return h.found(); });
        summary += found == hums.end() ? ", no mains hum found"
                                       : ", mains " + fixed(found->mainsFrequency(), 4) + " Hz";
    }
    return summary;
}

}  // namespace orv::importer
