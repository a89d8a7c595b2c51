// Runs orvane-import as a user would on recordings of growing size and prints
// its wall time, throughput and peak resident memory, beside `cp` of the same
// input as the disk's own pace. Memory that stays flat while the input grows
// says the import works in blocks. Then the audio path: an hour of 48 kHz
// two-channel 16-bit sound (made here) with --hum 50, the default blanker and
// --mix, beside `sox IN -n stat` reading and measuring the same file.
//   bench_import [largest frame count, default 2^28] [folder, default /tmp]
//   bench_import audio [seconds, default 3600] [folder, default /tmp]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sndfile.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system, all threads
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
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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
    if (bytesPerValue == 4) {
        // Finite floats: the import refuses samples that are no numbers.
        for (std::size_t i = 0; i < block.size(); i += 4) {
            const float v = static_cast<float>(static_cast<int>(i / 4 * 37 % 2001) - 1000) / 1000.0f;
            std::memcpy(&block[i], &v, 4);
        }
    } else {
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<unsigned char>(i * 37 + (i >> 9));
    }
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

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one + " " + five;
}

// Noise, a weak carrier on 10002 Hz, 61 mains harmonics around it (one period
// of them tabled) and now and then a burst, on two channels, written in blocks.
bool writeAudio(const std::string& path, std::int64_t seconds) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<short> block(2 * 48000);
    std::uint64_t state = 1;
    const auto noise = [&] {  // sum of two uniforms, enough for a benchmark
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(state >> 40) / double(1 << 24) + double((state >> 16) & 0xFFFFFF) / double(1 << 24) - 1;
    };
    const double pi = 3.14159265358979323846;
    std::vector<double> hum(960);  // one period of 50 Hz at 48 kHz
    for (int h = 170; h <= 230; ++h)
        for (std::size_t i = 0; i < hum.size(); ++i)
            hum[i] += 0.003 * std::cos(2 * pi * h * double(i) / 960 + h * h);
    for (std::int64_t s = 0; s < seconds; ++s) {
        for (int n = 0; n < 48000; ++n) {
            const double t = double(s) + n / 48000.0;
            const double burst = (s % 3 == 0 && n < 48) ? 0.5 : 0;
            const double carrier = 0.002 * std::cos(2 * pi * 10002 * t);
            for (int c = 0; c < 2; ++c)
                block[std::size_t(2 * n + c)] = static_cast<short>(std::lround(
                    3000 * noise() + 32767 * (hum[std::size_t(n) % 960] + burst + (c ? 0.7 : 1) * carrier)));
        }
        if (sf_writef_short(file, block.data(), 48000) != 48000) return sf_close(file), false;
    }
    return sf_close(file) == 0;
}

int benchAudio(std::int64_t seconds, const std::string& folder) {
    const std::string input = folder + "/bench_import_" + whole(getpid()) + "_audio.wav";
    const std::string output = folder + "/bench_import_" + whole(getpid()) + "_audio_out.wav";
    if (!writeAudio(input, seconds)) {
        std::printf("cannot write %s\n", input.c_str());
        return 1;
    }
    const std::string loadBefore = loadAverage();
    // Each twice, in turns, keeping the quicker run: other work on the machine comes and goes.
    Run sox, import;
    for (int round = 0; round < 2; ++round) {
        const Run s = runQuiet({"sox", input, "-n", "stat"});
        const Run i = runQuiet({IMPORT_PATH, "--quiet", "--audio", input, output, "--centre", "10000",
                                "--start", "2026-12-07 10:00:00", "--hum", "50", "--mix", "1,0.7/-90"});
        if (round == 0 || s.seconds < sox.seconds) sox = s;
        if (round == 0 || i.seconds < import.seconds) import = i;
    }
    fs::remove(input);
    fs::remove(output);
    if (import.exitCode != 0 || sox.exitCode != 0) {
        std::printf("audio: import exit %d, sox exit %d\n", import.exitCode, sox.exitCode);
        return 1;
    }
    std::printf("\naudio: %lld s of 48 kHz two-channel 16-bit WAV, --hum 50 --mix 1,0.7/-90, blanker auto\n",
                static_cast<long long>(seconds));
    std::printf("%-13s %9s %12s %9s %9s\n", "(best of 2)", "time s", "x real time", "cpu s", "peak MiB");
    for (const auto& [name, r] :
         {std::pair<const char*, const Run&>{"orvane-import", import}, {"sox stat", sox}})
        std::printf("%-13s %9.2f %12.0f %9.2f %9.1f\n", name, r.seconds, double(seconds) / r.seconds,
                    r.cpuSeconds, r.peakKiB / 1024.0);
    std::printf("import / sox  %9.2f %12s %9.2f   (time: target at most 1.5; cpu: of both threads)\n",
                import.seconds / sox.seconds, "", import.cpuSeconds / sox.cpuSeconds);
    std::printf("load average before %s, after %s, on %ld cores shared with other work\n", loadBefore.c_str(),
                loadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "audio") {
        std::int64_t seconds = 3600;
        if (argc > 2) std::from_chars(argv[2], argv[2] + std::string(argv[2]).size(), seconds);
        return benchAudio(seconds, argc > 3 ? argv[3] : "/tmp");
    }
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
    return benchAudio(3600, folder);
}
