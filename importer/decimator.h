#pragma once
// The last step of an audio import: the combined band signal down to the
// output rate. The anti-alias filter (Kaiser-windowed sinc) is flat within
// 0.2 x the output rate either side of 0 Hz and keeps everything that would
// fold onto that band 90 dB down.
#include <complex>
#include <cstdint>
#include <vector>

#include "importer/bandmixer.h"

namespace orv::importer {

class Decimator {
public:
    explicit Decimator(int step);
    // Output sample j stands for band sample j x step (centred, zeros before the first).
    void push(const std::complex<float>* z, std::size_t count, Band& out);
    // The rest, with zeros after the end: output samples j with j x step before it.
    void finish(Band& out);

private:
    void run(Band& out);

    int step_;
    std::int64_t half_;
    std::vector<double> taps_;
    Band history_;  // band samples from origin_ on
    std::int64_t origin_, pushed_ = 0, next_ = 0;
};

}  // namespace orv::importer
