#include "decoder/trellis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace orv::decoder {
namespace {

constexpr std::uint32_t blockStates = 16;
constexpr std::uint32_t blockRegisters = 2 * blockStates;
constexpr std::size_t hugePage = std::size_t(2) << 20;

std::int16_t wrapped(int value) { return std::int16_t(value); }  // modulo 2^16

// Branch metrics of every coded pattern from one step's soft values: pattern
// p negates soft value j where bit j is set. Gray-code order, one sum each.
void branchMetrics(const std::int16_t* y, int n, std::int16_t* out) {
    int all = 0;
    for (int j = 0; j < n; ++j) all += y[j];
    out[0] = std::int16_t(all);
    for (std::uint32_t g = 1; g < (1u << n); ++g) {
        const std::uint32_t p = g ^ (g >> 1), previous = (g - 1) ^ ((g - 1) >> 1);
        const int j = std::countr_zero(p ^ previous);
        out[p] = std::int16_t(out[previous] + ((p >> j) & 1 ? -2 : 2) * y[j]);
    }
}

// The vector paths' table (see StepTables), in Gray-code order of the high
// pattern: each row from the previous one by one soft value added or taken
// off in every lane. Whole numbers: the same as reading each entry from the
// branch metrics.
void fillTable(const TrellisCode& c, const std::int16_t* y, const std::int16_t* branch, std::int16_t* even) {
    std::int16_t up[8][blockStates], down[8][blockStates];  // what setting or clearing bit j adds
    for (int j = 0; j < c.rate; ++j)
        for (std::uint32_t i = 0; i < blockStates; ++i) {
            down[j][i] = std::int16_t(((c.pattern[2 * i] >> j) & 1 ? 2 : -2) * y[j]);
            up[j][i] = std::int16_t(-down[j][i]);
        }
    for (std::uint32_t i = 0; i < blockStates; ++i) even[i] = branch[c.pattern[2 * i]];
    for (std::uint32_t g = 1; g < (1u << c.rate); ++g) {
        const std::uint32_t h = g ^ (g >> 1), previous = (g - 1) ^ ((g - 1) >> 1);
        const int j = std::countr_zero(h ^ previous);
        const std::int16_t* d = (h >> j) & 1 ? down[j] : up[j];
        std::int16_t* row = even + blockStates * h;
        const std::int16_t* from = even + blockStates * previous;
        for (std::uint32_t i = 0; i < blockStates; ++i) row[i] = std::int16_t(from[i] + d[i]);
    }
}

// One add-compare-select over the states s < limit, all of whose
// predecessors are paths.
void plainStep(const TrellisCode& c, const std::int16_t* branch, std::uint32_t limit, const std::int16_t* m,
               std::int16_t* next, std::uint16_t* entries) {
    const std::uint32_t mask = c.states - 1;
    for (std::uint32_t s = 0; s < limit; ++s) {
        const std::uint32_t r0 = s << 1, r1 = r0 | 1;
        const std::int16_t m0 = wrapped(m[r0 & mask] + branch[c.pattern[r0]]);
        const std::int16_t m1 = wrapped(m[r1 & mask] + branch[c.pattern[r1]]);
        const std::int16_t d = wrapped(m1 - m0);
        const bool one = d > 0;
        next[s] = one ? m1 : m0;
        if (entries) entries[s] = std::uint16_t(std::abs(int(d)) | (one ? survivorBit : 0));
    }
}

// The whole pass; entries null for the metric alone. The metrics wrap, so the
// best path's own metric is followed as a 64-bit sum of state 0's changes,
// each of which is smaller than 2^15.
std::int64_t forwardPass(const TrellisCode& c, std::span<const std::int16_t> soft, VectorPath path,
                         std::uint16_t* entries) {
    const std::uint32_t states = c.states;
    const int n = c.rate;
    const bool vector = path != VectorPath::Plain && states >= vectorStatesMinimum;
    std::vector<std::int16_t> metrics(states, 0), next(states, 0), branch(std::size_t(1) << n);
    std::vector<std::int16_t> even;
    if (vector) even.resize((std::size_t(1) << n) * blockStates);
    const StepTables tables{even.data(), c.high.data(), c.newestPattern, c.pattern[1], states};
    const int startSteps = c.constraintLength - 1;
    std::int64_t best = 0;
    for (int t = 0; t < c.steps; ++t) {
        branchMetrics(soft.data() + std::size_t(t) * std::size_t(n), n, branch.data());
        std::uint16_t* row = entries ? entries + std::size_t(t) * states : nullptr;
        if (t < startSteps) {
            // From state 0 only: after step t the oldest K-2-t bits are still zero,
            // and every such state has one predecessor.
            if (row) std::fill_n(row, states, noAlternative);
            const std::uint32_t stride = std::uint32_t(1) << (startSteps - 1 - t);
            for (std::uint32_t s = 0; s < states; s += stride)
                next[s] = wrapped(metrics[(s << 1) & (states - 1)] + branch[c.pattern[s << 1]]);
        } else {
            // The tail's inputs are zero: one more high bit of the state is zero each step.
            const std::uint32_t limit =
                t < c.infoSteps ? states : states >> std::min(31, t - c.infoSteps + 1);
            if (row) std::fill(row + limit, row + states, noAlternative);
            if (vector && limit % blockStates == 0) {
                fillTable(c, soft.data() + std::size_t(t) * std::size_t(n), branch.data(), even.data());
                vectorStep(path, tables, limit, metrics.data(), next.data(), row);
            } else {
                plainStep(c, branch.data(), limit, metrics.data(), next.data(), row);
            }
        }
        best += wrapped(next[0] - metrics[0]);
        metrics.swap(next);
    }
    return best;
}

}  // namespace

