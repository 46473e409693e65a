// IOrbSourceView: the fisheye picture the expansion filter unfolds, with the current unfold mode's
// own drawing of where its view lies on it, for a preview shown beside the unfolded picture. The
// expansion filter implements it; the virtual camera answers it for the filter of its private graph,
// so that a host that opened the camera sees the very frame its picture was made from.
#pragma once

#include <objbase.h>

// {1C58D2E6-90AB-4C3E-8F61-27A4E9B0D314}
DEFINE_GUID(IID_IOrbSourceView, 0x1c58d2e6, 0x90ab, 0x4c3e, 0x8f, 0x61, 0x27, 0xa4, 0xe9, 0xb0, 0xd3, 0x14);

struct IOrbSourceView : public IUnknown {
    // The largest side of either picture, in pixels.
    static constexpr LONG kMaxSide = 4096;

    // Draws the input frame that the last output frame was made from, fitted into width x height with
    // its shape kept and centred on black, with the current mode's outline of its view over it in red.
    // pPicture receives width x height pixels of 4 bytes (blue, green, red, 0), bottom row first as in a
    // DIB of positive height. When pOverview is given, the mode's overview of the whole picture with its
    // view marked goes into overviewWidth x overviewHeight pixels the same way; S_FALSE says the mode
    // has none (pOverview is then black). E_INVALIDARG for a side outside 1 to kMaxSide,
    // VFW_E_NOT_CONNECTED while there is no input to draw from.
    virtual HRESULT STDMETHODCALLTYPE DrawSourceView(LONG width, LONG height, BYTE* pPicture,
                                                     LONG overviewWidth, LONG overviewHeight,
                                                     BYTE* pOverview) = 0;

protected:
    ~IOrbSourceView() = default;
};
