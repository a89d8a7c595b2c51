#include "binary.h"

#include <bit>
#include <cstring>
#include "orv/littleendian.h"

namespace orv::runtime {

namespace {

std::string littleEndian(std::uint32_t bits, int bytes) {
    std::string out(static_cast<std::size_t>(bytes), '\0');
    for (int i = 0; i < bytes; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return out;
}

}  // namespace

std::string packInt16(std::int32_t value) { return littleEndian(static_cast<std::uint32_t>(value), 2); }

std::string packInt32(std::int32_t value) { return littleEndian(static_cast<std::uint32_t>(value), 4); }

std::string packSingle(float value) { return littleEndian(std::bit_cast<std::uint32_t>(value), 4); }

float unpackSingle(std::string_view bytes) {
    if (bytes.size() < 4) return 0.0f;
    return std::bit_cast<float>(readLe32(reinterpret_cast<const unsigned char*>(bytes.data())));
}

}  // namespace orv::runtime
