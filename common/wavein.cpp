#include "orv/wavein.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include "orv/decimalnumber.h"
#include "orv/littleendian.h"

namespace orv {
namespace {

constexpr std::uint16_t formatFloat = 3;
constexpr std::uint16_t formatExtensible = 0xFFFE;
// Tail of the IEEE-float sub-format GUID, after its 16-bit format code.
constexpr unsigned char floatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr std::uint64_t largestInfoText = 65536;

constexpr auto u32 = readLe32;
constexpr auto u16 = readLe16;

std::string wholeText(unsigned value) {
    char buffer[16];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace

std::optional<double> infoValue(std::string_view infoText, std::string_view key) {
    const std::string tag = std::string(key) + "=";
    const auto at = infoText.find(tag);
    if (at == std::string_view::npos) return std::nullopt;
    const auto begin = at + tag.size();
    const auto end = infoText.find(' ', begin);
    return decimalNumber(
        infoText.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

Outcome<WaveIn> WaveIn::open(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return Failure::stop(path + ": a folder, not a WAV file", exitBadInput);
    WaveIn in;
    in.name_ = path;
    in.file_ = std::make_unique<std::ifstream>(path, std::ios::binary);
    std::ifstream& f = *in.file_;
    if (!f) return Failure::stop(path + ": cannot open the WAV file (missing?)", errFileNotFound);
    f.seekg(0, std::ios::end);
    const std::streamoff end = f.tellg();
    if (end < 0) {
        // Not a file one can seek in: its bytes are read once, whole.
        f.clear();
        in.owned_.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        if (f.bad()) return Failure::stop(path + ": read error", errFileIO);
        in.file_.reset();
        in.bytes_ = in.owned_;
        if (auto walked = in.walk(in.bytes_.size()); !walked) return walked.failure();
        return in;
    }
    if (auto walked = in.walk(static_cast<std::uint64_t>(end)); !walked) return walked.failure();
    return in;
}

Outcome<WaveIn> WaveIn::fromBytes(std::span<const unsigned char> bytes, const std::string& name) {
    WaveIn in;
    in.name_ = name;
    in.bytes_ = bytes;
    if (auto walked = in.walk(bytes.size()); !walked) return walked.failure();
    return in;
}

bool WaveIn::readAt(std::uint64_t offset, unsigned char* to, std::size_t n) {
    if (!file_) {
        if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
        if (n > 0) std::memcpy(to, bytes_.data() + offset, n);
        return true;
    }
    file_->clear();
    file_->seekg(static_cast<std::streamoff>(offset));
    file_->read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
    return file_->gcount() == static_cast<std::streamsize>(n);
}

Outcome<> WaveIn::walk(std::uint64_t size) {
    const auto bad = [&](const std::string& why) { return Failure::stop(name_ + ": " + why, exitBadInput); };
    const auto readError = [&] { return Failure::stop(name_ + ": read error", errFileIO); };
    unsigned char head[12];
    if (size < 12) return bad("not a RIFF/WAVE file");
    if (!readAt(0, head, 12)) return readError();
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return bad("not a RIFF/WAVE file");

    bool haveFormat = false;
    bool haveData = false;
    std::uint64_t dataSize = 0;
    std::uint64_t pos = 12;
    while (pos + 8 <= size) {
        unsigned char h[8];
        if (!readAt(pos, h, 8)) return readError();
        const std::uint64_t chunkSize = u32(h + 4);
        const std::uint64_t body = pos + 8;
        if (chunkSize > size - body)
            return bad("chunk \"" + std::string(reinterpret_cast<const char*>(h), 4) +
                       "\" runs past the end of the file (truncated?)");
        if (std::memcmp(h, "fmt ", 4) == 0) {
            if (chunkSize < 16) return bad("format chunk too short");
            unsigned char c[40];
            if (!readAt(body, c, chunkSize >= 40 ? 40 : 16)) return readError();
            const std::uint16_t tag = u16(c);
            const std::uint16_t channels = u16(c + 2);
            const std::uint16_t bits = u16(c + 14);
            bool isFloat = tag == formatFloat;
            if (tag == formatExtensible && chunkSize >= 40)
                isFloat = u16(c + 24) == formatFloat && std::memcmp(c + 26, floatGuidTail, 14) == 0;
            if (!isFloat || bits != 32)
                return bad("samples are not 32-bit float (format " + wholeText(tag) + ", " + wholeText(bits) +
                           " bits); expected the converter's float WAV");
            if (channels != 2) return bad(wholeText(channels) + " channel(s); expected two (I and Q)");
            layout_.headerRate = u32(c + 4);
            haveFormat = true;
        } else if (std::memcmp(h, "inf1", 4) == 0) {
            // Three numbers need a few dozen bytes; a longer text would cost its size in memory.
            if (chunkSize > largestInfoText)
                return bad("its \"inf1\" chunk of " + std::to_string(chunkSize) +
                           " bytes is longer than an information text (at most " +
                           std::to_string(largestInfoText) + ")");
            std::string text(static_cast<std::size_t>(chunkSize), '\0');
            if (!readAt(body, reinterpret_cast<unsigned char*>(text.data()), text.size())) return readError();
            text.erase(text.find_last_not_of('\0') + 1);
            layout_.infoText = std::move(text);
        } else if (std::memcmp(h, "data", 4) == 0) {
            layout_.dataOffset = body;
            dataSize = chunkSize;
            haveData = true;
        }
        pos = body + chunkSize + (chunkSize & 1);  // chunks are word aligned
    }
    if (!haveFormat) return bad("no format chunk");
    if (!haveData) return bad("no data chunk");

    const std::string_view info = layout_.infoText;
    if (const auto rate = infoValue(info, "sr"); rate && *rate > 0) layout_.infoRate = rate;
    layout_.infoCentre = infoValue(info, "rf");
    layout_.infoStart = infoValue(info, "ut");
    if (layout_.infoRate) {
        layout_.sampleRate = *layout_.infoRate;
        layout_.rateFromInfo = true;
    } else if (layout_.headerRate > 0) {
        layout_.sampleRate = layout_.headerRate;
    } else {
        return bad("no sample rate (header rate 0 and no \"sr=\" text)");
    }
    layout_.frameCount = dataSize / 8;
    return {};
}

Outcome<std::size_t> WaveIn::readFrames(std::uint64_t first, std::size_t count, std::complex<float>* out) {
    if (first >= layout_.frameCount) return std::size_t{0};
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, layout_.frameCount - first));
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    if (!readAt(layout_.dataOffset + 8 * first, bytes, 8 * n))
        return Failure::stop(name_ + ": read error", errFileIO);
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char* p = bytes + 8 * i;
            out[i] = {std::bit_cast<float>(u32(p)), std::bit_cast<float>(u32(p + 4))};
        }
    }
    return n;
}

}  // namespace orv
