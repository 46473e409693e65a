// Bitmap headers.
#pragma once

#include "windef.h"

#define BI_RGB 0L
#define BI_BITFIELDS 3L

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // positive: bottom-up rows; negative: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *PBITMAPINFOHEADER, *LPBITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40);

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

// Fonts and bitmaps. A font is its description: this platform has no rasteriser, so what it measures
// comes from a fixed model (platform/win32/fonts.h); a display shows text in a real font of the same
// pixel height. A DIB section is a 32-bit top-down or bottom-up picture in memory.
#define LF_FACESIZE 32
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_CHARSET 1

typedef struct tagLOGFONTW {
    LONG lfHeight; // negative: character height in pixels; positive: cell height
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *PLOGFONTW, *LPLOGFONTW;

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *PBITMAPINFO, *LPBITMAPINFO;

#define DIB_RGB_COLORS 0

WINBASEAPI HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lplf);
// 32-bit BI_RGB pictures only; *ppvBits receives the pixels, which the bitmap owns.
WINBASEAPI HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits,
                                           HANDLE hSection, DWORD offset);
WINBASEAPI BOOL WINAPI DeleteObject(HGDIOBJ ho);
WINBASEAPI int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv);

#define CreateFontIndirect CreateFontIndirectW
#define GetObject GetObjectW
