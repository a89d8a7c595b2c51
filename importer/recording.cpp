#include "importer/recording.h"

#include <bit>
#include <cerrno>
#include <complex>
#include <cstring>
#include <filesystem>
#include <ios>
#include <vector>

#include "importer/filechecks.h"
#include "importer/sndfileinput.h"
#include "orv/littleendian.h"
#include "orv/wavein.h"

namespace orv::importer {

namespace {

Outcome<Recording> badFile(const std::string& path, const std::string& why) {
    return Failure::stop(path + ": " + why, exitBadInput);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

class RawSource final : public FrameSource {
public:
    RawSource(std::FILE* file, std::string path, SampleType type, std::int64_t first, std::int64_t frames)
        : file_(file), path_(std::move(path)), type_(type), first_(first), frames_(frames) {}
    std::int64_t frameCount() const override { return frames_; }
    Outcome<void> seek(std::int64_t frame) override {
        if (fseeko(file_.get(), first_ + frame * bytesPerFrame(type_), SEEK_SET) != 0)
            return Failure::stop(path_ + ": cannot seek: " + std::strerror(errno), exitBadInput);
        return {};
    }
    Outcome<void> read(float* iq, std::size_t count) override {
        bytes_.resize(count * static_cast<std::size_t>(bytesPerFrame(type_)));
        if (std::fread(bytes_.data(), 1, bytes_.size(), file_.get()) != bytes_.size()) {
            if (std::ferror(file_.get()))
                return Failure::stop(path_ + ": read error: " + std::strerror(errno), errFileIO);
            return Failure::stop(path_ + ": the file ends early (was it cut while reading?)", exitBadInput);
        }
        decodeFrames(type_, bytes_.data(), iq, count);
        return {};
    }

private:
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string path_;
    SampleType type_;
    std::int64_t first_, frames_;
    std::vector<unsigned char> bytes_;
};

class WavSource final : public FrameSource {
public:
    WavSource(std::unique_ptr<SndFileInput> input, std::string path)
        : input_(std::move(input)), path_(std::move(path)) {}
    std::int64_t frameCount() const override { return input_->info().frames; }
    Outcome<void> seek(std::int64_t frame) override {
        if (sf_seek(input_->file(), frame, SEEK_SET) != frame)
            return Failure::stop(path_ + ": cannot seek: " + sf_strerror(input_->file()), exitBadInput);
        return {};
    }
    Outcome<void> read(float* iq, std::size_t count) override {
        if (sf_readf_float(input_->file(), iq, static_cast<sf_count_t>(count)) ==
            static_cast<sf_count_t>(count))
            return {};
        if (input_->readFailed()) return Failure::stop(path_ + ": read error", errFileIO);
        return Failure::stop(path_ + ": the file ends early (was it cut while reading?)", exitBadInput);
    }

private:
    std::unique_ptr<SndFileInput> input_;
    std::string path_;
};

class ToolSetSource final : public FrameSource {
public:
    ToolSetSource(WaveIn wave, std::string path) : wave_(std::move(wave)), path_(std::move(path)) {}
    std::int64_t frameCount() const override { return static_cast<std::int64_t>(wave_.frameCount()); }
    Outcome<void> seek(std::int64_t frame) override {
        next_ = static_cast<std::uint64_t>(frame);
        return {};
    }
    Outcome<void> read(float* iq, std::size_t count) override {
        // std::complex<float> is laid out as two floats, real part first.
        const auto n = wave_.readFrames(next_, count, reinterpret_cast<std::complex<float>*>(iq));
        if (!n) return n.failure();
        if (*n != count)
            return Failure::stop(path_ + ": the file ends early (was it cut while reading?)", exitBadInput);
        next_ += count;
        return {};
    }

private:
    WaveIn wave_;
    std::string path_;
    std::uint64_t next_ = 0;
};

// libsndfile reads a file whose data chunk runs past its end up to that end and
// only notes it in its log ("data : 32000 (should be 19956)"): for us it is cut.
bool dataCutShort(SNDFILE* file) {
    std::string log(16384, '\0');
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    for (std::size_t at = log.find("data :"); at != std::string::npos; at = log.find("data :", at + 1)) {
        const std::size_t lineEnd = log.find('\n', at);
        if (log.substr(at, lineEnd - at).find("should be") != std::string::npos) return true;
    }
    return false;
}

}  // namespace

std::optional<SampleType> sampleTypeNamed(std::string_view name) {
    if (name == "cf32_le") return SampleType::Cf32;
    if (name == "ci16_le") return SampleType::Ci16;
    if (name == "ci8") return SampleType::Ci8;
    if (name == "cu8") return SampleType::Cu8;
    return std::nullopt;
}

int bytesPerFrame(SampleType type) {
    switch (type) {
        case SampleType::Cf32:
            return 8;
        case SampleType::Ci16:
            return 4;
        case SampleType::Ci8:
        case SampleType::Cu8:
            return 2;
    }
    return 8;
}

void decodeFrames(SampleType type, const unsigned char* bytes, float* iq, std::size_t count) {
    const std::size_t values = 2 * count;
    switch (type) {
        case SampleType::Cf32:
            for (std::size_t i = 0; i < values; ++i) iq[i] = std::bit_cast<float>(readLe32(bytes + 4 * i));
            break;
        case SampleType::Ci16:  // full scale 1, as libsndfile reads 16-bit WAV
            for (std::size_t i = 0; i < values; ++i) {
                const auto v = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
                iq[i] = static_cast<float>(v) / 32768.0f;
            }
            break;
        case SampleType::Ci8:
            for (std::size_t i = 0; i < values; ++i)
                iq[i] = static_cast<float>(std::int8_t(bytes[i])) / 128.0f;
            break;
        case SampleType::Cu8:  // zero lies between 127 and 128, as 8-bit receivers deliver it
            for (std::size_t i = 0; i < values; ++i) iq[i] = (static_cast<float>(bytes[i]) - 127.5f) / 128.0f;
            break;
    }
}

Outcome<Recording> openRawRecording(const std::string& path, SampleType type, std::int64_t byteOffset,
                                    std::int64_t trailingBytes) {
    if (auto checked = checkInputFile(path); !checked) return checked.failure();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return Failure::stop(path + ": cannot open: " + std::strerror(errno), errFileNotFound);
    if (fseeko(file.get(), 0, SEEK_END) != 0) return badFile(path, "cannot find its length");
    const std::int64_t size = ftello(file.get()) - trailingBytes;
    const std::int64_t frameBytes = bytesPerFrame(type);
    if (size < byteOffset) return badFile(path, "the file ends before its first sample");
    if ((size - byteOffset) % frameBytes != 0)
        return badFile(path, "its length is not a whole number of " + std::to_string(frameBytes) +
                                 "-byte complex samples (a cut file?)");
    Recording r;
    r.source =
        std::make_unique<RawSource>(file.release(), path, type, byteOffset, (size - byteOffset) / frameBytes);
    if (auto s = r.source->seek(0); !s) return s.failure();
    r.files = {path};
    return r;
}

Outcome<Recording> openToolSetWave(const std::string& path) {
    if (auto checked = checkInputFile(path); !checked) return checked.failure();
    std::optional<Outcome<WaveIn>> opened;
    try {
        opened.emplace(WaveIn::open(path));
    } catch (const std::ios_base::failure& e) {
        return Failure::stop(path + ": read error (" + e.what() + ")", errFileIO);
    }
    auto& wave = *opened;
    if (!wave) return wave.failure();
    if (wave->layout().infoText.empty())
        return badFile(path, "not a tool-set WAV (no \"inf1\" text with \"sr=\", \"rf=\" and \"ut=\")");
    Recording r;
    r.rate = wave->layout().sampleRate;
    r.centre = wave->layout().infoCentre;
    r.start = wave->layout().infoStart;
    r.conjugated = true;
    r.kind = "tool-set WAV";
    r.files = {path};
    r.source = std::make_unique<ToolSetSource>(std::move(wave.value()), path);
    return r;
}

Outcome<Recording> openWavRecording(const std::string& path) {
    if (auto checked = checkInputFile(path); !checked) return checked.failure();
    // Ours are copied as they are, "inf1" values and all; the rest go through libsndfile.
    auto ours = openToolSetWave(path);
    if (ours || ours.exitCode() == errFileIO) return ours;
    auto input = SndFileInput::open(path);
    // One of ours that our reader refused (an "inf1" beyond its bound) says why.
    if (!input && ours.error().find("\"inf1\"") != std::string::npos)
        return Failure::stop(ours.error() + "; libsndfile cannot read it either", exitBadInput);
    if (!input) return input.failure();
    const SF_INFO info = input.value()->info();
    const bool rateZero = input.value()->headerRateZero();

    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64)
        return badFile(path, "not a WAV file");
    if (info.channels != 2)
        return badFile(path, "has " + std::to_string(info.channels) +
                                 " channel(s); an I/Q recording has two (I left, Q right)");
    switch (subtype) {
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
            break;
        default:
            return badFile(path,
                           "holds samples other than 8-, 16-, 24-, 32-bit integers or 32-, 64-bit floats");
    }
    if (dataCutShort(input.value()->file()))
        return badFile(path, "its data chunk is longer than the file (a cut file?)");

    Recording r;
    r.kind = "WAV";
    if (info.samplerate > 0 && !rateZero) r.rate = info.samplerate;
    r.source = std::make_unique<WavSource>(std::move(input.value()), path);
    r.files = {path};
    return r;
}

}  // namespace orv::importer
