#include "platform/dshow/filter_graph.h"

#include <algorithm>
#include <chrono>
#include <cwchar>

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <windows.h>

#include "platform/com/com_api.h"
#include "platform/dshow/pin_walk.h"
#include "platform/dshow/system_classes.h"
#include "platform/win32/debug.h"

namespace platform::dshow {
namespace {

class CEnumFilters final : public CUnknown, public IEnumFilters {
public:
    CEnumFilters(std::vector<ComPtr<IBaseFilter>> filters, ULONG position)
        : CUnknown(L"CEnumFilters", nullptr), filters_(std::move(filters)), position_(position) {}
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IEnumFilters) return GetInterface(static_cast<IEnumFilters*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP Next(ULONG c, IBaseFilter** pp, ULONG* fetched) override {
        if (!pp || (c > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < c && position_ < filters_.size()) filters_[position_++].copyTo(&pp[n++]);
        if (fetched) *fetched = n;
        return n == c ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG c) override {
        ULONG left = static_cast<ULONG>(filters_.size()) - position_;
        position_ += std::min(c, left);
        return c <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumFilters** pp) override {
        if (!pp) return E_POINTER;
        auto* e = new (std::nothrow) CEnumFilters(filters_, position_);
        if (!e) return E_OUTOFMEMORY;
        return e->NonDelegatingQueryInterface(IID_IEnumFilters, reinterpret_cast<void**>(pp));
    }

private:
    std::vector<ComPtr<IBaseFilter>> filters_;
    ULONG position_;
};

} // namespace

CFilterGraph::CFilterGraph(LPUNKNOWN pUnk) : CUnknown(L"Filter Graph", pUnk) {
    eventHandle_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CFilterGraph::~CFilterGraph() {
    Stop();
    for (auto& e : filters_) {
        for (auto& pin : pinsOf(e.filter.get())) {
            ComPtr<IPin> peer;
            if (SUCCEEDED(pin->ConnectedTo(peer.put()))) peer->Disconnect();
            pin->Disconnect();
        }
        e.filter->JoinFilterGraph(nullptr, nullptr);
    }
    filters_.clear();
    if (eventHandle_) CloseHandle(eventHandle_);
}

STDMETHODIMP CFilterGraph::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IFilterGraph || riid == IID_IGraphBuilder)
        return GetInterface(static_cast<IGraphBuilder*>(this), ppv);
    if (riid == IID_IMediaControl) return GetInterface(static_cast<IMediaControl*>(this), ppv);
    if (riid == IID_IMediaEvent || riid == IID_IMediaEventEx)
        return GetInterface(static_cast<IMediaEventEx*>(this), ppv);
    if (riid == IID_IMediaEventSink) return GetInterface(static_cast<IMediaEventSink*>(this), ppv);
    if (riid == IID_IMediaFilter || riid == IID_IPersist)
        return GetInterface(static_cast<IMediaFilter*>(this), ppv);
    if (riid == IID_IDispatch) return GetInterface(static_cast<IMediaControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool CFilterGraph::contains(IBaseFilter* filter) const {
    for (auto& e : filters_)
        if (e.filter.get() == filter) return true;
    return false;
}

bool CFilterGraph::pinInGraph(IPin* pin) const {
    ComPtr<IBaseFilter> owner = ownerOf(pin);
    return owner && contains(owner.get());
}

// ---- IFilterGraph ----

STDMETHODIMP CFilterGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR pName) {
    if (!pFilter) return E_POINTER;
    std::lock_guard lock(graphLock_);
    if (contains(pFilter)) return E_INVALIDARG;
    std::wstring base = pName && *pName ? pName : L"Filter";
    std::wstring name = base;
    HRESULT result = S_OK;
    auto taken = [&](const std::wstring& n) {
        return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.name == n; });
    };
    for (int n = 1; taken(name); ++n) {
        if (n > 9999) return VFW_E_DUPLICATE_NAME;
        WCHAR suffix[8];
        std::swprintf(suffix, 8, L" %04d", n);
        name = base + suffix;
        result = VFW_S_DUPLICATE_NAME;
    }
    if (HRESULT hr = pFilter->JoinFilterGraph(this, name.c_str()); FAILED(hr)) return hr;
    filters_.push_back({ComPtr<IBaseFilter>(pFilter), name});
    if (clock_) pFilter->SetSyncSource(clock_.get());
    TRACE("dshow", "added %s", ToUtf8(name).c_str());
    return result;
}

