// unfold preview [--device NAME] [--seconds S] [--screenshot FILE.png]
//
// The window a person watches: a video capture device's live picture (the virtual camera "TELMAR
// ZK900 4K UVC" unless --device names another), opened as a webcam application opens it, through the
// System Device Enumerator and a capture graph, and a "Settings" button that opens the device's
// property frame; the picture follows every change made there. --seconds closes the window after that
// long, --screenshot draws it into a PNG file first, and the number of frames shown is printed on
// close. Without a display, one line says so.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include <olectl.h>

#include "platform/win32/com_ptr.h"
#include "platform/win32/debug.h"
#include "platform/win32/display.h"
#include "tools/image/image_file.h"
#include "tools/unfold/build_paths.h"
#include "tools/unfold/capture_session.h"
#include "tools/unfold/com_objects.h"
#include "tools/unfold/command.h"
#include "tools/unfold/device_run.h"
#include "tools/unfold/option_parser.h"
#include "tools/unfold/video_devices.h"

namespace tools::unfold {
namespace {

using platform::ComPtr;

constexpr int kViewWidth = 640, kViewHeight = 360; // the live picture's box; frames are fitted into it
constexpr int kMargin = 8, kButtonWidth = 90, kButtonHeight = 26;
constexpr int kSettingsId = 100, kViewId = 101;
constexpr UINT_PTR kFrameTimer = 1, kCloseTimer = 2;
constexpr UINT kFrameInterval = 33; // ms: 30 frames per second

// The latest frame, handed over from the sink's streaming thread to the window's.
struct LatestFrame {
    std::mutex lock;
    ReceivedFrame frame;
    bool fresh = false;
};

struct Preview {
    std::wstring deviceName;
    ComPtr<IBaseFilter> device;
    std::optional<CaptureSession> session; // the device's graph, released before COM closes
    LatestFrame latest;
    ReceivedFrame frame; // the window thread's copy
    HBITMAP bitmap = nullptr;
    void* bits = nullptr; // the view's pixels: top-down rows, blue, green, red, unused
    HWND window = nullptr, view = nullptr;
    uint64_t shown = 0;
    bool settingsOpen = false; // the property frame runs its own loop meanwhile
    bool closeDue = false;     // the close time came while it was open
    std::string screenshot, error;
};
Preview* g_preview = nullptr;

// Scales an RGB24 or RGB32 frame (rows bottom-up when its height is positive) into a top-down 32-bit
// box of boxWidth x boxHeight, keeping its shape, centred on black.
void FitFrame(const ReceivedFrame& f, uint8_t* box, int boxWidth, int boxHeight) {
    std::memset(box, 0, size_t(boxWidth) * size_t(boxHeight) * 4);
    const int width = int(f.width), height = std::abs(f.height);
    const int bytes = int(f.bitsPerPixel / 8);
    if (width <= 0 || height <= 0 || (bytes != 3 && bytes != 4)) return;
    const size_t stride = (size_t(width) * size_t(bytes) + 3) & ~size_t(3);
    if (f.bits.size() < stride * size_t(height)) return;
    // The largest size of the frame's shape within the box.
    int w = boxWidth, h = int(int64_t(boxWidth) * height / width);
    if (h > boxHeight) {
        h = boxHeight;
        w = int(int64_t(boxHeight) * width / height);
    }
    const int left = (boxWidth - w) / 2, top = (boxHeight - h) / 2;
    for (int y = 0; y < h; ++y) {
        const int sy = int(int64_t(y) * height / h);
        const size_t row = size_t(f.height > 0 ? height - 1 - sy : sy);
        const uint8_t* in = f.bits.data() + row * stride;
        uint8_t* out = box + (size_t(top + y) * size_t(boxWidth) + size_t(left)) * 4;
        for (int x = 0; x < w; ++x) {
            std::memcpy(out + 4 * x, in + size_t(int64_t(x) * width / w) * size_t(bytes), 3);
            out[4 * x + 3] = 0;
        }
    }
}

void showFrame(Preview& p) {
    {
        std::lock_guard<std::mutex> hold(p.latest.lock);
        if (!p.latest.fresh) return;
        p.latest.fresh = false;
        std::swap(p.frame, p.latest.frame);
    }
    if (!p.bits) return;
    FitFrame(p.frame, static_cast<uint8_t*>(p.bits), kViewWidth, kViewHeight);
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

// The device's own property frame, as a webcam application's "Settings" button opens it.
void openSettings(Preview& p) {
    ComPtr<ISpecifyPropertyPages> specify;
    CAUUID pages{};
    if (FAILED(p.device.as(IID_ISpecifyPropertyPages, specify)) || FAILED(specify->GetPages(&pages))) return;
    IUnknown* object = p.device.get();
    p.settingsOpen = true;
    OleCreatePropertyFrame(p.window, 0, 0, p.deviceName.c_str(), 1, &object, pages.cElems, pages.pElems, 0, 0,
                           nullptr);
    p.settingsOpen = false;
    CoTaskMemFree(pages.pElems);
}

void close(Preview& p) {
    if (!p.screenshot.empty()) takeScreenshot(p);
    DestroyWindow(p.window);
}

LRESULT CALLBACK previewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Preview* p = g_preview;
    switch (msg) {
    case WM_TIMER:
        if (!p) break;
        if (wParam == kFrameTimer) {
            showFrame(*p);
        } else if (wParam == kCloseTimer) {
            // The frame is the window's own: it closes first, and the window after it.
            KillTimer(hwnd, kCloseTimer);
            if (p->settingsOpen)
                p->closeDue = true;
            else
                close(*p);
        }
        return 0;
    case WM_COMMAND:
        if (p && LOWORD(wParam) == kSettingsId && HIWORD(wParam) == BN_CLICKED && !p->settingsOpen) {
            openSettings(*p);
            if (p->closeDue) close(*p);
        }
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

// Opens the device by its friendly name; the virtual camera's module is registered first when the
// virtual camera is asked for and not listed yet.
HRESULT openDevice(Preview& p, CommandContext& context) {
    HRESULT hr = OpenVideoDevice(p.deviceName, p.device);
    if (hr != VFW_E_NOT_FOUND || p.deviceName != kVirtualCameraName) return hr;
    if (FAILED(RegisterModule(kCameraModulePath, context.out))) return hr;
    return OpenVideoDevice(p.deviceName, p.device);
}

HRESULT startCapture(Preview& p) {
    p.session.emplace();
    HRESULT hr = p.session->Open(p.device.get(), [&latest = p.latest](ReceivedFrame&& f) {
        std::lock_guard<std::mutex> hold(latest.lock);
        latest.frame = std::move(f);
        latest.fresh = true;
    });
    return SUCCEEDED(hr) ? p.session->Run() : hr;
}

bool createWindow(Preview& p) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = previewProc;
    wc.lpszClassName = L"unfold preview";
    RegisterClassW(&wc);
    const int width = kViewWidth + 2 * kMargin;
    const int height = kViewHeight + 3 * kMargin + kButtonHeight;
    const std::wstring title = L"unfold preview - " + p.deviceName;
    p.window = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                               40, 40, width, height, nullptr, nullptr, nullptr, nullptr);
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

int runWindow(Preview& p, double seconds, CommandContext& context) {
    if (HRESULT hr = openDevice(p, context); FAILED(hr)) {
        const std::string name = platform::ToUtf8(p.deviceName);
        if (hr == VFW_E_NOT_FOUND)
            context.err << "unfold preview: no video capture device is named '" << name << "' ("
                        << DeviceList() << ")\n";
        else
            context.err << "unfold preview: cannot open '" << name << "': " << ErrorText(hr) << "\n";
        return kExitFailure;
    }
    if (HRESULT hr = startCapture(p); FAILED(hr)) {
        context.err << "unfold preview: cannot run '" << platform::ToUtf8(p.deviceName)
                    << "': " << ErrorText(hr) << "\n";
        return kExitFailure;
    }
    if (!createWindow(p)) {
        context.err << "unfold preview: cannot create the window\n";
        return kExitFailure;
    }
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
        return kExitFailure;
    }
    if (!p.screenshot.empty()) context.out << "wrote " << p.screenshot << "\n";
    return kExitOk;
}

} // namespace

int RunPreviewCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("preview");
    parser.declare("--device", 1);
    parser.declare("--seconds", 1);
    parser.declare("--screenshot", 1);
    double seconds = 0;
    std::string device = platform::ToUtf8(kVirtualCameraName);
    Preview p;
    bool ok = parser.parse(args) && parser.getDouble("--seconds", 0.1, 86400, seconds) &&
              parser.getText("--screenshot", p.screenshot) && parser.getText("--device", device);
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
    p.deviceName = platform::ToWide(device);
    const int code = runWindow(p, seconds, context);
    p.session.reset();
    p.device = nullptr;
    if (p.bitmap) DeleteObject(p.bitmap);
    UnregisterClassW(L"unfold preview", nullptr);
    CoUninitialize();
    return code;
}

} // namespace tools::unfold
