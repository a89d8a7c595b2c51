#include "importer/decimator.h"

#include <cmath>
#include <numbers>

namespace orv::importer {

Decimator::Decimator(int step) : step_(step) {
    constexpr double pi = std::numbers::pi;
    constexpr double attenuation = 90, beta = 0.1102 * (attenuation - 8.7);
    const double transition = 2 * pi * 0.6 / step;  // from 0.2 to 0.8 output rates, in radians per sample
    half_ =
        step == 1 ? 0 : static_cast<std::int64_t>(std::ceil((attenuation - 8) / (2.285 * transition) / 2));
    const auto bessel0 = [](double x) {
        double sum = 1, term = 1;
        for (int k = 1; k < 40; ++k) sum += (term *= (x / (2 * k)) * (x / (2 * k)));
        return sum;
    };
    double sum = 0;
    for (std::int64_t k = -half_; k <= half_; ++k) {
        const double x = double(k) / step;  // cut-off at half the output rate
        const double sinc = k == 0 ? 1 : std::sin(pi * x) / (pi * x);
        const double r = half_ == 0 ? 0 : double(k) / double(half_);
        sum += taps_.emplace_back(sinc * bessel0(beta * std::sqrt(1 - r * r)));
    }
    for (auto& t : taps_) t /= sum;
    origin_ = -half_;
    history_.assign(static_cast<std::size_t>(half_), 0.0f);
}

void Decimator::push(const std::complex<float>* z, std::size_t count, Band& out) {
    history_.insert(history_.end(), z, z + count);
    pushed_ += static_cast<std::int64_t>(count);
    run(out);
}

void Decimator::finish(Band& out) {
    history_.resize(history_.size() + taps_.size() + static_cast<std::size_t>(step_), 0.0f);
    run(out);
}

void Decimator::run(Band& out) {
    const auto available = origin_ + static_cast<std::int64_t>(history_.size());
    const auto width = static_cast<std::int64_t>(taps_.size());
    while (next_ * step_ < pushed_ && next_ * step_ - half_ + width <= available) {
        const std::complex<float>* x = history_.data() + (next_ * step_ - half_ - origin_);
        double re = 0, im = 0;
        for (std::size_t i = 0; i < taps_.size(); ++i) {
            re += taps_[i] * x[i].real();
            im += taps_[i] * x[i].imag();
        }
        out.emplace_back(static_cast<float>(re), static_cast<float>(im));
        ++next_;
    }
    const std::int64_t keepFrom = next_ * step_ - half_;
    if (keepFrom - origin_ > static_cast<std::int64_t>(history_.size()) / 2 && keepFrom > origin_) {
        history_.erase(history_.begin(), history_.begin() + (keepFrom - origin_));
        origin_ = keepFrom;
    }
}

}  // namespace orv::importer