STDMETHODIMP CFilterGraph::RemoveFilter(IBaseFilter* pFilter) {
    if (!pFilter) return E_POINTER;
    std::lock_guard lock(graphLock_);
    auto it = std::find_if(filters_.begin(), filters_.end(),
                           [&](const Entry& e) { return e.filter.get() == pFilter; });
    if (it == filters_.end()) return VFW_E_NOT_FOUND;
    ComPtr<IBaseFilter> keep = it->filter;
    if (state_ != State_Stopped) keep->Stop();
    for (auto& pin : pinsOf(keep.get())) {
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->ConnectedTo(peer.put()))) {
            peer->Disconnect();
            pin->Disconnect();
        }
    }
    filters_.erase(it);
    keep->SetSyncSource(nullptr);
    keep->JoinFilterGraph(nullptr, nullptr);
    return S_OK;
}

STDMETHODIMP CFilterGraph::EnumFilters(IEnumFilters** ppEnum) {
    if (!ppEnum) return E_POINTER;
    std::lock_guard lock(graphLock_);
    std::vector<ComPtr<IBaseFilter>> list;
    for (auto& e : filters_) list.push_back(e.filter);
    auto* e = new (std::nothrow) CEnumFilters(std::move(list), 0);
    if (!e) return E_OUTOFMEMORY;
    return e->NonDelegatingQueryInterface(IID_IEnumFilters, reinterpret_cast<void**>(ppEnum));
}

