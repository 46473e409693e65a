// BSTR and VARIANT. A BSTR is a WCHAR string preceded by its length in bytes (32 bits) and followed by
// a terminator; the BSTR points at the first character.
// Fault injection: "SysAllocString" (both allocators) answers null.
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <oleauto.h>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    if (FAILED(platform::InjectedFault("SysAllocString"))) return nullptr;
    auto* block = static_cast<BYTE*>(std::malloc(sizeof(UINT32) + (size_t(ui) + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    UINT32 bytes = static_cast<UINT32>(ui * sizeof(OLECHAR));
    std::memcpy(block, &bytes, sizeof bytes);
    BSTR s = reinterpret_cast<BSTR>(block + sizeof(UINT32));
    if (strIn)
        std::wmemcpy(s, strIn, ui);
    else
        std::wmemset(s, 0, ui);
    s[ui] = 0;
    return s;
}

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
    return psz ? SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz))) : nullptr;
}

void WINAPI SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(reinterpret_cast<BYTE*>(bstrString) - sizeof(UINT32));
}

UINT WINAPI SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    UINT32 bytes;
    std::memcpy(&bytes, reinterpret_cast<BYTE*>(bstr) - sizeof(UINT32), sizeof bytes);
    return bytes;
}

UINT WINAPI SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}

void WINAPI VariantInit(VARIANTARG* pvarg) {
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->llVal = 0;
}

HRESULT WINAPI VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    if (!(pvarg->vt & VT_BYREF)) {
        switch (pvarg->vt) {
        case VT_BSTR:
            SysFreeString(pvarg->bstrVal);
            break;
        case VT_UNKNOWN:
            if (pvarg->punkVal) pvarg->punkVal->Release();
            break;
        case VT_DISPATCH:
            if (pvarg->pdispVal) pvarg->pdispVal->Release();
            break;
        default:
            if (pvarg->vt & VT_ARRAY) {
                FIXME("com", "no SAFEARRAY support (issue 5); array of type %#x not freed", pvarg->vt);
                return DISP_E_BADVARTYPE;
            }
            break;
        }
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    if ((pvargSrc->vt & VT_ARRAY) && !(pvargSrc->vt & VT_BYREF)) return DISP_E_BADVARTYPE;
    VARIANT copy = *pvargSrc;
    if (copy.vt == VT_BSTR && copy.bstrVal) {
        copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
        if (!copy.bstrVal) return E_OUTOFMEMORY;
    } else if (copy.vt == VT_UNKNOWN && copy.punkVal) {
        copy.punkVal->AddRef();
    } else if (copy.vt == VT_DISPATCH && copy.pdispVal) {
        copy.pdispVal->AddRef();
    }
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}
