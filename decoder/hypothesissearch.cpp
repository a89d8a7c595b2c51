#include "decoder/hypothesissearch.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "orv/parallelfor.h"

namespace orv::decoder {
namespace {

constexpr double pi = std::numbers::pi;
constexpr int phases = gridPhases;
constexpr double gridCycles = 0.25;
constexpr double softUnits = 24;

}  // namespace

double softScale(std::span<const std::complex<double>> symbols) {
    std::vector<double> size;
    for (const auto& v : symbols) size.push_back(std::abs(v));
    if (size.empty()) return 1;
    std::nth_element(size.begin(), size.begin() + std::ptrdiff_t(size.size() / 2), size.end());
    const double median = size[size.size() / 2];
    return median > 0 ? softUnits / median : 1;
}

std::vector<std::int16_t> softValues(std::span<const std::complex<double>> symbols,
                                     const CarrierTrack& carrier, double scale) {
    std::vector<std::int16_t> soft(symbols.size());
    for (std::size_t k = 0; k < symbols.size(); ++k) {
        const double a = carrier.phaseAt(k);
        soft[k] = quantized(symbols[k].real() * std::cos(a) + symbols[k].imag() * std::sin(a), scale);
    }
    return soft;
}

std::vector<double> carrierGrid(double cycles, std::size_t symbols) {
    const int half = int(std::floor(cycles / gridCycles + 1e-9));
    std::vector<double> grid;
    for (int i = -half; i <= half; ++i)
        grid.push_back(i * gridCycles / double(std::max<std::size_t>(symbols, 1)));
    return grid;
}

double squaredSymbolsPhase(std::span<const std::complex<double>> symbols) {
    std::complex<double> squares = 0;
    for (const auto& v : symbols) squares += v * v;
    return 0.5 * std::arg(squares);
}

double passWork(const TrellisCode& code) { return double(code.steps) * double(code.states); }

GridResult gridPeaks(const TrellisCode& code, const std::vector<Symbols>& starts,
                     std::span<const double> frequencies, double scale, std::size_t most,
                     std::size_t cellCount, std::size_t nominalStart, unsigned cores, VectorPath path,
                     bool phaseFromSquares) {
    const std::size_t cells = starts.size() * frequencies.size();
    const std::size_t n = starts.empty() ? 0 : starts.front().size();
    const double centre = n ? 0.5 * double(n - 1) : 0.0;
    const int cellPhases = phaseFromSquares ? 2 : phases;
    std::vector<std::int64_t> scores(cells * std::size_t(cellPhases));
    std::vector<double> firstPhase(cells, 0.0);
    const auto phaseOf = [&](std::size_t cell, int p) { return firstPhase[cell] + p * 2 * pi / cellPhases; };
    parallelFor(cells, cores, [&](std::size_t cell) {
        const Symbols& z = starts[cell / frequencies.size()];
        const double f = frequencies[cell % frequencies.size()];
        std::vector<std::complex<double>> turned(n);
        for (std::size_t k = 0; k < n; ++k)
            turned[k] = z[k] * std::polar(1.0, -2 * pi * f * (double(k) - centre));
        if (phaseFromSquares) firstPhase[cell] = squaredSymbolsPhase(turned);
        std::vector<std::int16_t> soft(n);
        for (int p = 0; p < cellPhases; ++p) {
            const double c = std::cos(phaseOf(cell, p)), s = std::sin(phaseOf(cell, p));
            for (std::size_t k = 0; k < n; ++k)
                soft[k] = quantized(turned[k].real() * c + turned[k].imag() * s, scale);
            scores[cell * std::size_t(cellPhases) + std::size_t(p)] = bestMetric(code, soft, path);
        }
    });
    // Peaks: the best cell, then the best one that is not a neighbour of a
    // peak already taken (within a start and a quarter cycle: the
    // message's own ridge; a peak beyond is another hypothesis, which no
    // refinement from the first one's decisions would reach), and so on.
    std::vector<std::size_t> order(scores.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return scores[a] > scores[b]; });
    const double apart = gridCycles / double(std::max<std::size_t>(n, 1));
    std::size_t zero = 0;  // the carrier nearest -F
    for (std::size_t f = 0; f < frequencies.size(); ++f)
        if (std::fabs(frequencies[f]) < std::fabs(frequencies[zero])) zero = f;
    const auto cellAt = [&](std::size_t i) {
        Hypothesis h;
        const std::size_t cell = i / std::size_t(cellPhases);
        h.start = cell / frequencies.size();
        h.carrier.frequency = frequencies[cell % frequencies.size()];
        h.carrier.phase = phaseOf(cell, int(i % std::size_t(cellPhases)));
        h.carrier.centre = centre;
        h.carrier.strength = double(scores[i]);
        if (h.start != nominalStart && cell % frequencies.size() != zero) h.prior = offLinesPrior;
        return h;
    };
    const auto nearPeak = [&](const std::vector<Hypothesis>& peaks, const Hypothesis& h) {
        return std::any_of(peaks.begin(), peaks.end(), [&](const Hypothesis& p) {
            const std::size_t a = std::min(p.start, h.start), b = std::max(p.start, h.start);
            return b - a <= 1 && std::fabs(p.carrier.frequency - h.carrier.frequency) <= apart + 1e-12;
        });
    };
    GridResult result;
    for (std::size_t i = 0; i < std::min(cellCount, order.size()); ++i)
        result.cells.push_back(cellAt(order[i]));
    std::vector<Hypothesis>& peaks = result.peaks;
    for (const std::size_t i : order) {
        if (peaks.size() >= most) break;
        const Hypothesis h = cellAt(i);
        if (!nearPeak(peaks, h)) peaks.push_back(h);
    }
    if (most < 2) return result;
    // Then the operator's own cells, after the best peak and before the
    // others, each pushing out the weakest of those: -T and -F themselves
    // (their phase from the squared symbols) when no peak lies on them, since
    // at the lowest levels noise cells of a wide search can outscore the
    // message's own and a peak beside the cell is often one of them; then
    // the best cell at -T (any carrier) and the best on -F (any start) when no
    // peak lies near them, since an error in one of the two is far likelier
    // than in both.
    std::size_t kept = 1;
    const auto keep = [&](const Hypothesis& h) {
        if (peaks.size() >= most) {
            if (peaks.size() <= kept) return;
            peaks.pop_back();
        }
        peaks.insert(peaks.begin() + std::ptrdiff_t(std::min(kept++, peaks.size())), h);
    };
    Hypothesis nominal;
    nominal.start = nominalStart;
    nominal.carrier.centre = centre;
    nominal.carrier.phase = squaredSymbolsPhase(starts[nominalStart]);
    if (std::none_of(peaks.begin(), peaks.end(), [&](const Hypothesis& p) {
            return p.start == nominalStart && std::fabs(p.carrier.frequency) * double(n) < 0.125;
        }))
        keep(nominal);
    for (const bool atStart : {true, false}) {
        for (const std::size_t i : order) {
            const std::size_t cell = i / std::size_t(cellPhases);
            if (atStart ? cell / frequencies.size() == nominalStart : cell % frequencies.size() == zero) {
                const Hypothesis h = cellAt(i);
                if (!nearPeak(peaks, h)) keep(h);
                break;
            }
        }
    }
    return result;
}

std::vector<double> strongestFirst(std::span<const std::complex<double>> symbols,
                                   std::span<const double> frequencies) {
    const double centre = symbols.empty() ? 0.0 : 0.5 * double(symbols.size() - 1);
    std::vector<double> power;
    for (const double f : frequencies) {
        std::complex<double> sum = 0;
        for (std::size_t k = 0; k < symbols.size(); ++k)
            sum += symbols[k] * symbols[k] * std::polar(1.0, -4 * pi * f * (double(k) - centre));
        power.push_back(std::norm(sum));
    }
    std::vector<std::size_t> order(frequencies.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return power[a] > power[b]; });
    std::vector<double> sorted;
    for (const std::size_t i : order) sorted.push_back(frequencies[i]);
    return sorted;
}

}  // namespace orv::decoder
