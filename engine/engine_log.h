// Debugger lines of the engine, each formatted into a 2048-byte buffer and written as wide text. A
// failed call is reported at one of the sites of engine/report_sites.h as
// "\r\n[ERR]<tag>:<number> (0x<code>)\r\n\r\n".
#pragma once

#include <windows.h>

#include "engine/report_sites.h"

void EngineLogError(const ReportSite& site, HRESULT hr);
void EngineLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Releases a COM reference and empties the pointer.
template <class T>
void SafeRelease(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}
