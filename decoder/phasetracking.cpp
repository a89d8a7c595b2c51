#include "decoder/phasetracking.h"

#include <cmath>
#include <numbers>

namespace orv::decoder {
namespace {

constexpr double twoPi = 2 * std::numbers::pi;
constexpr int gridPerCycle = 16;  // frequency grid: 1/16 cycle over the message
constexpr double significance = 3;

// How well a phase estimate u predicts the symbol rho: the part of rho along
// u. Summed over the symbols it is the signal the estimate keeps.
double along(std::complex<double> rho, std::complex<double> u) {
    const double size = std::abs(u);
    return size > 0 ? (rho * std::conj(u)).real() / size : 0.0;
}

}  // namespace

double CarrierTrack::phaseAt(std::size_t k) const {
    return phase + twoPi * frequency * (double(k) - centre) + (wander.empty() ? 0.0 : wander[k]);
}

CarrierTrack fitCarrier(std::span<const std::complex<double>> symbols, std::span<const std::int8_t> decisions,
                        double around, double spanCycles) {
    CarrierTrack track;
    const std::size_t n = symbols.size();
    if (n == 0) return track;
    track.centre = 0.5 * double(n - 1);
    std::vector<std::complex<double>> r(n);
    for (std::size_t k = 0; k < n; ++k) r[k] = double(decisions[k]) * symbols[k];
    const auto sumAt = [&](double f) {
        std::complex<double> sum = 0;
        for (std::size_t k = 0; k < n; ++k)
            sum += r[k] * std::polar(1.0, -twoPi * f * (double(k) - track.centre));
        return sum;
    };
    const double step = 1.0 / (gridPerCycle * double(n));
    const int half = int(std::ceil(spanCycles * gridPerCycle));
    std::vector<double> power(std::size_t(2 * half + 1));
    std::size_t best = 0;
    for (std::size_t i = 0; i < power.size(); ++i) {
        power[i] = std::norm(sumAt(around + (double(i) - half) * step));
        if (power[i] > power[best]) best = i;
    }
    double offset = 0;
    if (best > 0 && best + 1 < power.size()) {
        // parabola through the peak and its neighbours
        const double a = power[best - 1], b = power[best], c = power[best + 1];
        const double denom = a - 2 * b + c;
        if (denom < 0) offset = 0.5 * (a - c) / denom;
    }
    track.frequency = around + (double(best) - half + offset) * step;
    const std::complex<double> sum = sumAt(track.frequency);
    track.phase = std::arg(sum);
    track.strength = std::abs(sum);
    return track;
}

namespace {

// rho smoothed by the two-sided exponential window whose memory predicts
// each rho best from the others around it, when that beats the line (the
// mean of all others) clearly: its gain summed over the symbols beyond three times
// what the gains' own scatter would give by chance. Empty otherwise.
std::vector<std::complex<double>> smoothedWhenItPays(const std::vector<std::complex<double>>& rho) {
    const std::size_t n = rho.size();
    std::vector<std::complex<double>> forward(n), backward(n);
    std::complex<double> total = 0;
    for (const auto& r : rho) total += r;
    std::vector<double> line(n);
    for (std::size_t k = 0; k < n; ++k) line[k] = along(rho[k], total - rho[k]);
    const auto smooth = [&](double memory) {
        const double a = 1 - 1 / memory;
        for (std::size_t k = 0; k < n; ++k) forward[k] = (k > 0 ? a * forward[k - 1] : 0.0) + rho[k];
        for (std::size_t k = n; k-- > 0;) backward[k] = (k + 1 < n ? a * backward[k + 1] : 0.0) + rho[k];
        return a;
    };
    double bestGain = 0, bestMemory = 0;
    for (double memory = 4; memory < double(n); memory *= 2) {
        const double a = smooth(memory);  // the symbol itself left out
        double gain = 0, scatter = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const double g =
                along(rho[k], a * ((k > 0 ? forward[k - 1] : 0.0) + (k + 1 < n ? backward[k + 1] : 0.0))) -
                line[k];
            gain += g;
            scatter += g * g;
        }
        if (gain > bestGain && gain > significance * std::sqrt(scatter)) {
            bestGain = gain;
            bestMemory = memory;
        }
    }
    if (bestMemory == 0) return {};
    smooth(bestMemory);
    std::vector<std::complex<double>> out(n);
    for (std::size_t k = 0; k < n; ++k) out[k] = forward[k] + backward[k] - rho[k];
    return out;
}

}  // namespace

void followWander(CarrierTrack& track, std::span<const std::complex<double>> symbols,
                  std::span<const std::int8_t> decisions) {
    track.wander.clear();
    std::vector<std::complex<double>> rho(symbols.size());
    for (std::size_t k = 0; k < rho.size(); ++k)
        rho[k] = double(decisions[k]) * symbols[k] * std::polar(1.0, -track.phaseAt(k));
    const auto smoothed = smoothedWhenItPays(rho);
    for (const auto& v : smoothed) track.wander.push_back(std::arg(v));
}

void followSquares(CarrierTrack& track, std::span<const std::complex<double>> symbols) {
    track.wander.clear();
    std::vector<std::complex<double>> rho(symbols.size());
    for (std::size_t k = 0; k < rho.size(); ++k)
        rho[k] = symbols[k] * symbols[k] * std::polar(1.0, -2 * track.phaseAt(k));
    const auto smoothed = smoothedWhenItPays(rho);
    // half the angle of the squares, kept continuous so that no half-turn jump appears
    double angle = 0;
    for (std::size_t k = 0; k < smoothed.size(); ++k) {
        const double a = std::arg(smoothed[k]);
        angle = k == 0 ? a : angle + std::remainder(a - angle, 2 * std::numbers::pi);
        track.wander.push_back(angle / 2);
    }
}

}  // namespace orv::decoder
