// Device monikers over a property bag, and the enumerator over a list of monikers.
#include <cwchar>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <objbase.h>
#include <oleauto.h>
#include <uuids.h>

#include "platform/com/com_api.h"
#include "platform/com/unknown.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/debug.h"

namespace {

using platform::ComPtr;

class CDeviceMoniker final : public CUnknown, public IMoniker {
public:
    CDeviceMoniker(IPropertyBag* bag, std::wstring name)
        : CUnknown(L"DeviceMoniker", nullptr), bag_(bag), displayName_(std::move(name)) {}
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IMoniker || riid == IID_IPersistStream || riid == IID_IPersist)
            return GetInterface(static_cast<IMoniker*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    STDMETHODIMP GetClassID(CLSID* pClassID) override {
        if (!pClassID) return E_POINTER;
        *pClassID = CLSID_CDeviceMoniker;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

    STDMETHODIMP BindToObject(IBindCtx*, IMoniker*, REFIID riidResult, void** ppvResult) override {
        if (!ppvResult) return E_POINTER;
        *ppvResult = nullptr;
        VARIANT var;
        VariantInit(&var);
        var.vt = VT_BSTR;
        if (FAILED(bag_->Read(L"CLSID", &var, nullptr))) return MK_E_NOOBJECT;
        CLSID clsid;
        HRESULT hr = CLSIDFromString(var.bstrVal, &clsid);
        VariantClear(&var);
        if (FAILED(hr)) return MK_E_NOOBJECT;
        ComPtr<IUnknown> object;
        if (FAILED(
                hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid())))
            return hr;
        ComPtr<IPersistPropertyBag> persist;
        if (SUCCEEDED(object.as(IID_IPersistPropertyBag, persist)) &&
            FAILED(hr = persist->Load(bag_.get(), nullptr)))
            return hr;
        return object->QueryInterface(riidResult, ppvResult);
    }

    STDMETHODIMP BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** ppvObj) override {
        if (!ppvObj) return E_POINTER;
        return bag_->QueryInterface(riid, ppvObj);
    }

    STDMETHODIMP Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** ppmkReduced) override {
        if (!ppmkReduced) return E_POINTER;
        *ppmkReduced = this;
        AddRef();
        return MK_S_REDUCED_TO_SELF;
    }
    STDMETHODIMP ComposeWith(IMoniker*, BOOL, IMoniker** ppmkComposite) override {
        if (ppmkComposite) *ppmkComposite = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP Enum(BOOL, IEnumMoniker** ppenumMoniker) override {
        if (!ppenumMoniker) return E_POINTER;
        *ppenumMoniker = nullptr; // a simple moniker has no parts
        return S_OK;
    }
    STDMETHODIMP IsEqual(IMoniker* pmkOtherMoniker) override {
        if (!pmkOtherMoniker) return E_INVALIDARG;
        LPOLESTR other = nullptr;
        if (FAILED(pmkOtherMoniker->GetDisplayName(nullptr, nullptr, &other))) return S_FALSE;
        bool same = displayName_ == other;
        CoTaskMemFree(other);
        return same ? S_OK : S_FALSE;
    }
    STDMETHODIMP Hash(DWORD* pdwHash) override {
        if (!pdwHash) return E_POINTER;
        DWORD h = 2166136261u;
        for (WCHAR c : displayName_) h = (h ^ static_cast<DWORD>(c)) * 16777619u;
        *pdwHash = h;
        return S_OK;
    }
    STDMETHODIMP IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return S_FALSE; }
    STDMETHODIMP GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
    STDMETHODIMP Inverse(IMoniker** ppmk) override {
        if (ppmk) *ppmk = nullptr;
        return MK_E_NOINVERSE;
    }
    STDMETHODIMP CommonPrefixWith(IMoniker*, IMoniker** ppmkPrefix) override {
        if (ppmkPrefix) *ppmkPrefix = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP RelativePathTo(IMoniker*, IMoniker** ppmkRelPath) override {
        if (ppmkRelPath) *ppmkRelPath = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* ppszDisplayName) override {
        if (!ppszDisplayName) return E_POINTER;
        size_t bytes = (displayName_.size() + 1) * sizeof(WCHAR);
        *ppszDisplayName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!*ppszDisplayName) return E_OUTOFMEMORY;
        std::wmemcpy(*ppszDisplayName, displayName_.c_str(), displayName_.size() + 1);
        return S_OK;
    }
    STDMETHODIMP ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker** ppmkOut) override {
        if (ppmkOut) *ppmkOut = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP IsSystemMoniker(DWORD* pdwMksys) override {
        if (!pdwMksys) return E_POINTER;
        *pdwMksys = MKSYS_NONE;
        return S_FALSE;
    }

private:
    ComPtr<IPropertyBag> bag_;
    std::wstring displayName_;
};

class CEnumMoniker final : public CUnknown, public IEnumMoniker {
public:
    explicit CEnumMoniker(std::vector<ComPtr<IMoniker>> items, ULONG position = 0)
        : CUnknown(L"EnumMoniker", nullptr), items_(std::move(items)), position_(position) {}
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IEnumMoniker) return GetInterface(static_cast<IEnumMoniker*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    STDMETHODIMP Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) override {
        if (!rgelt || (celt > 1 && !pceltFetched)) return E_POINTER;
        std::lock_guard lock(mutex_);
        ULONG fetched = 0;
        while (fetched < celt && position_ < items_.size()) items_[position_++].copyTo(&rgelt[fetched++]);
        if (pceltFetched) *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG celt) override {
        std::lock_guard lock(mutex_);
        ULONG left = static_cast<ULONG>(items_.size()) - position_;
        position_ += celt < left ? celt : left;
        return celt <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        std::lock_guard lock(mutex_);
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMoniker** ppenum) override {
        if (!ppenum) return E_POINTER;
        std::lock_guard lock(mutex_);
        auto* copy = new (std::nothrow) CEnumMoniker(items_, position_);
        if (!copy) return E_OUTOFMEMORY;
        return copy->NonDelegatingQueryInterface(IID_IEnumMoniker, reinterpret_cast<void**>(ppenum));
    }

private:
    std::mutex mutex_;
    std::vector<ComPtr<IMoniker>> items_;
    ULONG position_;
};

} // namespace

namespace platform {

HRESULT CreateDeviceMoniker(IPropertyBag* pBag, LPCWSTR displayName, IMoniker** ppMoniker) {
    if (!pBag || !ppMoniker) return E_POINTER;
    *ppMoniker = nullptr;
    auto* moniker = new (std::nothrow) CDeviceMoniker(pBag, displayName ? displayName : L"");
    if (!moniker) return E_OUTOFMEMORY;
    return moniker->NonDelegatingQueryInterface(IID_IMoniker, reinterpret_cast<void**>(ppMoniker));
}

HRESULT CreateEnumMoniker(IMoniker* const* monikers, ULONG count, IEnumMoniker** ppEnum) {
    if (!ppEnum || (count && !monikers)) return E_POINTER;
    *ppEnum = nullptr;
    std::vector<ComPtr<IMoniker>> items;
    for (ULONG i = 0; i < count; ++i) items.emplace_back(monikers[i]);
    auto* e = new (std::nothrow) CEnumMoniker(std::move(items));
    if (!e) return E_OUTOFMEMORY;
    return e->NonDelegatingQueryInterface(IID_IEnumMoniker, reinterpret_cast<void**>(ppEnum));
}

} // namespace platform
