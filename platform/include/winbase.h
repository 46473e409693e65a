// Kernel services: debug output, last error, text conversion, time, modules.
#pragma once

#include "libloaderapi.h"
#include "minwinbase.h"
#include "windef.h"
#include "winerror.h"

WINBASEAPI void WINAPI OutputDebugStringW(LPCWSTR lpOutputString);
WINBASEAPI void WINAPI OutputDebugStringA(LPCSTR lpOutputString);
WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode);

#define CP_ACP 0
#define CP_UTF8 65001
WINBASEAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                          int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);
WINBASEAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                                          int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                          LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);

WINBASEAPI int WINAPI lstrlenW(LPCWSTR lpString);
WINBASEAPI int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);
WINBASEAPI int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
WINBASEAPI LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2);
WINBASEAPI LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength);

// number * numerator / denominator through 64 bits, rounded; -1 on overflow or a zero denominator.
WINBASEAPI int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator);

WINBASEAPI void WINAPI Sleep(DWORD dwMilliseconds);
WINBASEAPI DWORD WINAPI GetTickCount(void);
// The current date and time in UTC.
WINBASEAPI void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);

#define INFINITE 0xFFFFFFFF
