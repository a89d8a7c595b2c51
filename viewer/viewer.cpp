#include "viewer/viewer.h"

#include "viewer/analysis.h"
#include "viewer/panels.h"

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
    const AnalysisResult result = analyseSymbols(
        symbols.inPhase, symbols.quadrature, work, [&](SpectrumOf which, const std::vector<float>& db) {
            if (surface == nullptr) return;
            drawSpectrumPanels(*surface, db, n,
                               which == SpectrumOf::Symbols ? symbolSpectrumColour : squaredSpectrumColour);
        });

    printResults(files, surface, n, result);
    screen.waitForKey();
    if (surface != nullptr) files.setConsoleSink(nullptr);
    screen.closeSurface();
    return Outcome<>();
}

}  // namespace orv::viewer
