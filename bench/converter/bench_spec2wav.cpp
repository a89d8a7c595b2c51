// Whole-process timings of spec2wav on a 2^20-pair dump, against a bare
// std::from_chars parse of the same text and against the numpy route. Runs
// alternate so that machine load falls on all alike; medians are printed with
// their ratios and spec2wav's peak memory. Nothing here asserts a time.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr long pairCount = 1L << 20;

struct Sample {
    double seconds = 0;
    double cpuSeconds = 0;  // user + system: steadier than wall time on a shared machine
    long maxRssKiB = 0;
    int status = -1;
};

// The dump the receiver writes: CR LF lines "real,imag" in plain and exponent forms.
void writeDump(const fs::path& dir) {
    std::ofstream(dir / "sr.txt", std::ios::binary) << "12000,48,524288\r\n137500\r\n";
    std::mt19937 gen(2015);
    std::normal_distribution<float> value(0.0f, 0.01f);
    std::string text = "20151109, 123456.75, 0, 0\r\n";
    text.reserve(28 * pairCount);
    char buf[32];
    for (long i = 0; i < 2 * pairCount; ++i) {
        const float v = value(gen);
        const auto end = (i / 2) % 2 == 0
                             ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 9).ptr
                             : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 6).ptr;
        for (char* c = buf; c < end; ++c) text += *c == 'e' ? 'E' : *c;
        text += i % 2 == 0 ? "," : "\r\n";
    }
    std::ofstream(dir / "fftdata.txt", std::ios::binary) << text;
}

Sample runProcess(const fs::path& dir, const std::vector<std::string>& command) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> argv;
        for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Sample s;
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    s.maxRssKiB = usage.ru_maxrss;
    s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void line(const std::string& text) { std::fputs((text + "\n").c_str(), stdout); }

std::string fixed(double v, int digits) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, digits).ptr);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    if (argc > 1) std::from_chars(argv[1], argv[1] + std::char_traits<char>::length(argv[1]), runs);
    char pattern[] = "/tmp/bench-spec2wav-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path dir = pattern;
    writeDump(dir);
    const bool numpy = fs::exists("/usr/bin/python3") &&
                       std::system("/usr/bin/python3 -c 'import numpy' >/dev/null 2>&1") == 0;
    line("dump: " + std::to_string(pairCount) + " pairs, " +
         std::to_string(fs::file_size(dir / "fftdata.txt") / 1000000) + " MB, " + std::to_string(runs) +
         " alternating runs");

    std::vector<double> converter, baseline, python, converterCpu, baselineCpu, pythonCpu;
    long peakKiB = 0;
    for (int r = 0; r < runs; ++r) {
        const Sample c = runProcess(dir, {SPEC2WAV_PATH});
        const Sample b = runProcess(dir, {BASELINE_PATH, "fftdata.txt"});
        if (c.status != 0 || b.status != 0) {
            line("a run failed: spec2wav " + std::to_string(c.status) + ", baseline " +
                 std::to_string(b.status));
            return 1;
        }
        converter.push_back(c.seconds);
        baseline.push_back(b.seconds);
        converterCpu.push_back(c.cpuSeconds);
        baselineCpu.push_back(b.cpuSeconds);
        peakKiB = std::max(peakKiB, c.maxRssKiB);
        if (numpy) {
            const Sample p = runProcess(dir, {"/usr/bin/python3", NUMPY_ROUTE_PATH});
            if (p.status == 0) {
                python.push_back(p.seconds);
                pythonCpu.push_back(p.cpuSeconds);
            }
        }
    }
    const auto report = [](const char* what, const std::vector<double>& c, const std::vector<double>& other,
                           const char* ratioName, const char* target) {
        const double tc = median(c), to = median(other);
        line(std::string(what) + fixed(to, 3) + " s   ratio " + ratioName + " " + fixed(tc / to, 3) + " " +
             target);
    };
    line("spec2wav whole conversion     median wall " + fixed(median(converter), 3) + " s, cpu " +
         fixed(median(converterCpu), 3) + " s");
    report("bare from_chars parse         median wall ", converter, baseline, "spec2wav/parse",
           "(target <= 2)");
    report("                              median cpu  ", converterCpu, baselineCpu, "spec2wav/parse", "");
    if (!python.empty()) {
        report("numpy route (loadtxt + fft)   median wall ", converter, python, "spec2wav/numpy",
               "(target <= 0.4)");
        report("                              median cpu  ", converterCpu, pythonCpu, "spec2wav/numpy", "");
    } else {
        line("numpy route skipped: /usr/bin/python3 with numpy is not available");
    }
    const double n = double(pairCount);
    const double budgetMiB = 32 * n / 1048576 + 4;
    line("spec2wav peak memory " + fixed(peakKiB / 1024.0, 1) + " MiB = " + fixed(peakKiB * 1024.0 / n, 1) +
         " x N bytes (budget 32 x N + 4 MiB = " + fixed(budgetMiB, 1) + " MiB)");
    std::error_code ec;
    fs::remove_all(dir, ec);
}
