// The fisheye lens model: how far from the picture centre a direction lands.
//
// The polar parameter t is the angle from the optical axis as a fraction of the lens's half-angle:
// t = 0 on the axis, t = 1 at 107 degrees. LensRadius(t) gives the distance from the centre of the
// picture circle in units of the circle radius, by the lens's fifth-order polynomial in the angle
// (radians), clamped to [0, 1]. The circle radius is kCircleRadius times the picture size, so in a
// size x size picture a direction at polar parameter t lies LensRadius(t) * 0.5 * size pixels from
// the centre. LensRadius is increasing on [0, 1]; the rim of the picture is at LensRadius(1), just
// inside the circle (0.99863).
#pragma once

namespace tools::scene {

constexpr double kLensHalfAngleDegrees = 107.0;
constexpr double kCircleRadius = 0.5;

double LensRadius(double t);
// d LensRadius / dt of the unclamped polynomial.
double LensRadiusSlope(double t);
// The t in [0, 1] with LensRadius(t) = r; r is clamped to [0, LensRadius(1)]. Accurate to about 1e-12.
double InverseLensRadius(double r);
// LensRadius(1): the rim of the picture in units of the circle radius.
double RimRadius();

} // namespace tools::scene
