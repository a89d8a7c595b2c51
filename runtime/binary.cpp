#include "runtime/binary.h"

#include <bit>
#include "orv/littleendian.h"

namespace orv::runtime {

namespace {

std::string littleEndian(std::uint32_t bits, int bytes) {
    std::string out;
    appendLe(out, bits, bytes);
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
