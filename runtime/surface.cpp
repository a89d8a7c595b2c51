#include "runtime/surface.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "runtime/glyphs.h"

namespace orv::runtime {

const std::array<std::uint32_t, 16> surfacePalette = {
    0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
    0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF,
};

namespace {

// Mapped coordinates are held within this bound so that the clipped line's
// integer arithmetic cannot overflow; anything this far out is off the screen.
constexpr double coordinateLimit = double(1 << 29);
// Larger ellipses would overflow the rasteriser's 64-bit terms; none fits on a screen.
constexpr std::int64_t radiusLimit = 1 << 14;

std::int64_t roundHalfAway(double f) {
    double r = f > 0 ? std::trunc(f + 0.5) : std::trunc(f - 0.5);
    return static_cast<std::int64_t>(std::clamp(r, -coordinateLimit, coordinateLimit));
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {  // b > 0
    std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) {  // b > 0
    std::int64_t q = a / b;
    return (a % b != 0 && a > 0) ? q + 1 : q;
}

// Cuts a finite segment of mapped (unrounded) coordinates to the square of
// half-side farLimit, which holds every pixel of the screen with room to
// spare, so that rounding its ends never meets coordinateLimit: a clamped end
// would turn the line. False when nothing of the segment lies in the square.
// Non-finite ends are left alone (no line leads to them).
constexpr double farLimit = double(1 << 28);

bool cutFarSegment(double& ax, double& ay, double& bx, double& by) {
    const bool far = std::fabs(ax) > farLimit || std::fabs(ay) > farLimit || std::fabs(bx) > farLimit ||
                     std::fabs(by) > farLimit;
    if (!far || !std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by))
        return true;
    const double dx = bx - ax, dy = by - ay;
    double t0 = 0, t1 = 1;
    // Liang-Barsky: p * t <= q for each of the four sides.
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax + farLimit, farLimit - ax, ay + farLimit, farLimit - ay};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0) return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
    // Each new end is reached from the nearer old one, which keeps the error
    // of a point far out from spilling into the visible part.
    const auto at = [&](double t, double& x, double& y) {
        if (t <= 0.5) {
            x = ax + t * dx, y = ay + t * dy;
        } else {
            x = bx - (1 - t) * dx, y = by - (1 - t) * dy;
        }
    };
    double nax, nay, nbx, nby;
    at(t0, nax, nay);
    at(t1, nbx, nby);
    ax = std::clamp(nax, -farLimit, farLimit), ay = std::clamp(nay, -farLimit, farLimit);
    bx = std::clamp(nbx, -farLimit, farLimit), by = std::clamp(nby, -farLimit, farLimit);
    return true;
}

}  // namespace

PlotSurface::PlotSurface() { resetLocked(); }

void PlotSurface::reset() {
    std::lock_guard guard(mutex_);
    resetLocked();
}

void PlotSurface::resetLocked() {
    pixels_.fill(0);
    changedRows_.set();
    view_ = {0, 0, screenWidth, screenHeight};
    world_ = {};
    lastPoint_ = {};
    foreground_ = 15;
    background_ = 0;
    cursor_ = {};
    pendingCr_ = false;
    keyFlag_ = false;
}

int PlotSurface::colourOf(std::optional<int> colour) const {
    // A 16-colour surface keeps the low four bits of a colour number.
    return (colour ? *colour : foreground_) & 15;
}

void PlotSurface::setScreenPixelLocked(std::int64_t x, std::int64_t y, int colour) {
    if (x < 0 || y < 0 || x >= screenWidth || y >= screenHeight) return;
    pixels_[static_cast<std::size_t>(y * screenWidth + x)] = static_cast<std::uint8_t>(colour);
    changedRows_.set(static_cast<std::size_t>(y));
}

void PlotSurface::setPixelLocked(std::int64_t x, std::int64_t y, int colour) {
    if (x < view_.left || y < view_.top || x >= view_.left + view_.width || y >= view_.top + view_.height)
        return;
    setScreenPixelLocked(x, y, colour);
}

