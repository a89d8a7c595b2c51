#include "launcher/detachedstarter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "testfolder.h"

namespace orv::launcher {

TEST(ResolveProgramTest, OwnFolderFirstThenPath) {
    TestFolder folder;
    const std::string script = "#!/bin/sh\n";
    folder.write("own/spec2wav", script, true);
    folder.write("p1/spec2wav", script, true);
    folder.write("p1/orvane-rx.exe", script, true);
    folder.write("p2/orvane-rx", script, true);
    folder.write("p1/phaseview", script, false);  // not executable: skipped
    folder.write("p2/phaseview", script, true);
    std::filesystem::create_directories(folder.path() / "p2/dir.exe");
    const std::string own = (folder.path() / "own").string();
    const std::string path = (folder.path() / "p1").string() + ":" + (folder.path() / "p2").string();

    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {
        {"spec2wav.exe", "own/spec2wav"},
        {"spec2wav", "own/spec2wav"},
        {"orvane-rx.exe", "p1/orvane-rx.exe"},  // the name as given wins within a folder
        {"phaseview", "p2/phaseview"},
        {"SPEC2WAV.EXE", nullptr},  // file names are case-sensitive here
        {"dir.exe", nullptr},
        {"missing.exe", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        std::optional<std::string> found = resolveProgram(c.name, own, path);
        if (!c.expected) {
            EXPECT_FALSE(found.has_value()) << c.name << " -> " << found.value_or("");
            continue;
        }
        ASSERT_TRUE(found.has_value()) << c.name;
        EXPECT_EQ(std::filesystem::path(*found), folder.path() / c.expected) << c.name;
    }
    // Without an own folder only the search path counts; an empty entry is the current folder.
    folder.write("tool", script, true);
    EXPECT_EQ(resolveProgram("orvane-rx.exe", "", ":p2"), std::optional<std::string>("p2/orvane-rx"));
    EXPECT_EQ(resolveProgram("tool.exe", "", ":p2"), std::optional<std::string>("./tool"));
}

TEST(DetachedStarterTest, StartsWithTheSplitArgumentsInTheCurrentFolder) {
    TestFolder folder;
    // Writes its arguments, one per line, into the current folder; renames at
    // the end so the test never reads a half-written file.
    folder.write(
        "bin/recorder",
        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.tmp\nmv args.tmp args.txt\n",
        true);
    DetachedStarter starter((folder.path() / "bin").string());

    EXPECT_EQ(starter.start("recorder.exe -f \"my rec.wav\" \"\" -p", WindowStyle::normalFocus),
              std::nullopt);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(folder.path() / "args.txt") &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(folder.read("args.txt"), "-f\nmy rec.wav\n\n-p\n");
}

TEST(DetachedStarterTest, KeepsTheLaunchersDescriptors) {
    TestFolder folder;
    folder.write("bin/fdcheck",
                 "#!/bin/sh\nif [ -e /proc/$$/fd/$1 ]; then echo leaked; else echo closed; fi > fd.tmp\n"
                 "mv fd.tmp fd.txt\n",
                 true);
    int inheritable[2];
    ASSERT_EQ(::pipe(inheritable), 0);  // no close-on-exec, as a library might leave it
    DetachedStarter starter((folder.path() / "bin").string());
    EXPECT_EQ(starter.start("fdcheck " + std::to_string(inheritable[1]), WindowStyle::normalFocus),
              std::nullopt);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(folder.path() / "fd.txt") &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(folder.read("fd.txt"), "closed\n");
    ::close(inheritable[0]);
    ::close(inheritable[1]);
}

TEST(DetachedStarterTest, ReportsWhatCannotStart) {
    TestFolder folder;
    folder.write("bin/broken", "#!/nonexistent/interpreter\n", true);
    DetachedStarter starter((folder.path() / "bin").string());
    struct Case {
        const char* line;
        const char* messageStart;
    } cases[] = {
        {"absent.exe x", "cannot find program absent.exe"},
        {"broken", "cannot start "},
        {"", "nothing to start"},
    };
    for (const Case& c : cases) {
        std::optional<std::string> failure = starter.start(c.line, WindowStyle::minimisedFocus);
        ASSERT_TRUE(failure.has_value()) << c.line;
        EXPECT_EQ(failure->rfind(c.messageStart, 0), 0u) << *failure;
    }
}

TEST(DetachedStarterTest, ConsoleProgramsInATerminalWhenAskedFor) {
    TestFolder folder;
    // The program and the terminal write their arguments, one per line; the
    // terminal then runs its command, with no key to wait for.
    const std::string recordArgs =
        "f=${0##*/}; for a in \"$@\"; do printf '%s\\n' \"$a\"; done > $f.tmp; /bin/mv $f.tmp $f.txt\n";
    for (const char* program : {"bin/spec2wav", "bin/phaseview"})
        folder.write(program, "#!/bin/sh\n" + recordArgs, true);
    for (const char* terminal : {"term/x-terminal-emulator", "alt/myterm"})
        folder.write(terminal,
                     "#!/bin/sh\n" + recordArgs +
                         "while [ \"$1\" != -e ]; do shift; done; shift; \"$@\" </dev/null >/dev/null\n",
                     true);
    folder.write("alt/deadterm", "#!/bin/sh\nexit 1\n", true);  // as gnome-terminal without a session bus
    const std::string bin = (folder.path() / "bin").string();
    const std::string system = ":/usr/bin:/bin";
    const std::string previousPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    struct Case {
        const char* name;
        const char* line;
        bool inTerminal;
        std::string path;
        const char* terminalVariable;
        const char* terminalUsed;  // nullptr: started directly
        std::optional<std::string> status;
        const char* late = nullptr;  // the start of the late report, when the program never ran
    } cases[] = {
        {"converter in x-terminal-emulator", "spec2wav.exe a.txt", true, "term" + system, "",
         "x-terminal-emulator", std::nullopt},
        {"else $TERMINAL", "spec2wav.exe a.txt", true, "alt" + system, "myterm", "myterm", std::nullopt},
        {"$TERMINAL first", "spec2wav.exe a.txt", true, "term:alt" + system, "myterm", "myterm",
         std::nullopt},
        {"$TERMINAL with arguments", "spec2wav.exe a.txt", true, "alt" + system, " myterm -hold", "myterm",
         std::nullopt},
        {"terminal ends at once", "spec2wav.exe a.txt", true, "alt" + system, "deadterm", nullptr,
         std::nullopt, "deadterm ended at once (exit code 1): spec2wav did not run"},
        {"viewer has its own window", "phaseview a.txt", true, "term" + system, "", nullptr, std::nullopt},
        {"launcher on a terminal", "spec2wav.exe a.txt", false, "term" + system, "", nullptr, std::nullopt},
        {"no terminal program", "spec2wav.exe a.txt", true, "nothing", "", nullptr,
         "no terminal program ($TERMINAL or x-terminal-emulator) found: spec2wav runs without a window"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* f : {"spec2wav.txt", "phaseview.txt", "x-terminal-emulator.txt", "myterm.txt"})
            std::filesystem::remove(folder.path() / f);
        ::setenv("PATH", c.path.c_str(), 1);
        ::setenv("TERMINAL", c.terminalVariable, 1);
        DetachedStarter starter(bin, c.inTerminal);
        EXPECT_EQ(starter.start(c.line, WindowStyle::minimisedFocus), c.status);
        const std::string program = std::string(c.line).substr(0, std::string(c.line).find_first_of(". "));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::optional<std::string> late;
        while (!std::filesystem::exists(folder.path() / (program + ".txt")) && !late &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            late = starter.lateReport();
        }
        EXPECT_EQ(late.has_value(), c.late != nullptr);
        if (late && c.late) {
            EXPECT_EQ(late->rfind(c.late, 0), 0u) << *late;
        }
        EXPECT_EQ(folder.read(program + ".txt"), c.late ? "" : "a.txt\n");
        std::istringstream words(c.terminalVariable);
        std::vector<std::string> terminal{"-"};
        for (std::string word; words >> word;) terminal.push_back(word);
        terminal.erase(terminal.begin() + 1, terminal.begin() + (terminal.size() > 1 ? 2 : 1));
        const std::vector<std::string> expected = terminalArguments(terminal, {bin + "/" + program, "a.txt"});
        std::string terminalLines;
        for (std::size_t i = 1; i < expected.size(); ++i) terminalLines += expected[i] + "\n";
        for (const char* terminal : {"x-terminal-emulator", "myterm"}) {
            const bool used = c.terminalUsed && std::string(c.terminalUsed) == terminal;
            EXPECT_EQ(std::filesystem::exists(folder.path() / (std::string(terminal) + ".txt")), used)
                << terminal;
            if (used) {
                EXPECT_EQ(folder.read(std::string(terminal) + ".txt"), terminalLines);
            }
        }
    }
    ::setenv("PATH", previousPath.c_str(), 1);
    ::unsetenv("TERMINAL");
}

}  // namespace orv::launcher
