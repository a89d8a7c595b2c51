#pragma once
// Impulses out of the band signals of all channels at once. A sample is an
// impulse where any channel's magnitude passes the threshold times that
// channel's running median magnitude; the same stretch, widened by a guard on
// both sides, is set to zero in every channel, so that a combination of the
// channels keeps its weights and no channel brings back what another lost.
#include <cstdint>
#include <vector>

#include "importer/bandmixer.h"

namespace orv::importer {

class ImpulseBlanker {
public:
    ImpulseBlanker(std::size_t channels, double threshold, int guard);
    // pending: each channel's samples not yet handed on, all of one length.
    // Checks the new ones, zeroes what is blanked and returns how many of the
    // first samples are final (all of them atEnd); dropFront(that) follows
    // once the caller has taken them out.
    std::size_t process(std::vector<Band>& pending, bool atEnd);
    void dropFront(std::size_t count);
    std::int64_t blankedSamples() const { return blanked_; }

private:
    double threshold_;
    std::int64_t guard_;
    std::vector<double> levels_;   // running median magnitude of each channel
    std::vector<char> marks_;      // beside pending: to be blanked
    std::size_t checked_ = 0;      // pending samples already checked
    std::int64_t blankUntil_ = 0;  // pending index up to which the last impulse reaches
    bool started_ = false;
    std::int64_t blanked_ = 0;
};

}  // namespace orv::importer
