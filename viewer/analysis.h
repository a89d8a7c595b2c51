#pragma once
// The two dB spectra, the squared-spectrum peak, the carrier offset and the
// timing error. Every stored value is a 32-bit float; expressions are formed
// in double and rounded when stored.
#include <cstddef>
#include <functional>
#include <vector>

namespace orv::viewer {

// 2 pi as a 32-bit float, the twiddle tables' turn.
inline constexpr float fullTurn = 6.2831855f;
// 10 / ln 10 as a 32-bit float.
inline constexpr float dbPerNeper = 4.3429446f;
inline constexpr float floorDb = -60.0f;

struct SpectrumWork {
    std::vector<float> squaredI;
    std::vector<float> squaredQ;
    std::vector<float> spectrumRe;
    std::vector<float> spectrumIm;
    std::vector<float> spectrumDb;  // reordered: bin 0 at index n / 2
    std::vector<float> twiddleCos;
    std::vector<float> twiddleSin;
};

struct AnalysisResult {
    float squaredPeakDb = 0;
    float carrierOffset = 0;  // cycles per symbol
    float timeError = 0;      // symbol durations
};

// The five work arrays, n zero-filled floats each (may throw std::bad_alloc).
void allocateWorkArrays(SpectrumWork& work, std::size_t n);
// cos and sin of m * fullTurn / n for m = 0 .. n-1 (may throw std::bad_alloc).
void fillTwiddleTables(SpectrumWork& work, std::size_t n);

// Direct transform of x with a positive exponent, scaled by 1/sqrt(n), then
// the reordered dB power spectrum with a -60 dB floor.
void computeSpectrumDb(SpectrumWork& work, const float* re, const float* im);

// squaredI + j squaredQ = (I + jQ)^2.
void squareSymbols(const std::vector<float>& inPhase, const std::vector<float>& quadrature,
                   SpectrumWork& work);

struct SquaredPeak {
    float squaredPeakDb = 0;
    float carrierOffset = 0;
};
// Strongest bin of spectrumDb above index 0, refined over its two neighbours.
SquaredPeak findSquaredPeak(const std::vector<float>& spectrumDb);

// Turns the symbols back by 2 pi carrierOffset per symbol, in place.
void correctFrequency(std::vector<float>& inPhase, std::vector<float>& quadrature, float carrierOffset);

// Real part of sum u(i-1) u(i) / sum u(i)^2 over i = 1 .. n-1; NaN when the
// second sum is 0 (n = 1, or all symbols 0).
float estimateTimeError(const std::vector<float>& inPhase, const std::vector<float>& quadrature);

// Which spectrum a step has just left in work.spectrumDb.
enum class SpectrumOf { Symbols, Squares };
using SpectrumShown = std::function<void(SpectrumOf which, const std::vector<float>& spectrumDb)>;

// The analysis as phaseview runs it, on scaled symbols and allocated work
// arrays: the symbols' spectrum, the squares' spectrum, the peak, the
// frequency correction (in place: the symbols end up corrected) and the
// timing error. show sees each spectrum as soon as it is computed.
AnalysisResult analyseSymbols(std::vector<float>& inPhase, std::vector<float>& quadrature, SpectrumWork& work,
                              const SpectrumShown& show);

}  // namespace orv::viewer
