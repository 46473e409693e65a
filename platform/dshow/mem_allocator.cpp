#include "platform/dshow/mem_allocator.h"

#include <algorithm>
#include <new>

#include <vfwmsgs.h>

#include "platform/dshow/media_type.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

CMediaSample::CMediaSample(LPCWSTR pName, CMemAllocator* pAllocator, BYTE* pBuffer, long length)
    : CUnknown(pName, nullptr), m_pAllocator(pAllocator), m_pBuffer(pBuffer), m_cbBuffer(length),
      m_lActual(length) {}

CMediaSample::~CMediaSample() {
    DeleteMediaType(m_pMediaType);
}

STDMETHODIMP CMediaSample::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMediaSample) return GetInterface(static_cast<IMediaSample*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

void CMediaSample::LastRelease() {
    m_cRef = 0;
    m_pAllocator->ReleaseBuffer(this);
}

void CMediaSample::Reset() {
    m_bStartValid = m_bStopValid = m_bMediaTimeValid = false;
    m_bSyncPoint = m_bPreroll = m_bDiscontinuity = false;
    m_lActual = m_cbBuffer;
    DeleteMediaType(m_pMediaType);
    m_pMediaType = nullptr;
}

STDMETHODIMP CMediaSample::GetPointer(BYTE** ppBuffer) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = m_pBuffer;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    if (!m_bStartValid) return VFW_E_SAMPLE_TIME_NOT_SET;
    *pTimeStart = m_Start;
    if (!m_bStopValid) {
        *pTimeEnd = m_Start + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *pTimeEnd = m_End;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    m_bStartValid = pTimeStart != nullptr;
    m_bStopValid = pTimeStart && pTimeEnd;
    if (pTimeStart) m_Start = *pTimeStart;
    if (m_bStopValid) m_End = *pTimeEnd;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetSyncPoint(BOOL b) {
    m_bSyncPoint = b != FALSE;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetPreroll(BOOL b) {
    m_bPreroll = b != FALSE;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetDiscontinuity(BOOL b) {
    m_bDiscontinuity = b != FALSE;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetActualDataLength(long length) {
    if (length < 0 || length > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
    m_lActual = length;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
    if (!ppMediaType) return E_POINTER;
    *ppMediaType = nullptr;
    if (!m_pMediaType) return S_FALSE;
    *ppMediaType = CreateMediaType(m_pMediaType);
    return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
    DeleteMediaType(m_pMediaType);
    m_pMediaType = nullptr;
    if (!pMediaType) return S_OK;
    m_pMediaType = CreateMediaType(pMediaType);
    return m_pMediaType ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    if (!m_bMediaTimeValid) return VFW_E_MEDIA_TIME_NOT_SET;
    *pTimeStart = m_MediaStart;
    *pTimeEnd = m_MediaEnd;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (!pTimeStart) {
        m_bMediaTimeValid = false;
        return S_OK;
    }
    if (!pTimeEnd) return E_POINTER;
    m_MediaStart = *pTimeStart;
    m_MediaEnd = *pTimeEnd;
    m_bMediaTimeValid = true;
    return S_OK;
}

CMemAllocator::CMemAllocator(LPCWSTR pName, LPUNKNOWN pUnk) : CUnknown(pName, pUnk) {}

CMemAllocator::~CMemAllocator() {
    std::lock_guard lock(m_lock);
    freeMemory();
}

CUnknown* WINAPI CMemAllocator::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* a = new (std::nothrow) CMemAllocator(L"CMemAllocator", pUnk);
    if (!a && phr) *phr = E_OUTOFMEMORY;
    return a;
}

STDMETHODIMP CMemAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

void CMemAllocator::freeMemory() {
    for (CMediaSample* s : m_samples) delete s;
    m_samples.clear();
    m_free.clear();
    m_memory.reset();
}

STDMETHODIMP CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) {
    if (!pRequest || !pActual) return E_POINTER;
    std::lock_guard lock(m_lock);
    if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
    if (m_outstanding > 0) return VFW_E_BUFFERS_OUTSTANDING;
    if (pRequest->cbAlign <= 0 || (pRequest->cbAlign & (pRequest->cbAlign - 1))) return VFW_E_BADALIGN;
    if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0) return E_INVALIDARG;
    // Each buffer with its prefix starts on the alignment; the buffer is lengthened to fill the step.
    long step = pRequest->cbPrefix + pRequest->cbBuffer;
    step = (step + pRequest->cbAlign - 1) / pRequest->cbAlign * pRequest->cbAlign;
    ALLOCATOR_PROPERTIES granted = *pRequest;
    granted.cbBuffer = step - pRequest->cbPrefix;
    if (granted.cBuffers != m_props.cBuffers || granted.cbBuffer != m_props.cbBuffer ||
        granted.cbAlign != m_props.cbAlign || granted.cbPrefix != m_props.cbPrefix)
        freeMemory();
    m_props = granted;
    *pActual = granted;
    return S_OK;
}

STDMETHODIMP CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
    if (!pProps) return E_POINTER;
    std::lock_guard lock(m_lock);
    *pProps = m_props;
    return S_OK;
}

STDMETHODIMP CMemAllocator::Commit() {
    std::lock_guard lock(m_lock);
    if (m_bCommitted) return S_OK;
    if (m_props.cBuffers <= 0 || m_props.cbBuffer <= 0) return VFW_E_SIZENOTSET;
    if (HRESULT hr = platform::InjectedFault("IMemAllocator::Commit"); FAILED(hr)) return hr;
    if (!m_memory) {
        if (m_outstanding > 0) return VFW_E_BUFFERS_OUTSTANDING; // the old buffers are still out
        long step = m_props.cbPrefix + m_props.cbBuffer;
        size_t total = size_t(step) * size_t(m_props.cBuffers) + size_t(m_props.cbAlign);
        m_memory.reset(new (std::nothrow) BYTE[total]);
        if (!m_memory) return E_OUTOFMEMORY;
        uintptr_t base = reinterpret_cast<uintptr_t>(m_memory.get());
        base = (base + m_props.cbAlign - 1) / m_props.cbAlign * m_props.cbAlign;
        for (long i = 0; i < m_props.cBuffers; ++i) {
            BYTE* buffer = reinterpret_cast<BYTE*>(base) + size_t(i) * step + m_props.cbPrefix;
            auto* sample = new (std::nothrow) CMediaSample(L"CMediaSample", this, buffer, m_props.cbBuffer);
            if (!sample) {
                freeMemory();
                return E_OUTOFMEMORY;
            }
            m_samples.push_back(sample);
            m_free.push_back(sample);
        }
    }
    m_bCommitted = true;
    return S_OK;
}

STDMETHODIMP CMemAllocator::Decommit() {
    std::lock_guard lock(m_lock);
    if (!m_bCommitted) return S_OK;
    m_bCommitted = false;
    if (m_outstanding == 0) freeMemory();
    m_freed.notify_all(); // waiters in GetBuffer now fail
    return S_OK;
}

STDMETHODIMP CMemAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                                      REFERENCE_TIME* pEndTime, DWORD dwFlags) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    CMediaSample* sample;
    {
        std::unique_lock lock(m_lock);
        for (;;) {
            if (!m_bCommitted) return VFW_E_NOT_COMMITTED;
            if (!m_free.empty()) break;
            if (dwFlags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
            m_freed.wait(lock);
        }
        sample = m_free.back();
        m_free.pop_back();
        ++m_outstanding;
    }
    NonDelegatingAddRef(); // each outstanding sample keeps its allocator alive
    sample->Reset();
    if (pStartTime) sample->SetTime(pStartTime, pEndTime);
    sample->NonDelegatingAddRef();
    *ppBuffer = sample;
    return S_OK;
}

STDMETHODIMP CMemAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
    if (!pBuffer) return E_POINTER;
    {
        std::lock_guard lock(m_lock);
        auto* sample = static_cast<CMediaSample*>(pBuffer);
        if (std::find(m_samples.begin(), m_samples.end(), sample) == m_samples.end()) return E_INVALIDARG;
        m_free.push_back(sample);
        --m_outstanding;
        if (!m_bCommitted && m_outstanding == 0) freeMemory();
        m_freed.notify_one();
    }
    NonDelegatingRelease();
    return S_OK;
}
