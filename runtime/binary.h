#pragma once
// Little-endian binary strings for the WAV file and "fft.dat".
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::runtime {

std::string packInt16(std::int32_t value);
std::string packInt32(std::int32_t value);
std::string packSingle(float value);
float unpackSingle(std::string_view bytes);  // 0 for fewer than 4 bytes

}  // namespace orv::runtime
