#include "spectrumtransform.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace orv {

static_assert(std::endian::native == std::endian::little,
              "the spectrum is read and written as little-endian floats in place");

TransformSize chooseTransformSize(std::int32_t pairCount) {
    TransformSize s{16, 4};
    while (pairCount >= 2 * static_cast<std::int64_t>(s.size)) {
        s.size *= 2;
        s.log2Size += 1;
    }
    return s;
}

bool SpectrumTransform::allocate(TransformSize size) {
    n_ = size.size;
    log2Size_ = size.log2Size;
    const std::size_t n = static_cast<std::size_t>(n_);
    bins_.reset(new (std::nothrow) float[2 * n]());
    // The tables are filled completely before use; only bins needs its zeros.
    twiddleTable_.reset(new (std::nothrow) float[n]);
    bitReverseTable_.reset(new (std::nothrow) std::int32_t[n]);
    return bins_ && twiddleTable_ && bitReverseTable_;
}

void SpectrumTransform::fillTables() {
    // The angle uses the single nearest to pi, evaluated in double.
    const double pi = 3.1415927410125732;
    for (std::int32_t i = 0; i < n_ / 2; ++i) {
        const double angle = pi * 2 * i / n_;
        twiddleTable_[2 * i] = static_cast<float>(std::cos(angle));
        twiddleTable_[2 * i + 1] = static_cast<float>(-std::sin(angle));
    }
    // i reversed is i / 2 reversed, shifted down, with i's lowest bit on top:
    // the same table as reversing every index digit by digit, in one pass.
    bitReverseTable_[0] = 0;
    for (std::int32_t i = 1; i < n_; ++i)
        bitReverseTable_[i] = (bitReverseTable_[i >> 1] >> 1) | ((i & 1) << (log2Size_ - 1));
}

void SpectrumTransform::loadSpectrum(std::string_view bytes) {
    const std::size_t available = std::min(bytes.size(), 8 * static_cast<std::size_t>(n_));
    // Whole floats only: a trailing part of a float stays zero.
    std::memcpy(bins_.get(), bytes.data(), available / 4 * 4);
}

void SpectrumTransform::swapHalves() {
    std::swap_ranges(bins_.get(), bins_.get() + n_, bins_.get() + n_);
}

void SpectrumTransform::conjugate() {
    for (std::int64_t e = 1; e < 2 * static_cast<std::int64_t>(n_); e += 2) bins_[e] = -bins_[e];
}

void SpectrumTransform::transform(KernelPath path) {
    float* v = bins_.get();
    for (std::int32_t i = 0; i < n_; ++i) {
        const std::int32_t j = bitReverseTable_[i];
        if (j < i) {
            std::swap(v[2 * i], v[2 * j]);
            std::swap(v[2 * i + 1], v[2 * j + 1]);
        }
    }
    runStages(path, v, twiddleTable_.get(), n_);
}

}  // namespace orv
