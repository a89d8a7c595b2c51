// spec2wav as a user runs it: in a folder of its own, with "sr.txt" and a dump.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "orv/outcome.h"
#include "support/programrunner.h"
#include "support/scratchfolder.h"

namespace orv::converter {
namespace {

namespace fs = std::filesystem;

using Result = testsupport::ProgramRun;

struct Limits {
    rlim_t fileSize = 0;      // > 0: longer files fail to write, as on a full disk
    rlim_t addressSpace = 0;  // > 0: allocations beyond it fail
    bool unprivileged = false;
    bool closedOutput = false;  // standard output closed
    bool goneReader = false;    // standard output a pipe whose reader has gone
};

class Spec2wavRun : public ::testing::Test {
protected:
    void SetUp() override { dir_ = folder_.emplace("spec2wav-test").path(); }
    void TearDown() override { folder_.reset(); }

    void write(const std::string& name, const std::string& bytes) const { folder_->write(name, bytes); }
    std::string read(const std::string& name) const { return folder_->read(name); }
    bool exists(const std::string& name) const { return folder_->exists(name); }

    Result run(const std::vector<std::string>& args = {}, const char* program = SPEC2WAV_PATH,
               Limits limits = {}) const {
        testsupport::RunOptions options;
        options.folder = dir_;
        options.stdinFromNull = false;
        options.fileSize = limits.fileSize;
        options.addressSpace = limits.addressSpace;
        options.unprivileged = limits.unprivileged;
        if (limits.closedOutput) options.output = testsupport::RunOptions::Output::Closed;
        if (limits.goneReader) options.output = testsupport::RunOptions::Output::GoneReader;
        return testsupport::runProgram(program, args, options);
    }

    static std::string report(int error, const char* text, int site) {
        return "\nAborting due to runtime error " + std::to_string(error) + " (" + text + ") at line " +
               std::to_string(site) + " of spec2wav()\n\n";
    }

    // Ends a run by sig while it copies the dump; err is its report, ending its exit code or -signal.
    void signalDuringTheCopy(int sig, int ending, const std::string& err);

