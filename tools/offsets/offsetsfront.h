#pragma once
// Command-line front of the launcher's offset logic: what Wendrake shows and
// the receiver command line it starts, for a WAV file, a start time and a Tx
// frequency, without a window.
#include <string>
#include <vector>

namespace orv::tools {

struct FrontResult {
    int exitCode = 0;
    std::string output;
    std::string error;
};

// args: the arguments after the program name (see usageText).
FrontResult runOffsets(const std::vector<std::string>& args);

std::string usageText();

}  // namespace orv::tools
