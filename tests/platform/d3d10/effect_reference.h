// The colour mathematics of the effect's passes, step by step in single precision, and the
// settings the engine gives them: the reference the effect tests compare against.
#pragma once

#include <array>
#include <cmath>

namespace platform::d3d10::testing {

using Float4 = std::array<float, 4>;

// The colour settings of a draw, as the engine sets them.
struct Settings {
    float contrast = 1, brightness = 1, saturation = 1, alpha = 1;
    float kernel[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    int texWidth = 4, texHeight = 4;
    bool inversed = false;
};

inline void sharpen(Settings& s, float a) {
    for (float& k : s.kernel) k = -a / 9.0f;
    s.kernel[4] = 8.0f * a / 9.0f + 1.0f;
}

inline void blur(Settings& s, float sigma) {
    float q = 2.0f * sigma * sigma;
    float e = std::exp(-2.0f / q), f = std::exp(-1.0f / q), sum = 4 * e + 4 * f + 1;
    for (int i : {0, 2, 6, 8}) s.kernel[i] = e / sum;
    for (int i : {1, 3, 5, 7}) s.kernel[i] = f / sum;
    s.kernel[4] = 1.0f / sum;
}

inline float contrastStep(float x, float c) {
    return (x - 0.5f) * c + 0.5f;
}

// Planar passes, from Y, Cb and Cr after the gains (Cb and Cr already centred on 0).
inline Float4 planarReference(float y, float cb, float cr, const Float4& col, const Settings& s) {
    float r = y + 1.402f * cr, g = y - 0.714f * cr - 0.344f * cb, b = y + 1.772f * cb;
    float R = contrastStep(r, s.contrast), G = contrastStep(g, s.contrast), B = contrastStep(b, s.contrast);
    if (s.inversed) return {B * col[0], G * col[1], R * col[2], col[3] * s.alpha};
    return {R * col[0], G * col[1], B * col[2], col[3] * s.alpha};
}

// Packed passes, from the three sampled (or convolved) channels.
inline Float4 packedReference(float p1, float p2, float p3, const Float4& col, const Settings& s) {
    float y = (0.299f * p1 + 0.587f * p2 + 0.114f * p3) * s.brightness;
    float cb = (-0.169f * p1 - 0.332f * p2 + 0.5f * p3) * s.saturation;
    float cr = (0.5f * p1 - 0.419f * p2 - 0.081f * p3) * s.saturation;
    float x = y + 1.402f * cr, g = y - 0.344f * cb - 0.714f * cr, z = y + 1.772f * cb;
    float X = contrastStep(x, s.contrast), G = contrastStep(g, s.contrast), Z = contrastStep(z, s.contrast);
    if (s.inversed) return {X * col[0], G * col[1], Z * col[2], col[3] * s.alpha};
    return {Z * col[0], G * col[1], X * col[2], col[3] * s.alpha};
}

} // namespace platform::d3d10::testing
