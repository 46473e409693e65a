#include <atomic>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/fault_injection.h"

namespace {

std::wstring uniqueName(const wchar_t* base) {
    return std::wstring(base) + std::to_wstring(::getpid());
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs));
    EXPECT_EQ(cs.RecursionCount, 2);
    bool otherGot = true;
    std::thread([&] { otherGot = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(otherGot);
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    std::thread([&] {
        otherGot = TryEnterCriticalSection(&cs);
        if (otherGot) LeaveCriticalSection(&cs);
    }).join();
    EXPECT_TRUE(otherGot);
    DeleteCriticalSection(&cs);
}

TEST(Mutex, OwnershipRecursionAndTimeouts) {
    HANDLE m = CreateMutexW(nullptr, TRUE, nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(WaitForSingleObject(m, 0), static_cast<DWORD>(WAIT_OBJECT_0)); // recursive
    DWORD otherWait = 0;
    BOOL otherRelease = TRUE;
    std::thread([&] {
        otherRelease = ReleaseMutex(m);
        otherWait = WaitForSingleObject(m, 20);
    }).join();
    EXPECT_FALSE(otherRelease);
    EXPECT_EQ(otherWait, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    std::thread([&] {
        otherWait = WaitForSingleObject(m, 1000);
        ReleaseMutex(m);
    }).join();
    EXPECT_EQ(otherWait, static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(CloseHandle(m));
    EXPECT_FALSE(CloseHandle(m));
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_FAILED);
}

TEST(Mutex, OwnerThreadEndingAbandonsIt) {
    HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
    std::thread([&] { WaitForSingleObject(m, INFINITE); }).join();
    EXPECT_EQ(WaitForSingleObject(m, 1000), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(m, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ReleaseMutex(m);
    CloseHandle(m);
}

TEST(Mutex, NamedMutexIsSharedWithinAndAcrossProcesses) {
    std::wstring name = uniqueName(L"Global\\unfold-test-");
    HANDLE a = CreateMutexW(nullptr, FALSE, name.c_str());
    ASSERT_NE(a, nullptr);
    HANDLE b = CreateMutexW(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_EQ(WaitForSingleObject(a, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(b, 0), static_cast<DWORD>(WAIT_OBJECT_0)); // the same mutex: recursion
    ReleaseMutex(b);

    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child's own handle: it must wait until the parent releases, then dies holding it.
        HANDLE mine = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
        char report = WaitForSingleObject(mine, 20) == WAIT_TIMEOUT ? 't' : 'x';
        (void)!write(toParent[1], &report, 1);
        char go;
        (void)!read(toChild[0], &go, 1);
        report = WaitForSingleObject(mine, 5000) == WAIT_OBJECT_0 ? 'o' : 'x';
        (void)!write(toParent[1], &report, 1);
        _exit(0);
    }
    char report = 0;
    ASSERT_EQ(read(toParent[0], &report, 1), 1);
    EXPECT_EQ(report, 't'); // the parent holds it
    ReleaseMutex(a);
    (void)!write(toChild[1], "g", 1);
    ASSERT_EQ(read(toParent[0], &report, 1), 1);
    EXPECT_EQ(report, 'o');
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WaitForSingleObject(a, 5000), static_cast<DWORD>(WAIT_ABANDONED)); // the child died holding it
    ReleaseMutex(a);
    CloseHandle(a);
    CloseHandle(b);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
}

TEST(Mutex, CreationFailsOnInjectedFault) {
    platform::ScopedFault fault("CreateMutexW", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(fault.hits(), 1u);
}

TEST(Event, ManualAndAutoReset) {
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    std::thread setter([&] { SetEvent(automatic); });
    EXPECT_EQ(WaitForSingleObject(automatic, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    setter.join();
    EXPECT_FALSE(SetEvent(reinterpret_cast<HANDLE>(0x1234)));
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST(Semaphore, CountsAndLimits) {
    HANDLE s = CreateSemaphoreW(nullptr, 1, 2, nullptr);
    EXPECT_EQ(WaitForSingleObject(s, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(s, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(s, 2, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(ReleaseSemaphore(s, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    CloseHandle(s);
    EXPECT_EQ(CreateSemaphoreW(nullptr, 3, 2, nullptr), nullptr);
}

} // namespace
