#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "orv/wavout.h"

namespace orv {
namespace {

std::uint32_t field32(const std::string& h, std::size_t offset) {
    std::uint32_t v;
    std::memcpy(&v, h.data() + offset, 4);
    return v;
}

TEST(WavHeader, GoldenBytes) {
    const std::string expected =
        std::string("RIFF\x78\x80\x00\x00WAVE", 12) +
        std::string(
            "fmt \x28\x00\x00\x00\xFE\xFF\x02\x00\x02\x00\x00\x00\x10\x00\x00\x00"
            "\x08\x00\x20\x00\x16\x00\x20\x00\x00\x00\x00\x00"
            "\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71",
            48) +
        std::string("fact\x04\x00\x00\x00\x00\x10\x00\x00", 12) +
        std::string("inf1\x28\x00\x00\x00sr=1.953125 rf=137500 ut=1447071448.17\0\0", 48) +
        std::string("data\x00\x80\x00\x00", 8);
    EXPECT_EQ(buildWavHeader(1.953125f, 137500.0, 1447071448.17, 4096), expected);
}

TEST(WavHeader, InfoPaddingAndRateFields) {
    struct Case {
        float rate;
        double rf, ut;
        std::int32_t n;
        const char* text;
        std::uint32_t padded, samplesPerSecond;
    };
    for (Case c : {Case{250, 137500, 1447071448.17, 524288, "sr=250 rf=137500 ut=1447071448.17", 36, 250},
                   Case{250, 137500, 1447071448.1, 16, "sr=250 rf=137500 ut=1447071448.1", 32, 250},
                   Case{62.5f, 137500, 0, 131072, "sr=62.5 rf=137500 ut=0", 24, 62},
                   Case{63.5f, -1.5, -2, 16, "sr=63.5 rf=-1.5 ut=-2", 24, 64},
                   Case{0.48828125f, 0, 0, 1024, nullptr, 0, 0}}) {
        const std::string h = buildWavHeader(c.rate, c.rf, c.ut, c.n);
        const std::uint32_t length = field32(h, 76);
        ASSERT_EQ(h.size(), 88 + length);
        const std::string info = h.substr(80, length);
        const std::string text = info.substr(0, info.find('\0'));
        if (c.text) {
            EXPECT_EQ(text, c.text);
            EXPECT_EQ(length, c.padded) << c.text;
        }
        EXPECT_EQ(length % 4, 0u);
        EXPECT_LT(length - text.size(), 4u);
        EXPECT_EQ(info.find_first_not_of('\0', text.size()), std::string::npos);
        EXPECT_EQ(field32(h, 4), 80 + length + 8u * c.n);
        EXPECT_EQ(field32(h, 24), c.samplesPerSecond) << c.rate;
        EXPECT_EQ(field32(h, 28), 8 * c.samplesPerSecond) << c.rate;
        EXPECT_EQ(field32(h, 68), std::uint32_t(c.n));
        EXPECT_EQ(field32(h, 84 + length), 8u * c.n);
        EXPECT_EQ(h.compare(80 + length, 4, "data"), 0);
    }
    EXPECT_EQ(infoText(0.48828125f, 0, 0).rfind("sr=0.48828", 0), 0u);
}

TEST(WavHeader, LimitsOfThe32BitFields) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::int64_t n, infoLength;
        float rate;
        bool fits;
    };
    for (Case c : {Case{1 << 28, 40, 250, true}, Case{std::int64_t(1) << 29, 40, 250, false},
                   Case{std::int64_t(1) << 30, 1, 250, false}, Case{16, 40, 536870880.0f, true},
                   Case{16, 40, 536870912.0f, false}, Case{16, 40, inf, false}}) {
        EXPECT_EQ(wavSizesFit(c.n, c.infoLength) && rateFieldsFit(c.rate), c.fits) << c.n << " " << c.rate;
    }
}

}  // namespace
}  // namespace orv
