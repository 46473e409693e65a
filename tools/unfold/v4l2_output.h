// Frames to a V4L2 output device, such as a v4l2loopback device that browsers and video-call programs
// then open as a webcam: YUYV (4:2:2, BT.601 studio range) at the stream's size and rate, written
// with write(), one whole frame per call.
//
// The kernel calls go through a small device interface (open, ioctl, write, close), the seam by which
// tests stand in for a device and fail on cue.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

#include "tools/image/image.h"
#include "tools/image/mjpg_clip.h"
#include "tools/image/status.h"

namespace tools::unfold {

// Each call answers 0 or an errno value.
class V4l2Device {
public:
    virtual ~V4l2Device() = default;
    virtual int open(const std::string& path) = 0;
    virtual int ioctl(unsigned long request, void* argument) = 0;
    // Writes all of it (retrying interruptions and short writes).
    virtual int write(const void* data, size_t size) = 0;
    virtual void close() = 0;
};

// The device behind a /dev/videoN path.
std::unique_ptr<V4l2Device> NewKernelV4l2Device();

class V4l2Output {
public:
    explicit V4l2Output(std::unique_ptr<V4l2Device> device) : device_(std::move(device)) {}
    ~V4l2Output();
    V4l2Output(const V4l2Output&) = delete;
    V4l2Output& operator=(const V4l2Output&) = delete;

    // Opens the device, checks that it takes video output by write(), and sets the format and rate.
    // A device that keeps another size or pixel format is refused.
    image::Status Open(const std::string& path, uint32_t width, uint32_t height, image::FrameRate rate);
    // One picture of the opened size.
    image::Status Write(const image::Image& picture);
    void Close();

private:
    image::Status fail(const std::string& what, int error);

    std::unique_ptr<V4l2Device> device_;
    std::string path_;
    uint32_t width_ = 0, height_ = 0;
    bool open_ = false;
    std::vector<uint8_t> frame_;
};

} // namespace tools::unfold
