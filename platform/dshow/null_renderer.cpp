// Null Renderer: one input pin "In" that takes any media type and discards every sample. Choices:
// samples are rendered on arrival (no waiting for their presentation time), and a pause completes at
// once; at end of stream while running it sends EC_COMPLETE.
#include <evcode.h>
#include <qedit.h>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_input_pin.h"
#include "platform/dshow/system_classes.h"

namespace platform::dshow {
namespace {

class CNullRenderer;

class CNullInputPin final : public CBaseInputPin {
public:
    CNullInputPin(CBaseFilter* filter, CCritSec* lock)
        : CBaseInputPin(L"Null input pin", filter, lock, L"In") {}
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    STDMETHODIMP EndOfStream() override {
        HRESULT hr = CheckStreaming();
        if (hr != S_OK) return hr;
        FILTER_STATE state;
        m_pFilter->GetState(0, &state);
        if (state == State_Running) m_pFilter->NotifyEvent(EC_COMPLETE, S_OK, 0);
        return S_OK;
    }
};

class CNullRenderer final : public CBaseFilter {
public:
    explicit CNullRenderer(LPUNKNOWN pUnk)
        : CBaseFilter(L"Null Renderer", pUnk, &lock_, CLSID_NullRenderer), pin_(this, &lock_) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }

private:
    CCritSec lock_;
    CNullInputPin pin_;
};

} // namespace

CUnknown* WINAPI CreateNullRenderer(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CNullRenderer>(phr, pUnk);
}

} // namespace platform::dshow
