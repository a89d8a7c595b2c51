#pragma once
// The direct transform X(k) = sum_r x(r) e^{+j 2 pi r k / n} / sqrt(n), taking
// its factors from tables indexed by a running sum r k mod n. The fast paths
// give the same bits as the plain loop: every k keeps its own order of terms
// and rounds its accumulators to float after every term.
#include <cstddef>

#include "orv/vectorpath.h"

namespace orv::viewer {

struct TransformArgs {
    const float* re = nullptr;
    const float* im = nullptr;
    const float* twiddleCos = nullptr;
    const float* twiddleSin = nullptr;
    std::size_t n = 0;
    float* outRe = nullptr;
    float* outIm = nullptr;
};

// The widest path this processor runs: the AVX2 loop here also needs FMA.
inline VectorPath bestVectorPath() { return orv::bestVectorPath(true); }

// The plain loop, one k after another: the reference for every other path.
void directTransformPlain(const TransformArgs& args);

// Lanes across k on the given path, k spread over `threads` threads (0: one
// per core).
void directTransform(const TransformArgs& args, VectorPath path, unsigned threads = 0);
// The best path on every core.
void directTransform(const TransformArgs& args);

}  // namespace orv::viewer
