#include "importer/bandmixer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <cmath>
#include <numbers>

namespace orv::importer {

namespace {

// Two dot products of window with re and im, each summed in 8 lanes and the
// lanes added as the vector path adds them, so that every path gives the same bits.
inline void dotPlain(const float* x, const float* re, const float* im, std::size_t n, float& outRe,
                     float& outIm) {
    float a[8] = {}, b[8] = {};
    for (std::size_t i = 0; i < n; i += 8)
        for (int l = 0; l < 8; ++l) {
            a[l] = a[l] + x[i + l] * re[i + l];
            b[l] = b[l] + x[i + l] * im[i + l];
        }
    const auto reduce = [](const float* v) {
        const float s0 = v[0] + v[4], s1 = v[1] + v[5], s2 = v[2] + v[6], s3 = v[3] + v[7];
        return (s0 + s2) + (s1 + s3);
    };
    outRe = reduce(a);
    outIm = reduce(b);
}

// count windows, step samples apart: out gets re, im of each.
void dotsPlain(const float* x, std::size_t step, std::size_t count, const float* re, const float* im,
               std::size_t n, float* out) {
    for (std::size_t m = 0; m < count; ++m) dotPlain(x + m * step, re, im, n, out[2 * m], out[2 * m + 1]);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) float reduceAvx2(__m256 v) {
    const __m128 s = _mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    const __m128 t = _mm_add_ps(s, _mm_movehl_ps(s, s));  // s0 + s2, s1 + s3
    return _mm_cvtss_f32(_mm_add_ss(t, _mm_shuffle_ps(t, t, 1)));
}

__attribute__((target("avx2"))) inline void dotAvx2(const float* x, const float* re, const float* im,
                                                    std::size_t n, float& outRe, float& outIm) {
    __m256 a = _mm256_setzero_ps(), b = _mm256_setzero_ps();
    for (std::size_t i = 0; i < n; i += 8) {
        const __m256 v = _mm256_loadu_ps(x + i);
        a = _mm256_add_ps(a, _mm256_mul_ps(v, _mm256_loadu_ps(re + i)));
        b = _mm256_add_ps(b, _mm256_mul_ps(v, _mm256_loadu_ps(im + i)));
    }
    outRe = reduceAvx2(a);
    outIm = reduceAvx2(b);
}

__attribute__((target("avx2"))) void dotsAvx2(const float* x, std::size_t step, std::size_t count,
                                              const float* re, const float* im, std::size_t n, float* out) {
    for (std::size_t m = 0; m < count; ++m) dotAvx2(x + m * step, re, im, n, out[2 * m], out[2 * m + 1]);
}
#else
// Never chosen off x86: bestVectorPath() gives the plain loop there.
void dotsAvx2(const float* x, std::size_t step, std::size_t count, const float* re, const float* im,
              std::size_t n, float* out) {
    dotsPlain(x, step, count, re, im, n, out);
}
#endif

}  // namespace

// AVX2 or the plain loop: the band has no SSE2 form.
VectorPath bestBandPath() {
    return bestVectorPath() == VectorPath::Avx2 ? VectorPath::Avx2 : VectorPath::Plain;
}

BandMixer::BandMixer(double inputRate, double centre, double band, int step, VectorPath path)
    : cyclesPerInput_(centre / inputRate), step_(step), path_(path) {
    if (path_ == VectorPath::Avx2 && bestVectorPath() != VectorPath::Avx2) path_ = VectorPath::Plain;
    // Noise bandwidth of exp(-t^2 / 2 sigma^2) is 1 / (2 sqrt(pi) sigma); cut at 4.5 sigma (-88 dB).
    const double sigma = inputRate / (2 * std::sqrt(std::numbers::pi) * band);
    half_ = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(4.5 * sigma)));
    const std::int64_t length = 2 * half_ + 1, padded = (length + 7) / 8 * 8;
    std::vector<double> h(static_cast<std::size_t>(length));
    double sum = 0;
    for (std::int64_t k = -half_; k <= half_; ++k)
        sum += h[static_cast<std::size_t>(k + half_)] = std::exp(-0.5 * double(k * k) / (sigma * sigma));
    re_.assign(static_cast<std::size_t>(padded), 0.0f);
    im_.assign(static_cast<std::size_t>(padded), 0.0f);
    // Window position i holds input sample n - half + i, which tap k = half - i weighs.
    // Gain 2: a sine of amplitude A at the centre becomes a complex value of magnitude A.
    for (std::int64_t i = 0; i < length; ++i) {
        const std::int64_t k = half_ - i;
        double cycles = cyclesPerInput_ * double(k);
        cycles -= std::floor(cycles);
        const double w = 2 * h[static_cast<std::size_t>(i)] / sum;
        re_[static_cast<std::size_t>(i)] = static_cast<float>(w * std::cos(2 * std::numbers::pi * cycles));
        im_[static_cast<std::size_t>(i)] = static_cast<float>(w * std::sin(2 * std::numbers::pi * cycles));
    }
    double stepCycles = cyclesPerInput_ * step_;
    stepCycles -= std::floor(stepCycles);
    mixerStep_ = std::polar(1.0, -2 * std::numbers::pi * stepCycles);
    origin_ = -half_;
    history_.assign(static_cast<std::size_t>(half_), 0.0f);
}

