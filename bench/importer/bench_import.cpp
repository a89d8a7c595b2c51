// Runs orvane-import as a user would on recordings of growing size and prints
// its wall time, throughput and peak resident memory, beside `cp` of the same
// input as the disk's own pace. Memory that stays flat while the input grows
// says the import works in blocks.
//   bench_import [largest frame count, default 2^28] [folder, default /tmp]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    int exitCode = -1;
};

Run runQuiet(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Run run;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    run.peakKiB = usage.ru_maxrss;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// A tone as raw samples, written in blocks so the bench itself stays small.
void writeSamples(const std::string& path, std::int64_t frames, int bytesPerValue) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::vector<unsigned char> block(1 << 20);
    std::int64_t written = 0;
    const std::int64_t total = frames * 2 * bytesPerValue;
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 37 + (i >> 9));
    while (written < total) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(block.size(), total - written));
        std::fwrite(block.data(), 1, n, f);
        written += static_cast<std::int64_t>(n);
    }
    std::fclose(f);
}

std::string whole(std::int64_t v) {
    char text[24];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t largest = std::int64_t(1) << 28;  // the most a WAV file holds
    if (argc > 1) std::from_chars(argv[1], argv[1] + std::string(argv[1]).size(), largest);
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string stem = folder + "/bench_import_" + whole(getpid());

    std::printf("%-9s %11s %9s %9s %10s %9s %10s %8s\n", "input", "frames", "MiB", "import s", "MiB/s",
                "peak MiB", "cp MiB/s", "imp/cp");
    for (std::int64_t frames = largest >> 4; frames <= largest; frames <<= 2) {
        for (const auto& [kind, bytes] : {std::pair<const char*, int>{"cf32", 4}, {"ci16", 2}}) {
            const std::string input = stem + (bytes == 4 ? ".cf32" : ".sigmf-data");
            writeSamples(input, frames, bytes);
            if (bytes == 2) {
                std::FILE* meta = std::fopen((stem + ".sigmf-meta").c_str(), "wb");
                std::fputs(R"({"global": {"core:datatype": "ci16_le", "core:sample_rate": 48000},
"captures": [{"core:sample_start": 0, "core:frequency": 137500, "core:datetime": "2026-12-07T10:00:00Z"}]})",
                           meta);
                std::fclose(meta);
            }
            const double mib = static_cast<double>(frames * 2 * bytes) / (1 << 20);
            const Run copy = runQuiet({"cp", input, stem + ".copy"});
            fs::remove(stem + ".copy");
            std::vector<std::string> args = {IMPORT_PATH, "--quiet", input, stem + ".wav"};
            if (bytes == 4)
                args.insert(args.end(), {"--cf32", "--rate", "48000", "--centre", "137500", "--start",
                                         "2026-12-07 10:00:00"});
            const Run import = runQuiet(args);
            fs::remove(stem + ".wav");
            fs::remove(input);
            fs::remove(stem + ".sigmf-meta");
            if (import.exitCode != 0) {
                std::printf("%-9s import failed with exit code %d\n", kind, import.exitCode);
                return 1;
            }
            std::printf("%-9s %11lld %9.0f %9.2f %10.0f %9.1f %10.0f %8.2f\n", kind,
                        static_cast<long long>(frames), mib, import.seconds, mib / import.seconds,
                        import.peakKiB / 1024.0, mib / copy.seconds, import.seconds / copy.seconds);
        }
    }
    return 0;
}
