#pragma once
// Carrier phase and a small residual frequency from BPSK symbols. Squaring
// takes the modulation off, so both estimates leave a 180-degree ambiguity
// that the caller resolves.
#include <complex>
#include <span>
#include <vector>

namespace orv::decoder {

// Largest residual the refinement looks for: this many cycles of carrier
// phase over the symbols. A wider search locks onto noise more often.
inline constexpr double maxRefinementCycles = 2.0;

struct CarrierEstimate {
    double phase = 0;      // radians, at symbol `centre`, modulo pi
    double frequency = 0;  // cycles per symbol
    double centre = 0;     // symbol index the phase refers to
    // phase of symbol k: phase + 2 pi frequency (k - centre)
    double phaseAt(double k) const;
};

// Phase only: half the angle of the sum of the squared symbols.
CarrierEstimate estimatePhase(std::span<const std::complex<double>> symbols);

// Phase and frequency: the highest peaks (at most `most`, the highest first)
// of the squared symbols' spectrum within +-maxRefinementCycles over the
// symbols, each with the phase of the turned-back squares. At low SNR noise
// can outgrow the carrier's own peak, so the next ones keep a chance.
std::vector<CarrierEstimate> estimateCarriers(std::span<const std::complex<double>> symbols,
                                              std::size_t most);

}  // namespace orv::decoder
