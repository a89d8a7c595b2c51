#pragma once
// The whole run of orvane-rx: options, recording, symbols, symbol file.
#include <string>
#include <vector>

namespace orv::receiver {

struct RunResult {
    int exitCode = 0;
    std::string output;  // for standard output (help text or the summary line)
    std::string error;   // one line for standard error when exitCode != 0
};

// args: the arguments after the program name. Writes "rawsyms.txt" in the
// current directory only when everything before it succeeded.
RunResult runReceiver(const std::vector<std::string>& args);

}  // namespace orv::receiver
