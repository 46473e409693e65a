// Texel formats the device supports, and the conversions the output merger and clears apply.
#pragma once

#include <cstdint>

#include <dxgiformat.h>

namespace platform::d3d10 {

struct FormatInfo {
    DXGI_FORMAT format;
    uint32_t bytes;      // per texel or vertex element
    bool color;          // usable as a texture, shader resource and render target
    bool depthStencil;   // usable as a depth-stencil surface
    bool vertexElement;  // usable in an input layout
    uint32_t components; // vertex elements: floats read
};

// nullptr for a format this device does not support.
const FormatInfo* GetFormatInfo(DXGI_FORMAT format);

// Float to n-bit UNORM: NaN becomes 0, the value is clamped to [0, 1], scaled by 2^n - 1 and rounded to
// the nearest integer.
inline uint32_t FloatToUnorm(float v, uint32_t maxValue) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return maxValue;
    return static_cast<uint32_t>(v * float(maxValue) + 0.5f);
}
inline uint8_t FloatToUnorm8(float v) {
    return static_cast<uint8_t>(FloatToUnorm(v, 255));
}
// 24-bit depth is converted in double precision: float has too few bits for exact rounding there.
inline uint32_t FloatToUnorm24(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 0xFFFFFF;
    return static_cast<uint32_t>(double(v) * 16777215.0 + 0.5);
}

// Stores rgba into one texel of a colour format (clamping and rounding UNORM channels).
void StoreColor(DXGI_FORMAT format, const float rgba[4], uint8_t* texel);
// Reads one texel of a colour format as rgba; missing colour channels read 0 and a missing alpha 1.
void LoadColor(DXGI_FORMAT format, const uint8_t* texel, float rgba[4]);

// D24_UNORM_S8_UINT texel: depth in bits 0-23, stencil in bits 24-31.
constexpr uint32_t kDepthMask = 0x00FFFFFF;
inline uint32_t DepthOf(uint32_t ds) {
    return ds & kDepthMask;
}
inline uint32_t StencilOf(uint32_t ds) {
    return ds >> 24;
}
inline uint32_t PackDepthStencil(uint32_t depth, uint32_t stencil) {
    return (depth & kDepthMask) | (stencil << 24);
}

} // namespace platform::d3d10
