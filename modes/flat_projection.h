// The fixed projection of the flat modes: x and y unchanged, depth z mapped to 0.5 - 0.05 z.
#pragma once

#include "engine/matrix.h"

inline CMatrix FlatProjection() {
    CMatrix p;
    p.at(3, 3) = -0.05f;
    p.at(4, 3) = 0.5f;
    return p;
}

// 2 pi and pi as the engine's double constants (the floats 6.2831855 and 3.1415927 widened).
constexpr double kTwoPi = 6.2831854820251465;
constexpr double kPiD = 3.1415927410125732;

// Degrees to radians with the engine's 2 pi.
inline float Radians(float degrees) {
    return float(double(degrees) * kTwoPi / 360.0);
}

// The same, computed in single precision as the sphere and cylinder meshes do.
inline float RadiansInFloat(float degrees) {
    return degrees / 360.0f * 6.2831855f;
}
