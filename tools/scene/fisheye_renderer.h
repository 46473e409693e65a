// Renders the reference scene through the fisheye camera into a picture.
//
// Each pixel is the average of samples over its square: with `adaptive`, one sample at every pixel
// centre and corner first, then samplesPerAxis x samplesPerAxis samples for pixels whose centre,
// corners and neighbouring centres are not all of one colour (edges, the rim, text); without it,
// every pixel gets the full grid. The average is taken on
// the 8-bit values. Pixels beyond the rim are black; alpha is 255 everywhere.
#pragma once

#include "tools/image/image.h"
#include "tools/scene/fisheye_camera.h"

namespace tools::scene {

struct RenderOptions {
    int samplesPerAxis = 4;
    bool adaptive = true;
    int threads = 0; // 0: one per processor
};

image::Image RenderFisheye(const FisheyeCamera& camera, const RenderOptions& options = {});

} // namespace tools::scene
