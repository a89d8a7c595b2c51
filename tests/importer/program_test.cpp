// A WAV written by a real program: sox makes an I/Q tone, orvane-import brings
// it in, and orvane-rx at the tone's offset from the centre sees symbols at rest.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

int shell(const std::string& command) {
    const int status = std::system((command + " >log.txt 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string logText() {
    std::ifstream in("log.txt");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct SoxWave {
    const char* name;
    const char* encoding;  // sox's output options
};

void PrintTo(const SoxWave& c, std::ostream* os) { *os << c.name; }

class SoxTone : public ::testing::TestWithParam<SoxWave> {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        folder_ = fs::path(::testing::TempDir()) / (std::string("orvane-import-sox-") + GetParam().name);
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        fs::current_path(folder_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        if (!HasFailure()) fs::remove_all(folder_);
    }
    fs::path previous_, folder_;
};

TEST_P(SoxTone, SymbolsStandStillAtTheToneOffset) {
    // I = cos, Q = sin of 37.5 Hz: a tone 37.5 Hz above the centre, 12 s at 2000 samples/s.
    ASSERT_EQ(shell(std::string("sox -r 2000 -n -c 2 ") + GetParam().encoding +
                    " -D tone.wav synth 12 sine 37.5 0 25 sine 37.5 0 0 vol 0.5"),
              0)
        << logText();
    ASSERT_EQ(
        shell(std::string(IMPORT_PATH) + " tone.wav rec.wav --centre 137500 --start '2026-12-07 10:00:00'"),
        0)
        << logText();
    ASSERT_EQ(shell(std::string(RECEIVER_PATH) + " -f rec.wav -T 1 -F 37.5 -S 0.5 -N 20 -c 0 -p 0"), 0)
        << logText();

    std::ifstream symbols("rawsyms.txt");
    std::string line;
    int count = 0;
    while (std::getline(symbols, line)) {
        // "index I Q phase", single blanks
        const auto second = line.find(' ') + 1, third = line.find(' ', second) + 1;
        double i = 0, q = 0;
        std::from_chars(line.data() + second, line.data() + line.size(), i);
        std::from_chars(line.data() + third, line.data() + line.size(), q);
        EXPECT_NEAR(i, 0.5, 1e-3) << line;  // at rest with phase 0: the tone's own start phase
        EXPECT_NEAR(q, 0.0, 1e-3) << line;
        ++count;
    }
    EXPECT_EQ(count, 20);
}

INSTANTIATE_TEST_SUITE_P(Encodings, SoxTone,
                         ::testing::Values(SoxWave{"Int16", "-e signed-integer -b 16"},
                                           SoxWave{"Float32", "-e floating-point -b 32"},
                                           SoxWave{"Float64", "-e floating-point -b 64"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
