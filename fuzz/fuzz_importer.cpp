// Arbitrary bytes through the importer's readers. The first byte picks the
// reader: even, the bytes after it are a WAV file for libsndfile; odd, they are
// a .sigmf-meta text up to the first zero byte and its .sigmf-data after it.
// Whatever opens is read to its end (at most a few blocks) as the import would.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "importer/importer.h"
#include "importer/recording.h"
#include "importer/sigmf.h"

namespace {

char folderName[] = "/tmp/fuzz_importer.XXXXXX";

const char* folder() {
    static const bool made = [] {
        if (!mkdtemp(folderName)) std::abort();
        std::atexit([] { std::filesystem::remove_all(folderName); });
        return true;
    }();
    (void)made;
    return folderName;
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void readAll(orv::importer::Recording& r) {
    std::vector<float> iq(2 * orv::importer::blockFrames);
    auto& source = *r.source;
    const std::int64_t frames = std::min<std::int64_t>(source.frameCount(), 4 * orv::importer::blockFrames);
    if (!source.seek(0).ok()) return;
    for (std::int64_t done = 0; done < frames;) {
        const auto n =
            static_cast<std::size_t>(std::min<std::int64_t>(orv::importer::blockFrames, frames - done));
        if (!source.read(iq.data(), n).ok()) return;
        done += static_cast<std::int64_t>(n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string stem = std::string(folder()) + "/rec";
    if (data[0] % 2 == 0) {
        writeFile(stem + ".wav", data + 1, size - 1);
        auto r = orv::importer::openWavRecording(stem + ".wav");
        if (r) readAll(*r);
        return 0;
    }
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = std::min(bytes.find('\0'), bytes.size());
    (void)orv::importer::parseSigmfMeta(std::string_view(bytes).substr(0, split), "meta");
    writeFile(stem + ".sigmf-meta", data + 1, split);
    const std::size_t rest = split < bytes.size() ? split + 1 : bytes.size();
    writeFile(stem + ".sigmf-data", data + 1 + rest, bytes.size() - rest);
    auto r = orv::importer::openSigmfRecording(stem);
    if (r) readAll(*r);
    return 0;
}
