#include "platform/d3d10/sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::d3d10 {

namespace {

constexpr float kWeightDenominator = 255.0f * 65536.0f;

// x * 256 as an integer with 8 fractional bits, floor-rounded; NaN reads as 0 and huge values are
// held where the index arithmetic cannot overflow.
inline int32_t toFixed8(float x) {
    float s = x * 256.0f;
    if (!(s == s)) return 0;
    s = std::clamp(s, -1073741824.0f, 1073741824.0f);
    return static_cast<int32_t>(std::floor(s));
}

// Maps a texel index into [0, size) by the address mode; -1 means "border".
inline int32_t address(int32_t i, int32_t size, D3D10_TEXTURE_ADDRESS_MODE mode) {
    switch (mode) {
    case D3D10_TEXTURE_ADDRESS_WRAP: {
        int32_t m = i % size;
        return m < 0 ? m + size : m;
    }
    case D3D10_TEXTURE_ADDRESS_MIRROR: {
        int32_t period = 2 * size;
        int32_t m = i % period;
        if (m < 0) m += period;
        return m < size ? m : period - 1 - m;
    }
    case D3D10_TEXTURE_ADDRESS_MIRROR_ONCE: {
        int32_t m = i < 0 ? -1 - i : i;
        return std::min(m, size - 1);
    }
    case D3D10_TEXTURE_ADDRESS_BORDER:
        return (i < 0 || i >= size) ? -1 : i;
    case D3D10_TEXTURE_ADDRESS_CLAMP:
    default:
        return std::clamp(i, 0, size - 1);
    }
}

inline float unorm8(uint32_t v) { return static_cast<float>(v) / 255.0f; }

// One texel as four floats, missing colour channels 0 and a missing alpha 1.
void fetch(const SampledTexture& t, int32_t x, int32_t y, float out[4]) {
    const uint8_t* p = t.data + size_t(y) * t.rowPitch;
    switch (t.format) {
    case DXGI_FORMAT_R8G8B8A8_UNORM:
        p += size_t(x) * 4;
        out[0] = unorm8(p[0]), out[1] = unorm8(p[1]), out[2] = unorm8(p[2]), out[3] = unorm8(p[3]);
        return;
    case DXGI_FORMAT_B8G8R8A8_UNORM:
        p += size_t(x) * 4;
        out[0] = unorm8(p[2]), out[1] = unorm8(p[1]), out[2] = unorm8(p[0]), out[3] = unorm8(p[3]);
        return;
    case DXGI_FORMAT_B8G8R8X8_UNORM:
        p += size_t(x) * 4;
        out[0] = unorm8(p[2]), out[1] = unorm8(p[1]), out[2] = unorm8(p[0]), out[3] = 1.0f;
        return;
    case DXGI_FORMAT_R8G8_UNORM:
        p += size_t(x) * 2;
        out[0] = unorm8(p[0]), out[1] = unorm8(p[1]), out[2] = 0.0f, out[3] = 1.0f;
        return;
    case DXGI_FORMAT_R8_UNORM:
        out[0] = unorm8(p[x]), out[1] = 0.0f, out[2] = 0.0f, out[3] = 1.0f;
        return;
    case DXGI_FORMAT_A8_UNORM:
        out[0] = out[1] = out[2] = 0.0f, out[3] = unorm8(p[x]);
        return;
    case DXGI_FORMAT_R32_FLOAT:
        std::memcpy(out, p + size_t(x) * 4, 4);
        out[1] = 0.0f, out[2] = 0.0f, out[3] = 1.0f;
        return;
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
        std::memcpy(out, p + size_t(x) * 16, 16);
        return;
    default:
        out[0] = out[1] = out[2] = out[3] = 0.0f;
        return;
    }
}

void fetchAddressed(const SampledTexture& t, const SamplerSettings& s, int32_t x, int32_t y, float out[4]) {
    int32_t ax = address(x, int32_t(t.width), s.addressU);
    int32_t ay = address(y, int32_t(t.height), s.addressV);
    if (ax < 0 || ay < 0) {
        std::memcpy(out, s.border, 16);
        return;
    }
    fetch(t, ax, ay, out);
}

// Bilinear or nearest sampling of any format and address mode.
void sampleGeneral(const SampledTexture& t, const SamplerSettings& s, const float* u, const float* v,
                   float* const out[4], int n) {
    for (int i = 0; i < n; ++i) {
        float r[4];
        if (s.linear) {
            int32_t fx = toFixed8(u[i] * float(t.width) - 0.5f);
            int32_t fy = toFixed8(v[i] * float(t.height) - 0.5f);
            int32_t x0 = fx >> 8, y0 = fy >> 8;
            float wx = float(fx & 255) / 256.0f, wy = float(fy & 255) / 256.0f;
            float c00[4], c10[4], c01[4], c11[4];
            fetchAddressed(t, s, x0, y0, c00);
            fetchAddressed(t, s, x0 + 1, y0, c10);
            fetchAddressed(t, s, x0, y0 + 1, c01);
            fetchAddressed(t, s, x0 + 1, y0 + 1, c11);
            for (int c = 0; c < 4; ++c) {
                float top = c00[c] + (c10[c] - c00[c]) * wx;
                float bottom = c01[c] + (c11[c] - c01[c]) * wx;
                r[c] = top + (bottom - top) * wy;
            }
        } else {
            int32_t x = toFixed8(u[i] * float(t.width)) >> 8;
            int32_t y = toFixed8(v[i] * float(t.height)) >> 8;
            fetchAddressed(t, s, x, y, r);
        }
        for (int c = 0; c < 4; ++c) out[c][i] = r[c];
    }
}

// The engine's case: four 8-bit channels, bilinear, clamped. Weights and sums stay in integers, so
// the only rounding is the final division.
template <bool kSwapRedBlue>
void sampleRgba8LinearClamp(const SampledTexture& t, const float* u, const float* v, float* const out[4], int n) {
    const int32_t maxX = int32_t(t.width) - 1, maxY = int32_t(t.height) - 1;
    const float w = float(t.width), h = float(t.height);
    for (int i = 0; i < n; ++i) {
        int32_t fx = toFixed8(u[i] * w - 0.5f);
        int32_t fy = toFixed8(v[i] * h - 0.5f);
        int32_t x0 = fx >> 8, y0 = fy >> 8;
        uint32_t ax = uint32_t(fx & 255), ay = uint32_t(fy & 255);
        int32_t xa = std::clamp(x0, 0, maxX), xb = std::clamp(x0 + 1, 0, maxX);
        int32_t ya = std::clamp(y0, 0, maxY), yb = std::clamp(y0 + 1, 0, maxY);
        const uint8_t* rowA = t.data + size_t(ya) * t.rowPitch;
        const uint8_t* rowB = t.data + size_t(yb) * t.rowPitch;
        const uint8_t* p00 = rowA + size_t(xa) * 4;
        const uint8_t* p10 = rowA + size_t(xb) * 4;
        const uint8_t* p01 = rowB + size_t(xa) * 4;
        const uint8_t* p11 = rowB + size_t(xb) * 4;
        uint32_t bx = 256 - ax, by = 256 - ay;
        for (int c = 0; c < 4; ++c) {
            uint32_t top = p00[c] * bx + p10[c] * ax;
            uint32_t bottom = p01[c] * bx + p11[c] * ax;
            int dc = kSwapRedBlue && c != 1 && c != 3 ? 2 - c : c;
            out[dc][i] = float(top * by + bottom * ay) / kWeightDenominator;
        }
    }
}

} // namespace

