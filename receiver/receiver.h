#pragma once
// The whole run of orvane-rx: options, recording, symbols, symbol file,
// decoding, message file.
#include <string>
#include <vector>

#include "orv/consolemain.h"
#include "orv/outcome.h"

namespace orv::receiver {

// Nothing passed the check: a result of the run, not a failure of it.
inline constexpr int exitNoMessage = 1;

// For standard output: help text, or the summary and decode lines.
using RunReport = ConsoleReport;

// args: the arguments after the program name. Writes "rawsyms.txt" in the
// current directory only when everything before it succeeded, then decodes
// into "message.txt" (and removes an earlier one first). A failure stops with
// one line for standard error.
Outcome<RunReport> runReceiver(const std::vector<std::string>& args);

}  // namespace orv::receiver
