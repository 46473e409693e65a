// CCapturePin: the "Capture" output pin of a camera's capture filter. It offers the camera's MJPG
// formats (one media type and one VIDEO_STREAM_CONFIG_CAPS each, through IAMStreamConfig), says it is a
// capture pin (PIN_CATEGORY_CAPTURE through IKsPropertySet), and while the filter runs its worker
// copies each camera frame into a sample stamped with the graph clock's stream time.
//
// IAMStreamConfig::SetFormat chooses one of the formats (and a rate within its range); from then on the
// pin offers and accepts only that type, and a connected pin is reconnected in it. A camera that is
// unplugged while streaming ends the stream: end of stream and EC_ERRORABORT with
// HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED).
//
// Locks: the filter's state lock for the formats and the connection; the worker takes none while it
// waits for a frame. Leaving the running state wakes a worker that waits for the camera.
#pragma once

#include <chrono>
#include <mutex>

#include "platform/dshow/camera/camera_backend.h"
#include "platform/dshow/source_stream.h"
#include "platform/win32/com_ptr.h"

namespace platform::dshow {

// The media type and capabilities a capture pin reports for a camera format.
HRESULT CameraMediaType(const camera::CameraFormat& format, CMediaType* mt);
void CameraCaps(const camera::CameraFormat& format, VIDEO_STREAM_CONFIG_CAPS* caps);

class CCapturePin final : public CSourceStream, public IAMStreamConfig, public IKsPropertySet {
public:
    CCapturePin(HRESULT* phr, CSource* filter, camera::CameraBackend& backend);
    ~CCapturePin() override;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
    STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override;
    STDMETHODIMP GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override;
    // IKsPropertySet
    STDMETHODIMP Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                     LPVOID pPropData, DWORD cbPropData) override;
    STDMETHODIMP Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                     LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
    STDMETHODIMP QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
    HRESULT Active() override;
    HRESULT Run(REFERENCE_TIME tStart) override;

protected:
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    HRESULT DoBufferProcessingLoop() override;
    // Waits for the camera's next frame and copies it into the sample: S_OK with a frame, S_FALSE when
    // woken without one (a request waits), an error when the stream cannot go on.
    HRESULT FillBuffer(IMediaSample* pSample) override;
    void WakeWorker() override { wake_.Wake(); }

private:
    // Stream time for the worker: the graph clock's time since Run, or the monotonic clock's without one.
    class RunClock final : public camera::StreamClock {
    public:
        void Start(IReferenceClock* clock, REFERENCE_TIME tStart);
        REFERENCE_TIME Now() override;

    private:
        ComPtr<IReferenceClock> clock_;
        REFERENCE_TIME start_ = 0;
        std::chrono::steady_clock::time_point steadyStart_;
    };

    // On the worker: takes the clock and start time Run left.
    void beginRun();
    // The camera format a media type stands for (with its rate), or false.
    bool formatOf(const AM_MEDIA_TYPE& mt, camera::CameraFormat& format) const;
    // The format in use: the connection's, else the chosen one, else the first.
    bool currentFormat(camera::CameraFormat& format) const;

    camera::CameraBackend& backend_;
    camera::WakeSignal wake_;
    CMediaType chosen_;  // set by SetFormat; GUID_NULL major type before
    std::mutex runLock_; // guards the two below, handed from Run to the worker
    ComPtr<IReferenceClock> runClock_;
    REFERENCE_TIME runStart_ = 0;
    // The worker's own.
    RunClock clock_;
    camera::CameraFormat streaming_; // settled by Active before the worker starts
    uint64_t seen_ = 0;              // the wake generation the worker last checked requests at
    LONGLONG frameNumber_ = 0;
    bool discontinuity_ = false;
};

} // namespace platform::dshow
