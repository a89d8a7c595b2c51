#include "decoder/listviterbi.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace orv::decoder {
namespace {

// Start metric of the states the encoder cannot be in; anything this low is
// no path at all.
constexpr double unreachable = -1e30;
constexpr double noPath = -1e29;

}  // namespace

ListViterbi::ListViterbi(const MessageCode& code, int infoSteps, std::span<const double> soft)
    : k_(code.constraintLength), infoSteps_(infoSteps), floor_(noPath) {
    const int n = code.rate();
    steps_ = std::int32_t(soft.size() / std::size_t(n));
    states_ = std::uint32_t(1) << (k_ - 1);
    words_ = (states_ + 63) / 64;
    survivors_.assign(std::size_t(steps_) * words_, 0);
    differences_.resize(std::size_t(steps_) * states_);

    // coded bits of every register value, bit j for generator j
    std::vector<std::uint16_t> pattern(std::size_t(2) * states_);
    for (std::uint32_t r = 0; r < pattern.size(); ++r)
        for (int j = 0; j < n; ++j)
            pattern[r] |= std::uint16_t((std::popcount(r & code.generators[std::size_t(j)]) & 1) << j);

    std::vector<double> metric(states_, unreachable), next(states_);
    metric[0] = 0;
    std::vector<double> branch(std::size_t(1) << n);
    const std::uint32_t mask = states_ - 1;
    const std::uint32_t newest = k_ >= 2 ? std::uint32_t(1) << (k_ - 2) : 0;
    for (std::int32_t t = 0; t < steps_; ++t) {
        const double* y = soft.data() + std::size_t(t) * std::size_t(n);
        for (std::size_t p = 0; p < branch.size(); ++p) {
            double m = 0;
            for (int j = 0; j < n; ++j) m += ((p >> j) & 1) ? -y[j] : y[j];
            branch[p] = m;
        }
        // in the tail the input is zero, so states whose newest bit is set are out
        const bool tail = t >= infoSteps_;
        std::uint64_t* surv = survivors_.data() + std::size_t(t) * words_;
        float* diff = differences_.data() + std::size_t(t) * states_;
        for (std::uint32_t s = 0; s < states_; ++s) {
            if (tail && (s & newest)) {
                next[s] = unreachable;
                diff[s] = 0;
                continue;
            }
            const std::uint32_t r0 = s << 1, r1 = r0 | 1;
            const double m0 = metric[r0 & mask] + branch[pattern[r0]];
            const double m1 = metric[r1 & mask] + branch[pattern[r1]];
            // no branches on the comparison: it is a coin toss in noise
            const bool one = m1 > m0;
            next[s] = one ? m1 : m0;
            diff[s] = float(std::fabs(m0 - m1));
            surv[s / 64] |= std::uint64_t(one) << (s % 64);
        }
        metric.swap(next);
    }
    bestMetric_ = metric[0];
}

void ListViterbi::walk(std::int32_t from, std::int32_t to, std::uint32_t state, bool leave,
                       std::vector<std::uint8_t>& bits, const Entry* childrenOf, std::int64_t remaining) {
    const std::uint32_t mask = states_ - 1;
    for (std::int32_t t = from; t >= to; --t) {
        const bool leaving = leave && t == from;
        if (childrenOf && !leaving && remaining > 0) {
            const double m = childrenOf->metric - double(differences_[std::size_t(t) * states_ + state]);
            if (m >= floor_) {
                queue_.push_back({m, queued_++, std::int32_t(records_.size() - 1), t, state});
                std::push_heap(queue_.begin(), queue_.end(),
                               [](const Entry& a, const Entry& b) { return before(b, a); });
            }
        }
        const std::uint32_t r = (state << 1) | std::uint32_t(survivor(t, state) != leaving);
        if (t < infoSteps_) bits[std::size_t(t)] = std::uint8_t(r >> (k_ - 1));
        state = r & mask;
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

bool ListViterbi::next(std::int64_t allowance, double& metric, std::vector<std::uint8_t>& infoBits) {
    if (!started_) {
        started_ = true;
        if (steps_ > 0 && bestMetric_ > noPath) queue_.push_back({bestMetric_, queued_++, -1, steps_, 0});
    }
    const std::int64_t remaining = allowance - produced();
    if (queue_.empty() || remaining <= 0) return false;
    std::pop_heap(queue_.begin(), queue_.end(), [](const Entry& a, const Entry& b) { return before(b, a); });
    const Entry e = queue_.back();
    queue_.pop_back();
    records_.push_back({e.parent, e.step, e.state});
    infoBits.assign(std::size_t(infoSteps_), 0);

    // this path's own segment, then its ancestors' segments above it
    const bool best = e.parent < 0;
    walk(best ? steps_ - 1 : e.step, 0, e.state, !best, infoBits, &e, remaining - 1);
    std::int32_t below = e.step;
    for (std::int32_t p = e.parent; p >= 0; p = records_[std::size_t(p)].parent) {
        const Record& a = records_[std::size_t(p)];
        const bool aBest = a.parent < 0;
        walk(aBest ? steps_ - 1 : a.step, below + 1, a.state, !aBest, infoBits, nullptr, 0);
        below = a.step;
    }
    prune(remaining - 1);
    metric = e.metric;
    return true;
}

}  // namespace orv::decoder
