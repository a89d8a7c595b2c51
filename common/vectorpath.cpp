#include "orv/vectorpath.h"

namespace orv {

VectorPath bestVectorPath(bool avx2WithFma) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool fma = __builtin_cpu_supports("fma");
    return avx2 && (fma || !avx2WithFma) ? VectorPath::Avx2 : VectorPath::Sse2;
#else
    (void)avx2WithFma;
    return VectorPath::Plain;
#endif
}

}  // namespace orv
