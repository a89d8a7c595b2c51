#pragma once
// The spectrum arrays of one conversion and the steps that turn the spectrum
// into the complex time signal in place: centre bin to zero frequency,
// conjugation, tabulated radix-2 transform.
#include <cstdint>
#include <memory>
#include <string_view>

#include "converter/transformkernels.h"

namespace orv::converter {

struct TransformSize {
    std::int32_t size;  // N, a power of two, at least 16
    std::int32_t log2Size;
};

// The largest power of two not above pairCount, but at least 16.
TransformSize chooseTransformSize(std::int32_t pairCount);

class SpectrumTransform {
public:
    // Allocates the three arrays; false when memory runs out.
    bool allocate(TransformSize size);

    std::int32_t size() const { return n_; }
    float* bins() { return bins_.get(); }
    const float* bins() const { return bins_.get(); }
    const float* twiddleTable() const { return twiddleTable_.get(); }
    const std::int32_t* bitReverseTable() const { return bitReverseTable_.get(); }

    void fillTables();
    // Little-endian floats into bins; what the bytes do not cover is zero.
    void loadSpectrum(std::string_view bytes);
    void swapHalves();
    void conjugate();
    void transform(VectorPath path = bestVectorPath());

private:
    std::int32_t n_ = 0;
    std::int32_t log2Size_ = 0;
    std::unique_ptr<float[]> bins_;
    std::unique_ptr<float[]> twiddleTable_;
    std::unique_ptr<std::int32_t[]> bitReverseTable_;
};

}  // namespace orv::converter
