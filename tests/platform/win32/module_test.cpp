#include <string>

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::wstring moduleFileName(HMODULE module) {
    WCHAR buffer[4096];
    DWORD n = GetModuleFileNameW(module, buffer, 4096);
    return std::wstring(buffer, n);
}

TEST(Module, HandlesAreLoadBasesAndNamesAreFullPaths) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    std::wstring expected(exe, exe + n);
    EXPECT_EQ(moduleFileName(nullptr), expected);
    EXPECT_EQ(moduleFileName(GetModuleHandleW(nullptr)), expected);

    // The library holding the registry, found by short name, is the object dladdr names for its code.
    HMODULE win32 = GetModuleHandleW(L"win32");
    ASSERT_NE(win32, nullptr);
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(&RegOpenKeyExW), &info));
    EXPECT_EQ(static_cast<void*>(win32), info.dli_fbase);
    std::wstring path = moduleFileName(win32);
    EXPECT_EQ(path.substr(path.size() - 12), L"/libwin32.so");
    EXPECT_EQ(path[0], L'/');
    EXPECT_EQ(GetModuleHandleW(path.c_str()), win32);

    EXPECT_EQ(GetModuleHandleW(L"no-such-module"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x10), nullptr, 0), 0u);
}

TEST(Module, LongNamesAreTruncatedAndTerminated) {
    WCHAR small[5];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small[4], L'\0');
    EXPECT_EQ(std::wstring(small), moduleFileName(nullptr).substr(0, 4));
}

TEST(MultimediaTime, CountsMillisecondsForward) {
    DWORD start = timeGetTime();
    Sleep(5);
    DWORD elapsed = timeGetTime() - start;
    EXPECT_GE(elapsed, 5u);
    EXPECT_LT(elapsed, 1000u);
    EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
}

} // namespace
