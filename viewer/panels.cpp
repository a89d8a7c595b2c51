#include "viewer/panels.h"

#include <algorithm>
#include <cstddef>

#include "runtime/printusing.h"

namespace orv::viewer {
namespace {

constexpr int gridColour = 1;

// Vertical grid lines at 0, n/10, 2n/10, ... while x <= last, with x summed in
// floats as the drawing has always done (so a line may be one more or fewer
// than ten when n/10 is not exact).
void verticalGrid(runtime::PlotSurface& surface, float n, float last, float yLow, float yHigh) {
    const auto step = static_cast<float>(static_cast<double>(n) / 10);
    for (float x = 0; x <= last; x = static_cast<float>(static_cast<double>(x) + step)) {
        surface.drawLine(runtime::WorldPoint{x, yLow}, runtime::WorldPoint{x, yHigh}, gridColour);
    }
}

void horizontalGrid(runtime::PlotSurface& surface, float yFrom, float yTo, float xLeft, float xRight) {
    for (float y = yFrom; y <= yTo; y += 10) {
        surface.drawLine(runtime::WorldPoint{xLeft, y}, runtime::WorldPoint{xRight, y}, gridColour);
    }
}

// The whole spectrum as one connected line.
void spectrumLine(runtime::PlotSurface& surface, const std::vector<float>& db, float n, int colour) {
    surface.drawPoint(runtime::WorldPoint{0, db[0]}, colour);
    const float last = n - 1;
    for (float x = 1; x <= last; x += 1) {
        surface.drawLine(std::nullopt, runtime::WorldPoint{x, db[static_cast<std::size_t>(x)]}, colour);
    }
}

// The bins within +-span of bin 0 (at index h); with fewer bins than that,
// only those that exist.
void spectrumCentre(runtime::PlotSurface& surface, const std::vector<float>& db, int span, int colour) {
    const auto n = static_cast<long>(db.size());
    const long h = n / 2;
    const long first = std::max<long>(-span, -h);
    const long last = std::min<long>(span, n - 1 - h);
    surface.drawPoint(runtime::WorldPoint{static_cast<float>(first), db[static_cast<std::size_t>(h + first)]},
                      colour);
    for (long x = first; x <= last; ++x) {
        surface.drawLine(std::nullopt,
                         runtime::WorldPoint{static_cast<float>(x), db[static_cast<std::size_t>(h + x)]},
                         colour);
    }
}

}  // namespace

void drawPhaseTrack(runtime::PlotSurface& surface, const std::vector<float>& phaseDeg, float n) {
    surface.setViewport(10, 10, 510, 100, std::nullopt, gridColour);
    const float last = n - 1;
    // One symbol makes a window of no width, which maps nothing.
    if (last <= 0) return;
    surface.setWorldWindow(0, -180, last, 180);
    for (float y = -180; y <= 180; y += 90) {
        surface.drawLine(runtime::WorldPoint{0, y}, runtime::WorldPoint{last, y}, gridColour);
    }
    verticalGrid(surface, n, last, -180, 180);
    for (float i = 0; i <= last; i += 1) {
        surface.drawPoint(runtime::WorldPoint{i, -phaseDeg[static_cast<std::size_t>(i)]}, std::nullopt);
    }
}

void drawConstellation(runtime::PlotSurface& surface, const std::vector<float>& inPhase,
                       const std::vector<float>& quadrature, float peakScale) {
    surface.setViewport(530, 5, 630, 105, std::nullopt, std::nullopt);
    surface.setWorldWindow(-1.05f, -1.05f, 1.05f, 1.05f);
    surface.drawCircle(runtime::WorldPoint{0, 0}, 1, gridColour);
    const double scale = peakScale;
    for (std::size_t i = 0; i < inPhase.size(); ++i) {
        surface.drawPoint(runtime::WorldPoint{static_cast<float>(inPhase[i] / scale),
                                              static_cast<float>(quadrature[i] / scale)},
                          std::nullopt);
    }
}

void drawSpectrumPanels(runtime::PlotSurface& surface, const std::vector<float>& db, float n, int colour) {
    if (db.empty()) return;
    const bool symbols = colour == symbolSpectrumColour;
    // The full spectrum.
    if (symbols) {
        surface.setViewport(10, 120, 510, 240, std::nullopt, gridColour);
    } else {
        surface.setViewport(135, 260, 385, 380, std::nullopt, gridColour);
    }
    surface.setWorldWindow(0, -10, n, 50);
    horizontalGrid(surface, symbols ? -20.0f : -10.0f, symbols ? 40.0f : 50.0f, 0, n);
    verticalGrid(surface, n, n, -10, 50);
    spectrumLine(surface, db, n, colour);

    // The bins around bin 0.
    const int span = symbols ? 25 : 50;
    if (symbols) {
        surface.setViewport(530, 120, 630, 240, std::nullopt, gridColour);
    } else {
        surface.setViewport(530, 260, 630, 380, std::nullopt, gridColour);
    }
    const auto spanF = static_cast<float>(span);
    surface.setWorldWindow(-spanF, -10, spanF, 50);
    horizontalGrid(surface, -10, 50, -spanF, spanF);
    surface.drawLine(runtime::WorldPoint{0, -10}, runtime::WorldPoint{0, 50}, gridColour);
    spectrumCentre(surface, db, span, colour);
}

void printResults(runtime::FileTable& files, runtime::PlotSurface* surface, float n,
                  const AnalysisResult& result) {
    if (surface != nullptr) surface->locateText(24, 1);
    files.printSingle(0, n);
    files.printText(0, " symbols", runtime::Ending::LineEnd);
    files.printLineEnd(0);
    runtime::printUsing(files, 0, " sqared spectrum peak ##.# dB at frequency #.##### (Hz / symbol duration)",
                        {result.squaredPeakDb, result.carrierOffset}, runtime::Ending::LineEnd);
    runtime::printUsing(files, 0, " estimated magnitude of time error #.## (symbol durations)",
                        {result.timeError}, runtime::Ending::LineEnd);
}

}  // namespace orv::viewer
