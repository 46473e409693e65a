// A filter's property page driven as a property frame drives it, without the frame: the page shown in
// a plain parent window, a site that counts the page's reports of changes, the calls of opening and
// closing, and the dialog's items. A fixture derives from PageHost beside ::testing::Test.
#pragma once

#include <string>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <olectl.h>
#include <streams.h>

#include "platform/win32/com_ptr.h"
#include "platform/win32/windowing.h"

namespace page_testing {

// The frame's side: counts the page's reports of changes.
class CountingSite : public CUnknown, public IPropertyPageSite {
public:
    CountingSite() : CUnknown(L"counting site", nullptr) {}
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IPropertyPageSite) return GetInterface(static_cast<IPropertyPageSite*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP OnStatusChange(DWORD flags) override {
        if (flags & PROPPAGESTATUS_DIRTY) ++dirty;
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* id) override {
        *id = 0;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
    int dirty = 0;
};

class PageHost {
protected:
    // Takes the page `made` by its class's CreateInstance and a parent window of width x height.
    void hostPage(CUnknown* made, int width, int height) {
        GetDesktopWindow();
        windows_ = platform::LiveWindowCount();
        site_ = new CountingSite;
        site_->NonDelegatingAddRef();
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = kParentClass;
        RegisterClassW(&wc);
        parent_ = CreateWindowExW(WS_EX_CONTROLPARENT, kParentClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, width,
                                  height, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(made, nullptr);
        made->NonDelegatingQueryInterface(IID_IPropertyPage, page_.putVoid());
    }
    // Releases the page and its parent; every window they made is gone.
    void unhostPage() {
        page_ = nullptr;
        DestroyWindow(parent_);
        UnregisterClassW(kParentClass, nullptr);
        EXPECT_EQ(platform::LiveWindowCount(), windows_);
        if (site_) site_->NonDelegatingRelease();
        site_ = nullptr;
    }
    // SetPageSite, SetObjects, Activate: the page on show for `object`; Activate's result.
    HRESULT activate(IUnknown* object, RECT r) {
        EXPECT_EQ(page_->SetPageSite(site_), S_OK);
        EXPECT_EQ(page_->SetObjects(1, &object), S_OK);
        const HRESULT hr = page_->Activate(parent_, &r, TRUE);
        dialog_ = GetWindow(parent_, GW_CHILD);
        return hr;
    }
    // Deactivate and disconnect: how a frame closes, whether by OK or Cancel.
    void close() {
        ASSERT_EQ(page_->Deactivate(), S_OK);
        ASSERT_EQ(page_->SetObjects(0, nullptr), S_OK);
        ASSERT_EQ(page_->SetPageSite(nullptr), S_OK);
    }
    HWND item(int id) { return GetDlgItem(dialog_, id); }
    LRESULT slider(int id) { return SendMessageW(item(id), TBM_GETPOS, 0, 0); }
    std::wstring text(int id) {
        wchar_t buffer[64];
        GetDlgItemTextW(dialog_, id, buffer, 64);
        return buffer;
    }

    CountingSite* site_ = nullptr;
    platform::ComPtr<IPropertyPage> page_;
    HWND parent_ = nullptr, dialog_ = nullptr;
    size_t windows_ = 0;

private:
    static constexpr wchar_t kParentClass[] = L"page test parent";
};

} // namespace page_testing
