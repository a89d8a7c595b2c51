// Recordings the receiver must refuse, and what it takes the sample rate from.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "receiver/receiver.h"
#include "receiver/wavefile.h"
#include "rxtestsupport.h"

namespace orv::receiver {
namespace {

const std::vector<std::string> launcherArgs = {"-f", "rec.wav", "-T", " 1", "-F", "0",  "-S",
                                               "2",  "-N",      "10", "-c", "2",  "-p", "0"};

std::vector<std::complex<float>> ones(std::size_t n) { return std::vector<std::complex<float>>(n, {1, 0}); }

struct BadWave {
    const char* name;
    std::string bytes;  // empty: no file at all
    int exitCode;
    const char* message;
};

std::vector<BadWave> badWaves() {
    const std::string enough = floatBytes(ones(6000));
    WavLayout mono;
    mono.channels = 1;
    WavLayout pcm16;
    pcm16.formatTag = 1;
    pcm16.bits = 16;
    WavLayout extensiblePcm;
    extensiblePcm.info.clear();
    WavLayout longInfo;
    longInfo.info = std::string(65537, 'x');
    WavLayout noRate;
    noRate.headerRate = 0;
    noRate.info = "rf=137500 ut=1796644800";
    std::string truncated = wavBytes({}, enough);
    truncated.resize(truncated.size() - 100);
    std::string noData = wavBytes({}, "");
    noData.resize(noData.size() - 8);
    std::string pcmExtensible = wavBytes(extensiblePcm, enough);
    pcmExtensible[44] = 1;  // sub-format PCM instead of float
    return {
        {"Missing", "", 2, "cannot open"},
        {"Folder", "folder", 20, "a folder, not a WAV file"},
        {"OneByte", std::string("\0", 1), 20, "not a RIFF/WAVE"},
        {"TextFile", "sr=250 rf=137500 ut=1", 20, "not a RIFF/WAVE"},
        {"Mono", wavBytes(mono, enough), 20, "1 channel(s); expected two"},
        {"Pcm16", wavBytes(pcm16, std::string(12000, '\0')), 20, "not 32-bit float"},
        {"ExtensiblePcm", pcmExtensible, 20, "not 32-bit float"},
        {"Truncated", truncated, 20, "runs past the end"},
        {"NoDataChunk", noData, 20, "no data chunk"},
        {"NoRate", wavBytes(noRate, enough), 20, "no sample rate"},
        {"InfoTextBeyondBound", wavBytes(longInfo, enough), 20, "longer than an information text"},
        // 1 + 10 x 2 s at 250/s needs positions up to 5250: 5000 samples are too few.
        {"TooShort", wavBytes({}, floatBytes(ones(5000))), 20, "too short for 10 symbols"},
    };
}

class BadWaveFile : public ScratchFolder, public ::testing::WithParamInterface<BadWave> {};

TEST_P(BadWaveFile, FailsWithOneLineAndKeepsEarlierSymbols) {
    const auto& c = GetParam();
    if (c.bytes == "folder")
        std::filesystem::create_directory("rec.wav");
    else if (!c.bytes.empty())
        writeFile("rec.wav", c.bytes);
    const std::string earlier = "0 1 0 0\r\nearlier run\r\n";
    writeFile("rawsyms.txt", earlier);

    const auto r = orv::receiver::runReceiver(launcherArgs);
    EXPECT_EQ(r.exitCode(), c.exitCode);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error().find(c.message), std::string::npos) << r.error();
    EXPECT_EQ(r.error().find("rec.wav"), 0u) << r.error();
    EXPECT_EQ(std::count(r.error().begin(), r.error().end(), '\n'), 0);
    EXPECT_EQ(readFile("rawsyms.txt"), earlier);
    EXPECT_FALSE(std::filesystem::exists("rawsyms.txt.part"));
}

INSTANTIATE_TEST_SUITE_P(Receiver, BadWaveFile, ::testing::ValuesIn(badWaves()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScratchFolder, GoodRunReplacesEarlierSymbolFile) {
    writeWav("rec.wav", ones(5251));  // just long enough: the last cell ends at 5250.5
    writeFile("rawsyms.txt", "stale\r\n");
    const auto r = orv::receiver::runReceiver(launcherArgs);
    ASSERT_EQ(r.exitCode(), 0) << r.error();
    EXPECT_EQ(readFile("rawsyms.txt").substr(0, 2), "0 ");
    EXPECT_FALSE(std::filesystem::exists("rawsyms.txt.part"));
}

// A pipe is read forward up to the end of the span and no further: a writer
// that would go on for gigabytes is stopped by the reader closing its end.
TEST_F(ScratchFolder, APipeIsReadUpToTheSpanOnly) {
    ASSERT_EQ(mkfifo("rec.wav", 0600), 0);
    std::signal(SIGPIPE, SIG_IGN);
    std::size_t frames = 0;
    std::thread writer([&] {
        std::string bytes = wavBytes({}, "");
        bytes.resize(bytes.size() - 4);  // the data chunk's size: 4 GB
        put32(bytes, 0xFFFFFFF0u);
        const int fd = open("rec.wav", O_WRONLY);
        const std::string block = floatBytes(ones(1024));
        bool more = write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
        while (more && frames < (std::size_t(1) << 26)) {
            more = write(fd, block.data(), block.size()) == ssize_t(block.size());
            frames += more ? 1024 : 0;
        }
        close(fd);
    });
    const auto r = orv::receiver::runReceiver(launcherArgs);
    writer.join();
    EXPECT_EQ(r.exitCode(), 0) << r.error();
    EXPECT_EQ(readFile("rawsyms.txt").substr(0, 2), "0 ");
    EXPECT_LT(frames, 100000u);  // the span ends at frame 5251; a pipe holds a few thousand more
}

struct RateCase {
    const char* name;
    std::uint32_t headerRate;
    const char* info;
    double rate;
    bool fromInfo;
};

class SampleRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(SampleRate, ComesFromInfoTextElseHeader) {
    const auto& c = GetParam();
    WavLayout w;
    w.headerRate = c.headerRate;
    w.info = c.info;
    const std::string bytes = wavBytes(w, floatBytes(ones(4)));
    const auto r = orv::receiver::parseWave({bytes.begin(), bytes.end()}, "x.wav");
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(r->sampleRate, c.rate);
    EXPECT_EQ(r->rateFromInfo, c.fromInfo);
    EXPECT_EQ(r->samples.size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, SampleRate,
    ::testing::Values(RateCase{"Fractional", 2, "sr=1.953125 rf=137500 ut=1447071448.17", 1.953125, true},
                      RateCase{"RoundedHalfInHeader", 62, "sr=62.5 rf=137500 ut=1", 62.5, true},
                      RateCase{"BelowOneHalf", 0, "sr=0.4882813 rf=1 ut=1", 0.4882813, true},
                      RateCase{"ExponentText", 0, "sr=1e-005 rf=1 ut=1", 1e-5, true},
                      RateCase{"NoInfoChunk", 250, "", 250, false},
                      RateCase{"MalformedRate", 250, "sr=abc rf=1", 250, false},
                      RateCase{"ZeroRate", 250, "sr=0 rf=1", 250, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaveSamples, ChannelOneIsRealChannelTwoImaginary) {
    WavLayout plain;
    plain.formatTag = 3;  // the plain float tag is read as well
    const std::string bytes = wavBytes(plain, floatBytes({{1.5f, -2.25f}, {-0.0f, 3e-38f}}));
    const auto r = orv::receiver::parseWave({bytes.begin(), bytes.end()}, "x.wav");
    ASSERT_TRUE(r.ok()) << r.error();
    ASSERT_EQ(r->samples.size(), 2u);
    EXPECT_EQ(r->samples[0], std::complex<float>(1.5f, -2.25f));
    EXPECT_EQ(r->samples[1].imag(), 3e-38f);
    EXPECT_EQ(r->infoText, "sr=250 rf=137500 ut=1796644800");
}

}  // namespace
}  // namespace orv::receiver
