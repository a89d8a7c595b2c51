// Pixels of the plot surface: mapping, lines, points, frames, circles,
// changed rows and the key flag.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/surface.h"

namespace orv::runtime {
namespace {

using Pixel = std::pair<int, int>;

std::set<Pixel> pixelsOf(const PlotSurface& s, int colour) {
    std::set<Pixel> out;
    const auto snap = s.snapshot();
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x)
            if (snap[static_cast<std::size_t>(y * screenWidth + x)] == colour) out.insert({x, y});
    return out;
}

struct Viewport {
    int left, top, right, bottom;
};
struct Window {
    float x1, y1, x2, y2;
};

struct MappingCase {
    const char* name;
    Viewport view;
    Window window;  // all 0: off
    WorldPoint point;
    bool drawn;
    Pixel expected;
};

class Mapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(Mapping, PointLandsOnExpectedPixel) {
    const MappingCase& c = GetParam();
    PlotSurface s;
    s.setViewport(c.view.left, c.view.top, c.view.right, c.view.bottom, std::nullopt, std::nullopt);
    s.setWorldWindow(c.window.x1, c.window.y1, c.window.x2, c.window.y2);
    s.drawPoint(c.point, 7);
    const auto lit = pixelsOf(s, 7);
    if (c.drawn) {
        EXPECT_EQ(lit, std::set<Pixel>{c.expected});
    } else {
        EXPECT_TRUE(lit.empty());
    }
    // lastPoint moves whether or not the point was drawn.
    const WorldPoint last = s.lastPoint();
    EXPECT_TRUE(last.x == c.point.x || (std::isnan(last.x) && std::isnan(c.point.x)));
    EXPECT_EQ(last.y, c.point.y);
}

// Panel 1 of the viewer: 501 x 91 pixels, world (0, -180)-(999, 180).
constexpr Viewport phasePanel{10, 10, 510, 100};
constexpr Window phaseWindow{0, -180, 999, 180};

INSTANTIATE_TEST_SUITE_P(
    Surface, Mapping,
    ::testing::Values(
        MappingCase{"WorkedExample", phasePanel, phaseWindow, {0, 0}, true, {10, 54}},
        MappingCase{"BottomLeftCorner", phasePanel, phaseWindow, {0, -180}, true, {10, 100}},
        MappingCase{"TopRightCornerClipped", phasePanel, phaseWindow, {999, 180}, false, {}},
        MappingCase{"RightEdgeClipped", phasePanel, phaseWindow, {999, 0}, false, {}},
        MappingCase{"TopEdgeClipped", phasePanel, phaseWindow, {0, 180}, false, {}},
        // Swapped corners name the same window.
        MappingCase{"SwappedWindowCorners", phasePanel, {999, 180, 0, -180}, {0, -180}, true, {10, 100}},
        MappingCase{"SwappedViewportCorners", {510, 100, 10, 10}, phaseWindow, {0, 0}, true, {10, 54}},
        // fx = 50.5 exactly: half away from zero.
        MappingCase{"HalfRoundsUp", {0, 0, 99, 99}, {0, 0, 100, 100}, {50.5f, 0}, true, {51, 99}},
        MappingCase{"JustBelowHalf", {0, 0, 99, 99}, {0, 0, 100, 100}, {50.49f, 0}, true, {50, 99}},
        // Without a world window the coordinates count pixels from the viewport's corner.
        MappingCase{"NoWindowHalf", {100, 100, 300, 300}, {0, 0, 0, 0}, {50.5f, 20.5f}, true, {151, 121}},
        MappingCase{
            "NoWindowNegativeOutside", {100, 100, 300, 300}, {0, 0, 0, 0}, {-0.4f, 5}, true, {100, 105}},
        MappingCase{"NoWindowNegativeHalfOutside", {100, 100, 300, 300}, {0, 0, 0, 0}, {-0.5f, 5}, false, {}},
        MappingCase{"NaNIsNotDrawn",
                    {0, 0, 639, 479},
                    {0, 0, 0, 0},
                    {std::numeric_limits<float>::quiet_NaN(), 5},
                    false,
                    {}},
        MappingCase{"InfinityIsNotDrawn",
                    {0, 0, 639, 479},
                    {0, 0, 0, 0},
                    {std::numeric_limits<float>::infinity(), 5},
                    false,
                    {}},
        MappingCase{"ZeroWidthWindow", {0, 0, 639, 479}, {5, 0, 5, 10}, {6, 5}, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Surface, NegativeHalfRoundsAwayFromZero) {
    // A circle's extreme right pixel shows where its centre was rounded:
    // -10.5 must give -11, not -10.
    PlotSurface s;
    s.setViewport(100, 100, 300, 300, std::nullopt, std::nullopt);
    s.drawCircle({-10.5f, 20}, 30, 5);
    const auto lit = pixelsOf(s, 5);
    EXPECT_TRUE(lit.count({119, 120}));
    EXPECT_FALSE(lit.count({120, 120}));
}

// An independent reference: the textbook error-term Bresenham over the whole plane.
std::vector<Pixel> referenceLine(int x0, int y0, int x1, int y1) {
    std::vector<Pixel> out;
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    const bool xMajor = dx >= dy;
    const int du = xMajor ? dx : dy, dv = xMajor ? dy : dx;
    int x = x0, y = y0;
    int err = 2 * dv - du;  // steps on when the midpoint test says so
    for (int i = 0; i <= du; ++i) {
        out.push_back({x, y});
        if (err >= 0 && i < du) {
            if (xMajor)
                y += sy;
            else
                x += sx;
            err -= 2 * du;
        }
        err += 2 * dv;
        if (xMajor)
            x += sx;
        else
            y += sy;
    }
    return out;
}

struct LineCase {
    const char* name;
    Pixel from, to;  // pixels, no world window, full-screen viewport origin
};

class Lines : public ::testing::TestWithParam<LineCase> {};

TEST_P(Lines, FullLineIsConnectedWithEndsIncluded) {
    const LineCase& c = GetParam();
    PlotSurface s;
    s.drawLine(WorldPoint{float(c.from.first), float(c.from.second)}, {float(c.to.first), float(c.to.second)},
               2);
    const auto lit = pixelsOf(s, 2);
    const int dx = std::abs(c.to.first - c.from.first), dy = std::abs(c.to.second - c.from.second);
    EXPECT_EQ(lit.size(), std::size_t(std::max(dx, dy) + 1));
    EXPECT_TRUE(lit.count(c.from));
    EXPECT_TRUE(lit.count(c.to));
    // Every pixel within half a pixel (along the minor axis) of the ideal line.
    for (const auto& [x, y] : lit) {
        const double t = dx >= dy ? (dx ? double(x - c.from.first) / (c.to.first - c.from.first) : 0)
                                  : double(y - c.from.second) / (c.to.second - c.from.second);
        const double ideal = dx >= dy ? c.from.second + t * (c.to.second - c.from.second)
                                      : c.from.first + t * (c.to.first - c.from.first);
        EXPECT_LE(std::fabs((dx >= dy ? y : x) - ideal), 0.5 + 1e-9) << x << "," << y;
    }
    // The same pixels as the textbook loop.
    const auto ref = referenceLine(c.from.first, c.from.second, c.to.first, c.to.second);
    EXPECT_EQ(lit, std::set<Pixel>(ref.begin(), ref.end()));
}

TEST_P(Lines, ClippedLineIsTheVisiblePartOfTheFullLine) {
    const LineCase& c = GetParam();
    PlotSurface full, clipped;
    const WorldPoint a{float(c.from.first), float(c.from.second)};
    const WorldPoint b{float(c.to.first), float(c.to.second)};
    full.drawLine(a, b, 2);
    // A viewport at the origin keeps the pixel coordinates; only the clip changes.
    clipped.setViewport(0, 0, 60, 45, std::nullopt, std::nullopt);
    clipped.drawLine(a, b, 2);
    std::set<Pixel> expected;
    for (const auto& [x, y] : pixelsOf(full, 2))
        if (x <= 60 && y <= 45) expected.insert({x, y});
    EXPECT_EQ(pixelsOf(clipped, 2), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Surface, Lines,
    ::testing::Values(LineCase{"Horizontal", {3, 20}, {100, 20}}, LineCase{"Vertical", {30, 2}, {30, 90}},
                      LineCase{"Single", {40, 40}, {40, 40}}, LineCase{"ShallowRight", {0, 0}, {97, 31}},
                      LineCase{"ShallowLeftUp", {97, 31}, {0, 0}}, LineCase{"SteepDown", {10, 0}, {37, 90}},
                      LineCase{"SteepUpLeft", {80, 90}, {2, 5}}, LineCase{"Diagonal", {0, 60}, {60, 0}},
                      LineCase{"HalfSlope", {0, 0}, {100, 50}},
                      LineCase{"CrossesCorner", {20, 70}, {90, 10}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Surface, LinesOutsideTheViewport) {
    struct Case {
        const char* name;
        WorldPoint a, b;
        std::size_t pixels;
    };
    const Case cases[] = {
        {"partlyOutside", {-50, 50}, {150, 50}, 100},  // only x 100..199 of row 150
        {"whollyRightOfIt", {200, 0}, {300, 0}, 0},
        {"whollyAbove", {0, -5}, {99, -90}, 0},
        {"throughTheCorner", {-10, -10}, {110, 110}, 100},
        {"farAway", {50, 10}, {1e9f, 10}, 50},  // x 150..199 of row 110
        {"nanEnd", {50, 10}, {std::numeric_limits<float>::quiet_NaN(), 10}, 0},
    };
    for (const Case& c : cases) {
        PlotSurface s;
        s.setViewport(100, 100, 199, 199, std::nullopt, std::nullopt);
        s.drawLine(c.a, c.b, 3);
        const auto lit = pixelsOf(s, 3);
        EXPECT_EQ(lit.size(), c.pixels) << c.name;
        for (const auto& [x, y] : lit) {
            EXPECT_TRUE(x >= 100 && x <= 199 && y >= 100 && y <= 199) << c.name;
        }
        if (!std::isnan(c.b.x)) {
            EXPECT_EQ(s.lastPoint().x, c.b.x) << c.name;
            EXPECT_EQ(s.lastPoint().y, c.b.y) << c.name;
        }
    }
}

TEST(Surface, FarEndsKeepTheLinesSlope) {
    // Ends billions of pixels away must not bend the visible part: each case
    // names pixels that the exact line passes through.
    struct Case {
        const char* name;
        WorldPoint a, b;
        std::vector<Pixel> onLine;  // empty: nothing is drawn
    };
    const Case cases[] = {
        {"oneEndFar", {0, 0}, {4e9f, 1e9f}, {{0, 0}, {100, 25}, {400, 100}, {639, 160}}},
        {"oneEndFarReversed", {4e9f, 1e9f}, {0, 0}, {{0, 0}, {100, 25}, {400, 100}, {639, 160}}},
        {"bothEndsFar", {-4e9f, -1e9f}, {4e9f, 1e9f}, {{0, 0}, {100, 25}, {400, 100}}},
        {"steep", {0, 0}, {1e9f, 4e9f}, {{0, 0}, {25, 100}, {100, 400}}},
        {"farAndMissing", {-4e9f, 5e8f}, {4e9f, 5e8f + 4e9f}, {}},
    };
    for (const Case& c : cases) {
        PlotSurface s;
        s.drawLine(c.a, c.b, 3);
        const auto lit = pixelsOf(s, 3);
        if (c.onLine.empty()) {
            EXPECT_TRUE(lit.empty()) << c.name;
        }
        for (const Pixel& p : c.onLine)
            EXPECT_TRUE(lit.count(p)) << c.name << " " << p.first << "," << p.second;
        EXPECT_EQ(s.lastPoint().x, c.b.x) << c.name;
    }
}

TEST(Surface, LineFromLastPointContinuesAPolyline) {
    PlotSurface s;
    s.drawPoint({10, 10}, 4);
    s.drawLine(std::nullopt, {20, 10}, 4);
    s.drawLine(std::nullopt, {20, 20}, 4);
    const auto lit = pixelsOf(s, 4);
    EXPECT_EQ(lit.size(), 21u);
    EXPECT_TRUE(lit.count({10, 10}) && lit.count({20, 10}) && lit.count({20, 20}));
}

TEST(Surface, DefaultColourIsForeground) {
    PlotSurface s;
    s.drawPoint({5, 5}, std::nullopt);
    s.drawLine(WorldPoint{0, 0}, {3, 0}, std::nullopt);
    EXPECT_EQ(s.pixel(5, 5), 15);
    EXPECT_EQ(s.pixel(3, 0), 15);
}

TEST(Surface, FrameLiesJustOutsideTheViewport) {
    PlotSurface s;
    s.setViewport(200, 200, 220, 220, std::nullopt, std::nullopt);  // must not clip the frame
    s.setViewport(10, 10, 510, 100, std::nullopt, 1);
    const auto frame = pixelsOf(s, 1);
    EXPECT_EQ(frame.size(), std::size_t(2 * 503 + 2 * 91));
    for (const Pixel& p :
         {Pixel{9, 9}, Pixel{511, 9}, Pixel{9, 101}, Pixel{511, 101}, Pixel{300, 9}, Pixel{9, 50}})
        EXPECT_TRUE(frame.count(p)) << p.first << "," << p.second;
    for (const auto& [x, y] : frame) EXPECT_TRUE(x == 9 || x == 511 || y == 9 || y == 101);
    const PixelRect r = s.viewRect();
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.width, 501);
    EXPECT_EQ(r.height, 91);
}

TEST(Surface, ViewportEdgeCases) {
    struct Case {
        const char* name;
        Viewport view;
        std::size_t framePixels;
        PixelRect rect;
    };
    const Case cases[] = {
        {"wholeScreenFrameIsOffScreen", {0, 0, 639, 479}, 0, {0, 0, 640, 480}},
        {"cutAtLeftEdge", {-20, 10, 30, 20}, 32 * 2 + 11, {0, 10, 31, 11}},
        {"offTheScreen", {700, 10, 800, 20}, 0, {640, 10, 0, 0}},
    };
    for (const Case& c : cases) {
        PlotSurface s;
        s.setViewport(c.view.left, c.view.top, c.view.right, c.view.bottom, std::nullopt, 6);
        EXPECT_EQ(pixelsOf(s, 6).size(), c.framePixels) << c.name;
        const PixelRect r = s.viewRect();
        EXPECT_EQ(r.left, c.rect.left) << c.name;
        EXPECT_EQ(r.top, c.rect.top) << c.name;
        EXPECT_EQ(r.width, c.rect.width) << c.name;
        EXPECT_EQ(r.height, c.rect.height) << c.name;
        s.drawLine(WorldPoint{-1000, -1000}, {1000, 1000}, 8);  // clipped to the cut rectangle
        for (const auto& [x, y] : pixelsOf(s, 8))
            EXPECT_TRUE(x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height) << c.name;
    }
}

TEST(Surface, FillPaintsOnlyTheViewport) {
    PlotSurface s;
    s.setViewport(5, 6, 14, 25, 9, 2);
    EXPECT_EQ(pixelsOf(s, 9).size(), 200u);
    EXPECT_EQ(s.pixel(5, 6), 9);
    EXPECT_EQ(s.pixel(4, 6), 2);
}

struct CircleCase {
    const char* name;
    float aspect;
    int rx, ry;  // expected extreme offsets from the centre pixel
};

class Circles : public ::testing::TestWithParam<CircleCase> {};

TEST_P(Circles, ExtremesAndShape) {
    const CircleCase& c = GetParam();
    // The constellation panel: 101 x 101 pixels over (-1.05..1.05), radius 101 / 2.1 = 48.1.
    PlotSurface s;
    s.setViewport(530, 5, 630, 105, std::nullopt, std::nullopt);
    s.setWorldWindow(-1.05f, -1.05f, 1.05f, 1.05f);
    s.drawCircle({0, 0}, 1, 1, c.aspect);
    const auto lit = pixelsOf(s, 1);
    ASSERT_FALSE(lit.empty());
    const int cx = 581, cy = 54;  // 50.5 rounds to 51; flipped 100 - 51 = 49
    int minX = 1 << 20, maxX = -1, minY = 1 << 20, maxY = -1;
    for (const auto& [x, y] : lit) {
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
        // On the ellipse to within a pixel.
        const double ex = double(x - cx) / c.rx, ey = double(y - cy) / c.ry;
        const double dist = std::sqrt(ex * ex + ey * ey);
        EXPECT_NEAR(dist * std::min(c.rx, c.ry), std::min(c.rx, c.ry), 1.0) << x << "," << y;
        // Symmetric about both axes through the centre.
        EXPECT_TRUE(lit.count({2 * cx - x, y}) && lit.count({x, 2 * cy - y}));
        // Closed: every pixel has an 8-neighbour.
        int neighbours = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) neighbours += (dx || dy) && lit.count({x + dx, y + dy});
        EXPECT_GE(neighbours, 1);
    }
    EXPECT_EQ(minX, cx - c.rx);
    EXPECT_EQ(maxX, cx + c.rx);
    EXPECT_EQ(minY, cy - c.ry);
    EXPECT_EQ(maxY, cy + c.ry);
    EXPECT_EQ(s.lastPoint().x, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Surface, Circles,
    ::testing::Values(CircleCase{"DefaultAspect", 0, 48, 48}, CircleCase{"AspectOne", 1, 48, 48},
                      CircleCase{"FlatHalf", 0.5f, 48, 24}, CircleCase{"TallDouble", 2, 24, 48},
                      // Flat: the tips lie beyond where the rasteriser's second region ends.
                      CircleCase{"VeryFlat", 0.05f, 48, 2}, CircleCase{"VeryTall", 20, 2, 48}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Surface, CircleEdgeCases) {
    PlotSurface s;
    s.drawCircle({100, 100}, 0, 3);  // a single pixel
    EXPECT_EQ(pixelsOf(s, 3), (std::set<Pixel>{{100, 100}}));
    s.drawCircle({100, 100}, 1e30f, 4);  // bounded work, nothing on the screen
    EXPECT_TRUE(pixelsOf(s, 4).empty());
    s.drawCircle({320, 240}, 200, 5);  // bigger than the viewport: clipped, not wrapped
    s.setViewport(300, 200, 340, 280, std::nullopt, std::nullopt);
    s.drawCircle({20, 40}, 100, 6);
    EXPECT_TRUE(pixelsOf(s, 6).empty());
    EXPECT_EQ(s.pixel(120, 240), 5);
    EXPECT_EQ(s.pixel(520, 240), 5);
}

TEST(Surface, ChangedRowsAreMarkedAndCleared) {
    PlotSurface s;
    EXPECT_TRUE(s.takeChangedRows().all());  // a new surface must be shown whole
    EXPECT_TRUE(s.takeChangedRows().none());
    s.drawPoint({3, 54}, 2);
    s.drawLine(WorldPoint{0, 60}, {0, 62}, 2);
    s.drawPoint({3, 700}, 2);  // off the screen: nothing changes
    auto rows = s.takeChangedRows();
    EXPECT_EQ(rows.count(), 4u);
    EXPECT_TRUE(rows.test(54) && rows.test(60) && rows.test(61) && rows.test(62));

    std::vector<std::uint8_t> copy(screenWidth * screenHeight, 0xEE);
    s.drawPoint({7, 100}, 9);
    rows = s.copyChangedRows(copy.data(), screenWidth);
    EXPECT_EQ(rows.count(), 1u);
    EXPECT_EQ(copy[100 * screenWidth + 7], 9);
    EXPECT_EQ(copy[100 * screenWidth + 8], 0);
    EXPECT_EQ(copy[54 * screenWidth + 3], 0xEE);  // taken before, so not copied again
    EXPECT_TRUE(s.takeChangedRows().none());
}

TEST(Surface, KeyFlag) {
    PlotSurface s;
    EXPECT_FALSE(s.takeKey());
    s.pressKey();
    s.pressKey();  // one flag, not a count
    EXPECT_TRUE(s.takeKey());
    EXPECT_FALSE(s.takeKey());

    s.pressKey();  // pressed while drawing: the final wait returns at once
    s.drawLine(WorldPoint{0, 0}, {100, 100}, 1);
    s.waitForKey();
    EXPECT_FALSE(s.takeKey());

    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        s.waitForKey();
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_FALSE(returned.load());
    s.pressKey();
    waiter.join();
    EXPECT_TRUE(returned.load());
}

TEST(Surface, ResetRestoresTheOpenedState) {
    PlotSurface s;
    s.setViewport(10, 10, 20, 20, 3, 1);
    s.setWorldWindow(0, 0, 1, 1);
    s.drawPoint({0.5f, 0.5f}, 2);
    s.locateText(5, 5);
    s.pressKey();
    s.takeChangedRows();
    s.reset();
    EXPECT_TRUE(pixelsOf(s, 0).size() == std::size_t(screenWidth * screenHeight));
    EXPECT_EQ(s.viewRect().width, screenWidth);
    EXPECT_FALSE(s.worldWindow().on);
    EXPECT_EQ(s.lastPoint().x, 0);
    EXPECT_EQ(s.textCursor().row, 1);
    EXPECT_FALSE(s.takeKey());
    EXPECT_TRUE(s.takeChangedRows().all());
}

}  // namespace
}  // namespace orv::runtime
