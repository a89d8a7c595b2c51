#pragma once
// Shared by the receiver tests: WAV files written byte by byte, a scratch
// folder that is the current directory for one test, and a model of the
// converter's transform.
#include <gtest/gtest.h>

#include <cctype>
#include <complex>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace orv::receiver {

// Parameterised cases print as their name instead of a byte dump.
template <class Case>
requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

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

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeWav(const std::string& path, const std::vector<std::complex<float>>& samples,
                     const WavLayout& layout = {}) {
    writeFile(path, wavBytes(layout, floatBytes(samples)));
}

// A fresh folder as the current directory for the duration of one test.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("rx-") + info->test_suite_name() + "-" + info->name();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
        folder_ = std::filesystem::path(::testing::TempDir()) / name;
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
    }
    std::filesystem::path folder_;

private:
    std::filesystem::path previous_;
};

}  // namespace orv::receiver
