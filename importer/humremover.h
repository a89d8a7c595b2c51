#pragma once
// Mains hum out of one channel's band signal. The harmonics of the mains
// frequency are one periodic waveform: a comb learns it period by period and
// subtracts it, all harmonics at once at a fixed cost per sample. Its period
// follows the mains frequency: found at the start from the harmonics' pattern
// in a spectrum, then kept by the gradient of the residual power.
#include <array>
#include <complex>
#include <cstdint>
#include <vector>

#include "importer/bandmixer.h"

namespace orv::importer {

class HumRemover {
public:
    // Band samples this many give the start its spectrum (fewer when the recording is shorter).
    static constexpr std::size_t startSamples = 1 << 15;

    HumRemover(double bandRate, double centre, double band, double mains, VectorPath path = bestBandPath());
    // Removes the hum from z in place; the first call finds the mains frequency.
    void process(Band& z);
    double mainsFrequency() const { return bandRate_ / period_; }
    // Whether the start showed a series of mains harmonics; without one nothing is removed.
    bool found() const { return found_; }

private:
    void acquire(const Band& z);
    void setPeriod(double samples);

    VectorPath path_;
    double bandRate_, centreCycles_, band_, mains_;
    double period_, shortest_, longest_;  // in band samples
    std::complex<double> turn_;           // the centre's phase over one period, backwards
    std::vector<float> re_, im_;          // the learnt waveform, a ring of 2^k samples held twice
    std::size_t mask_;
    std::int64_t next_ = 0;
    bool acquired_ = false, found_ = false;
    double level_ = 0;                                 // running median of the residual's magnitude
    double slopeSum_ = 0, slopeNorm_ = 0, drift_ = 0;  // drift_: of the period per block
    int inBlock_ = 0, blockLength_;
    double highPass_;               // one-pole coefficient of the gradient's high-pass
    std::array<double, 8> lows_{};  // its low-pass states: 2 stages x (residual, change)
};

}  // namespace orv::importer
