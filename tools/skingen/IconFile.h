// Windows icon files (".ico") holding one 32-bit image.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

namespace kestrova::skingen {

// The icon file bytes for an ARGB32 image of at most 256 x 256 pixels: one directory entry,
// a bottom-up BGRA bitmap with straight (not premultiplied) alpha, and the AND mask that
// old readers use for transparency. Empty for an image the format cannot hold.
std::vector<std::uint8_t> encodeIcon(cairo_surface_t* image);

}  // namespace kestrova::skingen
