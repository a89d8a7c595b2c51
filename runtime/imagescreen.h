#pragma once
// A screen that draws into a surface without showing it: for writing the
// picture to a file and for tests. The wait for a key returns at once.
// While open, the surface receives the prints to file number 0.
#include <memory>

#include "runtime/surface.h"

namespace orv::runtime {

class ImageScreen : public Screen {
public:
    ImageScreen();
    ~ImageScreen() override;
    int openSurface(int mode) override;
    void closeSurface() override;
    PlotSurface* surface() override { return open_ ? surface_.get() : nullptr; }
    void waitForKey() override;

    // The surface as last drawn, open or closed (for writing it out after the run).
    const PlotSurface& picture() const { return *surface_; }

private:
    std::unique_ptr<PlotSurface> surface_;
    bool open_ = false;
};

}  // namespace orv::runtime
