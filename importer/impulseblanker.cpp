#include "importer/impulseblanker.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace orv::importer {

namespace {
constexpr double medianStep = 1e-3;  // per sample, of the running median's logarithm
constexpr std::size_t startSamples = 1 << 14;
}  // namespace

ImpulseBlanker::ImpulseBlanker(std::size_t channels, double threshold, int guard)
    : threshold_(threshold), guard_(guard), levels_(channels, 0.0) {}

std::size_t ImpulseBlanker::process(std::vector<Band>& pending, bool atEnd) {
    const std::size_t n = pending.empty() ? 0 : pending[0].size();
    if (!started_ && n > 0) {
        // The first median from the start itself, so that the first impulses count too.
        for (std::size_t c = 0; c < pending.size(); ++c) {
            std::vector<double> m(std::min(n, startSamples));
            for (std::size_t i = 0; i < m.size(); ++i) m[i] = std::norm(std::complex<double>(pending[c][i]));
            std::nth_element(m.begin(), m.begin() + std::ptrdiff_t(m.size() / 2), m.end());
            levels_[c] = m[m.size() / 2];
        }
        started_ = true;
    }
    // Squared magnitudes throughout: the median of the squares is the square of the median.
    const double up = (1 + medianStep) * (1 + medianStep), down = 1 / up,
                 threshold2 = threshold_ * threshold_;
    marks_.resize(n, 0);
    for (std::size_t i = checked_; i < n; ++i) {
        bool impulse = false;
        for (std::size_t c = 0; c < pending.size(); ++c) {
            const std::complex<double> v = pending[c][i];
            const double size2 = v.real() * v.real() + v.imag() * v.imag();
            impulse = impulse || size2 > threshold2 * levels_[c];
            levels_[c] *= size2 > levels_[c] ? up : down;
        }
        if (impulse) {
            const auto from = static_cast<std::size_t>(std::max<std::int64_t>(0, std::int64_t(i) - guard_));
            std::fill(marks_.begin() + std::ptrdiff_t(from), marks_.begin() + std::ptrdiff_t(i), 1);
            blankUntil_ = std::int64_t(i) + guard_ + 1;
        }
        if (std::int64_t(i) < blankUntil_) marks_[i] = 1;
    }
    checked_ = n;
    const std::size_t final = atEnd ? n : n - std::min<std::size_t>(n, std::size_t(guard_));
    for (std::size_t i = 0; i < final; ++i)
        if (marks_[i]) {
            for (auto& channel : pending) channel[i] = 0;
            marks_[i] = 2;  // counted once
        }
    return final;
}

void ImpulseBlanker::dropFront(std::size_t count) {
    blanked_ += std::count(marks_.begin(), marks_.begin() + std::ptrdiff_t(count), 2);
    marks_.erase(marks_.begin(), marks_.begin() + std::ptrdiff_t(count));
    checked_ -= count;
    blankUntil_ -= std::int64_t(count);
}

}  // namespace orv::importer
