#include "platform/dshow/capture_pin.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <dvdmedia.h>
#include <evcode.h>
#include <mmsystem.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "platform/win32/debug.h"

namespace platform::dshow {
namespace {

constexpr long kBufferCount = 3;

// MJPG cameras state their bit rate as 16 bits a pixel (as UVC descriptors do).
LONG bitsPerSecond(const camera::CameraFormat& f, REFERENCE_TIME interval) {
    if (interval <= 0) return 0;
    long double bits = static_cast<long double>(f.width) * f.height * 16 * 10000000 / interval;
    return bits >= LONG_MAX ? LONG_MAX : static_cast<LONG>(bits);
}

// Within a rounding step of the range (AvgTimePerFrame values are rounded by whoever made them).
bool intervalIn(REFERENCE_TIME interval, const camera::CameraFormat& f) {
    return interval >= f.minInterval - 1 && interval <= f.maxInterval + 1;
}

} // namespace

HRESULT CameraMediaType(const camera::CameraFormat& format, CMediaType* mt) {
    mt->InitMediaType();
    mt->SetType(&MEDIATYPE_Video);
    mt->SetSubtype(&MEDIASUBTYPE_MJPG);
    mt->SetFormatType(&FORMAT_VideoInfo);
    mt->SetTemporalCompression(FALSE);
    mt->bFixedSizeSamples = FALSE;
    mt->lSampleSize = format.maxFrameBytes;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!vih) return E_OUTOFMEMORY;
    vih->AvgTimePerFrame = format.interval;
    vih->dwBitRate = static_cast<DWORD>(bitsPerSecond(format, format.interval));
    BITMAPINFOHEADER& bmi = vih->bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = static_cast<LONG>(format.width);
    bmi.biHeight = static_cast<LONG>(format.height);
    bmi.biPlanes = 1;
    bmi.biBitCount = 24;
    bmi.biCompression = MAKEFOURCC('M', 'J', 'P', 'G');
    bmi.biSizeImage = format.maxFrameBytes;
    return S_OK;
}

void CameraCaps(const camera::CameraFormat& f, VIDEO_STREAM_CONFIG_CAPS* caps) {
    std::memset(caps, 0, sizeof *caps);
    const SIZE size{static_cast<LONG>(f.width), static_cast<LONG>(f.height)};
    caps->guid = FORMAT_VideoInfo;
    caps->InputSize = size;
    caps->MinCroppingSize = size;
    caps->MaxCroppingSize = size;
    caps->CropGranularityX = caps->CropGranularityY = 1;
    caps->MinOutputSize = size;
    caps->MaxOutputSize = size;
    caps->MinFrameInterval = f.minInterval;
    caps->MaxFrameInterval = f.maxInterval;
    caps->MinBitsPerSecond = bitsPerSecond(f, f.maxInterval);
    caps->MaxBitsPerSecond = bitsPerSecond(f, f.minInterval);
}

// ---- the run clock ----

void CCapturePin::RunClock::Start(IReferenceClock* clock, REFERENCE_TIME tStart) {
    clock_ = ComPtr<IReferenceClock>(clock);
    start_ = tStart;
    steadyStart_ = std::chrono::steady_clock::now();
}

REFERENCE_TIME CCapturePin::RunClock::Now() {
    REFERENCE_TIME now = 0;
    if (clock_ && SUCCEEDED(clock_->GetTime(&now))) return now - start_;
    auto elapsed = std::chrono::steady_clock::now() - steadyStart_;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100;
}

// ---- the pin ----

CCapturePin::CCapturePin(HRESULT* phr, CSource* filter, camera::CameraBackend& backend)
    : CSourceStream(L"Capture pin", phr, filter, L"Capture"), backend_(backend) {}

// A pin destroyed while active ends its worker here, while a wake still reaches a worker that waits
// for the camera (CSourceStream's destructor would do it too late for that).
CCapturePin::~CCapturePin() {
    if (!ThreadExists()) return;
    if (m_pAllocator) m_pAllocator->Decommit();
    PostRequest(CMD_STOP);
    Exit();
    Close();
}

STDMETHODIMP CCapturePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

