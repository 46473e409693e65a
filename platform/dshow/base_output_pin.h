// CBaseOutputPin: an output pin that delivers samples to a downstream IMemInputPin.
//
// How to derive: implement CheckMediaType, GetMediaType and DecideBufferSize (SetProperties on the
// allocator it is given). On connection the pin takes the downstream pin's allocator, or its own
// CMemAllocator when that fails, sizes it through DecideBufferSize and tells the downstream pin.
// Active commits the allocator and Inactive decommits it, which wakes a thread blocked in
// GetDeliveryBuffer.
#pragma once

#include "platform/dshow/base_pin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, LPCWSTR pName);
    ~CBaseOutputPin() override;

    virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* ppropInputRequest) = 0;

    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    virtual HRESULT DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc);
    virtual HRESULT InitAllocator(IMemAllocator** ppAlloc);
    virtual HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                      REFERENCE_TIME* pEndTime, DWORD dwFlags);
    virtual HRESULT Deliver(IMediaSample* pSample);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    // Not for output pins.
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }

protected:
    IMemAllocator* m_pAllocator = nullptr; // with a reference
    IMemInputPin* m_pInputPin = nullptr;   // the peer's, with a reference
};
