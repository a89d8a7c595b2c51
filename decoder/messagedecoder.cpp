#include "decoder/messagedecoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <numbers>
#include <unordered_set>

#include "decoder/hypothesissearch.h"
#include "decoder/listviterbi.h"
#include "orv/parallelfor.h"

namespace orv::decoder {
namespace {

// 0, or more than the machine has: all of them.
unsigned coresToUse(unsigned asked) {
    const unsigned machine = machineThreads();
    return asked == 0 || asked > machine ? machine : asked;
}

constexpr double pi = std::numbers::pi;

// Rounds of decoding the best hypothesis and refitting its carrier and start
// to the decisions.
constexpr int refinements = 2;
// The frequency a refinement looks around its carrier, cycles over the message.
constexpr double refineCycles = 0.5;
// The stored trellises of the list's hypotheses together, and the list itself
// per distinct path besides its bits.
constexpr double trellisBudget = 320e6;
constexpr double bytesPerPath = 128;
// More hypotheses than this gain little, and each adds its own list's queue
// (neighbouring cells hand out many of the same paths, made and skipped).
constexpr int mostListHypotheses = 40;
constexpr std::size_t mostPeaks = 6;
constexpr std::size_t firstPeakHypotheses = 8;
// Neighbours in phase of the best peak's carrier.
constexpr double fanStep = 15 * pi / 180;
// Forward passes the search scores a start with, in state-steps (about a
// quarter of a second of one core): all carriers of a short message, whose
// squared symbols show the carrier poorly; for a long one, whose squared
// symbols show it well, only the strongest carriers there.
constexpr double searchBudget = 1e9;
// Fewer carriers than this in the budget: each cell takes the phase of its
// squared symbols instead of 16 phases, at a quarter of the budget.
constexpr double fewestCarriers = 4;
constexpr double squaresBudget = 2.5e8;
// Paths a search computes ahead of the merge at a time: more lets the
// searches run in parallel longer, fewer wastes less after the message.
constexpr std::int64_t firstBatch = 16;
constexpr std::int64_t largestBatch = 4096;
constexpr std::int64_t progressEvery = 1024;

// One hypothesis of the list and its stream of paths.
struct Stream {
    Hypothesis hypothesis;
    StoredTrellis trellis;
    std::unique_ptr<ListViterbi> search;
    struct Path {
        std::int64_t metric;
        std::uint64_t key;  // hash of the input bits: the same path from two hypotheses
        bool passes;
        std::vector<std::uint8_t> message;
    };
    std::vector<Path> ahead;
    std::size_t taken = 0;
    bool exhausted = false;
    std::int64_t batch = firstBatch;
};

std::uint64_t mixed(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15u;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
    return x ^ (x >> 31);
}

// Byte i of the bits: most significant first within each 64-bit word.
std::uint8_t byteAt(std::span<const std::uint64_t> bits, std::size_t i) {
    return std::uint8_t(bits[i / 8] >> (56 - 8 * (i % 8)));
}

// The coded symbols (+1 for coded bit 0) of a path's input bits.
std::vector<std::int8_t> decisionsOf(const TrellisCode& c, std::span<const std::uint64_t> bits) {
    std::vector<std::int8_t> out;
    out.reserve(std::size_t(c.steps) * std::size_t(c.rate));
    std::uint32_t reg = 0;
    for (int t = 0; t < c.steps; ++t) {
        const std::uint32_t u =
            t < c.infoSteps ? std::uint32_t(bits[std::size_t(t) / 64] >> (63 - t % 64)) & 1 : 0;
        reg = (reg >> 1) | (u << (c.constraintLength - 1));
        for (int j = 0; j < c.rate; ++j) out.push_back((c.pattern[reg] >> j) & 1 ? -1 : 1);
    }
    return out;
}

void computeAhead(Stream& s, std::size_t messageBytes, std::int64_t listSize) {
    s.ahead.erase(s.ahead.begin(), s.ahead.begin() + std::ptrdiff_t(s.taken));
    s.taken = 0;
    for (std::int64_t i = 0; i < s.batch; ++i) {
        std::int64_t metric;
        std::span<const std::uint64_t> bits;
        if (!s.search->next(listSize, metric, bits)) {
            s.exhausted = true;
            break;
        }
        std::vector<std::uint8_t> message(messageBytes);
        for (std::size_t b = 0; b < messageBytes; ++b) message[b] = byteAt(bits, b);
        std::uint32_t check = 0;
        for (std::size_t b = 0; b < 4; ++b) check = (check << 8) | byteAt(bits, messageBytes + b);
        const bool passes = check == messageCheck(message);
        std::uint64_t key = 0;
        for (const std::uint64_t w : bits) key = mixed(key ^ w);
        s.ahead.push_back({metric, key, passes, passes ? std::move(message) : std::vector<std::uint8_t>{}});
    }
    s.batch = std::min(largestBatch, 2 * s.batch);
}

// Es/N0 from the real parts against the sent symbols: mean squared over twice
// the variance, times symbols over payload bits.
double estimateEbN0Db(const std::vector<double>& soft, const std::vector<std::uint8_t>& coded,
                      std::int64_t messageBytes) {
    if (soft.size() < 2) return std::nan("");
    double sum = 0, sumSquares = 0;
    for (std::size_t i = 0; i < soft.size(); ++i) {
        const double v = coded[i] ? -soft[i] : soft[i];
        sum += v;
        sumSquares += v * v;
    }
    const double count = double(soft.size());
    const double mean = sum / count;
    const double variance = std::max(0.0, (sumSquares - count * mean * mean) / (count - 1));
    if (variance <= 0) return mean > 0 ? std::numeric_limits<double>::infinity() : std::nan("");
    return 10 * std::log10(mean * mean / (2 * variance) * count / (8 * double(messageBytes)));
}

// Decodes the hypothesis's best path and fits the carrier to it.
Hypothesis refined(const TrellisCode& code, const Symbols& z, const Hypothesis& h, double scale,
                   VectorPath path, StoredTrellis& trellis) {
    storeTrellis(code, softValues(z, h.carrier, scale), path, trellis);
    ListViterbi search(code, trellis);
    std::int64_t metric;
    std::span<const std::uint64_t> bits;
    if (!search.next(1, metric, bits)) return h;
    const std::vector<std::int8_t> decisions = decisionsOf(code, bits);
    Hypothesis best = h;
    best.carrier = fitCarrier(z, decisions, h.carrier.frequency, refineCycles);
    followWander(best.carrier, z, decisions);
    return best;
}

Hypothesis turnedHalf(Hypothesis h) {
    h.carrier.phase += pi;
    return h;
}

}  // namespace

DecodeResult decodeMessage(const MessageCode& code, std::int64_t messageBytes, const StartSearch& search,
                           const DecodeSettings& settings) {
    const auto began = std::chrono::steady_clock::now();
    DecodeResult result;
    result.ebN0Db = std::nan("");
    auto finish = [&] {
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        return result;
    };
    if (code.raw || code.generators.empty() || !checkMessageBytes(code, messageBytes).ok() ||
        code.constraintLength > maxConstraintLength || code.rate() > maxGenerators || settings.listSize < 1 ||
        search.starts.empty() || search.nominal >= search.starts.size())
        return finish();
    const unsigned cores = coresToUse(settings.cores);
    const TrellisCode trellisCode(code, messageBytes);
    const std::size_t count = std::size_t(codedSymbolCount(code, messageBytes));
    std::vector<Symbols> starts;
    for (const auto& given : search.starts) {
        Symbols z(count);
        std::copy_n(given.begin(), std::min(count, given.size()), z.begin());
        for (auto& v : z)
            if (!std::isfinite(v.real()) || !std::isfinite(v.imag())) v = 0;
        starts.push_back(std::move(z));
    }
    // from the nominal start
    const double scale = softScale(starts[search.nominal]);
    const VectorPath path = bestTrellisPath();
    const auto report = [&](DecodeProgress::Stage stage, std::int64_t done, std::int64_t total) {
        if (settings.progress) settings.progress({stage, done, total});
    };

    // The grid: every start, carriers, phases. Too much work for a long
    // message: its squared symbols show the carrier reliably, so only the
    // strongest carriers are scored. Every start, not every second one with
    // the winner refined between: a start refined from decisions still full
    // of errors strays from the message's own as often as it finds it.
    std::vector<double> carriers = carrierGrid(std::max(0.0, settings.searchCycles), count);
    double cellWork = gridPhases * passWork(trellisCode);
    bool phaseFromSquares = false;
    if (cellWork * double(carriers.size()) > searchBudget) {
        carriers = strongestFirst(starts[search.nominal], carriers);
        double budget = searchBudget;
        if (cellWork * fewestCarriers > searchBudget) {
            // So long that a few carriers use up the budget: its squared
            // symbols give the phase too.
            phaseFromSquares = true;
            cellWork = 2 * passWork(trellisCode);
            budget = squaresBudget;
        }
        carriers.resize(std::size_t(std::clamp(budget / cellWork, 1.0, double(carriers.size()))));
    }
    report(DecodeProgress::Stage::Search, 0, std::int64_t(starts.size() * carriers.size()));

    // The list's hypotheses, as many as the memory budget holds, most
    // promising first: the best peak refined to its own decisions, in both
    // polarities, its wandering phase when following it pays, its neighbours
    // in phase; then the next peaks, refined, in both polarities. Each
    // hypothesis is a chance for noise to push paths ahead of the message, so
    // the next peaks get no neighbours.
    const double trellisBytes = 2 * double(trellisCode.entryCount());
    const auto fits =
        std::size_t(std::clamp(std::floor(trellisBudget / trellisBytes), 1.0, double(mostListHypotheses)));
    const std::size_t peakCount =
        std::max<std::size_t>(1, std::min(mostPeaks, (fits - std::min(fits, firstPeakHypotheses)) / 2 + 1));
    // A long message, whose phase is known well, leaves its memory to its
    // first peak; a short one's grid cells fill what the peaks leave.
    const std::size_t cellCount = fits < firstPeakHypotheses ? 0 : fits;
    const GridResult grid = gridPeaks(trellisCode, starts, carriers, scale, peakCount, cellCount,
                                      search.nominal, cores, path, phaseFromSquares);
    const std::vector<Hypothesis>& peaks = grid.peaks;
    std::vector<Hypothesis> chosen;
    StoredTrellis reused;  // the refinements' passes, then the first stream's
    for (const Hypothesis& peak : peaks) {
        Hypothesis h = peak;
        if (&peak == &peaks.front()) {
            // The first round decodes with the squared symbols' wander when that scores better.
            Hypothesis squares = peak;
            followSquares(squares.carrier, starts[peak.start]);
            const auto score = [&](const Hypothesis& x) {
                return bestMetric(trellisCode, softValues(starts[x.start], x.carrier, scale), path);
            };
            if (!squares.carrier.wander.empty() && score(squares) > score(peak)) h = squares;
        }
        for (int round = 0; round < refinements; ++round)
            h = refined(trellisCode, starts[h.start], h, scale, path, reused);
        Hypothesis line = h;
        line.carrier.wander.clear();
        chosen.push_back(line);
        chosen.push_back(turnedHalf(line));
        if (&peak != &peaks.front()) continue;
        if (!h.carrier.wander.empty()) {
            chosen.push_back(h);
            chosen.push_back(turnedHalf(h));
        }
        // A long message fixes its phase well; a short one gets neighbours.
        if (fits < firstPeakHypotheses) continue;
        for (const double side : {-fanStep, fanStep}) {
            Hypothesis x = line;
            x.carrier.phase += side;
            chosen.push_back(x);
        }
        for (const double side : {-fanStep, fanStep}) {
            Hypothesis x = turnedHalf(line);
            x.carrier.phase += side;
            chosen.push_back(x);
        }
    }
    // The rest of the memory goes to the best cells as the grid has them. At
    // the lowest levels a message's cell on the grid often scores below a
    // ridge neighbour or a noise cell, and a refined peak there confirms its
    // own decisions; with every good cell in the list the message's paths
    // are found where they score best, and a path that several cells share
    // counts once.
    for (const Hypothesis& cell : grid.cells) {
        if (chosen.size() >= fits) break;
        chosen.push_back(cell);
    }
    if (chosen.size() > fits) chosen.resize(fits);
    const std::int64_t listSize = settings.listSize;
    {
        // Fail before the long search rather than deep into it.
        const double words = double((trellisCode.infoSteps + 63) / 64);
        const double need =
            trellisBytes * double(chosen.size()) + double(listSize) * (bytesPerPath + 8 * words);
        void* probe = need < 1e18 ? ::operator new(std::size_t(need), std::nothrow) : nullptr;
        if (!probe) throw std::bad_alloc();
        ::operator delete(probe);
    }
    std::vector<Stream> streams(chosen.size());
    streams.front().trellis = std::move(reused);
    parallelFor(streams.size(), cores, [&](std::size_t i) {
        Stream& s = streams[i];
        s.hypothesis = chosen[i];
        storeTrellis(trellisCode, softValues(starts[s.hypothesis.start], s.hypothesis.carrier, scale), path,
                     s.trellis);
        s.search = std::make_unique<ListViterbi>(trellisCode, s.trellis);
    });
    result.hypotheses = int(streams.size());

    // Merge the streams by metric less the hypothesis's prior (ties to the
    // earlier hypothesis); every distinct path taken counts against the one
    // list bound. A path that an earlier hypothesis already gave is skipped:
    // it cannot pass where it failed, nor add a false message.
    const std::size_t bytes = std::size_t(messageBytes);
    std::int64_t rank = 0;
    const Stream* winner = nullptr;
    std::unordered_set<std::uint64_t> seen;
    const auto ranked = [](const Stream& s) { return s.ahead[s.taken].metric - s.hypothesis.prior; };
    while (rank < listSize) {
        std::vector<std::size_t> refill;
        for (std::size_t i = 0; i < streams.size(); ++i)
            if (streams[i].taken == streams[i].ahead.size() && !streams[i].exhausted) refill.push_back(i);
        if (!refill.empty()) {
            // also top up the others that run low, so more searches share a round
            for (std::size_t i = 0; i < streams.size(); ++i)
                if (!streams[i].exhausted && streams[i].taken != streams[i].ahead.size() &&
                    2 * (streams[i].ahead.size() - streams[i].taken) < std::size_t(streams[i].batch))
                    refill.push_back(i);
            parallelFor(refill.size(), cores,
                        [&](std::size_t r) { computeAhead(streams[refill[r]], bytes, listSize); });
        }
        Stream* bestStream = nullptr;
        for (auto& s : streams)
            if (s.taken < s.ahead.size() && (!bestStream || ranked(s) > ranked(*bestStream))) bestStream = &s;
        if (!bestStream) break;
        auto& p = bestStream->ahead[bestStream->taken++];
        if (!seen.insert(p.key).second) continue;
        if (++rank % progressEvery == 0) report(DecodeProgress::Stage::List, rank, listSize);
        if (p.passes) {
            winner = bestStream;
            result.message = std::move(p.message);
            break;
        }
    }
    result.candidatesChecked = rank;

    if (!winner) return finish();

    const Hypothesis& w = winner->hypothesis;
    result.found = true;
    result.listRank = rank;
    double phase = std::fmod(w.carrier.phaseAt(0), 2 * pi);
    if (phase < 0) phase += 2 * pi;
    result.phaseDegrees = phase * 180 / pi;
    result.frequencyRefinement = w.carrier.frequency;
    result.startOffset = std::ptrdiff_t(w.start) - std::ptrdiff_t(search.nominal);
    result.phaseFollowed = !w.carrier.wander.empty();
    std::vector<double> soft(count);
    for (std::size_t k = 0; k < count; ++k) {
        const double a = w.carrier.phaseAt(k);
        soft[k] = starts[w.start][k].real() * std::cos(a) + starts[w.start][k].imag() * std::sin(a);
    }
    result.ebN0Db = estimateEbN0Db(soft, encodeMessage(code, result.message), messageBytes);
    return finish();
}

DecodeResult decodeMessage(const MessageCode& code, std::int64_t messageBytes,
                           std::span<const std::complex<double>> symbols, const DecodeSettings& settings) {
    StartSearch one;
    one.starts.emplace_back(symbols.begin(), symbols.end());
    return decodeMessage(code, messageBytes, one, settings);
}

}  // namespace orv::decoder