    std::optional<testsupport::ScratchFolder> folder_;
    fs::path dir_;
};

const char* const usualRates = "12000,48,524288\r\n137500\r\n";
const char* const usualHeader = "20151109, 123456.75, 0, 0\r\n";

std::string zeroPairs(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += "0,0\r\n";
    return s;
}

float floatAt(const std::string& bytes, std::size_t offset) {
    float v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

std::uint32_t u32At(const std::string& bytes, std::size_t offset) {
    std::uint32_t v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

TEST_F(Spec2wavRun, ExampleRecordingGivesTheConsoleLineAndTheFile) {
    write("sr.txt", usualRates);
    // A tone one bin above the centre: the output turns clockwise once over N samples.
    std::string body = zeroPairs(4096);
    body.replace(5 * 2049, 5, "1,0\r\n");
    write("fftdata.txt", usualHeader + body);
    const Result r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "fftdata.txt 20151109 123456.75 0.0004768372 137500 1.953125\r\n");
    EXPECT_EQ(r.err, "");
    const std::string wav = read("fftdata.wav");
    ASSERT_EQ(wav.size(), 128u + 8 * 4096);
    EXPECT_EQ(wav.substr(72, 56),
              std::string("inf1\x28\0\0\0sr=1.953125 rf=137500 ut=1447071448.17\0\0data\0\x80\0\0", 56));
    EXPECT_EQ(u32At(wav, 24), 2u);
    for (int n : {0, 1, 512, 1024, 3000}) {
        EXPECT_NEAR(floatAt(wav, 128 + 8 * n), std::cos(2 * M_PI * n / 4096), 1e-5) << n;
        EXPECT_NEAR(floatAt(wav, 132 + 8 * n), -std::sin(2 * M_PI * n / 4096), 1e-5) << n;
    }
    EXPECT_EQ(read("fft.dat").size(), 8u * 4096);
}

TEST_F(Spec2wavRun, FftDatHoldsEveryPairAsLittleEndianSingles) {
    write("sr.txt", "1,1,1\r\n0\r\n");
    struct Case {
        const char* body;
        std::string bytes;
    };
    const Case cases[] = {
        {"1.5,-2\r\n", std::string("\0\0\xC0\x3F\0\0\0\xC0", 8)},
        {"1.5,-2\r\n7\r\n", std::string("\0\0\xC0\x3F\0\0\0\xC0\0\0\xE0\x40\0\0\0\0", 16)},  // lone real part
        {"1,2\r\n\r\n", std::string("\0\0\x80\x3F\0\0\0\x40\0\0\0\0\0\0\0\0", 16)},  // empty last line
        {"-1.234567E-03 2.5d0\r\n", std::string("\x32\xD1\xA1\xBA\0\0\x20\x40", 8)},
        {"1.5,-2", std::string("\0\0\xC0\x3F\0\0\0\xC0", 8)},  // no final line end
        {"", ""},
    };
    for (const Case& c : cases) {
        write("fftdata.txt", std::string(usualHeader) + c.body);
        const Result r = run();
        EXPECT_EQ(r.exitCode, 0) << c.body << r.err;
        EXPECT_EQ(read("fft.dat"), c.bytes) << c.body;
    }
}

TEST_F(Spec2wavRun, TransformSizeFollowsThePairCount) {
    write("sr.txt", "16,1,1\r\n0\r\n");  // bin spacing 16 Hz
    struct Case {
        int pairs;
        std::uint32_t frames;
        const char* rate;
    };
    for (Case c : {Case{0, 16, " 256"}, Case{10, 16, " 256"}, Case{31, 16, " 256"}, Case{32, 32, " 512"},
                   Case{1000, 512, " 8192"}}) {
        write("fftdata.txt", usualHeader + zeroPairs(c.pairs));
        const Result r = run();
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.substr(r.out.size() - std::strlen(c.rate) - 2), c.rate + std::string("\r\n"));
        const std::string wav = read("fftdata.wav");
        EXPECT_EQ(u32At(wav, 68), c.frames) << c.pairs;
        EXPECT_EQ(wav.size(), u32At(wav, 4) + 8u) << c.pairs;
        EXPECT_EQ(read("fft.dat").size(), 8u * c.pairs);
    }
}

TEST_F(Spec2wavRun, FileNamesFromTheCommandLine) {
    write("sr.txt", usualRates);
    struct Case {
        std::vector<std::string> args;
        const char* input;
    };
    for (const Case& c :
         {Case{{}, "fftdata"}, Case{{" my data.txt "}, "my data"}, Case{{"my", "file.txt"}, "my file"},
          Case{{".txt"}, "fftdata"}, Case{{"a.b.txt"}, "a"}}) {
        write(std::string(c.input) + ".txt", usualHeader);
        const Result r = run(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.input << r.err;
        EXPECT_EQ(r.out.rfind(std::string(c.input) + ".txt 20151109", 0), 0u) << r.out;
        EXPECT_TRUE(exists(std::string(c.input) + ".wav")) << c.input;
        fs::remove(dir_ / (std::string(c.input) + ".wav"));
    }
}

TEST_F(Spec2wavRun, RateFieldsRoundToEven) {
    struct Case {
        const char* rates;
        const char* info;
        std::uint32_t field;
    };
    for (Case c : {Case{"3.90625,1,1\r\n0\r\n", "sr=62.5 ", 62}, Case{"0.0305,1,1\r\n0\r\n", "sr=0.488 ", 0},
                   Case{"12000,48,524288\r\n137500\r\n", "sr=0.007629395 ", 0}}) {
        write("sr.txt", c.rates);
        write("fftdata.txt", usualHeader);
        const Result r = run();
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string wav = read("fftdata.wav");
        EXPECT_EQ(wav.compare(80, std::strlen(c.info), c.info), 0) << wav.substr(80, 20);
        EXPECT_EQ(u32At(wav, 24), c.field) << c.info;
        EXPECT_EQ(u32At(wav, 28), 8 * c.field) << c.info;
    }
}

TEST_F(Spec2wavRun, FailuresStopWithTheirReportAndExitCode) {
    struct Case {
        const char* name;
        bool rates, dump;
        const char* blocker;  // a directory of this name makes its open fail
        int exitCode;
        std::string err;
        bool fftDat;
        const char* out;  // the console line as far as the run got
    };
    const char* const firstHalf = "fftdata.txt 20151109 123456.75 0.0004768372 137500";
    for (const Case& c :
         {Case{"no sr.txt", false, true, nullptr, 2, report(2, "file not found", 33), false, ""},
          Case{"no dump", true, false, nullptr, 2, report(2, "file not found", 41), false, ""},
          Case{"fft.dat blocked", true, true, "fft.dat", 2, report(2, "file not found", 56), false,
               firstHalf},
          Case{"wav blocked", true, true, "fftdata.wav", 2, report(2, "file not found", 103), true,
               "fftdata.txt 20151109 123456.75 0.0004768372 137500 0.007629395\r\n"}}) {
        TearDown();
        SetUp();
        if (c.rates) write("sr.txt", usualRates);
        if (c.dump) write("fftdata.txt", usualHeader + zeroPairs(20));
        if (c.blocker) fs::create_directory(dir_ / c.blocker);
        const Result r = run();
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(r.out, c.out) << c.name;
        if (!c.blocker) {
            EXPECT_EQ(exists("fft.dat"), c.fftDat) << c.name;
        }
    }
}

TEST_F(Spec2wavRun, ReadOnlyWavCannotBeReplaced) {
    write("sr.txt", usualRates);
    write("fftdata.txt", usualHeader);
    write("fftdata.wav", "old");
    chmod((dir_ / "fftdata.wav").c_str(), 0444);
    chmod(dir_.c_str(), 0777);
    const Result r = run({}, SPEC2WAV_PATH, {.unprivileged = true});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, report(2, "file not found", 103));
    EXPECT_EQ(read("fftdata.wav"), "old");
}

TEST_F(Spec2wavRun, FailedWritesAreNotReportedAsSuccess) {
    // 2048 pairs: "fft.dat" has 16384 bytes, the WAV file 16512.
    for (auto [limit, site] : {std::pair{16000, 63}, std::pair{16400, 109}}) {
        write("sr.txt", usualRates);
        write("fftdata.txt", usualHeader + zeroPairs(2048));
        const Result r = run({}, SPEC2WAV_PATH, {.fileSize = rlim_t(limit)});
        EXPECT_EQ(r.exitCode, 3) << site;
        EXPECT_EQ(r.err, report(3, "file I/O error", site)) << site;
    }
}

TEST_F(Spec2wavRun, ArraysBeyondTheMemoryLimitStopAtTheirSite) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    // 2^21 pairs of empty tokens: 4 MiB of text, 32 MiB of arrays against a 24 MiB limit.
    write("sr.txt", usualRates);
    write("fftdata.txt", usualHeader + std::string(2 << 21, '\n'));
    const Result r = run({}, SPEC2WAV_PATH, {.addressSpace = 24u << 20});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.err, report(4, "out of memory", 80));
    // The output rate ends the console line before the arrays are allocated.
    EXPECT_EQ(r.out, "fftdata.txt 20151109 123456.75 0.0004768372 137500 1000\r\n");
    EXPECT_FALSE(exists("fftdata.wav"));
}

