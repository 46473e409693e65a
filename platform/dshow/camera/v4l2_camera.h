// A V4L2 video capture device (a UVC webcam) as a camera backend: its card name, its MJPG sizes and
// frame intervals as formats, and memory-mapped streaming.
//
// Formats come from VIDIOC_ENUM_FMT (MJPEG and JPEG), VIDIOC_ENUM_FRAMESIZES (discrete sizes; of a
// stepwise range, the largest) and VIDIOC_ENUM_FRAMEINTERVALS (each discrete interval is a format; a
// stepwise or continuous range is one format whose rate may be chosen in the range). Streaming uses
// four mmap buffers; NextFrame polls the device and the wake signal together, skips frames the driver
// marks as damaged, retries on EAGAIN, and reports ENODEV (the camera was unplugged) as Unplugged.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dshow/camera/camera_backend.h"
#include "platform/dshow/camera/v4l2_device.h"

namespace platform::camera {

class V4l2Camera final : public CameraBackend {
public:
    // Opens a device node; null (with the reason in hr) when it is not a streaming capture device.
    static std::unique_ptr<V4l2Camera> Open(V4l2Device& device, const std::string& node, HRESULT& hr);
    ~V4l2Camera() override;

    const std::string& card() const { return card_; }

    const std::vector<CameraFormat>& Formats() const override { return formats_; }
    HRESULT Start(const CameraFormat& format) override;
    FrameStatus NextFrame(StreamClock& clock, const WakeSignal& wake, uint64_t seen, BYTE* buffer,
                          size_t capacity, size_t& length, REFERENCE_TIME& timestamp) override;
    void Stop() override;

private:
    struct Mapping {
        void* data = nullptr;
        size_t length = 0;
    };

    V4l2Camera(V4l2Device& device, int fd, std::string node)
        : device_(device), fd_(fd), node_(std::move(node)) {}
    void readFormats();
    void addSize(uint32_t pixelFormat, uint32_t width, uint32_t height);
    HRESULT fail(const char* what, HRESULT hr);

    V4l2Device& device_;
    int fd_;
    std::string node_;
    std::string card_;
    std::vector<CameraFormat> formats_;
    std::vector<uint32_t> pixelFormats_; // the device's code of each format
    std::vector<Mapping> buffers_;
    bool streaming_ = false;
    bool unplugged_ = false;
};

// The streaming video capture devices among the device's nodes, named by their card names.
std::vector<CameraInfo> ListV4l2Cameras(V4l2Device& device);

} // namespace platform::camera
