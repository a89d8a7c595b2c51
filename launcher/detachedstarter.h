#pragma once
// Starting a program on Linux as the launcher's command line names it: the
// line is split by the Windows rules, the program looked up beside the
// launcher and on PATH, and started without being waited for.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "programstarter.h"

namespace orv::launcher {

// Splits the line by the Windows rules, resolves the program name with
// resolveProgram and starts it detached (never waited for, never a zombie).
// The window style means nothing for a Linux program and is not used.
class DetachedStarter : public ProgramStarter {
public:
    explicit DetachedStarter(std::string ownFolder);
    std::optional<std::string> start(const std::string& commandLine, WindowStyle style) override;

private:
    std::string ownFolder_;
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

// Starts programFile with the given argument vector (arguments[0] is the
// program's own name) in the current folder, detached: a grandchild of the
// caller, so nothing has to wait for it. Returns the reason when exec failed.
std::optional<std::string> spawnDetached(const std::string& programFile,
                                         const std::vector<std::string>& arguments);

}  // namespace orv::launcher
