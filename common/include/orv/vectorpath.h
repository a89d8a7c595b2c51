#pragma once
// Which instruction set a hot loop runs on. Every path gives the bits of the
// plain loop; the choice is made at run time, never at build time.
namespace orv {

enum class VectorPath { Plain, Sse2, Avx2 };

inline const char* vectorPathName(VectorPath path) {
    switch (path) {
        case VectorPath::Avx2:
            return "avx2";
        case VectorPath::Sse2:
            return "sse2";
        case VectorPath::Plain:
            break;
    }
    return "plain";
}

// The best path this processor runs, checked once: Avx2 where it has AVX2
// (and FMA, for a loop that needs it), else Sse2 on x86, else Plain.
VectorPath bestVectorPath(bool avx2WithFma = false);

}  // namespace orv
