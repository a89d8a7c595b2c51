#pragma once
// Soft-decision list Viterbi decoding of a terminated rate-1/n convolutional
// code over a stored forward pass (trellis.h): a serial search hands out
// whole paths in order of decreasing metric, each one a parent path that
// leaves it through one losing branch and follows survivors back to the start.
//
// A path keeps what its children need so that nothing is walked twice: the
// bits of its own segment (from where it leaves its parent down to where its
// survivors rejoin the parent's), and the places along its path where a child
// may leave. Below the rejoining point a path's places are its parent's, so a
// child walks only the few steps until its survivors rejoin.
#include <cstdint>
#include <span>
#include <vector>

#include "decoder/trellis.h"

namespace orv::decoder {

class ListViterbi {
public:
    // code and trellis must outlive the search.
    ListViterbi(const TrellisCode& code, const StoredTrellis& trellis);

    // The next path in order of decreasing metric (equal metrics in the order
    // they were queued). allowance is the most paths this search will ever be
    // asked for; it bounds the queue. bits gets the path's code.infoSteps
    // input bits, bit t at word t / 64, most significant first; it stays valid
    // until the next call. false when no path is left.
    bool next(std::int64_t allowance, std::int64_t& metric, std::span<const std::uint64_t>& bits);

    std::int64_t produced() const { return std::int64_t(records_.size()); }
    std::size_t wordCount() const { return words_; }

private:
    struct Entry {
        std::int64_t metric;
        std::uint64_t order;  // tie-break: first queued comes first
        std::int32_t parent;  // record index, -1 for the best path
        std::uint16_t step;   // where the path leaves its parent
        std::uint16_t state;  // state after that step on the parent's path
    };
    struct Place {  // where a child may leave: a step and state on the path, and what it costs
        std::uint16_t step;
        std::uint16_t state;
        std::uint16_t cost;
    };
    struct Record {
        std::int32_t parent;
        std::uint16_t from, to;  // own segment: steps from..to (info steps only)
        std::uint32_t words;     // first word of the segment's bits in segments_
        std::uint32_t placesBegin, placesEnd;
    };
    static bool before(const Entry& a, const Entry& b) {
        return a.metric > b.metric || (a.metric == b.metric && a.order < b.order);
    }
    static bool bitAt(const std::vector<std::uint64_t>& bits, int t) {
        return (bits[std::size_t(t) >> 6] >> (63 - (t & 63))) & 1;
    }
    void offerChild(const Entry& parent, std::int32_t record, Place place, std::int64_t remaining);
    void bitsOf(std::int32_t record, std::vector<std::uint64_t>& out);
    void prune(std::int64_t remaining);

    const TrellisCode& code_;
    const std::uint16_t* entries_;
    std::int64_t bestMetric_;
    std::size_t words_;
    bool started_ = false;
    std::vector<Entry> queue_;  // a heap on `before`
    std::vector<Record> records_;
    std::vector<Place> places_;
    std::vector<std::uint64_t> segments_;
    std::vector<std::uint64_t> bits_, parentBits_;
    std::vector<std::int32_t> chain_;
    std::int64_t floor_;
    std::uint64_t queued_ = 0;
};

}  // namespace orv::decoder
