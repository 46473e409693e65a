// CSrcPropPage, the virtual camera's property page: what it sends the camera as a person uses it,
// against a recording IORBE_SrcGen.
#include <string>
#include <vector>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <olectl.h>

#include "platform/win32/com_ptr.h"
#include "platform/win32/user_input.h"
#include "platform/win32/windowing.h"
#include "resources/unfoldcam_resource.h"
#include "tests/platform/dshow/page_host.h"
#include "vcam/src_prop_page.h"

namespace vcam_testing {
namespace {

namespace input = platform::input;
using platform::ComPtr;

// An IORBE_SrcGen that notes every change and answers questions from its fields.
class RecordingSrcGen : public CUnknown, public IORBE_SrcGen {
public:
    RecordingSrcGen() : CUnknown(L"recording IORBE_SrcGen", nullptr) {}
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IORBE_SrcGen) return GetInterface(static_cast<IORBE_SrcGen*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP GetResolutionList(ResolutionEntry** list, int* count, int* current) override {
        if (FAILED(listAnswer)) return listAnswer;
        *list = nullptr;
        if (!resolutions.empty()) {
            *list =
                static_cast<ResolutionEntry*>(CoTaskMemAlloc(resolutions.size() * sizeof(ResolutionEntry)));
            std::copy(resolutions.begin(), resolutions.end(), *list);
        }
        *count = int(resolutions.size());
        if (currentResolution >= 0) *current = currentResolution;
        return S_OK;
    }
    STDMETHODIMP SetResolution(int index) override { return note("SetResolution", index); }
    STDMETHODIMP GetUnfoldMode(int* m) override {
        *m = mode;
        return S_OK;
    }
    STDMETHODIMP SetUnfoldMode(int m) override { return note("SetUnfoldMode", m); }
    STDMETHODIMP GetViewPos(int* h, int* v) override {
        *h = horizontal;
        *v = vertical;
        return S_OK;
    }
    STDMETHODIMP SetViewPos(int h, int v) override { return note("SetViewPos", h, v); }
    STDMETHODIMP GetScale(int* z) override {
        if (FAILED(scaleAnswer)) return scaleAnswer;
        *z = zoom;
        return S_OK;
    }
    STDMETHODIMP SetScale(int z) override { return note("SetScale", z); }
    STDMETHODIMP GetLensDirection(int* d) override {
        *d = lens;
        return S_OK;
    }
    STDMETHODIMP SetLensDirection(int d) override { return note("SetLensDirection", d); }

    std::vector<std::string> take() { return std::exchange(calls, {}); }

    std::vector<ResolutionEntry> resolutions{{1440, 1440, 15, 0}, {1280, 720, 30, 3}};
    int currentResolution = 0;
    int mode = 6, horizontal = 40, vertical = 60, zoom = 20, lens = 1;
    HRESULT listAnswer = S_OK, scaleAnswer = S_OK;
    std::vector<std::string> calls;

private:
    HRESULT note(const char* name, int a, int b = -999) {
        std::string call = std::string(name) + "(" + std::to_string(a);
        if (b != -999) call += "," + std::to_string(b);
        calls.push_back(call + ")");
        return S_OK;
    }
};

constexpr int kModeButtons[] = {IDC_CAM_GLOBAL, IDC_CAM_SEG,      IDC_CAM_THROWOUT, IDC_CAM_DOME,
                                IDC_CAM_INDOME, IDC_CAM_PANORAMA, IDC_CAM_EXTRACT,  IDC_CAM_QUAD,
                                IDC_CAM_RING,   IDC_CAM_FRONT};
constexpr int kViewControls[] = {IDC_CAM_HORIZONTAL,       IDC_CAM_VERTICAL,       IDC_CAM_ZOOM,
                                 IDC_CAM_RESET_HORIZONTAL, IDC_CAM_RESET_VERTICAL, IDC_CAM_RESET_ZOOM};

class SrcPropPageTest : public ::testing::Test, public page_testing::PageHost {
protected:
    void SetUp() override {
        camera_ = new RecordingSrcGen;
        camera_->NonDelegatingAddRef();
        HRESULT hr = S_OK;
        hostPage(CSrcPropPage::CreateInstance(nullptr, &hr), 500, 400);
        ASSERT_EQ(hr, S_OK);
    }
    void TearDown() override {
        unhostPage();
        camera_->NonDelegatingRelease();
    }
    // The page on show for the recording camera; Activate's result.
    HRESULT open() { return activate(static_cast<IORBE_SrcGen*>(camera_), RECT{0, 0, 400, 300}); }
    bool enabled(int id) { return IsWindowEnabled(item(id)) != FALSE; }
    std::vector<int> checkedModes() {
        std::vector<int> on;
        for (int id : kModeButtons)
            if (IsDlgButtonChecked(dialog_, id)) on.push_back(id);
        return on;
    }

