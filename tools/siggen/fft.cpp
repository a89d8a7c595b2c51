#include "tools/siggen/fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace orv::tools {

void fftForward(std::vector<std::complex<double>>& data) {
    const std::size_t n = data.size();
    if (n < 2) return;
    // Twiddles are computed directly rather than by repeated multiplication,
    // so their error does not grow along a stage.
    std::vector<std::complex<double>> twiddle(n / 2);
    for (std::size_t i = 0; i < n / 2; ++i) {
        const double angle = -2 * std::numbers::pi * double(i) / double(n);
        twiddle[i] = {std::cos(angle), std::sin(angle)};
    }
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) std::swap(data[i], data[j]);
    }
    for (std::size_t span = 1; span < n; span *= 2) {
        const std::size_t stride = n / (2 * span);
        for (std::size_t k = 0; k < n; k += 2 * span)
            for (std::size_t a = k, t = 0; a < k + span; ++a, t += stride) {
                const std::complex<double> b = twiddle[t] * data[a + span];
                data[a + span] = data[a] - b;
                data[a] += b;
            }
    }
}

}  // namespace orv::tools
