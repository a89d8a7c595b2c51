#include "viewer/analysis.h"

#include <cmath>

#include "viewer/transform.h"

namespace orv::viewer {

void allocateWorkArrays(SpectrumWork& work, std::size_t n) {
    work.squaredI.assign(n, 0.0f);
    work.squaredQ.assign(n, 0.0f);
    work.spectrumRe.assign(n, 0.0f);
    work.spectrumIm.assign(n, 0.0f);
    work.spectrumDb.assign(n, 0.0f);
}

void fillTwiddleTables(SpectrumWork& work, std::size_t n) {
    work.twiddleCos.assign(n, 0.0f);
    work.twiddleSin.assign(n, 0.0f);
    const double turn = fullTurn;
    for (std::size_t m = 0; m < n; ++m) {
        const double angle = static_cast<double>(m) * turn / static_cast<double>(n);
        work.twiddleCos[m] = static_cast<float>(std::cos(angle));
        work.twiddleSin[m] = static_cast<float>(std::sin(angle));
    }
}

void computeSpectrumDb(SpectrumWork& work, const float* re, const float* im) {
    const std::size_t n = work.spectrumDb.size();
    if (n == 0) return;
    TransformArgs args;
    args.re = re;
    args.im = im;
    args.twiddleCos = work.twiddleCos.data();
    args.twiddleSin = work.twiddleSin.data();
    args.n = n;
    args.outRe = work.spectrumRe.data();
    args.outIm = work.spectrumIm.data();
    directTransform(args);

    const std::size_t h = n / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = work.spectrumRe[i];
        const double b = work.spectrumIm[i];
        const auto p = static_cast<float>(a * a + b * b);
        std::size_t t = i + h;
        if (t >= n) t -= n;
        // The floor keeps the logarithm away from 0.
        work.spectrumDb[t] =
            p > 0.000001 ? static_cast<float>(std::log(static_cast<double>(p)) * dbPerNeper) : floorDb;
    }
}

void squareSymbols(const std::vector<float>& inPhase, const std::vector<float>& quadrature,
                   SpectrumWork& work) {
    for (std::size_t i = 0; i < inPhase.size(); ++i) {
        const double re = inPhase[i];
        const double im = quadrature[i];
        work.squaredI[i] = static_cast<float>(re * re - im * im);
        work.squaredQ[i] = static_cast<float>(im * 2 * re);
    }
}

SquaredPeak findSquaredPeak(const std::vector<float>& db) {
    const std::size_t n = db.size();
    SquaredPeak out;
    if (n == 0) return out;
    float best = -200;
    std::size_t k = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (db[i] > best) {
            best = db[i];
            k = i;
        }
    }
    out.squaredPeakDb = db[k];
    out.carrierOffset = k == 0 ? -0.25f : 0.25f;
    if (k > 0 && k < n - 1) {
        const double below = db[k - 1];
        const double y0 = db[k];
        const double above = db[k + 1];
        const auto d = static_cast<float>(2 * y0 - below - above);
        float delta = 0;
        if (d != 0) delta = static_cast<float>((above - below) / (2 * static_cast<double>(d)));
        const double dd = delta;
        // The factor 3 (not the 1 of the fitted vertex) is the viewer's own.
        out.squaredPeakDb = static_cast<float>(y0 + (static_cast<double>(d) / 2) * (dd * dd) * 3);
        out.carrierOffset =
            static_cast<float>(((static_cast<double>(k) + dd) / static_cast<double>(n) - 0.5) / 2);
    }
    return out;
}

void correctFrequency(std::vector<float>& inPhase, std::vector<float>& quadrature, float carrierOffset) {
    const auto omega = static_cast<float>(8 * static_cast<double>(carrierOffset) * 0.7853981633974483);
    const auto last = static_cast<float>(static_cast<double>(inPhase.size()) - 1);
    for (float i = 0; i <= last; i += 1) {
        const auto at = static_cast<std::size_t>(i);
        const double angle = static_cast<double>(i) * omega;
        const double c = std::cos(angle);
        const double s = std::sin(angle);
        const double re = inPhase[at];
        const double im = quadrature[at];
        inPhase[at] = static_cast<float>(c * re - s * im);
        quadrature[at] = static_cast<float>(s * re + c * im);
    }
}

float estimateTimeError(const std::vector<float>& inPhase, const std::vector<float>& quadrature) {
    float s1re = 0, s1im = 0, s2re = 0, s2im = 0;
    for (std::size_t i = 1; i < inPhase.size(); ++i) {
        const double re = inPhase[i];
        const double im = quadrature[i];
        const double pre = inPhase[i - 1];
        const double pim = quadrature[i - 1];
        s1re = static_cast<float>(s1re + re * re - im * im);
        s1im = static_cast<float>(s1im + re * 2 * im);
        s2re = static_cast<float>(s2re + pre * re - pim * im);
        s2im = static_cast<float>(s2im + pre * im + pim * re);
    }
    const double a = s1re, b = s1im, c = s2re, d = s2im;
    return static_cast<float>((a * c + b * d) / (a * a + b * b));
}

AnalysisResult analyseSymbols(std::vector<float>& inPhase, std::vector<float>& quadrature, SpectrumWork& work,
                              const SpectrumShown& show) {
    computeSpectrumDb(work, inPhase.data(), quadrature.data());
    show(SpectrumOf::Symbols, work.spectrumDb);
    squareSymbols(inPhase, quadrature, work);
    computeSpectrumDb(work, work.squaredI.data(), work.squaredQ.data());
    show(SpectrumOf::Squares, work.spectrumDb);

    AnalysisResult result;
    const SquaredPeak peak = findSquaredPeak(work.spectrumDb);
    result.squaredPeakDb = peak.squaredPeakDb;
    result.carrierOffset = peak.carrierOffset;
    // The corrected symbols replace the normalised ones; nothing needs those any more.
    correctFrequency(inPhase, quadrature, result.carrierOffset);
    result.timeError = estimateTimeError(inPhase, quadrature);
    return result;
}

}  // namespace orv::viewer
