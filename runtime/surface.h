#pragma once
// The 640 x 480, 16-colour plot surface: a pixel buffer with its drawing state,
// free of any GUI toolkit. A window (surface_window.h) or a PNG writer shows it.
// Drawing runs on the program's thread; a window thread copies changed rows and
// records key presses; both go through lock().
#include <array>
#include <bitset>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>

#include "textfile.h"

namespace orv {

inline constexpr int screenWidth = 640;
inline constexpr int screenHeight = 480;
inline constexpr int textRows = 30;
inline constexpr int textColumns = 80;

// Palette index -> 0xRRGGBB.
extern const std::array<std::uint32_t, 16> surfacePalette;

struct WorldPoint {
    float x = 0;
    float y = 0;
};

class PlotSurface : public ConsoleSink {
public:
    PlotSurface();

    // Corners in screen pixels, sorted; frame drawn just outside, clipped to the screen.
    void setViewport(int left, int top, int right, int bottom,
                     std::optional<int> fillColour, std::optional<int> frameColour);
    void setWorldWindow(float x1, float y1, float x2, float y2);  // all 0: off
    // from == nullopt starts at lastPoint.
    void drawLine(std::optional<WorldPoint> from, WorldPoint to, std::optional<int> colour);
    void drawPoint(WorldPoint p, std::optional<int> colour);
    void drawCircle(WorldPoint centre, float radius, std::optional<int> colour, float aspect = 0);
    void locateText(int row, int column);
    void write(std::string_view bytes) override;  // text at the cursor; CR LF or LF ends a line

    // Key flag: set by a key press or the close box, polled by waitForKey.
    void pressKey();
    bool takeKey();
    void waitForKey();  // checks the flag every 50 ms

    std::uint8_t pixel(int x, int y) const;  // takes the lock
    // Copies the whole buffer (row-major, palette indexes).
    std::array<std::uint8_t, screenWidth * screenHeight> snapshot() const;
    // Rows changed since the last call (clears the marks); the window copies these.
    std::bitset<screenHeight> takeChangedRows();

    std::mutex& lock() const { return mutex_; }

private:
    // Helpers that run with the lock held.
    void setPixelLocked(int x, int y, int colour);  // clipped to viewRect
    void setScreenPixelLocked(int x, int y, int colour);  // clipped to the screen only
    struct PixelPoint { int x; int y; };
    PixelPoint mapLocked(WorldPoint p) const;

    mutable std::mutex mutex_;
    std::array<std::uint8_t, screenWidth * screenHeight> pixels_{};
    std::bitset<screenHeight> changedRows_;
    int viewLeft_ = 0, viewTop_ = 0, viewWidth_ = screenWidth, viewHeight_ = screenHeight;
    bool worldOn_ = false;
    float worldX_ = 0, worldY_ = 0, worldWidth_ = 0, worldHeight_ = 0;
    WorldPoint lastPoint_{};
    int foreground_ = 15;
    int background_ = 0;
    int cursorRow_ = 1;
    int cursorColumn_ = 1;
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

}  // namespace orv
