#include "humremover.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace orv::importer {

namespace {

constexpr double pi = std::numbers::pi;
constexpr double learnRate = 0.1;    // share of a new period taken into the waveform: 10 periods
constexpr double loopGain = 0.5;     // of the period correction per block
constexpr double driftGain = 0.02;   // of the same into the period's drift per block
constexpr double searchSpan = 0.5;   // Hz either side of 50 or 60 at the start
constexpr double clipLevel = 4;      // residuals beyond this many medians teach the comb no more
constexpr double medianStep = 1e-3;  // per sample, of the running median's logarithm

// Interpolation between band samples: a Kaiser-windowed sinc over 8 samples
// at 512 fractions of a sample, and its derivative.
constexpr int phases = 512;
struct Kernel {
    std::vector<float> value, slope;  // [phase][8], samples i0-3 .. i0+4
    Kernel() : value(phases * 8), slope(phases * 8) {
        const auto bessel0 = [](double x) {
            double sum = 1, term = 1;
            for (int k = 1; k < 30; ++k) sum += (term *= (x / (2 * k)) * (x / (2 * k)));
            return sum;
        };
        const double beta = 6;
        const auto kernel = [&](double x) {
            if (std::abs(x) >= 4) return 0.0;
            const double s = x == 0 ? 1 : std::sin(pi * x) / (pi * x);
            return s * bessel0(beta * std::sqrt(1 - x * x / 16)) / bessel0(beta);
        };
        for (int p = 0; p < phases; ++p) {
            const double f = double(p) / phases;
            double sum = 0;
            std::array<double, 8> v{}, d{};
            for (int k = -3; k <= 4; ++k) {
                v[k + 3] = kernel(f - k);
                d[k + 3] = (kernel(f - k + 1e-4) - kernel(f - k - 1e-4)) / 2e-4;
                sum += v[k + 3];
            }
            for (int i = 0; i < 8; ++i) {
                value[p * 8 + i] = static_cast<float>(v[i] / sum);
                slope[p * 8 + i] = static_cast<float>(d[i] / sum);
            }
        }
    }
};
const Kernel& kernel() {
    static const Kernel k;
    return k;
}

void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * pi / double(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> t = 1;
            for (std::size_t k = 0; k < len / 2; ++k, t *= w) {
                const auto u = a[i + k], v = a[i + k + len / 2] * t;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

}  // namespace

HumRemover::HumRemover(double bandRate, double centre, double band, double mains)
    : bandRate_(bandRate), centreCycles_(centre / bandRate), band_(band), mains_(mains) {
    shortest_ = bandRate / (mains + searchSpan);
    longest_ = bandRate / (mains - searchSpan);
    std::size_t size = 16;
    while (size < std::size_t(longest_) + 16) size <<= 1;
    re_.assign(size, 0.0f);
    im_.assign(size, 0.0f);
    mask_ = size - 1;
    blockLength_ = std::max(1, static_cast<int>(0.05 * bandRate));
    setPeriod(bandRate / mains);
}

void HumRemover::setPeriod(double samples) {
    period_ = std::clamp(samples, shortest_, longest_);
    double cycles = centreCycles_ * period_;
    cycles -= std::floor(cycles);
    turn_ = std::polar(1.0, -2 * pi * cycles);
}

// The mains frequency whose harmonics gather the most power in a spectrum of
// the start, searched in steps that move the highest harmonic a quarter bin.
void HumRemover::acquire(const Band& z) {
    std::size_t n = 1;
    while (2 * n <= std::min(z.size(), startSamples)) n <<= 1;
    std::vector<double> magnitudes(n);
    for (std::size_t i = 0; i < n; ++i) magnitudes[i] = std::abs(std::complex<double>(z[i]));
    level_ = median(magnitudes);
    if (n < 256) return;
    // Impulses clipped first, so that their spread does not bury the lines.
    std::vector<std::complex<double>> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::complex<double> v = z[i];
        const double m = std::abs(v), limit = clipLevel * level_;
        x[i] = (m > limit ? v * (limit / m) : v) * (0.5 - 0.5 * std::cos(2 * pi * double(i) / double(n)));
    }
    fft(x);
    std::vector<double> power(n);
    for (std::size_t i = 0; i < n; ++i) power[i] = std::norm(x[i]);
    const double binsPerHz = double(n) / bandRate_;
    const double reach = std::min(band_, 0.45 * bandRate_);
    const double centre = centreCycles_ * bandRate_;
    const auto score = [&](double f) {
        double sum = 0;
        for (auto h = static_cast<std::int64_t>(std::ceil((centre - reach) / f));
             double(h) * f - centre <= reach; ++h) {
            if (h == 0) continue;  // the input's own zero frequency is every mains' harmonic
            double at = (double(h) * f - centre) * binsPerHz;
            at -= double(n) * std::floor(at / double(n));
            const auto i = static_cast<std::size_t>(at);
            const double w = at - double(i);
            sum += power[i % n] * (1 - w) + power[(i + 1) % n] * w;
        }
        return sum;
    };
    const double highest = (centre + reach) / (mains_ - searchSpan);
    const double step = std::max(1 / (4 * binsPerHz * highest), 2 * searchSpan / 40000);
    double best = mains_, bestScore = -1;
    for (double f = mains_ - searchSpan; f <= mains_ + searchSpan; f += step) {
        const double s = score(f);
        if (s > bestScore) bestScore = s, best = f;
    }
    const double below = score(best - step), above = score(best + step);
    const double curve = below - 2 * bestScore + above;
    if (curve < 0) best += step * std::clamp(0.5 * (below - above) / curve, -0.5, 0.5);
    setPeriod(bandRate_ / best);
}

void HumRemover::process(Band& z) {
    if (!acquired_) {
        acquire(z);
        acquired_ = true;
    }
    const Kernel& k = kernel();
    const double up = 1 + medianStep, down = 1 / up;
    const double centreTurn = 2 * pi * centreCycles_;
    for (auto& sample : z) {
        const double at = double(next_) - period_;
        auto whole = static_cast<std::int64_t>(std::floor(at));
        auto phase = static_cast<int>(std::lround((at - double(whole)) * phases));
        if (phase == phases) phase = 0, ++whole;
        const float* value = &k.value[std::size_t(phase) * 8];
        float wr = 0, wi = 0;
        for (int i = 0; i < 8; ++i) {
            const std::size_t j = std::size_t(whole - 3 + i) & mask_;
            wr += re_[j] * value[i];
            wi += im_[j] * value[i];
        }
        const std::complex<double> hum = turn_ * std::complex<double>(wr, wi);
        const std::complex<double> residual = std::complex<double>(sample) - hum;
        const double size = std::abs(residual);
        // A sample far off the learnt waveform teaches it only a limited step:
        // the waveform grows into the hum's peaks period by period, while an
        // impulse leaves no echo one period later.
        const double limit = clipLevel * level_ + std::abs(hum);
        const std::complex<double> taught = size > limit ? residual * (limit / size) : residual;
        level_ *= size > level_ ? up : down;
        const std::complex<double> learnt = hum + learnRate * taught;
        re_[std::size_t(next_) & mask_] = static_cast<float>(learnt.real());
        im_[std::size_t(next_) & mask_] = static_cast<float>(learnt.imag());
        sample = std::complex<float>(residual);
        // Every fourth sample adds to the gradient of the residual power over the period.
        if ((next_ & 3) == 0) {
            const float* slope = &k.slope[std::size_t(phase) * 8];
            float sr = 0, si = 0;
            for (int i = 0; i < 8; ++i) {
                const std::size_t j = std::size_t(whole - 3 + i) & mask_;
                sr += re_[j] * slope[i];
                si += im_[j] * slope[i];
            }
            const std::complex<double> change =
                std::complex<double>(0, -centreTurn) * hum - turn_ * std::complex<double>(sr, si);
            slopeSum_ += (std::conj(taught) * change).real();
            slopeNorm_ += std::norm(change);
        }
        ++next_;
        if (++inBlock_ == blockLength_) {
            // A second-order loop: the period's own drift is learnt too, so a
            // steadily drifting mains is followed without lag.
            const double error = slopeNorm_ > 0 ? learnRate * slopeSum_ / slopeNorm_ : 0;
            drift_ += driftGain * error;
            setPeriod(period_ + loopGain * error + drift_);
            slopeSum_ = slopeNorm_ = 0;
            inBlock_ = 0;
        }
    }
}

}  // namespace orv::importer
