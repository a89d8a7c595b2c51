#include "viewertestsupport.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace orv::viewer {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "phaseview-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempDir::write(std::string_view name, std::string_view bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

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

SignalRun analyseSymbols(const std::vector<float>& inPhase, const std::vector<float>& quadrature) {
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

    computeSpectrumDb(run.work, run.symbols.inPhase.data(), run.symbols.quadrature.data());
    run.symbolDb = run.work.spectrumDb;
    squareSymbols(run.symbols.inPhase, run.symbols.quadrature, run.work);
    computeSpectrumDb(run.work, run.work.squaredI.data(), run.work.squaredQ.data());
    run.squaredDb = run.work.spectrumDb;
    const SquaredPeak peak = findSquaredPeak(run.work.spectrumDb);
    run.result.squaredPeakDb = peak.squaredPeakDb;
    run.result.carrierOffset = peak.carrierOffset;
    correctFrequency(run.symbols.inPhase, run.symbols.quadrature, peak.carrierOffset);
    run.result.timeError = estimateTimeError(run.symbols.inPhase, run.symbols.quadrature);
    return run;
}

std::size_t indexOfMax(const std::vector<float>& values) {
    return static_cast<std::size_t>(std::max_element(values.begin(), values.end()) - values.begin());
}

}  // namespace orv::viewer