void PlotSurface::setViewport(int left, int top, int right, int bottom, std::optional<int> fillColour,
                              std::optional<int> frameColour) {
    std::lock_guard guard(mutex_);
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    // 64-bit so that corners near the int limits cannot overflow.
    const std::int64_t l = left, t = top, r = right, b = bottom;
    if (frameColour) {
        const int c = *frameColour & 15;
        const std::int64_t x0 = std::max<std::int64_t>(l - 1, 0);
        const std::int64_t x1 = std::min<std::int64_t>(r + 1, screenWidth - 1);
        const std::int64_t y0 = std::max<std::int64_t>(t - 1, 0);
        const std::int64_t y1 = std::min<std::int64_t>(b + 1, screenHeight - 1);
        for (std::int64_t x = x0; x <= x1; ++x) {
            setScreenPixelLocked(x, t - 1, c);
            setScreenPixelLocked(x, b + 1, c);
        }
        for (std::int64_t y = y0; y <= y1; ++y) {
            setScreenPixelLocked(l - 1, y, c);
            setScreenPixelLocked(r + 1, y, c);
        }
    }
    const std::int64_t cl = std::max<std::int64_t>(l, 0);
    const std::int64_t ct = std::max<std::int64_t>(t, 0);
    const std::int64_t cr = std::min<std::int64_t>(r, screenWidth - 1);
    const std::int64_t cb = std::min<std::int64_t>(b, screenHeight - 1);
    if (cl > cr || ct > cb) {
        // Wholly off the screen: an empty viewport that clips everything.
        view_ = {static_cast<int>(std::clamp<std::int64_t>(l, 0, screenWidth)),
                 static_cast<int>(std::clamp<std::int64_t>(t, 0, screenHeight)), 0, 0};
    } else {
        view_ = {static_cast<int>(cl), static_cast<int>(ct), static_cast<int>(cr - cl + 1),
                 static_cast<int>(cb - ct + 1)};
    }
    if (fillColour) {
        const int c = *fillColour & 15;
        for (int y = view_.top; y < view_.top + view_.height; ++y)
            for (int x = view_.left; x < view_.left + view_.width; ++x) setScreenPixelLocked(x, y, c);
    }
}

void PlotSurface::setWorldWindow(float x1, float y1, float x2, float y2) {
    std::lock_guard guard(mutex_);
    if (x1 == 0 && y1 == 0 && x2 == 0 && y2 == 0) {
        world_ = {};
        return;
    }
    world_.on = true;
    world_.xMin = std::min(x1, x2);
    world_.yMin = std::min(y1, y2);
    world_.width = static_cast<float>(std::fabs(double(x2) - double(x1)));
    world_.height = static_cast<float>(std::fabs(double(y2) - double(y1)));
}

PlotSurface::MappedPoint PlotSurface::mapUnroundedLocked(WorldPoint p) const {
    // In double from the single inputs, so the rounding sees the exact quotient.
    double fx = p.x;
    double fy = p.y;
    if (world_.on) {
        fx = (double(p.x) - double(world_.xMin)) * view_.width / double(world_.width);
        fy = (double(p.y) - double(world_.yMin)) * view_.height / double(world_.height);
    }
    return {fx, fy, !std::isnan(fx) && !std::isnan(fy)};
}

PlotSurface::PixelPoint PlotSurface::pixelOfLocked(MappedPoint m) const {
    if (!m.valid) return {0, 0, false};
    std::int64_t px = roundHalfAway(m.fx);
    std::int64_t py = roundHalfAway(m.fy);
    if (world_.on) py = view_.height - 1 - py;
    return {px + view_.left, py + view_.top, true};
}

PlotSurface::PixelPoint PlotSurface::mapLocked(WorldPoint p) const {
    return pixelOfLocked(mapUnroundedLocked(p));
}

// Bresenham's line, both ends included, one pixel per step along the longer
// axis. The minor coordinate at step i is round(i * dv / du) with halves
// stepping on, which is what the error-term loop produces; having it in closed
// form lets the clip to viewRect pick the visible steps directly, so a line
// reaching far off the screen costs no more than its visible part.
void PlotSurface::lineLocked(PixelPoint a, PixelPoint b, int colour) {
    if (!a.valid || !b.valid || view_.width <= 0 || view_.height <= 0) return;
    const std::int64_t left = view_.left, right = view_.left + view_.width - 1;
    const std::int64_t top = view_.top, bottom = view_.top + view_.height - 1;
    const bool xMajor = std::llabs(b.x - a.x) >= std::llabs(b.y - a.y);
    const std::int64_t u0 = xMajor ? a.x : a.y, u1 = xMajor ? b.x : b.y;
    const std::int64_t v0 = xMajor ? a.y : a.x, v1 = xMajor ? b.y : b.x;
    const std::int64_t uLo = xMajor ? left : top, uHi = xMajor ? right : bottom;
    const std::int64_t vLo = xMajor ? top : left, vHi = xMajor ? bottom : right;
    const std::int64_t du = std::llabs(u1 - u0), dv = std::llabs(v1 - v0);
    const std::int64_t su = u1 >= u0 ? 1 : -1, sv = v1 >= v0 ? 1 : -1;

    std::int64_t iMin = su > 0 ? uLo - u0 : u0 - uHi;
    std::int64_t iMax = su > 0 ? uHi - u0 : u0 - uLo;
    iMin = std::max<std::int64_t>(iMin, 0);
    iMax = std::min(iMax, du);
    std::int64_t kLo = sv > 0 ? vLo - v0 : v0 - vHi;
    std::int64_t kHi = sv > 0 ? vHi - v0 : v0 - vLo;
    if (dv == 0) {
        if (kLo > 0 || kHi < 0) return;
    } else {
        kLo = std::max<std::int64_t>(kLo, 0);
        kHi = std::min(kHi, dv);
        if (kLo > kHi) return;
        // Steps whose minor offset q(i) = floor((2 i dv + du) / (2 du)) lies in [kLo, kHi].
        iMin = std::max(iMin, ceilDiv(2 * du * kLo - du, 2 * dv));
        iMax = std::min(iMax, ceilDiv(2 * du * (kHi + 1) - du, 2 * dv) - 1);
    }
    for (std::int64_t i = iMin; i <= iMax; ++i) {
        const std::int64_t u = u0 + su * i;
        const std::int64_t v = du == 0 ? v0 : v0 + sv * floorDiv(2 * i * dv + du, 2 * du);
        if (xMajor)
            setPixelLocked(u, v, colour);
        else
            setPixelLocked(v, u, colour);
    }
}

