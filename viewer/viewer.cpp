#include "viewer.h"

#include "analysis.h"
#include "panels.h"

namespace orv::viewer {

Outcome<> runViewer(runtime::Screen& screen, runtime::FileTable& files, std::string_view symbolFile) {
    SymbolSet symbols;
    SpectrumWork work;
    if (Outcome<> read = readSymbols(files, symbols, work, symbolFile); !read.ok()) return read;
    if (Outcome<> scaled = normaliseSymbols(symbols, files); !scaled.ok()) return scaled;

    screen.openSurface(runtime::surfaceMode);
    runtime::PlotSurface* surface = screen.surface();
    // File 0 prints on the text rows while the surface is open.
    if (surface != nullptr) files.setConsoleSink(surface);
    const float n = symbols.count;

    if (surface != nullptr) {
        drawPhaseTrack(*surface, symbols.phaseDeg, n);
        drawConstellation(*surface, symbols.inPhase, symbols.quadrature, symbols.peakScale);
    }
    computeSpectrumDb(work, symbols.inPhase.data(), symbols.quadrature.data());
    if (surface != nullptr) drawSpectrumPanels(*surface, work.spectrumDb, n, symbolSpectrumColour);

    squareSymbols(symbols.inPhase, symbols.quadrature, work);
    computeSpectrumDb(work, work.squaredI.data(), work.squaredQ.data());
    if (surface != nullptr) drawSpectrumPanels(*surface, work.spectrumDb, n, squaredSpectrumColour);

    AnalysisResult result;
    const SquaredPeak peak = findSquaredPeak(work.spectrumDb);
    result.squaredPeakDb = peak.squaredPeakDb;
    result.carrierOffset = peak.carrierOffset;
    // The corrected symbols replace the normalised ones; nothing needs those any more.
    correctFrequency(symbols.inPhase, symbols.quadrature, result.carrierOffset);
    result.timeError = estimateTimeError(symbols.inPhase, symbols.quadrature);

    printResults(files, surface, n, result);
    screen.waitForKey();
    if (surface != nullptr) files.setConsoleSink(nullptr);
    screen.closeSurface();
    return Outcome<>();
}

}  // namespace orv::viewer
