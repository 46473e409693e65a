#include "platform/dshow/transform_filter.h"

#include <cwchar>
#include <new>

#include <evcode.h>
#include <vfwmsgs.h>

namespace {

HRESULT idText(LPCWSTR text, LPWSTR* Id) {
    if (!Id) return E_POINTER;
    size_t chars = std::wcslen(text) + 1;
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(chars * sizeof(WCHAR)));
    if (!*Id) return E_OUTOFMEMORY;
    std::wmemcpy(*Id, text, chars);
    return S_OK;
}

} // namespace

// ---- input pin ----

CTransformInputPin::CTransformInputPin(LPCWSTR pObjectName, CTransformFilter* pTransformFilter, LPCWSTR pName)
    : CBaseInputPin(pObjectName, pTransformFilter, &pTransformFilter->m_csFilter, pName),
      m_pTransformFilter(pTransformFilter) {}

STDMETHODIMP CTransformInputPin::QueryId(LPWSTR* Id) {
    return idText(L"In", Id);
}

HRESULT CTransformInputPin::CheckConnect(IPin* pPin) {
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pPin);
    if (FAILED(hr)) return hr;
    return CBaseInputPin::CheckConnect(pPin);
}

HRESULT CTransformInputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_INPUT);
    return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* pReceivePin) {
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, pReceivePin);
    if (FAILED(hr)) return hr;
    return CBaseInputPin::CompleteConnect(pReceivePin);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* pmt) {
    HRESULT hr = m_pTransformFilter->CheckInputType(pmt);
    if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    // A connected output must still be reachable from the new input type.
    CTransformOutputPin* out = m_pTransformFilter->m_pOutput;
    if (out && out->IsConnected()) return m_pTransformFilter->CheckTransform(pmt, &out->CurrentMediaType());
    return S_OK;
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* pmt) {
    HRESULT hr = CBasePin::SetMediaType(pmt);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_INPUT, pmt);
}

HRESULT CTransformInputPin::CheckStreaming() {
    CTransformOutputPin* out = m_pTransformFilter->m_pOutput;
    if (!out || !out->IsConnected()) return VFW_E_NOT_CONNECTED;
    return CBaseInputPin::CheckStreaming();
}

// A new run: the quality message may be sent again.
HRESULT CTransformInputPin::Active() {
    m_pTransformFilter->m_bQualityChanged = false;
    m_pTransformFilter->m_bSampleSkipped = false;
    m_pTransformFilter->m_bEOSDelivered = false;
    return CBaseInputPin::Active();
}

STDMETHODIMP CTransformInputPin::Receive(IMediaSample* pSample) {
    CAutoLock lock(&m_pTransformFilter->m_csReceive);
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    return m_pTransformFilter->Receive(pSample);
}

STDMETHODIMP CTransformInputPin::EndOfStream() {
    CAutoLock lock(&m_pTransformFilter->m_csReceive);
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return m_pTransformFilter->EndOfStream();
}

STDMETHODIMP CTransformInputPin::BeginFlush() {
    CAutoLock lock(&m_pTransformFilter->m_csFilter);
    CTransformOutputPin* out = m_pTransformFilter->m_pOutput;
    if (!IsConnected() || !out || !out->IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = CBaseInputPin::BeginFlush();
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->BeginFlush();
}

STDMETHODIMP CTransformInputPin::EndFlush() {
    CAutoLock lock(&m_pTransformFilter->m_csFilter);
    CTransformOutputPin* out = m_pTransformFilter->m_pOutput;
    if (!IsConnected() || !out || !out->IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = m_pTransformFilter->EndFlush();
    if (FAILED(hr)) return hr;
    return CBaseInputPin::EndFlush();
}

STDMETHODIMP CTransformInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    CBasePin::NewSegment(tStart, tStop, dRate);
    return m_pTransformFilter->NewSegment(tStart, tStop, dRate);
}

// ---- output pin ----

CTransformOutputPin::CTransformOutputPin(LPCWSTR pObjectName, CTransformFilter* pTransformFilter,
                                         LPCWSTR pName)
    : CBaseOutputPin(pObjectName, pTransformFilter, &pTransformFilter->m_csFilter, pName),
      m_pTransformFilter(pTransformFilter) {}

STDMETHODIMP CTransformOutputPin::QueryId(LPWSTR* Id) {
    return idText(L"Out", Id);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pPin) {
    // The output type comes from the input type: the input connects first.
    CTransformInputPin* in = m_pTransformFilter->m_pInput;
    if (!in || !in->IsConnected()) return E_UNEXPECTED;
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pPin);
    if (FAILED(hr)) return hr;
    return CBaseOutputPin::CheckConnect(pPin);
}

HRESULT CTransformOutputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
    return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* pReceivePin) {
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, pReceivePin);
    if (FAILED(hr)) return hr;
    return CBaseOutputPin::CompleteConnect(pReceivePin);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* pmt) {
    CTransformInputPin* in = m_pTransformFilter->m_pInput;
    if (!in || !in->IsConnected()) return E_INVALIDARG;
    return m_pTransformFilter->CheckTransform(&in->CurrentMediaType(), pmt);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* pmt) {
    HRESULT hr = CBasePin::SetMediaType(pmt);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, pmt);
}

