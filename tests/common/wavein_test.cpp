// The WAV reader: block reads from a file and from memory, the chunk walk and the "inf1" values.
#include "orv/wavein.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/wavbytes.h"

namespace orv {
namespace {

using testsupport::floatBytes;
using testsupport::put32;
using testsupport::wavBytes;
using testsupport::WavLayout;

std::vector<std::complex<float>> ramp(int n) {
    std::vector<std::complex<float>> v;
    for (int i = 0; i < n; ++i) v.push_back({static_cast<float>(i), -0.5f * static_cast<float>(i)});
    return v;
}

struct BlockCase {
    std::uint64_t first;
    std::size_t count;
    std::size_t read;
};

TEST(WaveInBlocks, FileAndMemoryGiveTheSameFramesCutAtTheEnd) {
    const std::string bytes = wavBytes({}, floatBytes(ramp(10)));
    const std::string path = (std::filesystem::path(::testing::TempDir()) / "wavein-blocks.wav").string();
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::vector<unsigned char> memory(bytes.begin(), bytes.end());
    auto file = WaveIn::open(path);
    auto inMemory = WaveIn::fromBytes(memory, "mem.wav");
    ASSERT_TRUE(file.ok()) << file.error();
    ASSERT_TRUE(inMemory.ok()) << inMemory.error();
    EXPECT_EQ(file->frameCount(), 10u);
    for (const BlockCase c :
         {BlockCase{0, 10, 10}, {3, 4, 4}, {8, 5, 2}, {9, 1, 1}, {10, 1, 0}, {12, 3, 0}}) {
        for (WaveIn* in : {&file.value(), &inMemory.value()}) {
            std::vector<std::complex<float>> out(c.count, {7, 7});
            const auto n = in->readFrames(c.first, c.count, out.data());
            ASSERT_TRUE(n.ok());
            ASSERT_EQ(*n, c.read) << c.first << "+" << c.count;
            for (std::size_t i = 0; i < c.read; ++i) EXPECT_EQ(out[i], ramp(20)[c.first + i]);
            if (c.read < c.count) {
                EXPECT_EQ(out[c.read], std::complex<float>(7, 7));
            }
        }
    }
    std::filesystem::remove(path);
}

// RIFF body pieces: id, size field, payload (padded to even length when odd).
std::string chunk(const char* id, const std::string& payload) {
    std::string s = id;
    put32(s, static_cast<std::uint32_t>(payload.size()));
    return s + payload + (payload.size() % 2 ? std::string(1, '\0') : "");
}
std::string riff(const std::string& body) {
    std::string s = "RIFF";
    put32(s, static_cast<std::uint32_t>(body.size() + 4));
    return s + "WAVE" + body;
}
std::string plainFormat(std::uint32_t rate) {
    const std::string w = wavBytes(WavLayout{3, 2, 32, rate, ""}, "");
    return w.substr(20, 16);  // the 16-byte plain float format
}

struct WalkCase {
    const char* name;
    std::string bytes;
    std::uint64_t dataOffset;
    std::uint64_t frames;
    double rate;
    bool fromInfo;
    std::optional<double> centre;
};

class WaveInWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(WaveInWalk, FindsDataFormatAndInfoWhereverTheyAre) {
    const WalkCase& c = GetParam();
    const std::vector<unsigned char> memory(c.bytes.begin(), c.bytes.end());
    const auto in = WaveIn::fromBytes(memory, "w.wav");
    ASSERT_TRUE(in.ok()) << in.error();
    EXPECT_EQ(in->layout().dataOffset, c.dataOffset);
    EXPECT_EQ(in->frameCount(), c.frames);
    EXPECT_EQ(in->layout().sampleRate, c.rate);
    EXPECT_EQ(in->layout().rateFromInfo, c.fromInfo);
    EXPECT_EQ(in->layout().infoCentre, c.centre);
}

const std::string frames3 = floatBytes(ramp(3));

INSTANTIATE_TEST_SUITE_P(
    Layouts, WaveInWalk,
    ::testing::Values(
        // An odd unknown chunk is padded; the data offset lies after the pad byte.
        WalkCase{"oddChunkSkipped",
                 riff(chunk("fmt ", plainFormat(250)) + chunk("junk", "abc") + chunk("data", frames3)),
                 12 + 24 + 12 + 8, 3, 250, false, std::nullopt},
        WalkCase{"dataBeforeFormat", riff(chunk("data", frames3) + chunk("fmt ", plainFormat(100))), 20, 3,
                 100, false, std::nullopt},
        WalkCase{"infoRateWins",
                 riff(chunk("fmt ", plainFormat(250)) +
                      chunk("inf1", std::string("sr=249.5 rf=137500 ut=1\0\0", 25)) + chunk("data", frames3)),
                 12 + 24 + 34 + 8, 3, 249.5, true, 137500},
        WalkCase{"badInfoRateFallsBack",
                 riff(chunk("fmt ", plainFormat(250)) + chunk("inf1", "sr=x rf=-2") +
                      chunk("data", frames3 + "1234")),
                 12 + 24 + 18 + 8, 3, 250, false, -2}),
    [](const ::testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

struct InfoCase {
    const char* text;
    const char* key;
    std::optional<double> value;
};

TEST(WaveInInfo, ReadsOneDecimalNumberAfterTheKey) {
    for (const InfoCase c : {InfoCase{"sr=250 rf=137500 ut=1796644800", "ut", 1796644800.0},
                             {"sr=+12.5", "sr", 12.5},
                             {"sr=\t5\t rf=1", "sr", 5.0},
                             {"sr=-.5", "sr", -0.5},
                             {"sr=", "sr", std::nullopt},
                             {"sr=inf", "sr", std::nullopt},
                             {"sr=1e999", "sr", std::nullopt},
                             {"sr=12,5", "sr", std::nullopt},
                             {"rf=1", "sr", std::nullopt}})
        EXPECT_EQ(infoValue(c.text, c.key), c.value) << c.text;
}

}  // namespace
}  // namespace orv