void PlotSurface::drawLine(std::optional<WorldPoint> from, WorldPoint to, std::optional<int> colour) {
    std::lock_guard guard(mutex_);
    const WorldPoint start = from ? *from : lastPoint_;
    MappedPoint a = mapUnroundedLocked(start), b = mapUnroundedLocked(to);
    lastPoint_ = to;
    if (a.valid && b.valid && !cutFarSegment(a.fx, a.fy, b.fx, b.fy)) return;
    lineLocked(pixelOfLocked(a), pixelOfLocked(b), colourOf(colour));
}

void PlotSurface::drawPoint(WorldPoint p, std::optional<int> colour) {
    std::lock_guard guard(mutex_);
    const PixelPoint px = mapLocked(p);
    if (px.valid) setPixelLocked(px.x, px.y, colourOf(colour));
    lastPoint_ = p;
}

// Integer midpoint ellipse around the centre pixel; the decision terms are
// kept four times their true value so that the half-pixel midpoints stay integral.
void PlotSurface::ellipseLocked(PixelPoint c, std::int64_t rx, std::int64_t ry, int colour) {
    auto plot4 = [&](std::int64_t x, std::int64_t y) {
        setPixelLocked(c.x + x, c.y + y, colour);
        setPixelLocked(c.x - x, c.y + y, colour);
        setPixelLocked(c.x + x, c.y - y, colour);
        setPixelLocked(c.x - x, c.y - y, colour);
    };
    if (rx == 0 || ry == 0) {  // a flat ellipse is a line through the centre
        for (std::int64_t x = -rx; x <= rx; ++x) setPixelLocked(c.x + x, c.y, colour);
        for (std::int64_t y = -ry; y <= ry; ++y) setPixelLocked(c.x, c.y + y, colour);
        return;
    }
    const std::int64_t rx2 = rx * rx, ry2 = ry * ry;
    std::int64_t x = 0, y = ry;
    std::int64_t p = 4 * ry2 - 4 * rx2 * ry + rx2;
    while (ry2 * x < rx2 * y) {
        plot4(x, y);
        if (p < 0) {
            p += 4 * ry2 * (2 * x + 3);
        } else {
            p += 4 * ry2 * (2 * x + 3) - 8 * rx2 * (y - 1);
            --y;
        }
        ++x;
    }
    p = ry2 * (2 * x + 1) * (2 * x + 1) + 4 * rx2 * (y - 1) * (y - 1) - 4 * rx2 * ry2;
    std::int64_t lastX = x;
    while (y >= 0) {
        plot4(x, y);
        lastX = x;
        if (p > 0) {
            p += 4 * rx2 * (3 - 2 * y);
        } else {
            p += 4 * rx2 * (3 - 2 * y) + 8 * ry2 * (x + 1);
            ++x;
        }
        --y;
    }
    // A flat ellipse leaves the second region before reaching its tips: run
    // them out along the axis so the extremes lie at centre x +- rx.
    while (lastX < rx) plot4(++lastX, 0);
}

