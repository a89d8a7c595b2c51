#include "converter/spectrumtransform.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace orv::converter {

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
    // Every element is written before use: the tables by fillTables, bins by
    // loadSpectrum (which zeroes what the file does not cover).
    bins_.reset(new (std::nothrow) float[2 * n]);
    twiddleTable_.reset(new (std::nothrow) float[n]);
    bitReverseTable_.reset(new (std::nothrow) std::int32_t[n]);
    return bins_ && twiddleTable_ && bitReverseTable_;
}

namespace {

// The single that x rounds to, when x lies farther than `margin` from the
// midpoint on its side of that single, so that an error up to the margin in x
// cannot change the rounding.
inline bool roundsClearly(double x, double margin, float& result) {
    const float f = static_cast<float>(x);
    const auto bits = std::bit_cast<std::uint32_t>(f);
    const bool awayFromZero = (x > f) == (f > 0);
    const float neighbour = std::bit_cast<float>(awayFromZero ? bits + 1 : bits - 1);
    result = f;
    return f != 0 && std::fabs(x - (static_cast<double>(f) + neighbour) * 0.5) > margin;
}

}  // namespace

void SpectrumTransform::fillTables() {
    // The angle uses the single nearest to pi, evaluated in double.
    const double pi = 3.1415927410125732;
    const auto exactEntry = [&](std::int32_t i) {
        const double angle = pi * 2 * i / n_;
        twiddleTable_[2 * i] = static_cast<float>(std::cos(angle));
        twiddleTable_[2 * i + 1] = static_cast<float>(-std::sin(angle));
    };
    // pi * 2 has 24 significant bits and N is a power of two, so every angle
    // pi * 2 * i / N is exactly i * step, and i * step = (j * M + k) * step.
    // cos and sin of that sum from two small tables are within 1e-15 of the
    // library's values; where that error could tip a rounding to single, the
    // entry is computed the direct way. Either way it is the same single.
    const std::int32_t half = n_ / 2;
    const std::int32_t fine = std::min<std::int32_t>(half, 1024);
    const double step = pi * 2 / n_;
    std::vector<double> cosFine(fine), sinFine(fine), cosCoarse, sinCoarse;
    try {
        cosCoarse.resize(half / fine);
        sinCoarse.resize(half / fine);
    } catch (const std::bad_alloc&) {
        for (std::int32_t i = 0; i < half; ++i) exactEntry(i);
        return;
    }
    for (std::int32_t k = 0; k < fine; ++k) {
        cosFine[k] = std::cos(k * step);
        sinFine[k] = std::sin(k * step);
    }
    for (std::size_t j = 0; j < cosCoarse.size(); ++j) {
        cosCoarse[j] = std::cos(static_cast<double>(j) * fine * step);
        sinCoarse[j] = std::sin(static_cast<double>(j) * fine * step);
    }
    constexpr double margin = 1e-14;
    for (std::int32_t j = 0, i = 0; j < static_cast<std::int32_t>(cosCoarse.size()); ++j)
        for (std::int32_t k = 0; k < fine; ++k, ++i) {
            const double c = cosCoarse[j] * cosFine[k] - sinCoarse[j] * sinFine[k];
            const double s = sinCoarse[j] * cosFine[k] + cosCoarse[j] * sinFine[k];
            float cosSingle, sinSingle;
            if (roundsClearly(c, margin, cosSingle) && roundsClearly(s, margin, sinSingle)) {
                twiddleTable_[2 * i] = cosSingle;
                twiddleTable_[2 * i + 1] = -sinSingle;
            } else {
                exactEntry(i);
            }
        }
    // i reversed is i / 2 reversed, shifted down, with i's lowest bit on top:
    // the same table as reversing every index digit by digit, in one pass.
    bitReverseTable_[0] = 0;
    for (std::int32_t i = 1; i < n_; ++i)
        bitReverseTable_[i] = (bitReverseTable_[i >> 1] >> 1) | ((i & 1) << (log2Size_ - 1));
}

void SpectrumTransform::loadSpectrum(std::string_view bytes) {
    const std::size_t available = std::min(bytes.size(), 8 * static_cast<std::size_t>(n_));
    // Whole floats only: a torn float at the end reads as zero.
    const std::size_t whole = available / 4;
    std::memcpy(bins_.get(), bytes.data(), whole * 4);
    std::fill(bins_.get() + whole, bins_.get() + 2 * static_cast<std::size_t>(n_), 0.0f);
}

void SpectrumTransform::swapHalves() { std::swap_ranges(bins_.get(), bins_.get() + n_, bins_.get() + n_); }

void SpectrumTransform::conjugate() {
    for (std::int64_t e = 1; e < 2 * static_cast<std::int64_t>(n_); e += 2) bins_[e] = -bins_[e];
}

void SpectrumTransform::transform(VectorPath path) {
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

}  // namespace orv::converter
