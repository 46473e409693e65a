// The multimedia timer's tick count. The monotonic clock already has millisecond resolution, so the
// period calls only check their argument.
#include <chrono>

#include <windows.h>

DWORD WINAPI timeGetTime() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod) {
    return uPeriod == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT uPeriod) {
    return uPeriod == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}
