// A temporary registry, COM initialised, and helpers the DirectShow tests share.
#pragma once

#include <dlfcn.h>

#include <cwchar>

#include <gtest/gtest.h>

#include <dshow.h>
#include <oleauto.h>
#include <qedit.h>

#include "platform/com/unknown.h"
#include "platform/win32/com_ptr.h"
#include "tests/build_paths.h"
#include "tests/platform/win32/temp_registry.h"

namespace testfilters {

using platform::ComPtr;

inline ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> e;
    filter->EnumPins(e.put());
    IPin* pin;
    while (e->Next(1, &pin, nullptr) == S_OK) {
        auto p = ComPtr<IPin>::adopt(pin);
        PIN_DIRECTION dir;
        p->QueryDirection(&dir);
        if (dir == wanted) return p;
    }
    return nullptr;
}

template <class T>
ComPtr<T> Create(REFCLSID clsid, REFIID iid) {
    ComPtr<T> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.putVoid()), S_OK);
    return object;
}

// Finds a filter by friendly name the way an application does.
inline ComPtr<IBaseFilter> FindByName(REFCLSID category, const wchar_t* name) {
    auto devices = Create<ICreateDevEnum>(CLSID_SystemDeviceEnum, IID_ICreateDevEnum);
    ComPtr<IEnumMoniker> e;
    if (devices->CreateClassEnumerator(category, e.put(), 0) != S_OK) return nullptr;
    IMoniker* m;
    while (e->Next(1, &m, nullptr) == S_OK) {
        auto moniker = ComPtr<IMoniker>::adopt(m);
        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid());
        VARIANT v;
        VariantInit(&v);
        bool match = SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && std::wcscmp(v.bstrVal, name) == 0;
        VariantClear(&v);
        if (!match) continue;
        ComPtr<IBaseFilter> filter;
        EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid()), S_OK);
        return filter;
    }
    return nullptr;
}

// Calls an entry point of a COM server module ("DllRegisterServer", ...), as regsvr32 would.
inline HRESULT CallServer(const char* path, const char* entry) {
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module) return E_FAIL;
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
    HRESULT hr = fn ? fn() : E_FAIL;
    dlclose(module);
    return hr;
}

inline HRESULT CallTestServer(const char* entry) {
    return CallServer(kDshowTestServerPath, entry);
}

class DShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        baseline_ = CUnknown::ObjectsActive();
    }
    void TearDown() override {
        // Every object the test made in this program is gone.
        EXPECT_EQ(CUnknown::ObjectsActive(), baseline_);
        CoUninitialize();
    }
    platform::testing::TempRegistry registry;
    LONG baseline_ = 0;
};

} // namespace testfilters
