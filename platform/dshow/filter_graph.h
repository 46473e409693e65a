// Filter Graph: the filter graph manager (IGraphBuilder, IMediaControl, IMediaEventEx,
// IMediaEventSink, IMediaFilter).
//
// Choices where DirectShow's documentation leaves room:
// - State changes go from the renderers upstream (each filter after every filter downstream of it);
//   Run starts the filters 10 ms after the clock's current time.
// - On the first pause the graph picks a clock unless one was set: a filter that is a clock, else the
//   System Reference Clock; it hands it to every filter. SetSyncSource(NULL) runs without a clock.
// - Connect tries the pins directly, then filters already in the graph with a free input pin, then
//   registered filters of merit above MERIT_DO_NOT_USE whose input takes one of the output's types,
//   highest merit first, through up to three intermediate filters. Render does the same for a pin
//   with registered filters until it reaches filters with no outputs.
// - Reconnect reconnects a pin and its peer at once, renegotiating the type; the graph must be
//   stopped (VFW_E_NOT_STOPPED otherwise). RemoveFilter stops a filter of a running graph first and
//   disconnects its pins.
// - EC_COMPLETE is handled by default: one EC_COMPLETE reaches the application when every renderer
//   (a filter without output pins) has sent it; CancelDefaultHandling passes each one through.
// - EnumFilters lists the filters in the order they were added.
//
// Lock order, for the graph and every filter in it (a lock may be taken while holding only locks
// above it in this list, never one below it):
//   1. the graph lock (filters, connections, state), held while the graph calls into its filters;
//   2. filter locks (CBaseFilter), an upstream filter's before a downstream filter's (connecting,
//      flushing), the filter's own before its pins' allocators;
//   3. streaming locks (CBaseFilter::StreamingLock), an upstream filter's before a downstream one's
//      (a sample is delivered downstream while the upstream streaming lock is held);
//   4. the event lock (the event queue), taken by Notify, which any thread may call holding any of the
//      above; nothing is called with it held, so it is last.
// A streaming thread never takes the graph lock or a filter lock while it holds a streaming lock.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <control.h>
#include <strmif.h>

#include "platform/com/unknown.h"
#include "platform/win32/com_ptr.h"

namespace platform::dshow {

class CFilterGraph final : public CUnknown,
                           public IGraphBuilder,
                           public IMediaControl,
                           public IMediaEventEx,
                           public IMediaEventSink,
                           public IMediaFilter {
public:
    explicit CFilterGraph(LPUNKNOWN pUnk);
    ~CFilterGraph() override;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IFilterGraph
    STDMETHODIMP AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
    STDMETHODIMP RemoveFilter(IBaseFilter* pFilter) override;
    STDMETHODIMP EnumFilters(IEnumFilters** ppEnum) override;
    STDMETHODIMP FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override;
    STDMETHODIMP ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Reconnect(IPin* ppin) override;
    STDMETHODIMP Disconnect(IPin* ppin) override;
    STDMETHODIMP SetDefaultSyncSource() override;
    // IGraphBuilder
    STDMETHODIMP Connect(IPin* ppinOut, IPin* ppinIn) override;
    STDMETHODIMP Render(IPin* ppinOut) override;
    STDMETHODIMP RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
    STDMETHODIMP AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                                 IBaseFilter** ppFilter) override;
    STDMETHODIMP SetLogFile(DWORD_PTR hFile) override;
    STDMETHODIMP Abort() override;
    STDMETHODIMP ShouldOperationContinue() override;
    // IDispatch (of IMediaControl and IMediaEventEx): no type information here.
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    // IMediaControl (Stop and Pause serve IMediaFilter too)
    STDMETHODIMP Run() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP GetState(LONG msTimeout, OAFilterState* pfs) override;
    STDMETHODIMP RenderFile(BSTR strFilename) override;
    STDMETHODIMP AddSourceFilter(BSTR strFilename, IDispatch** ppUnk) override;
    STDMETHODIMP get_FilterCollection(IDispatch** ppUnk) override;
    STDMETHODIMP get_RegFilterCollection(IDispatch** ppUnk) override;
    STDMETHODIMP StopWhenReady() override;
    // IMediaEvent / IMediaEventEx
    STDMETHODIMP GetEventHandle(OAEVENT* hEvent) override;
    STDMETHODIMP GetEvent(long* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, long msTimeout) override;
    STDMETHODIMP WaitForCompletion(long msTimeout, long* pEvCode) override;
    STDMETHODIMP CancelDefaultHandling(long lEvCode) override;
    STDMETHODIMP RestoreDefaultHandling(long lEvCode) override;
    STDMETHODIMP FreeEventParams(long lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) override;
    STDMETHODIMP SetNotifyWindow(OAHWND hwnd, long lMsg, LONG_PTR lInstanceData) override;
    STDMETHODIMP SetNotifyFlags(long lNoNotifyFlags) override;
    STDMETHODIMP GetNotifyFlags(long* lplNoNotifyFlags) override;
    // IMediaEventSink
    STDMETHODIMP Notify(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) override;
    // IMediaFilter
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;

private:
    struct Entry {
        ComPtr<IBaseFilter> filter;
        std::wstring name;
    };
    struct Event {
        long code;
        LONG_PTR param1, param2;
    };

    // With the graph lock held.
    bool contains(IBaseFilter* filter) const;
    bool pinInGraph(IPin* pin) const;
    std::vector<ComPtr<IBaseFilter>> downstreamFirst() const;
    HRESULT changeState(FILTER_STATE target, REFERENCE_TIME tStart);
    HRESULT chooseClock();
    HRESULT connectThrough(IPin* out, IPin* in, int depth);
    HRESULT tryIntermediate(IBaseFilter* filter, IPin* out, IPin* in, int depth);
    HRESULT renderFrom(IPin* out, int depth);
    void post(long code, LONG_PTR p1, LONG_PTR p2);

    std::recursive_mutex graphLock_;
    std::vector<Entry> filters_;
    FILTER_STATE state_ = State_Stopped;
    ComPtr<IReferenceClock> clock_;
    bool clockChosen_ = false;    // a clock (or none) was set or picked
    REFERENCE_TIME pausedAt_ = 0; // stream time reached when paused, 100 ns
    REFERENCE_TIME start_ = 0;    // reference time of stream time 0
    size_t renderers_ = 0;

    std::mutex eventLock_;
    std::condition_variable eventArrived_;
    std::deque<Event> events_;
    HANDLE eventHandle_ = nullptr; // set while events_ is not empty
    std::set<LONG_PTR> completed_; // renderers that sent EC_COMPLETE in this run
    bool completeDefault_ = true;
    bool finished_ = false;
    long finishCode_ = 0;
    long notifyFlags_ = 0;
};

} // namespace platform::dshow