STDMETHODIMP CFilterGraph::FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) {
    if (!pName || !ppFilter) return E_POINTER;
    *ppFilter = nullptr;
    std::lock_guard lock(graphLock_);
    for (auto& e : filters_) {
        if (e.name == pName) {
            e.filter.copyTo(ppFilter);
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CFilterGraph::ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) {
    if (!ppinOut || !ppinIn) return E_POINTER;
    std::lock_guard lock(graphLock_);
    if (!pinInGraph(ppinOut) || !pinInGraph(ppinIn)) return VFW_E_NOT_IN_GRAPH;
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (directionOf(ppinOut) != PINDIR_OUTPUT || directionOf(ppinIn) != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    return ppinOut->Connect(ppinIn, pmt);
}

STDMETHODIMP CFilterGraph::Reconnect(IPin* ppin) {
    if (!ppin) return E_POINTER;
    std::lock_guard lock(graphLock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IPin> peer;
    if (FAILED(ppin->ConnectedTo(peer.put()))) return VFW_E_NOT_CONNECTED;
    IPin* out = directionOf(ppin) == PINDIR_OUTPUT ? ppin : peer.get();
    IPin* in = out == ppin ? peer.get() : ppin;
    out->Disconnect();
    in->Disconnect();
    return ConnectDirect(out, in, nullptr);
}

STDMETHODIMP CFilterGraph::Disconnect(IPin* ppin) {
    if (!ppin) return E_POINTER;
    std::lock_guard lock(graphLock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    return ppin->Disconnect();
}

STDMETHODIMP CFilterGraph::SetDefaultSyncSource() {
    std::lock_guard lock(graphLock_);
    ComPtr<IReferenceClock> chosen;
    for (auto& e : filters_)
        if (SUCCEEDED(e.filter.as(IID_IReferenceClock, chosen))) break;
    if (!chosen) {
        HRESULT hr = CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                      chosen.putVoid());
        if (FAILED(hr)) return hr;
    }
    return SetSyncSource(chosen.get());
}

// ---- state ----

std::vector<ComPtr<IBaseFilter>> CFilterGraph::downstreamFirst() const {
    std::vector<ComPtr<IBaseFilter>> order, pending;
    for (auto& e : filters_) pending.push_back(e.filter);
    auto downstreamOf = [](IBaseFilter* f) {
        std::vector<ComPtr<IBaseFilter>> next;
        for (auto& pin : pinsOf(f)) {
            ComPtr<IPin> peer;
            if (directionOf(pin.get()) == PINDIR_OUTPUT && SUCCEEDED(pin->ConnectedTo(peer.put())))
                if (auto owner = ownerOf(peer.get())) next.push_back(owner);
        }
        return next;
    };
    while (!pending.empty()) {
        bool progressed = false;
        for (auto it = pending.begin(); it != pending.end();) {
            bool ready = true;
            for (auto& d : downstreamOf(it->get()))
                if (std::find(order.begin(), order.end(), d) == order.end() &&
                    std::find(pending.begin(), pending.end(), d) != pending.end())
                    ready = false;
            if (ready) {
                order.push_back(*it);
                it = pending.erase(it);
                progressed = true;
            } else {
                ++it;
            }
        }
        if (!progressed) { // a cycle: take the rest as they are
            order.insert(order.end(), pending.begin(), pending.end());
            break;
        }
    }
    return order;
}

HRESULT CFilterGraph::chooseClock() {
    if (clockChosen_) return S_OK;
    HRESULT hr = SetDefaultSyncSource();
    if (FAILED(hr)) WARN("dshow", "no reference clock (%#x): running without one", static_cast<unsigned>(hr));
    clockChosen_ = true;
    return S_OK;
}

HRESULT CFilterGraph::changeState(FILTER_STATE target, REFERENCE_TIME tStart) {
    std::lock_guard lock(graphLock_);
    if (target != State_Stopped) chooseClock();
    if (state_ == State_Stopped && target != State_Stopped) {
        // Pins are counted before the event lock is taken: enumerating them takes filter locks.
        size_t renderers = 0;
        for (auto& e : filters_) {
            bool hasOutput = false, hasInput = false;
            for (auto& pin : pinsOf(e.filter.get()))
                (directionOf(pin.get()) == PINDIR_OUTPUT ? hasOutput : hasInput) = true;
            if (hasInput && !hasOutput) ++renderers;
        }
        std::lock_guard events(eventLock_);
        completed_.clear();
        finished_ = false;
        renderers_ = renderers;
    }
    HRESULT result = S_OK;
    auto order = downstreamFirst();
    if (target == State_Running && state_ == State_Stopped) {
        if (HRESULT hr = changeState(State_Paused, 0); FAILED(hr)) return hr;
    }
    for (auto& f : order) {
        HRESULT hr = target == State_Stopped  ? f->Stop()
                     : target == State_Paused ? f->Pause()
                                              : f->Run(tStart);
        if (FAILED(hr)) {
            WARN("dshow", "a filter refused the state change: %#x", static_cast<unsigned>(hr));
            if (target != State_Stopped) {
                for (auto& g : order) g->Stop();
                state_ = State_Stopped;
                return hr;
            }
            result = hr;
        } else if (hr != S_OK && SUCCEEDED(result)) {
            result = hr;
        }
    }
    state_ = target;
    return result == S_OK || FAILED(result) ? result : S_FALSE;
}

STDMETHODIMP CFilterGraph::Run() {
    std::lock_guard lock(graphLock_);
    if (state_ == State_Running) return S_OK;
    chooseClock();
    REFERENCE_TIME now = 0;
    if (clock_) clock_->GetTime(&now);
    // Stream time goes on from where a pause left it.
    start_ = now + 10 * 10000 - pausedAt_;
    return changeState(State_Running, start_);
}

STDMETHODIMP CFilterGraph::Pause() {
    std::lock_guard lock(graphLock_);
    if (state_ == State_Running && clock_) {
        REFERENCE_TIME now = 0;
        clock_->GetTime(&now);
        pausedAt_ = now - start_;
    }
    return changeState(State_Paused, 0);
}

STDMETHODIMP CFilterGraph::Stop() {
    std::lock_guard lock(graphLock_);
    pausedAt_ = 0;
    return changeState(State_Stopped, 0);
}

STDMETHODIMP CFilterGraph::GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) {
    if (!State) return E_POINTER;
    std::lock_guard lock(graphLock_);
    *State = state_;
    HRESULT result = S_OK;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliSecsTimeout);
    for (auto& e : filters_) {
        DWORD left = 0;
        if (dwMilliSecsTimeout == INFINITE) {
            left = INFINITE;
        } else {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                            std::chrono::steady_clock::now());
            left = ms.count() > 0 ? static_cast<DWORD>(ms.count()) : 0;
        }
        FILTER_STATE s;
        HRESULT hr = e.filter->GetState(left, &s);
        if (FAILED(hr)) return hr;
        if (hr == VFW_S_STATE_INTERMEDIATE)
            result = hr;
        else if (hr == VFW_S_CANT_CUE && result == S_OK)
            result = hr;
    }
    return result;
}

STDMETHODIMP CFilterGraph::GetState(LONG msTimeout, OAFilterState* pfs) {
    if (!pfs) return E_POINTER;
    FILTER_STATE s;
    HRESULT hr = GetState(static_cast<DWORD>(msTimeout), &s);
    *pfs = s;
    return hr;
}

STDMETHODIMP CFilterGraph::Run(REFERENCE_TIME tStart) {
    std::lock_guard lock(graphLock_);
    start_ = tStart;
    return changeState(State_Running, tStart);
}

STDMETHODIMP CFilterGraph::SetSyncSource(IReferenceClock* pClock) {
    std::lock_guard lock(graphLock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    for (auto& e : filters_) e.filter->SetSyncSource(pClock);
    clock_ = ComPtr<IReferenceClock>(pClock);
    clockChosen_ = true;
    post(EC_CLOCK_CHANGED, 0, 0);
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetSyncSource(IReferenceClock** pClock) {
    if (!pClock) return E_POINTER;
    std::lock_guard lock(graphLock_);
    clock_.copyTo(pClock);
    return clock_ ? S_OK : S_FALSE;
}

STDMETHODIMP CFilterGraph::GetClassID(CLSID* pClassID) {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_FilterGraph;
    return S_OK;
}

STDMETHODIMP CFilterGraph::StopWhenReady() {
    return Stop();
}

// ---- events ----

void CFilterGraph::post(long code, LONG_PTR p1, LONG_PTR p2) {
    std::lock_guard lock(eventLock_);
    events_.push_back({code, p1, p2});
    if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) {
        finished_ = true;
        finishCode_ = code;
    }
    if (eventHandle_) SetEvent(eventHandle_);
    eventArrived_.notify_all();
}

STDMETHODIMP CFilterGraph::Notify(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    TRACE("dshow", "event %#lx", EventCode);
    if (EventCode == EC_COMPLETE) {
        bool all;
        {
            std::lock_guard lock(eventLock_);
            if (!completeDefault_) {
                all = true;
            } else {
                completed_.insert(EventParam2);
                all = completed_.size() >= std::max<size_t>(renderers_, 1);
                if (!all) return S_OK;
                EventParam2 = 0;
            }
        }
        if (all) post(EC_COMPLETE, EventParam1, EventParam2);
        return S_OK;
    }
    post(EventCode, EventParam1, EventParam2);
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetEventHandle(OAEVENT* hEvent) {
    if (!hEvent) return E_POINTER;
    *hEvent = reinterpret_cast<OAEVENT>(eventHandle_);
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetEvent(long* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, long msTimeout) {
    if (!lEventCode || !lParam1 || !lParam2) return E_POINTER;
    std::unique_lock lock(eventLock_);
    auto ready = [&] { return !events_.empty(); };
    if (msTimeout < 0)
        eventArrived_.wait(lock, ready);
    else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), ready))
        return E_ABORT;
    Event e = events_.front();
    events_.pop_front();
    if (events_.empty() && eventHandle_) ResetEvent(eventHandle_);
    *lEventCode = e.code;
    *lParam1 = e.param1;
    *lParam2 = e.param2;
    return S_OK;
}

STDMETHODIMP CFilterGraph::WaitForCompletion(long msTimeout, long* pEvCode) {
    if (!pEvCode) return E_POINTER;
    *pEvCode = 0;
    {
        std::lock_guard lock(graphLock_);
        if (state_ != State_Running) return VFW_E_WRONG_STATE;
    }
    std::unique_lock lock(eventLock_);
    auto done = [&] { return finished_; };
    if (msTimeout < 0)
        eventArrived_.wait(lock, done);
    else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), done))
        return E_ABORT;
    *pEvCode = finishCode_;
    return S_OK;
}

