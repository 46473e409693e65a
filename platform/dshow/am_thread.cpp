#include "platform/dshow/am_thread.h"

#include "platform/win32/debug.h"

CAMThread::CAMThread(HRESULT*) {}

CAMThread::~CAMThread() {
    // A derived class must have closed its worker: ThreadProc is gone once this destructor runs.
    if (m_thread.joinable()) {
        ERR("dshow", "a worker thread outlived its object; joining it");
        m_thread.join();
    }
}

BOOL CAMThread::Create() {
    std::lock_guard lock(m_lock);
    if (m_thread.joinable()) return FALSE;
    m_pending = false;
    m_replied = false;
    try {
        m_thread = std::thread([this] { ThreadProc(); });
    } catch (const std::system_error&) {
        return FALSE;
    }
    m_workerId = m_thread.get_id();
    return TRUE;
}

void CAMThread::Close() {
    std::thread worker;
    {
        std::lock_guard lock(m_lock);
        if (!m_thread.joinable() || std::this_thread::get_id() == m_workerId) return;
        worker = std::move(m_thread);
    }
    worker.join();
    std::lock_guard lock(m_lock);
    m_workerId = {};
}

BOOL CAMThread::ThreadExists() const {
    std::lock_guard lock(m_lock);
    return m_thread.joinable();
}

BOOL CAMThread::IsWorkerThread() const {
    std::lock_guard lock(m_lock);
    return m_thread.joinable() && std::this_thread::get_id() == m_workerId;
}

DWORD CAMThread::CallWorker(DWORD dwParam) {
    CAutoLock callers(&m_AccessLock);
    std::unique_lock lock(m_lock);
    if (!m_thread.joinable()) return static_cast<DWORD>(E_FAIL);
    m_changed.wait(lock, [&] { return !m_pending; }); // a posted request is taken first
    m_request = dwParam;
    m_pending = true;
    m_replied = false;
    m_changed.notify_all();
    WakeWorker();
    m_changed.wait(lock, [&] { return m_replied; });
    m_replied = false;
    return m_reply;
}

void CAMThread::PostRequest(DWORD dwParam) {
    CAutoLock callers(&m_AccessLock);
    std::unique_lock lock(m_lock);
    if (!m_thread.joinable()) return;
    m_changed.wait(lock, [&] { return !m_pending; });
    m_request = dwParam;
    m_pending = true;
    m_replied = false;
    m_changed.notify_all();
    WakeWorker();
}

DWORD CAMThread::GetRequest() {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] { return m_pending; });
    return m_request;
}

BOOL CAMThread::CheckRequest(DWORD* pParam) {
    std::lock_guard lock(m_lock);
    if (!m_pending) return FALSE;
    if (pParam) *pParam = m_request;
    return TRUE;
}

void CAMThread::Reply(DWORD dw) {
    std::lock_guard lock(m_lock);
    m_pending = false;
    m_reply = dw;
    m_replied = true;
    m_changed.notify_all();
}
