// Critical sections and kernel objects (mutexes, events, semaphores) with their handles.
//
// Choices where Windows leaves room or cannot be copied:
// - A named mutex is shared across processes through an exclusive lock on a file named after it in
//   /tmp/unfold-kernel-<uid>/. The kernel drops that lock when a process dies, and a marker byte in the
//   file, set while the mutex is owned, tells the next owner that the previous one died holding it
//   (WAIT_ABANDONED). flock cannot wait with a time-out, so a waiter on another process's mutex polls
//   it every millisecond until its time-out. Within one process all handles of a name share one object.
// - ERROR_ALREADY_EXISTS is reported when the name is already open in this process; another process's
//   use of a name cannot be seen, and there bInitialOwner takes ownership only when it is free at once.
// - Events and semaphores may be named; their names are shared within the process only.
// - A mutex whose owning thread ends without releasing it is abandoned: the next wait gets
//   WAIT_ABANDONED and ownership.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <windows.h>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(DWORD ms) {
    return ms == INFINITE ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(ms);
}

enum class Kind { Mutex, Event, Semaphore };

struct KernelObject {
    explicit KernelObject(Kind k) : kind(k) {}
    virtual ~KernelObject() = default;
    virtual DWORD wait(DWORD ms) = 0;
    const Kind kind;
    std::mutex lock;
    std::condition_variable changed;
};

class Mutex;
void noteOwned(const std::shared_ptr<Mutex>& m);
void noteReleased(const Mutex* m);

class Mutex : public KernelObject, public std::enable_shared_from_this<Mutex> {
public:
    Mutex(int fileFd, std::string file) : KernelObject(Kind::Mutex), fd_(fileFd), file_(std::move(file)) {}
    ~Mutex() override {
        if (fd_ >= 0) ::close(fd_);
    }

    DWORD wait(DWORD ms) override {
        DWORD me = GetCurrentThreadId();
        auto deadline = deadlineAfter(ms);
        std::unique_lock guard(lock);
        if (owner_ == me) {
            ++recursion_;
            return WAIT_OBJECT_0;
        }
        while (owner_ != 0) {
            if (deadline == Clock::time_point::max())
                changed.wait(guard);
            else if (changed.wait_until(guard, deadline) == std::cv_status::timeout && owner_ != 0)
                return WAIT_TIMEOUT;
        }
        owner_ = me; // claimed in this process; other threads now wait on the condition
        bool abandoned = std::exchange(abandoned_, false);
        if (fd_ >= 0) {
            guard.unlock();
            bool got = lockFile(deadline, abandoned);
            guard.lock();
            if (!got) {
                owner_ = 0;
                changed.notify_one();
                return WAIT_TIMEOUT;
            }
        }
        recursion_ = 1;
        guard.unlock();
        noteOwned(shared_from_this());
        return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
    }

    // In a child made by fork: the handles stay, ownership does not, and a named mutex needs a lock of
    // its own (an inherited descriptor would share the parent's lock).
    void afterFork() {
        owner_ = 0;
        recursion_ = 0;
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        }
    }

    // Takes ownership only when that needs no waiting.
    bool tryTake() { return wait(0) != WAIT_TIMEOUT; }

    BOOL release() {
        std::unique_lock guard(lock);
        if (owner_ != GetCurrentThreadId()) {
            SetLastError(ERROR_NOT_OWNER);
            return FALSE;
        }
        if (--recursion_ == 0) {
            if (fd_ >= 0) unlockFile('0');
            owner_ = 0;
            changed.notify_one();
            guard.unlock();
            noteReleased(this);
        }
        return TRUE;
    }

    // The owning thread ended without releasing.
    void abandon(DWORD thread) {
        std::lock_guard guard(lock);
        if (owner_ != thread) return;
        if (fd_ >= 0) unlockFile('1');
        recursion_ = 0;
        owner_ = 0;
        abandoned_ = fd_ < 0;
        changed.notify_one();
    }

private:
    bool lockFile(Clock::time_point deadline, bool& abandoned) {
        while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) return false;
            if (Clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        char marker = '0';
        if (::pread(fd_, &marker, 1, 0) == 1 && marker == '1') abandoned = true;
        marker = '1';
        (void)::pwrite(fd_, &marker, 1, 0);
        return true;
    }
    void unlockFile(char marker) {
        (void)::pwrite(fd_, &marker, 1, 0);
        flock(fd_, LOCK_UN);
    }

    int fd_;
    std::string file_;
    DWORD owner_ = 0;
    unsigned recursion_ = 0;
    bool abandoned_ = false;
};

// Mutexes the current thread owns, abandoned when the thread ends.
struct OwnedMutexes {
    std::vector<std::weak_ptr<Mutex>> list;
    ~OwnedMutexes() {
        DWORD me = GetCurrentThreadId();
        for (auto& weak : list)
            if (auto m = weak.lock()) m->abandon(me);
    }
};
thread_local OwnedMutexes owned;

