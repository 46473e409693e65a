// Creation functions of the system module's classes.
#pragma once

#include <new>
#include <utility>

#include "platform/com/unknown.h"

namespace platform::dshow {

CUnknown* WINAPI CreateFilterGraph(LPUNKNOWN pUnk, HRESULT* phr);
CUnknown* WINAPI CreateSystemClock(LPUNKNOWN pUnk, HRESULT* phr);
CUnknown* WINAPI CreateFilterMapper2(LPUNKNOWN pUnk, HRESULT* phr);
CUnknown* WINAPI CreateSystemDeviceEnum(LPUNKNOWN pUnk, HRESULT* phr);
CUnknown* WINAPI CreateSampleGrabber(LPUNKNOWN pUnk, HRESULT* phr);
CUnknown* WINAPI CreateNullRenderer(LPUNKNOWN pUnk, HRESULT* phr);
CUnknown* WINAPI CreateCaptureGraphBuilder2(LPUNKNOWN pUnk, HRESULT* phr);
CUnknown* WINAPI CreateMjpegDecompressor(LPUNKNOWN pUnk, HRESULT* phr);

// new (nothrow) T(args), with E_OUTOFMEMORY in *phr when it fails.
template <class T, class... Args>
CUnknown* NewObject(HRESULT* phr, Args&&... args) {
    CUnknown* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object && phr) *phr = E_OUTOFMEMORY;
    return object;
}

} // namespace platform::dshow
