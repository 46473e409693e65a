#include "platform/dshow/capture_filter.h"

#include <new>

#include <oleauto.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "platform/win32/debug.h"

namespace platform::dshow {
namespace {

// A string property of the bag, or empty.
std::wstring readText(IPropertyBag* bag, LPCOLESTR name) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    std::wstring text;
    if (SUCCEEDED(bag->Read(name, &v, nullptr)) && v.vt == VT_BSTR && v.bstrVal) text = v.bstrVal;
    VariantClear(&v);
    return text;
}

} // namespace

CCaptureFilter::CCaptureFilter(LPUNKNOWN pUnk) : CSource(L"Video Capture", pUnk, CLSID_Proxy) {}

CCaptureFilter::~CCaptureFilter() {
    // The pin refers to the camera: it goes first.
    while (m_iPins != 0) delete m_paStreams[m_iPins - 1];
}

CUnknown* WINAPI CCaptureFilter::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* filter = new (std::nothrow) CCaptureFilter(pUnk);
    if (!filter && phr) *phr = E_OUTOFMEMORY;
    return filter;
}

STDMETHODIMP CCaptureFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IPersistPropertyBag) return GetInterface(static_cast<IPersistPropertyBag*>(this), ppv);
    return CSource::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CCaptureFilter::GetClassID(CLSID* pClassID) {
    return CSource::GetClassID(pClassID);
}

STDMETHODIMP CCaptureFilter::InitNew() {
    return S_OK;
}

STDMETHODIMP CCaptureFilter::Load(IPropertyBag* pPropBag, IErrorLog*) {
    if (!pPropBag) return E_POINTER;
    std::wstring path = readText(pPropBag, L"DevicePath");
    std::wstring name = readText(pPropBag, L"FriendlyName");
    if (path.empty()) return E_INVALIDARG;
    TRACE("dshow", "%s at %s", ToUtf8(name).c_str(), ToUtf8(path).c_str());
    HRESULT hr = S_OK;
    std::unique_ptr<camera::CameraBackend> backend = camera::OpenCamera(path, hr);
    if (!backend) return FAILED(hr) ? hr : E_FAIL;
    return Attach(std::move(backend), name.empty() ? path.c_str() : name.c_str());
}

STDMETHODIMP CCaptureFilter::Save(IPropertyBag*, BOOL, BOOL) {
    return E_NOTIMPL;
}

HRESULT CCaptureFilter::Attach(std::unique_ptr<camera::CameraBackend> backend, LPCWSTR name) {
    if (!backend) return E_POINTER;
    CAutoLock lock(pStateLock());
    if (backend_) return E_UNEXPECTED; // loaded once
    backend_ = std::move(backend);
    HRESULT hr = S_OK;
    auto* pin = new (std::nothrow) CCapturePin(&hr, this, *backend_);
    if (!pin) hr = E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete pin;
        backend_.reset();
        return hr;
    }
    if (name) m_pName = name;
    return S_OK;
}

} // namespace platform::dshow