HRESULT CTransformOutputPin::GetMediaType(int iPosition, CMediaType* pMediaType) {
    CTransformInputPin* in = m_pTransformFilter->m_pInput;
    if (!in || !in->IsConnected()) return iPosition < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
    return m_pTransformFilter->GetMediaType(iPosition, pMediaType);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    return m_pTransformFilter->DecideBufferSize(pAlloc, pProp);
}

STDMETHODIMP CTransformOutputPin::Notify(IBaseFilter*, Quality q) {
    HRESULT hr = m_pTransformFilter->AlterQuality(q);
    if (hr != S_FALSE) return hr;
    // Not handled here: pass it to the upstream pin's quality control.
    IPin* upstream = m_pTransformFilter->m_pInput ? m_pTransformFilter->m_pInput->GetConnected() : nullptr;
    IQualityControl* qc = nullptr;
    if (!upstream || FAILED(upstream->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&qc))))
        return VFW_E_NOT_FOUND;
    hr = qc->Notify(m_pTransformFilter, q);
    qc->Release();
    return hr;
}

// ---- filter ----

CTransformFilter::CTransformFilter(LPCWSTR pName, LPUNKNOWN pUnk, REFCLSID clsid)
    : CBaseFilter(pName, pUnk, &m_csFilter, clsid) {}

CTransformFilter::~CTransformFilter() {
    delete m_pInput;
    delete m_pOutput;
}

bool CTransformFilter::createPins() {
    CAutoLock lock(&m_csFilter);
    if (!m_pInput)
        m_pInput = new (std::nothrow) CTransformInputPin(L"Transform input pin", this, L"XForm In");
    if (!m_pOutput)
        m_pOutput = new (std::nothrow) CTransformOutputPin(L"Transform output pin", this, L"XForm Out");
    return m_pInput && m_pOutput;
}

CBasePin* CTransformFilter::GetPin(int n) {
    if (!createPins()) return nullptr;
    if (n == 0) return m_pInput;
    if (n == 1) return m_pOutput;
    return nullptr;
}

STDMETHODIMP CTransformFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (!Id || !ppPin) return E_POINTER;
    CBasePin* pin = nullptr;
    if (std::wcscmp(Id, L"In") == 0) pin = GetPin(0);
    if (std::wcscmp(Id, L"Out") == 0) pin = GetPin(1);
    *ppPin = pin;
    if (!pin) return VFW_E_NOT_FOUND;
    pin->AddRef();
    return S_OK;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* pSample, IMediaSample** ppOutSample) {
    DWORD flags = 0;
    if (m_bSampleSkipped) flags |= AM_GBF_PREVFRAMESKIPPED;
    if (pSample->IsSyncPoint() != S_OK) flags |= AM_GBF_NOTASYNCPOINT;
    REFERENCE_TIME start, stop;
    HRESULT timed = pSample->GetTime(&start, &stop);
    IMediaSample* out = nullptr;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, SUCCEEDED(timed) ? &start : nullptr,
                                              timed == S_OK ? &stop : nullptr, flags);
    if (FAILED(hr)) return hr;
    if (SUCCEEDED(timed)) out->SetTime(&start, timed == S_OK ? &stop : nullptr);
    out->SetSyncPoint(pSample->IsSyncPoint() == S_OK);
    out->SetDiscontinuity(m_bSampleSkipped || pSample->IsDiscontinuity() == S_OK);
    out->SetPreroll(pSample->IsPreroll() == S_OK);
    LONGLONG mediaStart, mediaStop;
    if (SUCCEEDED(pSample->GetMediaTime(&mediaStart, &mediaStop))) out->SetMediaTime(&mediaStart, &mediaStop);
    *ppOutSample = out;
    return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* pSample) {
    IMediaSample* out = nullptr;
    HRESULT hr = InitializeOutputSample(pSample, &out);
    if (FAILED(hr)) return hr;
    hr = Transform(pSample, out);
    if (hr == S_OK) {
        hr = m_pOutput->Deliver(out);
        m_bSampleSkipped = false;
    } else if (hr == S_FALSE) {
        // Dropped: the output sample goes back to its allocator unseen.
        m_bSampleSkipped = true;
        if (!m_bQualityChanged) {
            NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
            m_bQualityChanged = true;
        }
        hr = S_OK;
    }
    out->Release();
    return hr;
}

HRESULT CTransformFilter::EndOfStream() {
    m_bEOSDelivered = true;
    return m_pOutput->IsConnected() ? m_pOutput->DeliverEndOfStream() : S_OK;
}

HRESULT CTransformFilter::BeginFlush() {
    return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
    return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    return m_pOutput->IsConnected() ? m_pOutput->DeliverNewSegment(tStart, tStop, dRate) : S_OK;
}
