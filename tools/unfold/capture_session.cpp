#include "tools/unfold/capture_session.h"

#include <evcode.h>
#include <uuids.h>

namespace tools::unfold {

CaptureSession::~CaptureSession() {
    Stop();
    events_.reset();
    control_.reset();
    builder_.reset();
    graph_.reset();
    if (sink_) sink_->Release();
}

HRESULT CaptureSession::Open(IBaseFilter* device, CFrameSink::Consumer consumer) {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  graph_.putVoid());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICaptureGraphBuilder2, builder_.putVoid());
    if (SUCCEEDED(hr)) hr = builder_->SetFiltergraph(graph_.get());
    if (SUCCEEDED(hr)) hr = graph_->AddFilter(device, L"Video Capture");
    if (SUCCEEDED(hr)) {
        sink_ = new CFrameSink(std::move(consumer));
        sink_->AddRef();
        hr = graph_->AddFilter(sink_, L"Renderer");
    }
    if (SUCCEEDED(hr))
        hr = builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, device, nullptr, sink_);
    if (SUCCEEDED(hr)) hr = graph_.as(IID_IMediaControl, control_);
    if (SUCCEEDED(hr)) hr = graph_.as(IID_IMediaEvent, events_);
    return hr;
}

HRESULT CaptureSession::Run() {
    if (!control_) return E_UNEXPECTED;
    HRESULT hr = control_->Run();
    return FAILED(hr) ? hr : S_OK; // S_FALSE: still on its way to running
}

void CaptureSession::Stop() {
    if (control_) control_->Stop();
}

HRESULT CaptureSession::WaitForEvent(long ms, bool* ended) {
    *ended = false;
    if (!events_) return E_UNEXPECTED;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    HRESULT hr = events_->GetEvent(&code, &p1, &p2, ms);
    if (FAILED(hr)) return S_FALSE; // E_ABORT: no event within the time
    events_->FreeEventParams(code, p1, p2);
    if (code == EC_COMPLETE) {
        *ended = true;
        return S_OK;
    }
    if (code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED)
        return FAILED(HRESULT(p1)) ? HRESULT(p1) : E_FAIL;
    return S_FALSE;
}

HRESULT CaptureSession::ConnectedType(AM_MEDIA_TYPE* type) const {
    if (!sink_) return E_UNEXPECTED;
    return sink_->InputPin()->ConnectionMediaType(type);
}

} // namespace tools::unfold
