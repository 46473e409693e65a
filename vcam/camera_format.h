// What the virtual camera reads from a capability of the real camera: whether it is an MJPG video
// format with a video header, its picture size and its whole frames per second.
#pragma once

#include <cstdint>

#include <dshow.h>

struct CameraFormat {
    bool mjpg = false; // MEDIATYPE_Video / MEDIASUBTYPE_MJPG / FORMAT_VideoInfo with a whole header
    int32_t width = 0, height = 0;
    REFERENCE_TIME frameTime = 0; // AvgTimePerFrame, 100 ns
    // Frames per second, 10000000 / AvgTimePerFrame to the nearest whole number: cameras here state
    // 15 fps as 666667 (the nearest 100 ns), which division rounded down would read as 14.
    int32_t frameRate = 0;

    static CameraFormat Of(const AM_MEDIA_TYPE& mt) {
        CameraFormat f;
        if (mt.majortype != MEDIATYPE_Video || mt.subtype != MEDIASUBTYPE_MJPG ||
            mt.formattype != FORMAT_VideoInfo || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
            return f;
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
        f.mjpg = true;
        f.width = vih->bmiHeader.biWidth;
        f.height = vih->bmiHeader.biHeight;
        f.frameTime = vih->AvgTimePerFrame;
        if (f.frameTime > 0) f.frameRate = int32_t((int64_t(10000000) + f.frameTime / 2) / f.frameTime);
        return f;
    }
    // A usable capability: MJPG with a frame time.
    bool usable() const { return mjpg && frameTime > 0; }
};
