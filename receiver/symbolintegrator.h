#pragma once
// Mixes a transmission to zero frequency and integrates its symbol periods.
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "orv/outcome.h"
#include "receiver/rxoptions.h"
#include "receiver/wavefile.h"

namespace orv::receiver {

struct ReceivedSymbols {
    std::vector<std::complex<double>> symbols;  // mean baseband value over each period (of the kept samples)
    double meanPower = 0;                       // mean of |symbol|^2
    double spanBegin = 0;                       // sample positions covered, [begin, end)
    double spanEnd = 0;
    std::size_t samples = 0;  // samples the periods touch
    std::size_t blanked = 0;  // of them left out
};

// Sample n stands for the sample positions [n - 1/2, n + 1/2): the period of
// symbol k, [(T + kS) rate, (T + (k+1)S) rate), weights each sample by the
// length of its overlap, so fractional starts are not rounded away. The
// converter leaves a carrier F Hz above centre turning clockwise (its spectrum
// is conjugated); the symbols are conjugated back and turned by -F, which puts
// them in the transmitter's own phase sense, at rest. Samples marked in
// `blanked` (one per wave.samples, blanker.h) are left out: a symbol is then
// the mean of the samples it kept.
Outcome<ReceivedSymbols> integrateSymbols(const WaveRecording& wave, const RxOptions& options,
                                          std::span<const std::uint8_t> blanked = {});

}  // namespace orv::receiver
