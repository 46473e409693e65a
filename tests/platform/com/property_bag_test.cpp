#include <gtest/gtest.h>

#include <objbase.h>
#include <oleauto.h>
#include <uuids.h>

#include "platform/com/com_api.h"
#include "platform/win32/com_ptr.h"
#include "tests/platform/win32/temp_registry.h"

namespace {

using platform::ComPtr;

TEST(PropertyBag, RegistryBagReadsAndWritesTheKeysValues) {
    platform::testing::TempRegistry registry;
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(platform::CreateRegistryPropertyBag(HKEY_CURRENT_USER, L"Software\\Bag", bag.put()), S_OK);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(bag->Read(L"FriendlyName", &v, nullptr), E_INVALIDARG); // no key yet
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"TELMAR ZK900 4K");
    ASSERT_EQ(bag->Write(L"FriendlyName", &v), S_OK);
    VariantClear(&v);
    v.vt = VT_I4;
    v.lVal = 1440;
    ASSERT_EQ(bag->Write(L"Width", &v), S_OK);

    VariantInit(&v);
    ASSERT_EQ(bag->Read(L"FriendlyName", &v, nullptr), S_OK);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"TELMAR ZK900 4K");
    VariantClear(&v);
    v.vt = VT_I4;
    EXPECT_EQ(bag->Read(L"FriendlyName", &v, nullptr), E_FAIL); // no coercion of text to a number
    VariantInit(&v);
    ASSERT_EQ(bag->Read(L"Width", &v, nullptr), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 1440);
    EXPECT_NE(registry.read("HKEY_CURRENT_USER").find("\"Width\"=dword:000005a0"), std::string::npos);
    EXPECT_EQ(bag->Read(nullptr, &v, nullptr), E_POINTER);
}

TEST(DeviceMoniker, BindsToTheClassNamedInItsBagAndEnumerates) {
    ASSERT_GE(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
        ComPtr<IPropertyBag> bag;
        ASSERT_EQ(platform::CreateMemoryPropertyBag(bag.put()), S_OK);
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(L"{E436EBB1-524F-11CE-9F53-0020AF0BA770}"); // the system clock
        bag->Write(L"CLSID", &v);
        VariantClear(&v);
        ComPtr<IMoniker> moniker;
        ASSERT_EQ(platform::CreateDeviceMoniker(bag.get(), L"@device:sw:test", moniker.put()), S_OK);
        ComPtr<IUnknown> clock;
        ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IUnknown, clock.putVoid()), S_OK);
        ComPtr<IPropertyBag> storage;
        ASSERT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, storage.putVoid()), S_OK);
        EXPECT_EQ(storage, bag);
        LPOLESTR name = nullptr;
        ASSERT_EQ(moniker->GetDisplayName(nullptr, nullptr, &name), S_OK);
        EXPECT_STREQ(name, L"@device:sw:test");
        CoTaskMemFree(name);

        IMoniker* list[] = {moniker.get(), moniker.get()};
        ComPtr<IEnumMoniker> e;
        ASSERT_EQ(platform::CreateEnumMoniker(list, 2, e.put()), S_OK);
        IMoniker* got[3] = {};
        ULONG fetched = 0;
        EXPECT_EQ(e->Next(3, got, &fetched), S_FALSE);
        EXPECT_EQ(fetched, 2u);
        for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
        EXPECT_EQ(e->Reset(), S_OK);
        EXPECT_EQ(e->Skip(3), S_FALSE);

        // A bag without a class binds to nothing.
        ComPtr<IPropertyBag> empty;
        platform::CreateMemoryPropertyBag(empty.put());
        ComPtr<IMoniker> nothing;
        platform::CreateDeviceMoniker(empty.get(), L"x", nothing.put());
        EXPECT_EQ(nothing->BindToObject(nullptr, nullptr, IID_IUnknown, clock.putVoid()), MK_E_NOOBJECT);
    }
    CoUninitialize();
}

} // namespace
