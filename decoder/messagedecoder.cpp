#include "decoder/messagedecoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <unordered_set>

#include "decoder/carrier.h"
#include "decoder/listviterbi.h"
#include "orv/parallelfor.h"

namespace orv::decoder {
namespace {

constexpr double pi = std::numbers::pi;

// Paths a search computes ahead of the merge at a time: more lets the
// searches run in parallel longer, fewer wastes less after the message.
constexpr std::int64_t firstBatch = 16;
constexpr std::int64_t largestBatch = 4096;
// Peaks of the squared spectrum tried besides the plain phase.
constexpr std::size_t refinedCarriers = 3;

unsigned coresToUse(unsigned asked) {
    const unsigned machine = machineThreads();
    return asked == 0 || asked > machine ? machine : asked;
}

// One guess of the carrier: the symbols turned back by it and the search
// over their soft values.
struct Hypothesis {
    CarrierEstimate carrier;
    bool inverted = false;
    bool refined = false;
    std::vector<double> soft;
    std::unique_ptr<ListViterbi> search;
    // paths computed ahead of the merge
    struct Path {
        double metric;
        std::uint64_t key;  // hash of the input bits: the same path from two hypotheses
        bool passes;
        std::vector<std::uint8_t> message;
    };
    std::vector<Path> ahead;
    std::size_t taken = 0;
    bool exhausted = false;
    std::int64_t batch = firstBatch;
};

double realTurned(std::complex<double> z, double phase) {
    return z.real() * std::cos(phase) + z.imag() * std::sin(phase);
}

std::vector<std::uint8_t> packed(const std::vector<std::uint8_t>& bits, std::size_t bytes) {
    std::vector<std::uint8_t> out(bytes, 0);
    for (std::size_t i = 0; i < 8 * bytes; ++i)
        out[i / 8] = std::uint8_t(out[i / 8] | (bits[i] << (7 - i % 8)));
    return out;
}

std::uint64_t mixed(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15u;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
    return x ^ (x >> 31);
}

void computeAhead(Hypothesis& h, std::size_t messageBytes, std::int64_t listSize) {
    std::vector<std::uint8_t> bits;
    h.ahead.erase(h.ahead.begin(), h.ahead.begin() + std::ptrdiff_t(h.taken));
    h.taken = 0;
    for (std::int64_t i = 0; i < h.batch; ++i) {
        double metric;
        if (!h.search->next(listSize, metric, bits)) {
            h.exhausted = true;
            break;
        }
        std::vector<std::uint8_t> message = packed(bits, messageBytes);
        std::uint32_t check = 0;
        for (std::size_t b = 0; b < std::size_t(checkBits); ++b)
            check = (check << 1) | bits[8 * messageBytes + b];
        const bool passes = check == messageCheck(message);
        std::uint64_t key = check;
        for (std::uint8_t byte : message) key = mixed(key ^ byte);
        h.ahead.push_back({metric, key, passes, passes ? std::move(message) : std::vector<std::uint8_t>{}});
    }
    h.batch = std::min(largestBatch, 2 * h.batch);
}

// Es/N0 from the real parts against the sent (or, without a message, the
// hard-decided) symbols: mean squared over twice the variance.
double estimateEbN0Db(const std::vector<double>& soft, const std::vector<std::uint8_t>& coded,
                      std::int64_t messageBytes) {
    if (soft.size() < 2) return 0;
    double sum = 0, sumSquares = 0;
    for (std::size_t i = 0; i < soft.size(); ++i) {
        const double v = coded.empty() ? std::fabs(soft[i]) : (coded[i] ? -soft[i] : soft[i]);
        sum += v;
        sumSquares += v * v;
    }
    const double count = double(soft.size());
    const double mean = sum / count;
    const double variance = std::max(0.0, (sumSquares - count * mean * mean) / (count - 1));
    // noise-free symbols: infinite; all symbols zero: nothing to estimate
    if (variance <= 0) return mean > 0 ? std::numeric_limits<double>::infinity() : std::nan("");
    const double esN0 = mean * mean / (2 * variance);
    return 10 * std::log10(esN0 * count / (8 * double(messageBytes)));
}

}  // namespace

DecodeResult decodeMessage(const MessageCode& code, std::int64_t messageBytes,
                           std::span<const std::complex<double>> symbols, const DecodeSettings& settings) {
    const auto started = std::chrono::steady_clock::now();
    DecodeResult result;
    auto finish = [&] {
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return result;
    };
    if (code.raw || code.generators.empty() || !checkMessageBytes(code, messageBytes).ok() ||
        code.constraintLength > maxConstraintLength || code.rate() > maxGenerators || settings.listSize < 1)
        return finish();
    const unsigned cores = coresToUse(settings.cores);
    const std::size_t count = std::size_t(codedSymbolCount(code, messageBytes));
    std::vector<std::complex<double>> z(count);
    std::copy_n(symbols.begin(), std::min(count, symbols.size()), z.begin());
    for (auto& v : z)
        if (!std::isfinite(v.real()) || !std::isfinite(v.imag())) v = 0;

    // Both polarities of the plain phase estimate and of the refined one; the
    // refined one can lock onto noise, so the plain one keeps its chance.
    std::vector<CarrierEstimate> carriers{estimatePhase(z)};
    for (const auto& e : estimateCarriers(z, refinedCarriers)) carriers.push_back(e);
    std::vector<Hypothesis> hyps(2 * carriers.size());
    for (std::size_t i = 0; i < hyps.size(); ++i) {
        hyps[i].refined = i >= 2;
        hyps[i].inverted = i % 2 == 1;
        hyps[i].carrier = carriers[i / 2];
        if (hyps[i].inverted) hyps[i].carrier.phase += pi;
    }
    const int infoSteps = int(8 * messageBytes) + checkBits;
    parallelFor(hyps.size(), cores, [&](std::size_t i) {
        Hypothesis& h = hyps[i];
        h.soft.resize(count);
        for (std::size_t k = 0; k < count; ++k) h.soft[k] = realTurned(z[k], h.carrier.phaseAt(double(k)));
        h.search = std::make_unique<ListViterbi>(code, infoSteps, h.soft);
    });

    // Merge the searches' streams by metric (ties to the earlier hypothesis);
    // every distinct path taken counts against the one list bound, except
    // that each hypothesis's best path is always checked: a list of one is
    // plain Viterbi decoding with the check choosing the polarity. A path
    // that an earlier hypothesis already gave (nearby carriers often agree)
    // is skipped: it cannot pass where it failed, nor add a false message.
    const std::size_t bytes = std::size_t(messageBytes);
    const std::int64_t listSize = settings.listSize;
    const std::int64_t total = std::max<std::int64_t>(listSize, std::int64_t(hyps.size()));
    std::int64_t rank = 0;
    const Hypothesis* winner = nullptr;
    std::unordered_set<std::uint64_t> seen;
    while (rank < total) {
        std::vector<std::size_t> refill;
        for (std::size_t i = 0; i < hyps.size(); ++i)
            if (hyps[i].taken == hyps[i].ahead.size() && !hyps[i].exhausted) refill.push_back(i);
        if (!refill.empty()) {
            // also top up the others that run low, so more searches share a round
            for (std::size_t i = 0; i < hyps.size(); ++i)
                if (!hyps[i].exhausted && hyps[i].taken != hyps[i].ahead.size() &&
                    2 * (hyps[i].ahead.size() - hyps[i].taken) < std::size_t(hyps[i].batch))
                    refill.push_back(i);
            parallelFor(refill.size(), cores,
                        [&](std::size_t r) { computeAhead(hyps[refill[r]], bytes, listSize); });
        }
        Hypothesis* bestH = nullptr;
        for (auto& h : hyps)
            if (h.taken < h.ahead.size() &&
                (!bestH || h.ahead[h.taken].metric > bestH->ahead[bestH->taken].metric))
                bestH = &h;
        if (!bestH) break;
        auto& path = bestH->ahead[bestH->taken++];
        if (!seen.insert(path.key).second) continue;
        ++rank;
        if (path.passes) {
            winner = bestH;
            result.message = std::move(path.message);
            break;
        }
    }
    result.candidatesChecked = rank;

    if (winner) {
        result.found = true;
        result.listRank = rank;
        double phase = std::fmod(winner->carrier.phaseAt(0), 2 * pi);
        if (phase < 0) phase += 2 * pi;
        result.phaseDegrees = phase * 180 / pi;
        result.frequencyRefinement = winner->refined ? winner->carrier.frequency : 0;
        result.ebN0Db = estimateEbN0Db(winner->soft, encodeMessage(code, result.message), messageBytes);
    } else {
        result.ebN0Db = estimateEbN0Db(hyps[0].soft, {}, messageBytes);
    }
    return finish();
}

}  // namespace orv::decoder
