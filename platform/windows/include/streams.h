// The DirectShow base classes over the Windows SDK headers: the same header the Linux build uses, plus
// the bitmap size macros the base classes' headers define (mingw-w64's amvideo.h lacks them).
#pragma once

#include "platform/include/streams.h"

#ifndef DIBSIZE
#define WIDTHBYTES(bits) ((DWORD)(((bits) + 31) & (~31)) / 8)
#define DIBWIDTHBYTES(bi) (DWORD) WIDTHBYTES((DWORD)(bi).biWidth*(DWORD)(bi).biBitCount)
#define _DIBSIZE(bi) (DIBWIDTHBYTES(bi) * (DWORD)(bi).biHeight)
#define DIBSIZE(bi) ((bi).biHeight < 0 ? (-1) * (_DIBSIZE(bi)) : _DIBSIZE(bi))
#endif
