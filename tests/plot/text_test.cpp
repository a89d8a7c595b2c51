// Text cells of the plot surface and the glyphs behind them.
#include <gtest/gtest.h>

#include <string>

#include "runtime/glyphs.h"
#include "runtime/surface.h"

namespace orv::runtime {
namespace {

// True if the cell at (row, column) shows ch in the given colours.
bool cellShows(const PlotSurface& s, int row, int column, unsigned char ch, int fg, int bg) {
    const int x0 = 8 * (column - 1), y0 = 16 * (row - 1);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool ink = fontGlyphs[ch][y] & (0x80 >> x);
            if (s.pixel(x0 + x, y0 + y) != (ink ? fg : bg)) return false;
        }
    return true;
}

TEST(Glyphs, PrintableAsciiHasTheUsualShapes) {
    auto inkOf = [](unsigned char c) {
        int n = 0;
        for (int y = 0; y < 16; ++y) n += __builtin_popcount(fontGlyphs[c][y]);
        return n;
    };
    EXPECT_EQ(inkOf(' '), 0);
    for (int c = 33; c <= 126; ++c) EXPECT_GT(inkOf(static_cast<unsigned char>(c)), 0) << c;
    // Distinct letters and digits must not share a bitmap (a wrong table maps many to one).
    for (int a = 33; a <= 126; ++a)
        for (int b = a + 1; b <= 126; ++b)
            EXPECT_NE(std::string(reinterpret_cast<const char*>(fontGlyphs[a]), 16),
                      std::string(reinterpret_cast<const char*>(fontGlyphs[b]), 16))
                << char(a) << " " << char(b);
    // 'l' and '|' in the VGA shapes: a vertical stroke; '_' sits at the bottom.
    EXPECT_EQ(fontGlyphs['_'][0], 0);
    int lowest = -1;
    for (int y = 0; y < 16; ++y)
        if (fontGlyphs['_'][y]) lowest = y;
    EXPECT_GE(lowest, 12);
    EXPECT_EQ(fontGlyphs['-'][0], 0);
}

TEST(Text, CellsAreAtTheirPixels) {
    struct Case {
        int row, column;
        int x, y;
    };
    const Case cases[] = {{1, 1, 0, 0}, {24, 1, 0, 368}, {27, 80, 632, 416}, {30, 80, 632, 464}};
    for (const Case& c : cases) {
        PlotSurface s;
        s.locateText(c.row, c.column);
        s.write("#");
        EXPECT_TRUE(cellShows(s, c.row, c.column, '#', 15, 0)) << c.row << "," << c.column;
        int ink = 0;
        for (int y = 0; y < screenHeight; ++y)
            for (int x = 0; x < screenWidth; ++x)
                if (s.pixel(x, y)) {
                    ++ink;
                    EXPECT_TRUE(x >= c.x && x < c.x + 8 && y >= c.y && y < c.y + 16);
                }
        EXPECT_GT(ink, 0);
    }
}

TEST(Text, BackgroundPaintsOverTheDrawing) {
    PlotSurface s;
    s.setViewport(0, 360, 639, 400, 4, std::nullopt);  // a red band under row 24
    s.setViewport(0, 0, 639, 479, std::nullopt, std::nullopt);
    s.setViewport(100, 100, 120, 120, std::nullopt, std::nullopt);  // text ignores viewports
    s.setWorldWindow(0, 0, 1, 1);
    s.locateText(24, 1);
    s.write(" 1000 symbols");
    for (int col = 1; col <= 13; ++col)
        EXPECT_TRUE(cellShows(s, 24, col, static_cast<unsigned char>(" 1000 symbols"[col - 1]), 15, 0))
            << col;
    EXPECT_EQ(s.pixel(13 * 8, 370), 4);  // the band past the text is untouched
    EXPECT_EQ(s.pixel(0, 365), 4);
}

TEST(Text, LineEndsAndCursor) {
    struct Case {
        const char* name;
        std::vector<std::string> writes;
        TextCursor cursor;  // after the writes, started at (24, 1)
        int rowOfC;         // where 'C' was drawn, 0 for none
        int columnOfC;
    };
    const Case cases[] = {
        {"crlf", {"AB\r\nC"}, {25, 2}, 25, 1},
        {"lf", {"AB\nC"}, {25, 2}, 25, 1},
        {"crlfSplitOverWrites", {"AB\r", "\nC"}, {25, 2}, 25, 1},
        {"emptyLine", {"A\r\n", "\r\n", "C"}, {26, 2}, 26, 1},
        {"lfLf", {"A\n\nC"}, {26, 2}, 26, 1},
        {"loneCrEndsTheLine", {"A\rC"}, {25, 2}, 25, 1},
        {"wrapsAfterColumn80", {std::string(80, 'x'), "C"}, {25, 2}, 25, 1},
        {"fullLineThenLineEnd", {std::string(80, 'x'), "\r\nC"}, {25, 2}, 25, 1},
    };
    for (const Case& c : cases) {
        PlotSurface s;
        s.locateText(24, 1);
        for (const auto& w : c.writes) s.write(w);
        const TextCursor cur = s.textCursor();
        EXPECT_EQ(cur.row, c.cursor.row) << c.name;
        EXPECT_EQ(cur.column, c.cursor.column) << c.name;
        EXPECT_TRUE(cellShows(s, c.rowOfC, c.columnOfC, 'C', 15, 0)) << c.name;
    }
}

TEST(Text, LocateOutsideTheGridKeepsTheCursor) {
    const std::pair<int, int> bad[] = {{0, 5}, {31, 5}, {5, 0}, {5, 81}, {-1, -1}};
    for (const auto& [row, column] : bad) {
        PlotSurface s;
        s.locateText(10, 20);
        s.locateText(row, column);
        EXPECT_EQ(s.textCursor().row, 10) << row << "," << column;
        EXPECT_EQ(s.textCursor().column, 20) << row << "," << column;
    }
}

TEST(Text, BottomRowScrollsOnlyWhenPrintedPast) {
    PlotSurface s;
    s.drawPoint({0, 20}, 9);  // in text row 2
    s.locateText(30, 1);
    s.write("Z\r\n");  // the line end alone scrolls nothing
    EXPECT_EQ(s.pixel(0, 20), 9);
    EXPECT_TRUE(cellShows(s, 30, 1, 'Z', 15, 0));
    s.write("Y");
    EXPECT_EQ(s.pixel(0, 4), 9);  // moved up one text row
    EXPECT_TRUE(cellShows(s, 29, 1, 'Z', 15, 0));
    EXPECT_TRUE(cellShows(s, 30, 1, 'Y', 15, 0));
    EXPECT_EQ(s.textCursor().row, 30);
}

TEST(Text, WritingMarksTheCellRows) {
    PlotSurface s;
    s.takeChangedRows();
    s.locateText(24, 10);
    s.write("ab");
    const auto rows = s.takeChangedRows();
    EXPECT_EQ(rows.count(), 16u);
    EXPECT_TRUE(rows.test(368) && rows.test(383));
}

}  // namespace
}  // namespace orv::runtime
