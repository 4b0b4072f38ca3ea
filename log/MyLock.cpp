// The virtual-lock mutex and its guard.
#include "log/MyLock.h"

#include <cassert>

namespace MyLock {

void CMutex::Lock() {
    m_cs.lock();
}

void CMutex::Unlock() {
    m_cs.unlock();
}

CAutoMutex::CAutoMutex(CMutex* mutex) : m_pMutex(mutex) {
    assert(m_pMutex != nullptr && "CAutoMutex needs a CMutex; pass the mutex's address");
    m_pMutex->Lock();
}

CAutoMutex::~CAutoMutex() {
    m_pMutex->Unlock();
}

}  // namespace MyLock
