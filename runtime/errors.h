#pragma once
// The numbered run-time error report and the one exit path of spec2wav and
// phaseview: close the window, close every file, write the report, exit.
#include <functional>
#include <string>
#include <string_view>

#include "orv/outcome.h"

namespace orv::runtime {

std::string_view errorText(int error);  // empty for 0 and for 18 and up

// The report text, cut to 1023 bytes. An empty module gives the closing "\n\n".
std::string composeReport(int error, int site, std::string_view module);

[[noreturn]] void raiseAtSite(int site, std::string_view module);  // programFiles().lastError()
[[noreturn]] void raiseError(int error, int site, std::string_view module);
// A normal end (code 0) whose files could not all be written ends instead
// with the report of error 3 and exit code 3.
[[noreturn]] void endProgram(int exitCode);
// One line (a line end is added) on standard error, then the exit path.
[[noreturn]] void stopWithMessage(std::string_view message, int exitCode);
// How main.cpp ends on a failed Outcome: the numbered report with the
// program's module name, or the stop line with its exit code.
[[noreturn]] void endWithFailure(const Failure& failure, std::string_view module);

// Runs first on the exit path (phaseview closes its window here).
void setBeforeExit(std::function<void()> hook);

// Interrupt, illegal instruction, arithmetic fault, access violation,
// termination, abort and quit end the program with errors 9..15 and a
// report without site and module. An allocation failure that no site
// catches ends it with error 4, also without site and module. Every other
// signal that ends the program removes the temporary files first; a
// file-size limit (SIGXFSZ, ignored since start-up) is a failed write, error
// 3 at its site.
void installSignalReports();

// The start-up check: prints "This program requires at least a 486 to run."
// and exits with 1 on a processor that is not an x86 of family 4 or later.
// Other architectures pass: nothing that old runs this build.
void requireProcessor();

// The arguments after the program name, joined by single blanks.
std::string commandLineText(int argc, const char* const* argv);

}  // namespace orv::runtime
