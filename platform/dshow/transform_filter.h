// CTransformFilter: a filter with one input pin ("XForm In", found as "In") and one output pin
// ("XForm Out", found as "Out") that turns each input sample into a separate output sample.
//
// How to derive: implement the five must-overrides below. Receive (on the upstream streaming thread,
// with the streaming lock m_csReceive held) takes an output buffer, copies the input's times and flags
// onto it and calls Transform: S_OK delivers the output sample; S_FALSE drops it unseen downstream,
// marks the next delivered sample as a discontinuity and sends EC_QUALITY_CHANGE once per run; an
// error goes back upstream. End of stream, flushes and new segments pass downstream.
//
// Locks (see base_filter.h for the whole order): m_csFilter (filter lock) before m_csReceive (streaming
// lock); Transform runs under m_csReceive and must not take m_csFilter. Receive may send events
// (NotifyEvent) with m_csReceive held.
#pragma once

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_input_pin.h"
#include "platform/dshow/base_output_pin.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
public:
    CTransformInputPin(LPCWSTR pObjectName, CTransformFilter* pTransformFilter, LPCWSTR pName);

    STDMETHODIMP QueryId(LPWSTR* Id) override;
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT SetMediaType(const CMediaType* pmt) override;
    HRESULT CheckStreaming() override;
    HRESULT Active() override;

protected:
    CTransformFilter* m_pTransformFilter;
};

class CTransformOutputPin : public CBaseOutputPin {
public:
    CTransformOutputPin(LPCWSTR pObjectName, CTransformFilter* pTransformFilter, LPCWSTR pName);

    STDMETHODIMP QueryId(LPWSTR* Id) override;
    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;

    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT SetMediaType(const CMediaType* pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;

protected:
    CTransformFilter* m_pTransformFilter;
};

class CTransformFilter : public CBaseFilter {
public:
    CTransformFilter(LPCWSTR pName, LPUNKNOWN pUnk, REFCLSID clsid);
    ~CTransformFilter() override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;

    // ---- must override ----
    virtual HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) = 0;
    virtual HRESULT CheckInputType(const CMediaType* mtIn) = 0;
    virtual HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) = 0;
    virtual HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pprop) = 0;
    virtual HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) = 0;

    // ---- may override (each succeeds and does nothing unless said otherwise) ----
    HRESULT StartStreaming() override { return S_OK; }
    HRESULT StopStreaming() override { return S_OK; }
    // S_FALSE: not handled here, pass the quality message upstream.
    virtual HRESULT AlterQuality(Quality) { return S_FALSE; }
    virtual HRESULT SetMediaType(PIN_DIRECTION, const CMediaType*) { return S_OK; }
    virtual HRESULT CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }
    virtual HRESULT BreakConnect(PIN_DIRECTION) { return S_OK; }
    virtual HRESULT CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }
    virtual HRESULT Receive(IMediaSample* pSample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

protected:
    // A delivery buffer with the input sample's times and flags.
    HRESULT InitializeOutputSample(IMediaSample* pSample, IMediaSample** ppOutSample);
    CCritSec* StreamingLock() override { return &m_csReceive; }
    HRESULT WaitForState(DWORD) override { return S_OK; }

    friend class CTransformInputPin;
    friend class CTransformOutputPin;

    CCritSec m_csFilter;  // the filter lock
    CCritSec m_csReceive; // the streaming lock, held for each sample
    bool m_bEOSDelivered = false;
    bool m_bSampleSkipped = false;
    bool m_bQualityChanged = false;
    CTransformInputPin* m_pInput = nullptr;
    CTransformOutputPin* m_pOutput = nullptr;

private:
    bool createPins();
};