TrellisCode::TrellisCode(const MessageCode& code, std::int64_t messageBytes)
    : constraintLength(code.constraintLength),
      rate(code.rate()),
      states(std::uint32_t(1) << (code.constraintLength - 1)),
      infoSteps(int(8 * messageBytes) + checkBits),
      steps(int(messageStepCount(code, messageBytes))) {
    const std::uint32_t registers = 2 * states;
    pattern.resize(std::max(registers, blockRegisters));
    // registers beyond 2^K (small K) are only read by the vector tables, never used
    for (std::uint32_t r = 0; r < pattern.size(); ++r)
        for (int j = 0; j < rate; ++j)
            pattern[r] |= std::uint8_t((std::popcount(r & code.generators[std::size_t(j)]) & 1) << j);
    for (std::uint32_t b = 0; b * blockRegisters < registers / 2; ++b)
        high.push_back(pattern[b * blockRegisters]);
    newestPattern = pattern[states % registers];
}

std::int64_t bestMetric(const TrellisCode& code, std::span<const std::int16_t> soft, VectorPath path) {
    return forwardPass(code, soft, path, nullptr);
}

void StoredTrellis::Free::operator()(std::uint16_t* p) const { std::free(p); }

void storeTrellis(const TrellisCode& code, std::span<const std::int16_t> soft, VectorPath path,
                  StoredTrellis& into) {
    if (!into.entries) {
        // Large ones on huge pages where the system offers them: half the page faults' cost.
        const std::size_t bytes = 2 * code.entryCount();
        const bool large = bytes >= hugePage;
        void* p = large ? std::aligned_alloc(hugePage, (bytes + hugePage - 1) / hugePage * hugePage)
                        : std::malloc(std::max<std::size_t>(bytes, 1));
        if (!p) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        if (large) madvise(p, bytes, MADV_HUGEPAGE);
#endif
        into.entries.reset(static_cast<std::uint16_t*>(p));
    }
    into.bestMetric = forwardPass(code, soft, path, into.entries.get());
}

std::int16_t quantized(double value, double scale) {
    const double q = std::nearbyint(value * scale);
    if (!(q == q)) return 0;
    return std::int16_t(std::clamp(q, double(-softLimit), double(softLimit)));
}

}  // namespace orv::decoder