bool CCapturePin::formatOf(const AM_MEDIA_TYPE& mt, camera::CameraFormat& format) const {
    if (mt.majortype != MEDIATYPE_Video || mt.subtype != MEDIASUBTYPE_MJPG ||
        mt.formattype != FORMAT_VideoInfo || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    for (const camera::CameraFormat& f : backend_.Formats()) {
        if (vih->bmiHeader.biWidth != static_cast<LONG>(f.width) ||
            std::labs(vih->bmiHeader.biHeight) != static_cast<LONG>(f.height))
            continue;
        if (vih->AvgTimePerFrame == 0) { // the format's own rate
            format = f;
            return true;
        }
        if (intervalIn(vih->AvgTimePerFrame, f)) {
            format = f;
            format.interval = std::clamp(vih->AvgTimePerFrame, f.minInterval, f.maxInterval);
            return true;
        }
    }
    return false;
}

bool CCapturePin::currentFormat(camera::CameraFormat& format) const {
    if (IsConnected()) return formatOf(m_mt, format);
    if (chosen_.IsValid()) return formatOf(chosen_, format);
    if (backend_.Formats().empty()) return false;
    format = backend_.Formats().front();
    return true;
}

HRESULT CCapturePin::CheckMediaType(const CMediaType* pmt) {
    CAutoLock lock(m_pFilter->pStateLock());
    camera::CameraFormat format;
    if (!formatOf(*pmt, format)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (chosen_.IsValid()) {
        camera::CameraFormat wanted;
        if (!formatOf(chosen_, wanted) || !wanted.sameSize(format) || wanted.interval != format.interval)
            return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT CCapturePin::GetMediaType(int iPosition, CMediaType* pmt) {
    if (iPosition < 0) return E_INVALIDARG;
    CAutoLock lock(m_pFilter->pStateLock());
    if (chosen_.IsValid()) return iPosition == 0 ? pmt->Set(chosen_) : VFW_S_NO_MORE_ITEMS;
    const auto& formats = backend_.Formats();
    if (static_cast<size_t>(iPosition) >= formats.size()) return VFW_S_NO_MORE_ITEMS;
    return CameraMediaType(formats[static_cast<size_t>(iPosition)], pmt);
}

HRESULT CCapturePin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    CAutoLock lock(m_pFilter->pStateLock());
    camera::CameraFormat format;
    if (!currentFormat(format) || format.maxFrameBytes == 0) return E_UNEXPECTED;
    ALLOCATOR_PROPERTIES want = *pProp, got{};
    want.cBuffers = std::max(want.cBuffers, kBufferCount);
    want.cbBuffer = static_cast<long>(format.maxFrameBytes);
    HRESULT hr = pAlloc->SetProperties(&want, &got);
    if (FAILED(hr)) return hr;
    return got.cbBuffer < want.cbBuffer ? E_FAIL : S_OK;
}

// ---- IAMStreamConfig ----

STDMETHODIMP CCapturePin::SetFormat(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    ComPtr<IFilterGraph> graph;
    {
        CAutoLock lock(m_pFilter->pStateLock());
        if (!m_pFilter->IsStopped()) return VFW_E_NOT_STOPPED;
        camera::CameraFormat format;
        if (!formatOf(*pmt, format)) return VFW_E_INVALIDMEDIATYPE;
        CMediaType type;
        if (HRESULT hr = CameraMediaType(format, &type); FAILED(hr)) return hr;
        if (IsConnected()) {
            if (m_Connected->QueryAccept(&type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
            graph = ComPtr<IFilterGraph>(m_pFilter->GetFilterGraph());
        }
        if (HRESULT hr = chosen_.Set(type); FAILED(hr)) return hr;
    }
    // Outside the filter lock: the graph takes its own lock first, then the filters'.
    if (graph) return graph->Reconnect(this);
    return S_OK;
}

STDMETHODIMP CCapturePin::GetFormat(AM_MEDIA_TYPE** ppmt) {
    if (!ppmt) return E_POINTER;
    *ppmt = nullptr;
    CAutoLock lock(m_pFilter->pStateLock());
    CMediaType type;
    if (IsConnected()) {
        type = m_mt;
    } else if (chosen_.IsValid()) {
        type = chosen_;
    } else {
        camera::CameraFormat format;
        if (!currentFormat(format)) return VFW_E_NO_TYPES;
        if (HRESULT hr = CameraMediaType(format, &type); FAILED(hr)) return hr;
    }
    *ppmt = CreateMediaType(&type);
    return *ppmt ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CCapturePin::GetNumberOfCapabilities(int* piCount, int* piSize) {
    if (!piCount || !piSize) return E_POINTER;
    *piCount = static_cast<int>(backend_.Formats().size());
    *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP CCapturePin::GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) {
    if (!ppmt || !pSCC) return E_POINTER;
    *ppmt = nullptr;
    if (iIndex < 0) return E_INVALIDARG;
    const auto& formats = backend_.Formats();
    if (static_cast<size_t>(iIndex) >= formats.size()) return S_FALSE;
    const camera::CameraFormat& f = formats[static_cast<size_t>(iIndex)];
    CMediaType type;
    if (HRESULT hr = CameraMediaType(f, &type); FAILED(hr)) return hr;
    if (!(*ppmt = CreateMediaType(&type))) return E_OUTOFMEMORY;
    CameraCaps(f, reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(pSCC));
    return S_OK;
}

// ---- IKsPropertySet ----

STDMETHODIMP CCapturePin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP CCapturePin::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData,
                              DWORD cbPropData, DWORD* pcbReturned) {
    if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!pPropData && !pcbReturned) return E_POINTER;
    if (pcbReturned) *pcbReturned = sizeof(GUID);
    if (!pPropData) return S_OK;
    if (cbPropData < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(pPropData) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP CCapturePin::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
    if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (pTypeSupport) *pTypeSupport = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

// ---- streaming ----

// The format is settled here, under the state lock, because the worker must not take that lock.
HRESULT CCapturePin::Active() {
    CAutoLock lock(m_pFilter->pStateLock());
    if (IsConnected() && !currentFormat(streaming_)) return VFW_E_NO_TYPES;
    return CSourceStream::Active();
}

HRESULT CCapturePin::OnThreadCreate() {
    frameNumber_ = 0;
    return backend_.Start(streaming_);
}

HRESULT CCapturePin::OnThreadDestroy() {
    backend_.Stop();
    return S_OK;
}

// The worker may still be finishing the previous run: it takes the clock when it starts delivering.
HRESULT CCapturePin::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(m_pFilter->pStateLock());
    {
        std::lock_guard setup(runLock_);
        m_pFilter->GetSyncSource(runClock_.put());
        runStart_ = tStart;
    }
    return CSourceStream::Run(tStart);
}

void CCapturePin::beginRun() {
    std::lock_guard setup(runLock_);
    clock_.Start(runClock_.get(), runStart_);
    discontinuity_ = true;
}

HRESULT CCapturePin::DoBufferProcessingLoop() {
    OnThreadStartPlay();
    beginRun();
    for (;;) {
        seen_ = wake_.generation(); // before the check, so no wake after it is missed
        Command com;
        if (CheckRequest(&com)) {
            if (com != CMD_RUN) return S_OK;
            Reply(S_OK);
            beginRun();
            continue;
        }
        IMediaSample* sample = nullptr;
        if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) return S_OK; // decommitted
        HRESULT hr = FillBuffer(sample);
        if (hr == S_OK) {
            hr = Deliver(sample);
            sample->Release();
            if (hr != S_OK) return S_OK; // downstream stopped taking samples
        } else if (hr == S_FALSE) {
            sample->Release();
        } else {
            sample->Release();
            ERR("dshow", "camera stream ends: %#x", static_cast<unsigned>(hr));
            DeliverEndOfStream();
            m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
            return hr;
        }
    }
}

HRESULT CCapturePin::FillBuffer(IMediaSample* pSample) {
    BYTE* data = nullptr;
    if (FAILED(pSample->GetPointer(&data)) || !data) return E_UNEXPECTED;
    size_t length = 0;
    REFERENCE_TIME start = 0;
    switch (backend_.NextFrame(clock_, wake_, seen_, data, static_cast<size_t>(pSample->GetSize()), length,
                               start)) {
    case camera::FrameStatus::Frame:
        break;
    case camera::FrameStatus::Interrupted:
        return S_FALSE;
    case camera::FrameStatus::Unplugged:
        return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
    case camera::FrameStatus::Failed:
        return HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
    }
    REFERENCE_TIME stop = start + streaming_.interval;
    LONGLONG mediaStart = frameNumber_++, mediaStop = frameNumber_;
    pSample->SetActualDataLength(static_cast<long>(length));
    pSample->SetTime(&start, &stop);
    pSample->SetMediaTime(&mediaStart, &mediaStop);
    pSample->SetSyncPoint(TRUE);
    pSample->SetDiscontinuity(discontinuity_);
    discontinuity_ = false;
    return S_OK;
}

} // namespace platform::dshow
