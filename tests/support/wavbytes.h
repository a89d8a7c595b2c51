#pragma once
// WAV files byte by byte, laid out as the converter writes them, for the tests
// of every reader of those files.
#include <complex>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace orv::testsupport {

struct WavLayout {
    std::uint16_t formatTag = 0xFFFE;  // 3 plain float, 1 PCM
    std::uint16_t channels = 2;
    std::uint16_t bits = 32;
    std::uint32_t headerRate = 250;
    std::string info = "sr=250 rf=137500 ut=1796644800";  // no "inf1" chunk when empty
};

inline void put16(std::string& s, std::uint16_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}
inline void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}

// The converter's layout (fmt, fact, inf1, data); sample bytes as given.
inline std::string wavBytes(const WavLayout& w, const std::string& sampleBytes) {
    std::string fmt;
    put16(fmt, w.formatTag);
    put16(fmt, w.channels);
    put32(fmt, w.headerRate);
    put32(fmt, w.headerRate * w.channels * w.bits / 8);
    put16(fmt, static_cast<std::uint16_t>(w.channels * w.bits / 8));
    put16(fmt, w.bits);
    if (w.formatTag == 0xFFFE) {
        put16(fmt, 22);
        put16(fmt, w.bits);
        put32(fmt, 0);
        fmt += std::string("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    }
    std::string body = "WAVE";
    const auto chunk = [&](const char* id, const std::string& payload) {
        body += id;
        put32(body, static_cast<std::uint32_t>(payload.size()));
        body += payload;
    };
    chunk("fmt ", fmt);
    if (!w.info.empty()) {
        std::string info = w.info;
        info.resize((info.size() + 3) / 4 * 4, '\0');
        chunk("inf1", info);
    }
    chunk("data", sampleBytes);
    std::string file = "RIFF";
    put32(file, static_cast<std::uint32_t>(body.size()));
    return file + body;
}

inline std::string floatBytes(const std::vector<std::complex<float>>& samples) {
    std::string s;
    for (const auto& z : samples)
        for (const float f : {z.real(), z.imag()}) {
            std::uint32_t u;
            std::memcpy(&u, &f, 4);
            put32(s, u);
        }
    return s;
}

}  // namespace orv::testsupport
