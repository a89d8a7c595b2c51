#pragma once
// What the importer's files must be before it reads or writes: an input that
// is a file (not a folder, FIFO or device), and an output that is neither one
// of its inputs nor anything but a file, since the output replaces its name.
#include <string>
#include <vector>

#include "orv/outcome.h"

namespace orv::importer {

// A missing input: errFileNotFound, with a hint at the SigMF meta when one
// lies beside it. Anything but a regular file: exitBadInput.
Outcome<void> checkInputFile(const std::string& path);

// An existing output that is no regular file, or that is one of the inputs
// (also through another name): exitBadInput.
Outcome<void> checkOutputFile(const std::string& path, const std::vector<std::string>& inputs);

}  // namespace orv::importer
