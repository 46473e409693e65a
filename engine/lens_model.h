// The fisheye lens of the camera, and the angles every unfold mode derives from it.
//
// The polar parameter t runs from 0 on the optical axis to 1 at 107 degrees off it. LensRadius(t) is
// the distance from the centre of the picture circle, in units of the circle radius, by a fixed
// fifth-order polynomial in the angle (radians), clamped to [0, 1]. The lens sees 107 - 90 = 17 degrees
// beyond the horizon, so the rim of the picture lies 17 degrees below it for an upward-facing camera.
//
// Every value here must stay bit-exact: the meshes, views and outlines of the modes are computed in
// the precision noted beside each constant (a float, a float widened to double, extended precision),
// and changing a constant's type or the order of its arithmetic changes pixels.
#pragma once

#include "engine/angles.h"

// Coefficients of r, r^2 ... r^5, r the angle from the optical axis in radians. Evaluated in extended
// precision by the engine; each also converts to the nearest double exactly (the scene renderer of the
// tools evaluates the polynomial in double).
constexpr long double kLensCoefficients[5] = {0.379304210704049L, 0.0126343541596725L, -0.00163057541794842L,
                                              0.0739231778879912L, -0.0282768400561508L};

// The polar range of the lens (t = 1) in degrees, and in radians narrowed to a float: 107 / 360 x 2 pi
// rounds to the same float whether computed in double or in float arithmetic.
constexpr float kLensRangeDegrees = 107.0f;
constexpr float kLensRangeRadians = float(107.0 / 360.0 * kTwoPi);
static_assert(kLensRangeRadians == RadiansInFloat(kLensRangeDegrees));

// How far beyond the horizon the lens sees (the picture rim), in degrees, and the radians the modes
// take its sine of. atan2(sin, cos) of those radians, turned back into degrees, gives exactly 17.
constexpr float kRimBelowHorizonDegrees = 17.0f;
constexpr float kRimBelowHorizonRadians = 0.296706f;
// The elevation of the rim on the sphere the lens sees, the lens axis at +90 degrees.
constexpr float kRimElevationDegrees = -kRimBelowHorizonDegrees;

// Degrees of one turn per view percentage: the percentages 0 to 100 of the control interfaces span 360
// degrees. The float 3.6 (3.5999999); some modes widen it to double before scaling.
constexpr float kDegreesPerPercent = 3.6f;

// The image radius of polar parameter t, in units of the circle radius, clamped to [0, 1].
float LensRadius(float t);
