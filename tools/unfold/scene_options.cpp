#include "tools/unfold/scene_options.h"

namespace tools::unfold {

void DeclareSceneOptions(OptionParser& parser) {
    parser.declare("--size", 1);
    parser.declare("--lens", 1);
    parser.declare("--samples", 1);
    parser.declare("--quality", 1);
}

bool GetSceneOptions(OptionParser& parser, SceneOptions& options) {
    int lens = options.facing == scene::LensFacing::Up ? 0 : 1;
    if (!parser.getInt("--size", kMinSceneSize, kMaxSceneSize, options.size)) return false;
    if (!parser.getChoice("--lens", {"up", "down"}, lens)) return false;
    if (!parser.getInt("--samples", 1, 8, options.render.samplesPerAxis)) return false;
    if (!parser.getInt("--quality", 1, 100, options.quality)) return false;
    options.facing = lens == 0 ? scene::LensFacing::Up : scene::LensFacing::Down;
    return true;
}

const char* LensName(scene::LensFacing facing) {
    return facing == scene::LensFacing::Up ? "up" : "down";
}

} // namespace tools::unfold
