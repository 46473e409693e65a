// unfold props --filter|--camera [--screenshot FILE.png]
//
// Opens the property frame of the expansion filter or of the virtual camera, as an application's
// "Properties" or webcam "Settings" button does, on the display: a person changes the page's values
// and closes it with OK or Cancel. With --screenshot the frame is drawn into a PNG file and cancelled
// at once. The filter's page needs a connected filter, so the filter gets a still fisheye picture as
// its input. On close, the object's unfold mode is printed. Without a display, one line says so.
#include <cstdio>
#include <string>

#include <olectl.h>

#include "filter/expansion_filter.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/display.h"
#include "tools/image/image_file.h"
#include "tools/unfold/build_paths.h"
#include "tools/unfold/com_objects.h"
#include "tools/unfold/command.h"
#include "tools/unfold/option_parser.h"
#include "tools/unfold/picture_source.h"
#include "vcam/orbe_src_gen.h"

namespace tools::unfold {
namespace {

using platform::ComPtr;

constexpr uint32_t kPictureSize = 1440; // the camera's square picture

// The frame's owner: on the frame's first idle moment, draws it into the screenshot and cancels it.
struct Screenshot {
    std::string path;
    std::string error;
    bool taken = false;
};
Screenshot* g_screenshot = nullptr;

LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && g_screenshot && !g_screenshot->taken) {
        g_screenshot->taken = true;
        auto frame = reinterpret_cast<HWND>(lParam);
        int width = 0, height = 0;
        std::vector<uint8_t> rgba;
        if (!platform::ActiveDisplay()->snapshot(frame, width, height, rgba)) {
            g_screenshot->error = "the display could not draw the frame";
        } else {
            image::Image picture{uint32_t(width), uint32_t(height)};
            std::copy(rgba.begin(), rgba.end(), picture.data());
            if (image::Status s = image::WritePng(g_screenshot->path, picture); !s)
                g_screenshot->error = s.message();
        }
        PostMessageW(frame, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     LPARAM(GetDlgItem(frame, IDCANCEL)));
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Shows the frame of `object`'s pages; the frame's top-left corner near the screen's.
HRESULT showFrame(IUnknown* object, const wchar_t* caption, Screenshot* screenshot) {
    ComPtr<ISpecifyPropertyPages> specify;
    HRESULT hr = object->QueryInterface(IID_ISpecifyPropertyPages, specify.putVoid());
    if (FAILED(hr)) return hr;
    CAUUID pages{};
    if (FAILED(hr = specify->GetPages(&pages))) return hr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ownerProc;
    wc.lpszClassName = L"unfold props owner";
    RegisterClassW(&wc);
    HWND owner =
        CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 40, 40, 1, 1, nullptr, nullptr, nullptr, nullptr);
    g_screenshot = screenshot;
    hr = OleCreatePropertyFrame(owner, 0, 0, caption, 1, &object, pages.cElems, pages.pElems, 0, 0, nullptr);
    g_screenshot = nullptr;
    CoTaskMemFree(pages.pElems);
    DestroyWindow(owner);
    UnregisterClassW(wc.lpszClassName, nullptr);
    return hr;
}

int filterProps(CommandContext& context, Screenshot* screenshot) {
    ComPtr<IBaseFilter> filter;
    HRESULT hr = CreateRegistered(CLSID_ExpansionFilter, kFilterModulePath, IID_IBaseFilter, filter.putVoid(),
                                  context.out);
    if (FAILED(hr)) {
        context.err << "unfold props: cannot create the expansion filter \"ZK900 4K Expander\": "
                    << HResultText(hr) << "\n";
        return kExitFailure;
    }
    // The page reads the mode of a connected filter: give it a camera's picture size as input.
    ComPtr<IGraphBuilder> graph;
    hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          graph.putVoid());
    auto* source = new CPictureSource(kPictureSize, kPictureSize, 15);
    source->AddRef();
    ComPtr<IPin> input;
    if (SUCCEEDED(hr)) hr = graph->AddFilter(source, L"Picture");
    if (SUCCEEDED(hr)) hr = graph->AddFilter(filter.get(), L"ZK900 4K Expander");
    if (SUCCEEDED(hr)) hr = (input = FirstPin(filter.get(), PINDIR_INPUT)) ? S_OK : VFW_E_NOT_FOUND;
    if (SUCCEEDED(hr)) hr = graph->ConnectDirect(source->OutputPin(), input.get(), nullptr);
    int code = kExitOk;
    if (FAILED(hr)) {
        context.err << "unfold props: cannot connect the expansion filter: " << HResultText(hr) << "\n";
        code = kExitFailure;
    } else if (FAILED(hr = showFrame(filter.get(), L"ZK900 4K Expander", screenshot))) {
        context.err << "unfold props: the property frame failed: " << HResultText(hr) << "\n";
        code = kExitFailure;
    } else {
        ComPtr<IORBE_General> general;
        int index = -1;
        if (SUCCEEDED(filter->QueryInterface(IID_IORBE_General, general.putVoid())) &&
            SUCCEEDED(general->GetUnfoldMode(&index)))
            context.out << "unfold mode index " << index << "\n";
    }
    graph = nullptr;
    input = nullptr;
    source->Release();
    return code;
}

