// Output through a temporary file: an earlier file survives every failure, and
// nothing is left behind, whether the run commits, gives up or is ended by a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "orv/replacingfile.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ReplacingFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("orv-replacing-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        target = dir / "out.txt";
        std::ofstream(target) << "earlier";
    }
    void TearDown() override { fs::remove_all(dir); }
    int entries() const { return static_cast<int>(std::distance(fs::directory_iterator(dir), {})); }
    fs::path dir, target;
};

TEST_F(ReplacingFileTest, EndsWithTheNewFileOrTheEarlierOneAndNothingElse) {
    enum class End { Commit, Discard, Destroy, SignalBeforeCommit };
    const struct {
        End end;
        const char* expected;
        int signal = SIGTERM;
    } cases[] = {{End::Commit, "new"},
                 {End::Discard, "earlier"},
                 {End::Destroy, "earlier"},
                 {End::SignalBeforeCommit, "earlier"},
                 {End::SignalBeforeCommit, "earlier", SIGUSR1},
                 {End::SignalBeforeCommit, "earlier", SIGALRM},
                 {End::SignalBeforeCommit, "earlier", SIGRTMIN + 1}};
    for (const auto& c : cases) {
        std::ofstream(target) << "earlier";
        if (c.end == End::SignalBeforeCommit) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                removeTemporaryFilesOnSignals();
                ReplacingFile f;
                if (f.open(target.string()) != 0 || f.write("new") != 0) ::_exit(1);
                ::raise(c.signal);
                ::_exit(2);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.signal;
        } else {
            ReplacingFile f;
            ASSERT_EQ(f.open(target.string()), 0);
            EXPECT_EQ(fs::path(f.temporaryPath()).parent_path(), dir);
            ASSERT_EQ(f.write("new"), 0);
            if (c.end == End::Commit) {
                EXPECT_EQ(f.commit(), 0);
            } else if (c.end == End::Discard) {
                f.discard();
            }
        }
        EXPECT_EQ(slurp(target), c.expected) << static_cast<int>(c.end) << " " << c.signal;
        EXPECT_EQ(entries(), 1) << static_cast<int>(c.end) << " " << c.signal;
    }
}

TEST_F(ReplacingFileTest, NeverWritesThroughALinkPlantedBesideTheOutput) {
    const fs::path victim = dir / "victim";
    std::ofstream(victim) << "victim";
    // Whatever name a guesser plants, the temporary file is a new one of its own.
    fs::create_symlink(victim, dir / ".out.txt.part");
    fs::create_symlink(victim, dir / "out.txt.part");
    ReplacingFile f;
    ASSERT_EQ(f.open(target.string()), 0);
    EXPECT_FALSE(fs::is_symlink(f.temporaryPath()));
    ASSERT_EQ(f.write("new"), 0);
    ASSERT_EQ(f.commit(), 0);
    EXPECT_EQ(slurp(victim), "victim");
    EXPECT_EQ(slurp(target), "new");
    EXPECT_FALSE(fs::is_symlink(target));
}

TEST_F(ReplacingFileTest, AFolderThatCannotTakeTheFileFailsWithoutTouchingIt) {
    ReplacingFile f;
    EXPECT_NE(f.open((dir / "missing" / "out.txt").string()), 0);
    EXPECT_FALSE(f.isOpen());
    EXPECT_NE(f.write("x"), 0);
    EXPECT_NE(f.commit(), 0);
    EXPECT_EQ(slurp(target), "earlier");
}

// Whole files, one or several: all of them replaced, or none, and the failure in one line.
TEST_F(ReplacingFileTest, WholeFilesAreAllReplacedOrNone) {
    const fs::path second = dir / "second.txt";
    const std::string missing = (dir / "missing" / "x.txt").string();
    const struct {
        std::vector<FileContent> files;
        const char* first;    // out.txt afterwards
        const char* failure;  // the start of the message, or none
    } cases[] = {{{{target.string(), "new"}}, "new", nullptr},
                 {{{target.string(), "new"}, {second.string(), "2"}}, "new", nullptr},
                 {{{target.string(), "new"}, {missing, "2"}}, "earlier", "cannot write "},
                 {{{missing, "1"}, {target.string(), "new"}}, "earlier", "cannot write "}};
    for (const auto& c : cases) {
        std::ofstream(target) << "earlier";
        fs::remove(second);
        const auto written = writeWholeFiles(c.files);
        EXPECT_EQ(slurp(target), c.first);
        EXPECT_EQ(written.ok(), !c.failure);
        if (c.failure) {
            EXPECT_EQ(written.error().rfind(std::string(c.failure) + missing + ": ", 0), 0u)
                << written.error();
            EXPECT_EQ(written.exitCode(), errFileIO);
            EXPECT_EQ(entries(), 1);  // no temporary file, no second file
        }
    }
    EXPECT_TRUE(writeWholeFile(target.string(), std::string("a\0b", 3)).ok());
    EXPECT_EQ(slurp(target), std::string("a\0b", 3));
}

}  // namespace
}  // namespace orv
