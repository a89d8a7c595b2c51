#include "runtime/imagescreen.h"

namespace orv::runtime {

ImageScreen::ImageScreen() : surface_(std::make_unique<PlotSurface>()) {}

ImageScreen::~ImageScreen() { closeSurface(); }

int ImageScreen::openSurface(int mode) {
    if (mode != surfaceMode) return 1;
    surface_->reset();
    open_ = true;
    programFiles().setConsoleSink(surface_.get());
    return 0;
}

void ImageScreen::closeSurface() {
    if (!open_) return;
    programFiles().setConsoleSink(nullptr);
    open_ = false;
}

void ImageScreen::waitForKey() {
    // Nobody can press a key here; a key pressed into the surface is still consumed.
    surface_->takeKey();
}

}  // namespace orv::runtime
