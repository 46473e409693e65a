// Filter Mapper 2: filter registrations under the category keys, as DirectShow lays them out:
// HKEY_CLASSES_ROOT\CLSID\{category}\Instance\{instance or filter CLSID} with FriendlyName, CLSID and
// FilterData; categories under CLSID_ActiveMovieCategories with FriendlyName, CLSID and Merit.
// EnumMatchingFilters searches the general filter category (CLSID_LegacyAmFilterCategory), where
// filters registered without a category go, highest merit first.
#include <algorithm>

#include <oleauto.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <windows.h>

#include "platform/com/com_api.h"
#include "platform/dshow/filter_category.h"
#include "platform/dshow/system_classes.h"
#include "platform/win32/debug.h"

namespace platform::dshow {
namespace {

HRESULT setString(HKEY key, LPCWSTR name, const std::wstring& text) {
    return HRESULT_FROM_WIN32(RegSetValueExW(key, name, 0, REG_SZ,
                                             reinterpret_cast<const BYTE*>(text.c_str()),
                                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))));
}

bool typeMatches(const std::pair<GUID, GUID>& registered, const GUID& major, const GUID& minor, bool exact) {
    auto one = [&](const GUID& a, const GUID& b) {
        return a == b || (!exact && (a == GUID_NULL || b == GUID_NULL));
    };
    return one(registered.first, major) && one(registered.second, minor);
}

// A pin of the wanted direction accepting one of the (major, minor) pairs, of the category if given.
bool hasPin(const RegisteredFilter& f, bool output, DWORD cTypes, const GUID* types, const CLSID* category,
            bool render, bool exact) {
    for (const auto& pin : f.pins) {
        if (pin.output() != output) continue;
        if (category && pin.category != *category) continue;
        if (render && !(pin.flags & REG_PINFLAG_B_RENDERER)) continue;
        if (cTypes == 0) return true;
        for (DWORD t = 0; t < cTypes; ++t)
            for (const auto& registered : pin.types)
                if (typeMatches(registered, types[2 * t], types[2 * t + 1], exact)) return true;
    }
    return false;
}

class CFilterMapper2 final : public CUnknown, public IFilterMapper2 {
public:
    explicit CFilterMapper2(LPUNKNOWN pUnk) : CUnknown(L"Filter Mapper 2", pUnk) {}
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IFilterMapper2) return GetInterface(static_cast<IFilterMapper2*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    STDMETHODIMP CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit, LPCWSTR Description) override {
        HKEY key;
        std::wstring path = CategoryInstanceKey(CLSID_ActiveMovieCategories, GuidString(clsidCategory));
        LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                         &key, nullptr);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        HRESULT hr = setString(key, L"FriendlyName", Description ? Description : L"");
        if (SUCCEEDED(hr)) hr = setString(key, L"CLSID", GuidString(clsidCategory));
        if (SUCCEEDED(hr))
            hr = HRESULT_FROM_WIN32(RegSetValueExW(key, L"Merit", 0, REG_DWORD,
                                                   reinterpret_cast<const BYTE*>(&dwCategoryMerit), 4));
        RegCloseKey(key);
        return hr;
    }

    STDMETHODIMP UnregisterFilter(const CLSID* pclsidCategory, LPCOLESTR szInstance,
                                  REFCLSID Filter) override {
        const CLSID& category = pclsidCategory ? *pclsidCategory : CLSID_LegacyAmFilterCategory;
        std::wstring path = CategoryInstanceKey(category, szInstance ? szInstance : GuidString(Filter));
        TRACE("dshow", "%s", ToUtf8(path).c_str());
        return HRESULT_FROM_WIN32(RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str()));
    }

    STDMETHODIMP RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker** ppMoniker,
                                const CLSID* pclsidCategory, LPCOLESTR szInstance,
                                const REGFILTER2* prf2) override {
        if (!Name || !prf2) return E_POINTER;
        if (ppMoniker && *ppMoniker) {
            FIXME("dshow", "registering at a given moniker is not supported (issue 5)");
            return E_NOTIMPL;
        }
        RegisteredFilter data;
        if (!FromRegFilter2(*prf2, data)) return E_INVALIDARG;
        const CLSID& category = pclsidCategory ? *pclsidCategory : CLSID_LegacyAmFilterCategory;
        std::wstring path = CategoryInstanceKey(category, szInstance ? szInstance : GuidString(clsidFilter));
        TRACE("dshow", "%s as %s", ToUtf8(Name).c_str(), ToUtf8(path).c_str());
        HKEY key;
        LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                         &key, nullptr);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        HRESULT hr = setString(key, L"FriendlyName", Name);
        if (SUCCEEDED(hr)) hr = setString(key, L"CLSID", GuidString(clsidFilter));
        if (SUCCEEDED(hr)) {
            std::vector<BYTE> bytes = EncodeFilterData(data);
            hr = HRESULT_FROM_WIN32(RegSetValueExW(key, L"FilterData", 0, REG_BINARY, bytes.data(),
                                                   static_cast<DWORD>(bytes.size())));
        }
        RegCloseKey(key);
        if (SUCCEEDED(hr) && ppMoniker) {
            CategoryMember member;
            member.keyPath = path;
            hr = MonikerFor(category, member, ppMoniker);
        }
        return hr;
    }

    STDMETHODIMP EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD, BOOL bExactMatch, DWORD dwMerit,
                                     BOOL bInputNeeded, DWORD cInputTypes, const GUID* pInputTypes,
                                     const REGPINMEDIUM*, const CLSID* pPinCategoryIn, BOOL bRender,
                                     BOOL bOutputNeeded, DWORD cOutputTypes, const GUID* pOutputTypes,
                                     const REGPINMEDIUM*, const CLSID* pPinCategoryOut) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        if ((cInputTypes && !pInputTypes) || (cOutputTypes && !pOutputTypes)) return E_POINTER;
        std::vector<CategoryMember> found;
        for (auto& m : ReadCategory(CLSID_LegacyAmFilterCategory)) {
            if (!m.hasFilterData || m.filterData.merit < dwMerit) continue;
            bool exact = bExactMatch != FALSE;
            if ((bInputNeeded || cInputTypes || pPinCategoryIn || bRender) &&
                !hasPin(m.filterData, false, cInputTypes, pInputTypes, pPinCategoryIn, bRender, exact))
                continue;
            if ((bOutputNeeded || cOutputTypes || pPinCategoryOut) &&
                !hasPin(m.filterData, true, cOutputTypes, pOutputTypes, pPinCategoryOut, false, exact))
                continue;
            found.push_back(std::move(m));
        }
        std::stable_sort(found.begin(), found.end(), [](const CategoryMember& a, const CategoryMember& b) {
            return a.filterData.merit > b.filterData.merit;
        });
        std::vector<ComPtr<IMoniker>> monikers;
        for (auto& m : found) {
            ComPtr<IMoniker> moniker;
            if (SUCCEEDED(MonikerFor(CLSID_LegacyAmFilterCategory, m, moniker.put())))
                monikers.push_back(moniker);
        }
        std::vector<IMoniker*> raw;
        for (auto& m : monikers) raw.push_back(m.get());
        return CreateEnumMoniker(raw.data(), static_cast<ULONG>(raw.size()), ppEnum);
    }
};

} // namespace

CUnknown* WINAPI CreateFilterMapper2(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CFilterMapper2>(phr, pUnk);
}

} // namespace platform::dshow
