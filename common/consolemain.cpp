#include "orv/consolemain.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "orv/printable.h"

namespace orv {

namespace {

// Every line shown safely; the line ends stay.
std::string printableLines(std::string_view text) {
    std::string out;
    for (std::size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1))
        out += printableText(text.substr(0, end)) + "\n";
    return out + printableText(text);
}

}  // namespace

int finishConsoleProgram(std::string_view program, const Outcome<ConsoleReport>& result) {
    const std::string prefix = std::string(program) + ": ";
    errno = 0;
    const std::string output = result ? printableLines(result->output) : std::string();
    const bool printed =
        std::fwrite(output.data(), 1, output.size(), stdout) == output.size() && std::fflush(stdout) == 0;
    const int writeError = errno;
    if (!result) std::fputs((prefix + printableText(result.error()) + "\n").c_str(), stderr);
    if (result && !result->warning.empty())
        std::fputs((prefix + printableText(result->warning) + "\n").c_str(), stderr);
    const int exitCode = result ? result->exitCode : result.exitCode();
    if (printed || writeError == EPIPE) return exitCode;
    std::fputs((prefix + "cannot write to standard output: " + std::strerror(writeError) + "\n").c_str(),
               stderr);
    return exitCode != exitDone ? exitCode : errFileIO;
}

}  // namespace orv
