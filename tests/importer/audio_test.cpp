// Sound-card recordings made here (a coded message on a carrier, with noise,
// lightning-like bursts and drifting mains hum), imported with --audio and
// decoded by orvane-rx; the mix weights; the refusals.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "importer.h"
#include "messagecode.h"
#include "programrunner.h"
#include "scratchfolder.h"
#include "wavefile.h"

namespace orv::importer {
namespace {

constexpr double rate = 24000, centre = 6000, carrier = 6005, period = 0.1, txStart = 1, seconds = 12.5;
constexpr double pi = std::numbers::pi;

struct Recording {
    int channels = 1;
    bool flac = false, impulses = false, hum = false;
    double trueRate = rate;  // the clock the samples were taken with; the header says rate
};

// Noise 0.02 rms per channel, the message at 0.001 from a bearing of 30 degrees
// (cos, sin on two loops), noise bursts of 0.9 decaying in 1 ms at 40 per
// second, and 61 mains harmonics (26 dB above the noise in 1 Hz, phases at
// random) whose fundamental drifts from 49.99 to 50.02 Hz.
void writeRecording(const std::string& path, const Recording& r) {
    const auto code = receiver::parseMessageCode("171,133");
    const std::vector<std::uint8_t> text = {'H', 'i'};
    const auto bits = receiver::encodeMessage(*code, text);
    std::mt19937_64 rng(7);
    std::normal_distribution<double> gauss(0, 1);
    std::uniform_real_distribution<double> uniform(0, 1);
    const auto frames = static_cast<std::size_t>(seconds * r.trueRate);
    std::vector<float> audio(frames * std::size_t(r.channels));
    const double gains[2][2] = {{std::cos(pi / 6), std::sin(pi / 6)}, {0.6, 0.8}};  // signal, bursts
    double burst = 0, mainsPhase = 0;
    std::vector<double> phases(151);
    for (auto& p : phases) p = 2 * pi * uniform(rng);
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = double(n) / r.trueRate, k = std::floor((t - txStart) / period);
        const double symbol = k >= 0 && k < double(bits.size()) ? (bits[std::size_t(k)] ? -1 : 1) : 0;
        const double signal = 0.001 * symbol * std::cos(2 * pi * carrier * t);
        if (r.impulses && uniform(rng) < 40 / r.trueRate) burst = 0.9;
        burst *= std::exp(-1 / (0.001 * r.trueRate));
        mainsPhase += 2 * pi * (49.99 + 0.03 * t / seconds) / r.trueRate;
        double hum = 0;
        for (int h = 90; r.hum && h <= 150; ++h)
            hum += 0.005 * std::cos(h * mainsPhase + phases[std::size_t(h)]);
        const double impulse = burst * (2 * uniform(rng) - 1);
        for (int c = 0; c < r.channels; ++c)
            audio[n * std::size_t(r.channels) + std::size_t(c)] = static_cast<float>(std::clamp(
                gains[0][c] * signal + gains[1][c] * impulse + hum + 0.02 * gauss(rng), -1.0, 1.0));
    }
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = r.channels;
    info.format = (r.flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, audio.data(), sf_count_t(frames));
    sf_close(file);
}

// The receiver's command line for every row, kept in one place.
std::vector<std::string> receiverArgs() {
    return {"-f", "rec.wav", "-T", "1", "-F", "5",       "-S", "0.1",
            "-N", "2",       "-c", "1", "-p", "171,133", "-L", "4096"};
}

struct EndToEnd {
    const char* name;
    Recording recording;
    std::vector<std::string> options;  // of the import
    std::vector<std::string> without;  // the same import without which the message is lost
};

void PrintTo(const EndToEnd& c, std::ostream* os) { *os << c.name; }

class AudioDecode : public ::testing::TestWithParam<EndToEnd> {
protected:
    testsupport::ScratchFolder folder_{"orvane-import-audio"};
    testsupport::RunOptions here_ = [this] {
        testsupport::RunOptions o;
        o.folder = folder_.path();
        o.mergeErr = true;
        return o;
    }();
    testsupport::ProgramRun importAndReceive(const std::string& input, std::vector<std::string> options) {
        std::vector<std::string> args = {
            "--audio", input, "rec.wav", "--centre", "6000", "--start", "2026-12-07 10:00:00"};
        args.insert(args.end(), options.begin(), options.end());
        const auto imported = testsupport::runProgram(IMPORT_PATH, args, here_);
        EXPECT_EQ(imported.exitCode, 0) << imported.out;
        return testsupport::runProgram(RECEIVER_PATH, receiverArgs(), here_);
    }
};

TEST_P(AudioDecode, MessageComesThroughAndIsLostWithoutTheCleaning) {
    const auto& c = GetParam();
    const std::string input = folder_.file(c.recording.flac ? "in.flac" : "in.wav");
    writeRecording(input, c.recording);
    const auto rx = importAndReceive(input, c.options);
    EXPECT_EQ(rx.exitCode, 0) << rx.out;
    EXPECT_NE(rx.out.find("message: Hi\n"), std::string::npos) << rx.out;
    if (c.without.empty()) return;
    const auto lost = importAndReceive(input, c.without);
    EXPECT_EQ(lost.exitCode, 1) << lost.out;
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, AudioDecode,
    ::testing::Values(EndToEnd{"MonoWav", {}, {}, {}},
                      EndToEnd{"MonoFlacImpulses", {1, true, true}, {}, {"--blank", "off"}},
                      EndToEnd{"MonoWavHum", {1, false, false, true}, {"--hum", "50"}, {"--hum", "off"}},
                      EndToEnd{"StereoFlacBoth",
                               {2, true, true, true},
                               {"--mix", "0.866,0.5", "--hum", "50"},
                               {"--mix", "0.866,0.5", "--hum", "off", "--blank", "off"}},
                      EndToEnd{"StereoWavExactRate",
                               {2, false, false, false, 24002.4},
                               {"--channel", "1", "--rate", "24002.4"},
                               {"--channel", "1"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orv::importer
