#include "tools/unfold/sample_camera.h"

#include <filesystem>
#include <sstream>

#include <windows.h>

#include "platform/dshow/camera/clip_camera_registry.h"
#include "tools/unfold/build_paths.h"
#include "tools/unfold/command.h"

namespace tools::unfold {
namespace {

namespace fs = std::filesystem;

// Runs a command of this host; its failure line becomes `error`.
bool Run(const Arguments& args, std::string& error, std::ostream* progress) {
    std::ostringstream out, err;
    CommandContext context{out, progress ? *progress : err, progress != nullptr};
    if (RunUnfold(args, context) == kExitOk) return true;
    error = err.str();
    while (!error.empty() && error.back() == '\n') error.pop_back();
    if (error.empty()) error = "unfold " + args[1] + " failed";
    return false;
}

} // namespace

std::string DefaultSampleClip() {
    return kSampleClipPath;
}

bool EnsureSampleClip(const std::string& clip, std::string& error, std::ostream* progress) {
    std::error_code ec;
    if (fs::is_regular_file(clip, ec)) return true;
    if (const fs::path folder = fs::path(clip).parent_path(); !folder.empty())
        fs::create_directories(folder, ec);
    return Run({"unfold", "clip", clip, "--frames", "120", "--fps", "30", "--size", "1440", "--turn", "90",
                "--quality", "80"},
               error, progress);
}

bool RegisterSampleCamera(std::string& clip, std::string& error, std::ostream* progress) {
    if (clip.empty()) {
        clip = DefaultSampleClip();
        if (!EnsureSampleClip(clip, error, progress)) return false;
    }
    std::error_code ec;
    const fs::path folder = fs::absolute(clip, ec).parent_path();
    Arguments args = {"unfold",   "camera",      "add",          kSampleCameraName, "--clip",
                      clip,       "--format",    "1440x1440@15", "--format",        "1440x1440@30",
                      "--format", "1280x720@30", "--clips-dir",  folder.string()};
    if (const fs::path wide = folder / "1280x720.mjpg"; fs::is_regular_file(wide, ec)) {
        args.push_back("--clip");
        args.push_back(wide.string());
    }
    return Run(args, error, progress);
}

bool UnregisterSampleCamera(std::string& error) {
    const std::wstring name(kSampleCameraName, kSampleCameraName + sizeof(kSampleCameraName) - 1);
    const HRESULT hr = platform::camera::RemoveClipCamera(name);
    if (FAILED(hr)) error = "cannot remove the sample camera from the registry";
    return SUCCEEDED(hr);
}

} // namespace tools::unfold
