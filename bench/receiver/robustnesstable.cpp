// The receiver against what recordings of the VLF and LF bands hold, at the
// sample level: a K = 15 rate 1/6 message of 8 bytes in 0.25 s symbols at
// 250 samples/s and 1.2 dB Eb/N0 per payload bit, with lightning impulses, a
// start or carrier off, or a wandering phase, blanked, integrated and decoded
// by the receiver's own code with its default options (the launcher's seven).
// Prints the share of messages decoded per condition, and noise alone.
#include "bench/receiver/robustnesstable.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "decoder/messagecode.h"
#include "receiver/blanker.h"
#include "receiver/rxoptions.h"
#include "receiver/timesearch.h"

namespace {

using namespace orv::receiver;
namespace decoder = orv::decoder;

constexpr double pi = std::numbers::pi;
constexpr double rate = 250;
constexpr double period = 0.25;
constexpr double ebN0Db = 1.2;
constexpr const char* polynomial = "42631,47245,56507,73363,77267,64537";
constexpr std::int64_t bytes = 8;
constexpr double lead = 2;  // seconds of recording before and after the transmission

struct Condition {
    const char* name;
    const char* today;
    const char* target;
    double impulsePower = 0;   // impulses' power over the Gaussian background's
    double background = 1;     // the background's share of the 1.2 dB noise power
    double startError = 0;     // symbols; -T minus the true start
    double carrierCycles = 0;  // carrier offset over the message
    double searchCycles = 0;   // --search-freq in cycles over the message; 0: the default
    double walkDegrees = 0;    // the phase walk's spread at the message's end
    bool signal = true;
};

const std::vector<Condition> conditions = {
    {"Gaussian noise only", "94 %", ">= 93 %"},
    {"impulses, 90 % of the noise power", "22 %", ">= 97 %", 9, 0.1},
    {"impulses 10 dB above the background", "0 %", ">= 50 %", 10},
    {"impulses 30 dB above the background", "0 %", ">= 70 %", 1000},
    {"-T late by 0.25 symbol", "7 %", ">= 90 %", 0, 1, 0.25},
    {"-T early by 0.25 symbol", "", ">= 90 %", 0, 1, -0.25},
    {"-T late by 0.5 symbol", "0 %", ">= 90 %", 0, 1, 0.5},
    {"-T early by 0.5 symbol", "", ">= 90 %", 0, 1, -0.5},
    {"carrier 1.0 cycle off", "80 %", ">= 90 %", 0, 1, 0, 1},
    {"carrier 2.5 cycles off", "0 %", ">= 90 %", 0, 1, 0, 2.5},
    {"carrier 8 cycles off, --search-freq for 10", "0 %", ">= 85 %", 0, 1, 0, 8, 10},
    {"phase random walk 45 degrees RMS", "85 %", ">= 90 %", 0, 1, 0, 0, 0, 45},
    {"phase random walk 90 degrees RMS", "48 %", ">= 65 %", 0, 1, 0, 0, 0, 90},
};

double uniform(std::mt19937_64& rng) { return double(rng() >> 11) * 0x1p-53; }

// Bursts of a few samples at random times, tens a second, heavy-tailed
// (log-normal) amplitudes; rate, burst length and spread differ from trial to
// trial. Scaled to the given total power.
void addImpulses(std::vector<std::complex<double>>& x, double power, std::mt19937_64& rng) {
    std::normal_distribution<double> gauss(0, 1);
    const double perSecond = 10 + 30 * uniform(rng);
    const int longest = 1 + int(rng() % 3);
    const double spread = 0.5 + uniform(rng);
    std::vector<std::complex<double>> impulses(x.size());
    const auto count = std::size_t(perSecond * double(x.size()) / rate);
    for (std::size_t b = 0; b < count; ++b) {
        const auto at = std::size_t(uniform(rng) * double(x.size()));
        const int length = 1 + int(rng() % std::uint64_t(longest));
        const double size = std::exp(spread * gauss(rng));
        for (int j = 0; j < length && at + std::size_t(j) < x.size(); ++j)
            impulses[at + std::size_t(j)] +=
                std::polar(size * std::exp(-double(j) / length), 2 * pi * uniform(rng));
    }
    double energy = 0;
    for (const auto& v : impulses) energy += std::norm(v);
    const double scale = energy > 0 ? std::sqrt(power * double(x.size()) / energy) : 0;
    for (std::size_t n = 0; n < x.size(); ++n) x[n] += scale * impulses[n];
}

struct Trial {
    double blanked = 0;  // share of the samples
    bool decoded = false;
    bool falseMessage = false;
    double seconds = 0;
};

Trial runTrial(const decoder::MessageCode& code, const Condition& c, std::uint64_t seed, unsigned cores) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> gauss(0, 1);
    std::vector<std::uint8_t> message(bytes);
    for (auto& b : message) b = std::uint8_t(rng());
    const auto coded = decoder::encodeMessage(code, message);
    const double symbols = double(coded.size());
    const double samplesPerSymbol = period * rate;
    const double esN0 = std::pow(10.0, ebN0Db / 10) * 8 * double(bytes) / symbols;
    const double sigma = std::sqrt(samplesPerSymbol / (2 * esN0));  // per component, all the noise
    const double background = sigma * std::sqrt(c.background);
    const double start = lead + uniform(rng) / rate;  // not on a sample
    const double phase = 2 * pi * uniform(rng);
    const double hz = c.carrierCycles / (symbols * period);
    std::normal_distribution<double> step(0,
                                          c.walkDegrees * pi / 180 / std::sqrt(symbols * samplesPerSymbol));
    std::vector<std::complex<double>> x(std::size_t((2 * lead + symbols * period) * rate));
    double walk = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double t = double(n) / rate - start;
        if (c.signal && t >= 0 && t < symbols * period) {
            walk += step(rng);
            const double d = coded[std::size_t(t / period)] ? -1 : 1;
            x[n] = std::polar(d, phase + 2 * pi * hz * t + walk);
        }
        x[n] += background * std::complex<double>(gauss(rng), gauss(rng));
    }
    if (c.impulsePower > 0) addImpulses(x, c.impulsePower * 2 * background * background, rng);

    WaveRecording wave;  // as the converter leaves it: conjugated
    wave.sampleRate = rate;
    for (const auto& v : x) wave.samples.emplace_back(float(v.real()), float(-v.imag()));
    std::vector<std::string> args = {"-f", "bench.wav",
                                     "-T", std::to_string(start + c.startError * period),
                                     "-F", "0",
                                     "-S", std::to_string(period),
                                     "-N", std::to_string(bytes),
                                     "-c", std::to_string(cores),
                                     "-p", polynomial};
    if (c.searchCycles > 0) {
        args.push_back("--search-freq");
        args.push_back(std::to_string(c.searchCycles / (symbols * period)));
    }
    const auto options = parseRxOptions(args);
    const auto blanked = impulseMask(wave.samples, options->blankThreshold);
    const auto decode = decodeRecording(wave, blanked, options.value());
    Trial out;
    out.blanked = double(std::count(blanked.begin(), blanked.end(), 1)) / double(blanked.size());
    out.decoded = decode.result.found && decode.result.message == message;
    out.falseMessage = decode.result.found && !c.signal;
    out.seconds = decode.result.seconds;
    return out;
}

}  // namespace

