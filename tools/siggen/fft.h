#pragma once
// Small in-place radix-2 FFT in double precision, forward sign
// (X(k) = sum x(n) e^{-2 pi i k n / N}), no scaling.
#include <complex>
#include <vector>

namespace orv::tools {

// data.size() must be a power of two (1 is allowed).
void fftForward(std::vector<std::complex<double>>& data);

}  // namespace orv::tools
