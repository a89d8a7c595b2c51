#pragma once
// The screen of a program that found no display: no surface, drawing does
// nothing, prints stay on standard output, and the wait for a key reads one
// byte of standard input.
#include "runtime/surface.h"

namespace orv::runtime {

// One byte of standard input, or its end: the key of a program without a
// surface. Without block, false (and nothing read) while no byte is waiting.
bool keyFromInput(bool block);

class HeadlessScreen : public Screen {
public:
    int openSurface(int mode) override;
    void closeSurface() override {}
    PlotSurface* surface() override { return nullptr; }
    void waitForKey() override;
};

}  // namespace orv::runtime