    RecordingSrcGen* camera_ = nullptr;
};

TEST_F(SrcPropPageTest, OpeningShowsTheCamerasValuesAndSendsNothing) {
    ASSERT_EQ(open(), S_OK);
    EXPECT_TRUE(camera_->take().empty());
    EXPECT_EQ(text(IDC_CAM_VERSION), L"Ver 1.2.3.0"); // this program carries version 1.2.3.0
    EXPECT_EQ(SendMessageW(item(IDC_CAM_RESOLUTION), CB_GETCOUNT, 0, 0), 2);
    wchar_t line[64];
    SendMessageW(item(IDC_CAM_RESOLUTION), CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_STREQ(line, L"1280x720(30fps)");
    EXPECT_EQ(SendMessageW(item(IDC_CAM_RESOLUTION), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(slider(IDC_CAM_HORIZONTAL), 40);
    EXPECT_EQ(slider(IDC_CAM_VERTICAL), 60);
    EXPECT_EQ(slider(IDC_CAM_ZOOM), 20);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CAM_UP), 1u);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CAM_DOWN), 0u);
    EXPECT_EQ(checkedModes(), std::vector<int>{IDC_CAM_INDOME});
    for (int id : kModeButtons) {
        EXPECT_TRUE(enabled(id)) << id;
        EXPECT_NE(SendMessageW(item(id), BM_GETIMAGE, IMAGE_ICON, 0), 0) << id;
    }
    for (int id : kViewControls) EXPECT_TRUE(enabled(id)) << id;
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
    close();
    // Closing sends the kept values, which are the camera's own.
    EXPECT_EQ(camera_->take(),
              (std::vector<std::string>{"SetResolution(0)", "SetUnfoldMode(6)", "SetViewPos(40,60)",
                                        "SetScale(20)", "SetLensDirection(1)"}));
}

TEST_F(SrcPropPageTest, AWidePictureOffersOnlyTheFrontViewUntilASquareOneIsChosen) {
    camera_->currentResolution = 1;
    camera_->mode = 10;
    camera_->lens = 0;
    ASSERT_EQ(open(), S_OK);
    for (int id : kModeButtons) EXPECT_EQ(enabled(id), id == IDC_CAM_FRONT) << id;
    for (int id : kViewControls) EXPECT_FALSE(enabled(id)) << id;
    EXPECT_EQ(checkedModes(), std::vector<int>{IDC_CAM_FRONT});
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CAM_DOWN), 1u);
    // A person cannot reach a disabled slider.
    EXPECT_FALSE(input::DragTrackbar(item(IDC_CAM_ZOOM), 70));

    ASSERT_TRUE(input::ChooseListItem(item(IDC_CAM_RESOLUTION), 0));
    EXPECT_EQ(camera_->take(),
              (std::vector<std::string>{"SetResolution(0)", "SetLensDirection(0)", "SetUnfoldMode(6)",
                                        "SetViewPos(0,0)", "SetScale(0)"}));
    for (int id : kModeButtons) EXPECT_TRUE(enabled(id)) << id;
    for (int id : kViewControls) EXPECT_TRUE(enabled(id)) << id;
    EXPECT_EQ(checkedModes(), std::vector<int>{IDC_CAM_INDOME});
    EXPECT_EQ(slider(IDC_CAM_HORIZONTAL), 0);
    EXPECT_EQ(slider(IDC_CAM_VERTICAL), 0);
    EXPECT_EQ(slider(IDC_CAM_ZOOM), 0);
    EXPECT_EQ(page_->IsPageDirty(), S_OK);
    EXPECT_EQ(site_->dirty, 1);

    // Back to the wide picture: the front view alone, at (0, 0).
    ASSERT_TRUE(input::ChooseListItem(item(IDC_CAM_RESOLUTION), 1));
    EXPECT_EQ(camera_->take(),
              (std::vector<std::string>{"SetResolution(3)", "SetLensDirection(0)", "SetUnfoldMode(10)",
                                        "SetViewPos(0,0)", "SetScale(0)"}));
    EXPECT_EQ(checkedModes(), std::vector<int>{IDC_CAM_FRONT});
    EXPECT_FALSE(enabled(IDC_CAM_RESET_ZOOM));
    close();
    camera_->take();
}

TEST_F(SrcPropPageTest, TheLiveModesButtonDoesNothingAnotherResetsTheView) {
    ASSERT_EQ(open(), S_OK);
    ASSERT_TRUE(input::Click(item(IDC_CAM_INDOME)));
    EXPECT_TRUE(camera_->take().empty());
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);

    ASSERT_TRUE(input::Click(item(IDC_CAM_QUAD)));
    EXPECT_EQ(camera_->take(),
              (std::vector<std::string>{"SetUnfoldMode(3)", "SetViewPos(50,50)", "SetScale(0)"}));
    EXPECT_EQ(checkedModes(), std::vector<int>{IDC_CAM_QUAD});
    EXPECT_EQ(slider(IDC_CAM_HORIZONTAL), 50);
    EXPECT_EQ(slider(IDC_CAM_VERTICAL), 50);
    EXPECT_EQ(slider(IDC_CAM_ZOOM), 0);
    // The front view has no view to move.
    ASSERT_TRUE(input::Click(item(IDC_CAM_FRONT)));
    for (int id : kViewControls) EXPECT_FALSE(enabled(id)) << id;
    ASSERT_TRUE(input::Click(item(IDC_CAM_RING)));
    for (int id : kViewControls) EXPECT_TRUE(enabled(id)) << id;
    close();
}

