#pragma once
// Parsing of PC console fonts (PSF1 and PSF2) into 8 x 16 glyphs indexed by
// byte value, for the plot surface's text cells.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "orv/outcome.h"

namespace orv::tools {

using Glyph = std::array<std::uint8_t, 16>;

struct Font {
    std::vector<Glyph> glyphs;               // in file order
    std::vector<std::vector<char32_t>> map;  // per glyph: the code points it draws (may be empty)
};

// psffont's exit code for a font it cannot use.
inline constexpr int exitBadFont = 1;

// Accepts only 8 pixel wide, 16 pixel high glyphs; a failure says why.
Outcome<Font> parseFont(const std::vector<std::uint8_t>& bytes);

// The glyph for each byte 0..255: through the Unicode table when the font has
// one (bytes 32..126 as ASCII, 160..255 as Latin-1), else the glyph of that
// index. Bytes without a glyph are blank.
std::array<Glyph, 256> glyphsByByte(const Font& font);

// The C++ source that defines orv::fontGlyphs.
std::string glyphSource(const std::array<Glyph, 256>& glyphs, const std::string& origin);

}  // namespace orv::tools
