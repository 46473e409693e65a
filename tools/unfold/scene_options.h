// The options that `unfold scene` and `unfold clip` share: picture size, lens direction, supersampling
// and JPEG quality.
#pragma once

#include "tools/image/jpeg_codec.h"
#include "tools/scene/fisheye_camera.h"
#include "tools/scene/fisheye_renderer.h"
#include "tools/unfold/option_parser.h"

namespace tools::unfold {

constexpr int kDefaultSceneSize = 1440;
constexpr int kMinSceneSize = 16;
constexpr int kMaxSceneSize = 4096;

struct SceneOptions {
    int size = kDefaultSceneSize;
    scene::LensFacing facing = scene::LensFacing::Up;
    scene::RenderOptions render;
    int quality = image::kDefaultJpegQuality;
};

// Declares --size, --lens, --samples and --quality.
void DeclareSceneOptions(OptionParser& parser);
bool GetSceneOptions(OptionParser& parser, SceneOptions& options);
const char* LensName(scene::LensFacing facing);

} // namespace tools::unfold