TEST_F(SrcPropPageTest, CancelSendsBackWhatWasKeptApplyKeepsWhatIsOnShow) {
    ASSERT_EQ(open(), S_OK);
    input::ChooseListItem(item(IDC_CAM_RESOLUTION), 1); // the private graph is rebuilt once
    input::Click(item(IDC_CAM_DOWN));
    camera_->take();
    close(); // Cancel: rebuilt again, at the kept resolution
    EXPECT_EQ(camera_->take(),
              (std::vector<std::string>{"SetResolution(0)", "SetUnfoldMode(6)", "SetViewPos(40,60)",
                                        "SetScale(20)", "SetLensDirection(1)"}));

    ASSERT_EQ(open(), S_OK);
    input::Click(item(IDC_CAM_DOME));
    input::DragTrackbar(item(IDC_CAM_HORIZONTAL), 70);
    input::Click(item(IDC_CAM_DOWN));
    ASSERT_EQ(page_->Apply(), S_OK);
    input::Click(item(IDC_CAM_UP)); // after Apply: undone on close
    camera_->take();
    close();
    EXPECT_EQ(camera_->take(),
              (std::vector<std::string>{"SetResolution(0)", "SetUnfoldMode(5)", "SetViewPos(70,50)",
                                        "SetScale(0)", "SetLensDirection(0)"}));
}

TEST_F(SrcPropPageTest, ResetsSlidersAndTheLens) {
    ASSERT_EQ(open(), S_OK);
    input::Click(item(IDC_CAM_RESET_HORIZONTAL));
    EXPECT_EQ(slider(IDC_CAM_HORIZONTAL), 50);
    input::Click(item(IDC_CAM_RESET_VERTICAL));
    EXPECT_EQ(slider(IDC_CAM_VERTICAL), 50);
    input::Click(item(IDC_CAM_RESET_ZOOM));
    EXPECT_EQ(slider(IDC_CAM_ZOOM), 0);
    input::Click(item(IDC_CAM_DOWN));
    EXPECT_EQ(camera_->take(), (std::vector<std::string>{"SetViewPos(50,60)", "SetViewPos(50,50)",
                                                         "SetScale(0)", "SetLensDirection(0)"}));
    // A key moves a slider without a word to the camera; a drag sends all three.
    input::PressKey(item(IDC_CAM_ZOOM), VK_RIGHT);
    EXPECT_TRUE(camera_->take().empty());
    input::DragTrackbar(item(IDC_CAM_VERTICAL), 30);
    EXPECT_EQ(camera_->take(), (std::vector<std::string>{"SetViewPos(50,30)", "SetScale(1)"}));
    close();
}

TEST_F(SrcPropPageTest, AnEmptyResolutionListShowsEveryModeAndClosingSendsNoResolution) {
    camera_->resolutions.clear();
    camera_->currentResolution = -1;
    ASSERT_EQ(open(), S_OK);
    EXPECT_EQ(SendMessageW(item(IDC_CAM_RESOLUTION), CB_GETCOUNT, 0, 0), 0);
    for (int id : kModeButtons) EXPECT_TRUE(enabled(id)) << id;
    close();
    EXPECT_EQ(camera_->take(), (std::vector<std::string>{"SetUnfoldMode(6)", "SetViewPos(40,60)",
                                                         "SetScale(20)", "SetLensDirection(1)"}));
}

TEST_F(SrcPropPageTest, AFailedQuestionFailsTheActivationWithItsCodeAndLine) {
    camera_->scaleAnswer = E_ACCESSDENIED;
    testing::internal::CaptureStdout();
    EXPECT_EQ(open(), S_OK); // the base goes on whatever the page answers
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[EXP][CSrcPropPage::OnActivate:109]"), std::string::npos) << out;
    EXPECT_EQ(text(IDC_CAM_VERSION), L"Ver 1.2.3.0");
    close();
    camera_->take();

    auto* page = static_cast<CBasePropertyPage*>(static_cast<IPropertyPage*>(page_.get()));
    EXPECT_EQ(page->OnConnect(nullptr), E_POINTER);
    ComPtr<IUnknown> site;
    site_->NonDelegatingQueryInterface(IID_IUnknown, site.putVoid());
    EXPECT_EQ(page->OnConnect(site.get()), E_NOINTERFACE);
    EXPECT_EQ(page->OnDisconnect(), S_OK);
}

TEST(SrcPropPageVersion, FourNumbersFromTheProductVersion) {
    wchar_t text[32];
    CSrcPropPage::FormatVersion(0x00010002, 0x00030000, text, 32);
    EXPECT_STREQ(text, L"Ver 1.2.3.0");
    CSrcPropPage::FormatVersion(0x000A0102, 0x00FF0304, text, 32); // minor and revision: the low bytes
    EXPECT_STREQ(text, L"Ver 10.2.255.4");
}

} // namespace
} // namespace vcam_testing
