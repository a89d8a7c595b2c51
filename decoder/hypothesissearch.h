#pragma once
// Start and carrier hypotheses, scored by the decoder itself: the symbols
// turned back by a hypothesis's carrier become quantized soft values, and the
// metric of the best path through them is the hypothesis's score. Taking the
// best score chooses path and hypothesis together, as maximum likelihood
// does; no estimate from squared symbols stands in between.
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "decoder/phasetracking.h"
#include "decoder/trellis.h"

namespace orv::decoder {

using Symbols = std::vector<std::complex<double>>;

// Phases of the grid, the polarity among them: 22.5 degrees apart, so that a
// carrier never lies more than 11.25 degrees from one.
inline constexpr int gridPhases = 16;

// Metric units the merge takes off every path of a hypothesis that lies on
// neither -T nor -F: an error in one of them is far likelier than in both, and
// the best of the thousands of cells off both lines is more often noise than
// the best of the few hundred on them (about 7.6 nats at 33 units a nat).
inline constexpr std::int64_t offLinesPrior = 250;

struct Hypothesis {
    std::size_t start = 0;   // which of the candidate starts
    CarrierTrack carrier;    // taken off the symbols
    std::int64_t prior = 0;  // offLinesPrior or 0
};

// The scale of the soft values: 24 units per median symbol magnitude, which
// neither a few strong symbols nor the signal's own level move far. Gaussian
// noise then spans about 20 units per standard deviation, fine enough to lose
// nothing, and the limit of 127 clips only what lies six deviations out.
double softScale(std::span<const std::complex<double>> symbols);

// Real parts of the symbols turned back by the carrier, times scale,
// quantized (trellis.h).
std::vector<std::int16_t> softValues(std::span<const std::complex<double>> symbols,
                                     const CarrierTrack& carrier, double scale);

// Frequencies of the carrier grid: quarter cycles over the message up to
// +-cycles, in cycles per symbol.
std::vector<double> carrierGrid(double cycles, std::size_t symbols);

// Half the angle of the summed squared symbols: the carrier's phase up to
// its polarity, without decisions.
double squaredSymbolsPhase(std::span<const std::complex<double>> symbols);

// Work of one forward pass, in state-steps.
double passWork(const TrellisCode& code);

// The grid: every start x the carriers of `frequencies` x gridPhases
// phases, or, with `phaseFromSquares`, x the phase of the squared symbols
// turned back by the carrier and its opposite (a long message shows its phase
// there reliably). Gives its `most` highest peaks, best first (ties in grid
// order), each more than one start or a quarter cycle over the
// message from the others, the score in carrier.strength. With room for
// them, the cell at `nominalStart` and carrier 0 (unless a peak lies on it),
// the best cell at `nominalStart` (any carrier) and the best on the carrier
// nearest 0 (any start; these two unless a peak lies near them) come after
// the first, in place of the weakest peaks; peaks on neither line carry
// offLinesPrior. Also gives the `cellCount` best cells as they are, ridge
// neighbours included. Runs on up to `cores` threads; the result does not
// depend on them.
struct GridResult {
    std::vector<Hypothesis> peaks;
    std::vector<Hypothesis> cells;
};
GridResult gridPeaks(const TrellisCode& code, const std::vector<Symbols>& starts,
                     std::span<const double> frequencies, double scale, std::size_t most,
                     std::size_t cellCount, std::size_t nominalStart, unsigned cores, VectorPath path,
                     bool phaseFromSquares = false);

// The carrier frequencies of a grid in order of the squared symbols' power
// there (strongest first): where a long message makes that power a reliable
// guide, the decoder scores only the first few.
std::vector<double> strongestFirst(std::span<const std::complex<double>> symbols,
                                   std::span<const double> frequencies);

}  // namespace orv::decoder
