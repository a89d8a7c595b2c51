#pragma once
// The butterfly stages of the radix-2 transform, in three interchangeable
// forms that give identical bits: every product sum is formed in double and
// each stored value rounded to float, whatever the instruction set.
#include <cstdint>

#include "orv/vectorpath.h"

namespace orv::converter {

// All stages on bins already in bit-reversed order; n >= 2, a power of two.
void runStages(VectorPath path, float* bins, const float* twiddleTable, std::int32_t n);

}  // namespace orv::converter
