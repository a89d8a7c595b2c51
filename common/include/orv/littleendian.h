#pragma once
// Little-endian numbers in byte buffers (RIFF chunks, PSF fonts, "fft.dat"),
// whatever the byte order of the machine.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

constexpr std::uint16_t readLe16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint32_t readLe32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Appends the low `bytes` bytes of value, lowest first.
inline void appendLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Appends count floats as little-endian IEEE singles.
inline void appendLeFloats(std::string& out, const float* values, std::size_t count) {
    const std::size_t at = out.size();
    out.resize(at + 4 * count);
    char* p = out.data() + at;
    for (std::size_t i = 0; i < count; ++i, p += 4) {
        const auto u = std::bit_cast<std::uint32_t>(values[i]);
        p[0] = static_cast<char>(u);
        p[1] = static_cast<char>(u >> 8);
        p[2] = static_cast<char>(u >> 16);
        p[3] = static_cast<char>(u >> 24);
    }
}

}  // namespace orv
