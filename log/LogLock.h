// The logger lock: the one process-wide LockHelper that guards the logger's queue, its file
// sink and its paths. It is constant-initialised, so it exists before any static object is
// built and is destroyed after every one of them, the logger included:
//
//   { AutoLock guard(&kestrova::g_logLock); ... }
#pragma once

#include "log/LockHelper.h"

namespace kestrova {

extern constinit LockHelper g_logLock;

}  // namespace kestrova
