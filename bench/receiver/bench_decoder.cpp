// Monte-Carlo figures of the message decoder at the symbol level: BPSK
// symbols with a random carrier phase in white Gaussian noise, decoded by
// the receiver's own library. For each code it prints the message error
// rate against Eb/N0 per payload bit, the Eb/N0 at a 10 % message error rate
// for the list decoder and for plain Viterbi (a list of one), the normal
// approximation of the best code of the same size and the gaps to it, the
// median and slowest decode time, and the false-message rate on noise alone.
// Beside the list it decodes each message at the carrier it was sent with (one
// hypothesis, the whole list, no search): the floor for a decoder that must
// find the carrier, since its search's other hypotheses share the one list.
// Nothing here asserts a time; on a shared machine the times are noisy.
//
//   bench_decoder [trials per point] [noise-only trials] [csv file] [cores] [codes] [from dB]
//   bench_decoder table [trials per condition] [noise-only trials] [csv file] [cores] [rows]
//   bench_decoder bounds [trials] [dB] [seed]
//
// codes: which of the four cases to run, as digits 0..3 ("0123", the default);
// from dB: skip the sweep points below it (to add points to an earlier run).
// Each point draws its trials from its own seed, so a point's trials are the
// same whichever codes and points run with it, and two decoders compare
// message for message.
// table: the receiver's robustness table (robustnesstable.cpp) instead; rows
// picks conditions by letter, a the first ("bcd": the impulses).
// bounds: where the decoder's losses come from at one Eb/N0 (runBounds).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <queue>
#include <random>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bench/receiver/robustnesstable.h"
#include "decoder/hypothesissearch.h"
#include "decoder/listviterbi.h"
#include "decoder/messagecode.h"
#include "decoder/messagedecoder.h"

