#pragma once
// Starting a program on Linux as the launcher's command line names it: the
// line is split by the Windows rules, the program looked up beside the
// launcher and on PATH, and started without being waited for.
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launcher/programstarter.h"

namespace orv::launcher {

// The programs without a window of their own, by name without ".exe".
inline const std::vector<std::string> consolePrograms = {"spec2wav", "orvane-rx"};

// Splits the line by the Windows rules, resolves the program name with
// resolveProgram and starts it detached (never waited for, never a zombie).
// With consoleInTerminal (the launcher's own output reaches no terminal), a
// console program is started in the desktop's terminal instead, since its
// window style asks for a visible window; without a terminal program it runs
// as before and the returned line says so. A terminal that ends at once with
// a failure (as gnome-terminal does without a session bus) never ran the
// program; lateReport says so once it is known.
class DetachedStarter : public ProgramStarter {
public:
    explicit DetachedStarter(std::string ownFolder, bool consoleInTerminal = false);
    std::optional<std::string> start(const std::string& commandLine, WindowStyle style) override;
    std::optional<std::string> lateReport() override;

    // A terminal that ends within this time with a failure counts as not started.
    static constexpr int terminalWatchMilliseconds = 3000;

    struct Reports {
        std::mutex lock;
        std::deque<std::string> lines;
    };

private:
    std::string ownFolder_;
    bool consoleInTerminal_;
    std::shared_ptr<Reports> reports_ = std::make_shared<Reports>();
};

// The folder of the running program's file, empty when it cannot be found.
std::string ownProgramFolder();

// The program file for a name of a command line: looked for in ownFolder
// first, then in each folder of searchPath (":"-separated, an empty entry is
// the current folder); in each folder the name as given, then without a
// trailing ".exe". A name holding "/" is taken as a path. Only executable
// regular files count.
std::optional<std::string> resolveProgram(std::string_view name, std::string_view ownFolder,
                                          std::string_view searchPath);

// The desktop's terminal program, its file first and then its own arguments:
// terminalVariable ($TERMINAL, the user's choice, split at blanks and tabs as
// a shell splits it, "xterm -hold") when it names a program on searchPath,
// else x-terminal-emulator there; nothing when neither is found.
std::optional<std::vector<std::string>> findTerminal(std::string_view searchPath,
                                                     const char* terminalVariable);

// The argument vector that runs arguments (program file first) in the
// terminal (its file and its own arguments) and keeps the terminal open, after
// the program ends, until a key is pressed.
std::vector<std::string> terminalArguments(const std::vector<std::string>& terminal,
                                           const std::vector<std::string>& arguments);

// Starts programFile with the given argument vector (arguments[0] is the
// program's own name) in the current folder, detached: a grandchild of the
// caller, so nothing has to wait for it. Returns the reason when exec failed.
std::optional<std::string> spawnDetached(const std::string& programFile,
                                         const std::vector<std::string>& arguments);

// The same, but the program stays the caller's child for a thread that waits
// for it: when it ends within watchMilliseconds with a failure, the line
// "<its file name> ended at once (exit code N): <consequence>" goes to reports.
std::optional<std::string> spawnWatched(const std::string& programFile,
                                        const std::vector<std::string>& arguments, int watchMilliseconds,
                                        std::string consequence,
                                        std::shared_ptr<DetachedStarter::Reports> reports);

}  // namespace orv::launcher
