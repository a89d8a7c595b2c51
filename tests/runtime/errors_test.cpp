#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/errors.h"

namespace orv::runtime {
namespace {

TEST(ErrorReport, Texts) {
    const struct {
        int error, site;
        const char* module;
        const char* report;
    } cases[] = {
        {2, 33, "spec2wav",
         "\nAborting due to runtime error 2 (file not found) at line 33 of spec2wav()\n\n"},
        {1, 35, "spec2wav",
         "\nAborting due to runtime error 1 (illegal function call) at line 35 of spec2wav()\n\n"},
        {4, 80, "phaseview",
         "\nAborting due to runtime error 4 (out of memory) at line 80 of phaseview()\n\n"},
        {3, 0, "spec2wav", "\nAborting due to runtime error 3 (file I/O error) in spec2wav()\n\n"},
        {9, 0, "", "\nAborting due to runtime error 9 (\"interrupted\" signal)\n\n"},
        {12, 0, "", "\nAborting due to runtime error 12 (\"segmentation violation\" signal)\n\n"},
        {15, 0, "", "\nAborting due to runtime error 15 (\"quit request\" signal)\n\n"},
        {17, 7, "", "\nAborting due to runtime error 17 (end of file) at line 7\n\n"},
        {8, 1, "m", "\nAborting due to runtime error 8 (no priviledges) at line 1 of m()\n\n"},
        {0, 0, "", "\nAborting due to runtime error 0 ()\n\n"},
        {18, 5, "spec2wav", "\nAborting due to runtime error 18 at line 5 of spec2wav()\n\n"},
        {1000, 0, "", "\nAborting due to runtime error 1000\n\n"},
        {-1, -3, "", "\nAborting due to runtime error -1 ()\n\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(composeReport(c.error, c.site, c.module), c.report) << c.error;
    EXPECT_EQ(errorText(16), "return without gosub");
    EXPECT_EQ(errorText(18), "");
}

TEST(ErrorReport, CutTo1023Bytes) {
    const std::string module(3000, 'm');
    const std::string report = composeReport(2, 33, module);
    ASSERT_EQ(report.size(), 1023u);
    const std::string head = "\nAborting due to runtime error 2 (file not found) at line 33 of ";
    EXPECT_EQ(report.substr(0, head.size()), head);
    EXPECT_EQ(report.back(), 'm');
}

TEST(CommandLine, JoinsArguments) {
    const struct {
        std::vector<const char*> argv;
        const char* text;
    } cases[] = {
        {{"spec2wav"}, ""},
        {{"spec2wav", "fftdata3.txt"}, "fftdata3.txt"},
        {{"spec2wav", "my", "file.txt"}, "my file.txt"},
        {{"spec2wav", " my data.txt "}, " my data.txt "},
        {{"spec2wav", "", "x"}, " x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(commandLineText(static_cast<int>(c.argv.size()), c.argv.data()), c.text);
    }
}

struct HelperRun {
    int exitCode;        // -1 when killed by a signal
    std::string output;  // stdout and stderr together, in the order written
    std::string file;
};

HelperRun runHelper(const std::string& what) {
    char tmpl[] = "/tmp/orvane-exit-XXXXXX";
    std::string dir = ::mkdtemp(tmpl);
    std::string out = dir + "/out.txt", log = dir + "/log.txt";
    std::string cmd =
        "ORVANE_HELPER_OUT='" + out + "' '" ORVANE_EXIT_HELPER "' " + what + " > '" + log + "' 2>&1";
    int status = std::system(cmd.c_str());
    HelperRun r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto slurp = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    r.output = slurp(log);
    r.file = slurp(out);
    std::system(("rm -rf '" + dir + "'").c_str());
    return r;
}

TEST(ExitPath, ReportsExitCodesAndFlushedFiles) {
    const std::string head = "console first[before exit]";
    const struct {
        const char* what;
        int exitCode;
        std::string output;
    } cases[] = {
        {"missing", 2,
         head + "\nAborting due to runtime error 2 (file not found) at line 33 of spec2wav()\n\n"},
        {"close", 1,
         head + "\nAborting due to runtime error 1 (illegal function call) at line 35 of spec2wav()\n\n"},
        {"memory", 4,
         head + "\nAborting due to runtime error 4 (out of memory) at line 80 of spec2wav()\n\n"},
        {"high", 18, head + "\nAborting due to runtime error 18\n\n"},
        {"message", exitBadInput, head + "bad sample rate\n"},
        {"end", 0, head},
        // a normal end whose buffered data could not be written is no success
        {"full", 3, head + "\nAborting due to runtime error 3 (file I/O error)\n\n"},
        // signals: no site, no module, no before-exit hook
        {"kill 2", 9, "console first\nAborting due to runtime error 9 (\"interrupted\" signal)\n\n"},
        {"kill 4", 10,
         "console first\nAborting due to runtime error 10 (\"illegal instruction\" signal)\n\n"},
        {"kill 8", 11,
         "console first\nAborting due to runtime error 11 (\"floating point error\" signal)\n\n"},
        {"kill 15", 13,
         "console first\nAborting due to runtime error 13 (\"termination request\" signal)\n\n"},
        {"kill 3", 15, "console first\nAborting due to runtime error 15 (\"quit request\" signal)\n\n"},
        {"kill 7", 12,
         "console first\nAborting due to runtime error 12 (\"segmentation violation\" signal)\n\n"},
        {"abort", 14,
         "console first\nAborting due to runtime error 14 (\"abnormal termination\" signal)\n\n"},
        {"segv", 12,
         "console first\nAborting due to runtime error 12 (\"segmentation violation\" signal)\n\n"},
        {"recurse", 12,
         "console first\nAborting due to runtime error 12 (\"segmentation violation\" signal)\n\n"},
    };
    for (const auto& c : cases) {
        HelperRun r = runHelper(c.what);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what;
        EXPECT_EQ(r.output, c.output) << c.what;
        EXPECT_EQ(r.file, "kept\r\n") << c.what;  // printed before the end, so on disk
    }
}

TEST(ExitPath, CommandLineOfAProgram) {
    HelperRun r = runHelper("args 'a b'   c");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "<a b c>\r\n[before exit]");
}

}  // namespace
}  // namespace orv::runtime
