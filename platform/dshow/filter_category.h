// The members of a filter or device category: the instances registered under
// HKEY_CLASSES_ROOT\CLSID\{category}\Instance (values FriendlyName, CLSID and FilterData), followed by
// the system module's built-in filters of that category that the registry does not list, and for the
// video input category the cameras of this machine (bound as CLSID_Proxy capture filters).
#pragma once

#include <string>
#include <vector>

#include <strmif.h>

#include "platform/dshow/filter_data.h"
#include "platform/win32/com_ptr.h"

namespace platform::dshow {

struct CategoryMember {
    std::wstring keyPath; // under HKEY_CLASSES_ROOT, empty for a built-in filter
    std::wstring friendlyName;
    CLSID clsid = GUID_NULL;
    bool hasFilterData = false;
    RegisteredFilter filterData;
    std::wstring devicePath; // a camera's "DevicePath", empty for other members
};

std::wstring GuidString(REFGUID guid);
std::wstring CategoryInstanceKey(REFCLSID category, const std::wstring& instance);

std::vector<CategoryMember> ReadCategory(REFCLSID category);
// A device moniker whose property bag is the member's registry key (or a bag in memory).
HRESULT MonikerFor(REFCLSID category, const CategoryMember& member, IMoniker** ppMoniker);

} // namespace platform::dshow
