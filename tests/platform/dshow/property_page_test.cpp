// CBasePropertyPage and OleCreatePropertyFrame: the calls a page gets from a frame, in order, as a
// person marks the page dirty, applies, and closes it; and the base's answers to callers' mistakes.
#include <functional>
#include <string>
#include <vector>

#include <commctrl.h>
#include <olectl.h>

#include "platform/win32/user_input.h"
#include "platform/win32/windowing.h"
#include "tests/platform/dshow/dshow_fixture.h"
#include "tests/platform/dshow/test_page.h"

namespace testfilters {
namespace {

// The object the page is shown for: it keeps the page's notes.
class PageLog : public CUnknown, public ITestPageLog {
public:
    PageLog() : CUnknown(L"page log", nullptr) {}
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ITestPageLog) return GetInterface(static_cast<ITestPageLog*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP Note(LPCWSTR call) override {
        calls.push_back(call);
        return S_OK;
    }
    std::vector<std::wstring> calls;
};

// The frame's owner plays the person, one step each time the frame waits for input.
std::vector<std::function<void(HWND frame)>> g_steps;
size_t g_next = 0;

LRESULT CALLBACK owner(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_ENTERIDLE && w == MSGF_DIALOGBOX && g_next < g_steps.size()) {
        g_steps[g_next++](reinterpret_cast<HWND>(l));
        // WM_ENTERIDLE comes once per idle spell; input that came through the queue ends it.
        PostMessageW(reinterpret_cast<HWND>(l), WM_NULL, 0, 0);
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

// The page's dialog inside the frame: the frame's child that is a control parent.
HWND pageDialog(HWND frame) {
    for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) return c;
    return nullptr;
}

class PropertyFrameTest : public DShowTest {
protected:
    void SetUp() override {
        DShowTest::SetUp();
        ASSERT_EQ(CallTestServer("DllRegisterServer"), S_OK);
        WNDCLASSW wc{};
        wc.lpfnWndProc = owner;
        wc.lpszClassName = L"frame test owner";
        RegisterClassW(&wc);
        owner_ = CreateWindowExW(0, L"frame test owner", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        GetDesktopWindow(); // made once per process, when a page is first measured
        windows_ = platform::LiveWindowCount();
    }
    void TearDown() override {
        EXPECT_EQ(platform::LiveWindowCount(), windows_);
        DestroyWindow(owner_);
        UnregisterClassW(L"frame test owner", nullptr);
        CoFreeUnusedLibraries();
        DShowTest::TearDown();
    }
    std::vector<std::wstring> show(std::vector<std::function<void(HWND)>> steps) {
        g_steps = std::move(steps);
        g_next = 0;
        auto* log = new PageLog;
        log->NonDelegatingAddRef();
        IUnknown* object = static_cast<ITestPageLog*>(log);
        CLSID page = CLSID_TestPropertyPage;
        EXPECT_EQ(OleCreatePropertyFrame(owner_, 10, 10, L"Test", 1, &object, 1, &page, 0, 0, nullptr), S_OK);
        EXPECT_EQ(g_next, g_steps.size());
        std::vector<std::wstring> calls = log->calls;
        log->NonDelegatingRelease();
        return calls;
    }
    HWND owner_ = nullptr;
    size_t windows_ = 0;
};

TEST_F(PropertyFrameTest, DirtyApplyThenOkInTheDocumentedOrder) {
    const std::vector<std::wstring> calls = show({
        [](HWND frame) {
            // The page on show, titled by its string; Apply waits for a change.
            wchar_t title[64];
            GetWindowTextW(frame, title, 64);
            EXPECT_STREQ(title, L"Test Properties");
            TCITEMW tab{};
            wchar_t text[32];
            tab.mask = TCIF_TEXT;
            tab.pszText = text;
            tab.cchTextMax = 32;
            SendMessageW(GetDlgItem(frame, 0x3020), TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tab));
            EXPECT_STREQ(text, L"Test Page");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame, 0x3021)));
            ASSERT_NE(pageDialog(frame), nullptr);
            EXPECT_TRUE(IsWindowVisible(pageDialog(frame)));
            platform::input::Click(GetDlgItem(pageDialog(frame), kTestPageCheckBox));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(frame, 0x3021)));
        },
        [](HWND frame) {
            platform::input::Click(GetDlgItem(frame, 0x3021)); // Apply
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame, 0x3021)));
        },
        [](HWND frame) { platform::input::Click(GetDlgItem(frame, IDOK)); },
    });
    EXPECT_EQ(calls, (std::vector<std::wstring>{L"OnConnect", L"GetPageInfo", L"Activate", L"OnActivate",
                                                L"IsPageDirty(yes)", L"Apply", L"OnApplyChanges", L"IsPageDirty(no)",
                                                L"Deactivate", L"OnDeactivate", L"SetObjects(0)", L"OnDisconnect"}));
}

