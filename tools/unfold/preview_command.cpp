// unfold preview [--seconds S] [--screenshot FILE.png]
//
// The window a person watches: the expansion filter's live picture, fed with the sample fisheye scene
// at 15 frames per second, and a "Settings" button that opens the filter's property page in its frame,
// as a webcam application opens its camera's settings; the picture follows every change made there.
// --seconds closes the window after that long, --screenshot draws it into a PNG file first, and the
// number of frames shown is printed on close. Without a display, one line says so.
#include <chrono>
#include <cstring>
#include <string>

#include <olectl.h>

#include "filter/expansion_filter.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/display.h"
#include "tools/image/image_file.h"
#include "tools/scene/fisheye_renderer.h"
#include "tools/unfold/com_objects.h"
#include "tools/unfold/command.h"
#include "tools/unfold/frame_sink.h"
#include "tools/unfold/option_parser.h"
#include "tools/unfold/picture_source.h"

namespace tools::unfold {
namespace {

using platform::ComPtr;

constexpr uint32_t kSourceSize = 720;              // the fisheye picture fed to the filter
constexpr int kViewWidth = 640, kViewHeight = 360; // the live picture, half the filter's output
constexpr int kMargin = 8, kButtonWidth = 90, kButtonHeight = 26;
constexpr int kSettingsId = 100, kViewId = 101;
constexpr UINT_PTR kFrameTimer = 1, kCloseTimer = 2;
constexpr UINT kFrameInterval = 66; // ms: 15 frames per second

struct Preview {
    ComPtr<IBaseFilter> filter;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    CPictureSource* source = nullptr;
    CFrameSink* sink = nullptr;
    image::Image fisheye;
    HBITMAP bitmap = nullptr;
    void* bits = nullptr; // the view's pixels: top-down rows, blue, green, red, unused
    HWND window = nullptr, view = nullptr;
    std::vector<uint8_t> frame; // the latest output frame
    bool fresh = false;         // a frame came since the view was last drawn
    uint64_t shown = 0;
    std::string screenshot, error;
};
Preview* g_preview = nullptr;

// Halves the filter's frame (1280 x 720, packed 3-byte pixels, rows bottom-up) into the view.
void showFrame(Preview& p) {
    const size_t bytes = size_t(CExpansionFilter::kOutFrameBytes);
    if (!p.fresh || p.frame.size() < bytes || !p.bits) return;
    p.fresh = false;
    auto* out = static_cast<uint8_t*>(p.bits);
    const int width = CExpansionFilter::kOutWidth, height = CExpansionFilter::kOutHeight;
    for (int y = 0; y < kViewHeight; ++y) {
        const uint8_t* row = p.frame.data() + size_t(height - 1 - 2 * y) * size_t(width) * 3;
        uint8_t* o = out + size_t(y) * kViewWidth * 4;
        for (int x = 0; x < kViewWidth; ++x) {
            std::memcpy(o + 4 * x, row + 6 * x, 3);
            o[4 * x + 3] = 0;
        }
    }
    ++p.shown;
    InvalidateRect(p.view, nullptr, FALSE);
}

void takeScreenshot(Preview& p) {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    if (!platform::ActiveDisplay()->snapshot(p.window, width, height, rgba)) {
        p.error = "the display could not draw the window";
        return;
    }
    image::Image picture{uint32_t(width), uint32_t(height)};
    std::copy(rgba.begin(), rgba.end(), picture.data());
    if (image::Status s = image::WritePng(p.screenshot, picture); !s) p.error = s.message();
}

void openSettings(Preview& p) {
    ComPtr<ISpecifyPropertyPages> specify;
    CAUUID pages{};
    if (FAILED(p.filter->QueryInterface(IID_ISpecifyPropertyPages, specify.putVoid())) ||
        FAILED(specify->GetPages(&pages)))
        return;
    IUnknown* object = p.filter.get();
    OleCreatePropertyFrame(p.window, 0, 0, L"ZK900 4K Expander", 1, &object, pages.cElems, pages.pElems, 0, 0,
                           nullptr);
    CoTaskMemFree(pages.pElems);
}

LRESULT CALLBACK previewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Preview* p = g_preview;
    switch (msg) {
    case WM_TIMER:
        if (!p) break;
        if (wParam == kFrameTimer) {
            // Frames reach the sink on this thread, within Deliver.
            p->source->Deliver(p->fisheye);
            showFrame(*p);
        } else if (wParam == kCloseTimer) {
            KillTimer(hwnd, kCloseTimer);
            if (!p->screenshot.empty()) takeScreenshot(*p);
            DestroyWindow(hwnd);
        }
        return 0;
    case WM_COMMAND:
        if (p && LOWORD(wParam) == kSettingsId && HIWORD(wParam) == BN_CLICKED) openSettings(*p);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The graph: picture source -> expansion filter -> frame sink, running.
HRESULT buildGraph(Preview& p, CommandContext& context) {
    HRESULT hr = CreateRegistered(CLSID_ExpansionFilter, UNFOLD_FILTER_MODULE, IID_IBaseFilter,
                                  p.filter.putVoid(), context.out);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     p.graph.putVoid())))
        return hr;
    p.source = new CPictureSource(kSourceSize, kSourceSize, 15);
    p.source->AddRef();
    p.sink = new CFrameSink([&p](ReceivedFrame&& f) {
        p.frame = std::move(f.bits);
        p.fresh = true;
    });
    p.sink->AddRef();
    ComPtr<IPin> input, output;
    if (FAILED(hr = p.graph->AddFilter(p.source, L"Sample scene"))) return hr;
    if (FAILED(hr = p.graph->AddFilter(p.filter.get(), L"ZK900 4K Expander"))) return hr;
    if (FAILED(hr = p.graph->AddFilter(p.sink, L"Preview"))) return hr;
    input = FirstPin(p.filter.get(), PINDIR_INPUT);
    output = FirstPin(p.filter.get(), PINDIR_OUTPUT);
    if (!input || !output) return VFW_E_NOT_FOUND;
    if (FAILED(hr = p.graph->ConnectDirect(p.source->OutputPin(), input.get(), nullptr))) return hr;
    if (FAILED(hr = p.graph->ConnectDirect(output.get(), p.sink->InputPin(), nullptr))) return hr;
    if (FAILED(hr = p.graph->QueryInterface(IID_IMediaControl, p.control.putVoid()))) return hr;
    return p.control->Run();
}

