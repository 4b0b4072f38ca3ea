// The reentrant lock and its guard.
#include "log/LockHelper.h"

#include <cassert>

LockHelper::~LockHelper() = default;

AutoLock::AutoLock(LockHelper* lock) : m_pLock(lock) {
    assert(m_pLock != nullptr && "AutoLock needs a LockHelper; pass the lock's address");
    m_pLock->m_cs.lock();
}

AutoLock::~AutoLock() {
    m_pLock->m_cs.unlock();
}
