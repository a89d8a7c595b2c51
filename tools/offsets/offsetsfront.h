#pragma once
// Command-line front of the launcher's offset logic: what Wendrake shows and
// the receiver command line it starts, for a WAV file, a start time and a Tx
// frequency, without a window.
#include <string>
#include <vector>

#include "orv/outcome.h"

namespace orv::tools {

// args: the arguments after the program name (see usageText). The value is
// the text for standard output; a failure stops with one line for standard error.
Outcome<std::string> runOffsets(const std::vector<std::string>& args);

std::string usageText();

}  // namespace orv::tools
