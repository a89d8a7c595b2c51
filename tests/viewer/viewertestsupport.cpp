#include "viewertestsupport.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace orv::viewer {

namespace {
std::string shortest(float v) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}
}  // namespace

std::string symbolRecords(const std::vector<float>& inPhase, const std::vector<float>& quadrature,
                          std::string_view lineEnd) {
    std::string text;
    for (std::size_t i = 0; i < inPhase.size(); ++i) {
        text += std::to_string(i) + " " + shortest(inPhase[i]) + " " + shortest(quadrature[i]) + " 0";
        text += lineEnd;
    }
    return text;
}

SignalRun scaleAndAnalyse(const std::vector<float>& inPhase, const std::vector<float>& quadrature) {
    SignalRun run;
    run.symbols.count = static_cast<float>(inPhase.size());
    run.symbols.inPhase = inPhase;
    run.symbols.quadrature = quadrature;
    run.symbols.phaseDeg.assign(inPhase.size(), 0.0f);
    allocateWorkArrays(run.work, inPhase.size());
    fillTwiddleTables(run.work, inPhase.size());

    runtime::FileTable files;
    CaptureSink console;
    files.setConsoleSink(&console);
    const Outcome<> scaled = normaliseSymbols(run.symbols, files);
    run.console = console.text;
    if (!scaled.ok()) throw std::runtime_error("symbols could not be scaled: " + scaled.error());

    run.result = analyseSymbols(run.symbols.inPhase, run.symbols.quadrature, run.work,
                                [&](SpectrumOf which, const std::vector<float>& db) {
                                    (which == SpectrumOf::Symbols ? run.symbolDb : run.squaredDb) = db;
                                });
    return run;
}

std::size_t indexOfMax(const std::vector<float>& values) {
    return static_cast<std::size_t>(std::max_element(values.begin(), values.end()) - values.begin());
}

}  // namespace orv::viewer
