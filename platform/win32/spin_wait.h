// A short busy wait before a thread blocks on a condition variable. The parts of a frame's jobs
// finish within microseconds of each other and the next job follows as closely, so waiting a moment
// on the condition itself saves the sleep and the wake-up (a system call each way, longer where a
// virtual processor must be woken); after kSpinMicroseconds the thread blocks as before.
#pragma once

#include <chrono>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace platform {

inline constexpr int kSpinMicroseconds = 30;

// Polls `busy` until it returns false or the time is up. The caller still checks its condition under
// its lock afterwards, so a wait that gives up loses nothing.
template <class Busy>
void SpinWhile(Busy busy) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicroseconds);
    while (busy()) {
        for (int i = 0; i < 16; ++i) {
#if defined(__x86_64__) || defined(__i386__)
            _mm_pause();
#endif
        }
        if (std::chrono::steady_clock::now() >= until) return;
    }
}

} // namespace platform
