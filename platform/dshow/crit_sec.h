// CCritSec, a critical section object, and CAutoLock, which holds one for a scope.
#pragma once

#include <atomic>

#include <windows.h>

class CCritSec {
public:
    CCritSec() { InitializeCriticalSection(&m_CritSec); }
    ~CCritSec() { DeleteCriticalSection(&m_CritSec); }
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock() { EnterCriticalSection(&m_CritSec); }
    void Unlock() { LeaveCriticalSection(&m_CritSec); }
    // True when the calling thread holds the lock (for assertions). Other threads change the owner
    // while this reads it, so it is read atomically; it equals this thread's id only while this thread
    // holds the lock, as only the owner sets it to its own id and clears it on the last Unlock.
    bool OwnedByCurrentThread() const {
        HANDLE& owner = const_cast<HANDLE&>(m_CritSec.OwningThread);
        return std::atomic_ref<HANDLE>(owner).load(std::memory_order_relaxed) ==
               reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GetCurrentThreadId()));
    }

private:
    CRITICAL_SECTION m_CritSec;
};

class CAutoLock {
public:
    explicit CAutoLock(CCritSec* plock) : m_pLock(plock) {
        if (m_pLock) m_pLock->Lock();
    }
    ~CAutoLock() {
        if (m_pLock) m_pLock->Unlock();
    }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* m_pLock;
};
