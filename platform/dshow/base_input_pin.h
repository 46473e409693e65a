// CBaseInputPin: an input pin that receives samples through IMemInputPin.
//
// How to derive: implement CheckMediaType and EndOfStream; override Receive, call the base first (it
// refuses samples while stopped, flushing or after a runtime error, and takes a changed media type),
// then work on the sample. Samples arrive on the upstream filter's streaming thread.
#pragma once

#include <atomic>

#include "platform/dshow/base_pin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, LPCWSTR pName);
    ~CBaseInputPin() override;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    HRESULT BreakConnect() override;
    HRESULT Inactive() override;
    // S_OK when a sample may be processed now, S_FALSE while flushing, else the reason it may not.
    virtual HRESULT CheckStreaming();

    BOOL IsFlushing() const { return m_bFlushing; }
    BOOL IsReadOnly() const { return m_bReadOnly; }

protected:
    IMemAllocator* m_pAllocator = nullptr; // with a reference
    bool m_bReadOnly = false;
    // Set under the filter lock, read by Receive on the upstream streaming thread.
    std::atomic<bool> m_bFlushing{false};
    std::atomic<bool> m_bRunTimeError{false};
};
