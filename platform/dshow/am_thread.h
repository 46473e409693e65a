// CAMThread: a worker thread driven by requests, one at a time.
//
// How to derive: implement ThreadProc. It runs on the worker from Create until it returns, taking
// requests with GetRequest (waits) or CheckRequest (peeks between units of work) and answering each
// with Reply. CallWorker hands the worker a request and waits for its reply; PostRequest hands one
// over without waiting, for a caller that must not block on the worker (the worker still answers it,
// and the next CallWorker waits until it has been taken). Close waits for ThreadProc to return.
//
// Locks: m_AccessLock serialises callers; the request state has its own mutex, never held while
// ThreadProc works, so the worker may call out (deliver samples, send events) freely.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include <windows.h>

#include "platform/dshow/crit_sec.h"

class CAMThread {
public:
    explicit CAMThread(HRESULT* phr = nullptr);
    virtual ~CAMThread();
    CAMThread(const CAMThread&) = delete;
    CAMThread& operator=(const CAMThread&) = delete;

    // Starts the worker; FALSE when it already runs or cannot start.
    BOOL Create();
    // Waits for ThreadProc to return. Not to be called by the worker itself.
    void Close();
    BOOL ThreadExists() const;
    // True when called on the worker thread.
    BOOL IsWorkerThread() const;

    // Hands the worker a request and waits for its reply.
    DWORD CallWorker(DWORD dwParam);
    // Hands the worker a request without waiting for the reply.
    void PostRequest(DWORD dwParam);

    // On the worker: waits for the next request.
    DWORD GetRequest();
    // On the worker: TRUE (and the request in *pParam) when one is waiting; it stays pending until
    // Reply.
    BOOL CheckRequest(DWORD* pParam);
    // On the worker: answers the pending request.
    void Reply(DWORD dw);

    virtual DWORD ThreadProc() = 0;
    // Called (under the request lock) each time a request is handed over, so a worker that blocks
    // elsewhere than on requests, waiting for a device say, can be woken to take it. Must not block.
    virtual void WakeWorker() {}

    CCritSec m_AccessLock; // held by callers of CallWorker
    CCritSec m_WorkerLock; // for the derived worker's own state, as the SDK provides

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::thread m_thread;
    std::thread::id m_workerId;
    bool m_pending = false; // a request waits to be answered
    DWORD m_request = 0;
    bool m_replied = false;
    DWORD m_reply = 0;
};
