#include "importer/sndfileinput.h"

#include <cstring>

#include "orv/littleendian.h"

namespace orv::importer {
namespace {

// The chunk walk libsndfile does not report: where "fmt " keeps the rate, and
// whether "data" came first. A bounded number of chunks, so a file of empty
// chunks costs nothing.
struct RiffLook {
    std::int64_t rateOffset = -1;
    bool rateZero = false;
    bool dataBeforeFormat = false;
};

RiffLook lookAtRiff(std::FILE* f, std::int64_t size) {
    RiffLook look;
    unsigned char head[12];
    if (std::fread(head, 1, 12, f) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return look;
    bool data = false;
    std::int64_t pos = 12;
    for (int chunks = 0; chunks < 4096 && pos + 8 <= size; ++chunks) {
        unsigned char h[12];
        if (fseeko(f, pos, SEEK_SET) != 0 || std::fread(h, 1, 12, f) < 8) break;
        if (std::memcmp(h, "data", 4) == 0) data = true;
        if (std::memcmp(h, "fmt ", 4) == 0) {
            look.dataBeforeFormat = data;
            look.rateOffset = pos + 12;
            unsigned char rate[4];
            look.rateZero =
                fseeko(f, pos + 12, SEEK_SET) == 0 && std::fread(rate, 1, 4, f) == 4 && readLe32(rate) == 0;
            break;
        }
        const std::int64_t chunkSize = readLe32(h + 4);
        pos += 8 + chunkSize + (chunkSize & 1);
    }
    return look;
}

SndFileInput* self(void* p) { return static_cast<SndFileInput*>(p); }

}  // namespace

Outcome<std::unique_ptr<SndFileInput>> SndFileInput::open(const std::string& path) {
    const auto bad = [&](const std::string& why) { return Failure::stop(path + ": " + why, exitBadInput); };
    std::unique_ptr<SndFileInput> in(new SndFileInput);
    in->bytes_ = std::fopen(path.c_str(), "rb");
    if (!in->bytes_) return Failure::stop(path + ": cannot open: " + std::strerror(errno), errFileNotFound);
    if (fseeko(in->bytes_, 0, SEEK_END) != 0 || (in->size_ = ftello(in->bytes_)) < 0)
        return bad("cannot find its length");
    std::rewind(in->bytes_);
    const RiffLook look = lookAtRiff(in->bytes_, in->size_);
    if (look.dataBeforeFormat)
        return bad(
            "its \"data\" chunk comes before its \"fmt \" chunk; libsndfile, which reads it, needs the "
            "format first");
    if (look.rateZero) in->rateOffset_ = look.rateOffset;
    std::rewind(in->bytes_);
    SF_VIRTUAL_IO io{&SndFileInput::length, &SndFileInput::seek, &SndFileInput::read, &SndFileInput::write,
                     &SndFileInput::tell};
    in->sound_ = sf_open_virtual(&io, SFM_READ, &in->info_, in.get());
    if (!in->sound_)
        return bad(std::string("not a WAV file libsndfile can read (") + sf_strerror(nullptr) + ")");
    return in;
}

SndFileInput::~SndFileInput() {
    if (sound_) sf_close(sound_);
    if (bytes_) std::fclose(bytes_);
}

sf_count_t SndFileInput::length(void* p) { return self(p)->size_; }

sf_count_t SndFileInput::seek(sf_count_t offset, int whence, void* p) {
    if (fseeko(self(p)->bytes_, offset, whence) != 0) return -1;
    return ftello(self(p)->bytes_);
}

sf_count_t SndFileInput::read(void* to, sf_count_t count, void* p) {
    SndFileInput& in = *self(p);
    const std::int64_t at = ftello(in.bytes_);
    const auto got = static_cast<sf_count_t>(std::fread(to, 1, static_cast<std::size_t>(count), in.bytes_));
    if (got < count && std::ferror(in.bytes_)) in.readFailed_ = true;
    // The header's rate of 0 reads as 1, so that libsndfile opens the file at all.
    if (in.rateOffset_ >= 0 && at <= in.rateOffset_ && in.rateOffset_ < at + got)
        static_cast<unsigned char*>(to)[in.rateOffset_ - at] = 1;
    return got;
}

sf_count_t SndFileInput::write(const void*, sf_count_t, void*) { return 0; }

sf_count_t SndFileInput::tell(void* p) { return ftello(self(p)->bytes_); }

}  // namespace orv::importer