void noteOwned(const std::shared_ptr<Mutex>& m) {
    owned.list.push_back(m);
}
void noteReleased(const Mutex* m) {
    auto& list = owned.list;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->lock().get() == m) {
            list.erase(it);
            return;
        }
    }
}

class Event : public KernelObject {
public:
    Event(bool manual, bool state) : KernelObject(Kind::Event), manual_(manual), signalled_(state) {}
    DWORD wait(DWORD ms) override {
        std::unique_lock guard(lock);
        if (!changed.wait_until(guard, deadlineAfter(ms), [&] { return signalled_; })) return WAIT_TIMEOUT;
        if (!manual_) signalled_ = false;
        return WAIT_OBJECT_0;
    }
    void set(bool state) {
        std::lock_guard guard(lock);
        signalled_ = state;
        if (state) manual_ ? changed.notify_all() : changed.notify_one();
    }

private:
    bool manual_;
    bool signalled_;
};

class Semaphore : public KernelObject {
public:
    Semaphore(LONG count, LONG maximum) : KernelObject(Kind::Semaphore), count_(count), maximum_(maximum) {}
    DWORD wait(DWORD ms) override {
        std::unique_lock guard(lock);
        if (!changed.wait_until(guard, deadlineAfter(ms), [&] { return count_ > 0; })) return WAIT_TIMEOUT;
        --count_;
        return WAIT_OBJECT_0;
    }
    BOOL release(LONG n, LPLONG previous) {
        std::lock_guard guard(lock);
        if (n <= 0 || count_ + n > maximum_) {
            SetLastError(n <= 0 ? ERROR_INVALID_PARAMETER : ERROR_TOO_MANY_POSTS);
            return FALSE;
        }
        if (previous) *previous = count_;
        count_ += n;
        changed.notify_all();
        return TRUE;
    }

private:
    LONG count_;
    LONG maximum_;
};

struct HandleTable {
    std::mutex lock;
    std::map<uintptr_t, std::shared_ptr<KernelObject>> handles;
    std::map<std::wstring, std::weak_ptr<KernelObject>> names;
    uintptr_t next = 0x10000;

    HANDLE add(std::shared_ptr<KernelObject> object) {
        uintptr_t h = next;
        next += 4;
        handles[h] = std::move(object);
        return reinterpret_cast<HANDLE>(h);
    }
    std::shared_ptr<KernelObject> find(HANDLE h) {
        std::lock_guard guard(lock);
        auto it = handles.find(reinterpret_cast<uintptr_t>(h));
        return it == handles.end() ? nullptr : it->second;
    }
};

void resetAfterFork();

HandleTable& table() {
    static HandleTable* t = [] {
        pthread_atfork(nullptr, nullptr, resetAfterFork);
        return new HandleTable;
    }();
    return *t;
}

void resetAfterFork() {
    HandleTable& t = table();
    new (&t.lock) std::mutex; // the forking thread may not have been the one holding it
    for (auto& [handle, object] : t.handles)
        if (object->kind == Kind::Mutex) static_cast<Mutex*>(object.get())->afterFork();
}

std::string mutexFile(const std::wstring& name) {
    std::string folder = "/tmp/unfold-kernel-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    std::string file;
    for (char c : platform::ToUtf8(name)) file += (c == '/' || c == '\\') ? '_' : c;
    return folder + "/" + file + ".mutex";
}

bool failed(const char* call) {
    HRESULT hr = platform::InjectedFault(call);
    if (SUCCEEDED(hr)) return false;
    SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_NOT_ENOUGH_MEMORY);
    return true;
}

// Looks a name up among this process's objects: the existing object, or null when there is none.
// Sets ERROR_INVALID_HANDLE in `clash` when the name belongs to another kind of object.
std::shared_ptr<KernelObject> named(LPCWSTR name, Kind kind, bool& clash) {
    clash = false;
    if (!name || !*name) return nullptr;
    auto it = table().names.find(name);
    if (it == table().names.end()) return nullptr;
    auto object = it->second.lock();
    if (object && object->kind != kind) clash = true;
    return clash ? nullptr : object;
}

template <class T>
T* as(HANDLE h, Kind kind, std::shared_ptr<KernelObject>& keep) {
    keep = table().find(h);
    if (!keep || keep->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<T*>(keep.get());
}

} // namespace

// Not cached: a child made by fork must see its own thread's id.
DWORD WINAPI GetCurrentThreadId() {
    return static_cast<DWORD>(::syscall(SYS_gettid));
}

DWORD WINAPI GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) {
    *cs = RTL_CRITICAL_SECTION{};
    cs->DebugInfo = new std::recursive_mutex;
    cs->LockCount = -1;
}

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spin) {
    InitializeCriticalSection(cs);
    cs->SpinCount = spin;
    return TRUE;
}

