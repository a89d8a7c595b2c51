#include "tools/psffont/psfparse.h"

#include <charconv>
#include "orv/littleendian.h"

namespace orv::tools {

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) { return readLe32(b.data() + at); }

// One UTF-8 sequence from b[at..end); returns 0xFFFFFFFF for a malformed one.
char32_t decodeUtf8(const std::vector<std::uint8_t>& b, std::size_t& at, std::size_t end) {
    const std::uint8_t lead = b[at++];
    int extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) return lead;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else
        return 0xFFFFFFFF;
    for (int i = 0; i < extra; ++i) {
        if (at >= end || (b[at] & 0xC0) != 0x80) return 0xFFFFFFFF;
        cp = (cp << 6) | (b[at++] & 0x3F);
    }
    return cp;
}

Failure fail(std::string why) { return Failure::stop(std::move(why), exitBadFont); }

Outcome<Font> parsePsf1(const std::vector<std::uint8_t>& b) {
    const std::uint8_t mode = b[2];
    const std::size_t height = b[3];
    if (height != 16) return fail("glyphs are not 16 pixels high");
    const std::size_t count = (mode & 0x01) ? 512 : 256;
    const bool hasTable = (mode & 0x06) != 0;
    const std::size_t start = 4;
    if (b.size() < start + count * height) return fail("file ends inside the glyphs");
    Font font;
    font.glyphs.resize(count);
    font.map.resize(count);
    for (std::size_t g = 0; g < count; ++g)
        for (std::size_t r = 0; r < 16; ++r) font.glyphs[g][r] = b[start + g * height + r];
    if (hasTable) {
        // Per glyph: 16-bit code points, 0xFFFE starts combining sequences
        // (ignored), 0xFFFF ends the glyph's entry.
        std::size_t at = start + count * height;
        for (std::size_t g = 0; g < count && at + 1 < b.size(); ++g) {
            bool inSequence = false;
            while (at + 1 < b.size()) {
                const char32_t v = readLe16(b.data() + at);
                at += 2;
                if (v == 0xFFFF) break;
                if (v == 0xFFFE)
                    inSequence = true;
                else if (!inSequence)
                    font.map[g].push_back(v);
            }
        }
    }
    return font;
}

Outcome<Font> parsePsf2(const std::vector<std::uint8_t>& b) {
    if (b.size() < 32) return fail("header is cut short");
    const std::uint32_t headerSize = le32(b, 8);
    const std::uint32_t flags = le32(b, 12);
    const std::uint32_t count = le32(b, 16);
    const std::uint32_t charSize = le32(b, 20);
    const std::uint32_t height = le32(b, 24);
    const std::uint32_t width = le32(b, 28);
    if (width != 8 || height != 16 || charSize != 16) return fail("glyphs are not 8 x 16 pixels");
    if (count == 0 || count > 65536) return fail("implausible glyph count");
    if (headerSize < 32 || headerSize > b.size() || (b.size() - headerSize) / charSize < count)
        return fail("file ends inside the glyphs");
    Font font;
    font.glyphs.resize(count);
    font.map.resize(count);
    for (std::size_t g = 0; g < count; ++g)
        for (std::size_t r = 0; r < 16; ++r) font.glyphs[g][r] = b[headerSize + g * charSize + r];
    if (flags & 0x01) {
        // Per glyph: UTF-8 code points, 0xFE starts sequences (ignored), 0xFF ends the entry.
        std::size_t at = headerSize + std::size_t(count) * charSize;
        for (std::size_t g = 0; g < count && at < b.size(); ++g) {
            bool inSequence = false;
            while (at < b.size()) {
                const std::uint8_t v = b[at];
                if (v == 0xFF) {
                    ++at;
                    break;
                }
                if (v == 0xFE) {
                    ++at;
                    inSequence = true;
                    continue;
                }
                const char32_t cp = decodeUtf8(b, at, b.size());
                if (!inSequence && cp != 0xFFFFFFFF) font.map[g].push_back(cp);
            }
        }
    }
    return font;
}

}  // namespace

Outcome<Font> parseFont(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() >= 4 && bytes[0] == 0x36 && bytes[1] == 0x04) return parsePsf1(bytes);
    if (bytes.size() >= 4 && bytes[0] == 0x72 && bytes[1] == 0xB5 && bytes[2] == 0x4A && bytes[3] == 0x86)
        return parsePsf2(bytes);
    return fail("not a PSF1 or PSF2 font");
}

std::array<Glyph, 256> glyphsByByte(const Font& font) {
    std::array<Glyph, 256> out{};
    bool hasTable = false;
    for (const auto& m : font.map) hasTable = hasTable || !m.empty();
    if (!hasTable) {
        for (std::size_t i = 0; i < 256 && i < font.glyphs.size(); ++i) out[i] = font.glyphs[i];
        return out;
    }
    for (std::size_t g = 0; g < font.glyphs.size(); ++g)
        for (const char32_t cp : font.map[g]) {
            const bool printable = (cp >= 32 && cp <= 126) || (cp >= 160 && cp <= 255);
            if (printable) out[cp] = font.glyphs[g];
        }
    return out;
}

std::string glyphSource(const std::array<Glyph, 256>& glyphs, const std::string& origin) {
    std::string s = "// Generated at build time from " + origin + "; do not edit.\n";
    s += "#include \"glyphs.h\"\n\nnamespace orv::runtime {\n\nconst std::uint8_t fontGlyphs[256][16] = {\n";
    for (const Glyph& g : glyphs) {
        s += "    {";
        for (std::size_t r = 0; r < g.size(); ++r) {
            char buf[8];
            auto res = std::to_chars(buf, buf + sizeof buf, g[r]);
            s.append(buf, res.ptr);
            if (r + 1 < g.size()) s += ',';
        }
        s += "},\n";
    }
    s += "};\n\n}  // namespace orv::runtime\n";
    return s;
}

}  // namespace orv::tools
