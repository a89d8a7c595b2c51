#include "wavefile.h"

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "numbertext.h"
#include "orv/outcome.h"

namespace orv::receiver {
namespace {

constexpr std::uint16_t formatFloat = 3;
constexpr std::uint16_t formatExtensible = 0xFFFE;
// Tail of the IEEE-float sub-format GUID, after its 16-bit format code.
constexpr unsigned char floatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint32_t u32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t u16(const unsigned char* p) { return std::uint16_t(p[0] | p[1] << 8); }

Outcome<WaveRecording> bad(const std::string& name, const std::string& why) {
    return Outcome<WaveRecording>::failure(name + ": " + why, exitBadInput);
}

// The value after "sr=" up to the next blank, if it is a positive number.
std::optional<double> infoRate(const std::string& text) {
    const auto at = text.find("sr=");
    if (at == std::string::npos) return std::nullopt;
    const auto begin = at + 3;
    const auto end = text.find(' ', begin);
    const auto rate = parseNumber(
        std::string_view(text).substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    if (!rate || *rate <= 0) return std::nullopt;
    return rate;
}

}  // namespace

Outcome<WaveRecording> parseWave(const std::vector<unsigned char>& bytes, const std::string& name) {
    const std::size_t size = bytes.size();
    const unsigned char* b = bytes.data();
    if (size < 12 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0)
        return bad(name, "not a RIFF/WAVE file");

    WaveRecording rec;
    bool haveFormat = false;
    const unsigned char* data = nullptr;
    std::uint64_t dataSize = 0;
    std::size_t pos = 12;
    while (pos + 8 <= size) {
        const unsigned char* id = b + pos;
        const std::uint64_t chunkSize = u32(b + pos + 4);
        const std::size_t body = pos + 8;
        if (chunkSize > size - body)
            return bad(name, "chunk \"" + std::string(reinterpret_cast<const char*>(id), 4) +
                                 "\" runs past the end of the file (truncated?)");
        const unsigned char* c = b + body;
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (chunkSize < 16) return bad(name, "format chunk too short");
            const std::uint16_t tag = u16(c);
            const std::uint16_t channels = u16(c + 2);
            const std::uint16_t bits = u16(c + 14);
            bool isFloat = tag == formatFloat;
            if (tag == formatExtensible && chunkSize >= 40)
                isFloat = u16(c + 24) == formatFloat && std::memcmp(c + 26, floatGuidTail, 14) == 0;
            if (!isFloat || bits != 32)
                return bad(name, "samples are not 32-bit float (format " + wholeText(tag) + ", " +
                                     wholeText(bits) + " bits); expected the converter's float WAV");
            if (channels != 2) return bad(name, wholeText(channels) + " channel(s); expected two (I and Q)");
            rec.headerRate = u32(c + 4);
            haveFormat = true;
        } else if (std::memcmp(id, "inf1", 4) == 0) {
            std::string text(reinterpret_cast<const char*>(c), static_cast<std::size_t>(chunkSize));
            text.erase(text.find_last_not_of('\0') + 1);
            rec.infoText = std::move(text);
        } else if (std::memcmp(id, "data", 4) == 0) {
            data = c;
            dataSize = chunkSize;
        }
        pos = body + static_cast<std::size_t>(chunkSize) + (chunkSize & 1);  // chunks are word aligned
    }
    if (!haveFormat) return bad(name, "no format chunk");
    if (!data) return bad(name, "no data chunk");

    if (const auto rate = infoRate(rec.infoText)) {
        rec.sampleRate = *rate;
        rec.rateFromInfo = true;
    } else if (rec.headerRate > 0) {
        rec.sampleRate = rec.headerRate;
    } else {
        return bad(name, "no sample rate (header rate 0 and no \"sr=\" text)");
    }

    const std::size_t frames = static_cast<std::size_t>(dataSize / 8);
    rec.samples.resize(frames);
    for (std::size_t n = 0; n < frames; ++n) {
        const float re = std::bit_cast<float>(u32(data + 8 * n));
        const float im = std::bit_cast<float>(u32(data + 8 * n + 4));
        rec.samples[n] = {re, im};
    }
    return rec;
}

Outcome<WaveRecording> readWave(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return Outcome<WaveRecording>::failure(path + ": a folder, not a WAV file", exitBadInput);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Outcome<WaveRecording>::failure(path + ": cannot open the WAV file (missing?)",
                                               errFileNotFound);
    // A look at the RIFF header first, so a wrong file of any size is refused
    // without reading it all.
    std::vector<unsigned char> bytes(12);
    in.read(reinterpret_cast<char*>(bytes.data()), 12);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() == 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
        std::memcmp(bytes.data() + 8, "WAVE", 4) == 0)
        bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return Outcome<WaveRecording>::failure(path + ": read error", errFileIO);
    return parseWave(bytes, path);
}

}  // namespace orv::receiver
