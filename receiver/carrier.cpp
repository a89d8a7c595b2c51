#include "carrier.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace orv::receiver {
namespace {

constexpr double twoPi = 2 * std::numbers::pi;
constexpr int gridPerBin = 8;  // grid points per 1/count of squared frequency

// Sum of z_k^2 turned by -2 pi nu (k - centre).
std::complex<double> squaredSum(std::span<const std::complex<double>> z, double nu, double centre) {
    std::complex<double> sum = 0;
    for (std::size_t k = 0; k < z.size(); ++k)
        sum += z[k] * z[k] * std::polar(1.0, -twoPi * nu * (double(k) - centre));
    return sum;
}

}  // namespace

double CarrierEstimate::phaseAt(double k) const { return phase + twoPi * frequency * (k - centre); }

CarrierEstimate estimatePhase(std::span<const std::complex<double>> symbols) {
    CarrierEstimate e;
    e.centre = symbols.empty() ? 0 : 0.5 * double(symbols.size() - 1);
    std::complex<double> sum = 0;
    for (auto z : symbols) sum += z * z;
    e.phase = 0.5 * std::arg(sum);
    return e;
}

CarrierEstimate estimateCarrier(std::span<const std::complex<double>> symbols) {
    CarrierEstimate e = estimatePhase(symbols);
    if (symbols.size() < 2) return e;
    const double count = double(symbols.size());
    // the squares turn at twice the carrier's frequency
    const int half = int(2 * maxRefinementCycles) * gridPerBin;
    const double step = 1.0 / (count * gridPerBin);
    std::vector<double> power(std::size_t(2 * half + 1));
    int peak = -half;
    for (int i = -half; i <= half; ++i) {
        power[std::size_t(i + half)] = std::norm(squaredSum(symbols, i * step, e.centre));
        if (power[std::size_t(i + half)] > power[std::size_t(peak + half)]) peak = i;
    }
    double nu = peak * step;
    if (peak > -half && peak < half) {
        // parabola through the peak and its neighbours
        const double a = power[std::size_t(peak + half - 1)], b = power[std::size_t(peak + half)],
                     c = power[std::size_t(peak + half + 1)];
        const double denom = a - 2 * b + c;
        if (denom < 0) nu += step * 0.5 * (a - c) / denom;
    }
    e.frequency = nu / 2;
    e.phase = 0.5 * std::arg(squaredSum(symbols, nu, e.centre));
    return e;
}

}  // namespace orv::receiver
