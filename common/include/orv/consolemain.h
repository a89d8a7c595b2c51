#pragma once
// The one end of every console program's main outside the run-time layer.
#include <string>
#include <string_view>
#include <utility>

#include "orv/outcome.h"

namespace orv {

// What a whole run leaves for standard output and how it ends.
struct ConsoleReport {
    ConsoleReport(std::string output = {}, int exitCode = exitDone, std::string warning = {})
        : output(std::move(output)), exitCode(exitCode), warning(std::move(warning)) {}
    std::string output;
    int exitCode = exitDone;
    std::string warning;  // a line for standard error that does not change the exit code
};

// Writes the run's output to standard output and a failure (or a warning) as
// one line "<program>: <message>" to standard error, and gives main's exit code. A
// standard output that cannot take the output is a failure of its own
// (errFileIO, unless the run ended with another code); a reader that went
// away (a closed pipe) chose to stop reading and costs nothing. Bytes a
// terminal would act on are shown as \xHH (printableText), line ends excepted.
int finishConsoleProgram(std::string_view program, const Outcome<ConsoleReport>& result);

}  // namespace orv
