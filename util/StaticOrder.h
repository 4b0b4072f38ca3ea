// The order in which the program's process-wide objects come into being before main, and
// leave in reverse after it:
//
//   1. the crash reporter       (app/CrashReporter.cpp)   dynamic, priority 101
//   2. the logger lock          (log/LogLock.cpp)         constinit, priority 102
//   3. the click message map    (ui/FloatDlg.cpp)         constinit, nothing to destroy
//   4. the request-object mutex (advert/AdvertClient.cpp) constinit, priority 103
//
// Constant initialisation makes an object exist before any code runs, but the registration
// of its destructor still happens in its unit's initialisation function, whose place among
// the units is the link order. The priorities fix that place, so the destructors run in the
// reverse order of the list whatever the link order, and the crash reporter, registered
// first, is undone last: a crash while the others are destroyed is still reported.
#pragma once

namespace kestrova {

inline constexpr int kCrashReporterPriority = 101;
inline constexpr int kLogLockPriority = 102;
inline constexpr int kRequestMutexPriority = 103;

}  // namespace kestrova