bool createWindow(Preview& p) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = previewProc;
    wc.lpszClassName = L"unfold preview";
    RegisterClassW(&wc);
    const int width = kViewWidth + 2 * kMargin;
    const int height = kViewHeight + 3 * kMargin + kButtonHeight;
    p.window = CreateWindowExW(0, wc.lpszClassName, L"unfold preview - ZK900 4K Expander",
                               WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 40, 40, width, height, nullptr,
                               nullptr, nullptr, nullptr);
    if (!p.window) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kViewWidth;
    info.bmiHeader.biHeight = -kViewHeight; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    p.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p.bits, nullptr, 0);
    p.view =
        CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, kMargin, kMargin, kViewWidth,
                        kViewHeight, p.window, reinterpret_cast<HMENU>(kViewId), nullptr, nullptr);
    HWND settings =
        CreateWindowExW(0, L"Button", L"Settings", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                        width - kMargin - kButtonWidth, kViewHeight + 2 * kMargin, kButtonWidth,
                        kButtonHeight, p.window, reinterpret_cast<HMENU>(kSettingsId), nullptr, nullptr);
    if (!p.bitmap || !p.view || !settings) return false;
    SendMessageW(p.view, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(p.bitmap));
    ShowWindow(p.window, SW_SHOW);
    return true;
}

} // namespace

int RunPreviewCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("preview");
    parser.declare("--seconds", 1);
    parser.declare("--screenshot", 1);
    double seconds = 0;
    Preview p;
    bool ok = parser.parse(args) && parser.getDouble("--seconds", 0.1, 86400, seconds) &&
              parser.getText("--screenshot", p.screenshot);
    if (ok && !parser.positional().empty())
        ok = parser.fail("unexpected argument '" + parser.positional()[0] + "'");
    if (ok && !p.screenshot.empty() && seconds == 0) ok = parser.fail("--screenshot needs --seconds");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }
    std::string reason;
    if (!platform::OpenDisplay(reason)) {
        context.err << "unfold preview: " << reason << "\n";
        return kExitFailure;
    }
    if (FAILED(CoInitialize(nullptr))) {
        context.err << "unfold preview: COM cannot start\n";
        return kExitFailure;
    }
    scene::RenderOptions options;
    options.samplesPerAxis = 2;
    p.fisheye = scene::RenderFisheye(scene::FisheyeCamera(int(kSourceSize)), options);
    int code = kExitOk;
    if (HRESULT hr = buildGraph(p, context); FAILED(hr)) {
        context.err << "unfold preview: cannot run the expansion filter: " << HResultText(hr) << "\n";
        code = kExitFailure;
    } else if (!createWindow(p)) {
        context.err << "unfold preview: cannot create the window\n";
        code = kExitFailure;
    } else {
        g_preview = &p;
        SetTimer(p.window, kFrameTimer, kFrameInterval, nullptr);
        if (seconds > 0) SetTimer(p.window, kCloseTimer, UINT(seconds * 1000), nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        g_preview = nullptr;
        context.out << "frames shown: " << p.shown << "\n";
        if (!p.error.empty()) {
            context.err << "unfold preview: " << p.error << "\n";
            code = kExitFailure;
        } else if (!p.screenshot.empty()) {
            context.out << "wrote " << p.screenshot << "\n";
        }
    }
    if (p.control) p.control->Stop();
    p.control = nullptr;
    p.graph = nullptr;
    if (p.sink) p.sink->Release();
    if (p.source) p.source->Release();
    p.filter = nullptr;
    if (p.bitmap) DeleteObject(p.bitmap);
    UnregisterClassW(L"unfold preview", nullptr);
    CoUninitialize();
    return code;
}

} // namespace tools::unfold
