// Last error, text conversion, wide string helpers and time.
#include <chrono>
#include <cwchar>
#include <cwctype>
#include <string>
#include <thread>

#include <time.h>

#include <windows.h>

#include "platform/win32/debug.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD WINAPI GetLastError() {
    return lastError;
}
void WINAPI SetLastError(DWORD code) {
    lastError = code;
}

// Both code pages are UTF-8 here: the system's narrow text is ASCII and this is the platform's locale.
int WINAPI MultiByteToWideChar(UINT, DWORD, LPCSTR source, int sourceBytes, LPWSTR dest, int destChars) {
    if (!source || sourceBytes == 0 || destChars < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string bytes = sourceBytes < 0 ? std::string(source) + '\0' : std::string(source, sourceBytes);
    std::wstring wide;
    // Convert piecewise so that embedded terminators survive, as the Windows call does.
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find('\0', start);
        if (end == std::string::npos) end = bytes.size();
        wide += platform::ToWide(bytes.substr(start, end - start));
        if (end < bytes.size()) wide += L'\0';
        start = end + 1;
    }
    int needed = static_cast<int>(wide.size());
    if (destChars == 0) return needed;
    if (needed > destChars) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::wmemcpy(dest, wide.data(), wide.size());
    return needed;
}

int WINAPI WideCharToMultiByte(UINT, DWORD, LPCWSTR source, int sourceChars, LPSTR dest, int destBytes,
                               LPCSTR, LPBOOL usedDefault) {
    if (!source || sourceChars == 0 || destBytes < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring wide = sourceChars < 0 ? std::wstring(source) + L'\0' : std::wstring(source, sourceChars);
    std::string bytes;
    size_t start = 0;
    while (start <= wide.size()) {
        size_t end = wide.find(L'\0', start);
        if (end == std::wstring::npos) end = wide.size();
        bytes += platform::ToUtf8(wide.substr(start, end - start));
        if (end < wide.size()) bytes += '\0';
        start = end + 1;
    }
    if (usedDefault) *usedDefault = FALSE;
    int needed = static_cast<int>(bytes.size());
    if (destBytes == 0) return needed;
    if (needed > destBytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(dest, bytes.data(), bytes.size());
    return needed;
}

int WINAPI lstrlenW(LPCWSTR s) {
    return s ? static_cast<int>(std::wcslen(s)) : 0;
}

int WINAPI lstrcmpW(LPCWSTR a, LPCWSTR b) {
    int c = std::wcscmp(a ? a : L"", b ? b : L"");
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b) {
    a = a ? a : L"";
    b = b ? b : L"";
    for (;; ++a, ++b) {
        wint_t x = std::towlower(*a), y = std::towlower(*b);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
}

LPWSTR WINAPI lstrcpyW(LPWSTR dest, LPCWSTR src) {
    if (!dest || !src) return nullptr;
    return std::wcscpy(dest, src);
}

LPWSTR WINAPI lstrcpynW(LPWSTR dest, LPCWSTR src, int max) {
    if (!dest || !src || max <= 0) return nullptr;
    int i = 0;
    for (; i < max - 1 && src[i]; ++i) dest[i] = src[i];
    dest[i] = L'\0';
    return dest;
}

void WINAPI Sleep(DWORD ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DWORD WINAPI GetTickCount() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void WINAPI GetSystemTime(LPSYSTEMTIME st) {
    if (!st) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    st->wYear = WORD(utc.tm_year + 1900);
    st->wMonth = WORD(utc.tm_mon + 1);
    st->wDayOfWeek = WORD(utc.tm_wday);
    st->wDay = WORD(utc.tm_mday);
    st->wHour = WORD(utc.tm_hour);
    st->wMinute = WORD(utc.tm_min);
    st->wSecond = WORD(utc.tm_sec);
    st->wMilliseconds = WORD(now.tv_nsec / 1000000);
}
