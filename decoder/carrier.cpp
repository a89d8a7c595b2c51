#include "decoder/carrier.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace orv::decoder {
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

std::vector<CarrierEstimate> estimateCarriers(std::span<const std::complex<double>> symbols,
                                              std::size_t most) {
    const CarrierEstimate plain = estimatePhase(symbols);
    if (symbols.size() < 2 || most == 0) return {};
    const double count = double(symbols.size());
    // the squares turn at twice the carrier's frequency
    const int half = int(2 * maxRefinementCycles) * gridPerBin;
    const double step = 1.0 / (count * gridPerBin);
    std::vector<double> power(std::size_t(2 * half + 1));
    for (int i = -half; i <= half; ++i)
        power[std::size_t(i + half)] = std::norm(squaredSum(symbols, i * step, plain.centre));
    std::vector<std::size_t> peaks;
    for (std::size_t i = 0; i < power.size(); ++i)
        if ((i == 0 || power[i] > power[i - 1]) && (i + 1 == power.size() || power[i] >= power[i + 1]))
            peaks.push_back(i);
    std::stable_sort(peaks.begin(), peaks.end(),
                     [&](std::size_t a, std::size_t b) { return power[a] > power[b]; });
    if (peaks.size() > most) peaks.resize(most);
    std::vector<CarrierEstimate> out;
    for (std::size_t i : peaks) {
        double nu = (double(i) - half) * step;
        if (i > 0 && i + 1 < power.size()) {
            // parabola through the peak and its neighbours
            const double a = power[i - 1], b = power[i], c = power[i + 1];
            const double denom = a - 2 * b + c;
            if (denom < 0) nu += step * 0.5 * (a - c) / denom;
        }
        CarrierEstimate e = plain;
        e.frequency = nu / 2;
        e.phase = 0.5 * std::arg(squaredSum(symbols, nu, e.centre));
        out.push_back(e);
    }
    return out;
}

}  // namespace orv::decoder
