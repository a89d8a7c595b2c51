#pragma once
// Shared pieces of the viewer tests: a scratch folder, a console catcher and
// phaseview's analysis on given symbols.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/textfile.h"
#include "support/scratchfolder.h"
#include "viewer/analysis.h"
#include "viewer/symbolset.h"

namespace orv::viewer {

using testsupport::ScratchFolder;

struct CaptureSink : runtime::ConsoleSink {
    std::string text;
    void write(std::string_view bytes) override { text.append(bytes); }
};

// Records "index I Q phase" with the given line end after each.
std::string symbolRecords(const std::vector<float>& inPhase, const std::vector<float>& quadrature,
                          std::string_view lineEnd = "\r\n");

struct SignalRun {
    SymbolSet symbols;
    SpectrumWork work;
    std::vector<float> symbolDb;   // the symbols' spectrum
    std::vector<float> squaredDb;  // the squares' spectrum
    AnalysisResult result;
    std::string console;  // the running maximum lines
};

// Scales the symbols as phaseview does and runs its own analysis on them.
SignalRun scaleAndAnalyse(const std::vector<float>& inPhase, const std::vector<float>& quadrature);

std::size_t indexOfMax(const std::vector<float>& values);

}  // namespace orv::viewer
