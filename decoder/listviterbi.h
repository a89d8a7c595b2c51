#pragma once
// Soft-decision list Viterbi decoding of a terminated rate-1/n convolutional
// code: one forward pass keeps, per step and state, the survivor and how far
// the losing branch fell behind; a serial search then hands out whole paths
// in order of decreasing metric, each one a parent path that leaves through
// one losing branch and follows survivors back to the start.
#include <cstdint>
#include <span>
#include <vector>

#include "decoder/messagecode.h"

namespace orv::decoder {

class ListViterbi {
public:
    // soft: n values per step, messageStepCount steps; a larger value favours
    // coded bit 0 (symbol +1). infoSteps: steps before the zero tail.
    ListViterbi(const MessageCode& code, int infoSteps, std::span<const double> soft);

    // The next path in order of decreasing metric (equal metrics in a fixed
    // order). allowance is the most paths this search will ever be asked for;
    // it bounds the queue. infoBits gets the input bits of the infoSteps.
    // false when no path is left.
    bool next(std::int64_t allowance, double& metric, std::vector<std::uint8_t>& infoBits);

    std::int64_t produced() const { return std::int64_t(records_.size()); }

private:
    struct Entry {
        double metric;
        std::uint64_t order;  // tie-break: first queued comes first
        std::int32_t parent;  // record index, -1 for the best path
        std::int32_t step;    // where the path leaves its parent
        std::uint32_t state;  // state after that step on the parent's path
    };
    struct Record {
        std::int32_t parent;
        std::int32_t step;
        std::uint32_t state;
    };
    static bool before(const Entry& a, const Entry& b) {
        return a.metric > b.metric || (a.metric == b.metric && a.order < b.order);
    }
    bool survivor(std::int64_t step, std::uint32_t state) const {
        return (survivors_[std::size_t(step) * words_ + state / 64] >> (state % 64)) & 1;
    }
    // Walks one path segment down from step `from` to `to` (inclusive),
    // writing input bits; a record's own segment may queue its children.
    void walk(std::int32_t from, std::int32_t to, std::uint32_t state, bool leave,
              std::vector<std::uint8_t>& bits, const Entry* childrenOf, std::int64_t remaining);
    void prune(std::int64_t remaining);

    int k_;
    int infoSteps_;
    std::int32_t steps_;
    std::uint32_t states_;
    std::size_t words_;
    std::vector<std::uint64_t> survivors_;  // packed, per step and state
    std::vector<float> differences_;        // winner minus loser, per step and state
    double bestMetric_ = 0;
    bool started_ = false;
    std::vector<Entry> queue_;  // a heap on `before`
    std::vector<Record> records_;
    double floor_;
    std::uint64_t queued_ = 0;
};

}  // namespace orv::decoder
