// phaseview as a user runs it: in a folder of its own, with or without a display.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/programrunner.h"
#include "viewertestsupport.h"

namespace orv::viewer {
namespace {

using Result = testsupport::ProgramRun;

// Runs phaseview in dir with standard input from /dev/null; env holds the
// variables to set ("NAME=value"); the display variables are always cleared
// first. A non-zero addressSpace (bytes) makes larger allocations fail.
using Output = testsupport::RunOptions::Output;
Result runPhaseview(const ScratchFolder& dir, const std::vector<std::string>& env = {},
                    rlim_t addressSpace = 0, Output output = Output::File) {
    testsupport::RunOptions options;
    options.folder = dir.path();
    options.unset = testsupport::displayVariables;
    options.env = env;
    options.addressSpace = addressSpace;
    options.output = output;
    return testsupport::runProgram(PHASEVIEW_PATH, {}, options);
}

struct RunCase {
    const char* name;
    std::string symbols;  // empty: no "rawsyms.txt"
    int exitCode;
    std::string out, err;
};

class RunTable : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunTable, PrintsExactlyThis) {
    const RunCase& c = GetParam();
    ScratchFolder dir;
    if (!c.symbols.empty()) dir.write("rawsyms.txt", c.symbols);
    const Result r = runPhaseview(dir);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
}

std::string constantRecords(std::size_t n) {
    return symbolRecords(std::vector<float>(n, 1.0f), std::vector<float>(n, 0.0f));
}

INSTANTIATE_TEST_SUITE_P(
    Headless, RunTable,
    ::testing::Values(RunCase{"constant", constantRecords(1000), 0,
                              " 1\r\n"
                              " 1000 symbols\r\n"
                              "\r\n"
                              " sqared spectrum peak 30.0 dB at frequency 0.00000 (Hz / symbol duration)\r\n"
                              " estimated magnitude of time error 1.00 (symbol durations)\r\n",
                              ""},
                      RunCase{"rising", "0 0.5 0 0\r\n1 -1.25 0 0\r\n2 0 1.5 0\r\n3 1 1 0\r\n", 0,
                              " 0.25\r\n 1.5625\r\n 2.25\r\n"
                              " 4 symbols\r\n"
                              "\r\n"
                              // The squares' peak is on the last index: no refinement, offset 0.25.
                              " sqared spectrum peak  3.9 dB at frequency 0.25000 (Hz / symbol duration)\r\n"
                              " estimated magnitude of time error 0.92 (symbol durations)\r\n",
                              ""},
                      RunCase{"single", "0 2 0 0\r\n", 0,
                              " 4\r\n 1 symbols\r\n\r\n"
                              " sqared spectrum peak  0.0 dB at frequency -.25000 (Hz / symbol duration)\r\n"
                              " estimated magnitude of time error  nan (symbol durations)\r\n",
                              ""},
                      RunCase{
                          "missing", "", 2, "",
                          "\nAborting due to runtime error 2 (file not found) at line 14 of phaseview()\n\n"},
                      RunCase{"allZero", "0 0 0 0\r\n1 0 0 0\r\n", 20, "",
                              "phaseview: all symbols are zero; there is nothing to show\n"}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

// 16777216 symbols: 64 MiB per array, so the symbol arrays (3), the work
// arrays (5 more) and the twiddle tables (2 more) each pass one of these limits
// in turn; the program itself maps well under 100 MiB.
TEST(Allocation, EachGroupOfArraysFailsAtItsOwnSite) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limits leave";
#endif
    ScratchFolder dir;
    dir.write("rawsyms.txt", "0 1 0 0\r\n16777215 1 0 0\r\n");
    struct Case {
        rlim_t mebibytes;
        int site;
    };
    for (const Case c : {Case{180, 19}, Case{400, 20}, Case{700, 31}}) {
        const Result r = runPhaseview(dir, {}, c.mebibytes << 20);
        EXPECT_EQ(r.exitCode, 4) << c.site;
        EXPECT_EQ(r.err, "\nAborting due to runtime error 4 (out of memory) at line " +
                             std::to_string(c.site) + " of phaseview()\n\n");
        EXPECT_EQ(r.out, "") << c.site;
    }
}

// Bad values: the count's limit holds for the exact count, not its float.
TEST(Refusals, CountBeyondTheLimit) {
    ScratchFolder dir;
    for (const char* last : {"16777216", "16777217", "1e300"}) {
        dir.write("rawsyms.txt", std::string("0 1 0 0\r\n") + last + " 1 0 0\r\n");
        const Result r = runPhaseview(dir);
        EXPECT_EQ(r.exitCode, 21) << last;
        EXPECT_EQ(r.err.rfind("phaseview: rawsyms.txt gives ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(" symbols; at most 16777216 can be shown\n"), std::string::npos) << r.err;
    }
}

// Memory: a record followed by 64 MiB of blanks needs no more than a short file.
TEST(Allocation, BlankTailCostsNoMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    ScratchFolder dir;
    dir.write("rawsyms.txt", "0 1 0 0\r\n1 1 0 0\r\n" + std::string(64u << 20, ' ') + "\r\n\r\n");
    const Result r = runPhaseview(dir, {}, 96u << 20);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(" 2 symbols\r\n"), std::string::npos) << r.out;
}

// Streams: no reader for the rows, or a platform that cannot start, still
// give the whole run and its exit code.
TEST(Streams, RunsWhereverItsOutputGoes) {
    ScratchFolder dir;
    dir.write("rawsyms.txt", "0 0.5 0 0\r\n1 -1.25 0 0\r\n2 0 1.5 0\r\n3 1 1 0\r\n");
    struct Case {
        const char* name;
        std::vector<std::string> env;
        Output output;
        bool rows;  // the rows reach the file
    } cases[] = {
        {"xcb without a display", {"QT_QPA_PLATFORM=xcb"}, Output::File, true},
        {"no such platform", {"QT_QPA_PLATFORM=nowhere"}, Output::File, true},
        {"output closed", {}, Output::Closed, false},
        {"reader gone", {}, Output::GoneReader, false},
    };
    for (const Case& c : cases) {
        const Result r = runPhaseview(dir, c.env, 0, c.output);
        EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.out.find(" 4 symbols\r\n") != std::string::npos, c.rows) << c.name << ": " << r.out;
    }
}

// A de_DE locale, built into the scratch folder (no system locale needed).
bool buildGermanLocale(const ScratchFolder& dir) {
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + dir.file("de_DE.UTF-8") + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ||
           std::filesystem::exists(dir.path() / "de_DE.UTF-8" / "LC_NUMERIC");
}

// Qt takes the C library's locale from the environment; numbers read and
// printed must keep their '.' all the same.
TEST(Locale, GermanEnvironmentKeepsThePoint) {
    ScratchFolder localeDir;
    if (!buildGermanLocale(localeDir)) GTEST_SKIP() << "no de_DE locale source or localedef";
    ScratchFolder dir;
    dir.write("rawsyms.txt", "0 0.5 0 0\r\n1 -1.25 0 0\r\n2 0 1.5 0\r\n3 1 1 0\r\n");
    const std::string locpath = "LOCPATH=" + localeDir.path().string();
    // With Qt's offscreen window (Qt sets the locale), and without any window.
    for (const bool offscreen : {true, false}) {
        std::vector<std::string> env{locpath, "LC_ALL=de_DE.UTF-8"};
        if (offscreen) env.push_back("QT_QPA_PLATFORM=offscreen");
        const Result r = runPhaseview(dir, env);
        EXPECT_EQ(r.exitCode, 0) << offscreen << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find(" 4 symbols")), " 0.25\r\n 1.5625\r\n 2.25\r\n") << offscreen;
        EXPECT_EQ(r.out.find(','), std::string::npos) << offscreen << ": " << r.out;
    }
}

}  // namespace
}  // namespace orv::viewer
