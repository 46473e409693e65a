// The expansion filter's page as a real window (run under Xvfb): the property frame shown through the
// GTK display, drawn where the headless model puts each control, and driven by synthetic X input
// (xdotool) that reaches the filter as a person's clicks and drags do.
#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <commctrl.h>
#include <olectl.h>

#include "platform/win32/display.h"
#include "platform/win32/user_input.h"
#include "resources/unfoldfilter_resource.h"
#include "tests/build_paths.h"
#include "tests/filter/filter_fixture.h"
#include "tests/x_display.h"

namespace filter_testing {
namespace {

using display_testing::PageIn;
using display_testing::XClick;
using display_testing::XPicture;

// A click at the centre of a window on the screen.
bool xClickCentre(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return XClick((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// Steps run on the frame's idle moments; a step answering false runs again at the next one.
std::vector<std::function<bool(HWND)>> g_steps;
size_t g_next = 0;
int g_idles = 0;
LRESULT CALLBACK frameOwner(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_ENTERIDLE && w == MSGF_DIALOGBOX) {
        auto frame = reinterpret_cast<HWND>(l);
        if (++g_idles > 2000) {
            // Input that never arrived: end the frame rather than wait for ever.
            PostMessageW(frame, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        } else if (g_next < g_steps.size()) {
            if (g_steps[g_next](frame))
                ++g_next;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            PostMessageW(frame, WM_NULL, 0, 0);
        }
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

TEST_F(FilterTest, ThePageAsARealWindowDrawnAtTheModelsRectanglesAndClickedThroughX) {
    std::string reason;
    ASSERT_TRUE(platform::OpenDisplay(reason)) << reason;
    void* module = dlopen(kUnfoldFilterPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"))(), S_OK);

    CExpansionFilter* filter = NewFilter();
    ComPtr<IBaseFilter> base;
    filter->NonDelegatingQueryInterface(IID_IBaseFilter, base.putVoid());
    {
        FilterGraph g(base.get(), VideoType(MEDIASUBTYPE_RGB32, 720, 720));
        ASSERT_EQ(g.connect(), S_OK);
        ComPtr<ISpecifyPropertyPages> specify;
        ASSERT_EQ(base.as(IID_ISpecifyPropertyPages, specify), S_OK);
        CAUUID pages{};
        ASSERT_EQ(specify->GetPages(&pages), S_OK);
        WNDCLASSW wc{};
        wc.lpfnWndProc = frameOwner;
        wc.lpszClassName = L"window test owner";
        RegisterClassW(&wc);
        HWND owner = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 50, 60, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);

        XPicture shot;
        RECT frameRect{};
        std::vector<std::pair<int, RECT>> controls; // id and rectangle within the frame
        int during = -1;
        LONG dragged = -1;
        float viewAfterDrag = -1;
        ComPtr<IORBE_General> general;
        ASSERT_EQ(base.as(IID_IORBE_General, general), S_OK);
        g_steps = {
            [&](HWND frame) {
                GetWindowRect(frame, &frameRect);
                EXPECT_TRUE(platform::ActiveDisplay()->snapshot(frame, shot.width, shot.height, shot.rgba));
                HWND page = PageIn(frame);
                for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                    if (!IsWindowVisible(c)) continue;
                    RECT r;
                    GetWindowRect(c, &r);
                    OffsetRect(&r, -frameRect.left, -frameRect.top);
                    controls.emplace_back(GetDlgCtrlID(c), r);
                }
                // A person clicks "Dome".
                EXPECT_TRUE(xClickCentre(GetDlgItem(page, IDC_MODE_DOME)));
                return true;
            },
            [&](HWND frame) {
                int index = -1;
                filter->GetUnfoldMode(&index);
                if (index != 5) return false; // the click is on its way
                during = index;
                EXPECT_EQ(IsDlgButtonChecked(PageIn(frame), IDC_MODE_DOME), 1u);
                return true;
            },
            [&](HWND frame) {
                // A person drags the Horizontal thumb from the left end to the middle.
                HWND slider = GetDlgItem(PageIn(frame), IDC_HORIZONTAL);
                RECT r;
                GetWindowRect(slider, &r);
                const POINT from = platform::input::TrackbarPoint(slider, 0);
                const int y = (r.top + r.bottom) / 2, x0 = r.left + from.x, x1 = (r.left + r.right) / 2;
                const std::string command = "xdotool mousemove " + std::to_string(x0) + " " +
                                            std::to_string(y) + " mousedown 1 mousemove " +
                                            std::to_string((x0 + x1) / 2) + " " + std::to_string(y) +
                                            " mousemove " + std::to_string(x1) + " " + std::to_string(y) +
                                            " mouseup 1 >/dev/null 2>&1";
                EXPECT_EQ(std::system(command.c_str()), 0);
                return true;
            },
            [&](HWND frame) {
                HWND slider = GetDlgItem(PageIn(frame), IDC_HORIZONTAL);
                dragged = LONG(SendMessageW(slider, TBM_GETPOS, 0, 0));
                if (dragged < 40) return false; // the drag is on its way
                float h = 0, v = 0;
                general->GetViewPos(&h, &v);
                viewAfterDrag = h;
                EXPECT_TRUE(xClickCentre(GetDlgItem(frame, IDCANCEL)));
                return true;
            }};

        g_next = 0;
        g_idles = 0;
        IUnknown* object = base.get();
        EXPECT_EQ(OleCreatePropertyFrame(owner, 0, 0, L"ZK900 4K Expander", 1, &object, pages.cElems,
                                         pages.pElems, 0, 0, nullptr),
                  S_OK);
        CoTaskMemFree(pages.pElems);
        EXPECT_EQ(g_next, 4u);
        EXPECT_LT(g_idles, 2000) << "the frame was ended by the test, not by the click on Cancel";
        EXPECT_EQ(during, 5);
        // The thumb followed the pointer to the middle, and the filter's view with it.
        EXPECT_GE(dragged, 45);
        EXPECT_LE(dragged, 55);
        EXPECT_GT(viewAfterDrag, 0.0f);
        int index = -1;
        filter->GetUnfoldMode(&index);
        EXPECT_EQ(index, 6); // Cancel restored the inverted dome

        // The picture is the frame's size, and each control drew inside its own rectangle.
        EXPECT_EQ(shot.width, frameRect.right - frameRect.left);
        EXPECT_EQ(shot.height, frameRect.bottom - frameRect.top);
        ASSERT_GT(shot.width, 8);
        ASSERT_GT(shot.height, 8);
        const uint8_t* background = shot.at(2, shot.height - 2);
        ASSERT_GE(controls.size(), 19u); // 20 controls, Extract hidden
        for (const auto& [id, r] : controls) {
            const int area = (r.right - r.left) * (r.bottom - r.top);
            EXPECT_GT(shot.marked(r, background), std::max(3, area / 50)) << "control " << id;
        }
        DestroyWindow(owner);
        UnregisterClassW(wc.lpszClassName, nullptr);
    }
    base = nullptr;
    CoFreeUnusedLibraries();
    dlclose(module);
}

} // namespace
} // namespace filter_testing
