// The viewer's direct transform: the plain loop against the vectorised paths,
// on one core and on all, for n = 4096 and 16384. Prints each run's figures,
// then the speed-up of every path over the plain loop measured in this run.
// Each is repeated and the fastest repetition counts, since other work on a
// shared machine only ever slows a run down. Nothing here asserts a time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "viewer/analysis.h"
#include "viewer/transform.h"

namespace {

struct Data {
    std::vector<float> re, im, outRe, outIm;
    orv::viewer::SpectrumWork work;
    orv::viewer::TransformArgs args;
};

Data& dataFor(std::size_t n) {
    static std::map<std::size_t, Data> cache;
    Data& d = cache[n];
    if (d.re.empty()) {
        std::mt19937 rng(static_cast<unsigned>(n));
        std::normal_distribution<float> gauss;
        for (std::size_t i = 0; i < n; ++i) {
            d.re.push_back(gauss(rng));
            d.im.push_back(gauss(rng));
        }
        d.outRe.resize(n);
        d.outIm.resize(n);
        orv::viewer::fillTwiddleTables(d.work, n);
        d.args = {d.re.data(),    d.im.data(),   d.work.twiddleCos.data(), d.work.twiddleSin.data(), n,
                  d.outRe.data(), d.outIm.data()};
    }
    return d;
}

void plainLoop(benchmark::State& state) {
    const Data& d = dataFor(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        orv::viewer::directTransformPlain(d.args);
        benchmark::DoNotOptimize(d.outRe.data());
    }
}

// range(1): the path; range(2): threads (0 = one per core).
void fastPath(benchmark::State& state) {
    const Data& d = dataFor(static_cast<std::size_t>(state.range(0)));
    const auto path = static_cast<orv::VectorPath>(state.range(1));
    for (auto _ : state) {
        orv::viewer::directTransform(d.args, path, static_cast<unsigned>(state.range(2)));
        benchmark::DoNotOptimize(d.outRe.data());
    }
    state.SetLabel(std::string(orv::vectorPathName(path)) +
                   (state.range(2) == 1 ? " 1 thread" : " all cores"));
}

// Collects the wall time per iteration of each run for the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.iterations == 0 || r.run_type != Run::RT_Iteration) continue;
            const std::string name = r.run_name.str();
            const double perIteration = r.real_accumulated_time / static_cast<double>(r.iterations);
            const auto known = seconds.find(name);
            if (known == seconds.end() || perIteration < known->second) seconds[name] = perIteration;
            labels[name] = r.report_label;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
    std::map<std::string, std::string> labels;
};

}  // namespace

int main(int argc, char** argv) {
    const long best = static_cast<long>(orv::viewer::bestVectorPath());
    const long sse2 = static_cast<long>(orv::VectorPath::Sse2);
    for (const long n : {4096L, 16384L}) {
        const int slow = n == 4096 ? 10 : 3;
        const int quick = n == 4096 ? 40 : 8;
        benchmark::RegisterBenchmark("plain", plainLoop)
            ->Args({n})
            ->Iterations(slow)
            ->Repetitions(3)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("fast", fastPath)
            ->Args({n, sse2, 1})
            ->Iterations(quick)
            ->Repetitions(3)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        if (best != sse2) {
            benchmark::RegisterBenchmark("fast", fastPath)
                ->Args({n, best, 1})
                ->Iterations(quick)
                ->Repetitions(3)
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark("fast", fastPath)
            ->Args({n, best, 0})
            ->Iterations(quick)
            ->Repetitions(3)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nspeed-up over the plain loop (fastest of 3 repetitions, wall time, this run; %u cores):\n",
                std::thread::hardware_concurrency());
    for (const long n : {4096L, 16384L}) {
        const std::string suffix = "/" + std::to_string(n);
        const auto plain = reporter.seconds.find(
            "plain" + suffix + "/iterations:" + std::to_string(n == 4096 ? 10 : 3) + "/repeats:3/real_time");
        if (plain == reporter.seconds.end()) continue;
        for (const auto& [name, seconds] : reporter.seconds) {
            if (name.rfind("fast" + suffix + "/", 0) != 0) continue;
            std::printf("  n=%-6ld %-16s %6.1f x  (%.1f ms against %.1f ms)\n", n,
                        reporter.labels[name].c_str(), plain->second / seconds, 1e3 * seconds,
                        1e3 * plain->second);
        }
    }
    return 0;
}
