#pragma once
// The first step of an audio import, one real channel at a time: the band
// around the centre, mixed to 0 Hz and kept at the band rate (the input rate
// divided by a whole step). The band filter is a Gaussian whose noise
// bandwidth is the band: no ringing, so an impulse stays about 1/band long.
#include <complex>
#include <cstdint>
#include <vector>

#include "orv/vectorpath.h"

namespace orv::importer {

using Band = std::vector<std::complex<float>>;

VectorPath bestBandPath();

class BandMixer {
public:
    // Rates in Hz; step: input samples per band sample.
    BandMixer(double inputRate, double centre, double band, int step, VectorPath path = bestBandPath());

    // Takes count samples, every stride-th float of audio, and appends the band
    // samples they complete. Band sample m stands for input sample m x step:
    // the filter is centred on it, with zeros before the first input sample.
    void push(const float* audio, std::size_t count, std::size_t stride, Band& out);
    // The rest, with zeros after the last input sample: band samples m with
    // m x step before the end.
    void finish(Band& out);

    std::size_t taps() const { return re_.size(); }

private:
    void run(Band& out, std::int64_t end);

    double cyclesPerInput_;
    int step_;
    std::int64_t half_;           // the filter spans [-half, half] input samples
    std::vector<float> re_, im_;  // h(k) cos, sin of the centre's phase at k, in window order
    std::vector<float> history_;  // input samples from origin_ on
    std::vector<float> sums_;     // re, im of each new band sample before mixing
    std::int64_t origin_, pushed_ = 0, next_ = 0;
    std::complex<double> mixer_, mixerStep_;
    VectorPath path_;
};

}  // namespace orv::importer
