// CORBE_GeneralProp, the expansion filter's property page: what it sends the filter as a person uses
// it, against a recording IORBE_General; and the page of libunfoldfilter.so in a real frame over a
// connected filter.
#include <dlfcn.h>

#include <functional>
#include <string>
#include <vector>

#include <commctrl.h>
#include <olectl.h>

#include "filter/orbe_general_prop.h"
#include "platform/win32/user_input.h"
#include "platform/win32/windowing.h"
#include "resources/unfoldfilter_resource.h"
#include "tests/build_paths.h"
#include "tests/filter/filter_fixture.h"
#include "tests/platform/dshow/page_host.h"

namespace filter_testing {
namespace {

namespace input = platform::input;

std::string number(float v) {
    char text[32];
    snprintf(text, sizeof text, "%g", double(v));
    return text;
}

// An IORBE_General that notes every call; GetUnfoldMode answers `mode` (or leaves the value when
// `hasIndex` is false, as the filter does for modes without an index).
class RecordingGeneral : public CUnknown, public IORBE_General {
public:
    RecordingGeneral() : CUnknown(L"recording IORBE_General", nullptr) {}
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IORBE_General) return GetInterface(static_cast<IORBE_General*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP GetUnfoldMode(int* index) override {
        calls.push_back("GetUnfoldMode");
        if (hasIndex) *index = mode;
        return answer;
    }
    STDMETHODIMP SetUnfoldMode(int index) override {
        calls.push_back("SetUnfoldMode(" + std::to_string(index) + ")");
        return S_OK;
    }
    STDMETHODIMP GetViewPos(float*, float*) override { return S_OK; }
    STDMETHODIMP SetViewPosABS(float h, float v) override {
        calls.push_back("SetViewPosABS(" + number(h) + "," + number(v) + ")");
        return S_OK;
    }
    STDMETHODIMP SetScaleABS(float z) override {
        calls.push_back("SetScaleABS(" + number(z) + ")");
        return S_OK;
    }
    STDMETHODIMP SetLensDirection(BOOL up) override {
        calls.push_back("SetLensDirection(" + std::to_string(up) + ")");
        return S_OK;
    }
    std::vector<std::string> take() { return std::exchange(calls, {}); }

    std::vector<std::string> calls;
    int mode = 6;
    bool hasIndex = true;
    HRESULT answer = S_OK;
};

// The page connected to a recording filter and shown in a plain parent window, driven as a frame
// drives it.
class GeneralPropTest : public FilterTest, public page_testing::PageHost {
protected:
    void SetUp() override {
        FilterTest::SetUp();
        general_ = new RecordingGeneral;
        general_->NonDelegatingAddRef();
        HRESULT hr = S_OK;
        hostPage(CORBE_GeneralProp::CreateInstance(nullptr, &hr), 400, 300);
        ASSERT_EQ(hr, S_OK);
    }
    void TearDown() override {
        unhostPage();
        general_->NonDelegatingRelease();
        FilterTest::TearDown();
    }
    // The page on show for the recording filter.
    void open() {
        ASSERT_EQ(activate(static_cast<IORBE_General*>(general_), RECT{0, 0, 336, 202}), S_OK);
        ASSERT_NE(dialog_, nullptr);
    }

    RecordingGeneral* general_ = nullptr;
};

TEST_F(GeneralPropTest, OpeningPutsTheViewAtTheOriginAndShowsTheFilter) {
    open();
    EXPECT_EQ(general_->take(),
              (std::vector<std::string>{"GetUnfoldMode", "SetViewPosABS(0,0)", "SetScaleABS(0)"}));
    // Index 6 is the inverted dome: "Inview" alone is on.
    for (int id : {IDC_MODE_GLOBAL, IDC_MODE_PANORAMA, IDC_MODE_SEG, IDC_MODE_QUAD, IDC_MODE_RING,
                   IDC_MODE_DOME, IDC_MODE_INVIEW, IDC_MODE_THROWOUT, IDC_MODE_EXTRACT})
        EXPECT_EQ(IsDlgButtonChecked(dialog_, id), id == IDC_MODE_INVIEW ? 1u : 0u) << id;
    EXPECT_EQ(slider(IDC_HORIZONTAL), 0);
    EXPECT_EQ(slider(IDC_VERTICAL), 0);
    EXPECT_EQ(text(IDC_VERSION), L"ver1.23"); // this program carries version 1.2.3.0
    // Eight mode buttons show icons; Extract is hidden, disabled and bare.
    for (int id : {IDC_MODE_GLOBAL, IDC_MODE_PANORAMA, IDC_MODE_SEG, IDC_MODE_QUAD, IDC_MODE_RING,
                   IDC_MODE_DOME, IDC_MODE_INVIEW, IDC_MODE_THROWOUT})
        EXPECT_NE(SendMessageW(item(id), BM_GETIMAGE, IMAGE_ICON, 0), 0) << id;
    EXPECT_EQ(SendMessageW(item(IDC_MODE_EXTRACT), BM_GETIMAGE, IMAGE_ICON, 0), 0);
    EXPECT_FALSE(IsWindowVisible(item(IDC_MODE_EXTRACT)));
    EXPECT_FALSE(IsWindowEnabled(item(IDC_MODE_EXTRACT)));
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
    close();
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetUnfoldMode(6)"}));
}

TEST_F(GeneralPropTest, DomeThenCancelRestoresTheMode) {
    open();
    general_->take();
    ASSERT_TRUE(input::Click(item(IDC_MODE_DOME)));
    EXPECT_EQ(general_->take(),
              (std::vector<std::string>{"SetUnfoldMode(5)", "SetViewPosABS(0,0)", "SetScaleABS(0)"}));
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_MODE_INVIEW), 0u);
    EXPECT_EQ(page_->IsPageDirty(), S_OK);
    EXPECT_EQ(site_->dirty, 1);
    close();
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetUnfoldMode(6)"}));
}

