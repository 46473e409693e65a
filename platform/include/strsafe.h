// Bounded string functions. Every function terminates its destination when it has room for anything,
// truncating when the result is too long (STRSAFE_E_INSUFFICIENT_BUFFER).
// The wide printf functions take Microsoft format semantics: in a wide format %s and %c are wide,
// %S, %hs and %hc narrow (the C library's wide printf reads them the other way round).
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "windef.h"
#include "winerror.h"

#define STRSAFE_MAX_CCH 2147483647
#define STRSAFE_E_INVALID_PARAMETER _HRESULT_TYPEDEF_(0x80070057L)
#ifndef STRSAFE_E_INSUFFICIENT_BUFFER
#define STRSAFE_E_INSUFFICIENT_BUFFER _HRESULT_TYPEDEF_(0x8007007AL)
#endif

namespace strsafe_detail {

template <class C>
size_t length(const C* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

template <class C>
HRESULT copy(C* dest, size_t cchDest, const C* src, size_t cchSrc) {
    if (!dest || cchDest == 0 || cchDest > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
    if (!src) src = reinterpret_cast<const C*>(L"\0\0\0");
    size_t n = length(src, cchSrc);
    HRESULT hr = S_OK;
    if (n >= cchDest) {
        n = cchDest - 1;
        hr = STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    std::memmove(dest, src, n * sizeof(C));
    dest[n] = 0;
    return hr;
}

inline std::wstring msvcWideFormat(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        out += *p;
        if (*p != L'%') continue;
        if (p[1] == L'%') {
            out += *++p;
            continue;
        }
        // Flags, width, precision.
        while (p[1] && std::wcschr(L"-+ #0123456789.*", p[1])) out += *++p;
        bool narrow = false;
        if (p[1] == L'h' && (p[2] == L's' || p[2] == L'c')) {
            narrow = true;
            ++p;
        } else if ((p[1] == L'l' || p[1] == L'w') && (p[2] == L's' || p[2] == L'c')) {
            ++p;
        }
        wchar_t c = p[1];
        if (c == L's' || c == L'c') {
            ++p;
            if (!narrow) out += L'l';
            out += c;
        } else if (c == L'S' || c == L'C') {
            ++p;
            out += static_cast<wchar_t>(c == L'S' ? L's' : L'c');
        }
    }
    return out;
}

inline HRESULT vprintfWide(wchar_t* dest, size_t cchDest, const wchar_t* format, va_list args) {
    if (!dest || cchDest == 0 || cchDest > STRSAFE_MAX_CCH || !format) return STRSAFE_E_INVALID_PARAMETER;
    std::wstring fmt = msvcWideFormat(format);
    std::vector<wchar_t> buffer(cchDest + 256);
    for (;;) {
        va_list copyArgs;
        va_copy(copyArgs, args);
        int n = std::vswprintf(buffer.data(), buffer.size(), fmt.c_str(), copyArgs);
        va_end(copyArgs);
        if (n >= 0) return copy(dest, cchDest, buffer.data(), static_cast<size_t>(n) + 1);
        if (buffer.size() > (1u << 24)) {
            dest[0] = 0;
            return E_FAIL;
        }
        buffer.resize(buffer.size() * 4);
    }
}

} // namespace strsafe_detail

inline HRESULT StringCchCopyW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc) {
    return strsafe_detail::copy(pszDest, cchDest, pszSrc, STRSAFE_MAX_CCH);
}
inline HRESULT StringCchCopyNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToCopy) {
    return strsafe_detail::copy(pszDest, cchDest, pszSrc, cchToCopy);
}
inline HRESULT StringCbCopyW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszSrc) {
    return StringCchCopyW(pszDest, cbDest / sizeof(WCHAR), pszSrc);
}
inline HRESULT StringCchCopyA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc) {
    return strsafe_detail::copy(pszDest, cchDest, pszSrc, STRSAFE_MAX_CCH);
}
inline HRESULT StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t* pcchLength) {
    if (!psz || cchMax > STRSAFE_MAX_CCH) {
        if (pcchLength) *pcchLength = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    size_t n = strsafe_detail::length(psz, cchMax);
    if (pcchLength) *pcchLength = n < cchMax ? n : 0;
    return n < cchMax ? S_OK : STRSAFE_E_INVALID_PARAMETER;
}
inline HRESULT StringCchCatW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc) {
    if (!pszDest || cchDest == 0) return STRSAFE_E_INVALID_PARAMETER;
    size_t n = strsafe_detail::length(pszDest, cchDest);
    if (n == cchDest) return STRSAFE_E_INVALID_PARAMETER;
    return strsafe_detail::copy(pszDest + n, cchDest - n, pszSrc, STRSAFE_MAX_CCH);
}
inline HRESULT StringCchVPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, va_list argList) {
    return strsafe_detail::vprintfWide(pszDest, cchDest, pszFormat, argList);
}
inline HRESULT StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    HRESULT hr = strsafe_detail::vprintfWide(pszDest, cchDest, pszFormat, args);
    va_end(args);
    return hr;
}
inline HRESULT StringCbPrintfW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    HRESULT hr = strsafe_detail::vprintfWide(pszDest, cbDest / sizeof(WCHAR), pszFormat, args);
    va_end(args);
    return hr;
}
inline HRESULT StringCchVPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, va_list argList) {
    if (!pszDest || cchDest == 0 || cchDest > STRSAFE_MAX_CCH || !pszFormat)
        return STRSAFE_E_INVALID_PARAMETER;
    int n = std::vsnprintf(pszDest, cchDest, pszFormat, argList);
    if (n < 0) {
        pszDest[0] = '\0';
        return E_FAIL;
    }
    return static_cast<size_t>(n) >= cchDest ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}
inline HRESULT StringCchPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, ...)
    __attribute__((format(printf, 3, 4)));
inline HRESULT StringCchPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    HRESULT hr = StringCchVPrintfA(pszDest, cchDest, pszFormat, args);
    va_end(args);
    return hr;
}
