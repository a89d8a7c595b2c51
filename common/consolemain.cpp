#include "orv/consolemain.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orv {

int finishConsoleProgram(std::string_view program, const Outcome<ConsoleReport>& result) {
    const std::string prefix = std::string(program) + ": ";
    errno = 0;
    const std::string& output = result ? result->output : std::string();
    const bool printed =
        std::fwrite(output.data(), 1, output.size(), stdout) == output.size() && std::fflush(stdout) == 0;
    const int writeError = errno;
    if (!result) std::fputs((prefix + result.error() + "\n").c_str(), stderr);
    if (result && !result->warning.empty()) std::fputs((prefix + result->warning + "\n").c_str(), stderr);
    const int exitCode = result ? result->exitCode : result.exitCode();
    if (printed || writeError == EPIPE) return exitCode;
    std::fputs((prefix + "cannot write to standard output: " + std::strerror(writeError) + "\n").c_str(),
               stderr);
    return exitCode != exitDone ? exitCode : errFileIO;
}

}  // namespace orv
