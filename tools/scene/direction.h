// Directions from the camera, in compass terms.
//
// The world frame is east-north-up: x to the east, y to the north, z up. A direction is given by its
// azimuth, in degrees clockwise from north seen from above (0 north, 90 east, 180 south, 270 west),
// and its elevation, in degrees above the horizon (90 the zenith, -90 the nadir).
#pragma once

namespace tools::scene {

struct Direction {
    double azimuth = 0;
    double elevation = 0;
};

struct Vec3 {
    double east = 0, north = 0, up = 0;
};

// A unit vector.
Vec3 ToVector(const Direction& d);
// Any non-zero vector; the azimuth is in [0, 360) (0 straight up or down).
Direction ToDirection(const Vec3& v);
// The angle between two directions, degrees.
double AngleBetween(const Direction& a, const Direction& b);
// Brings an azimuth into [0, 360).
double WrapAzimuth(double degrees);
// a - b brought into [-180, 180).
double AzimuthDifference(double a, double b);

constexpr double kDegrees = 180.0 / 3.14159265358979323846;
constexpr double kRadians = 3.14159265358979323846 / 180.0;

} // namespace tools::scene
