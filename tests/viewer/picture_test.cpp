// The whole run drawn through an image screen: panel frames, marks and the
// text rows where they belong, for ordinary and very small symbol counts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/glyphs.h"
#include "runtime/imagescreen.h"
#include "runtime/textfile.h"
#include "viewer/viewer.h"
#include "viewertestsupport.h"

namespace orv::viewer {
namespace {

struct Picture {
    Outcome<> outcome;
    runtime::SurfacePixels pixels{};
    int at(int x, int y) const { return pixels[static_cast<std::size_t>(y * runtime::screenWidth + x)]; }
};

Picture drawRun(const std::string& records) {
    ScratchFolder dir;
    dir.write("rawsyms.txt", records);
    runtime::ImageScreen screen;
    Picture p;
    p.outcome = runViewer(screen, runtime::programFiles(), dir.file("rawsyms.txt"));
    p.pixels = screen.picture().snapshot();
    return p;
}

// The text of one row, read back cell by cell (white on black); '?' for a
// cell that shows no glyph cleanly.
std::string rowText(const Picture& p, int row, int columns) {
    std::string text;
    for (int column = 1; column <= columns; ++column) {
        char found = '?';
        for (int ch = 32; ch < 127 && found == '?'; ++ch) {
            bool same = true;
            for (int y = 0; y < 16 && same; ++y) {
                for (int x = 0; x < 8 && same; ++x) {
                    const bool ink = runtime::fontGlyphs[ch][y] & (0x80 >> x);
                    same = p.at(8 * (column - 1) + x, 16 * (row - 1) + y) == (ink ? 15 : 0);
                }
            }
            if (same) found = static_cast<char>(ch);
        }
        text += found;
    }
    return text;
}

struct Frame {
    int left, top, right, bottom;  // the outline, one pixel outside the viewport
};

const Frame frames[] = {
    {9, 9, 511, 101}, {9, 119, 511, 241}, {529, 119, 631, 241}, {134, 259, 386, 381}, {529, 259, 631, 381}};

void expectFrames(const Picture& p, const std::string& what) {
    for (const Frame& f : frames) {
        for (int x = f.left; x <= f.right; x += (f.right - f.left) / 8) {
            EXPECT_EQ(p.at(x, f.top), 1) << what << " top at " << x;
            EXPECT_EQ(p.at(x, f.bottom), 1) << what << " bottom at " << x;
        }
        for (int y = f.top; y <= f.bottom; y += (f.bottom - f.top) / 4) {
            EXPECT_EQ(p.at(f.left, y), 1) << what << " left at " << y;
            EXPECT_EQ(p.at(f.right, y), 1) << what << " right at " << y;
        }
    }
    // The constellation has no frame.
    EXPECT_EQ(p.at(529, 4), 0) << what;
    EXPECT_EQ(p.at(631, 106), 0) << what;
}

TEST(Picture, ConstantSymbolsShowTheirFiguresInTheTextRows) {
    const Picture p = drawRun(symbolRecords(std::vector<float>(120, 1.0f), std::vector<float>(120, 0.0f)));
    ASSERT_TRUE(p.outcome.ok());
    expectFrames(p, "n=120");
    EXPECT_EQ(rowText(p, 24, 13), " 120 symbols ");
    const auto fullRow = [](std::string text) { return text + std::string(80 - text.size(), ' '); };
    EXPECT_EQ(rowText(p, 26, 80),
              fullRow(" sqared spectrum peak 20.8 dB at frequency 0.00000 (Hz / symbol duration)"));
    EXPECT_EQ(rowText(p, 27, 80), fullRow(" estimated magnitude of time error 1.00 (symbol durations)"));
    // Row 25 and the rows under the text stay black.
    for (int y = 384; y < 400; ++y)
        for (int x = 0; x < runtime::screenWidth; ++x) ASSERT_EQ(p.at(x, y), 0) << x << "," << y;
    for (int y = 432; y < runtime::screenHeight; ++y)
        for (int x = 0; x < runtime::screenWidth; ++x) ASSERT_EQ(p.at(x, y), 0) << x << "," << y;
}

TEST(Picture, MarksLandWhereTheirValuesSay) {
    // The strongest symbol (0, 2) sits on top of the unit circle; a phase of
    // +180 is drawn on panel 1's bottom row, -180 just above it and clipped.
    const Picture p = drawRun("0 0 2 180\r\n1 1 0 -180\r\n2 -1 0 0\r\n");
    ASSERT_TRUE(p.outcome.ok());
    EXPECT_EQ(p.at(581, 6), 15);
    EXPECT_EQ(p.at(10, 100), 15);
    for (int x = 10; x <= 510; ++x) EXPECT_NE(p.at(x, 9), 15) << x;
}

// Fewer bins than the centre panels span, and the smallest sets: the run
// completes, draws only bins that exist and keeps its frames.
TEST(Picture, SmallSymbolCountsDrawWithinTheirBins) {
    for (const std::size_t n : {1u, 2u, 3u, 10u, 50u, 51u, 100u, 101u}) {
        std::vector<float> re(n), im(n);
        for (std::size_t i = 0; i < n; ++i) {
            re[i] = std::cos(0.3f * static_cast<float>(i));
            im[i] = std::sin(0.3f * static_cast<float>(i));
        }
        const Picture p = drawRun(symbolRecords(re, im));
        ASSERT_TRUE(p.outcome.ok()) << n;
        expectFrames(p, "n=" + std::to_string(n));
        EXPECT_EQ(rowText(p, 24, 1 + static_cast<int>(std::to_string(n).size()) + 8),
                  " " + std::to_string(n) + " symbols")
            << n;
    }
}

}  // namespace
}  // namespace orv::viewer
