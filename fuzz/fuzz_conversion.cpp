// The whole conversion on arbitrary bytes: the first byte says how many of the
// following bytes form "sr.txt"; the rest is the raw FFT dump. Each run works
// in a private folder. The dump's size bounds the pair count, and so N.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "converter/conversion.h"

namespace {

class QuietConsole : public orv::runtime::ConsoleSink {
public:
    void write(std::string_view) override {}
};

std::string startFolder;
std::string workFolder;

void writeFile(const char* name, const std::uint8_t* data, std::size_t size) {
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

// Crash files belong where the fuzzer was started, not in the private folder.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    std::vector<char> cwd(4096);
    if (getcwd(cwd.data(), cwd.size())) startFolder = cwd.data();
    char pattern[] = "/tmp/fuzz-conversion-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    workFolder = pattern;
    bool hasPrefix = false;
    for (int i = 0; i < *argc; ++i)
        hasPrefix |= std::string_view((*argv)[i]).starts_with("-artifact_prefix=");
    if (!hasPrefix && !startFolder.empty()) {
        static std::string prefix = "-artifact_prefix=" + startFolder + "/";
        static std::vector<char*> args((*argv), (*argv) + *argc);
        args.push_back(prefix.data());
        args.push_back(nullptr);
        *argv = args.data();
        *argc += 1;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t split = std::min<std::size_t>(data[0], size - 1);
    if (chdir(workFolder.c_str()) != 0) std::abort();
    writeFile("sr.txt", data + 1, split);
    writeFile("fftdata.txt", data + 1 + split, size - 1 - split);
    {
        orv::runtime::FileTable files;
        QuietConsole console;
        files.setConsoleSink(&console);
        const auto outcome = orv::converter::runConversion("", files);
        if (!outcome && outcome.failure().kind == orv::Failure::Kind::RunTimeError)
            std::abort();  // every file here opens
    }
    if (chdir(startFolder.c_str()) != 0) std::abort();
    return 0;
}
