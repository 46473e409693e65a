// The filter graph manager's automation interfaces: media control and media events.
#pragma once

#include "oaidl.h"
#include "strmif.h"

typedef long OAFilterState; // a FILTER_STATE value
typedef LONG_PTR OAEVENT;   // an event HANDLE
typedef LONG_PTR OAHWND;

DEFINE_GUID(IID_IMediaControl, 0x56a868b1, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaEvent, 0x56a868b6, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaEventEx, 0x56a868c0, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);

#define AM_MEDIAEVENT_NONOTIFY 0x01

struct IMediaControl : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Run() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState* pfs) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenderFile(BSTR strFilename) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR strFilename, IDispatch** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FilterCollection(IDispatch** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IDispatch** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopWhenReady() = 0;

protected:
    ~IMediaControl() = default;
};

struct IMediaEvent : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetEventHandle(OAEVENT* hEvent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEvent(long* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                                               long msTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitForCompletion(long msTimeout, long* pEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelDefaultHandling(long lEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE RestoreDefaultHandling(long lEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE FreeEventParams(long lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;

protected:
    ~IMediaEvent() = default;
};

struct IMediaEventEx : public IMediaEvent {
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, long lMsg, LONG_PTR lInstanceData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNotifyFlags(long lNoNotifyFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNotifyFlags(long* lplNoNotifyFlags) = 0;

protected:
    ~IMediaEventEx() = default;
};
