#pragma once
// Shared pieces of the viewer tests: a scratch folder, a console catcher and
// the analysis sequence on given symbols.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "analysis.h"
#include "symbolset.h"
#include "textfile.h"

namespace orv::viewer {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }
    void write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

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

// Scales the symbols and runs the analysis in the viewer's order.
SignalRun analyseSymbols(const std::vector<float>& inPhase, const std::vector<float>& quadrature);

std::size_t indexOfMax(const std::vector<float>& values);

}  // namespace orv::viewer
