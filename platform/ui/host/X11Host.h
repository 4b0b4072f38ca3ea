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

// What runs when the connection to the display is lost (the X server ended, or another
// client killed ours): after one trace line, and before the process ends with exit status
// 0 (not by a crash: nothing broke in the program). X may not be used in it; the program
// points it at what must still reach the disk, such as the log. Null: nothing.
void setConnectionLostHandler(void (*handler)());

}  // namespace kestrova::ui