void BandMixer::push(const float* audio, std::size_t count, std::size_t stride, Band& out) {
    const std::size_t at = history_.size();
    history_.resize(at + count);
    for (std::size_t i = 0; i < count; ++i) history_[at + i] = audio[i * stride];
    pushed_ += static_cast<std::int64_t>(count);
    run(out, pushed_);
}

void BandMixer::finish(Band& out) {
    history_.resize(history_.size() + re_.size() + static_cast<std::size_t>(step_), 0.0f);
    run(out, pushed_);
}

void BandMixer::run(Band& out, std::int64_t end) {
    const auto available = origin_ + static_cast<std::int64_t>(history_.size());
    const auto width = static_cast<std::int64_t>(re_.size());
    // Band sample m needs input samples up to m x step - half + width - 1, and must stand before end.
    const std::int64_t last = std::min((end - 1) / step_, (available - width + half_) / step_);
    if (last < next_) return;
    const auto count = static_cast<std::size_t>(last - next_ + 1);
    sums_.resize(2 * count);
    const float* x = history_.data() + (next_ * step_ - half_ - origin_);
    if (path_ == VectorPath::Avx2)
        dotsAvx2(x, std::size_t(step_), count, re_.data(), im_.data(), re_.size(), sums_.data());
    else
        dotsPlain(x, std::size_t(step_), count, re_.data(), im_.data(), re_.size(), sums_.data());
    const std::size_t at = out.size();
    out.resize(at + count);
    // The phasor lives in registers through the loop.
    double mr = mixer_.real(), mi = mixer_.imag();
    const double sr = mixerStep_.real(), si = mixerStep_.imag();
    for (std::size_t i = 0; i < count; ++i, ++next_) {
        // Mixed down by the centre's phase at that sample: a turning phasor, set
        // afresh from the whole cycle count every 1024 samples so that no error grows.
        if (next_ % 1024 == 0) {
            double cycles = cyclesPerInput_ * double(next_ * step_);
            cycles -= std::floor(cycles);
            mr = std::cos(-2 * std::numbers::pi * cycles);
            mi = std::sin(-2 * std::numbers::pi * cycles);
        }
        const double re = sums_[2 * i], im = sums_[2 * i + 1];
        out[at + i] = {static_cast<float>(re * mr - im * mi), static_cast<float>(re * mi + im * mr)};
        const double nr = mr * sr - mi * si;
        mi = mr * si + mi * sr;
        mr = nr;
    }
    mixer_ = {mr, mi};
    // Drop what no later band sample needs.
    const std::int64_t keepFrom = next_ * step_ - half_;
    if (keepFrom - origin_ > static_cast<std::int64_t>(history_.size()) / 2 && keepFrom > origin_) {
        history_.erase(history_.begin(), history_.begin() + (keepFrom - origin_));
        origin_ = keepFrom;
    }
}

}  // namespace orv::importer
