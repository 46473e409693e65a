// Debugger lines of the engine: a failed call is reported as "\r\n[ERR]<tag>:<line> (0x<code>)\r\n\r\n",
// formatted into a 2048-byte buffer and written as wide text; the line number identifies the report
// site.
#pragma once

#include <windows.h>

void EngineLogError(const char* tag, int line, HRESULT hr);
void EngineLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

#define ENGINE_ERR(tag, hr) EngineLogError(tag, __LINE__, hr)

// Releases a COM reference and empties the pointer.
template <class T>
void SafeRelease(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}
