// Rendering the pop-up offscreen: the real window, skin, layout and text measuring on the
// library's headless backend, painted at rest size into a PNG. No display and no network.
//
//   PreviewImage image = renderAdvert(advert, 2, kNominalScreen);
//   if (image.error.empty()) { save(image.png); }
#pragma once

#include <string>

#include "platform/ui/UIDefs.h"
#include "tools/preview/PreviewAdvert.h"

namespace kestrova::preview {

// The screen a preview is laid out for. A picture larger than the work area is shown
// scaled down to fit it, so the size a vendor sees must not depend on the machine the
// preview happens to run on: a common desktop, 1920 x 1080 with a 40-pixel panel.
struct PreviewScreen {
    RECT monitor{0, 0, 1920, 1080};
    RECT workArea{0, 0, 1920, 1040};
};
inline constexpr PreviewScreen kNominalScreen{};

inline constexpr int kMaxScale = 4;

struct PreviewImage {
    std::string png;  // the encoded image
    int width = 0;    // the window's size in the layout's pixels (the PNG is scale times it)
    int height = 0;
    std::string error;  // set when png is empty
};

// Creates the pop-up, fills it with advert as the pop-up's flow does and paints it at
// scale (1 to kMaxScale) times its pixels. Installs the headless backend: call it before
// any window exists and do not mix it with windows on a display.
PreviewImage renderAdvert(const PreviewAdvert& advert, int scale, const PreviewScreen& screen);

}  // namespace kestrova::preview