namespace {

// OwningThread is read without the lock by threads asking whether they hold it (CCritSec's
// OwnedByCurrentThread), so it is written atomically; only its owner ever sets it to its own id.
void setOwner(LPCRITICAL_SECTION cs, HANDLE owner) {
    std::atomic_ref<HANDLE>(cs->OwningThread).store(owner, std::memory_order_relaxed);
}

void entered(LPCRITICAL_SECTION cs) {
    setOwner(cs, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GetCurrentThreadId())));
    ++cs->RecursionCount;
}

} // namespace

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) {
    static_cast<std::recursive_mutex*>(cs->DebugInfo)->lock();
    entered(cs);
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
    if (!static_cast<std::recursive_mutex*>(cs->DebugInfo)->try_lock()) return FALSE;
    entered(cs);
    return TRUE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    if (--cs->RecursionCount == 0) setOwner(cs, nullptr);
    static_cast<std::recursive_mutex*>(cs->DebugInfo)->unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    delete static_cast<std::recursive_mutex*>(cs->DebugInfo);
    cs->DebugInfo = nullptr;
}

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName) {
    TRACE("win32", "%d %s", bInitialOwner, platform::ToUtf8(lpName).c_str());
    if (failed("CreateMutexW")) return nullptr;
    HandleTable& t = table();
    std::shared_ptr<Mutex> mutex;
    bool existed = false;
    {
        std::lock_guard guard(t.lock);
        bool clash;
        if (auto object = named(lpName, Kind::Mutex, clash)) {
            mutex = std::static_pointer_cast<Mutex>(object);
            existed = true;
        } else if (clash) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    if (!mutex) {
        int fd = -1;
        std::string file;
        if (lpName && *lpName) {
            file = mutexFile(lpName);
            fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0) {
                SetLastError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
        }
        mutex = std::make_shared<Mutex>(fd, file);
        if (bInitialOwner) {
            if (fd < 0)
                mutex->wait(INFINITE);
            else
                mutex->tryTake();
        }
    }
    std::lock_guard guard(t.lock);
    if (lpName && *lpName && !existed) t.names[lpName] = mutex;
    HANDLE h = t.add(mutex);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

HANDLE WINAPI OpenMutexW(DWORD, BOOL, LPCWSTR lpName) {
    if (!lpName || !*lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    {
        std::lock_guard guard(table().lock);
        bool clash;
        if (auto object = named(lpName, Kind::Mutex, clash)) return table().add(object);
        if (clash) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    struct stat st;
    if (::stat(mutexFile(lpName).c_str(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return CreateMutexW(nullptr, FALSE, lpName);
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    std::shared_ptr<KernelObject> keep;
    Mutex* m = as<Mutex>(hMutex, Kind::Mutex, keep);
    return m ? m->release() : FALSE;
}

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName) {
    if (failed("CreateEventW")) return nullptr;
    std::lock_guard guard(table().lock);
    bool clash;
    if (auto object = named(lpName, Kind::Event, clash)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return table().add(object);
    }
    if (clash) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto event = std::make_shared<Event>(bManualReset, bInitialState);
    if (lpName && *lpName) table().names[lpName] = event;
    SetLastError(ERROR_SUCCESS);
    return table().add(event);
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    std::shared_ptr<KernelObject> keep;
    Event* e = as<Event>(hEvent, Kind::Event, keep);
    if (e) e->set(true);
    return e != nullptr;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    std::shared_ptr<KernelObject> keep;
    Event* e = as<Event>(hEvent, Kind::Event, keep);
    if (e) e->set(false);
    return e != nullptr;
}

HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG lInitialCount, LONG lMaximumCount,
                               LPCWSTR lpName) {
    if (lMaximumCount <= 0 || lInitialCount < 0 || lInitialCount > lMaximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (failed("CreateSemaphoreW")) return nullptr;
    std::lock_guard guard(table().lock);
    bool clash;
    if (auto object = named(lpName, Kind::Semaphore, clash)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return table().add(object);
    }
    if (clash) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto semaphore = std::make_shared<Semaphore>(lInitialCount, lMaximumCount);
    if (lpName && *lpName) table().names[lpName] = semaphore;
    SetLastError(ERROR_SUCCESS);
    return table().add(semaphore);
}

BOOL WINAPI ReleaseSemaphore(HANDLE hSemaphore, LONG lReleaseCount, LPLONG lpPreviousCount) {
    std::shared_ptr<KernelObject> keep;
    Semaphore* s = as<Semaphore>(hSemaphore, Kind::Semaphore, keep);
    return s ? s->release(lReleaseCount, lpPreviousCount) : FALSE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<KernelObject> object = table().find(hHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->wait(dwMilliseconds);
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    HandleTable& t = table();
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard guard(t.lock);
        auto it = t.handles.find(reinterpret_cast<uintptr_t>(hObject));
        if (it == t.handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        t.handles.erase(it);
    }
    object.reset();
    std::lock_guard guard(t.lock);
    for (auto n = t.names.begin(); n != t.names.end();)
        n = n->second.expired() ? t.names.erase(n) : std::next(n);
    return TRUE; // the object goes when its last handle and its last waiter are done with it
}
