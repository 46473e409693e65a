#include "tools/unfold/sample_camera.h"

#include <filesystem>

#include <windows.h>

#include "platform/dshow/camera/clip_camera_registry.h"
#include "tools/image/mjpg_clip.h"
#include "tools/scene/fisheye_camera.h"
#include "tools/scene/fisheye_renderer.h"

namespace tools::unfold {
namespace {

constexpr uint32_t kClipSize = 1440;
constexpr int kClipFrames = 120;
constexpr uint32_t kClipFps = 30;
constexpr int kClipQuality = 80;

std::wstring SampleName() {
    return std::wstring(kSampleCameraName, kSampleCameraName + sizeof(kSampleCameraName) - 1);
}

} // namespace

std::string DefaultSampleClip() {
    return UNFOLD_SAMPLE_CLIP;
}

bool EnsureSampleClip(const std::string& clip, std::string& error, std::ostream* progress) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(clip, ec)) return true;
    const std::filesystem::path folder = std::filesystem::path(clip).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);

    image::MjpgClipWriter writer;
    image::Status s = writer.Open(clip, kClipSize, kClipSize, {kClipFps, 1});
    for (int k = 0; s && k < kClipFrames; ++k) {
        if (progress)
            *progress << "\rrecording the sample camera's clip: frame " << k + 1 << " of " << kClipFrames
                      << std::flush;
        // A quarter turn a second: frame k faces azimuth 360 * k / 120.
        scene::FisheyeCamera camera(int(kClipSize), scene::LensFacing::Up, 360.0 * k / kClipFrames);
        s = writer.AddFrame(scene::RenderFisheye(camera), kClipQuality);
    }
    if (s) s = writer.Close();
    if (progress) *progress << "\n";
    if (!s) error = "cannot record the sample clip " + clip + ": " + s.message();
    return bool(s);
}

bool RegisterSampleCamera(std::string& clip, std::string& error, std::ostream* progress) {
    if (clip.empty()) {
        clip = DefaultSampleClip();
        if (!EnsureSampleClip(clip, error, progress)) return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(clip, ec)) {
        error = "no sample clip at " + clip;
        return false;
    }
    platform::camera::ClipCameraDefinition camera;
    camera.name = SampleName();
    camera.formats = {{kClipSize, kClipSize, 15}, {kClipSize, kClipSize, 30}};
    camera.clips = {
        {platform::camera::SizeText(kClipSize, kClipSize), std::filesystem::absolute(clip, ec).string()}};
    const HRESULT hr = platform::camera::WriteClipCamera(camera);
    if (FAILED(hr)) error = "cannot declare the sample camera in the registry";
    return SUCCEEDED(hr);
}

bool UnregisterSampleCamera(std::string& error) {
    const HRESULT hr = platform::camera::RemoveClipCamera(SampleName());
    if (FAILED(hr)) error = "cannot remove the sample camera from the registry";
    return SUCCEEDED(hr);
}

} // namespace tools::unfold