STDMETHODIMP CFilterGraph::CancelDefaultHandling(long lEvCode) {
    if (lEvCode != EC_COMPLETE) return S_FALSE;
    std::lock_guard lock(eventLock_);
    completeDefault_ = false;
    return S_OK;
}

STDMETHODIMP CFilterGraph::RestoreDefaultHandling(long lEvCode) {
    if (lEvCode != EC_COMPLETE) return S_FALSE;
    std::lock_guard lock(eventLock_);
    completeDefault_ = true;
    return S_OK;
}

STDMETHODIMP CFilterGraph::FreeEventParams(long, LONG_PTR, LONG_PTR) {
    return S_OK;
}

// There is no message queue to post to; the window is accepted and never notified.
STDMETHODIMP CFilterGraph::SetNotifyWindow(OAHWND, long, LONG_PTR) {
    return S_OK;
}

STDMETHODIMP CFilterGraph::SetNotifyFlags(long lNoNotifyFlags) {
    if (lNoNotifyFlags & ~AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
    notifyFlags_ = lNoNotifyFlags;
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetNotifyFlags(long* lplNoNotifyFlags) {
    if (!lplNoNotifyFlags) return E_POINTER;
    *lplNoNotifyFlags = notifyFlags_;
    return S_OK;
}

// ---- the rest of IGraphBuilder, IMediaControl and IDispatch ----

STDMETHODIMP CFilterGraph::RenderFile(LPCWSTR, LPCWSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP CFilterGraph::AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter** ppFilter) {
    if (ppFilter) *ppFilter = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CFilterGraph::SetLogFile(DWORD_PTR) {
    return S_OK;
}
STDMETHODIMP CFilterGraph::Abort() {
    return S_OK;
}
STDMETHODIMP CFilterGraph::ShouldOperationContinue() {
    return S_OK;
}
STDMETHODIMP CFilterGraph::RenderFile(BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP CFilterGraph::AddSourceFilter(BSTR, IDispatch** ppUnk) {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CFilterGraph::get_FilterCollection(IDispatch** ppUnk) {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CFilterGraph::get_RegFilterCollection(IDispatch** ppUnk) {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CFilterGraph::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}
STDMETHODIMP CFilterGraph::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}
STDMETHODIMP CFilterGraph::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}
STDMETHODIMP CFilterGraph::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

CUnknown* WINAPI CreateFilterGraph(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CFilterGraph>(phr, pUnk);
}

} // namespace platform::dshow
