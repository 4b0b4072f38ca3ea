// The pictures of the advert window's skin and the program icon, drawn with cairo.
//
// Sizes and the named colours are what the layout and the window code rely on (the title
// band, the body, the two close crosses); everything else is free to look good.
#pragma once

#include "tools/skingen/CairoPtr.h"

namespace kestrova::skingen {

struct Rgb {
    int r;
    int g;
    int b;
};

inline constexpr Rgb kBandBlue{110, 133, 213};
inline constexpr Rgb kBodyWhite{250, 251, 255};
inline constexpr Rgb kCrossGrey{121, 135, 152};
inline constexpr Rgb kCrossBlue{81, 159, 255};

inline constexpr int kTitleHeight = 30;

// 320 x 210: the blue title band over the near-white body, rounded by 5 pixels.
SurfacePtr drawBackground();

// 20 x 20: a diagonal cross of the given colour on a transparent ground.
SurfacePtr drawCloseCross(Rgb colour);

// 758 x 508: a soft black frame fading in over 16 pixels, transparent inside.
SurfacePtr drawShadow();

// 48 x 48: the program icon.
SurfacePtr drawProgramIcon();

}  // namespace kestrova::skingen
