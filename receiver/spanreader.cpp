#include "receiver/spanreader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "orv/littleendian.h"
#include "orv/retry.h"

namespace orv::receiver {
namespace {

constexpr std::size_t frameBytes = 8;
// Chunks before the data that are kept for the format rules; larger ones
// (none of ours) are read past.
constexpr std::uint32_t keptChunk = 1 << 20;
constexpr std::size_t skipBlock = 1 << 16;

void putLe32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xff);
}

}  // namespace

// A pipe or device, read forward only.
struct SpanReader::Stream {
    int fd = -1;
    std::uint64_t frameAt = 0;  // the next frame the stream gives
    ~Stream() {
        if (fd >= 0) close(fd);
    }
    // Up to n bytes; fewer only at the end. -1 on a read error.
    long long get(unsigned char* to, std::size_t n) {
        std::size_t done = 0;
        while (done < n) {
            const auto r = retryInterrupted([&] { return ::read(fd, to + done, n - done); });
            if (r < 0) return -1;
            if (r == 0) break;
            done += std::size_t(r);
        }
        return static_cast<long long>(done);
    }
};

Outcome<SpanReader> SpanReader::open(const std::string& path) {
    SpanReader reader;
    reader.path_ = path;
    const int fd = retryInterrupted([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    struct stat st {};
    const bool seekable =
        fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lseek(fd, 0, SEEK_END) >= 0;
    if (fd < 0 || seekable || S_ISDIR(st.st_mode)) {
        if (fd >= 0) close(fd);
        auto in = WaveIn::open(path);
        if (!in) return in.failure();
        reader.layout_ = in->layout();
        reader.seekable_ = std::make_unique<WaveIn>(std::move(in.value()));
        return reader;
    }
    reader.stream_ = std::make_shared<Stream>();
    Stream& s = *reader.stream_;
    s.fd = fd;
    const auto readError = [&] {
        return Failure::stop(path + ": read error (" + std::strerror(errno) + ")", errFileIO);
    };
    // The chunks up to the data go into a header of their own, with an empty
    // data chunk, for the reader's rules; the data's size is the stream's.
    std::string header;
    unsigned char head[12];
    long long got = s.get(head, sizeof head);
    if (got < 0) return readError();
    header.append(reinterpret_cast<const char*>(head), std::size_t(got));
    std::uint64_t dataSize = 0;
    while (got == sizeof head) {
        unsigned char h[8];
        const long long part = s.get(h, 8);
        if (part < 0) return readError();
        if (part < 8) break;  // no data chunk: the reader's rules say so
        const std::uint32_t size = readLe32(h + 4);
        if (std::memcmp(h, "data", 4) == 0) {
            dataSize = size;
            header.append(reinterpret_cast<const char*>(h), 4);
            putLe32(header, 0);
            break;
        }
        const bool kept = size <= keptChunk;
        if (kept) header.append(reinterpret_cast<const char*>(h), 8);
        std::vector<unsigned char> bytes(skipBlock);
        for (std::uint64_t left = std::uint64_t(size) + (size & 1); left > 0;) {
            const auto want = std::size_t(std::min<std::uint64_t>(left, bytes.size()));
            const long long read = s.get(bytes.data(), want);
            if (read < 0) return readError();
            if (kept) header.append(reinterpret_cast<const char*>(bytes.data()), std::size_t(read));
            if (std::size_t(read) < want) break;  // cut short: the reader's rules say so
            left -= want;
        }
    }
    const std::vector<unsigned char> image(header.begin(), header.end());
    auto parsed = WaveIn::fromBytes(image, path);
    if (!parsed) return parsed.failure();
    reader.layout_ = parsed->layout();
    reader.layout_.frameCount = dataSize / frameBytes;
    return reader;
}

Outcome<WaveRecording> SpanReader::read(std::uint64_t first, std::uint64_t count) {
    WaveRecording rec;
    rec.sampleRate = layout_.sampleRate;
    rec.rateFromInfo = layout_.rateFromInfo;
    rec.headerRate = layout_.headerRate;
    rec.infoText = layout_.infoText;
    rec.first = first;
    rec.frames = std::max<std::uint64_t>(layout_.frameCount, 1);
    if (first >= layout_.frameCount) return rec;
    const auto n = std::size_t(std::min(count, layout_.frameCount - first));
    rec.samples.resize(n);
    if (seekable_) {
        const auto read = seekable_->readFrames(first, n, rec.samples.data());
        if (!read) return read.failure();
        rec.samples.resize(*read);
        return rec;
    }
    Stream& s = *stream_;
    if (first < s.frameAt) return Failure::stop(path_ + ": a pipe cannot be read backwards", errFileIO);
    std::vector<unsigned char> skip(skipBlock);
    for (std::uint64_t left = (first - s.frameAt) * frameBytes; left > 0;) {
        const auto part = std::size_t(std::min<std::uint64_t>(left, skip.size()));
        const long long got = s.get(skip.data(), part);
        if (got < 0) return Failure::stop(path_ + ": read error (" + std::strerror(errno) + ")", errFileIO);
        if (std::size_t(got) < part)
            return Failure::stop(path_ + ": the data ends before the length its header gives (cut short?)",
                                 exitBadInput);
        left -= part;
    }
    auto* bytes = reinterpret_cast<unsigned char*>(rec.samples.data());
    const long long got = s.get(bytes, n * frameBytes);
    if (got < 0) return Failure::stop(path_ + ": read error (" + std::strerror(errno) + ")", errFileIO);
    if (std::size_t(got) < n * frameBytes)
        return Failure::stop(path_ + ": the data ends before the length its header gives (cut short?)",
                             exitBadInput);
    s.frameAt = first + n;
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char* p = bytes + frameBytes * i;
            rec.samples[i] = {std::bit_cast<float>(readLe32(p)), std::bit_cast<float>(readLe32(p + 4))};
        }
    }
    return rec;
}

}  // namespace orv::receiver
