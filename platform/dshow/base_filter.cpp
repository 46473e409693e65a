#include "platform/dshow/base_filter.h"

#include <atomic>
#include <cwchar>
#include <new>

#include <evcode.h>
#include <vfwmsgs.h>

#include "platform/dshow/base_pin.h"
#include "platform/dshow/enum_pins.h"
#include "platform/win32/debug.h"

CBaseFilter::CBaseFilter(LPCWSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid)
    : CUnknown(pName, pUnk), m_clsid(clsid), m_pLock(pLock) {}

CBaseFilter::~CBaseFilter() {
    if (m_pClock) m_pClock->Release();
}

STDMETHODIMP CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist)
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID* pClsID) {
    if (!pClsID) return E_POINTER;
    *pClsID = m_clsid;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Stop() {
    CAutoLock lock(m_pLock);
    TRACE("dshow", "%s", platform::ToUtf8(m_pName).c_str());
    HRESULT result = S_OK;
    if (m_State != State_Stopped) {
        auto deactivate = [&](PIN_DIRECTION which) {
            for (int i = 0; i < GetPinCount(); ++i) {
                CBasePin* pin = GetPin(i);
                if (pin && pin->IsConnected() && pin->Direction() == which) {
                    HRESULT hr = pin->Inactive();
                    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
                }
            }
        };
        deactivate(PINDIR_INPUT);
        CAutoLock streaming(StreamingLock());
        deactivate(PINDIR_OUTPUT);
        HRESULT hr = StopStreaming();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    m_State = State_Stopped;
    return result;
}

STDMETHODIMP CBaseFilter::Pause() {
    CAutoLock lock(m_pLock);
    TRACE("dshow", "%s", platform::ToUtf8(m_pName).c_str());
    if (m_State == State_Stopped) {
        {
            CAutoLock streaming(StreamingLock());
            if (HRESULT hr = StartStreaming(); FAILED(hr)) return hr;
        }
        for (int i = 0; i < GetPinCount(); ++i) {
            CBasePin* pin = GetPin(i);
            if (!pin || !pin->IsConnected()) continue;
            if (HRESULT hr = pin->Active(); FAILED(hr)) {
                for (int j = 0; j < i; ++j)
                    if (CBasePin* p = GetPin(j); p && p->IsConnected()) p->Inactive();
                CAutoLock streaming(StreamingLock());
                StopStreaming();
                return hr;
            }
        }
    } else if (m_State == State_Running) {
        for (int i = 0; i < GetPinCount(); ++i)
            if (CBasePin* pin = GetPin(i); pin && pin->IsConnected()) pin->PauseFromRunning();
    }
    m_State = State_Paused;
    // A live source cannot cue data while paused and says so.
    return WaitForState(0) == VFW_S_CANT_CUE ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(m_pLock);
    TRACE("dshow", "%s at %lld", platform::ToUtf8(m_pName).c_str(), static_cast<long long>(tStart));
    m_tStart = tStart;
    if (m_State == State_Stopped)
        if (HRESULT hr = Pause(); FAILED(hr)) return hr;
    if (m_State != State_Running) {
        for (int i = 0; i < GetPinCount(); ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected())
                if (HRESULT hr = pin->Run(tStart); FAILED(hr)) return hr;
        }
    }
    m_State = State_Running;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) {
    if (!State) return E_POINTER;
    {
        CAutoLock lock(m_pLock);
        *State = m_State;
        if (m_State == State_Stopped) return S_OK;
    }
    return WaitForState(dwMilliSecsTimeout);
}

HRESULT CBaseFilter::WaitForState(DWORD) {
    return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
    CAutoLock lock(m_pLock);
    if (pClock) pClock->AddRef();
    if (m_pClock) m_pClock->Release();
    m_pClock = pClock;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
    if (!pClock) return E_POINTER;
    CAutoLock lock(m_pLock);
    *pClock = m_pClock;
    if (m_pClock) m_pClock->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    auto* e = new (std::nothrow) CEnumPins(this, nullptr);
    if (!e) return E_OUTOFMEMORY;
    return e->NonDelegatingQueryInterface(IID_IEnumPins, reinterpret_cast<void**>(ppEnum));
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (!Id || !ppPin) return E_POINTER;
    *ppPin = nullptr;
    CAutoLock lock(m_pLock);
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* pin = GetPin(i);
        LPWSTR pinId = nullptr;
        if (!pin || FAILED(pin->QueryId(&pinId))) continue;
        bool match = std::wcscmp(pinId, Id) == 0;
        CoTaskMemFree(pinId);
        if (match) {
            *ppPin = pin;
            pin->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    CAutoLock lock(m_pLock);
    std::wcsncpy(pInfo->achName, m_pName.c_str(), MAX_FILTER_NAME - 1);
    pInfo->achName[MAX_FILTER_NAME - 1] = L'\0';
    pInfo->pGraph = m_pGraph;
    if (m_pGraph) m_pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    CAutoLock lock(m_pLock);
    m_pGraph = pGraph;
    IMediaEventSink* sink = nullptr;
    if (pGraph && SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))))
        sink->Release(); // the graph outlives its filters' membership
    std::atomic_ref<IMediaEventSink*>(m_pSink).store(sink, std::memory_order_release);
    m_pName = pName ? pName : L"";
    return S_OK;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR*) {
    return E_NOTIMPL;
}

HRESULT CBaseFilter::NotifyEvent(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    // Streaming threads send events without the filter lock (they may hold the streaming lock, which
    // comes after it), so the sink is read atomically.
    IMediaEventSink* sink = std::atomic_ref<IMediaEventSink*>(m_pSink).load(std::memory_order_acquire);
    if (!sink) return E_NOTIMPL;
    if (EventCode == EC_COMPLETE && EventParam2 == 0)
        EventParam2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    return sink->Notify(EventCode, EventParam1, EventParam2);
}

BOOL CBaseFilter::IsActive() {
    CAutoLock lock(m_pLock);
    return m_State != State_Stopped;
}

BOOL CBaseFilter::IsStopped() {
    return m_State == State_Stopped;
}
