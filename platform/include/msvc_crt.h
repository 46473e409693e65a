// The bounds-checked C runtime functions of the Microsoft CRT that Windows code calls.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "windef.h"

inline int vsprintf_s(char* buffer, size_t size, const char* format, va_list args) {
    if (!buffer || size == 0) return -1;
    int n = std::vsnprintf(buffer, size, format, args);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        buffer[0] = '\0';
        return -1;
    }
    return n;
}

inline int sprintf_s(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
inline int sprintf_s(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vsprintf_s(buffer, size, format, args);
    va_end(args);
    return n;
}

template <size_t N>
int sprintf_s(char (&buffer)[N], const char* format, ...) __attribute__((format(printf, 2, 3)));
template <size_t N>
int sprintf_s(char (&buffer)[N], const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vsprintf_s(buffer, N, format, args);
    va_end(args);
    return n;
}

inline int strcpy_s(char* dest, size_t size, const char* src) {
    if (!dest || size == 0 || !src) return 22;
    size_t n = std::strlen(src);
    if (n >= size) {
        dest[0] = '\0';
        return 34;
    }
    std::memcpy(dest, src, n + 1);
    return 0;
}

inline int wcscpy_s(wchar_t* dest, size_t size, const wchar_t* src) {
    if (!dest || size == 0 || !src) return 22;
    size_t n = std::wcslen(src);
    if (n >= size) {
        dest[0] = L'\0';
        return 34;
    }
    std::wmemcpy(dest, src, n + 1);
    return 0;
}

template <size_t N>
int wcscpy_s(wchar_t (&dest)[N], const wchar_t* src) {
    return wcscpy_s(dest, N, src);
}

#define _countof(a) (sizeof(a) / sizeof((a)[0]))
#define ARRAYSIZE(a) (sizeof(a) / sizeof((a)[0]))
