// Sound-card recordings made here (a coded message on a carrier, with noise,
// lightning-like bursts and drifting mains hum), imported with --audio and
// decoded by orvane-rx; the mix weights; the refusals.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "decoder/messagecode.h"
#include "importer/bandmixer.h"
#include "importer/humremover.h"
#include "importer/importer.h"
#include "receiver/wavefile.h"
#include "support/programrunner.h"
#include "support/scratchfolder.h"
#include "support/wavbytes.h"

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
    const auto code = decoder::parseMessageCode("171,133");
    const std::vector<std::uint8_t> text = {'H', 'i'};
    const auto bits = decoder::encodeMessage(*code, text);
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
// The receiver's own blanker is off: what is measured is the import's cleaning.
std::vector<std::string> receiverArgs() {
    return {"-f", "rec.wav", "-T", "1",  "-F",      "5",  "-S",   "0.1",     "-N",
            "2",  "-c",      "1",  "-p", "171,133", "-L", "4096", "--blank", "off"};
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

// The vector paths of the band mixer and the hum remover give the plain loops' bits.
TEST(VectorPaths, GiveThePlainBits) {
    std::mt19937_64 rng(3);
    std::vector<float> audio(50000);
    for (std::size_t n = 0; n < audio.size(); ++n) {
        audio[n] = static_cast<float>(std::uniform_real_distribution<double>(-0.1, 0.1)(rng));
        for (int h = 190; h <= 210; ++h)
            audio[n] += static_cast<float>(0.05 * std::cos(2 * pi * 50 * h * n / 48000.0));
    }
    Band plain, vector;
    BandMixer a(48000, 10000, 3000, 4, VectorPath::Plain), b(48000, 10000, 3000, 4, bestBandPath());
    a.push(audio.data(), audio.size(), 1, plain);
    b.push(audio.data(), audio.size(), 1, vector);
    HumRemover c(12000, 10000, 3000, 50, VectorPath::Plain), d(12000, 10000, 3000, 50, bestBandPath());
    c.process(plain);
    d.process(vector);
    EXPECT_TRUE(c.found());
    ASSERT_EQ(plain.size(), vector.size());
    EXPECT_EQ(std::memcmp(plain.data(), vector.data(), plain.size() * sizeof plain[0]), 0)
        << vectorPathName(bestBandPath());
}

// A tone 5 Hz above the centre, 0.3 on channel 1 and 0.2 leading by 90 degrees
// on channel 2 (float samples, any channel count), through the library.
void writeTone(const std::string& path, int channels, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT,
               float bad = 0) {
    std::vector<float> audio(std::size_t(24000 * channels));
    for (std::size_t n = 0; n < 24000; ++n)
        for (int c = 0; c < channels; ++c)
            audio[n * std::size_t(channels) + std::size_t(c)] = static_cast<float>(
                (c ? 0.2 : 0.3) * std::cos(2 * pi * (centre + 5) * double(n) / rate + c * pi / 2));
    audio[100] += bad;
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, audio.data(), 24000);
    sf_close(file);
}

class AudioLibrary : public ::testing::Test {
protected:
    Outcome<std::string> import(std::vector<std::string> args) {
        args.insert(args.begin(),
                    {"--audio", "--centre", "6000", "--start", "2026-12-07 10:00:00", "--quiet"});
        const auto options = parseImportOptions(args);
        if (!options) return options.failure();
        return importRecording(*options, nullptr);
    }
    testsupport::ScratchFolder folder_{"orvane-import-audio"};
    testsupport::EnteredFolder entered_{folder_.path()};
};

// The output's magnitude is that of the weighted sum, phases turning channels
// as they turn the waveform (channel 2 leads by 90 degrees, -90 brings it in line).
struct Mix {
    const char* name;
    std::vector<std::string> options;
    double magnitude;
};

class MixGains : public AudioLibrary, public ::testing::WithParamInterface<Mix> {};

