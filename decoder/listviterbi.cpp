#include "decoder/listviterbi.h"

#include <algorithm>
#include <limits>

namespace orv::decoder {
namespace {

constexpr std::int64_t noFloor = std::numeric_limits<std::int64_t>::min();

bool after(const auto& a, const auto& b, auto before) { return before(b, a); }

}  // namespace

ListViterbi::ListViterbi(const TrellisCode& code, const StoredTrellis& trellis)
    : code_(code),
      entries_(trellis.entries.get()),
      bestMetric_(trellis.bestMetric),
      words_((std::size_t(code.infoSteps) + 63) / 64),
      bits_(words_),
      parentBits_(words_),
      floor_(noFloor) {}

void ListViterbi::offerChild(const Entry& parent, std::int32_t record, Place place, std::int64_t remaining) {
    if (remaining <= 0 || place.cost == noAlternative) return;
    const std::int64_t m = parent.metric - place.cost;
    if (m < floor_) return;
    places_.push_back(place);
    queue_.push_back({m, queued_++, record, place.step, place.state});
    std::push_heap(queue_.begin(), queue_.end(), [](const Entry& a, const Entry& b) { return before(b, a); });
}

void ListViterbi::bitsOf(std::int32_t record, std::vector<std::uint64_t>& out) {
    chain_.clear();
    for (std::int32_t r = record; r >= 0; r = records_[std::size_t(r)].parent) chain_.push_back(r);
    std::fill(out.begin(), out.end(), 0);
    // from the best path down: each segment overrides what lies above it
    for (auto it = chain_.rbegin(); it != chain_.rend(); ++it) {
        const Record& r = records_[std::size_t(*it)];
        if (r.from > r.to) continue;
        const std::size_t first = r.from / 64, last = r.to / 64;
        for (std::size_t w = first; w <= last; ++w) {
            const int lo = w == first ? r.from % 64 : 0, hi = w == last ? r.to % 64 : 63;
            const std::uint64_t mask = (~std::uint64_t(0) >> lo) & (~std::uint64_t(0) << (63 - hi));
            out[w] = (out[w] & ~mask) | (segments_[r.words + (w - first)] & mask);
        }
    }
}

void ListViterbi::prune(std::int64_t remaining) {
    // Keep only the best `remaining` entries: nothing below them can be
    // handed out before the allowance runs out.
    auto keep = std::size_t(std::max<std::int64_t>(remaining, 1));
    if (queue_.size() <= 2 * keep + 64) return;
    std::nth_element(queue_.begin(), queue_.begin() + std::ptrdiff_t(keep - 1), queue_.end(), before);
    floor_ = std::max(floor_, queue_[keep - 1].metric);
    queue_.resize(keep);
    std::make_heap(queue_.begin(), queue_.end(), [](const Entry& a, const Entry& b) { return before(b, a); });
}

bool ListViterbi::next(std::int64_t allowance, std::int64_t& metric, std::span<const std::uint64_t>& bits) {
    if (!started_) {
        started_ = true;
        if (code_.steps > 0)
            queue_.push_back({bestMetric_, queued_++, -1, std::uint16_t(code_.steps - 1), 0});
    }
    const std::int64_t remaining = allowance - produced();
    if (queue_.empty() || remaining <= 0) return false;
    std::pop_heap(queue_.begin(), queue_.end(), [](const Entry& a, const Entry& b) { return before(b, a); });
    const Entry e = queue_.back();
    queue_.pop_back();
    const auto self = std::int32_t(records_.size());
    const bool best = e.parent < 0;
    if (best)
        std::fill(bits_.begin(), bits_.end(), 0);
    else
        bitsOf(e.parent, bits_);
    parentBits_ = bits_;

    // Own segment: leave the parent at e.step, then follow survivors down
    // until they rejoin the parent's path (for the best path: to the start).
    const int k = code_.constraintLength;
    const std::uint32_t states = code_.states, mask = states - 1;
    const auto placesBegin = std::uint32_t(places_.size());
    std::uint32_t state = e.state, parentState = e.state;
    int t = e.step;
    int rejoined = -1;  // steps below this one are the parent's
    for (; t >= 0; --t) {
        const std::uint16_t entry = entries_[std::size_t(t) * states + state];
        const bool leaving = !best && t == e.step;
        if (!leaving)
            offerChild(e, self,
                       {std::uint16_t(t), std::uint16_t(state), std::uint16_t(entry & noAlternative)},
                       remaining - 1);
        const std::uint32_t r = (state << 1) | std::uint32_t(((entry & survivorBit) != 0) != leaving);
        if (t < code_.infoSteps) {
            const std::uint64_t bit = std::uint64_t(1) << (63 - (t & 63));
            if (r >> (k - 1))
                bits_[std::size_t(t) >> 6] |= bit;
            else
                bits_[std::size_t(t) >> 6] &= ~bit;
        }
        state = r & mask;
        if (best) continue;
        const int oldest = t - k + 1;
        parentState = ((parentState << 1) |
                       std::uint32_t(oldest >= 0 && oldest < code_.infoSteps && bitAt(parentBits_, oldest))) &
                      mask;
        if (state == parentState) {
            rejoined = t;
            break;
        }
    }
    if (rejoined >= 0) {
        // the parent's places below the rejoining point are this path's too
        const Record& p = records_[std::size_t(e.parent)];
        for (std::uint32_t i = p.placesBegin; i < p.placesEnd; ++i) {
            const Place place = places_[i];
            if (place.step < rejoined) offerChild(e, self, place, remaining - 1);
        }
    }
    Record rec{e.parent,
               std::uint16_t(std::max(rejoined, 0)),
               std::uint16_t(std::min<int>(e.step, code_.infoSteps - 1)),
               std::uint32_t(segments_.size()),
               placesBegin,
               std::uint32_t(places_.size())};
    if (rec.from <= rec.to)
        segments_.insert(segments_.end(), bits_.begin() + rec.from / 64, bits_.begin() + rec.to / 64 + 1);
    records_.push_back(rec);
    prune(remaining - 1);
    metric = e.metric;
    bits = bits_;
    return true;
}

}  // namespace orv::decoder
