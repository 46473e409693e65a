// System Device Enumerator: monikers over the members of a category (see filter_category.h).
// An empty category answers S_FALSE and no enumerator, as DirectShow does.
#include <vector>

#include <uuids.h>

#include "platform/com/com_api.h"
#include "platform/dshow/filter_category.h"
#include "platform/dshow/system_classes.h"
#include "platform/win32/debug.h"

namespace platform::dshow {
namespace {

class CSystemDeviceEnum final : public CUnknown, public ICreateDevEnum {
public:
    explicit CSystemDeviceEnum(LPUNKNOWN pUnk) : CUnknown(L"System Device Enumerator", pUnk) {}
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ICreateDevEnum) return GetInterface(static_cast<ICreateDevEnum*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    STDMETHODIMP CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker,
                                       DWORD) override {
        if (!ppEnumMoniker) return E_POINTER;
        *ppEnumMoniker = nullptr;
        TRACE("dshow", "%s", ToUtf8(GuidString(clsidDeviceClass)).c_str());
        std::vector<ComPtr<IMoniker>> monikers;
        for (const auto& member : ReadCategory(clsidDeviceClass)) {
            ComPtr<IMoniker> moniker;
            if (HRESULT hr = MonikerFor(clsidDeviceClass, member, moniker.put()); FAILED(hr)) return hr;
            monikers.push_back(moniker);
        }
        if (monikers.empty()) return S_FALSE;
        std::vector<IMoniker*> raw;
        for (auto& m : monikers) raw.push_back(m.get());
        return CreateEnumMoniker(raw.data(), static_cast<ULONG>(raw.size()), ppEnumMoniker);
    }
};

} // namespace

CUnknown* WINAPI CreateSystemDeviceEnum(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CSystemDeviceEnum>(phr, pUnk);
}

} // namespace platform::dshow