TEST_P(MixGains, OutputMagnitudeIsTheWeightedSum) {
    writeTone("tone.wav", 2);
    std::vector<std::string> args = {"tone.wav", "out.wav", "--blank", "off"};
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    const auto done = import(args);
    ASSERT_TRUE(done) << done.error();
    const auto wave = receiver::readWave("out.wav");
    ASSERT_TRUE(wave) << wave.error();
    ASSERT_EQ(wave->samples.size(), 200u);
    for (std::size_t i = 20; i < 180; i += 40)
        EXPECT_NEAR(std::abs(wave->samples[i]), GetParam().magnitude, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Weights, MixGains,
                         ::testing::Values(Mix{"ChannelTwo", {"--channel", "2"}, 0.2},
                                           Mix{"FirstOnly", {"--mix", "1,0"}, 0.3},
                                           Mix{"InLine", {"--mix", "1,1/-90"}, 0.5},
                                           Mix{"Against", {"--mix", "1,2/90"}, 0.1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every refusal: one line naming the trouble, exit 20, no file left.
struct Refusal {
    const char* name;
    std::vector<std::string> args;  // in.wav: the tone on 2 channels; the others as named
    const char* message;
    int exitCode = exitBadInput;
};

class AudioRefusals : public AudioLibrary, public ::testing::WithParamInterface<Refusal> {};

TEST_P(AudioRefusals, OneLineAndNoFile) {
    writeTone("in.wav", 2);
    writeTone("nan.wav", 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, NAN);
    writeTone("nine.wav", 9);
    folder_.write("text.wav", "RIFF");
    folder_.write("tool.wav", testsupport::wavBytes({}, std::string(16, '\0')));
    folder_.write("rec.sigmf-meta", "{}");
    const auto done = import(GetParam().args);
    ASSERT_FALSE(done);
    EXPECT_EQ(done.exitCode(), GetParam().exitCode);
    EXPECT_NE(done.error().find(GetParam().message), std::string::npos) << done.error();
    EXPECT_EQ(done.error().find('\n'), std::string::npos);
    for (const auto& e : std::filesystem::directory_iterator(folder_.path()))
        EXPECT_EQ(e.path().filename().string().find("out.wav"), std::string::npos) << e.path();
}

INSTANTIATE_TEST_SUITE_P(
    EachTrouble, AudioRefusals,
    ::testing::Values(
        Refusal{"NoChoice",
                {"in.wav", "out.wav"},
                "has 2 channels: take one with --channel N or combine them with --mix"},
        Refusal{
            "ChannelBeyond", {"in.wav", "out.wav", "--channel", "3"}, "--channel 3: in.wav has 2 channels"},
        Refusal{"MixCount", {"in.wav", "out.wav", "--mix", "1"}, "--mix gives 1 gains"},
        Refusal{"MixText", {"in.wav", "out.wav", "--mix", "1,x"}, "--mix needs gains"},
        Refusal{"AllZero", {"in.wav", "out.wav", "--mix", "0,0"}, "gain of 0"},
        Refusal{"Nyquist",
                {"in.wav", "out.wav", "--channel", "1", "--rate", "10000"},
                "--centre 6000 Hz lies outside"},
        Refusal{"NotFinite",
                {"nan.wav", "out.wav"},
                "sample 100 of channel 1 is not a finite number",
                exitNotFinite},
        Refusal{"OutputIsInput", {"in.wav", "./in.wav", "--channel", "1"}, "is the input in.wav itself"},
        Refusal{"NineChannels", {"nine.wav", "out.wav"}, "at most 8"},
        Refusal{"NotSound", {"text.wav", "out.wav"}, "not a recording libsndfile can read"},
        Refusal{"ToolSet",
                {"tool.wav", "out.wav"},
                "is a tool-set WAV (I/Q, with an \"inf1\" text): import it without --audio"},
        Refusal{"Sigmf",
                {"rec.sigmf-meta", "out.wav"},
                "I/Q recording by its SigMF metadata: import it without --audio"},
        Refusal{"BandTooWide", {"in.wav", "out.wav", "--channel", "1", "--band", "4000"}, "at most 3529 Hz"},
        Refusal{"Hum", {"in.wav", "out.wav", "--hum", "55"}, "--hum takes 50, 60 or off"},
        Refusal{"Blank", {"in.wav", "out.wav", "--blank", "0.5"}, "--blank takes auto, off or a threshold"},
        Refusal{"Missing", {"none.wav", "out.wav"}, "none.wav: file not found", errFileNotFound}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orv::importer
