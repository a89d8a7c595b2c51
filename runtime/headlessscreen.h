#pragma once
// The screen of a program that found no display: no surface, drawing does
// nothing, prints stay on standard output, and the wait for a key reads one
// byte of standard input.
#include "surface.h"

namespace orv {

class HeadlessScreen : public Screen {
public:
    int openSurface(int mode) override;
    void closeSurface() override {}
    PlotSurface* surface() override { return nullptr; }
    void waitForKey() override;
};

}  // namespace orv
