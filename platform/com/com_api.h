// The COM library's own objects, for the platform's system objects to build on: property bags over a
// registry key or held in memory, device monikers over a property bag, and moniker enumerators.
#pragma once

#include <ocidl.h>
#include <windows.h>

#define PLATFORM_COM_API __attribute__((visibility("default")))

namespace platform {

// A bag whose properties are the values of the key root\keyPath (created on the first Write):
// REG_SZ reads as VT_BSTR, REG_DWORD as VT_I4; VT_BSTR writes as REG_SZ, VT_I4/VT_UI4 as REG_DWORD.
PLATFORM_COM_API HRESULT CreateRegistryPropertyBag(HKEY root, LPCWSTR keyPath, IPropertyBag** ppBag);
// A bag that keeps its properties in memory, for devices that are not in the registry.
PLATFORM_COM_API HRESULT CreateMemoryPropertyBag(IPropertyBag** ppBag);

// A moniker for a device or filter described by a property bag. BindToStorage gives the bag;
// BindToObject creates the class named by the bag's "CLSID" string and, when the object supports
// IPersistPropertyBag, loads it from the bag (as Windows' device moniker does for capture devices).
PLATFORM_COM_API HRESULT CreateDeviceMoniker(IPropertyBag* pBag, LPCWSTR displayName, IMoniker** ppMoniker);

// An enumerator over a fixed list of monikers (each gets a reference).
PLATFORM_COM_API HRESULT CreateEnumMoniker(IMoniker* const* monikers, ULONG count, IEnumMoniker** ppEnum);

} // namespace platform
