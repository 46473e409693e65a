#include "tools/scene/scene.h"

#include <cmath>

#include "tools/scene/compass_ring.h"

namespace tools::scene {
namespace {

// The ring reaches kPlateTop degrees from the horizon; beyond that the room alone decides.
const double kRingReach = std::sin((compass::kPlateTop + 0.1) * kRadians);

} // namespace

Rgba SceneColour(const Direction& d) {
    return SceneColour(ToVector(d));
}

Rgba SceneColour(const Vec3& v) {
    if (std::abs(v.up) < kRingReach) {
        if (auto ring = compass::CompassColour(ToDirection(v))) return *ring;
    }
    return room::SurfaceColour(room::CastRay(v));
}

} // namespace tools::scene