SamplerSettings SamplerSettings::From(const D3D10_SAMPLER_DESC& desc) {
    SamplerSettings s;
    // Only mip 0 exists in the textures this device makes, so the minification filter never
    // differs from magnification; the magnification bit decides.
    s.linear = (desc.Filter & 0x04) != 0;
    s.addressU = desc.AddressU;
    s.addressV = desc.AddressV;
    std::memcpy(s.border, desc.BorderColor, sizeof s.border);
    return s;
}

bool IsSampleableFormat(DXGI_FORMAT format) {
    switch (format) {
    case DXGI_FORMAT_R8G8B8A8_UNORM:
    case DXGI_FORMAT_B8G8R8A8_UNORM:
    case DXGI_FORMAT_B8G8R8X8_UNORM:
    case DXGI_FORMAT_R8G8_UNORM:
    case DXGI_FORMAT_R8_UNORM:
    case DXGI_FORMAT_A8_UNORM:
    case DXGI_FORMAT_R32_FLOAT:
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
        return true;
    default:
        return false;
    }
}

void SampleLanes(const SampledTexture& t, const SamplerSettings& s, const float* u, const float* v,
                 float* const out[4], int n) {
    if (!t.data || t.width == 0 || t.height == 0) {
        for (int c = 0; c < 4; ++c) std::fill(out[c], out[c] + n, 0.0f);
        return;
    }
    bool clamp = s.addressU == D3D10_TEXTURE_ADDRESS_CLAMP && s.addressV == D3D10_TEXTURE_ADDRESS_CLAMP;
    if (s.linear && clamp && t.format == DXGI_FORMAT_R8G8B8A8_UNORM)
        return sampleRgba8LinearClamp<false>(t, u, v, out, n);
    if (s.linear && clamp && t.format == DXGI_FORMAT_B8G8R8A8_UNORM)
        return sampleRgba8LinearClamp<true>(t, u, v, out, n);
    sampleGeneral(t, s, u, v, out, n);
}

} // namespace platform::d3d10
