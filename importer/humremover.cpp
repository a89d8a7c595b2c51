#include "importer/humremover.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
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
constexpr std::size_t batchSize = 64;
constexpr double signalGuard = 25;  // Hz either side of the centre that do not steer the mains frequency

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

// The waveform and its slope at up to 64 points a sample apart, the taps of
// point b over x[b .. b+7]: each sum from 0 in tap order, in every path.
struct Batch {
    std::array<float, 64> waveR, waveI, slopeR, slopeI;
};

void batchPlain(const float* re, const float* im, const float* value, const float* slope, std::size_t count,
                Batch& out) {
    for (std::size_t b = 0; b < count; ++b) {
        float wr = 0, wi = 0, sr = 0, si = 0;
        for (int i = 0; i < 8; ++i) {
            wr = wr + re[b + std::size_t(i)] * value[i];
            wi = wi + im[b + std::size_t(i)] * value[i];
            sr = sr + re[b + std::size_t(i)] * slope[i];
            si = si + im[b + std::size_t(i)] * slope[i];
        }
        out.waveR[b] = wr, out.waveI[b] = wi, out.slopeR[b] = sr, out.slopeI[b] = si;
    }
}

#if defined(__x86_64__) || defined(__i386__)
// Eight points at a time; reads up to 7 samples past the last point's taps.
__attribute__((target("avx2"))) void batchAvx2(const float* re, const float* im, const float* value,
                                               const float* slope, std::size_t count, Batch& out) {
    for (std::size_t b = 0; b < count; b += 8) {
        __m256 wr = _mm256_setzero_ps(), wi = wr, sr = wr, si = wr;
        for (int i = 0; i < 8; ++i) {
            const __m256 xr = _mm256_loadu_ps(re + b + std::size_t(i)),
                         xi = _mm256_loadu_ps(im + b + std::size_t(i));
            const __m256 v = _mm256_set1_ps(value[i]), d = _mm256_set1_ps(slope[i]);
            wr = _mm256_add_ps(wr, _mm256_mul_ps(xr, v));
            wi = _mm256_add_ps(wi, _mm256_mul_ps(xi, v));
            sr = _mm256_add_ps(sr, _mm256_mul_ps(xr, d));
            si = _mm256_add_ps(si, _mm256_mul_ps(xi, d));
        }
        _mm256_storeu_ps(&out.waveR[b], wr);
        _mm256_storeu_ps(&out.waveI[b], wi);
        _mm256_storeu_ps(&out.slopeR[b], sr);
        _mm256_storeu_ps(&out.slopeI[b], si);
    }
}
#else
// Never chosen off x86: bestVectorPath() gives the plain loop there.
void batchAvx2(const float* re, const float* im, const float* value, const float* slope, std::size_t count,
               Batch& out) {
    batchPlain(re, im, value, slope, count, out);
}
#endif

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

}  // namespace

