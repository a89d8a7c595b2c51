#pragma once
// Lightning and other impulses: samples whose magnitude stands far above the
// recording's running robust level are left out of the symbol sums. The
// level is the median magnitude of blocks of samples, taken as the larger of
// the medians of the blocks just before and just after: impulses that come
// tens of times a second move neither, and a strong transmission that starts
// or stops is no impulse on either side of its edge.
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

namespace orv::receiver {

// In multiples of the level. Gaussian noise reaches 5 times its median
// magnitude once in 2^25 samples, so clean recordings keep their symbols.
inline constexpr double defaultBlankThreshold = 5;

// 1 for each sample to leave out; none where the threshold is 0 or the level
// is 0 (digital silence).
std::vector<std::uint8_t> impulseMask(std::span<const std::complex<float>> samples, double threshold);

}  // namespace orv::receiver
