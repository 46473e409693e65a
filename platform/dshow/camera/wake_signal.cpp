#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "platform/dshow/camera/camera_backend.h"

namespace platform::camera {

REFERENCE_TIME IntervalFromFraction(uint32_t numerator, uint32_t denominator) {
    if (numerator == 0 || denominator == 0) return 0;
    return static_cast<REFERENCE_TIME>((uint64_t(numerator) * 10000000 + denominator / 2) / denominator);
}

WakeSignal::WakeSignal() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeSignal::~WakeSignal() {
    if (fd_ >= 0) close(fd_);
}

void WakeSignal::Wake() {
    {
        std::lock_guard lock(mutex_);
        generation_.fetch_add(1);
    }
    changed_.notify_all();
    if (fd_ >= 0) {
        uint64_t one = 1;
        ssize_t ignored = write(fd_, &one, sizeof one);
        (void)ignored;
    }
}

bool WakeSignal::WaitFor(uint64_t seen, std::chrono::nanoseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return woken(seen); });
}

void WakeSignal::Wait(uint64_t seen) const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return woken(seen); });
}

void WakeSignal::Drain() const {
    if (fd_ < 0) return;
    uint64_t count;
    ssize_t ignored = read(fd_, &count, sizeof count);
    (void)ignored;
}

} // namespace platform::camera