int runRobustnessTable(int trials, int noiseTrials, const std::string& csvPath, unsigned cores,
                       const std::string& rows) {
    const decoder::MessageCode code = *decoder::parseMessageCode(polynomial);
    std::FILE* csv = std::fopen(csvPath.c_str(), "w");
    if (csv) std::fprintf(csv, "condition,today,target,trials,decoded\n");
    std::printf(
        "K = 15 rate 1/6, N = 8, S = 0.25 s, 250 samples/s, %.1f dB Eb/N0 per payload bit, %d trials a "
        "condition, the receiver's defaults\n\n",
        ebN0Db, trials);
    std::printf(
        "| condition | today | target | decoded | trials | samples blanked | median s | slowest s |\n"
        "|---|---|---|---|---|---|---|---|\n");
    std::uint64_t row = 0;
    for (const Condition& c : conditions) {
        ++row;
        if (!rows.empty() && rows.find(char('a' + row - 1)) == std::string::npos) continue;
        int decoded = 0;
        double blanked = 0;
        std::vector<double> seconds;
        for (int t = 0; t < trials; ++t) {
            const Trial r = runTrial(code, c, row * 100000 + std::uint64_t(t), cores);
            decoded += r.decoded;
            blanked += r.blanked / trials;
            seconds.push_back(r.seconds);
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("| %s | %s | %s | %.0f %% | %d | %.1f %% | %.2f | %.2f |\n", c.name, c.today, c.target,
                    100.0 * decoded / trials, trials, 100 * blanked, seconds[seconds.size() / 2],
                    seconds.back());
        std::fflush(stdout);
        if (csv)
            std::fprintf(csv, "\"%s\",\"%s\",\"%s\",%d,%d\n", c.name, c.today, c.target, trials, decoded);
    }
    Condition noise{"noise only", "", "no false message"};
    noise.signal = false;
    int falseMessages = 0;
    std::vector<double> seconds;
    for (int t = 0; t < noiseTrials; ++t) {
        const auto started = std::chrono::steady_clock::now();
        const Trial r = runTrial(code, noise, 900000 + std::uint64_t(t), cores);
        falseMessages += r.falseMessage;
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    if (!seconds.empty()) {
        std::sort(seconds.begin(), seconds.end());
        std::printf(
            "\nnoise only: %d false messages in %d decodes, median %.2f s, slowest %.2f s (wall, "
            "integration included)\n",
            falseMessages, noiseTrials, seconds[seconds.size() / 2], seconds.back());
    }
    if (csv) std::fclose(csv);
    return 0;
}
