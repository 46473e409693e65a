// GUIDs to and from their registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cwchar>
#include <cwctype>

#include <objbase.h>

namespace {

constexpr int kGuidChars = 39; // with the terminator

void format(REFGUID g, WCHAR* out) {
    std::swprintf(out, kGuidChars, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
}

bool hexValue(const WCHAR* s, int digits, uint64_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        WCHAR c = s[i];
        int d;
        if (c >= L'0' && c <= L'9')
            d = c - L'0';
        else if (c >= L'a' && c <= L'f')
            d = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F')
            d = c - L'A' + 10;
        else
            return false;
        value = value * 16 + static_cast<uint64_t>(d);
    }
    return true;
}

bool parse(LPCOLESTR s, GUID& g) {
    if (!s || std::wcslen(s) != 38 || s[0] != L'{' || s[37] != L'}' || s[9] != L'-' || s[14] != L'-' ||
        s[19] != L'-' || s[24] != L'-')
        return false;
    uint64_t v;
    if (!hexValue(s + 1, 8, v)) return false;
    g.Data1 = static_cast<uint32_t>(v);
    if (!hexValue(s + 10, 4, v)) return false;
    g.Data2 = static_cast<uint16_t>(v);
    if (!hexValue(s + 15, 4, v)) return false;
    g.Data3 = static_cast<uint16_t>(v);
    const int offsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!hexValue(s + offsets[i], 2, v)) return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    return true;
}

HRESULT allocText(REFGUID g, LPOLESTR* out) {
    if (!out) return E_INVALIDARG;
    *out = static_cast<LPOLESTR>(CoTaskMemAlloc(kGuidChars * sizeof(WCHAR)));
    if (!*out) return E_OUTOFMEMORY;
    format(g, *out);
    return S_OK;
}

} // namespace

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < kGuidChars) return 0;
    format(rguid, lpsz);
    return kGuidChars;
}

HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
    return allocText(rclsid, lplpsz);
}

HRESULT WINAPI StringFromIID(REFIID riid, LPOLESTR* lplpsz) {
    return allocText(riid, lplpsz);
}

// There are no ProgIDs here: only the braced form parses. A null string is CLSID_NULL.
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = CLSID_NULL;
        return S_OK;
    }
    GUID g{};
    if (!parse(lpsz, g)) {
        *pclsid = CLSID_NULL;
        return CO_E_CLASSSTRING;
    }
    *pclsid = g;
    return S_OK;
}

HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
    if (!lpiid) return E_INVALIDARG;
    if (!lpsz) {
        *lpiid = IID_NULL;
        return S_OK;
    }
    GUID g{};
    if (!parse(lpsz, g)) return E_INVALIDARG;
    *lpiid = g;
    return S_OK;
}
