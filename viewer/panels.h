#pragma once
// The viewer's six panels and its text rows.
#include <vector>

#include "runtime/surface.h"
#include "runtime/textfile.h"
#include "viewer/analysis.h"

namespace orv::viewer {

// Panel 1: phaseDeg against symbol number, the sign inverted.
void drawPhaseTrack(runtime::PlotSurface& surface, const std::vector<float>& phaseDeg, float n);
// Panel 2: the normalised symbols inside the unit circle.
void drawConstellation(runtime::PlotSurface& surface, const std::vector<float>& inPhase,
                       const std::vector<float>& quadrature, float peakScale);

inline constexpr int symbolSpectrumColour = 4;   // panels 3 and 4
inline constexpr int squaredSpectrumColour = 3;  // panels 5 and 6
// Panels 3 and 4 for colour 4, panels 5 and 6 otherwise.
void drawSpectrumPanels(runtime::PlotSurface& surface, const std::vector<float>& spectrumDb, float n,
                        int colour);

// Rows 24, 26 and 27 on file 0 (the surface's text rows while it is open).
void printResults(runtime::FileTable& files, runtime::PlotSurface* surface, float n,
                  const AnalysisResult& result);

}  // namespace orv::viewer
