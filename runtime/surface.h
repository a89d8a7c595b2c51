#pragma once
// The 640 x 480, 16-colour plot surface: a pixel buffer with its drawing state,
// free of any GUI toolkit. A window (surface_window.h) or a PNG writer shows it.
// Drawing runs on the program's thread; a window thread copies changed rows and
// records key presses; both go through lock().
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>

#include "runtime/textfile.h"

namespace orv::runtime {

inline constexpr int screenWidth = 640;
inline constexpr int screenHeight = 480;
inline constexpr int textRows = 30;
inline constexpr int textColumns = 80;
inline constexpr int cellWidth = 8;
inline constexpr int cellHeight = 16;
inline constexpr int surfaceMode = 12;  // the only screen mode there is

// Palette index -> 0xRRGGBB.
extern const std::array<std::uint32_t, 16> surfacePalette;

using SurfacePixels = std::array<std::uint8_t, screenWidth * screenHeight>;

struct WorldPoint {
    float x = 0;
    float y = 0;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct WorldWindow {
    bool on = false;
    float xMin = 0, yMin = 0, width = 0, height = 0;
};

struct TextCursor {
    int row = 1;
    int column = 1;
};

class PlotSurface : public ConsoleSink {
public:
    PlotSurface();

    // Back to the state of a freshly opened surface: all black, defaults, every row marked.
    void reset();

    // Corners in screen pixels, sorted; frame drawn just outside, clipped to the screen.
    void setViewport(int left, int top, int right, int bottom, std::optional<int> fillColour,
                     std::optional<int> frameColour);
    void setWorldWindow(float x1, float y1, float x2, float y2);  // all 0: off
    // from == nullopt starts at lastPoint.
    void drawLine(std::optional<WorldPoint> from, WorldPoint to, std::optional<int> colour);
    void drawPoint(WorldPoint p, std::optional<int> colour);
    void drawCircle(WorldPoint centre, float radius, std::optional<int> colour, float aspect = 0);
    void locateText(int row, int column);         // out of range: the cursor stays
    void write(std::string_view bytes) override;  // text at the cursor; CR LF or LF ends a line

    // Key flag: set by a key press or the close box, polled by waitForKey.
    void pressKey();
    bool takeKey();
    void waitForKey();  // checks the flag every 50 ms

    std::uint8_t pixel(int x, int y) const;  // takes the lock; 0 off the screen
    // Copies the whole buffer (row-major, palette indexes).
    SurfacePixels snapshot() const;
    // Rows changed since the last call (clears the marks); the window copies these.
    std::bitset<screenHeight> takeChangedRows();
    // Copies the changed rows into dest (row r at dest + r * stride) and clears
    // their marks, in one turn of the lock. Returns the rows copied.
    std::bitset<screenHeight> copyChangedRows(std::uint8_t* dest, std::size_t stride);

    PixelRect viewRect() const;
    WorldWindow worldWindow() const;
    WorldPoint lastPoint() const;
    TextCursor textCursor() const;

    std::mutex& lock() const { return mutex_; }

private:
    // Helpers that run with the lock held.
    struct PixelPoint {
        std::int64_t x;
        std::int64_t y;
        bool valid;  // false for a point that maps to no pixel (NaN)
    };
    void setPixelLocked(std::int64_t x, std::int64_t y, int colour);        // clipped to viewRect
    void setScreenPixelLocked(std::int64_t x, std::int64_t y, int colour);  // clipped to the screen only
    struct MappedPoint {
        double fx;
        double fy;
        bool valid;
    };
    PixelPoint mapLocked(WorldPoint p) const;
    MappedPoint mapUnroundedLocked(WorldPoint p) const;  // before rounding and flip
    PixelPoint pixelOfLocked(MappedPoint m) const;
    void lineLocked(PixelPoint a, PixelPoint b, int colour);
    void ellipseLocked(PixelPoint c, std::int64_t rx, std::int64_t ry, int colour);
    void resetLocked();
    void lineEndLocked();
    void glyphLocked(unsigned char ch);
    void scrollLocked();
    int colourOf(std::optional<int> colour) const;

    mutable std::mutex mutex_;
    SurfacePixels pixels_{};
    std::bitset<screenHeight> changedRows_;
    PixelRect view_{0, 0, screenWidth, screenHeight};
    WorldWindow world_{};
    WorldPoint lastPoint_{};
    int foreground_ = 15;
    int background_ = 0;
    TextCursor cursor_{};
    bool pendingCr_ = false;  // a CR was just written: a following LF belongs to it
    bool keyFlag_ = false;
};

// What a program's straight-line code talks to: opening the surface may or may
// not create one (no display: drawing does nothing, file 0 stays the console).
class Screen {
public:
    virtual ~Screen() = default;
    virtual int openSurface(int mode) = 0;  // 0, or 1 for a mode other than 12
    virtual void closeSurface() = 0;
    virtual PlotSurface* surface() = 0;  // nullptr when none exists
    // With a surface: its key flag. Without: one key from standard input,
    // returning at once at end of input.
    virtual void waitForKey() = 0;
};

}  // namespace orv::runtime
