// A WAV written by a real program: sox makes an I/Q tone, orvane-import brings
// it in, and orvane-rx at the tone's offset from the centre sees symbols at rest.
#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

#include "support/programrunner.h"
#include "support/scratchfolder.h"

namespace orv::importer {
namespace {

using testsupport::runProgram;

struct SoxWave {
    const char* name;
    std::vector<std::string> encoding;  // sox's output options
};

void PrintTo(const SoxWave& c, std::ostream* os) { *os << c.name; }

class SoxTone : public ::testing::TestWithParam<SoxWave> {
protected:
    testsupport::ScratchFolder folder_{"orvane-import-sox"};
    testsupport::RunOptions here_ = [this] {
        testsupport::RunOptions o;
        o.folder = folder_.path();
        o.mergeErr = true;
        return o;
    }();
};

TEST_P(SoxTone, SymbolsStandStillAtTheToneOffset) {
    // I = cos, Q = sin of 37.5 Hz: a tone 37.5 Hz above the centre, 12 s at 2000 samples/s.
    std::vector<std::string> sox = {"-r", "2000", "-n", "-c", "2"};
    sox.insert(sox.end(), GetParam().encoding.begin(), GetParam().encoding.end());
    sox.insert(sox.end(), {"-D", "tone.wav", "synth", "12", "sine", "37.5", "0", "25", "sine", "37.5", "0",
                           "0", "vol", "0.5"});
    const auto made = runProgram("/usr/bin/sox", sox, here_);
    ASSERT_EQ(made.exitCode, 0) << made.out;
    const auto imported = runProgram(
        IMPORT_PATH, {"tone.wav", "rec.wav", "--centre", "137500", "--start", "2026-12-07 10:00:00"}, here_);
    ASSERT_EQ(imported.exitCode, 0) << imported.out;
    const auto rx = runProgram(
        RECEIVER_PATH,
        {"-f", "rec.wav", "-T", "1", "-F", "37.5", "-S", "0.5", "-N", "20", "-c", "0", "-p", "0"}, here_);
    ASSERT_EQ(rx.exitCode, 0) << rx.out;

    const std::string symbols = folder_.read("rawsyms.txt");
    int count = 0;
    for (std::size_t at = 0, end; (end = symbols.find('\n', at)) != std::string::npos;
         at = end + 1, ++count) {
        // "index I Q phase", single blanks
        const std::string line = symbols.substr(at, end - at);
        const auto second = line.find(' ') + 1, third = line.find(' ', second) + 1;
        double i = 0, q = 0;
        std::from_chars(line.data() + second, line.data() + line.size(), i);
        std::from_chars(line.data() + third, line.data() + line.size(), q);
        EXPECT_NEAR(i, 0.5, 1e-3) << line;  // at rest with phase 0: the tone's own start phase
        EXPECT_NEAR(q, 0.0, 1e-3) << line;
    }
    EXPECT_EQ(count, 20);
}

INSTANTIATE_TEST_SUITE_P(Encodings, SoxTone,
                         ::testing::Values(SoxWave{"Int16", {"-e", "signed-integer", "-b", "16"}},
                                           SoxWave{"Float32", {"-e", "floating-point", "-b", "32"}},
                                           SoxWave{"Float64", {"-e", "floating-point", "-b", "64"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Memory that runs out ends the run with one line and its code, never an abort.
TEST(ImportProgram, OutOfMemoryIsOneLine) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    const testsupport::ScratchFolder folder("orvane-import-memory");
    folder.write("rec.sigmf-meta",
                 R"({"global": {"core:datatype": "ci8"}, "x": ")" + std::string(15 << 20, 'x'));
    folder.write("rec.sigmf-data", "");
    testsupport::RunOptions options;
    options.folder = folder.path();
    options.addressSpace = 30 << 20;
    const auto run = runProgram(IMPORT_PATH, {"rec.sigmf-meta", "rec.wav"}, options);
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_EQ(run.err, "orvane-import: out of memory\n");
}

}  // namespace
}  // namespace orv::importer