TEST_F(GeneralPropTest, DomeApplyThenCancelKeepsDome) {
    open();
    input::Click(item(IDC_MODE_DOME));
    ASSERT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
    input::Click(item(IDC_MODE_QUAD)); // chosen after Apply: undone on close
    general_->take();
    close();
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetUnfoldMode(5)"}));
}

TEST_F(GeneralPropTest, AModeWithoutAnIndexChecksGlobalAndClosingSendsMinusOne) {
    general_->hasIndex = false; // EQRECT, for example
    open();
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_MODE_GLOBAL), 1u);
    general_->take();
    close();
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetUnfoldMode(-1)"}));
}

TEST_F(GeneralPropTest, ArrowKeysMoveASliderButSendNothingUntilTheNextClickOrDrag) {
    open();
    general_->take();
    ASSERT_TRUE(input::PressKey(item(IDC_HORIZONTAL), VK_RIGHT));
    ASSERT_TRUE(input::PressKey(item(IDC_HORIZONTAL), VK_RIGHT));
    EXPECT_EQ(slider(IDC_HORIZONTAL), 2);
    EXPECT_TRUE(general_->take().empty());
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
    // A page click on the vertical slider sends all three positions.
    ASSERT_TRUE(input::ClickTrackbarPage(item(IDC_VERTICAL), false));
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetViewPosABS(2,20)", "SetScaleABS(0)"}));
    // So does a drag, on every move.
    ASSERT_TRUE(input::DragTrackbar(item(IDC_ZOOM), 45));
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetViewPosABS(2,20)", "SetScaleABS(45)"}));
    EXPECT_EQ(page_->IsPageDirty(), S_OK);
    close();
}

TEST_F(GeneralPropTest, ResetButtonsReturnTheirSliderToZero) {
    open();
    input::DragTrackbar(item(IDC_HORIZONTAL), 40);
    input::DragTrackbar(item(IDC_VERTICAL), 60);
    input::DragTrackbar(item(IDC_ZOOM), 30);
    general_->take();
    input::Click(item(IDC_RESET_HORIZONTAL));
    EXPECT_EQ(slider(IDC_HORIZONTAL), 0);
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetViewPosABS(0,60)"}));
    input::Click(item(IDC_RESET_VERTICAL));
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetViewPosABS(0,0)"}));
    // The zoom's Reset also sends the mode and the whole view, as any other click does.
    input::Click(item(IDC_RESET_ZOOM));
    EXPECT_EQ(slider(IDC_ZOOM), 0);
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetScaleABS(0)", "SetUnfoldMode(6)",
                                                          "SetViewPosABS(0,0)", "SetScaleABS(0)"}));
    close();
}

TEST_F(GeneralPropTest, AFilterThatCannotTellItsModeIsLeftAlone) {
    general_->answer = E_FAIL;
    open();
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"GetUnfoldMode"}));
    EXPECT_EQ(text(IDC_VERSION), L"ver1.23");
    EXPECT_EQ(SendMessageW(item(IDC_MODE_DOME), BM_GETIMAGE, IMAGE_ICON, 0), 0);
    close();
    EXPECT_EQ(general_->take(), (std::vector<std::string>{"SetUnfoldMode(-1)"}));
}

