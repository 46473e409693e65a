// Runs fisheye pictures through the expansion engine exactly as the virtual camera's frames go through
// it: the picture is handed to UploadFrame as the MJPEG decompressor delivers frames (rows bottom-up,
// bytes blue, green, red, unused), and the output bytes are read as the bottom-up 24-bit frame an
// application receives. So the picture this writes is what the camera would show, upright as an
// application displays it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <windows.h>

#include "engine/orb_expander.h"
#include "modes/mode_table.h"
#include "tools/image/image.h"
#include "tools/image/status.h"

namespace tools::unfold {

struct UnfoldSettings {
    int32_t mode = kDefaultMode;               // engine mode id
    std::optional<float> horizontal, vertical; // view position, 0..100
    std::optional<float> zoom;                 // 0..100
    bool lensUp = true;                        // lens direction 1: both flip flags on
    uint16_t width = 1280, height = 720;
};

// Mode id of an engine name ("INDOME") or number ("9"); -1 when neither.
int32_t ParseModeId(const std::string& text);
// The name a person reads for a mode id (the engine's, or "16:9" for 15).
std::string ModeLabel(int32_t id);
// "0 NONE, 1 NONE_ADJ, ..., 15 16:9": the modes that have a name, for messages.
std::string ModeList();

// Refuses, before decoding, a picture larger than the engine takes.
image::Status CheckInputSize(uint32_t width, uint32_t height);

class Unfolder {
public:
    // Creates the render window and connects the engine as the expansion filter does. Null with a
    // message when there is no Direct3D 10 device.
    static std::unique_ptr<Unfolder> Create(std::string& error);
    ~Unfolder();

    image::Status unfold(const image::Image& fisheye, const UnfoldSettings& settings, image::Image& out);
    COrbExpander& engine() { return *engine_; }

private:
    Unfolder() = default;
    HWND window_ = nullptr;
    std::unique_ptr<COrbExpander> engine_;
    uint32_t inputWidth_ = 0, inputHeight_ = 0;
};

} // namespace tools::unfold