HumRemover::HumRemover(double bandRate, double centre, double band, double mains, VectorPath path)
    : path_(path == VectorPath::Avx2 ? bestBandPath() : VectorPath::Plain),
      bandRate_(bandRate),
      centreCycles_(centre / bandRate),
      band_(band),
      mains_(mains) {
    shortest_ = bandRate / (mains + searchSpan);
    longest_ = bandRate / (mains - searchSpan);
    std::size_t size = 128;  // room for a batch of taps past any point of the first copy
    while (size < std::size_t(longest_) + 16) size <<= 1;
    re_.assign(2 * size, 0.0f);
    im_.assign(2 * size, 0.0f);
    mask_ = size - 1;
    blockLength_ = std::max(1, static_cast<int>(0.05 * bandRate));
    highPass_ = std::min(1.0, 2 * pi * signalGuard / (bandRate / 4));
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
    if (n < 256 || shortest_ < 16) return;  // too short a start, or too few samples to a period
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
    // The floor around each bin: the median of 128 bins about it, taken every 16
    // (the band filter's skirt makes the floor fall away from the centre).
    std::vector<double> floors(n / 16);
    for (std::size_t j = 0; j < floors.size(); ++j) {
        std::vector<double> near(128);
        for (std::size_t i = 0; i < 128; ++i) near[i] = power[(16 * j + n - 64 + i) % n];
        floors[j] = median(near);
    }
    const double binsPerHz = double(n) / bandRate_;
    const double reach = std::min(band_, 0.45 * bandRate_);
    const double centre = centreCycles_ * bandRate_;
    // Each line counts by its height over the floor, at most 30 dB, so that no
    // single line (a carrier, say) makes a series; none near the centre counts,
    // where the signal is.
    const auto lines = [&](double f, auto&& add) {
        for (auto h = static_cast<std::int64_t>(std::ceil((centre - reach) / f));
             double(h) * f - centre <= reach; ++h) {
            const double offset = double(h) * f - centre;
            if (h == 0 || std::abs(offset) < signalGuard) continue;  // h = 0: the input's own 0 Hz
            double at = offset * binsPerHz;
            at -= double(n) * std::floor(at / double(n));
            const auto i = static_cast<std::size_t>(at);
            const double w = at - double(i);
            const double floor = floors[(i / 16) % floors.size()];
            const double p = power[i % n] * (1 - w) + power[(i + 1) % n] * w;
            if (floor > 0) add(std::min(1000.0, p / floor), p);
        }
    };
    const auto score = [&](double f) {
        double sum = 0;
        lines(f, [&](double height, double) { sum += height; });
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
    // Hum is a series: at least five lines 13 dB over the floor about them
    // (noise alone gets there once in 20000 lines) that carry at least 1/200 of
    // the band's power (not so the quantisation spurs of a clean synthetic tone).
    // Without it the comb stays off rather than follow whatever line is strongest.
    int strong = 0;
    double strongPower = 0, total = 0;
    for (const double p : power) total += p;
    lines(best, [&](double height, double p) {
        if (height < 20) return;
        ++strong;
        strongPower += p;
    });
    found_ = strong >= 5 && strongPower >= total / 200;
    setPeriod(bandRate_ / best);
}

void HumRemover::process(Band& z) {
    if (!acquired_) {
        acquire(z);
        acquired_ = true;
    }
    if (!found_) return;
    const Kernel& k = kernel();
    const double up = 1 + medianStep, down = 1 / up;
    const double centreTurn = 2 * pi * centreCycles_;
    for (std::size_t at = 0; at < z.size();) {
        // Within a block the period stands still: one fraction, one set of taps.
        const std::size_t end = std::min(z.size(), at + std::size_t(blockLength_ - inBlock_));
        const double back = std::ceil(period_);
        auto phase = static_cast<int>(std::lround((back - period_) * phases));
        std::int64_t lag = static_cast<std::int64_t>(back);
        if (phase == phases) phase = 0, --lag;
        const float* value = &k.value[std::size_t(phase) * 8];
        const float* slope = &k.slope[std::size_t(phase) * 8];
        const double tr = turn_.real(), ti = turn_.imag();
        inBlock_ += static_cast<int>(end - at);
        // The taps reach at most lag - 4 samples back, so that many samples at a
        // time take their waveform and its slope from what is learnt already.
        // The running values live in registers through the block.
        double level = level_, slopeSum = slopeSum_, slopeNorm = slopeNorm_;
        std::array<double, 8> lows = lows_;
        const auto batch = static_cast<std::size_t>(std::min<std::int64_t>(batchSize, lag - 4));
        for (; at < end;) {
            const std::size_t count = std::min(batch, end - at);
            // The ring holds each sample twice, so the samples from first on lie side by side.
            const std::size_t first = std::size_t(next_ - lag - 3) & mask_;
            Batch w;
            if (path_ == VectorPath::Avx2)
                batchAvx2(&re_[first], &im_[first], value, slope, count, w);
            else
                batchPlain(&re_[first], &im_[first], value, slope, count, w);
            for (std::size_t b = 0; b < count; ++b, ++at, ++next_) {
                const float wr = w.waveR[b], wi = w.waveI[b];
                const double hr = tr * wr - ti * wi, hi = tr * wi + ti * wr;  // the hum: turn x waveform
                const double er = double(z[at].real()) - hr, ei = double(z[at].imag()) - hi;
                const double size2 = er * er + ei * ei;
                // A sample far off the learnt waveform teaches it only a limited step:
                // the waveform grows into the hum's peaks period by period, while an
                // impulse leaves no echo one period later.
                const double limit = clipLevel * level + std::sqrt(hr * hr + hi * hi);
                const double scale = size2 > limit * limit ? limit / std::sqrt(size2) : 1;
                const double cr = er * scale, ci = ei * scale;
                level *= size2 > level * level ? up : down;
                const std::size_t at2 = std::size_t(next_) & mask_;
                re_[at2] = re_[at2 + mask_ + 1] = static_cast<float>(hr + learnRate * cr);
                im_[at2] = im_[at2 + mask_ + 1] = static_cast<float>(hi + learnRate * ci);
                z[at] = std::complex<float>(static_cast<float>(er), static_cast<float>(ei));
                // Every fourth sample adds to the gradient of the residual power over the period:
                // change = d(hum)/d(period) = -j 2 pi centre hum - turn x waveform'.
                if ((next_ & 3) == 0) {
                    const float sr = w.slopeR[b], si = w.slopeI[b];
                    // Both factors high-passed alike (two one-pole stages at 25 Hz, at this
                    // quarter rate): a carrier near the centre does not pull the period.
                    std::array<double, 4> v = {cr, ci, centreTurn * hi - (tr * sr - ti * si),
                                               -centreTurn * hr - (tr * si + ti * sr)};
                    for (int stage = 0; stage < 2; ++stage)
                        for (int q = 0; q < 4; ++q) {
                            double& low = lows[std::size_t(4 * stage + q)];
                            low += highPass_ * (v[std::size_t(q)] - low);
                            v[std::size_t(q)] -= low;
                        }
                    slopeSum += v[0] * v[2] + v[1] * v[3];
                    slopeNorm += v[2] * v[2] + v[3] * v[3];
                }
            }
        }
        level_ = level, slopeSum_ = slopeSum, slopeNorm_ = slopeNorm;
        lows_ = lows;
        if (inBlock_ == blockLength_) {
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
