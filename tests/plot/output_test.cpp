// What leaves or feeds the surface: the PNG file, the window-less screens and
// the console-font conversion.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/headlessscreen.h"
#include "runtime/imagescreen.h"
#include "runtime/pngwrite.h"
#include "runtime/surface.h"
#include "tools/psffont/psfparse.h"

namespace orv::runtime {
namespace {

std::uint32_t be32(const std::string& s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint32_t(std::uint8_t(s[at + 3]));
}

struct Chunk {
    std::string type, data;
    bool crcOk;
};

std::vector<Chunk> chunksOf(const std::string& png) {
    std::vector<Chunk> out;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t len = be32(png, at);
        Chunk c{png.substr(at + 4, 4), png.substr(at + 8, len), false};
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), len + 4);
        c.crcOk = crc == be32(png, at + 8 + len);
        out.push_back(c);
        at += 12 + len;
    }
    return out;
}

TEST(Png, EncodesThePixelsWithThePalette) {
    PlotSurface s;
    s.setViewport(10, 10, 510, 100, std::nullopt, 1);
    s.drawCircle({320, 240}, 50, 14);
    s.locateText(24, 1);
    s.write("png");
    const SurfacePixels pixels = s.snapshot();
    const std::string png = encodePng(pixels);

    ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const auto chunks = chunksOf(png);
    ASSERT_EQ(chunks.size(), 4u);
    const char* types[] = {"IHDR", "PLTE", "IDAT", "IEND"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(chunks[i].type, types[i]);
        EXPECT_TRUE(chunks[i].crcOk) << types[i];
    }
    const std::string& ihdr = chunks[0].data;
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(be32(ihdr, 0), 640u);
    EXPECT_EQ(be32(ihdr, 4), 480u);
    EXPECT_EQ(ihdr[8], 8);  // bits per index
    EXPECT_EQ(ihdr[9], 3);  // palette colour
    const std::string& plte = chunks[1].data;
    ASSERT_EQ(plte.size(), 48u);
    EXPECT_EQ(plte.substr(3 * 6, 3), std::string("\xAA\x55\x00", 3));  // brown, not dark yellow
    EXPECT_EQ(plte.substr(3 * 9, 3), std::string("\x55\x55\xFF", 3));

    std::vector<Bytef> raw(480 * 641);
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(chunks[2].data.data()),
                         chunks[2].data.size()),
              Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    for (int y = 0; y < 480; ++y) {
        ASSERT_EQ(raw[y * 641], 0) << y;  // filter: none
        for (int x = 0; x < 640; ++x) ASSERT_EQ(raw[y * 641 + 1 + x], pixels[y * 640 + x]) << x << "," << y;
    }
}

TEST(Png, WriteReportsFailureAndSuccess) {
    SurfacePixels pixels{};
    std::uint32_t seed = 1;  // noise, so the file is far larger than the limit below
    for (auto& p : pixels) p = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 28);
    const auto dir = std::filesystem::temp_directory_path() / ("plot_png_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto good = (dir / "shot.png").string();
    EXPECT_TRUE(writePng(good, pixels));
    EXPECT_EQ(std::filesystem::file_size(good), encodePng(pixels).size());
    EXPECT_FALSE(writePng((dir / "missing" / "shot.png").string(), pixels));
    {
        // A file size limit makes the write fail part-way, as a full disk would:
        // that is a failure, and no truncated picture is left behind.
        const auto cut = (dir / "cut.png").string();
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 1000;
        ::setrlimit(RLIMIT_FSIZE, &small);
        const bool ok = writePng(cut, pixels);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(ok);
        EXPECT_FALSE(std::filesystem::exists(cut));
    }
    std::filesystem::remove_all(dir);
}

