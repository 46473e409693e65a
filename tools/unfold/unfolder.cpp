#include "tools/unfold/unfolder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tools::unfold {

namespace {

constexpr wchar_t kWindowClass[] = L"unfold host render window";

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    return DefWindowProcW(hwnd, msg, w, l);
}

std::string hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

} // namespace

int32_t ParseModeId(const std::string& text) {
    for (const UnfoldMode& mode : kUnfoldModes)
        if (text != kUnknownModeName && text == mode.name) return mode.id;
    if (text.empty() || text.size() > 2) return -1;
    char* end = nullptr;
    long id = std::strtol(text.c_str(), &end, 10);
    if (*end || !IsModeId(int32_t(id))) return -1;
    return int32_t(id);
}

std::string ModeLabel(int32_t id) {
    return IsModeId(id) ? kModeLabels[size_t(id)] : ModeName(id);
}

std::string ModeList() {
    std::string list;
    for (int32_t id = 0; id < 16; ++id) {
        std::string label = ModeLabel(id);
        if (label == "UNKNOWN") continue;
        list += (list.empty() ? "" : ", ") + std::to_string(id) + " " + label;
    }
    return list;
}

image::Status CheckInputSize(uint32_t width, uint32_t height) {
    if (COrbExpander::AcceptsInputSize(width, height)) return image::Status::Ok();
    return image::Status::Error(
        "the picture (" + std::to_string(width) + " x " + std::to_string(height) +
        ") is larger than the engine takes (a square picture may be up to 2048 x 2048)");
}

std::unique_ptr<Unfolder> Unfolder::Create(std::string& error) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc); // already registered by an earlier unfolder: fine
    std::unique_ptr<Unfolder> u(new Unfolder);
    u->window_ = CreateWindowExW(WS_EX_LEFT, kWindowClass, L"Render", WS_POPUP, 0, 0, 1280, 720, nullptr,
                                 nullptr, nullptr, nullptr);
    if (!u->window_) {
        error = "cannot create the render window";
        return nullptr;
    }
    u->engine_ = std::make_unique<COrbExpander>();
    if (HRESULT hr = u->engine_->Initialize(u->window_); FAILED(hr)) {
        error = "no Direct3D 10 device (" + hex(hr) + ")";
        return nullptr;
    }
    return u;
}

Unfolder::~Unfolder() {
    engine_.reset();
    if (window_) DestroyWindow(window_);
}

image::Status Unfolder::unfold(const image::Image& fisheye, const UnfoldSettings& s, image::Image& out) {
    COrbExpander& e = *engine_;
    if (fisheye.width() > 0xFFFF || fisheye.height() > 0xFFFF || fisheye.empty())
        return image::Status::Error("the picture is too large for the engine");
    if (fisheye.width() != inputWidth_ || fisheye.height() != inputHeight_) {
        // A new input format: the filter's connection sequence, which also sets both flip flags.
        e.SetFrontViewRect(1, 1, 0, 0);
        if (!e.SetInput(uint16_t(fisheye.width()), uint16_t(fisheye.height())))
            return image::Status::Error("the picture (" + std::to_string(fisheye.width()) + " x " +
                                        std::to_string(fisheye.height()) + ") is too large for the engine");
        e.SetRenderBufSize(s.width, s.height);
        e.SetExpMode(kDefaultMode);
        if (e.Current()) e.Current()->SetFlip(true, true);
        inputWidth_ = fisheye.width();
        inputHeight_ = fisheye.height();
    }
    if (s.width != e.OutWidth() || s.height != e.OutHeight()) e.SetRenderBufSize(s.width, s.height);
    // The virtual camera's settings, in the order it applies them: mode, view, zoom, lens direction.
    if (!e.SetExpMode(s.mode))
        return image::Status::Error("mode " + std::to_string(s.mode) + " has no expander; the modes are " +
                                    ModeList());
    CBaseExpander* mode = e.Current();
    mode->SetPosition(s.horizontal.value_or(-1), s.vertical.value_or(-1));
    if (s.zoom) mode->SetZoom(*s.zoom);
    mode->SetFlip(s.lensUp, s.lensUp);

    const uint32_t w = fisheye.width(), h = fisheye.height();
    std::vector<BYTE> frame(size_t(w) * h * 4);
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* src = fisheye.row(h - 1 - y);
        BYTE* dst = frame.data() + size_t(y) * w * 4;
        for (uint32_t x = 0; x < w; ++x, src += 4, dst += 4)
            dst[0] = src[2], dst[1] = src[1], dst[2] = src[0], dst[3] = 0;
    }
    if (!e.UploadFrame(frame.data(), w * 4)) return image::Status::Error("the engine refused the picture");
    std::vector<BYTE> output(size_t(s.width) * s.height * 3);
    if (HRESULT hr = e.Render(output.data()); FAILED(hr))
        return image::Status::Error("drawing failed (" + hex(hr) + ")");
    out = image::Image(s.width, s.height);
    for (uint32_t y = 0; y < s.height; ++y) {
        const BYTE* src = output.data() + size_t(s.height - 1 - y) * s.width * 3;
        uint8_t* dst = out.row(y);
        for (uint32_t x = 0; x < s.width; ++x, src += 3, dst += 4)
            dst[0] = src[2], dst[1] = src[1], dst[2] = src[0], dst[3] = 255;
    }
    return image::Status::Ok();
}

} // namespace tools::unfold