namespace {

using namespace orv::decoder;

constexpr double pi = std::numbers::pi;
constexpr double targetRate = 0.1;
constexpr double qInverseOfTarget = 1.2815515655446004;  // Q^-1(0.1)

struct Setup {
    const char* polynomial;
    std::int64_t bytes;
    std::vector<double> ebN0Db;
};

// Capacity and dispersion (nats) of the binary-input AWGN channel at Es/N0,
// by the trapezoid rule over the output given input +1.
void biAwgn(double esN0, double& capacity, double& dispersion) {
    const double sigma = std::sqrt(1 / (2 * esN0));
    const int points = 20000;
    const double lo = 1 - 14 * sigma, hi = 1 + 14 * sigma, h = (hi - lo) / points;
    double m1 = 0, m2 = 0;
    for (int i = 0; i <= points; ++i) {
        const double y = lo + i * h;
        const double w = (i == 0 || i == points ? 0.5 : 1.0) * h;
        const double density =
            std::exp(-(y - 1) * (y - 1) / (2 * sigma * sigma)) / (sigma * std::sqrt(2 * pi));
        const double x = -2 * y / (sigma * sigma);
        const double info = std::log(2.0) - (x > 30 ? x : std::log1p(std::exp(x)));
        m1 += w * density * info;
        m2 += w * density * info * info;
    }
    capacity = m1;
    dispersion = m2 - m1 * m1;
}

// Eb/N0 (dB per payload bit) where the normal approximation allows k bits
// in n symbols at the target error rate.
double normalApproximationDb(double k, double n) {
    double lo = -20, hi = 20;
    for (int i = 0; i < 100; ++i) {
        const double mid = 0.5 * (lo + hi);
        double c, v;
        biAwgn(std::pow(10.0, mid / 10), c, v);
        const double lnM = n * c - std::sqrt(n * v) * qInverseOfTarget + 0.5 * std::log(n);
        (lnM >= k * std::log(2.0) ? hi : lo) = mid;
    }
    return 0.5 * (lo + hi) + 10 * std::log10(n / k);
}

struct Point {
    double ebN0Db;
    int trials = 0;
    int listErrors = 0;
    int plainErrors = 0;
    int knownErrors = 0;
    std::vector<double> listSeconds;
    std::vector<double> plainSeconds;
    double meanRank = 0;
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
double slowest(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Eb/N0 where the error rate crosses the target, interpolating log10(rate)
// linearly in dB; NaN when the sweep does not bracket it.
double crossing(const std::vector<Point>& points, int Point::*errors) {
    for (std::size_t i = 1; i < points.size(); ++i) {
        auto rate = [&](const Point& p) { return std::max(0.5, double(p.*errors)) / p.trials; };
        const double a = rate(points[i - 1]), b = rate(points[i]);
        if (a >= targetRate && b < targetRate) {
            const double la = std::log10(a), lb = std::log10(b), lt = std::log10(targetRate);
            return points[i - 1].ebN0Db + (points[i].ebN0Db - points[i - 1].ebN0Db) * (la - lt) / (la - lb);
        }
    }
    return std::nan("");
}

std::vector<std::complex<double>> transmit(const MessageCode& code, const std::vector<std::uint8_t>& message,
                                           double ebN0Db, double cyclesOver, std::mt19937_64& rng,
                                           double* sentPhase = nullptr) {
    const auto coded = encodeMessage(code, message);
    const double n = double(coded.size());
    const double esN0 = std::pow(10.0, ebN0Db / 10) * 8 * double(message.size()) / n;
    std::normal_distribution<double> noise(0, std::sqrt(1 / (2 * esN0)));
    std::uniform_real_distribution<double> uniform(0, 2 * pi);
    const double phase = uniform(rng);
    if (sentPhase) *sentPhase = phase;
    std::vector<std::complex<double>> z(coded.size());
    for (std::size_t k = 0; k < z.size(); ++k) {
        const double a = coded[k] ? -1.0 : 1.0;
        z[k] = std::polar(a, phase + 2 * pi * cyclesOver * double(k) / n) +
               std::complex<double>(noise(rng), noise(rng));
    }
    return z;
}

// The paths of the given carriers merged into one list by metric, each
// distinct path counted once (ties to the earlier carrier): whether the
// message lies within the first listSize. One
// carrier, the sent one, is the floor for a decoder that must search.
bool decodedAmong(const MessageCode& code, const std::vector<std::uint8_t>& message,
                  const std::vector<std::complex<double>>& z, const std::vector<CarrierTrack>& carriers,
                  std::int64_t listSize) {
    const TrellisCode trellisCode(code, std::int64_t(message.size()));
    const double scale = softScale(z);
    const orv::VectorPath path = bestTrellisPath();
    std::vector<StoredTrellis> trellises(carriers.size());
    std::vector<std::unique_ptr<ListViterbi>> searches;
    std::priority_queue<std::pair<std::int64_t, int>> heads;  // metric, -carrier
    std::vector<std::span<const std::uint64_t>> bits(carriers.size());
    const auto advance = [&](std::size_t c) {
        std::int64_t metric;
        if (searches[c]->next(listSize, metric, bits[c])) heads.push({metric, -int(c)});
    };
    for (std::size_t c = 0; c < carriers.size(); ++c) {
        storeTrellis(trellisCode, softValues(z, carriers[c], scale), path, trellises[c]);
        searches.push_back(std::make_unique<ListViterbi>(trellisCode, trellises[c]));
        advance(c);
    }
    std::vector<std::uint8_t> sent = message;
    const std::uint32_t check = messageCheck(message);
    for (int b = 3; b >= 0; --b) sent.push_back(std::uint8_t(check >> (8 * b)));
    std::set<std::vector<std::uint64_t>> seen;
    for (std::int64_t rank = 0; rank < listSize && !heads.empty();) {
        const auto c = std::size_t(-heads.top().second);
        heads.pop();
        const std::vector<std::uint64_t> taken(bits[c].begin(), bits[c].end());
        advance(c);
        if (!seen.insert(taken).second) continue;
        ++rank;
        std::size_t b = 0;
        while (b < sent.size() && std::uint8_t(taken[b / 8] >> (56 - 8 * (b % 8))) == sent[b]) ++b;
        if (b == sent.size()) return true;
    }
    return false;
}

// A carrier as the decoder's grid has it: the phase at the middle symbol.
CarrierTrack carrierAt(double phase, double cyclesOver, std::size_t symbols) {
    CarrierTrack c;
    c.centre = 0.5 * double(symbols - 1);
    c.frequency = cyclesOver / double(symbols);
    c.phase = phase;
    return c;
}

// K = 15 rate 1/6, N = 8 at one Eb/N0, each message through three bounds on
// the same list and through the decoder. The bounds: the sent carrier alone;
// 16 phases with the sent one among them; the decoder's default grid (16
// phases x carriers a quarter cycle apart to +-3 cycles) with the sent
// carrier on it, every cell in the one list (1.7 GB). The decoder with its
// carrier search off, searching the phase alone, then with its defaults.
int runBounds(int trials, double ebN0Db, unsigned seed) {
    const MessageCode code = *parseMessageCode("42631,47245,56507,73363,77267,64537");
    const std::int64_t bytes = 8;
    const std::size_t n = std::size_t(codedSymbolCount(code, bytes));
    const DecodeSettings settings;
    DecodeSettings phaseOnly;
    phaseOnly.searchCycles = 0;
    std::mt19937_64 rng(seed);
    const char* names[] = {"the sent carrier", "16 phases, carrier known", "the default grid, 400 cells",
                           "the decoder, carrier search off", "the decoder"};
    int lost[5] = {}, onlyDecoderLost = 0, onlyGridLost = 0;
    for (int t = 0; t < trials; ++t) {
        std::vector<std::uint8_t> message(bytes);
        for (auto& b : message) b = std::uint8_t(rng());
        double phase;
        const auto z = transmit(code, message, ebN0Db, 0, rng, &phase);
        std::vector<CarrierTrack> sentOnly{carrierAt(phase, 0, n)}, phases, grid;
        for (int p = 0; p < gridPhases; ++p)
            phases.push_back(carrierAt(phase + 2 * pi * p / gridPhases, 0, n));
        for (int f = -12; f <= 12; ++f)
            for (int p = 0; p < gridPhases; ++p)
                grid.push_back(carrierAt(phase + 2 * pi * p / gridPhases, 0.25 * f, n));
        const auto decoded = [&](const DecodeSettings& how) {
            const auto r = decodeMessage(code, bytes, z, how);
            return r.found && r.message == message;
        };
        const bool found[5] = {decodedAmong(code, message, z, sentOnly, settings.listSize),
                               decodedAmong(code, message, z, phases, settings.listSize),
                               decodedAmong(code, message, z, grid, settings.listSize), decoded(phaseOnly),
                               decoded(settings)};
        for (int i = 0; i < 5; ++i) lost[i] += !found[i];
        onlyDecoderLost += found[2] && !found[4];
        onlyGridLost += !found[2] && found[4];
    }
    std::printf(
        "K = 15 rate 1/6, N = 8, %.2f dB, %d messages (seed %u), list %lld\n\n| | lost |\n|---|---|\n",
        ebN0Db, trials, seed, static_cast<long long>(settings.listSize));
    for (int i = 0; i < 5; ++i) std::printf("| %s | %d |\n", names[i], lost[i]);
    std::printf("\nlost by the decoder (defaults) alone: %d; by the default grid alone: %d\n",
                onlyDecoderLost, onlyGridLost);
    return 0;
}

// Argument i, a whole number from `least` to a million; `fallback` when it is
// not given. Anything else ends the run: no trials would leave nothing to
// take a median of.
long argNumber(int argc, char** argv, int i, long fallback, long least) {
    if (argc <= i) return fallback;
    long v = 0;
    const std::string_view s = argv[i];
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (error == std::errc() && end == s.data() + s.size() && v >= least && v <= 1'000'000) return v;
    std::fprintf(stderr, "bench_decoder: '%s' is no whole number from %ld to 1000000\n", argv[i], least);
    std::exit(2);
}

// Argument i, a number of dB; `fallback` when it is not given.
double argDb(int argc, char** argv, int i, double fallback) {
    if (argc <= i) return fallback;
    char* end = nullptr;
    const double v = std::strtod(argv[i], &end);
    if (end != argv[i] && *end == '\0' && std::isfinite(v)) return v;
    std::fprintf(stderr, "bench_decoder: '%s' is no number of dB\n", argv[i]);
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "bounds")
        return runBounds(int(argNumber(argc, argv, 2, 100, 1)), argDb(argc, argv, 3, 0.65),
                         unsigned(argNumber(argc, argv, 4, 1, 0)));
    if (argc > 1 && std::string_view(argv[1]) == "table")
        return runRobustnessTable(int(argNumber(argc, argv, 2, 60, 1)), int(argNumber(argc, argv, 3, 10, 0)),
                                  argc > 4 ? argv[4] : "robustness.csv",
                                  unsigned(argNumber(argc, argv, 5, 0, 0)), argc > 6 ? argv[6] : "");
    const int trials = int(argNumber(argc, argv, 1, 60, 1));
    const int noiseTrials = int(argNumber(argc, argv, 2, 10, 0));
    const std::string csvPath = argc > 3 ? argv[3] : "decoder_curves.csv";
    DecodeSettings list;
    list.cores = unsigned(argNumber(argc, argv, 4, 0, 0));
    DecodeSettings plain = list;
    plain.listSize = 1;

    const std::vector<Setup> setups = {
        {"1", 8, {3, 4, 5, 6, 7, 8, 9, 10}},
        {"171,133", 8, {0, 1, 1.5, 2, 3, 4, 5}},
        {"42631,47245,56507,73363,77267,64537", 8, {0, 0.25, 0.5, 0.75, 1, 1.5, 2, 2.5}},
        {"42631,47245,56507,73363,77267,64537", 32, {-0.75, -0.5, -0.25, 0, 0.5, 1, 1.5}},
    };
    const std::string chosen = argc > 5 ? argv[5] : "0123";
    const double fromDb = argDb(argc, argv, 6, -100);
    std::FILE* csv = std::fopen(csvPath.c_str(), "w");
    if (csv) std::fprintf(csv, "code,bytes,ebn0_db,trials,list_mer,plain_mer,normal_approx_db,known_mer\n");
    std::printf("list size %lld (plain Viterbi: 1), %d trials per point, %d noise-only trials\n",
                static_cast<long long>(list.listSize), trials, noiseTrials);
    std::printf("times are wall seconds on a shared machine: expect noise\n\n");

    struct Row {
        std::string name;
        double list, plain, normal, known, listMedian, listSlowest, plainMedian, noiseMedian, noiseSlowest;
        int falseMessages;
        double offsetRate;  // half a cycle over the message, 1 dB above the list's 10 % point
    };
    std::vector<Row> rows;
    for (std::size_t si = 0; si < setups.size(); ++si) {
        if (chosen.find(char('0' + si)) == std::string::npos) continue;
        const Setup& s = setups[si];
        const MessageCode code = *parseMessageCode(s.polynomial);
        const double n = double(codedSymbolCount(code, s.bytes));
        const double normal = normalApproximationDb(8.0 * double(s.bytes), n);
        std::printf("-p %s  N = %lld  (K = %d, %g symbols)\n", s.polynomial, static_cast<long long>(s.bytes),
                    code.constraintLength, n);
        std::printf("  Eb/N0 dB   list MER   plain MER   sent carrier MER");
        std::printf("   mean rank   list median s   list slowest s\n");
        // seeds: the code's points, then its half-cycle and noise-only trials
        const auto seeded = [&](std::size_t draw) { return std::mt19937_64(20261207 + 1000 * si + draw); };
        std::vector<Point> points;
        for (std::size_t at = 0; at < s.ebN0Db.size(); ++at) {
            const double eb = s.ebN0Db[at];
            if (eb < fromDb) continue;
            std::mt19937_64 rng = seeded(at);
            Point p;
            p.ebN0Db = eb;
            double rankSum = 0;
            for (int t = 0; t < trials; ++t) {
                std::vector<std::uint8_t> message(std::size_t(s.bytes));
                for (auto& b : message) b = std::uint8_t(rng());
                double phase;
                const auto z = transmit(code, message, eb, 0, rng, &phase);
                const auto r = decodeMessage(code, s.bytes, z, list);
                const auto v = decodeMessage(code, s.bytes, z, plain);
                ++p.trials;
                if (!r.found || r.message != message)
                    ++p.listErrors;
                else
                    rankSum += double(r.listRank);
                if (!v.found || v.message != message) ++p.plainErrors;
                if (!decodedAmong(code, message, z, {carrierAt(phase, 0, z.size())}, list.listSize))
                    ++p.knownErrors;
                p.listSeconds.push_back(r.seconds);
                p.plainSeconds.push_back(v.seconds);
            }
            p.meanRank = p.trials > p.listErrors ? rankSum / (p.trials - p.listErrors) : 0;
            std::printf("  %8.2f   %8.3f   %9.3f   %16.3f   %9.1f   %13.3f   %14.3f\n", eb,
                        double(p.listErrors) / p.trials, double(p.plainErrors) / p.trials,
                        double(p.knownErrors) / p.trials, p.meanRank, median(p.listSeconds),
                        slowest(p.listSeconds));
            std::fflush(stdout);
            if (csv)
                std::fprintf(csv, "\"%s\",%lld,%g,%d,%g,%g,%g,%g\n", s.polynomial,
                             static_cast<long long>(s.bytes), eb, p.trials, double(p.listErrors) / p.trials,
                             double(p.plainErrors) / p.trials, normal, double(p.knownErrors) / p.trials);
            points.push_back(std::move(p));
        }
        if (points.empty()) {
            std::printf("  no point at or above %g dB\n\n", fromDb);
            continue;
        }
        Row row{std::string("-p ") + s.polynomial + " N=" + std::to_string(s.bytes),
                crossing(points, &Point::listErrors),
                crossing(points, &Point::plainErrors),
                normal,
                crossing(points, &Point::knownErrors),
                0,
                0,
                0,
                0,
                0,
                0,
                0};
        // times at the sweep point nearest the list decoder's 10 % crossing
        const Point* at = &points.front();
        for (const auto& p : points)
            if (std::fabs(p.ebN0Db - row.list) < std::fabs(at->ebN0Db - row.list)) at = &p;
        row.listMedian = median(at->listSeconds);
        row.listSlowest = slowest(at->listSeconds);
        row.plainMedian = median(at->plainSeconds);
        if (std::isfinite(row.list)) {
            std::mt19937_64 rng = seeded(100);
            int errors = 0;
            for (int t = 0; t < trials; ++t) {
                std::vector<std::uint8_t> message(std::size_t(s.bytes));
                for (auto& b : message) b = std::uint8_t(rng());
                const auto z = transmit(code, message, row.list + 1, t % 2 ? 0.5 : -0.5, rng);
                const auto r = decodeMessage(code, s.bytes, z, list);
                if (!r.found || r.message != message) ++errors;
            }
            row.offsetRate = double(errors) / trials;
        }
        std::vector<double> noiseSeconds;
        std::mt19937_64 rng = seeded(101);
        for (int t = 0; t < noiseTrials; ++t) {
            std::normal_distribution<double> noise(0, 1);
            std::vector<std::complex<double>> z(static_cast<std::size_t>(n));
            for (auto& v : z) v = {noise(rng), noise(rng)};
            const auto r = decodeMessage(code, s.bytes, z, list);
            if (r.found) ++row.falseMessages;
            noiseSeconds.push_back(r.seconds);
        }
        row.noiseMedian = median(noiseSeconds);
        row.noiseSlowest = slowest(noiseSeconds);
        std::printf(
            "  10 %% MER: list %.2f dB, plain Viterbi %.2f dB, list at the sent carrier %.2f dB, normal "
            "approximation %.2f dB\n",
            row.list, row.plain, row.known, normal);
        std::printf("  half a cycle of carrier over the message, at %.2f dB: MER %.3f\n", row.list + 1,
                    row.offsetRate);
        std::printf("  noise only: %d false messages in %d, median %.2f s, slowest %.2f s\n\n",
                    row.falseMessages, noiseTrials, row.noiseMedian, row.noiseSlowest);
        std::fflush(stdout);
        rows.push_back(row);
    }
    if (csv) std::fclose(csv);

    std::printf(
        "| code | Eb/N0 at 10 %% MER, list | plain Viterbi | list, sent carrier | normal approx. | "
        "gap list | list gain | median s | slowest s | plain median s | noise-only false / trials | "
        "noise-only median s | slowest s | MER, half cycle, +1 dB |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto& r : rows)
        std::printf(
            "| %s | %.2f dB | %.2f dB | %.2f dB | %.2f dB | %.2f dB | %.2f dB | %.3f | %.3f | %.4f | "
            "%d / %d | %.2f | %.2f | %.3f |\n",
            r.name.c_str(), r.list, r.plain, r.known, r.normal, r.list - r.normal, r.plain - r.list,
            r.listMedian, r.listSlowest, r.plainMedian, r.falseMessages, noiseTrials, r.noiseMedian,
            r.noiseSlowest, r.offsetRate);
    std::printf("\nCSV curves written to %s\n", csvPath.c_str());
    return 0;
}
