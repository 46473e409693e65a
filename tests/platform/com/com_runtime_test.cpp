#include <string>
#include <thread>

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <dshow.h>
#include <oleauto.h>
#include <qedit.h>

#include "platform/win32/com_ptr.h"
#include "platform/win32/fault_injection.h"
#include "tests/build_paths.h"
#include "tests/platform/com/test_server.h"
#include "tests/platform/win32/temp_registry.h"

namespace {

using platform::ComPtr;

// Registers the test server as regsvr32 would: load it, call DllRegisterServer, unload it.
HRESULT callServer(const char* entry) {
    void* module = dlopen(kComTestServerPath, RTLD_NOW | RTLD_LOCAL);
    if (!module) return E_FAIL;
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
    HRESULT hr = fn ? fn() : E_FAIL;
    dlclose(module);
    return hr;
}

bool serverLoaded() {
    void* module = dlopen(kComTestServerPath, RTLD_NOW | RTLD_NOLOAD);
    if (module) dlclose(module);
    return module != nullptr;
}

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); }
    void TearDown() override { CoUninitialize(); }
    platform::testing::TempRegistry registry;
};

TEST_F(ComTest, RegisteredServerIsCreatedLoadedOnceAndUnloadedWhenUnused) {
    ASSERT_EQ(callServer("DllRegisterServer"), S_OK);
    std::string hive = registry.read("HKEY_CLASSES_ROOT");
    EXPECT_NE(hive.find("[HKEY_CLASSES_ROOT\\CLSID\\{7D3C1A52-3F0B-4E51-9A55-1C2B3D4E5F01}\\InprocServer32]"),
              std::string::npos);
    EXPECT_NE(hive.find("\"ThreadingModel\"=\"Both\""), std::string::npos);
    EXPECT_NE(hive.find(kComTestServerPath), std::string::npos);
    ASSERT_FALSE(serverLoaded());

    ComPtr<ITestCounter> a, b;
    ASSERT_EQ(
        CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter, a.putVoid()),
        S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ITestCounter, b.putVoid()), S_OK);
    LONG value = 0;
    a->Increment(&value);
    a->Increment(&value);
    EXPECT_EQ(value, 2);
    b->Increment(&value);
    EXPECT_EQ(value, 1); // two objects

    void* loaded = dlopen(kComTestServerPath, RTLD_NOW | RTLD_NOLOAD);
    auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(loaded, "DllCanUnloadNow"));
    dlclose(loaded); // COM's own reference keeps it loaded
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(serverLoaded());
    a = nullptr;
    EXPECT_EQ(canUnload(), S_FALSE);
    b = nullptr;
    EXPECT_EQ(canUnload(), S_OK);

    // A locked server stays, even with no object alive.
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.putVoid()),
              S_OK);
    factory->LockServer(TRUE);
    factory = nullptr;
    EXPECT_EQ(canUnload(), S_FALSE);
    CoFreeUnusedLibraries();
    ASSERT_TRUE(serverLoaded());
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.putVoid()),
              S_OK);
    factory->LockServer(FALSE);
    factory = nullptr;
    CoFreeUnusedLibraries();
    EXPECT_FALSE(serverLoaded());

    ASSERT_EQ(callServer("DllUnregisterServer"), S_OK);
    EXPECT_EQ(
        CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter, a.putVoid()),
        REGDB_E_CLASSNOTREG);
}

TEST_F(ComTest, AggregationHandsOutTheOuterUnknown) {
    ASSERT_EQ(callServer("DllRegisterServer"), S_OK);
    struct Outer : IUnknown {
        LONG refs = 1;
        IUnknown* inner = nullptr;
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
            if (riid == IID_IUnknown) {
                *ppv = this;
                AddRef();
                return S_OK;
            }
            return inner->QueryInterface(riid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override { return --refs; }
    } outer;
    ComPtr<ITestCounter> refused;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, &outer, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                               refused.putVoid()),
              E_NOINTERFACE);
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    ITestCounter* counter = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_ITestCounter, reinterpret_cast<void**>(&counter)), S_OK);
    EXPECT_EQ(outer.refs, 2); // the interface counts on the outer object
    IUnknown* identity = nullptr;
    counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    counter->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(outer.inner->Release(), 0u);
    CoFreeUnusedLibraries();
}

