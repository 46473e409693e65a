// Multimedia timer: the millisecond tick count.
#pragma once

#include "windef.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

// Milliseconds since an arbitrary start, wrapping after 2^32 ms, from the monotonic clock.
WINBASEAPI DWORD WINAPI timeGetTime(void);
WINBASEAPI MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
WINBASEAPI MMRESULT WINAPI timeEndPeriod(UINT uPeriod);