void PlotSurface::drawCircle(WorldPoint centre, float radius, std::optional<int> colour, float aspect) {
    std::lock_guard guard(mutex_);
    const PixelPoint c = mapLocked(centre);
    lastPoint_ = centre;
    // The x scale serves both axes, so the aspect alone shapes the ellipse.
    double r = std::fabs(double(radius));
    if (world_.on) r = r * view_.width / double(world_.width);
    const double a = aspect == 0 ? 1.0 : std::fabs(double(aspect));
    double xr = r, yr = r;
    if (a <= 1)
        yr = r * a;
    else
        xr = r / a;
    if (!c.valid || std::isnan(xr) || std::isnan(yr)) return;
    const auto toRadius = [](double v) {
        return static_cast<std::int64_t>(std::min(std::trunc(v), double(radiusLimit)));
    };
    ellipseLocked(c, toRadius(xr), toRadius(yr), colourOf(colour));
}

void PlotSurface::locateText(int row, int column) {
    std::lock_guard guard(mutex_);
    if (row < 1 || row > textRows || column < 1 || column > textColumns) return;
    cursor_ = {row, column};
    pendingCr_ = false;
}

void PlotSurface::scrollLocked() {
    constexpr std::size_t rowBytes = screenWidth * cellHeight;
    std::memmove(pixels_.data(), pixels_.data() + rowBytes, pixels_.size() - rowBytes);
    std::fill(pixels_.end() - rowBytes, pixels_.end(), static_cast<std::uint8_t>(background_));
    changedRows_.set();
}

// Past the last row the cursor waits one row below the grid; the scroll
// happens only when something is printed there, so a final line end leaves
// the picture as it is.
void PlotSurface::lineEndLocked() {
    cursor_.column = 1;
    if (cursor_.row > textRows)
        scrollLocked();
    else
        ++cursor_.row;
}

void PlotSurface::glyphLocked(unsigned char ch) {
    if (cursor_.column > textColumns) lineEndLocked();
    if (cursor_.row > textRows) {
        scrollLocked();
        cursor_.row = textRows;
    }
    const int x0 = cellWidth * (cursor_.column - 1);
    const int y0 = cellHeight * (cursor_.row - 1);
    const std::uint8_t* glyph = fontGlyphs[ch];
    for (int y = 0; y < cellHeight; ++y)
        for (int x = 0; x < cellWidth; ++x)
            setScreenPixelLocked(x0 + x, y0 + y, (glyph[y] & (0x80 >> x)) ? foreground_ : background_);
    ++cursor_.column;
}

void PlotSurface::write(std::string_view bytes) {
    std::lock_guard guard(mutex_);
    for (const char c : bytes) {
        if (c == '\r') {
            lineEndLocked();
            pendingCr_ = true;
        } else if (c == '\n') {
            // CR LF may arrive split over two writes; it is still one line end.
            if (!pendingCr_) lineEndLocked();
            pendingCr_ = false;
        } else {
            pendingCr_ = false;
            glyphLocked(static_cast<unsigned char>(c));
        }
    }
}

void PlotSurface::pressKey() {
    std::lock_guard guard(mutex_);
    keyFlag_ = true;
}

bool PlotSurface::takeKey() {
    std::lock_guard guard(mutex_);
    const bool was = keyFlag_;
    keyFlag_ = false;
    return was;
}

void PlotSurface::waitForKey() {
    while (!takeKey()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

std::uint8_t PlotSurface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= screenWidth || y >= screenHeight) return 0;
    std::lock_guard guard(mutex_);
    return pixels_[static_cast<std::size_t>(y * screenWidth + x)];
}

SurfacePixels PlotSurface::snapshot() const {
    std::lock_guard guard(mutex_);
    return pixels_;
}

std::bitset<screenHeight> PlotSurface::takeChangedRows() {
    std::lock_guard guard(mutex_);
    const auto rows = changedRows_;
    changedRows_.reset();
    return rows;
}

std::bitset<screenHeight> PlotSurface::copyChangedRows(std::uint8_t* dest, std::size_t stride) {
    std::lock_guard guard(mutex_);
    const auto rows = changedRows_;
    for (std::size_t y = 0; y < screenHeight; ++y)
        if (rows.test(y)) std::memcpy(dest + y * stride, pixels_.data() + y * screenWidth, screenWidth);
    changedRows_.reset();
    return rows;
}

PixelRect PlotSurface::viewRect() const {
    std::lock_guard guard(mutex_);
    return view_;
}

WorldWindow PlotSurface::worldWindow() const {
    std::lock_guard guard(mutex_);
    return world_;
}

WorldPoint PlotSurface::lastPoint() const {
    std::lock_guard guard(mutex_);
    return lastPoint_;
}

TextCursor PlotSurface::textCursor() const {
    std::lock_guard guard(mutex_);
    return cursor_;
}

}  // namespace orv::runtime
