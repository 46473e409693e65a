// Message queues and timers. Each thread has one queue; a message posted to a window goes to the queue
// of the thread that created it. Timers are checked when the queue is empty, so WM_TIMER comes after
// posted messages, as on Windows. A thread that has opened the display waits through the display
// backend, so toolkit events are handled while it waits.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/win32/display.h"
#include "platform/win32/system_classes.h"
#include "platform/win32/window_table.h"
#include "platform/win32/windowing.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    HWND window;
    UINT_PTR id;
    std::chrono::milliseconds interval;
    TIMERPROC proc;
    Clock::time_point due;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<MSG> messages;
    std::vector<Timer> timers;
    bool quit = false;
    int exitCode = 0;
};

struct Queues {
    std::mutex mutex;
    std::map<std::thread::id, std::shared_ptr<Queue>> byThread;
};

Queues& queues() {
    static auto* q = new Queues;
    return *q;
}

std::shared_ptr<Queue> queueOf(std::thread::id thread) {
    auto& q = queues();
    std::lock_guard lock(q.mutex);
    auto& slot = q.byThread[thread];
    if (!slot) slot = std::make_shared<Queue>();
    return slot;
}

// The calling thread's queue, forgotten when the thread ends.
std::shared_ptr<Queue> myQueue() {
    struct Handle {
        std::shared_ptr<Queue> queue = queueOf(std::this_thread::get_id());
        ~Handle() {
            auto& q = queues();
            std::lock_guard lock(q.mutex);
            q.byThread.erase(std::this_thread::get_id());
        }
    };
    thread_local Handle mine;
    return mine.queue;
}

DWORD now() {
    return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

bool matches(const MSG& m, HWND hwnd, UINT low, UINT high) {
    if (hwnd && m.hwnd != hwnd && !IsChild(hwnd, m.hwnd)) return false;
    if (low == 0 && high == 0) return true;
    return m.message >= low && m.message <= high;
}

// Takes the next message for the filter, or a due timer's WM_TIMER, or WM_QUIT. Caller holds q.mutex.
bool take(Queue& q, MSG* msg, HWND hwnd, UINT low, UINT high, bool remove) {
    for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
        if (!matches(*it, hwnd, low, high)) continue;
        *msg = *it;
        if (remove) q.messages.erase(it);
        return true;
    }
    const Clock::time_point t = Clock::now();
    for (Timer& timer : q.timers) {
        if (timer.due > t) continue;
        MSG m{timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), now(), {}};
        if (!matches(m, hwnd, low, high)) continue;
        *msg = m;
        if (remove) timer.due = t + timer.interval;
        return true;
    }
    if (q.quit) {
        *msg = MSG{nullptr, WM_QUIT, WPARAM(q.exitCode), 0, now(), {}};
        if (remove) q.quit = false;
        return true;
    }
    return false;
}

// How long to wait for the next timer; INFINITE without timers. Caller holds q.mutex.
DWORD untilNextTimer(const Queue& q) {
    DWORD wait = INFINITE;
    const Clock::time_point t = Clock::now();
    for (const Timer& timer : q.timers) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(timer.due - t).count();
        wait = std::min<DWORD>(wait, left <= 0 ? 0 : DWORD(left));
    }
    return wait;
}

void waitForMessages(Queue& q, std::unique_lock<std::mutex>& lock) {
    const DWORD wait = untilNextTimer(q);
    if (wait == 0) return;
    if (platform::IsDisplayThread()) {
        lock.unlock();
        platform::ActiveDisplay()->wait(wait);
        lock.lock();
    } else if (wait == INFINITE) {
        q.ready.wait(lock);
    } else {
        q.ready.wait_for(lock, std::chrono::milliseconds(wait));
    }
}

void wake(Queue& q) {
    q.ready.notify_all();
    if (platform::DisplayBackend* d = platform::ActiveDisplay()) d->wake();
}

} // namespace

namespace platform {

void ForgetWindowMessages(HWND window) {
    auto& all = queues();
    std::lock_guard lock(all.mutex);
    for (auto& [thread, q] : all.byThread) {
        std::lock_guard queueLock(q->mutex);
        std::erase_if(q->timers, [&](const Timer& t) { return t.window == window; });
        std::erase_if(q->messages, [&](const MSG& m) { return m.hwnd == window; });
    }
}

} // namespace platform

BOOL WINAPI PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::thread::id thread = std::this_thread::get_id();
    if (hwnd) {
        std::lock_guard lock(platform::WindowLock());
        platform::Window* w = platform::FindWindowObject(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        thread = w->thread;
    }
    auto q = queueOf(thread);
    {
        std::lock_guard lock(q->mutex);
        q->messages.push_back(MSG{hwnd, msg, wParam, lParam, now(), {}});
    }
    wake(*q);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    auto q = myQueue();
    {
        std::lock_guard lock(q->mutex);
        q->quit = true;
        q->exitCode = exitCode;
    }
    wake(*q);
}

BOOL WINAPI PeekMessageW(LPMSG msg, HWND hwnd, UINT low, UINT high, UINT remove) {
    if (!msg) return FALSE;
    auto q = myQueue();
    std::unique_lock lock(q->mutex);
    if (platform::IsDisplayThread()) {
        // Let the toolkit deliver what a person did before answering.
        lock.unlock();
        platform::ActiveDisplay()->wait(0);
        lock.lock();
    }
    return take(*q, msg, hwnd, low, high, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageW(LPMSG msg, HWND hwnd, UINT low, UINT high) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto q = myQueue();
    std::unique_lock lock(q->mutex);
    while (!take(*q, msg, hwnd, low, high, true)) waitForMessages(*q, lock);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI WaitMessage() {
    auto q = myQueue();
    std::unique_lock lock(q->mutex);
    MSG msg;
    if (!take(*q, &msg, nullptr, 0, 0, false)) waitForMessages(*q, lock);
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    return msg && (msg->message == WM_KEYDOWN) ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (!msg->hwnd) return 0;
    return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    if (hwnd && !platform::IsWindowOfThisThread(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    elapse = std::max<UINT>(elapse, 10); // USER_TIMER_MINIMUM
    auto q = myQueue();
    std::lock_guard lock(q->mutex);
    if (!hwnd) {
        // A thread timer gets an identifier of its own.
        UINT_PTR next = 1;
        for (const Timer& t : q->timers)
            if (!t.window) next = std::max(next, t.id + 1);
        id = next;
    }
    const Timer timer{hwnd, id, std::chrono::milliseconds(elapse), proc, Clock::now() + std::chrono::milliseconds(elapse)};
    for (Timer& t : q->timers)
        if (t.window == hwnd && t.id == id) {
            t = timer;
            return hwnd ? 1 : id;
        }
    q->timers.push_back(timer);
    return hwnd ? 1 : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    auto q = myQueue();
    std::lock_guard lock(q->mutex);
    const size_t before = q->timers.size();
    std::erase_if(q->timers, [&](const Timer& t) { return t.window == hwnd && t.id == id; });
    // A WM_TIMER already queued for it is not delivered either.
    std::erase_if(q->messages, [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; });
    return q->timers.size() < before;
}
