// The native backend on X11.
#include "platform/ui/UIBackend.h"

namespace kestrova::ui {

std::unique_ptr<Backend> createNativeBackend() {
    return nullptr;
}

}  // namespace kestrova::ui
