// orvane-rx as a whole: a coded message in a recording, decoded to
// "message.txt" and reported; no message, bad codes and bad recordings.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <regex>

#include "decoder/messagecode.h"
#include "receiver/messageoutput.h"
#include "receiver/receiver.h"
#include "rxtestsupport.h"
#include "support/programrunner.h"

extern char** environ;

namespace orv::receiver {
namespace {

constexpr double rate = 250, start = 1, carrier = 10, period = 0.2;  // 50 samples a symbol

struct Transmission {
    std::string code = "171,133";
    std::string text = "Hi!";
    double phase = 2.1;       // radians
    double sampleSnrDb = -5;  // 12 dB per symbol
    bool signal = true;
    std::uint64_t seed = 7;
    double cycles = 0;       // carrier offset over the message
    double walkDegrees = 0;  // spread of a random walk of the phase at the message's end
    double impulseDb = 0;    // lightning this far above the noise, 30 bursts a second; 0: none
};

double uniform(std::mt19937_64& rng) { return double(rng() >> 11) * 0x1p-53; }

// What the converter leaves of the transmission: conjugated, F Hz above centre.
std::vector<std::complex<float>> recording(const Transmission& t) {
    const auto code = decoder::parseMessageCode(t.code);
    const std::vector<std::uint8_t> bytes(t.text.begin(), t.text.end());
    const auto bits = decoder::encodeMessage(*code, bytes);
    const auto symbolSamples = std::size_t(period * rate);
    const auto first = std::size_t(start * rate);
    std::vector<std::complex<float>> samples(first + bits.size() * symbolSamples + 100);
    std::mt19937_64 rng(t.seed);
    const double sigma = std::sqrt(std::pow(10.0, -t.sampleSnrDb / 10) / 2);
    const double length = double(bits.size() * symbolSamples);
    std::normal_distribution<double> step(0, t.walkDegrees * std::numbers::pi / 180 / std::sqrt(length));
    double walk = 0;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        std::complex<double> s = 0;
        if (t.signal && n >= first && (n - first) / symbolSamples < bits.size()) {
            const double d = bits[(n - first) / symbolSamples] ? -1 : 1;
            walk += step(rng);
            s = std::polar(d, -t.phase - walk -
                                  2 * std::numbers::pi *
                                      (carrier * double(n) + t.cycles * double(n - first) / length * rate) /
                                      rate);
        }
        const double radius = sigma * std::sqrt(-2 * std::log(1 - uniform(rng)));
        s += std::polar(radius, 2 * std::numbers::pi * uniform(rng));
        if (t.impulseDb > 0 && uniform(rng) < 30 / rate)
            s +=
                std::polar(sigma * std::pow(10.0, t.impulseDb / 20) * (0.5 + uniform(rng)), 7 * uniform(rng));
        samples[n] = {float(s.real()), float(s.imag())};
    }
    return samples;
}

std::vector<std::string> rxArgs(const std::string& code, std::size_t bytes, const std::string& cores = "2") {
    return {"-f", "rec.wav", "-T", "1",  "-F", "10",  "-S", "0.2", "-N", std::to_string(bytes),
            "-c", cores,     "-p", code, "-L", "4096"};
}

std::size_t recordCount() {
    const std::string file = readFile("rawsyms.txt");
    return std::size_t(std::count(file.begin(), file.end(), '\n'));
}

// The run as the program ends it: exit code, standard output, standard error.
struct Run {
    int exitCode;
    std::string output, error;
};
Run run(const std::vector<std::string>& args) {
    const auto r = runReceiver(args);
    if (!r) return {r.exitCode(), {}, r.error() + "\n"};
    return {r->exitCode, r->output, r->warning.empty() ? "" : r->warning + "\n"};
}

// Everything but the decode time, which differs from run to run.
std::string withoutTime(const std::string& output) { return output.substr(0, output.rfind(", decode time")); }

struct Decodable {
    const char* name;
    Transmission sent;
};

class DecodesMessage : public ScratchFolder, public ::testing::WithParamInterface<Decodable> {};

TEST_P(DecodesMessage, PrintsItAndWritesExactlyItsBytes) {
    const auto& t = GetParam().sent;
    writeWav("rec.wav", recording(t));
    writeFile("message.txt", "stale message from an earlier run");
    const auto r = run(rxArgs(t.code, t.text.size()));
    ASSERT_EQ(r.exitCode, 0) << r.output << r.error;
    EXPECT_NE(
        r.output.find("\nmessage: " + printableMessage({(const std::uint8_t*)t.text.data(), t.text.size()}) +
                      "\nEb/N0 "),
        std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("list rank "), std::string::npos) << r.output;
    EXPECT_EQ(readFile("message.txt"), t.text);
    const auto code = decoder::parseMessageCode(t.code);
    EXPECT_EQ(recordCount(), std::size_t(decoder::codedSymbolCount(*code, std::int64_t(t.text.size()))));
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, DecodesMessage,
    ::testing::Values(Decodable{"Uncoded", {"1", "OK", 0.3}}, Decodable{"K3", {"7,5", "Orvane", 4.0}},
                      Decodable{"K7UpsideDown", {"171,133", "Hi!", std::numbers::pi}},
                      Decodable{"K7BytesOutsideAscii", {"171,133", std::string("\x01\\\xff", 3), 5.5}},
                      Decodable{"Rate1Of3", {"0x5b,0x65,0x7f", "Decoded", 1.0, -8}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScratchFolder, SameMessageAndFiguresForEveryCoreCount) {
    const Transmission t{"171,133", "cores", 0.7, -9};
    writeWav("rec.wav", recording(t));
    const auto first = run(rxArgs(t.code, t.text.size(), "1"));
    ASSERT_EQ(first.exitCode, 0) << first.output;
    for (const char* cores : {"0", "2", "3", "64", "99999999999"}) {
        const auto r = run(rxArgs(t.code, t.text.size(), cores));
        EXPECT_EQ(r.exitCode, 0) << cores;
        EXPECT_EQ(withoutTime(r.output), withoutTime(first.output)) << cores;
        EXPECT_EQ(readFile("message.txt"), t.text) << cores;
    }
}

struct LoggedDecode {
    const char* name;
    Transmission sent;
    bool logWritable;
    int exitCode;
    bool plantedLink = false;  // decodes.txt a link to another file, which must stay as it was
};

class DecodeLog : public ScratchFolder, public ::testing::WithParamInterface<LoggedDecode> {};

// One line per attempt after the earlier ones: the options, then the result and
// figures lines exactly as printed. A log that cannot be written changes nothing else.
TEST_P(DecodeLog, AppendsTheAttemptAsPrinted) {
    const auto& c = GetParam();
    writeWav("rec.wav", recording(c.sent));
    if (c.logWritable) {
        writeFile("decodes.txt", "earlier line\r\n");
    } else if (c.plantedLink) {
        writeFile("victim", "victim");
        std::filesystem::create_symlink("victim", "decodes.txt");
    } else {
        std::filesystem::create_directory("decodes.txt");
    }
    const auto r = run(rxArgs(c.sent.code, c.sent.text.size()));
    EXPECT_EQ(r.exitCode, c.exitCode) << r.error;
    EXPECT_EQ(readFile("message.txt"), c.exitCode == 0 ? c.sent.text : "");
    if (!c.logWritable) {
        EXPECT_EQ(r.error.rfind("cannot append to decodes.txt: ", 0), 0u) << r.error;
        if (c.plantedLink) {
            EXPECT_EQ(readFile("victim"), "victim");
        }
        return;
    }
    EXPECT_EQ(r.error, "");
    const auto figures = r.output.rfind('\n', r.output.size() - 2);
    const auto result = r.output.rfind('\n', figures - 1);
    std::string printed = r.output.substr(result + 1, r.output.size() - result - 2);
    printed[figures - result - 1] = '\t';
    const std::string log = readFile("decodes.txt");
    EXPECT_TRUE(std::regex_match(log.substr(14, 24),
                                 std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\t")))
        << log;
    EXPECT_EQ(log.substr(0, 14) + log.substr(38), "earlier line\r\nrec.wav\t-T 1\t-F 10\t-S 0.2\t-N " +
                                                      std::to_string(c.sent.text.size()) + "\t-p " +
                                                      c.sent.code + "\t" + printed + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Receiver, DecodeLog,
                         ::testing::Values(LoggedDecode{"Decoded", {"171,133", "Hi!"}, true, 0},
                                           LoggedDecode{
                                               "NoMessage", {"171,133", "none", 1, -5, false}, true, 1},
                                           LoggedDecode{"LogNotWritable", {"7,5", "ok"}, false, 0},
                                           LoggedDecode{"PlantedLink", {"7,5", "ok"}, false, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScratchFolder, SymbolsWithoutCodeLeaveNoEarlierMessage) {
    writeWav("rec.wav", recording({"7,5", "ok"}));
    writeFile("message.txt", "ok");
    EXPECT_EQ(run(rxArgs("0", 20)).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists("message.txt"));
}

struct Undecodable {
    const char* name;
    Transmission sent;
    const char* code;  // the receiver's -p
};

class NoMessage : public ScratchFolder, public ::testing::WithParamInterface<Undecodable> {};

TEST_P(NoMessage, ExitsOneAndLeavesNoMessageFile) {
    const auto& c = GetParam();
    writeWav("rec.wav", recording(c.sent));
    writeFile("message.txt", c.sent.text);  // a stale message that would look right
    const auto r = run(rxArgs(c.code, c.sent.text.size()));
    EXPECT_EQ(r.exitCode, 1) << r.output << r.error;
    EXPECT_NE(r.output.find("\nno message"), std::string::npos) << r.output;
    // the whole search, every start, carrier and polarity, under the one bound
    EXPECT_NE(r.output.find("Eb/N0 unknown (no message), 0.00 % of samples blanked, list rank none of 4096 "),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(std::filesystem::exists("message.txt"));
    EXPECT_EQ(recordCount(), std::size_t(decoder::codedSymbolCount(*decoder::parseMessageCode(c.code), 4)));
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, NoMessage,
    ::testing::Values(Undecodable{"NoiseOnly", {"171,133", "none", 1, -5, false}, "171,133"},
                      Undecodable{"WrongPolynomial", {"171,133", "swap"}, "133,171"},
                      Undecodable{"WrongConstraintLength", {"171,133", "long"}, "7,5"}),
    [](const auto& info) { return std::string(info.param.name); });

// What recordings hold: each decoded with the defaults (a wider carrier search
// where it lies beyond them), the correction shown; lost without the remedy
// where that is certain (at this SNR the phase follower alone takes up a
// carrier that is a few cycles off, or a start half a symbol off).
struct Impaired {
    const char* name;
    Transmission sent;
    double lateSymbols;                // -T after the true start
    std::vector<std::string> options;  // added to the run
    std::vector<std::string> losing;   // a run with these instead loses the message; empty: none
    const char* figure;                // in the figures line
};

class Impairments : public ScratchFolder, public ::testing::WithParamInterface<Impaired> {};

TEST_P(Impairments, DecodedByDefaultLostWithoutTheirRemedy) {
    const auto& c = GetParam();
    writeWav("rec.wav", recording(c.sent));
    auto args = rxArgs(c.sent.code, c.sent.text.size());
    args[3] = std::to_string(start + c.lateSymbols * period);
    auto losing = args;
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto r = run(args);
    ASSERT_EQ(r.exitCode, 0) << r.output << r.error;
    EXPECT_EQ(readFile("message.txt"), c.sent.text);
    EXPECT_NE(r.output.find(c.figure), std::string::npos) << r.output;
    if (c.losing.empty()) return;
    losing.insert(losing.end(), c.losing.begin(), c.losing.end());
    EXPECT_EQ(run(losing).exitCode, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, Impairments,
    ::testing::Values(
        Impaired{"LightningFarAboveTheNoise",
                 {.impulseDb = 30},
                 0,
                 {},
                 {"--blank", "off"},
                 "11.13 % of samples blanked"},
        Impaired{"StartHalfASymbolLate", {}, 0.5, {}, {}, "start correction -0.1 s"},
        Impaired{"StartAQuarterSymbolEarly", {}, -0.25, {}, {}, "start correction 0.05 s"},
        Impaired{"CarrierTwoAndAHalfCyclesOff", {.cycles = 2.5}, 0, {}, {}, "frequency correction 0.101 Hz"},
        Impaired{"StartAndCarrierBothOff", {.cycles = 2.5}, 0.25, {}, {}, "start correction -0.05 s"},
        Impaired{"CarrierEightCyclesOffWiderSearch",
                 {.cycles = 8},
                 0,
                 {"--search-freq", "0.4"},
                 {},
                 "frequency correction 0.323 Hz"},
        Impaired{"PhaseWanderingHalfATurn", {.walkDegrees = 180}, 0, {}, {}, "(wandering, followed)"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCode {
    const char* name;
    const char* code;
};

class BadCodes : public ScratchFolder, public ::testing::WithParamInterface<BadCode> {};

// The recording does not even exist: a code checked after reading it would give 2.
TEST_P(BadCodes, ExitBadInputBeforeAnythingIsReadOrWritten) {
    writeFile("rawsyms.txt", "earlier symbols\r\n");
    writeFile("message.txt", "earlier message");
    auto args = rxArgs(GetParam().code, 4);
    const auto r = run(args);
    EXPECT_EQ(r.exitCode, 20) << r.error;
    EXPECT_EQ(std::count(r.error.begin(), r.error.end(), '\n'), 1) << r.error;
    EXPECT_NE(r.error.find("-p"), std::string::npos) << r.error;
    EXPECT_EQ(readFile("rawsyms.txt"), "earlier symbols\r\n");
    EXPECT_EQ(readFile("message.txt"), "earlier message");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, BadCodes,
    ::testing::Values(BadCode{"Empty", ""}, BadCode{"Blank", "  "}, BadCode{"NotOctal", "171,139"},
                      BadCode{"NotHex", "0x7g"}, BadCode{"HexPrefixAlone", "0x"},
                      BadCode{"ZeroGenerator", "171,0"}, BadCode{"EmptyGenerator", "171,,133"},
                      BadCode{"TrailingComma", "171,"}, BadCode{"Signed", "-7"},
                      BadCode{"NineGenerators", "1,1,1,1,1,1,1,1,1"}, BadCode{"ConstraintLength16", "100000"},
                      BadCode{"HexConstraintLength16", "0x8000"}, BadCode{"Decimal", "x^2+1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageLine, ShowsEveryByteUnambiguously) {
    struct Case {
        std::string bytes, line;
    };
    for (const auto& c : {Case{"Hello, Orvane ~", "Hello, Orvane ~"}, Case{"a\\b", "a\\x5Cb"},
                          Case{std::string("\0\t\r\n", 4), "\\x00\\x09\\x0D\\x0A"},
                          Case{"\x7f\x80\xff", "\\x7F\\x80\\xFF"}, Case{"", ""}})
        EXPECT_EQ(printableMessage({(const std::uint8_t*)c.bytes.data(), c.bytes.size()}), c.line) << c.line;
}

struct BadRecording {
    const char* name;
    std::size_t badSample;  // made non-finite when below the recording's length
    float badValue;
    const char* option;  // replaces the value after it: "-F=1e308"
    const char* message;
};

class BadRecordings : public ScratchFolder, public ::testing::WithParamInterface<BadRecording> {};

TEST_P(BadRecordings, ExitBadInputAndKeepTheEarlierSymbols) {
    const auto& c = GetParam();
    auto samples = recording({"171,133", "Hi!"});
    if (c.badSample < samples.size()) samples[c.badSample] = {0.5f, c.badValue};
    writeWav("rec.wav", samples);
    writeFile("rawsyms.txt", "earlier symbols\r\n");
    auto args = rxArgs("171,133", 3);
    if (*c.option) {
        const std::string option = c.option;
        const auto at = std::find(args.begin(), args.end(), option.substr(0, option.find('=')));
        at[1] = option.substr(option.find('=') + 1);
    }
    const auto r = run(args);
    EXPECT_EQ(r.exitCode, 20) << r.output;
    EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    EXPECT_EQ(readFile("rawsyms.txt"), "earlier symbols\r\n");
}

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr std::size_t none = std::size_t(-1);

INSTANTIATE_TEST_SUITE_P(
    Receiver, BadRecordings,
    ::testing::Values(BadRecording{"NanSample", 400, nan, "", "not a finite number"},
                      BadRecording{"InfiniteSample", 251, -inf, "", "not a finite number"},
                      BadRecording{"HugeFrequency", none, 0, "-F=1e308", "half the sample rate"},
                      BadRecording{"FrequencyBeyondHalfRate", none, 0, "-F=-125.001", "half the sample rate"},
                      BadRecording{"PeriodBelowOneSample", none, 0, "-S=0.0039", "shorter than one sample"},
                      BadRecording{"StartBeforeRecording", none, 0, "-T=-0.01", "before the recording"}),
    [](const auto& info) { return std::string(info.param.name); });

// A link planted where the symbol file used to be written first must not be
// followed: the file it points to stays as it was.
TEST_F(ScratchFolder, PlantedLinksBesideTheOutputsAreNotFollowed) {
    const Transmission t{"7,5", "ok"};
    writeWav("rec.wav", recording(t));
    writeFile("victim", "not yours");
    for (const char* name : {"rawsyms.txt.part", "message.txt.part", ".rawsyms.txt.part"})
        std::filesystem::create_symlink("victim", name);
    const auto r = run(rxArgs(t.code, t.text.size()));
    ASSERT_EQ(r.exitCode, 0) << r.output << r.error;
    EXPECT_EQ(readFile("victim"), "not yours");
    EXPECT_FALSE(std::filesystem::is_symlink("rawsyms.txt"));
    EXPECT_FALSE(std::filesystem::is_symlink("message.txt"));
    // The files, "decodes.txt" among them, and no temporary one.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 8);
}

// Starts the program on these arguments, standard output and error to these files.
pid_t startProgram(const std::vector<std::string>& rxArguments, const char* output, const char* errors) {
    std::vector<std::string> args = {RECEIVER_PATH};
    args.insert(args.end(), rxArguments.begin(), rxArguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errors, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    if (posix_spawn(&pid, RECEIVER_PATH, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

TEST_F(ScratchFolder, UnwrittenSummaryIsAnError) {
    writeWav("rec.wav", recording({"7,5", "ok"}));
    const pid_t pid = startProgram(rxArgs("7,5", 2), "/dev/full", "stderr.txt");
    ASSERT_GT(pid, 0);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
    EXPECT_NE(readFile("stderr.txt").find("cannot write to standard output"), std::string::npos);
}

// Out of memory, out of threads, a file that cannot be read: one line and a
// documented exit code, never an abort.
struct Limited {
    const char* name;
    std::vector<std::string> args;   // after -T -F -S -N -c
    rlim_t addressSpace, processes;  // 0: no limit; a process limit runs it as nobody
    int exitCode;
    const char* error;  // the line on standard error
};

class Limits : public ScratchFolder, public ::testing::WithParamInterface<Limited> {};

TEST_P(Limits, OneLineAndAnExitCode) {
    const auto& c = GetParam();
#if defined(__SANITIZE_ADDRESS__)
    if (c.addressSpace || c.processes)
        GTEST_SKIP() << "the address sanitizer needs more address space and threads than the limits leave";
#endif
    std::vector<std::complex<float>> noise(17000);
    std::mt19937_64 rng(3);
    for (auto& v : noise) v = {float(uniform(rng) - 0.5), float(uniform(rng) - 0.5)};
    writeWav("rec.wav", noise);
    std::filesystem::permissions(".", std::filesystem::perms::all);  // for a run as nobody
    auto args = c.args;
    args.insert(args.end(), {"-T", "0.004", "-F", "0", "-S", "0.004", "-N", "256", "-c", "0"});
    testsupport::RunOptions options;
    options.addressSpace = c.addressSpace;
    options.processes = c.processes;
    options.unprivileged = c.processes > 0;
    const auto r = testsupport::runProgram(RECEIVER_PATH, args, options);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_EQ(r.err, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, Limits,
    ::testing::Values(Limited{"ListBeyondMemory",
                              {"-f", "rec.wav", "-p", "42631,47245,56507,73363,77267,64537,51271,61351", "-L",
                               "16777216"},
                              rlim_t(3) << 30,
                              0,
                              4,
                              "orvane-rx: out of memory (a smaller -L, or fewer cores, needs less)\n"},
                      Limited{"NoThreadToBeHad", {"-f", "rec.wav", "-p", "7,5"}, 0, 1, 1, ""},
                      Limited{"ReadError",
                              {"-f", "/proc/self/mem", "-p", "7,5"},
                              0,
                              0,
                              3,
                              "orvane-rx: /proc/self/mem: read error (Input/output error)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A pipe whose reader has gone is no failure: the work completes and says nothing.
TEST_F(ScratchFolder, AReaderThatHasGoneIsNoFailure) {
    writeWav("rec.wav", recording({"7,5", "ok"}));
    testsupport::RunOptions options;
    options.output = testsupport::RunOptions::Output::GoneReader;
    const auto r = testsupport::runProgram(RECEIVER_PATH, rxArgs("7,5", 2), options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile("message.txt"), "ok");
}

// Ended by a signal while it writes a 60 MB symbol file: the earlier file
// stays and no temporary file is left.
TEST_F(ScratchFolder, SignalLeavesNoTemporaryFile) {
    writeWav("rec.wav", std::vector<std::complex<float>>(1'000'001, {1, 0}), {.headerRate = 250});
    writeFile("rawsyms.txt", "earlier symbols\r\n");
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, ".", IN_CREATE), 0);
    const pid_t pid = startProgram(
        {"-f", "rec.wav", "-T", "0", "-F", "0", "-S", "0.004", "-N", "1000000", "-c", "1", "-p", "0"},
        "/dev/null", "/dev/null");
    ASSERT_GT(pid, 0);
    alignas(inotify_event) char events[4096];
    ASSERT_GT(read(watch, events, sizeof events), 0);  // the first file it creates is the temporary one
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(watch);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(readFile("rawsyms.txt"), "earlier symbols\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);
}

TEST(FiguresLine, SaysWhatNoFiniteRatioMeans) {
    decoder::DecodeResult r;
    r.found = true;
    r.listRank = 3;
    r.phaseDegrees = 359.96;
    r.frequencyRefinement = -0.001;  // cycles per symbol of 0.5 s
    r.candidatesChecked = 262144;
    for (const auto& [ebN0, text] :
         {std::pair{4.25, "Eb/N0 4.2 dB, "},
          {std::numeric_limits<double>::infinity(), "Eb/N0 unbounded (no noise), "},
          {std::nan(""), "Eb/N0 unknown (no signal), "}}) {
        r.ebN0Db = ebN0;
        EXPECT_EQ(decodeFigures(r, 0.5, -0.0625, 0.0123),
                  std::string(text) +
                      "carrier phase 360.0 degrees, frequency correction "
                      "-0.002 Hz, start correction -0.0625 s, 1.23 % of "
                      "samples blanked, list rank 3 of 262144 candidates, "
                      "decode time 0.000 s");
    }
    r.found = false;  // no hypothesis won: nothing of one is shown
    EXPECT_EQ(decodeFigures(r, 0.5, -0.0625, 0),
              "Eb/N0 unknown (no message), 0.00 % of samples blanked, list rank none of 262144 candidates, "
              "decode time 0.000 s");
}

}  // namespace
}  // namespace orv::receiver
