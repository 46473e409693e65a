// Video format blocks and helpers.
#pragma once

#include "strmif.h"
#include "wingdi.h"

// The FORMAT_VideoInfo block: 88 bytes, as on Windows.
typedef struct tagVIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame; // 100 ns units
    BITMAPINFOHEADER bmiHeader;
} VIDEOINFOHEADER;
static_assert(sizeof(VIDEOINFOHEADER) == 88);

#define HEADER(pVideoInfo) (&(((VIDEOINFOHEADER*)(pVideoInfo))->bmiHeader))
#define WIDTHBYTES(bits) ((DWORD)(((bits) + 31) & (~31)) / 8)
#define DIBWIDTHBYTES(bi) (DWORD) WIDTHBYTES((DWORD)(bi).biWidth*(DWORD)(bi).biBitCount)
#define _DIBSIZE(bi) (DIBWIDTHBYTES(bi) * (DWORD)(bi).biHeight)
#define DIBSIZE(bi) ((bi).biHeight < 0 ? (-1) * (_DIBSIZE(bi)) : _DIBSIZE(bi))
