#include "vcam/out_push_pin.h"

#include <atomic>
#include <cstring>

#include <mmsystem.h>

#include "vcam/internal_graph.h"
#include "vcam/vcam.h"
#include "vcam/vcam_log.h"

namespace {

constexpr DWORD kPinCategoryBytes = sizeof(GUID); // 16
constexpr DWORD kFillLogInterval = 1000;          // ms

// Time of the last "FillBuffer" log line, shared by every pin of the process.
std::atomic<DWORD> g_lastFillLog{0};

unsigned Address(const void* p) {
    return unsigned(reinterpret_cast<uintptr_t>(p));
}

const VIDEOINFOHEADER* VideoHeader(const AM_MEDIA_TYPE& mt) {
    if (mt.formattype != FORMAT_VideoInfo || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
}

} // namespace

COutPushPin::COutPushPin(HRESULT* phr, CVCam* pParent)
    : CSourceStream(L"OutPushPin", phr, pParent, L"video") {
    GetMediaType(1, &m_format);
    m_mt = m_format;
}

STDMETHODIMP COutPushPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

CMediaType COutPushPin::OfferedType() {
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetFormatType(&FORMAT_VideoInfo);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!vih) return mt;
    vih->AvgTimePerFrame = kFrameDuration;
    BITMAPINFOHEADER& bmi = vih->bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = kWidth;
    bmi.biHeight = kHeight;
    bmi.biPlanes = 1;
    bmi.biBitCount = 24;
    bmi.biCompression = BI_RGB;
    bmi.biSizeImage = DIBSIZE(bmi);
    mt.SetSubtype(&MEDIASUBTYPE_RGB24); // 24 bits per pixel, uncompressed
    mt.SetSampleSize(bmi.biSizeImage);
    mt.SetTemporalCompression(FALSE);
    return mt;
}

VIDEO_STREAM_CONFIG_CAPS COutPushPin::OfferedCaps() {
    constexpr LONG kFrameBits = kWidth * kHeight * 24;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    caps.guid = FORMAT_VideoInfo;
    caps.VideoStandard = 0;
    caps.InputSize = {kWidth, kHeight};
    caps.MinCroppingSize = {0, 0};
    caps.MaxCroppingSize = {kWidth, kHeight};
    caps.CropGranularityX = kWidth;
    caps.CropGranularityY = kHeight;
    caps.MinOutputSize = {kWidth, kHeight};
    caps.MaxOutputSize = {kWidth, kHeight};
    caps.MinFrameInterval = kFrameDuration;
    caps.MaxFrameInterval = 30000000; // 3 s
    caps.MinBitsPerSecond = kFrameBits / 5;
    caps.MaxBitsPerSecond = kFrameBits * 15;
    return caps;
}

HRESULT COutPushPin::GetMediaType(int iPosition, CMediaType* pmt) {
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 1) return VFW_S_NO_MORE_ITEMS;
    if (!pmt) return E_POINTER;
    if (iPosition == 0) {
        CAutoLock lock(m_pFilter->pStateLock());
        return pmt->Set(m_format);
    }
    *pmt = OfferedType();
    return pmt->IsValid() && pmt->Format() ? S_OK : E_OUTOFMEMORY;
}

HRESULT COutPushPin::CheckMediaType(const CMediaType* pmt) {
    CAutoLock lock(m_pFilter->pStateLock());
    return pmt && *pmt == m_format ? S_OK : E_INVALIDARG;
}

HRESULT COutPushPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    CAutoLock lock(m_pFilter->pStateLock());
    const VIDEOINFOHEADER* vih = VideoHeader(m_mt);
    if (!pAlloc || !pProp || !vih) return E_POINTER;
    pProp->cBuffers = 1;
    pProp->cbBuffer = LONG(vih->bmiHeader.biSizeImage);
    ALLOCATOR_PROPERTIES actual{};
    if (HRESULT hr = pAlloc->SetProperties(pProp, &actual); FAILED(hr)) return hr;
    return actual.cbBuffer < pProp->cbBuffer ? E_FAIL : S_OK;
}

