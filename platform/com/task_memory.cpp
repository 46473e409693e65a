// Task memory: the C heap. A zero-byte allocation gives a unique pointer, as on Windows.
// Fault injection: "CoTaskMemAlloc" and "CoTaskMemRealloc" answer null.
#include <cstdlib>

#include <objbase.h>

#include "platform/win32/fault_injection.h"

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
    if (FAILED(platform::InjectedFault("CoTaskMemAlloc"))) return nullptr;
    return std::malloc(cb ? cb : 1);
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    if (FAILED(platform::InjectedFault("CoTaskMemRealloc"))) return nullptr;
    if (pv && cb == 0) {
        std::free(pv);
        return nullptr;
    }
    return std::realloc(pv, cb ? cb : 1);
}

void WINAPI CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}
