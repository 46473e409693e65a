// The set-up of the tests that run every mode through the engine: the reference room through a
// 256 x 256 fisheye at one sample a pixel, and an unfolder whose engine is connected to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/scene/fisheye_renderer.h"
#include "tools/unfold/unfolder.h"

namespace tools::unfold::testing {

constexpr uint32_t kQuickFisheyeSize = 256;
// Mode 14 has no expander; the modes 0 to 15 but that one are the ones the engine draws.
constexpr int32_t kModeWithoutExpander = 14;

inline image::Image QuickFisheye() {
    scene::RenderOptions quick;
    quick.samplesPerAxis = 1;
    return scene::RenderFisheye(scene::FisheyeCamera(int(kQuickFisheyeSize)), quick);
}

// A new unfolder that has unfolded `fisheye` once with `settings`, which connects its engine; null, with
// the reason in `error`, when either step fails.
inline std::unique_ptr<Unfolder> ConnectedUnfolder(const image::Image& fisheye,
                                                   const UnfoldSettings& settings, std::string& error) {
    auto unfolder = Unfolder::Create(error);
    if (!unfolder) return nullptr;
    image::Image picture;
    if (image::Status s = unfolder->unfold(fisheye, settings, picture); !s) {
        error = s.message();
        return nullptr;
    }
    return unfolder;
}

} // namespace tools::unfold::testing
