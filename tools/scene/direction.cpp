#include "tools/scene/direction.h"

#include <algorithm>
#include <cmath>

namespace tools::scene {

Vec3 ToVector(const Direction& d) {
    double a = d.azimuth * kRadians, e = d.elevation * kRadians;
    return {std::sin(a) * std::cos(e), std::cos(a) * std::cos(e), std::sin(e)};
}

Direction ToDirection(const Vec3& v) {
    double horizontal = std::hypot(v.east, v.north);
    Direction d;
    d.elevation = std::atan2(v.up, horizontal) * kDegrees;
    d.azimuth = horizontal > 0 ? WrapAzimuth(std::atan2(v.east, v.north) * kDegrees) : 0.0;
    return d;
}

double AngleBetween(const Direction& a, const Direction& b) {
    Vec3 u = ToVector(a), v = ToVector(b);
    // atan2 of |u x v| and u . v stays accurate for small and large angles alike.
    double cx = u.north * v.up - u.up * v.north, cy = u.up * v.east - u.east * v.up,
           cz = u.east * v.north - u.north * v.east;
    double dot = u.east * v.east + u.north * v.north + u.up * v.up;
    return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), dot) * kDegrees;
}

double WrapAzimuth(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0) a += 360.0;
    return a >= 360.0 ? 0.0 : a;
}

double AzimuthDifference(double a, double b) {
    double d = std::fmod(a - b + 180.0, 360.0);
    if (d < 0) d += 360.0;
    return d - 180.0;
}

} // namespace tools::scene