TEST_F(GeneralPropTest, ObjectsWithoutTheInterfaceAreRefused) {
    ComPtr<IUnknown> plain;
    general_->NonDelegatingQueryInterface(IID_IUnknown, plain.putVoid());
    auto* page = static_cast<CBasePropertyPage*>(static_cast<IPropertyPage*>(page_.get()));
    EXPECT_EQ(page->OnConnect(nullptr), E_POINTER);
    HRESULT hr = S_OK;
    CUnknown* bare = CExpansionFilter::CreateInstance(nullptr, &hr);
    ComPtr<IUnknown> filter;
    bare->NonDelegatingQueryInterface(IID_IUnknown, filter.putVoid());
    EXPECT_EQ(page->OnConnect(filter.get()), S_OK); // the filter has IORBE_General
    page->OnDisconnect();
    auto* other = new page_testing::CountingSite;
    ComPtr<IUnknown> noInterface;
    other->NonDelegatingQueryInterface(IID_IUnknown, noInterface.putVoid());
    EXPECT_EQ(page->OnConnect(noInterface.get()), E_NOINTERFACE);
    EXPECT_EQ(page->OnDisconnect(), S_OK);
}

TEST(GeneralPropVersion, RevisionBecomesALetter) {
    wchar_t text[32];
    CORBE_GeneralProp::FormatVersion(0x00010002, 0x00030000, text, 32);
    EXPECT_STREQ(text, L"ver1.23");
    CORBE_GeneralProp::FormatVersion(0x00010002, 0x00030001, text, 32);
    EXPECT_STREQ(text, L"ver1.23a");
    CORBE_GeneralProp::FormatVersion(0x00020100, 0x000A0002, text, 32); // minor is the low byte only
    EXPECT_STREQ(text, L"ver2.010b");
}

// The page of the registered module, opened by the frame over a connected filter: choosing Dome and
// pressing Cancel leaves the filter in the mode it had.
std::vector<std::function<void(HWND)>> g_steps;
size_t g_next = 0;
LRESULT CALLBACK frameOwner(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_ENTERIDLE && w == MSGF_DIALOGBOX && g_next < g_steps.size()) {
        g_steps[g_next++](reinterpret_cast<HWND>(l));
        // WM_ENTERIDLE comes once per idle spell; input that came through the queue ends it.
        PostMessageW(reinterpret_cast<HWND>(l), WM_NULL, 0, 0);
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

HWND pageIn(HWND frame) {
    for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) return c;
    return nullptr;
}

TEST_F(FilterTest, TheModulesPageInARealFrameOverAConnectedFilter) {
    void* module = dlopen(kUnfoldFilterPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"));
    ASSERT_EQ(reg(), S_OK);
    // The module's factory serves its page.
    auto getClassObject =
        reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(dlsym(module, "DllGetClassObject"));
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_ORBE_GeneralProp, IID_IClassFactory, factory.putVoid()), S_OK);
    ComPtr<IPropertyPage> direct;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, direct.putVoid()), S_OK);
    direct = nullptr;
    factory = nullptr;

    CExpansionFilter* filter = NewFilter();
    ComPtr<IBaseFilter> base;
    filter->NonDelegatingQueryInterface(IID_IBaseFilter, base.putVoid());
    {
        FilterGraph g(base.get(), VideoType(MEDIASUBTYPE_RGB32, 720, 720));
        ASSERT_EQ(g.connect(), S_OK);
        int index = -1;
        filter->GetUnfoldMode(&index);
        ASSERT_EQ(index, 6); // INDOME after connection

        ComPtr<ISpecifyPropertyPages> specify;
        ASSERT_EQ(base.as(IID_ISpecifyPropertyPages, specify), S_OK);
        CAUUID pages{};
        ASSERT_EQ(specify->GetPages(&pages), S_OK);
        WNDCLASSW wc{};
        wc.lpfnWndProc = frameOwner;
        wc.lpszClassName = L"general frame owner";
        RegisterClassW(&wc);
        HWND owner = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);
        int during = -1;
        std::wstring version;
        g_steps = {[&](HWND frame) {
                       HWND page = pageIn(frame);
                       wchar_t text[32];
                       GetDlgItemTextW(page, IDC_VERSION, text, 32);
                       version = text;
                       input::Click(GetDlgItem(page, IDC_MODE_DOME));
                       filter->GetUnfoldMode(&during);
                   },
                   [](HWND frame) { input::Click(GetDlgItem(frame, IDCANCEL)); }};
        g_next = 0;
        IUnknown* object = base.get();
        EXPECT_EQ(OleCreatePropertyFrame(owner, 0, 0, L"ZK900 4K Expander", 1, &object, pages.cElems,
                                         pages.pElems, 0, 0, nullptr),
                  S_OK);
        CoTaskMemFree(pages.pElems);
        EXPECT_EQ(g_next, 2u);
        EXPECT_EQ(version, L"ver1.23");
        EXPECT_EQ(during, 5); // DOME while the page was open
        index = -1;
        filter->GetUnfoldMode(&index);
        EXPECT_EQ(index, 6); // back to INDOME after Cancel
        DestroyWindow(owner);
        UnregisterClassW(L"general frame owner", nullptr);
    }
    base = nullptr;
    CoFreeUnusedLibraries();
    dlclose(module);
}

} // namespace
} // namespace filter_testing
