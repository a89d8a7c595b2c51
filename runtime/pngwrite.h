#pragma once
// Writes a surface picture as an 8-bit palette PNG with the 16 surface colours.
#include <string>

#include "runtime/surface.h"

namespace orv::runtime {

// False if the file could not be written completely (a partial file is removed).
bool writePng(const std::string& path, const SurfacePixels& pixels);

// The PNG file's bytes.
std::string encodePng(const SurfacePixels& pixels);

}  // namespace orv::runtime
