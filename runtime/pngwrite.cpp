#include "runtime/pngwrite.h"

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace orv::runtime {

namespace {

void putBe32(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void putChunk(std::string& out, const char type[4], const std::string& data) {
    putBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.append(type, 4);
    out += data;
    const auto* crcStart = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    putBe32(out, static_cast<std::uint32_t>(crc32(0, crcStart, static_cast<uInt>(4 + data.size()))));
}

}  // namespace

std::string encodePng(const SurfacePixels& pixels) {
    std::string out("\x89PNG\r\n\x1a\n", 8);

    std::string header;
    putBe32(header, screenWidth);
    putBe32(header, screenHeight);
    header += '\x08';        // bit depth
    header += '\x03';        // palette colour
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace
    putChunk(out, "IHDR", header);

    std::string palette;
    for (const std::uint32_t rgb : surfacePalette) {
        palette += static_cast<char>(rgb >> 16);
        palette += static_cast<char>(rgb >> 8);
        palette += static_cast<char>(rgb);
    }
    putChunk(out, "PLTE", palette);

    // Each row is preceded by its filter type, 0 (none).
    std::vector<Bytef> raw;
    raw.reserve(static_cast<std::size_t>(screenHeight) * (screenWidth + 1));
    for (int y = 0; y < screenHeight; ++y) {
        raw.push_back(0);
        const auto row = pixels.begin() + y * screenWidth;
        raw.insert(raw.end(), row, row + screenWidth);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<Bytef> packed(packedSize);
    // Cannot fail: the buffer is compressBound long and the level is valid.
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
    putChunk(out, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
    putChunk(out, "IEND", {});
    return out;
}

bool writePng(const std::string& path, const SurfacePixels& pixels) {
    const std::string bytes = encodePng(pixels);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        // Only a file we wrote is taken away: a device or pipe named as the path stays.
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
        return false;
    }
    return true;
}

}  // namespace orv::runtime
