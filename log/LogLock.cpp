// The logger lock's single definition.
#include "log/LogLock.h"

#include "util/StaticOrder.h"

namespace kestrova {

__attribute__((init_priority(kLogLockPriority))) constinit LockHelper g_logLock;

}  // namespace kestrova