int cameraProps(CommandContext& context, Screenshot* screenshot) {
    ComPtr<IBaseFilter> camera;
    HRESULT hr =
        CreateRegistered(CLSID_VCam, kCameraModulePath, IID_IBaseFilter, camera.putVoid(), context.out);
    if (FAILED(hr)) {
        context.err << "unfold props: cannot create the virtual camera \"TELMAR ZK900 4K UVC\": "
                    << HResultText(hr) << "\n";
        return kExitFailure;
    }
    if (FAILED(hr = showFrame(camera.get(), L"TELMAR ZK900 4K UVC", screenshot))) {
        context.err << "unfold props: the property frame failed: " << HResultText(hr) << "\n";
        return kExitFailure;
    }
    ComPtr<IORBE_SrcGen> control;
    int mode = -1;
    if (SUCCEEDED(camera->QueryInterface(IID_IORBE_SrcGen, control.putVoid())) &&
        SUCCEEDED(control->GetUnfoldMode(&mode)))
        context.out << "unfold mode " << mode << "\n";
    return kExitOk;
}

} // namespace

int RunPropsCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("props");
    parser.declare("--filter", 0);
    parser.declare("--camera", 0);
    parser.declare("--screenshot", 1);
    Screenshot screenshot;
    bool ok = parser.parse(args) && parser.getText("--screenshot", screenshot.path);
    if (ok && !parser.positional().empty())
        ok = parser.fail("unexpected argument '" + parser.positional()[0] + "'");
    if (ok && parser.has("--filter") == parser.has("--camera"))
        ok = parser.fail("give one of --filter and --camera");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }
    std::string reason;
    if (!platform::OpenDisplay(reason)) {
        context.err << "unfold props: " << reason << "\n";
        return kExitFailure;
    }
    if (FAILED(CoInitialize(nullptr))) {
        context.err << "unfold props: COM cannot start\n";
        return kExitFailure;
    }
    Screenshot* shot = parser.has("--screenshot") ? &screenshot : nullptr;
    int code = parser.has("--filter") ? filterProps(context, shot) : cameraProps(context, shot);
    CoUninitialize();
    if (code == kExitOk && shot) {
        if (!screenshot.taken) screenshot.error = "the frame never waited for input";
        if (!screenshot.error.empty()) {
            context.err << "unfold props: " << screenshot.error << "\n";
            return kExitFailure;
        }
        context.out << "wrote " << screenshot.path << "\n";
    }
    return code;
}

} // namespace tools::unfold
