#include "receiver/blanker.h"

#include <algorithm>
#include <cmath>

namespace orv::receiver {
namespace {

constexpr std::size_t blockLength = 64;
constexpr std::size_t sideBlocks = 8;  // a side's median over this many blocks, the own one included
constexpr double unmistakable = 2;     // times the threshold
// median over lower quartile of the magnitude of complex Gaussian noise: sqrt(ln 2 / ln (4/3))
const double quartileToMedian = std::sqrt(std::log(2.0) / std::log(4.0 / 3.0));

double median(std::vector<double>& v) {
    const auto middle = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), middle, v.end());
    return *middle;
}

// A block's level: its lower quartile magnitude, scaled to the median it
// stands for in Gaussian noise. Impulses in more than half of a block's
// samples still leave the quartile to the background.
double blockLevel(std::vector<double>& v) {
    const auto at = v.begin() + std::ptrdiff_t(v.size() / 4);
    std::nth_element(v.begin(), at, v.end());
    return *at * quartileToMedian;
}

}  // namespace

std::vector<std::uint8_t> impulseMask(std::span<const std::complex<float>> samples, double threshold) {
    std::vector<std::uint8_t> blanked(samples.size(), 0);
    if (!(threshold > 0) || samples.empty()) return blanked;
    std::vector<double> size(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        size[i] = std::abs(std::complex<double>(samples[i]));
        if (std::isnan(size[i])) size[i] = HUGE_VAL;  // orders like any other large value
    }
    const std::size_t blocks = (samples.size() + blockLength - 1) / blockLength;
    std::vector<double> blockMedian(blocks), part;
    for (std::size_t b = 0; b < blocks; ++b) {
        part.assign(size.begin() + std::ptrdiff_t(b * blockLength),
                    size.begin() + std::ptrdiff_t(std::min(samples.size(), (b + 1) * blockLength)));
        blockMedian[b] = blockLevel(part);
    }
    std::vector<double> limit(blocks, 0);
    std::vector<std::uint8_t> strong(blocks, 0);
    for (std::size_t b = 0; b < blocks; ++b) {
        part.assign(blockMedian.begin() + std::ptrdiff_t(b + 1 >= sideBlocks ? b + 1 - sideBlocks : 0),
                    blockMedian.begin() + std::ptrdiff_t(b + 1));
        double level = median(part);
        part.assign(blockMedian.begin() + std::ptrdiff_t(b),
                    blockMedian.begin() + std::ptrdiff_t(std::min(blocks, b + sideBlocks)));
        level = std::max(level, median(part));
        if (!(level > 0)) continue;
        limit[b] = threshold * level;
        for (std::size_t i = b * blockLength; i < std::min(samples.size(), (b + 1) * blockLength); ++i)
            strong[b] |= size[i] > unmistakable * limit[b];
    }
    // Only where an unmistakable impulse shows nearby: Gaussian noise alone
    // never reaches that far, so a clean recording keeps every sample.
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t from = b >= sideBlocks ? b - sideBlocks : 0,
                          to = std::min(blocks, b + sideBlocks + 1);
        if (limit[b] <= 0 ||
            std::none_of(strong.begin() + std::ptrdiff_t(from), strong.begin() + std::ptrdiff_t(to),
                         [](std::uint8_t v) { return v != 0; }))
            continue;
        for (std::size_t i = b * blockLength; i < std::min(samples.size(), (b + 1) * blockLength); ++i)
            blanked[i] = size[i] > limit[b];
    }
    return blanked;
}

}  // namespace orv::receiver
