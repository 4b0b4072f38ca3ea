// The logger lock's single definition.
#include "log/LogLock.h"

namespace kestrova {

constinit LockHelper g_logLock;

}  // namespace kestrova
