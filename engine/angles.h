// The engine's angle constants and degree-to-radian conversions. The engine computes with the float
// values of pi and 2 pi (3.1415927, 6.2831855), in float or widened to double; which one a mode uses is
// part of its pictures, so both conversions are kept.
#pragma once

constexpr float kPi = 3.1415927f;
// 2 pi and pi as doubles: the floats 6.2831855 and 3.1415927 widened.
constexpr double kTwoPi = 6.2831854820251465;
constexpr double kPiD = 3.1415927410125732;

// Degrees to radians in double with the engine's 2 pi, narrowed to a float.
inline float Radians(float degrees) {
    return float(double(degrees) * kTwoPi / 360.0);
}

// Degrees to radians in single precision.
constexpr float RadiansInFloat(float degrees) {
    return degrees / 360.0f * 6.2831855f;
}
