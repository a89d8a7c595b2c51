#pragma once
// The whole run of orvane-rx: options, recording, symbols, symbol file.
#include <string>
#include <vector>

#include "orv/outcome.h"

namespace orv::receiver {

// args: the arguments after the program name. Writes "rawsyms.txt" in the
// current directory only when everything before it succeeded. The value is
// the text for standard output (help text or the summary line); a failure
// stops with one line for standard error.
Outcome<std::string> runReceiver(const std::vector<std::string>& args);

}  // namespace orv::receiver
