// A capture device's capture pin running into the host's renderer (CFrameSink), in a graph built the
// way a video-call application builds it: Filter Graph, Capture Graph Builder 2,
// RenderStream(PIN_CATEGORY_CAPTURE, MEDIATYPE_Video), IMediaControl and IMediaEvent.
#pragma once

#include <control.h>
#include <dshow.h>

#include "platform/win32/com_ptr.h"
#include "tools/unfold/frame_sink.h"

namespace tools::unfold {

class CaptureSession {
public:
    CaptureSession() = default;
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Builds the graph from the device to a new sink that hands frames to `consumer`.
    HRESULT Open(IBaseFilter* device, CFrameSink::Consumer consumer);
    HRESULT Run();
    // Stops the graph; every frame the sink took has reached the consumer when it returns.
    void Stop();

    // Waits up to `ms` for a graph event: S_OK and *ended when the stream ended, the event's error
    // when the graph aborted, S_FALSE when nothing happened.
    HRESULT WaitForEvent(long ms, bool* ended);
    CFrameSink::Counts counts() const { return sink_ ? sink_->counts() : CFrameSink::Counts{}; }
    // The type the device delivers in.
    HRESULT ConnectedType(AM_MEDIA_TYPE* type) const;

private:
    platform::ComPtr<IGraphBuilder> graph_;
    platform::ComPtr<ICaptureGraphBuilder2> builder_;
    platform::ComPtr<IMediaControl> control_;
    platform::ComPtr<IMediaEvent> events_;
    CFrameSink* sink_ = nullptr; // with a reference
};

} // namespace tools::unfold
