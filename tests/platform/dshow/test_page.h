// A property page of the test server (test_server.cpp, dialog 200 of test_server.rc) that notes every
// call it gets in the object it is shown for, so a test can check the order in which a frame calls
// it. Its check box (id 10) marks the page dirty as a page's controls do.
#pragma once

#include <objbase.h>

// {9D2C4B11-5E0A-4C7B-8A31-6F0E2B7C9D40}
DEFINE_GUID(CLSID_TestPropertyPage, 0x9d2c4b11, 0x5e0a, 0x4c7b, 0x8a, 0x31, 0x6f, 0x0e, 0x2b, 0x7c, 0x9d, 0x40);
// {9D2C4B12-5E0A-4C7B-8A31-6F0E2B7C9D40}
DEFINE_GUID(IID_ITestPageLog, 0x9d2c4b12, 0x5e0a, 0x4c7b, 0x8a, 0x31, 0x6f, 0x0e, 0x2b, 0x7c, 0x9d, 0x40);

constexpr int kTestPageDialog = 200;
constexpr int kTestPageTitle = 201;
constexpr int kTestPageCheckBox = 10;

struct ITestPageLog : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Note(LPCWSTR call) = 0;

protected:
    ~ITestPageLog() = default;
};