TEST_F(ComTest, ActivationFailuresGiveTheDocumentedCodes) {
    ComPtr<IUnknown> object;
    const GUID unknown = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, object.putVoid()),
        REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_POINTER);
    // A registered path that does not exist.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT,
                              L"CLSID\\{12345678-0001-0002-0304-05060708090A}\\InprocServer32", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t path[] = L"/nonexistent/libnothing.so";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
    RegCloseKey(key);
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    // One class made unavailable on purpose.
    {
        platform::ScopedFault fault("CoCreateInstance:{E436EBB1-524F-11CE-9F53-0020AF0BA770}",
                                    REGDB_E_CLASSNOTREG);
        EXPECT_EQ(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   object.putVoid()),
                  REGDB_E_CLASSNOTREG);
    }
    EXPECT_EQ(
        CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
        S_OK);
}

TEST(ComApartment, InitialisationCountsAndModes) {
    ComPtr<IUnknown> object;
    std::thread([&] {
        EXPECT_EQ(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   object.putVoid()),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        EXPECT_EQ(CoInitialize(reinterpret_cast<void*>(1)), E_INVALIDARG);
        EXPECT_EQ(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   object.putVoid()),
                  S_OK);
        object = nullptr;
        CoUninitialize();
        CoUninitialize();
        platform::ScopedFault fault("CoInitializeEx", E_OUTOFMEMORY);
        EXPECT_EQ(CoInitialize(nullptr), E_OUTOFMEMORY);
    }).join();
}

TEST(GuidText, RoundTripsAndRejectsMalformedText) {
    WCHAR text[39];
    ASSERT_EQ(StringFromGUID2(CLSID_SampleGrabber, text, 39), 39);
    EXPECT_STREQ(text, L"{C1F400A0-3F08-11D3-9F0B-006008039E37}");
    EXPECT_EQ(StringFromGUID2(CLSID_SampleGrabber, text, 38), 0);
    CLSID back;
    ASSERT_EQ(CLSIDFromString(L"{c1f400a0-3f08-11d3-9f0b-006008039e37}", &back), S_OK);
    EXPECT_EQ(back, CLSID_SampleGrabber);
    EXPECT_EQ(CLSIDFromString(L"{C1F400A0-3F08-11D3-9F0B-006008039E3}", &back), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(L"C1F400A0-3F08-11D3-9F0B-006008039E37", &back), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(L"{G1F400A0-3F08-11D3-9F0B-006008039E37}", &back), CO_E_CLASSSTRING);
    IID iid;
    EXPECT_EQ(IIDFromString(L"{56A86891-0AD4-11CE-B03A-0020AF0BA770}", &iid), S_OK);
    EXPECT_EQ(iid, IID_IPin);
    EXPECT_EQ(IIDFromString(L"nonsense", &iid), E_INVALIDARG);
    LPOLESTR allocated = nullptr;
    ASSERT_EQ(StringFromCLSID(CLSID_FilterGraph, &allocated), S_OK);
    EXPECT_STREQ(allocated, L"{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
    CoTaskMemFree(allocated);
    platform::ScopedFault fault("CoTaskMemAlloc", E_OUTOFMEMORY);
    EXPECT_EQ(StringFromCLSID(CLSID_FilterGraph, &allocated), E_OUTOFMEMORY);
}

TEST(Automation, BstrAndVariantOwnership) {
    BSTR s = SysAllocString(L"FriendlyName");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 12u);
    EXPECT_EQ(SysStringByteLen(s), 12u * sizeof(WCHAR));
    BSTR part = SysAllocStringLen(L"abcdef", 3);
    EXPECT_STREQ(part, L"abc");
    SysFreeString(part);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);

    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    a.vt = VT_BSTR;
    a.bstrVal = s;
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(b.bstrVal, a.bstrVal);
    EXPECT_STREQ(b.bstrVal, L"FriendlyName");
    EXPECT_EQ(VariantClear(&a), S_OK);
    EXPECT_EQ(a.vt, VT_EMPTY);
    VariantClear(&b);
    platform::ScopedFault fault("SysAllocString", E_OUTOFMEMORY);
    EXPECT_EQ(SysAllocString(L"x"), nullptr);
}

TEST(TaskMemory, AllocReallocFree) {
    void* p = CoTaskMemAlloc(0);
    EXPECT_NE(p, nullptr);
    p = CoTaskMemRealloc(p, 64);
    ASSERT_NE(p, nullptr);
    static_cast<char*>(p)[63] = 1;
    CoTaskMemFree(p);
    CoTaskMemFree(nullptr);
    platform::ScopedFault fault("CoTaskMemAlloc", E_OUTOFMEMORY);
    EXPECT_EQ(CoTaskMemAlloc(16), nullptr);
}

} // namespace
