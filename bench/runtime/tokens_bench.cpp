// How fast the converter's raw FFT body parses through beginInput + inputSingle,
// against a bare std::from_chars loop over the same text (target: at most 2x),
// and how fast "fft.dat" is written through printText.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "runtime/binary.h"
#include "runtime/textfile.h"

namespace {

std::string& dumpPath() {
    static std::string path;
    return path;
}

// 2^20 pairs as "real,imag" CR LF lines, plain decimals and "-1.234567E-03" forms.
void makeDump() {
    char tmpl[] = "/tmp/orvane-bench-XXXXXX";
    std::string dir = ::mkdtemp(tmpl);
    dumpPath() = dir + "/fftdata.txt";
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::string text = "20151109,123456.75,0,0\r\n";
    char buf[64];
    for (int i = 0; i < (1 << 20); ++i) {
        for (int part = 0; part < 2; ++part) {
            double v = u(rng);
            std::to_chars_result r;
            if ((i + part) % 3 == 0)
                r = std::to_chars(buf, buf + sizeof buf, v * 1e-3, std::chars_format::scientific, 6);
            else
                r = std::to_chars(buf, buf + sizeof buf, v * 100.0, std::chars_format::fixed, 6);
            std::string s(buf, r.ptr);
            if (auto e = s.find('e'); e != std::string::npos) s[e] = 'E';
            text += s;
            text += part == 0 ? "," : "\r\n";
        }
    }
    std::ofstream(dumpPath(), std::ios::binary) << text;
}

std::string slurp() {
    std::ifstream in(dumpPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string& dumpText() {
    static std::string text;
    return text;
}

// The floor: from_chars over every number of the text already in memory.
double bareFromChars() {
    const std::string& text = dumpText();
    const char* p = text.data();
    const char* end = p + text.size();
    double sum = 0;
    while (p < end) {
        double v = 0;
        auto r = std::from_chars(p, end, v);
        sum += static_cast<float>(v);
        p = r.ptr;
        while (p < end && (*p == ',' || *p == '\r' || *p == '\n')) ++p;
        if (r.ec != std::errc{}) ++p;
    }
    return sum;
}

double fileTableRead() {
    orv::runtime::FileTable files;
    files.openFile(dumpPath(), orv::runtime::FileMode::Input, 1);
    files.beginInput(1);
    std::int32_t date;
    double time;
    float a, b;
    files.inputInteger(date);
    files.inputDouble(time);
    files.inputSingle(a);
    files.inputSingle(b);
    double sum = 0;
    while (!files.atEndOfFile(1)) {
        float re, im;
        files.beginInput(1);
        files.inputSingle(re);
        files.inputSingle(im);
        sum += re + im;
    }
    files.closeFile(1);
    return sum;
}

void BM_BareFromChars(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(bareFromChars());
}
BENCHMARK(BM_BareFromChars)->Unit(benchmark::kMillisecond);

void BM_InputSingle(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(fileTableRead());
}
BENCHMARK(BM_InputSingle)->Unit(benchmark::kMillisecond);

void BM_PrintFftDat(benchmark::State& state) {
    const std::string out = dumpPath() + ".dat";
    for (auto _ : state) {
        orv::runtime::FileTable files;
        files.openFile(out, orv::runtime::FileMode::Output, 2);
        for (int i = 0; i < (1 << 20); ++i) {
            files.printText(2, orv::runtime::packSingle(static_cast<float>(i)) +
                                   orv::runtime::packSingle(-static_cast<float>(i)));
        }
        files.closeFile(2);
    }
    std::remove(out.c_str());
}
BENCHMARK(BM_PrintFftDat)->Unit(benchmark::kMillisecond);

template <class F>
double bestSeconds(F f) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        // processor time: the machine is shared, wall time says little
        std::clock_t t0 = std::clock();
        benchmark::DoNotOptimize(f());
        best = std::min(best, static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    makeDump();
    dumpText() = slurp();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    double floor = bestSeconds(bareFromChars);
    double ours = bestSeconds(fileTableRead);
    std::printf(
        "raw FFT body, 2^20 pairs: bare from_chars %.4f s, beginInput+inputSingle %.4f s (processor time), "
        "ratio %.2f (target <= 2)\n",
        floor, ours, ours / floor);
    std::remove(dumpPath().c_str());
    std::string dir = dumpPath().substr(0, dumpPath().rfind('/'));
    ::rmdir(dir.c_str());
    benchmark::Shutdown();
}
