// The identities of unfoldcam and its control interface IORBE_SrcGen, through which the property page
// and host applications read and change the virtual camera's settings.
#pragma once

#include <cstdint>

#include <objbase.h>

// The virtual camera "TELMAR ZK900 4K UVC".
// {3CA5071E-5323-4C80-A3E5-9739779D15CD}
DEFINE_GUID(CLSID_VCam, 0x3ca5071e, 0x5323, 0x4c80, 0xa3, 0xe5, 0x97, 0x39, 0x77, 0x9d, 0x15, 0xcd);
// Its property page.
// {4F514E59-A541-4D94-8BAB-3CE89D8ED51B}
DEFINE_GUID(CLSID_SrcPropPage, 0x4f514e59, 0xa541, 0x4d94, 0x8b, 0xab, 0x3c, 0xe8, 0x9d, 0x8e, 0xd5, 0x1b);
// {9A4D96AF-A492-4DEC-A200-5975DC21A6C4}
DEFINE_GUID(IID_IORBE_SrcGen, 0x9a4d96af, 0xa492, 0x4dec, 0xa2, 0x00, 0x59, 0x75, 0xdc, 0x21, 0xa6, 0xc4);

// One camera capability the virtual camera can run the real camera at.
struct ResolutionEntry {
    int32_t width;       // pixels
    int32_t height;      // pixels
    int32_t frameRate;   // frames per second, 10000000 / AvgTimePerFrame to the nearest whole number
    int32_t formatIndex; // the capability's index, for SetResolution
};

// Unfold modes are the virtual camera's: 0 front view, 1 panorama, 2 segments, 3 quad, 4 ring, 5 dome,
// 6 inverted dome, 7 throw-out, 8 extract, 10 the 16:9 front view (9 and every other value: inverted
// dome). View position and zoom run from 0 to 100; the lens direction is 1 for an upward-facing camera
// and 0 for a downward-facing one.
//
// Every change takes effect at once and reaches the registry when the virtual camera is destroyed. The
// Set methods answer E_FAIL while the camera's picture path is not working (no camera, no expansion
// filter); the value is kept all the same.
struct IORBE_SrcGen : public IUnknown {
    // The MJPG capabilities of 1440 x 1440 and 1280 x 720 the camera offers, in its order. *ppList is
    // allocated with CoTaskMemAlloc and freed by the caller with CoTaskMemFree; *pCurrent is the
    // position of the last entry of the current camera resolution, and is left alone when there is none.
    virtual HRESULT STDMETHODCALLTYPE GetResolutionList(ResolutionEntry** ppList, int* pCount,
                                                        int* pCurrent) = 0;
    // Rebuilds the picture path with the camera at capability formatIndex (several seconds); nothing
    // happens when the camera runs at that resolution and rate already. E_INVALIDARG for an index
    // that is not a capability of the camera.
    virtual HRESULT STDMETHODCALLTYPE SetResolution(int formatIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUnfoldMode(int* pMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUnfoldMode(int mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetViewPos(int* pHorizontal, int* pVertical) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetViewPos(int horizontal, int vertical) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetScale(int* pZoom) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetScale(int zoom) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLensDirection(int* pDirection) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLensDirection(int direction) = 0;

protected:
    ~IORBE_SrcGen() = default;
};
