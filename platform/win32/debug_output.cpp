// The debugger output of this platform: standard error, and the capture a test has open. (On Windows
// the debugger output is kernel32's own.)
#include <windows.h>

#include "platform/win32/debug.h"

void WINAPI OutputDebugStringW(LPCWSTR text) {
    if (text) platform::WriteDebugOutput(text);
}

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (text) platform::WriteDebugOutput(platform::ToWide(text));
}
