#include "platform/dshow/base_output_pin.h"

#include <vfwmsgs.h>

#include "platform/dshow/mem_allocator.h"

CBaseOutputPin::CBaseOutputPin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, LPCWSTR pName)
    : CBasePin(pObjectName, pFilter, pLock, pName, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
    if (m_pAllocator) m_pAllocator->Release();
    if (m_pInputPin) m_pInputPin->Release();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pPin) {
    HRESULT hr = CBasePin::CheckConnect(pPin);
    if (FAILED(hr)) return hr;
    if (m_pInputPin) m_pInputPin->Release();
    m_pInputPin = nullptr;
    if (FAILED(pPin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_pInputPin)))) {
        m_pInputPin = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*) {
    return DecideAllocator(m_pInputPin, &m_pAllocator);
}

HRESULT CBaseOutputPin::BreakConnect() {
    if (m_pAllocator) {
        m_pAllocator->Decommit();
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    if (m_pInputPin) {
        m_pInputPin->Release();
        m_pInputPin = nullptr;
    }
    return S_OK;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** ppAlloc) {
    HRESULT hr = S_OK;
    CUnknown* allocator = CMemAllocator::CreateInstance(nullptr, &hr);
    if (!allocator) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    return allocator->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(ppAlloc));
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc) {
    if (!pPin) return E_POINTER;
    if (*ppAlloc) {
        (*ppAlloc)->Release();
        *ppAlloc = nullptr;
    }
    ALLOCATOR_PROPERTIES request{};
    pPin->GetAllocatorRequirements(&request); // the peer may have no requirements
    if (request.cbAlign == 0) request.cbAlign = 1;

    HRESULT hr = pPin->GetAllocator(ppAlloc);
    if (SUCCEEDED(hr)) {
        ALLOCATOR_PROPERTIES props = request;
        hr = DecideBufferSize(*ppAlloc, &props);
        if (SUCCEEDED(hr) && SUCCEEDED(hr = pPin->NotifyAllocator(*ppAlloc, FALSE))) return S_OK;
    }
    if (*ppAlloc) {
        (*ppAlloc)->Release();
        *ppAlloc = nullptr;
    }
    // The downstream pin's allocator would not do: use our own.
    hr = InitAllocator(ppAlloc);
    if (SUCCEEDED(hr)) {
        ALLOCATOR_PROPERTIES props = request;
        hr = DecideBufferSize(*ppAlloc, &props);
        if (SUCCEEDED(hr) && SUCCEEDED(hr = pPin->NotifyAllocator(*ppAlloc, FALSE))) return S_OK;
    }
    if (*ppAlloc) {
        (*ppAlloc)->Release();
        *ppAlloc = nullptr;
    }
    return hr;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                          REFERENCE_TIME* pEndTime, DWORD dwFlags) {
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->GetBuffer(ppSample, pStartTime, pEndTime, dwFlags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* pSample) {
    if (!m_pInputPin) return VFW_E_NOT_CONNECTED;
    return m_pInputPin->Receive(pSample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    if (!m_Connected) return VFW_E_NOT_CONNECTED;
    return m_Connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    if (!m_Connected) return VFW_E_NOT_CONNECTED;
    return m_Connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    if (!m_Connected) return VFW_E_NOT_CONNECTED;
    return m_Connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    if (!m_Connected) return VFW_E_NOT_CONNECTED;
    return m_Connected->NewSegment(tStart, tStop, dRate);
}

HRESULT CBaseOutputPin::Active() {
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
    return m_pAllocator ? m_pAllocator->Decommit() : S_OK;
}
