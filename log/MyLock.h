// The request-object mutex type: a reentrant lock whose Lock and Unlock are virtual, and
// its scoped guard.
//
//   static MyLock::CMutex g_mutex;
//   { MyLock::CAutoMutex guard(&g_mutex); ... }
#pragma once

#include <mutex>

namespace MyLock {

class CMutex {
public:
    CMutex() = default;
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;
    // Deliberately not virtual: the mutex is never deleted through a base pointer.
    ~CMutex() = default;

    // Reentrant for the owning thread; every Lock needs its Unlock.
    virtual void Lock();
    virtual void Unlock();

private:
    std::recursive_mutex m_cs;
};

class CAutoMutex {
public:
    explicit CAutoMutex(CMutex* mutex);
    ~CAutoMutex();
    CAutoMutex(const CAutoMutex&) = delete;
    CAutoMutex& operator=(const CAutoMutex&) = delete;

private:
    CMutex* m_pMutex;
};

}  // namespace MyLock
