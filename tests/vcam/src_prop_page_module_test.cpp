// The camera's page as applications meet it: served by libunfoldcam.so's factory and shown by the
// property frame over a camera made through COM.
#include <dlfcn.h>

#include <functional>
#include <string>
#include <vector>

#include <olectl.h>

#include "platform/win32/user_input.h"
#include "resources/unfoldcam_resource.h"
#include "tests/build_paths.h"
#include "tests/vcam/vcam_fixture.h"

namespace vcam_testing {
namespace {

namespace input = platform::input;

// The page of the registered module in a modal frame over a camera made through COM: a mode chosen
// there reaches the camera, and Cancel takes it back.
std::vector<std::function<void(HWND)>> g_steps;
size_t g_next = 0;
LRESULT CALLBACK frameOwner(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_ENTERIDLE && w == MSGF_DIALOGBOX && g_next < g_steps.size()) {
        g_steps[g_next++](reinterpret_cast<HWND>(l));
        PostMessageW(reinterpret_cast<HWND>(l), WM_NULL, 0, 0);
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

HWND pageIn(HWND frame) {
    for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) return c;
    return nullptr;
}

TEST_F(VCamTest, TheModulesPageInAFrameOverACameraMadeThroughCom) {
    void* filterModule = dlopen(kUnfoldFilterPath, RTLD_NOW | RTLD_LOCAL);
    void* module = dlopen(kUnfoldCamPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(reinterpret_cast<HRESULT (*)()>(dlsym(filterModule, "DllRegisterServer"))(), S_OK);
    ASSERT_EQ(reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"))(), S_OK);
    auto getClassObject =
        reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(dlsym(module, "DllGetClassObject"));
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_SrcPropPage, IID_IClassFactory, factory.putVoid()), S_OK);
    ComPtr<IPropertyPage> direct;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, direct.putVoid()), S_OK);
    PROPPAGEINFO info{};
    ASSERT_EQ(direct->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L""); // the page has no title of its own
    EXPECT_GT(info.size.cx, 233);     // 233 x 173 dialog units in "MS Shell Dlg" 9
    EXPECT_GT(info.size.cy, 173);
    CoTaskMemFree(info.pszTitle);
    direct = nullptr;
    factory = nullptr;

    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(CoCreateInstance(CLSID_VCam, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, camera.putVoid()),
              S_OK);
    ComPtr<IORBE_SrcGen> control;
    ASSERT_EQ(camera.as(IID_IORBE_SrcGen, control), S_OK);
    int before = -1;
    control->GetUnfoldMode(&before);
    ComPtr<ISpecifyPropertyPages> specify;
    ASSERT_EQ(camera.as(IID_ISpecifyPropertyPages, specify), S_OK);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);

    WNDCLASSW wc{};
    wc.lpfnWndProc = frameOwner;
    wc.lpszClassName = L"camera frame owner";
    RegisterClassW(&wc);
    HWND owner =
        CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    int during = -1;
    std::wstring version;
    g_steps = {[&](HWND frame) {
                   HWND page = pageIn(frame);
                   wchar_t text[32];
                   GetDlgItemTextW(page, IDC_CAM_VERSION, text, 32);
                   version = text;
                   input::Click(GetDlgItem(page, before == 5 ? IDC_CAM_QUAD : IDC_CAM_DOME));
                   control->GetUnfoldMode(&during);
               },
               [](HWND frame) { input::Click(GetDlgItem(frame, IDCANCEL)); }};
    g_next = 0;
    IUnknown* object = camera.get();
    EXPECT_EQ(OleCreatePropertyFrame(owner, 0, 0, L"TELMAR ZK900 4K UVC", 1, &object, pages.cElems,
                                     pages.pElems, 0, 0, nullptr),
              S_OK);
    CoTaskMemFree(pages.pElems);
    EXPECT_EQ(g_next, 2u);
    EXPECT_EQ(version, L"Ver 1.2.3.0");
    EXPECT_EQ(during, before == 5 ? 3 : 5);
    int after = -1;
    control->GetUnfoldMode(&after);
    EXPECT_EQ(after, before);
    DestroyWindow(owner);
    UnregisterClassW(L"camera frame owner", nullptr);
    control = nullptr;
    specify = nullptr;
    camera = nullptr;
    CoFreeUnusedLibraries();
    dlclose(module);
    dlclose(filterModule);
}

} // namespace
} // namespace vcam_testing
