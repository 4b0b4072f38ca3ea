// The X11 host as a program installs it. Only programs that show windows on a display
// (the pop-up, its tools, the X11 tests) link it; the library itself never does.
//
//   kestrova::ui::installBackend(kestrova::ui::createX11Backend());
//   if (!kestrova::ui::backend().isNative()) { /* no display: headless */ }
#pragma once

#include <memory>

#include "platform/ui/UIBackend.h"

namespace kestrova::ui {

// The backend on the display DISPLAY names, or null when none can be opened.
std::unique_ptr<Backend> createX11Backend();

}  // namespace kestrova::ui