TEST_F(Spec2wavRun, UnusableRatesStopBeforeFftDat) {
    for (const char* rates :
         {"12000,0,524288\r\n137500\r\n", "12000,48\r\n", "", "0,48,1024\r\n1\r\n", "12000,48,-1024\r\n1\r\n",
          "1e39,48,1024\r\n1\r\n", "1e-30,1e30,1e30\r\n0\r\n"}) {
        write("sr.txt", rates);
        write("fftdata.txt", usualHeader + zeroPairs(20));
        const Result r = run();
        EXPECT_EQ(r.exitCode, 20) << rates;
        EXPECT_NE(r.err.find("sr.txt"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(exists("fft.dat")) << rates;
        EXPECT_FALSE(exists("fftdata.wav")) << rates;
    }
}

TEST_F(Spec2wavRun, IndependentReadersAcceptTheWav) {
    if (std::system("command -v soxi >/dev/null && command -v sndfile-info >/dev/null") != 0)
        GTEST_SKIP() << "soxi or sndfile-info is not installed";
    // A rate field of 0 (rates below 0.5 Hz) is refused by both readers; 16 kHz here.
    write("sr.txt", "16,1,1\r\n0\r\n");
    write("fftdata.txt", usualHeader + zeroPairs(1024));
    ASSERT_EQ(run().exitCode, 0);
    const std::string wav = (dir_ / "fftdata.wav").string();
    const std::string probe = "soxi -c '" + wav + "'; soxi -s '" + wav + "'; soxi -b '" + wav +
                              "'; soxi -e '" + wav + "'; sox '" + wav + "' -n stat 2>&1 | grep -c Samples";
    // SoX warns on standard error that the extensible fmt chunk has no extended part.
    EXPECT_EQ(run({"-c", probe}, "/bin/sh").out, "2\n1024\n32\nFloating Point PCM\n1\n");
    const std::string info = run({"-c", "sndfile-info '" + wav + "' 2>&1"}, "/bin/sh").out;
    EXPECT_EQ(info.find("Error"), std::string::npos) << info;
    EXPECT_TRUE(std::regex_search(info, std::regex(R"(\n *Channels *: *2\n)"))) << info;
    EXPECT_TRUE(std::regex_search(info, std::regex(R"(\n *Frames *: *1024\n)"))) << info;
    EXPECT_NE(info.find("format : IEEE float"), std::string::npos) << info;
}

TEST_F(Spec2wavRun, HostileDumpsNeverCrash) {
    write("sr.txt", usualRates);
    std::mt19937 gen(5);
    std::string random(20000, '\0');
    for (char& ch : random) ch = char(gen());
    const std::string cases[] = {
        random,
        std::string(3000, '\0'),
        std::string(usualHeader) + std::string(100000, '9') + ",1\r\n",
        std::string(usualHeader) + "1,2\r3,4\r5,6\r",
        "garbage, \"quoted, text\" &H7FFFFFFFFFFFFFFF &O777777777777777777777 1e99999 -1e-99999\r\n",
        std::string(usualHeader) + "\"unterminated" + std::string(5000, ',') + "\t \t\n\n\r\r",
    };
    for (const std::string& dump : cases) {
        write("fftdata.txt", dump);
        const std::string before = read("fftdata.wav");
        const Result r = run();
        // A value beyond the float range is refused, and the earlier WAV stays.
        if (r.exitCode == exitNotFinite) {
            EXPECT_NE(r.err.find("beyond the 32-bit float range"), std::string::npos) << r.err;
            EXPECT_EQ(read("fftdata.wav"), before);
            continue;
        }
        EXPECT_EQ(r.exitCode, 0) << dump.substr(0, 60) << r.err;
        const std::string wav = read("fftdata.wav");
        ASSERT_GE(wav.size(), 88u);
        EXPECT_EQ(wav.size(), u32At(wav, 4) + 8u);
        EXPECT_EQ(read("fft.dat").size() % 8, 0u);
    }
}

// Bad values: a WAV holding a sample that is not a number is never written.
TEST_F(Spec2wavRun, ValuesBeyondTheFloatRangeAreRefused) {
    const std::string header = usualHeader;
    std::string loud;
    for (int i = 0; i < 16; ++i) loud += "3e38,3e38\r\n";  // each finite, their sum is not
    const auto refusal = [](const std::string& cause) {
        return "spec2wav: " + cause + "; no WAV file written\n";
    };
    struct Case {
        const char* name;
        std::string dump;
        std::string err;
        bool fftDatKept;  // the copy stops with the bad value
    } cases[] = {
        {"real part", header + "0,0\r\n1e39,0\r\n0,0\r\n",
         refusal("line 3 of \"fftdata.txt\" holds a value beyond the 32-bit float range"), true},
        {"imaginary part", header + "0,0\r\n0,0\r\n0, -1e39\r\n",
         refusal("line 4 of \"fftdata.txt\" holds a value beyond the 32-bit float range"), true},
        {"one number a line, blank lines", header + "0\r\n\r\n0\n\n0 \r\n  1e40\r\n",
         refusal("line 7 of \"fftdata.txt\" holds a value beyond the 32-bit float range"), true},
        {"after a full block", header + zeroPairs(700) + "1,1e999\r\n",
         refusal("line 702 of \"fftdata.txt\" holds a value beyond the 32-bit float range"), true},
        {"transform overflows", header + loud,
         refusal("the transform of \"fftdata.txt\" goes beyond the 32-bit float range"), false},
    };
    for (const Case& c : cases) {
        write("sr.txt", usualRates);
        write("fftdata.txt", c.dump);
        write("fftdata.wav", "earlier");
        write("fft.dat", "earlier");
        const Result r = run();
        EXPECT_EQ(r.exitCode, exitNotFinite) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(read("fftdata.wav"), "earlier") << c.name;
        EXPECT_EQ(read("fft.dat") == "earlier", c.fftDatKept) << c.name;
    }
}

// Lost output: a failed or interrupted run leaves the earlier files as they were, and no temporary file.
TEST_F(Spec2wavRun, EarlierFilesSurviveAFailedRun) {
    for (auto [limit, site] : {std::pair{16000, 63}, std::pair{16400, 109}}) {
        write("sr.txt", usualRates);
        write("fftdata.txt", usualHeader + zeroPairs(2048));
        write("fftdata.wav", "earlier");
        write("fft.dat", "earlier");
        const Result r = run({}, SPEC2WAV_PATH, {.fileSize = rlim_t(limit)});
        EXPECT_EQ(r.err, report(3, "file I/O error", site)) << site;
        EXPECT_EQ(read("fftdata.wav"), "earlier") << site;
        EXPECT_EQ(read("fft.dat") == "earlier", site == 63) << site;
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_NE(entry.path().filename().string().rfind(".fft", 0), 0u) << entry.path();
    }
}

void Spec2wavRun::signalDuringTheCopy(int sig, int ending, const std::string& err) {
    write("sr.txt", usualRates);
    write("fft.dat", "earlier");
    fs::remove(dir_ / "fftdata.txt");
    ASSERT_EQ(mkfifo((dir_ / "fftdata.txt").c_str(), 0600), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir_.c_str()) != 0) _exit(127);
        const int o = open(".out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(".err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        execl(SPEC2WAV_PATH, SPEC2WAV_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    // The dump arrives slowly: the copy has begun, and waits for more.
    const int fifo = open((dir_ / "fftdata.txt").c_str(), O_WRONLY);
    ASSERT_GE(fifo, 0);
    const std::string start = usualHeader + zeroPairs(100);
    ASSERT_EQ(::write(fifo, start.data(), start.size()), ssize_t(start.size()));
    const auto temporary = [this] {
        for (const auto& entry : fs::directory_iterator(dir_))
            if (entry.path().filename().string().rfind(".fft.dat.", 0) == 0) return true;
        return false;
    };
    for (int i = 0; i < 1000 && !temporary(); ++i) usleep(10000);
    EXPECT_TRUE(temporary());
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    close(fifo);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), ending);
    EXPECT_EQ(read(".err"), err);
    EXPECT_FALSE(temporary());
    EXPECT_EQ(read("fft.dat"), "earlier");
}

// A signal with a run-time error of its own reports it; any other ends the run as it would.
TEST_F(Spec2wavRun, TerminationDuringTheCopyRemovesTheTemporaryFile) {
    signalDuringTheCopy(SIGTERM, 13,
                        "\nAborting due to runtime error 13 (\"termination request\" signal)\n\n");
    signalDuringTheCopy(SIGUSR1, -SIGUSR1, "");
    signalDuringTheCopy(SIGHUP, -SIGHUP, "");
}

// Streams: the console line has nowhere to go, the files come out all the same.
TEST_F(Spec2wavRun, NoReaderOnStandardOutputCostsNothingButTheLine) {
    write("sr.txt", usualRates);
    write("fftdata.txt", std::string(usualHeader) + "1,0\r\n0,2\r\n");
    ASSERT_EQ(run().exitCode, 0);
    const std::string wav = read("fftdata.wav"), copy = read("fft.dat");
    for (const Limits limits : {Limits{.closedOutput = true}, Limits{.goneReader = true}}) {
        fs::remove(dir_ / "fftdata.wav");
        fs::remove(dir_ / "fft.dat");
        const Result r = run({}, SPEC2WAV_PATH, limits);
        EXPECT_EQ(r.exitCode, 0) << limits.closedOutput;
        EXPECT_EQ(r.err, "") << limits.closedOutput;
        EXPECT_EQ(read("fftdata.wav"), wav) << limits.closedOutput;
        EXPECT_EQ(read("fft.dat"), copy) << limits.closedOutput;
    }
}

}  // namespace
}  // namespace orv::converter
