// A camera that plays recorded clips in a loop (see clip_camera_registry.h for its definition).
//
// Each declared format is served by the clip of its size, whose JPEG frames go out as they are. Frames
// are due every frame interval of stream time on the graph's clock; a worker that falls behind skips
// to the frame due now, as a live camera drops frames. Which frame of the clip is shown follows the
// clip's own rate when it records one (so motion keeps its speed at 15 or at 30 frames per second),
// else the frames are shown one after another.
//
// A clip that cannot be read leaves its formats listed but silent: the camera reports no frames (one
// warning when it is opened, none per frame) and never fails.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dshow/camera/camera_backend.h"
#include "platform/dshow/camera/clip_camera_registry.h"
#include "platform/dshow/camera/jpeg_clip.h"

namespace platform::camera {

class ClipCamera final : public CameraBackend {
public:
    explicit ClipCamera(const ClipCameraDefinition& definition);

    const std::vector<CameraFormat>& Formats() const override { return formats_; }
    HRESULT Start(const CameraFormat& format) override;
    FrameStatus NextFrame(StreamClock& clock, const WakeSignal& wake, uint64_t seen, BYTE* buffer,
                          size_t capacity, size_t& length, REFERENCE_TIME& timestamp) override;
    void Stop() override;

private:
    std::string name_;
    std::vector<CameraFormat> formats_;
    std::vector<std::unique_ptr<JpegClip>> clips_; // one per clip file that could be read
    std::vector<JpegClip*> formatClips_;           // the clip of each format, or null
    JpegClip* playing_ = nullptr;
    REFERENCE_TIME interval_ = 0;
    REFERENCE_TIME nextDue_ = -1; // stream time of the next frame, -1 before the first
    uint64_t shown_ = 0;          // frames delivered since Start
    bool readFailed_ = false;     // warned about a frame that could not be read
};

} // namespace platform::camera
