#pragma once
// Little-endian numbers in byte buffers (RIFF chunks, PSF fonts, "fft.dat"),
// whatever the byte order of the machine.
#include <cstdint>

namespace orv::runtime {

constexpr std::uint16_t readLe16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint32_t readLe32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

}  // namespace orv::runtime
