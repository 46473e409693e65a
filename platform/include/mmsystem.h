// Multimedia timer: the millisecond tick count; four-character codes.
#pragma once

#include "windef.h"

#ifndef MAKEFOURCC
#define MAKEFOURCC(ch0, ch1, ch2, ch3)                                                                       \
    ((DWORD)(BYTE)(ch0) | ((DWORD)(BYTE)(ch1) << 8) | ((DWORD)(BYTE)(ch2) << 16) | ((DWORD)(BYTE)(ch3) << 24))
#endif
#define mmioFOURCC(ch0, ch1, ch2, ch3) MAKEFOURCC(ch0, ch1, ch2, ch3)

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

// Milliseconds since an arbitrary start, wrapping after 2^32 ms, from the monotonic clock.
WINBASEAPI DWORD WINAPI timeGetTime(void);
WINBASEAPI MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
WINBASEAPI MMRESULT WINAPI timeEndPeriod(UINT uPeriod);
