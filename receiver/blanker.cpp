#include "blanker.h"

#include <algorithm>
#include <cmath>

namespace orv::receiver {
namespace {

constexpr std::size_t blockLength = 64;
constexpr std::size_t sideBlocks = 8;  // a side's median over this many blocks, the own one included

double median(std::vector<double>& v) {
    const auto middle = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), middle, v.end());
    return *middle;
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
        blockMedian[b] = median(part);
    }
    for (std::size_t b = 0; b < blocks; ++b) {
        part.assign(blockMedian.begin() + std::ptrdiff_t(b + 1 >= sideBlocks ? b + 1 - sideBlocks : 0),
                    blockMedian.begin() + std::ptrdiff_t(b + 1));
        double level = median(part);
        part.assign(blockMedian.begin() + std::ptrdiff_t(b),
                    blockMedian.begin() + std::ptrdiff_t(std::min(blocks, b + sideBlocks)));
        level = std::max(level, median(part));
        if (!(level > 0)) continue;
        const double limit = threshold * level;
        for (std::size_t i = b * blockLength; i < std::min(samples.size(), (b + 1) * blockLength); ++i)
            blanked[i] = size[i] > limit;
    }
    return blanked;
}

}  // namespace orv::receiver
