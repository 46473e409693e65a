// The seam between the capture filter and a camera: V4L2 devices and recorded clips implement one small
// interface, so the filter (and tests, with a scripted backend) never see where frames come from.
//
// A backend is opened once (ListCameras / OpenCamera), lists its MJPG formats, and then streams between
// Start and Stop. NextFrame runs on the capture pin's worker only; every other call comes from an
// application thread while the worker is not in NextFrame, except WakeSignal::Wake, which is how other
// threads end a NextFrame early.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <strmif.h>

namespace platform::camera {

// One MJPG format: a frame size and a frame interval (a range for cameras with stepwise rates).
struct CameraFormat {
    uint32_t width = 0, height = 0;
    // Seconds per frame as a fraction, as V4L2 counts it.
    uint32_t intervalNumerator = 1, intervalDenominator = 30;
    // The same in 100 ns units, and the range a caller may ask for (equal for a fixed rate).
    REFERENCE_TIME interval = 0, minInterval = 0, maxInterval = 0;
    uint32_t maxFrameBytes = 0; // the largest frame of this format, bytes

    bool sameSize(const CameraFormat& o) const { return width == o.width && height == o.height; }
};

// 100 ns units of num/den seconds, rounded; 0 for a degenerate fraction.
REFERENCE_TIME IntervalFromFraction(uint32_t numerator, uint32_t denominator);

enum class FrameStatus {
    Frame,       // a frame was copied into the buffer
    Interrupted, // the wake signal fired: the worker has a request to take
    Unplugged,   // the device is gone; the stream cannot go on
    Failed,      // the device failed otherwise
};

// The graph's time as the capture pin sees it: stream time, 100 ns units.
class StreamClock {
public:
    virtual ~StreamClock() = default;
    virtual REFERENCE_TIME Now() = 0;
};

// Ends a NextFrame early. The worker reads generation() before it checks for requests and hands that
// value to NextFrame, which returns Interrupted as soon as the generation moves on, so a wake given
// between the check and the wait is never lost. fd() becomes readable on each wake, for poll().
class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    void Wake();
    uint64_t generation() const { return generation_.load(); }
    bool woken(uint64_t seen) const { return generation_.load() != seen; }
    // Waits until woken (true) or until the timeout passes (false).
    bool WaitFor(uint64_t seen, std::chrono::nanoseconds timeout) const;
    // Blocks until woken.
    void Wait(uint64_t seen) const;
    int fd() const { return fd_; }
    // Empties fd() after a wake was seen.
    void Drain() const;

private:
    std::atomic<uint64_t> generation_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int fd_ = -1;
};

class CameraBackend {
public:
    virtual ~CameraBackend() = default;

    virtual const std::vector<CameraFormat>& Formats() const = 0;
    // Starts streaming at a format of Formats() (its interval may be any in the format's range).
    virtual HRESULT Start(const CameraFormat& format) = 0;
    // Waits for the next frame and copies it into buffer. On Frame, length holds its size and
    // timestamp the stream time it was captured at.
    virtual FrameStatus NextFrame(StreamClock& clock, const WakeSignal& wake, uint64_t seen, BYTE* buffer,
                                  size_t capacity, size_t& length, REFERENCE_TIME& timestamp) = 0;
    virtual void Stop() = 0;
};

// A camera as the device enumerator lists it.
struct CameraInfo {
    std::wstring friendlyName;
    std::wstring devicePath; // V4L2: the device node; clip cameras: "clip:" and the camera's name
};

// V4L2 cameras first (in device number order), then the clip cameras of the registry.
std::vector<CameraInfo> ListCameras();
// The camera behind a device path; null with the reason in hr when it cannot be opened.
std::unique_ptr<CameraBackend> OpenCamera(const std::wstring& devicePath, HRESULT& hr);

} // namespace platform::camera
