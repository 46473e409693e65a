// CBaseFilter: a filter's identity, its pins, its graph and clock, and the state machine.
//
// How to derive: give the constructor a critical section for the filter lock (it outlives the base),
// implement GetPinCount and GetPin, and override only the hooks of the transitions:
//   StartStreaming  leaving Stopped, before the pins go active (allocators are committed after it);
//   StopStreaming   entering Stopped, after every pin went inactive;
//   WaitForState    asked by GetState while paused or running, to report an unfinished transition
//                   (VFW_S_STATE_INTERMEDIATE) or a live source (VFW_S_CANT_CUE, which Pause answers
//                   too);
//   StreamingLock   the lock that the streaming thread holds while it works on a sample, if any.
// Stop, Pause, Run and GetState are not to be overridden: they run under the filter lock and keep the
// order every filter relies on. Stop makes the input pins inactive first, so no new sample is
// accepted, then takes the streaming lock, so a sample in progress is finished, then makes the output
// pins inactive (decommitting their allocators) and calls StopStreaming.
//
// Lock order (the whole order, with the graph's locks, is in filter_graph.h): the graph lock, then the
// filter lock, then the streaming lock, then the graph's event lock (NotifyEvent). A thread holding
// the streaming lock must never take the filter lock; enumerating or finding pins (GetPin) may take the
// filter lock, so neither may be done under the streaming lock either. Across filters, upstream
// before downstream, for filter locks and streaming locks alike.
#pragma once

#include <atomic>
#include <string>

#include <strmif.h>

#include "platform/com/unknown.h"
#include "platform/dshow/crit_sec.h"
#include "platform/dshow/filter_setup.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter {
public:
    CBaseFilter(LPCWSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid);
    ~CBaseFilter() override;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* pClsID) override;
    // IMediaFilter
    STDMETHODIMP Stop() final;
    STDMETHODIMP Pause() final;
    STDMETHODIMP Run(REFERENCE_TIME tStart) final;
    STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) final;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;

    // Pins, owned by the derived filter.
    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int n) = 0;
    // Changes whenever pins come or go, so pin enumerators notice.
    LONG GetPinVersion() const { return m_PinVersion; }
    void IncrementPinVersion() { ++m_PinVersion; }

    // Sends an event to the graph (EC_COMPLETE carries this filter as its second parameter).
    HRESULT NotifyEvent(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2);

    BOOL IsActive();
    BOOL IsStopped();
    // The graph the filter is in (no reference is held), or null.
    IFilterGraph* GetFilterGraph() { return m_pGraph; }
    LPCWSTR FilterName() const { return m_pName.c_str(); }
    virtual LPAMOVIESETUP_FILTER GetSetupData() { return nullptr; }

    // Transition hooks (see above).
    virtual HRESULT StartStreaming() { return S_OK; }
    virtual HRESULT StopStreaming() { return S_OK; }

protected:
    virtual HRESULT WaitForState(DWORD dwMilliSecsTimeout);
    virtual CCritSec* StreamingLock() { return nullptr; }

    // Written under the filter lock; atomic because input pins read it on streaming threads.
    std::atomic<FILTER_STATE> m_State{State_Stopped};
    IReferenceClock* m_pClock = nullptr; // with a reference
    REFERENCE_TIME m_tStart = 0;         // stream time 0 on the reference clock
    CLSID m_clsid;
    CCritSec* m_pLock;
    std::wstring m_pName;
    IFilterGraph* m_pGraph = nullptr;   // no reference: the graph holds the filter
    IMediaEventSink* m_pSink = nullptr; // no reference, as m_pGraph; accessed atomically
    LONG m_PinVersion = 1;
};
