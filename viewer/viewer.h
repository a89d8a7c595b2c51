#pragma once
// phaseview's whole run: read and scale the symbols, draw the six panels with
// the analysis in between, print the results, wait for a key.
#include <string_view>

#include "orv/outcome.h"
#include "runtime/surface.h"
#include "runtime/textfile.h"
#include "viewer/symbolset.h"

namespace orv::viewer {

Outcome<> runViewer(runtime::Screen& screen, runtime::FileTable& files,
                    std::string_view symbolFile = symbolFileName);

}  // namespace orv::viewer
