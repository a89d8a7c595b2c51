#pragma once
// The carrier from tentative decisions: the coded symbols of a decoded path
// take the modulation off the received symbols and leave the carrier, whose
// phase, frequency and wandering are then measured with the whole message's
// energy instead of the squared symbols' (which lose the most at low SNR).
#include <complex>
#include <span>
#include <vector>

namespace orv::decoder {

struct CarrierTrack {
    double phase = 0;            // radians at symbol `centre`
    double frequency = 0;        // cycles per symbol
    double centre = 0;           // (count - 1) / 2
    std::vector<double> wander;  // radians per symbol on top of the line; empty when the line alone fits
    double strength = 0;  // |sum of the symbols turned back by the line and multiplied by the decisions|

    double phaseAt(std::size_t k) const;
};

// The line (phase and frequency) that fits the symbols times the decisions
// (+1 or -1) best: the frequency is looked for within +-spanCycles over the
// message around `around` (cycles per symbol), then refined.
CarrierTrack fitCarrier(std::span<const std::complex<double>> symbols, std::span<const std::int8_t> decisions,
                        double around, double spanCycles);

// Adds the wandering phase when following it predicts each symbol better than
// the line does, judged on every symbol from the others around it (so the
// noise of the symbol itself cannot make a follower look good). The
// follower's memory is chosen the same way; nothing is added for a carrier
// that keeps to its line.
void followWander(CarrierTrack& track, std::span<const std::complex<double>> symbols,
                  std::span<const std::int8_t> decisions);

// The same without decisions, from the squared symbols, which take the
// modulation off by themselves: weaker (their noise is squared too), but no
// wrong decision pulls it back to the line, so a fast wander at a high SNR,
// which leaves no decision right, is followed by it.
void followSquares(CarrierTrack& track, std::span<const std::complex<double>> symbols);

}  // namespace orv::decoder
