// CBasePin: a pin's connection protocol, media types and segment.
//
// How to derive: implement CheckMediaType (S_OK for a type the pin takes) and, for a pin that proposes
// types, GetMediaType (VFW_S_NO_MORE_ITEMS past the last); override CheckConnect, CompleteConnect and
// BreakConnect to set up and tear down what a connection needs, calling the base first. A pin counts
// its references on its filter and lives as long as the filter.
//
// Connect agrees a type by trying, in order, the types the receiving pin proposes and then this pin's
// own (or the reverse with m_bTryMyTypesFirst), each filtered by the caller's partial type, until
// one is accepted by both sides. Connections and disconnections are refused with VFW_E_NOT_STOPPED
// while the filter is active. All of it runs under the filter lock.
#pragma once

#include <string>

#include <strmif.h>

#include "platform/com/unknown.h"
#include "platform/dshow/crit_sec.h"
#include "platform/dshow/media_type.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, LPCWSTR pName, PIN_DIRECTION dir);
    ~CBasePin() override;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPin
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR* Id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
    // IQualityControl
    STDMETHODIMP Notify(IBaseFilter* pSelf, Quality q) override;
    STDMETHODIMP SetSink(IQualityControl* piqc) override;

    // Must override.
    virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
    // May override.
    virtual HRESULT GetMediaType(int iPosition, CMediaType* pMediaType);
    virtual HRESULT SetMediaType(const CMediaType* pmt);
    virtual HRESULT CheckConnect(IPin* pPin);
    virtual HRESULT CompleteConnect(IPin* pReceivePin);
    virtual HRESULT BreakConnect();
    // Transitions of the filter, under its lock: stopped -> paused, -> stopped, -> running, and
    // running -> paused.
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }
    virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }
    virtual HRESULT PauseFromRunning() { return S_OK; }
    LONG GetMediaTypeVersion() const { return m_TypeVersion; }
    void IncrementTypeVersion() { ++m_TypeVersion; }

    BOOL IsConnected() const { return m_Connected != nullptr; }
    IPin* GetConnected() const { return m_Connected; } // no reference
    BOOL IsStopped();
    PIN_DIRECTION Direction() const { return m_dir; }
    LPCWSTR Name() const { return m_pName.c_str(); }
    const CMediaType& CurrentMediaType() const { return m_mt; }
    REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
    REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
    double CurrentRate() const { return m_dRate; }

protected:
    virtual HRESULT AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt);
    HRESULT TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum);
    HRESULT AttemptConnection(IPin* pReceivePin, const CMediaType* pmt);
    HRESULT DisconnectInternal();

    std::wstring m_pName;
    IPin* m_Connected = nullptr; // with a reference
    PIN_DIRECTION m_dir;
    CCritSec* m_pLock;
    CBaseFilter* m_pFilter;
    CMediaType m_mt;
    REFERENCE_TIME m_tStart = 0;
    REFERENCE_TIME m_tStop = 0x7FFFFFFFFFFFFFFFLL;
    double m_dRate = 1.0;
    IQualityControl* m_pQSink = nullptr; // no reference
    LONG m_TypeVersion = 1;
    bool m_bTryMyTypesFirst = false;
    bool m_bCanReconnectWhenActive = false;
};