TEST_F(PropertyFrameTest, CancelAppliesNothing) {
    const std::vector<std::wstring> calls = show({
        [](HWND frame) { platform::input::Click(GetDlgItem(pageDialog(frame), kTestPageCheckBox)); },
        [](HWND frame) { platform::input::PressKey(GetDlgItem(frame, IDOK), VK_ESCAPE); },
    });
    EXPECT_EQ(calls, (std::vector<std::wstring>{L"OnConnect", L"GetPageInfo", L"Activate", L"OnActivate",
                                                L"Deactivate", L"OnDeactivate", L"SetObjects(0)", L"OnDisconnect"}));
}

TEST_F(PropertyFrameTest, PagesThatCannotBeCreatedFailTheFrame) {
    IUnknown* none = nullptr;
    CLSID missing = CLSID_NULL;
    EXPECT_EQ(OleCreatePropertyFrame(owner_, 0, 0, L"x", 0, &none, 1, &missing, 0, 0, nullptr), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(OleCreatePropertyFrame(owner_, 0, 0, L"x", 1, nullptr, 1, &missing, 0, 0, nullptr), E_POINTER);
}

TEST_F(PropertyFrameTest, PageRefusesCallsOutOfOrder) {
    ComPtr<IPropertyPage> page;
    ASSERT_EQ(CoCreateInstance(CLSID_TestPropertyPage, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                               page.putVoid()),
              S_OK);
    RECT r{0, 0, 100, 50};
    EXPECT_EQ(page->Activate(owner_, &r, TRUE), E_UNEXPECTED); // no object yet
    EXPECT_EQ(page->Apply(), E_UNEXPECTED);
    EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
    EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED);
    EXPECT_EQ(page->SetPageSite(nullptr), E_UNEXPECTED);
    EXPECT_EQ(page->SetObjects(2, nullptr), E_UNEXPECTED);
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);
    EXPECT_EQ(page->TranslateAccelerator(nullptr), E_NOTIMPL);
    // Measured from its dialog: 120 x 40 dialog units at 6 x 13 pixels a unit.
    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.size.cx, 180);
    EXPECT_EQ(info.size.cy, 65);
    EXPECT_STREQ(info.pszTitle, L"Test Page");
    CoTaskMemFree(info.pszTitle);
    // Connected and activated, then released without the closing calls: the last release disconnects.
    auto* log = new PageLog;
    log->NonDelegatingAddRef();
    IUnknown* object = static_cast<ITestPageLog*>(log);
    ASSERT_EQ(page->SetObjects(1, &object), S_OK);
    ASSERT_EQ(page->Activate(owner_, &r, TRUE), S_OK);
    EXPECT_EQ(page->Activate(owner_, &r, TRUE), E_UNEXPECTED);
    EXPECT_EQ(page->Show(SW_MAXIMIZE), E_INVALIDARG);
    EXPECT_EQ(page->Apply(), E_UNEXPECTED); // no site
    page = nullptr;
    EXPECT_EQ(log->calls.back(), L"OnDisconnect");
    log->NonDelegatingRelease();
}

} // namespace
} // namespace testfilters
