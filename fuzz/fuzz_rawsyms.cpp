// Arbitrary bytes as the viewer's symbol file: the count from its last line,
// the records and the scaling for up to maxRead symbols, and the analysis for
// up to maxAnalysed (its transform is O(n^2)). The file lives in a private
// folder made once per process and removed at exit.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "runtime/textfile.h"
#include "viewer/analysis.h"
#include "viewer/symbolset.h"

namespace {

constexpr float maxRead = 4096;
constexpr float maxAnalysed = 256;

class QuietConsole : public orv::runtime::ConsoleSink {
public:
    void write(std::string_view) override {}
};

std::string folder;
std::string path;

void removeFolder() {
    std::remove(path.c_str());
    rmdir(folder.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/fuzz-rawsyms-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    folder = pattern;
    path = folder + "/" + std::string(orv::symbolFileName);
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) std::abort();
    }
    orv::runtime::FileTable files;
    QuietConsole console;
    files.setConsoleSink(&console);

    if (files.openFile(path, orv::runtime::FileMode::Input, 1) != 0) std::abort();
    float count = 0;
    if (!orv::viewer::lookupSymbolCount(files, 1, count)) std::abort();  // a plain file always positions
    files.closeFile(1);
    // Larger sets are refused before anything is allocated; only the
    // accepted large ones are skipped, to keep a run small.
    if (count > maxRead && count <= orv::viewer::maxSymbolCount) return 0;

    orv::viewer::SymbolSet symbols;
    orv::viewer::SpectrumWork work;
    const orv::Outcome<> read = orv::viewer::readSymbols(files, symbols, work, path);
    if (!read.ok() && read.failure().kind == orv::Failure::Kind::RunTimeError)
        std::abort();  // the file opens and fits in memory
    if (!read.ok()) {
        if (read.error().empty() || read.exitCode() == 0) std::abort();
        return 0;
    }
    const auto n = static_cast<std::size_t>(count);
    if (symbols.count != count || !(count >= 1) || count != std::floor(count)) std::abort();
    if (symbols.inPhase.size() != n || symbols.quadrature.size() != n || symbols.phaseDeg.size() != n ||
        work.spectrumDb.size() != n || work.twiddleCos.size() != n)
        std::abort();

    const orv::Outcome<> scaled = orv::viewer::normaliseSymbols(symbols, files);
    if (!scaled.ok()) {
        if (scaled.failure().kind != orv::Failure::Kind::Stop || scaled.error().empty()) std::abort();
        return 0;
    }
    if (!(symbols.rmsLevel > 0) || !std::isfinite(symbols.rmsLevel) || !std::isfinite(symbols.peakScale))
        std::abort();
    // Unit RMS afterwards, unless the level sits where floats lose digits.
    double power = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double re = symbols.inPhase[i];
        const double im = symbols.quadrature[i];
        if (!std::isfinite(re) || !std::isfinite(im)) std::abort();
        power += re * re + im * im;
    }
    if (symbols.rmsLevel > 1e-15f && std::abs(power / double(n) - 1) > 1e-3) std::abort();
    if (count > maxAnalysed) return 0;

    orv::viewer::computeSpectrumDb(work, symbols.inPhase.data(), symbols.quadrature.data());
    orv::viewer::squareSymbols(symbols.inPhase, symbols.quadrature, work);
    orv::viewer::computeSpectrumDb(work, work.squaredI.data(), work.squaredQ.data());
    for (const float db : work.spectrumDb)
        if (!std::isfinite(db) || db < orv::viewer::floorDb) std::abort();
    const orv::viewer::SquaredPeak peak = orv::viewer::findSquaredPeak(work.spectrumDb);
    if (!std::isfinite(peak.carrierOffset) || !std::isfinite(peak.squaredPeakDb)) std::abort();
    orv::viewer::correctFrequency(symbols.inPhase, symbols.quadrature, peak.carrierOffset);
    orv::viewer::estimateTimeError(symbols.inPhase, symbols.quadrature);  // NaN for one symbol or all zero
    return 0;
}