HRESULT COutPushPin::FillBuffer(IMediaSample* pSample) {
    auto* vcam = dynamic_cast<CVCam*>(m_pFilter);
    if (!vcam) return E_FAIL;
    const DWORD now = timeGetTime();
    DWORD last = g_lastFillLog.load();
    if (now - last > kFillLogInterval && g_lastFillLog.compare_exchange_strong(last, now))
        VCamLog("COutPushPin::FillBuffer", 226, "[0x%08X]FillBuffer(0x%08X)\n", Address(this),
                Address(pSample));
    if (!pSample) return E_POINTER;
    CInternalGraph* graph = CVCam::PrivateGraph();
    if (!graph) return S_OK;
    return graph->FillBuffer(pSample);
}

HRESULT COutPushPin::OnThreadCreate() {
    VCamLog("COutPushPin::OnThreadCreate", 202, "[0x%08X]called\n", Address(this));
    return S_OK;
}

HRESULT COutPushPin::OnThreadDestroy() {
    VCamLog("COutPushPin::OnThreadDestroy", 206, "[0x%08X]called\n", Address(this));
    return S_OK;
}

HRESULT COutPushPin::OnThreadStartPlay() {
    VCamLog("COutPushPin::OnThreadStartPlay", 210, "[0x%08X]called\n", Address(this));
    return S_OK;
}

STDMETHODIMP COutPushPin::Notify(IBaseFilter*, Quality) {
    return E_NOTIMPL;
}

// The type is taken as the application gives it, but only a video type with a video header can size
// the buffers, and a running pin cannot change its connection.
STDMETHODIMP COutPushPin::SetFormat(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (!VideoHeader(*pmt)) return VFW_E_INVALIDMEDIATYPE;
    {
        CAutoLock lock(m_pFilter->pStateLock());
        if (!m_pFilter->IsStopped()) return VFW_E_NOT_STOPPED;
        if (FAILED(m_format.Set(*pmt))) return E_OUTOFMEMORY;
    }
    if (IsConnected()) {
        if (IFilterGraph* graph = m_pFilter->GetFilterGraph()) graph->Reconnect(this);
    }
    return S_OK;
}

STDMETHODIMP COutPushPin::GetFormat(AM_MEDIA_TYPE** ppmt) {
    if (!ppmt) return E_POINTER;
    CAutoLock lock(m_pFilter->pStateLock());
    *ppmt = CreateMediaType(&m_format);
    return *ppmt ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP COutPushPin::GetNumberOfCapabilities(int* piCount, int* piSize) {
    if (!piCount || !piSize) return E_POINTER;
    *piCount = 1;
    *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

// Every index describes the one format; the frame duration stays the one currently chosen.
STDMETHODIMP COutPushPin::GetStreamCaps(int, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) {
    if (!ppmt || !pSCC) return E_POINTER;
    CMediaType offered = OfferedType();
    {
        CAutoLock lock(m_pFilter->pStateLock());
        if (const VIDEOINFOHEADER* current = VideoHeader(m_format))
            reinterpret_cast<VIDEOINFOHEADER*>(offered.Format())->AvgTimePerFrame = current->AvgTimePerFrame;
    }
    offered.SetVariableSize();
    offered.lSampleSize = reinterpret_cast<VIDEOINFOHEADER*>(offered.Format())->bmiHeader.biSizeImage;
    *ppmt = CreateMediaType(&offered);
    if (!*ppmt) return E_OUTOFMEMORY;
    const VIDEO_STREAM_CONFIG_CAPS caps = OfferedCaps();
    std::memcpy(pSCC, &caps, sizeof caps);
    return S_OK;
}

STDMETHODIMP COutPushPin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP COutPushPin::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData,
                              DWORD cbPropData, DWORD* pcbReturned) {
    if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!pPropData && !pcbReturned) return E_POINTER;
    if (pcbReturned) *pcbReturned = kPinCategoryBytes;
    if (!pPropData) return S_OK;
    if (cbPropData < kPinCategoryBytes) return E_UNEXPECTED;
    *static_cast<GUID*>(pPropData) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP COutPushPin::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
    if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (pTypeSupport) *pTypeSupport = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}
