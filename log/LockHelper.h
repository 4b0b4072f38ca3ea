// A process-local, reentrant lock and its scoped guard. The logger lock is the one
// instance; it is taken only through AutoLock:
//
//   static LockHelper g_lock;
//   { AutoLock guard(&g_lock); ... }  // released on every way out, exceptions included
#pragma once

#include <mutex>

class AutoLock;

class LockHelper {
public:
    LockHelper() = default;
    LockHelper(const LockHelper&) = delete;
    LockHelper& operator=(const LockHelper&) = delete;
    virtual ~LockHelper();

private:
    friend class AutoLock;
    // Reentrant for the owning thread, as the lock it stands in for.
    std::recursive_mutex m_cs;
};

class AutoLock {
public:
    explicit AutoLock(LockHelper* lock);
    ~AutoLock();
    AutoLock(const AutoLock&) = delete;
    AutoLock& operator=(const AutoLock&) = delete;

private:
    LockHelper* m_pLock;
};
