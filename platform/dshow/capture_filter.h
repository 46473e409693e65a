// CCaptureFilter: the filter a video capture device's moniker binds to (CLSID_Proxy, the class Windows
// uses for kernel-streaming capture devices). IPersistPropertyBag::Load reads the device's "DevicePath"
// and "FriendlyName" from the moniker's bag, opens the camera and creates its one output pin,
// "Capture" (see capture_pin.h). The filter is live: Pause answers VFW_S_CANT_CUE.
#pragma once

#include <memory>

#include <ocidl.h>

#include "platform/dshow/camera/camera_backend.h"
#include "platform/dshow/capture_pin.h"
#include "platform/dshow/source.h"

namespace platform::dshow {

class CCaptureFilter final : public CSource, public IPersistPropertyBag {
public:
    explicit CCaptureFilter(LPUNKNOWN pUnk);
    ~CCaptureFilter() override;
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist (of IBaseFilter and IPersistPropertyBag)
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    // IPersistPropertyBag
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) override;
    STDMETHODIMP Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) override;

    // Takes a camera that is already open and makes the pin (Load does this for a moniker's device).
    HRESULT Attach(std::unique_ptr<camera::CameraBackend> backend, LPCWSTR name);

private:
    std::unique_ptr<camera::CameraBackend> backend_;
};

} // namespace platform::dshow