// Runs f with standard input reading from the given bytes; returns what is left unread.
template <class F>
std::string withStdin(const std::string& bytes, F f) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    EXPECT_EQ(::write(fds[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
    ::close(fds[1]);
    const int saved = ::dup(STDIN_FILENO);
    ::dup2(fds[0], STDIN_FILENO);
    ::close(fds[0]);
    f();
    std::string rest;
    char buf[64];
    ssize_t n;
    while ((n = ::read(STDIN_FILENO, buf, sizeof buf)) > 0) rest.append(buf, std::size_t(n));
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
    return rest;
}

TEST(Screens, HeadlessHasNoSurfaceAndTakesOneKeyFromInput) {
    HeadlessScreen screen;
    EXPECT_EQ(screen.openSurface(12), 0);
    EXPECT_EQ(screen.openSurface(13), 1);
    EXPECT_EQ(screen.surface(), nullptr);
    EXPECT_EQ(withStdin("xy", [&] { screen.waitForKey(); }), "y");  // one byte, no more
    EXPECT_EQ(withStdin("", [&] { screen.waitForKey(); }), "");     // end of input: at once
    screen.closeSurface();
}

TEST(Screens, ImageScreenTakesFileZeroWhileOpen) {
    ImageScreen screen;
    EXPECT_EQ(screen.surface(), nullptr);
    EXPECT_EQ(screen.openSurface(1), 1);
    EXPECT_EQ(screen.surface(), nullptr);
    ASSERT_EQ(screen.openSurface(12), 0);
    ASSERT_NE(screen.surface(), nullptr);
    screen.surface()->locateText(24, 1);
    programFiles().printText(0, "Hi", Ending::LineEnd);
    programFiles().printText(0, "x");
    EXPECT_EQ(screen.surface()->textCursor().row, 25);
    EXPECT_EQ(screen.surface()->textCursor().column, 2);
    screen.surface()->pressKey();
    screen.waitForKey();  // returns at once, and takes the key
    EXPECT_FALSE(screen.surface()->takeKey());
    screen.closeSurface();
    EXPECT_EQ(screen.surface(), nullptr);
    EXPECT_EQ(screen.picture().textCursor().column, 2);  // the picture outlives the close
    // Reopening starts from a blank surface.
    ASSERT_EQ(screen.openSurface(12), 0);
    EXPECT_EQ(screen.surface()->pixel(0, 368), 0);
    EXPECT_EQ(screen.surface()->textCursor().row, 1);
}

// A font image with glyph g filled with the byte g + 1, so glyphs are told apart.
std::vector<std::uint8_t> psf1(std::size_t count, bool table) {
    std::vector<std::uint8_t> b = {0x36, 0x04, std::uint8_t((count == 512 ? 1 : 0) | (table ? 2 : 0)), 16};
    for (std::size_t g = 0; g < count; ++g) b.insert(b.end(), 16, std::uint8_t(g + 1));
    return b;
}

void put16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}

std::vector<std::uint8_t> psf2(std::uint32_t count, std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> b = {0x72, 0xB5, 0x4A, 0x86};
    put32(b, 0);
    put32(b, 32);
    put32(b, 1);  // has a table
    put32(b, count);
    put32(b, height * ((width + 7) / 8));
    put32(b, height);
    put32(b, width);
    for (std::uint32_t g = 0; g < count; ++g)
        b.insert(b.end(), height * ((width + 7) / 8), std::uint8_t(g + 1));
    return b;
}

TEST(Psf, Psf1UnicodeTableDecidesTheAsciiGlyphs) {
    auto b = psf1(256, true);
    for (unsigned g = 0; g < 256; ++g) {
        // Glyph 7 draws 'A' and, after a sequence marker, nothing else counts;
        // glyph 8 draws 'B' and the Latin-1 e acute; all others draw nothing we map.
        if (g == 7) {
            put16(b, 'A');
            put16(b, 0xFFFE);
            put16(b, 'Z');
            put16(b, 0x0301);
        }
        if (g == 8) {
            put16(b, 0x2500);
            put16(b, 'B');
            put16(b, 0xE9);
        }
        put16(b, 0xFFFF);
    }
    const auto parsed = orv::tools::parseFont(b);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    const auto glyphs = orv::tools::glyphsByByte(*parsed);
    EXPECT_EQ(glyphs['A'][0], 8);
    EXPECT_EQ(glyphs['B'][5], 9);
    EXPECT_EQ(glyphs[0xE9][0], 9);
    EXPECT_EQ(glyphs['Z'][0], 0);  // only inside a sequence: stays blank
    EXPECT_EQ(glyphs['C'][0], 0);
}

TEST(Psf, WithoutTableGlyphIndexIsTheByte) {
    const auto parsed = orv::tools::parseFont(psf1(512, false));
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    EXPECT_EQ(parsed->glyphs.size(), 512u);
    EXPECT_EQ(orv::tools::glyphsByByte(*parsed)['A'][0], 'A' + 1);
}

TEST(Psf, Psf2Utf8Table) {
    auto b = psf2(300, 8, 16);
    for (unsigned g = 0; g < 300; ++g) {
        if (g == 290) b.push_back('q');
        if (g == 291) {
            b.push_back(0xC3);
            b.push_back(0xA9);
            b.push_back('r');
        }  // e acute, 'r'
        if (g == 292) {
            b.push_back(0xFE);
            b.push_back('s');
        }  // sequence only
        b.push_back(0xFF);
    }
    const auto parsed = orv::tools::parseFont(b);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    const auto glyphs = orv::tools::glyphsByByte(*parsed);
    EXPECT_EQ(glyphs['q'][0], std::uint8_t(291));
    EXPECT_EQ(glyphs['r'][0], std::uint8_t(292));
    EXPECT_EQ(glyphs[0xE9][0], std::uint8_t(292));
    EXPECT_EQ(glyphs['s'][0], 0);
}

TEST(Psf, RejectsWhatItCannotUse) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    auto cut = psf1(256, false);
    cut.resize(cut.size() - 1);
    auto psf1Tall = psf1(256, false);
    psf1Tall[3] = 14;
    auto psf2Cut = psf2(256, 8, 16);
    psf2Cut.resize(40);
    const Case cases[] = {
        {"empty", {}},
        {"notAFont", {'G', 'I', 'F', '8', '9', 'a'}},
        {"psf1Truncated", cut},
        {"psf1Not16High", psf1Tall},
        {"psf2Wide", psf2(256, 9, 16)},
        {"psf2Short", psf2(256, 8, 14)},
        {"psf2Truncated", psf2Cut},
        {"psf2HeaderOnly", {0x72, 0xB5, 0x4A, 0x86, 0, 0}},
    };
    for (const Case& c : cases) {
        const auto parsed = orv::tools::parseFont(c.bytes);
        EXPECT_FALSE(parsed.ok()) << c.name;
        EXPECT_FALSE(parsed.error().empty()) << c.name;
    }
}

TEST(Psf, GeneratedSourceHoldsEveryRow) {
    std::array<orv::tools::Glyph, 256> glyphs{};
    glyphs[65][15] = 255;
    glyphs[255][0] = 1;
    const std::string src = orv::tools::glyphSource(glyphs, "test");
    EXPECT_NE(src.find("fontGlyphs[256][16]"), std::string::npos);
    EXPECT_NE(src.find("{1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0}"), std::string::npos);
    EXPECT_NE(src.find("{0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,255}"), std::string::npos);
}

}  // namespace
}  // namespace orv::runtime
