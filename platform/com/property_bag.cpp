// Property bags over a registry key and in memory.
#include <cwchar>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include <oleauto.h>

#include "platform/com/com_api.h"
#include "platform/com/unknown.h"
#include "platform/win32/debug.h"

namespace {

// Puts a string into pVar, or tells E_FAIL when the caller asked for a type it cannot take.
HRESULT readString(const std::wstring& text, VARIANT* pVar) {
    if (pVar->vt != VT_EMPTY && pVar->vt != VT_BSTR) return E_FAIL;
    BSTR s = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!s) return E_OUTOFMEMORY;
    pVar->vt = VT_BSTR;
    pVar->bstrVal = s;
    return S_OK;
}

HRESULT readNumber(DWORD value, VARIANT* pVar) {
    switch (pVar->vt) {
    case VT_EMPTY:
    case VT_I4:
        pVar->vt = VT_I4;
        pVar->lVal = static_cast<LONG>(value);
        return S_OK;
    case VT_UI4:
        pVar->ulVal = value;
        return S_OK;
    case VT_INT:
        pVar->intVal = static_cast<INT>(value);
        return S_OK;
    case VT_UINT:
        pVar->uintVal = value;
        return S_OK;
    default:
        return E_FAIL;
    }
}

class CRegistryPropertyBag final : public CUnknown, public IPropertyBag {
public:
    CRegistryPropertyBag(HKEY root, std::wstring path)
        : CUnknown(L"RegistryPropertyBag", nullptr), root_(root), path_(std::move(path)) {}
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IPropertyBag) return GetInterface(static_cast<IPropertyBag*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    STDMETHODIMP Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) override {
        if (!pszPropName || !pVar) return E_POINTER;
        TRACE("com", "%s\\%s", platform::ToUtf8(path_).c_str(), platform::ToUtf8(pszPropName).c_str());
        HKEY key;
        if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return E_INVALIDARG;
        DWORD type = 0, size = 0;
        LSTATUS status = RegQueryValueExW(key, pszPropName, nullptr, &type, nullptr, &size);
        std::wstring data;
        if (status == ERROR_SUCCESS) {
            data.resize(size / sizeof(WCHAR) + 1);
            size = static_cast<DWORD>(data.size() * sizeof(WCHAR));
            status = RegQueryValueExW(key, pszPropName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                      &size);
        }
        RegCloseKey(key);
        if (status == ERROR_FILE_NOT_FOUND) return E_INVALIDARG;
        if (status != ERROR_SUCCESS) return E_FAIL;
        if (type == REG_SZ || type == REG_EXPAND_SZ) return readString(data.c_str(), pVar);
        if (type == REG_DWORD && size == 4) {
            DWORD value;
            std::memcpy(&value, data.data(), 4);
            return readNumber(value, pVar);
        }
        WARN("com", "property of registry type %u cannot be read into a VARIANT", type);
        return E_FAIL;
    }

    STDMETHODIMP Write(LPCOLESTR pszPropName, VARIANT* pVar) override {
        if (!pszPropName || !pVar) return E_POINTER;
        HKEY key;
        if (RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return E_FAIL;
        LSTATUS status;
        if (pVar->vt == VT_BSTR) {
            std::wstring text(pVar->bstrVal ? pVar->bstrVal : L"", SysStringLen(pVar->bstrVal));
            status = RegSetValueExW(key, pszPropName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
        } else if (pVar->vt == VT_I4 || pVar->vt == VT_UI4 || pVar->vt == VT_INT || pVar->vt == VT_UINT) {
            DWORD value = pVar->ulVal;
            status = RegSetValueExW(key, pszPropName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        } else {
            RegCloseKey(key);
            return E_INVALIDARG;
        }
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? S_OK : E_FAIL;
    }

private:
    HKEY root_;
    std::wstring path_;
};

class CMemoryPropertyBag final : public CUnknown, public IPropertyBag {
public:
    CMemoryPropertyBag() : CUnknown(L"MemoryPropertyBag", nullptr) {}
    ~CMemoryPropertyBag() override {
        for (auto& [name, value] : values_) VariantClear(&value);
    }
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IPropertyBag) return GetInterface(static_cast<IPropertyBag*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    STDMETHODIMP Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) override {
        if (!pszPropName || !pVar) return E_POINTER;
        std::lock_guard lock(mutex_);
        auto it = values_.find(pszPropName);
        if (it == values_.end()) return E_INVALIDARG;
        const VARIANT& v = it->second;
        if (v.vt == VT_BSTR) return readString(std::wstring(v.bstrVal, SysStringLen(v.bstrVal)), pVar);
        if (v.vt == VT_I4 || v.vt == VT_UI4) return readNumber(v.ulVal, pVar);
        if (pVar->vt != VT_EMPTY && pVar->vt != v.vt) return E_FAIL;
        return VariantCopy(pVar, &v);
    }

    STDMETHODIMP Write(LPCOLESTR pszPropName, VARIANT* pVar) override {
        if (!pszPropName || !pVar) return E_POINTER;
        VARIANT copy;
        VariantInit(&copy);
        if (HRESULT hr = VariantCopy(&copy, pVar); FAILED(hr)) return hr;
        std::lock_guard lock(mutex_);
        auto [it, added] = values_.try_emplace(pszPropName, copy);
        if (!added) {
            VariantClear(&it->second);
            it->second = copy;
        }
        return S_OK;
    }

private:
    std::mutex mutex_;
    std::map<std::wstring, VARIANT> values_;
};

template <class T, class... Args>
HRESULT create(IPropertyBag** ppBag, Args&&... args) {
    if (!ppBag) return E_POINTER;
    *ppBag = nullptr;
    auto* bag = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!bag) return E_OUTOFMEMORY;
    return bag->NonDelegatingQueryInterface(IID_IPropertyBag, reinterpret_cast<void**>(ppBag));
}

} // namespace

namespace platform {

HRESULT CreateRegistryPropertyBag(HKEY root, LPCWSTR keyPath, IPropertyBag** ppBag) {
    if (!keyPath) return E_POINTER;
    return create<CRegistryPropertyBag>(ppBag, root, std::wstring(keyPath));
}

HRESULT CreateMemoryPropertyBag(IPropertyBag** ppBag) {
    return create<CMemoryPropertyBag>(ppBag);
}

} // namespace platform
