#pragma once
// The 8 x 16 text-mode glyphs, generated at build time from a console font
// (tools/psffont). One byte per pixel row, bit 7 the leftmost pixel.
#include <cstdint>

namespace orv::runtime {

extern const std::uint8_t fontGlyphs[256][16];

}  // namespace orv::runtime
