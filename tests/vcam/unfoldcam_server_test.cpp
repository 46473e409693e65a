// libunfoldcam.so as applications meet it: registered among the video capture devices, created
// through COM, unregistered again; and the log lines of its registration failures.
#include <dlfcn.h>

#include "platform/win32/fault_injection.h"
#include "tests/build_paths.h"
#include "tests/vcam/vcam_fixture.h"

namespace vcam_testing {
namespace {

HRESULT CallModule(const char* path, const char* entry) {
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module) return E_FAIL;
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
    HRESULT hr = fn ? fn() : E_FAIL;
    dlclose(module);
    return hr;
}

std::vector<std::wstring> DeviceNames(REFCLSID category) {
    std::vector<std::wstring> names;
    auto devices = testfilters::Create<ICreateDevEnum>(CLSID_SystemDeviceEnum, IID_ICreateDevEnum);
    ComPtr<IEnumMoniker> e;
    if (devices->CreateClassEnumerator(category, e.put(), 0) != S_OK) return names;
    IMoniker* m;
    while (e->Next(1, &m, nullptr) == S_OK) {
        auto moniker = ComPtr<IMoniker>::adopt(m);
        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid());
        VARIANT v;
        VariantInit(&v);
        if (SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr))) names.push_back(v.bstrVal);
        VariantClear(&v);
    }
    return names;
}

bool Contains(const std::vector<std::wstring>& names, const wchar_t* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

using ServerTest = VCamTest;

TEST_F(ServerTest, RegisteredAmongTheVideoCaptureDevicesAndGoneAfterUnregistering) {
    ASSERT_EQ(CallModule(kUnfoldFilterPath, "DllRegisterServer"), S_OK);
    ASSERT_EQ(CallModule(kUnfoldCamPath, "DllRegisterServer"), S_OK);
    EXPECT_TRUE(Contains(DeviceNames(CLSID_VideoInputDeviceCategory), L"TELMAR ZK900 4K UVC"));
    EXPECT_FALSE(Contains(DeviceNames(CLSID_LegacyAmFilterCategory), L"TELMAR ZK900 4K UVC"));
    EXPECT_TRUE(Contains(DeviceNames(CLSID_LegacyAmFilterCategory), L"ZK900 4K Expander"));

    // Opened as an application opens a webcam: by its moniker, then by its class.
    ComPtr<IBaseFilter> camera =
        testfilters::FindByName(CLSID_VideoInputDeviceCategory, L"TELMAR ZK900 4K UVC");
    ASSERT_TRUE(camera);
    CLSID clsid{};
    camera->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_VCam);
    camera.reset();
    ComPtr<IBaseFilter> byClass;
    EXPECT_EQ(CoCreateInstance(CLSID_VCam, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, byClass.putVoid()),
              S_OK);
    byClass.reset();

    // The module serves the camera's class (the page's factory is tested with the page).
    {
        void* module = dlopen(kUnfoldCamPath, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr);
        auto getClassObject =
            reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(dlsym(module, "DllGetClassObject"));
        ASSERT_NE(getClassObject, nullptr);
        void* factory = nullptr;
        ASSERT_EQ(getClassObject(CLSID_VCam, IID_IClassFactory, &factory), S_OK);
        static_cast<IClassFactory*>(factory)->Release();
        dlclose(module);
    }

    ASSERT_EQ(CallModule(kUnfoldCamPath, "DllUnregisterServer"), S_OK);
    EXPECT_FALSE(Contains(DeviceNames(CLSID_VideoInputDeviceCategory), L"TELMAR ZK900 4K UVC"));
    EXPECT_TRUE(Contains(DeviceNames(CLSID_LegacyAmFilterCategory), L"ZK900 4K Expander"));
    EXPECT_EQ(CoCreateInstance(CLSID_VCam, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, byClass.putVoid()),
              REGDB_E_CLASSNOTREG);
    // Unregistering twice leaves things as they are.
    EXPECT_EQ(CallModule(kUnfoldCamPath, "DllUnregisterServer"), S_OK);
    CoFreeUnusedLibraries();
}

TEST_F(ServerTest, ARegistrationFailureIsReportedWithItsStepAndReturned) {
    platform::ScopedFault noRegistry("RegCreateKeyExW", E_ACCESSDENIED, 0, 0);
    ::testing::internal::CaptureStdout();
    const HRESULT hr = CallModule(kUnfoldCamPath, "DllRegisterServer");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(FAILED(hr));
    EXPECT_NE(out.find("[EXP][RegisterFilter:158] value:0x"), std::string::npos) << out;
}

} // namespace
} // namespace vcam_testing
