#include "tools/scene/fisheye_camera.h"

#include <cmath>

#include "tools/scene/lens_model.h"

namespace tools::scene {

FisheyeCamera::FisheyeCamera(int size, LensFacing facing, double heading)
    : size_(size), facing_(facing), heading_(WrapAzimuth(heading)),
      cosHeading_(std::cos(heading_ * kRadians)), sinHeading_(std::sin(heading_ * kRadians)) {}

double FisheyeCamera::circleRadius() const {
    return kCircleRadius * size_;
}

double FisheyeCamera::rimRadius() const {
    return RimRadius() * circleRadius();
}

bool FisheyeCamera::VectorOfPoint(PicturePoint p, Vec3& v) const {
    const double dx = p.x - centre(), dy = p.y - centre();
    const double d = std::hypot(dx, dy);
    const double r = d / circleRadius();
    if (r > RimRadius()) return false;
    const double polar = InverseLensRadius(r) * kLensHalfAngleDegrees * kRadians;
    const double s = std::sin(polar), c = std::cos(polar);
    // Unit vector along the picture towards the point, as (east, north) of the azimuth it shows
    // before the heading turns it: lens up shows the picture's right as west, lens down as east.
    double e0 = 0, n0 = 0;
    if (d > 0) {
        e0 = (facing_ == LensFacing::Up ? -dx : dx) / d;
        n0 = -dy / d;
    }
    const double e = e0 * cosHeading_ + n0 * sinHeading_;
    const double n = n0 * cosHeading_ - e0 * sinHeading_;
    v = {s * e, s * n, facing_ == LensFacing::Up ? c : -c};
    return true;
}

std::optional<Direction> FisheyeCamera::DirectionOfPoint(PicturePoint p) const {
    Vec3 v;
    if (!VectorOfPoint(p, v)) return std::nullopt;
    return ToDirection(v);
}

std::optional<PicturePoint> FisheyeCamera::PointOfDirection(const Direction& d) const {
    const double polar = facing_ == LensFacing::Up ? 90.0 - d.elevation : 90.0 + d.elevation;
    if (polar < 0 || polar > kLensHalfAngleDegrees) return std::nullopt;
    const double radius = LensRadius(polar / kLensHalfAngleDegrees) * circleRadius();
    const double relative = (d.azimuth - heading_) * kRadians;
    const double sx = std::sin(relative) * radius, sy = std::cos(relative) * radius;
    return PicturePoint{centre() + (facing_ == LensFacing::Up ? -sx : sx), centre() - sy};
}

} // namespace tools::scene
