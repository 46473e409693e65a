// A COM server module for the DirectShow tests: the RGB24 to RGB32 converter, registered in the general
// filter category with MERIT_NORMAL so that intelligent connect can use it, and a property page that
// notes the calls it gets.
#include <new>
#include <string>

#include "tests/platform/dshow/test_filters.h"
#include "tests/platform/dshow/test_page.h"

using namespace testfilters;

namespace {

const AMOVIESETUP_MEDIATYPE kInTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const AMOVIESETUP_MEDIATYPE kOutTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32}};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kInTypes},
    {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kOutTypes},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_TestConverter, kConverterName, MERIT_NORMAL, 2, kPins};

class TestPage : public CBasePropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
        auto* page = new (std::nothrow) TestPage(pUnk);
        if (!page && phr) *phr = E_OUTOFMEMORY;
        return page;
    }
    ~TestPage() override {
        if (log_) log_->Release();
    }

    STDMETHODIMP SetPageSite(LPPROPERTYPAGESITE site) override {
        note(site ? L"SetPageSite" : L"SetPageSite(NULL)");
        return CBasePropertyPage::SetPageSite(site);
    }
    STDMETHODIMP SetObjects(ULONG count, LPUNKNOWN* objects) override {
        note(L"SetObjects(" + std::to_wstring(count) + L")");
        return CBasePropertyPage::SetObjects(count, objects);
    }
    STDMETHODIMP GetPageInfo(LPPROPPAGEINFO info) override {
        note(L"GetPageInfo");
        return CBasePropertyPage::GetPageInfo(info);
    }
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override {
        note(L"Activate");
        return CBasePropertyPage::Activate(parent, rect, modal);
    }
    STDMETHODIMP Deactivate() override {
        note(L"Deactivate");
        return CBasePropertyPage::Deactivate();
    }
    STDMETHODIMP IsPageDirty() override {
        note(m_bDirty ? L"IsPageDirty(yes)" : L"IsPageDirty(no)");
        return CBasePropertyPage::IsPageDirty();
    }
    STDMETHODIMP Apply() override {
        note(L"Apply");
        return CBasePropertyPage::Apply();
    }
    HRESULT OnConnect(IUnknown* object) override {
        HRESULT hr = object->QueryInterface(IID_ITestPageLog, reinterpret_cast<void**>(&log_));
        note(L"OnConnect");
        return hr;
    }
    HRESULT OnDisconnect() override {
        note(L"OnDisconnect");
        if (log_) log_->Release();
        log_ = nullptr;
        return S_OK;
    }
    HRESULT OnActivate() override {
        note(L"OnActivate");
        return S_OK;
    }
    HRESULT OnDeactivate() override {
        note(L"OnDeactivate");
        return S_OK;
    }
    HRESULT OnApplyChanges() override {
        note(L"OnApplyChanges");
        return S_OK;
    }
    INT_PTR OnReceiveMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && LOWORD(wParam) == kTestPageCheckBox && HIWORD(wParam) == BN_CLICKED) {
            m_bDirty = TRUE;
            if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
            return 1;
        }
        return CBasePropertyPage::OnReceiveMessage(hwnd, msg, wParam, lParam);
    }

private:
    explicit TestPage(LPUNKNOWN pUnk) : CBasePropertyPage(L"Test page", pUnk, kTestPageDialog, kTestPageTitle) {}
    void note(const std::wstring& call) {
        if (log_) log_->Note(call.c_str());
    }

    ITestPageLog* log_ = nullptr;
};

} // namespace

const CFactoryTemplate g_Templates[] = {
    {kConverterName, &CLSID_TestConverter, Converter::CreateInstance, nullptr, &kSetup},
    {L"Test Page", &CLSID_TestPropertyPage, TestPage::CreateInstance, nullptr, nullptr}};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer() {
    return AMovieDllRegisterServer2(TRUE);
}
STDAPI DllUnregisterServer() {
    return AMovieDllRegisterServer2(FALSE);
}
