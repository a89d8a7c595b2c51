#pragma once
// Lightning and other impulses: samples whose magnitude stands far above the
// recording's running robust level are left out of the symbol sums. The level
// is the median of block levels (64 samples each, a block's lower quartile
// scaled to the median of Gaussian noise) over the eight blocks just before
// and over the eight just after, the larger of the two: impulses that come
// tens of times a second move neither, and a strong transmission that starts
// or stops is no impulse on either side of its edge. Samples above the
// threshold are left out only within eight blocks of an unmistakable impulse,
// one above twice the threshold, which Gaussian noise never reaches.
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

namespace orv::receiver {

// In multiples of the level. Gaussian noise reaches 3 times its median
// magnitude once in 2^9 samples and 6 times once in 2^36: clean recordings
// keep every sample, and where impulses are, cutting at 3 levels leaves far
// less of them than at 4 or 5 for the few samples of noise it costs.
inline constexpr double defaultBlankThreshold = 3;

// 1 for each sample to leave out; none where the threshold is 0 or the level
// is 0 (digital silence).
std::vector<std::uint8_t> impulseMask(std::span<const std::complex<float>> samples, double threshold);

}  // namespace orv::receiver
