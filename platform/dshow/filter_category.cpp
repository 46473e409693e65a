#include "platform/dshow/filter_category.h"

#include <oleauto.h>
#include <windows.h>

#include <uuids.h>

#include "platform/com/com_api.h"
#include "platform/dshow/camera/camera_backend.h"
#include "platform/dshow/system_filters.h"
#include "platform/win32/debug.h"

namespace platform::dshow {
namespace {

bool readString(HKEY key, LPCWSTR name, std::wstring& out) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    std::wstring text(size / sizeof(WCHAR) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(WCHAR));
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    out = text.c_str();
    return true;
}

} // namespace

std::wstring GuidString(REFGUID guid) {
    WCHAR text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring CategoryInstanceKey(REFCLSID category, const std::wstring& instance) {
    return L"CLSID\\" + GuidString(category) + L"\\Instance\\" + instance;
}

std::vector<CategoryMember> ReadCategory(REFCLSID category) {
    std::vector<CategoryMember> members;
    std::wstring base = L"CLSID\\" + GuidString(category) + L"\\Instance";
    HKEY instances;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, base.c_str(), 0, KEY_READ, &instances) == ERROR_SUCCESS) {
        WCHAR name[256];
        for (DWORD i = 0;; ++i) {
            DWORD chars = 256;
            if (RegEnumKeyExW(instances, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            HKEY key;
            if (RegOpenKeyExW(instances, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
            CategoryMember m;
            m.keyPath = base + L"\\" + name;
            std::wstring clsid;
            readString(key, L"FriendlyName", m.friendlyName);
            if (readString(key, L"CLSID", clsid)) CLSIDFromString(clsid.c_str(), &m.clsid);
            DWORD type = 0, size = 0;
            if (RegQueryValueExW(key, L"FilterData", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
                type == REG_BINARY) {
                std::vector<BYTE> bytes(size);
                if (RegQueryValueExW(key, L"FilterData", nullptr, nullptr, bytes.data(), &size) ==
                    ERROR_SUCCESS) {
                    m.hasFilterData = DecodeFilterData(bytes.data(), size, m.filterData);
                    if (!m.hasFilterData)
                        WARN("dshow", "unreadable FilterData under %s", ToUtf8(m.keyPath).c_str());
                }
            }
            RegCloseKey(key);
            members.push_back(std::move(m));
        }
        RegCloseKey(instances);
    }
    for (const SystemFilter& f : SystemFilters()) {
        if (*f.category != category) continue;
        bool listed = false;
        for (auto& m : members) listed |= m.clsid == *f.clsid;
        if (listed) continue;
        CategoryMember m;
        m.friendlyName = f.name;
        m.clsid = *f.clsid;
        m.hasFilterData = true;
        m.filterData = f.data;
        members.push_back(std::move(m));
    }
    if (category == CLSID_VideoInputDeviceCategory) {
        for (const camera::CameraInfo& c : camera::ListCameras()) {
            CategoryMember m;
            m.friendlyName = c.friendlyName;
            m.clsid = CLSID_Proxy;
            m.devicePath = c.devicePath;
            members.push_back(std::move(m));
        }
    }
    return members;
}

HRESULT MonikerFor(REFCLSID category, const CategoryMember& member, IMoniker** ppMoniker) {
    ComPtr<IPropertyBag> bag;
    HRESULT hr;
    if (!member.keyPath.empty()) {
        hr = CreateRegistryPropertyBag(HKEY_CLASSES_ROOT, member.keyPath.c_str(), bag.put());
    } else if (SUCCEEDED(hr = CreateMemoryPropertyBag(bag.put()))) {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(member.friendlyName.c_str());
        bag->Write(L"FriendlyName", &v);
        VariantClear(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(GuidString(member.clsid).c_str());
        bag->Write(L"CLSID", &v);
        VariantClear(&v);
        if (!member.devicePath.empty()) {
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocString(member.devicePath.c_str());
            bag->Write(L"DevicePath", &v);
            VariantClear(&v);
        }
    }
    if (FAILED(hr)) return hr;
    std::wstring display;
    if (!member.devicePath.empty()) {
        display = L"@device:pnp:" + member.devicePath;
    } else {
        std::wstring instance = member.keyPath.empty()
                                    ? GuidString(member.clsid)
                                    : member.keyPath.substr(member.keyPath.rfind(L'\\') + 1);
        display = L"@device:sw:" + GuidString(category) + L"\\" + instance;
    }
    return CreateDeviceMoniker(bag.get(), display.c_str(), ppMoniker);
}

} // namespace platform::dshow
