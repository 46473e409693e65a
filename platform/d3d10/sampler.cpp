#include "platform/d3d10/sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::d3d10 {

namespace {

constexpr int kMaxSampleLanes = 64;

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

inline float unorm8(uint32_t v) {
    return static_cast<float>(v) / 255.0f;
}

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
            int32_t fx = ToFixed8(u[i] * float(t.width) - 0.5f);
            int32_t fy = ToFixed8(v[i] * float(t.height) - 0.5f);
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
            int32_t x = ToFixed8(u[i] * float(t.width)) >> 8;
            int32_t y = ToFixed8(v[i] * float(t.height)) >> 8;
            fetchAddressed(t, s, x, y, r);
        }
        for (int c = 0; c < 4; ++c) out[c][i] = r[c];
    }
}

// The engine's case: four 8-bit channels, bilinear, clamped. First the lanes' texel addresses and
// weights (a loop the compiler vectorises), then the texel fetches, with two channels per 32-bit word
// for the horizontal blend and one per 32-bit word for the vertical one, so the only
// rounding is the final division.
template <bool kSwapRedBlue>
void sampleRgba8LinearClamp(const SampledTexture& t, const float* u, const float* v, float* const out[4],
                            int n) {
    const int32_t maxX = int32_t(t.width) - 1, maxY = int32_t(t.height) - 1;
    const float w = float(t.width), h = float(t.height);
    const uint32_t pitch = uint32_t(t.rowPitch); // a texture is at most 8192 x 8192 x 16 bytes
    uint32_t a00[kMaxSampleLanes], a10[kMaxSampleLanes], a01[kMaxSampleLanes], a11[kMaxSampleLanes];
    uint32_t wx[kMaxSampleLanes], wy[kMaxSampleLanes];
    for (int i = 0; i < n; ++i) {
        int32_t fx = ToFixed8(u[i] * w - 0.5f), fy = ToFixed8(v[i] * h - 0.5f);
        int32_t x0 = fx >> 8, y0 = fy >> 8;
        wx[i] = uint32_t(fx & 255);
        wy[i] = uint32_t(fy & 255);
        uint32_t xa = uint32_t(std::clamp(x0, 0, maxX)) * 4, xb = uint32_t(std::clamp(x0 + 1, 0, maxX)) * 4;
        uint32_t ya = uint32_t(std::clamp(y0, 0, maxY)) * pitch,
                 yb = uint32_t(std::clamp(y0 + 1, 0, maxY)) * pitch;
        a00[i] = ya + xa, a10[i] = ya + xb, a01[i] = yb + xa, a11[i] = yb + xb;
    }
    uint32_t sums[4][kMaxSampleLanes];
    for (int i = 0; i < n; ++i) {
        uint32_t p00, p10, p01, p11;
        std::memcpy(&p00, t.data + a00[i], 4);
        std::memcpy(&p10, t.data + a10[i], 4);
        std::memcpy(&p01, t.data + a01[i], 4);
        std::memcpy(&p11, t.data + a11[i], 4);
        uint32_t ax = wx[i], bx = 256 - ax, ay = wy[i], by = 256 - ay;
        // Channels 0 and 2, then 1 and 3, each in a 16-bit field: at most 255 * 256 per field.
        uint32_t topEven = (p00 & 0x00FF00FF) * bx + (p10 & 0x00FF00FF) * ax;
        uint32_t topOdd = ((p00 >> 8) & 0x00FF00FF) * bx + ((p10 >> 8) & 0x00FF00FF) * ax;
        uint32_t botEven = (p01 & 0x00FF00FF) * bx + (p11 & 0x00FF00FF) * ax;
        uint32_t botOdd = ((p01 >> 8) & 0x00FF00FF) * bx + ((p11 >> 8) & 0x00FF00FF) * ax;
        // Then each channel on its own in 32 bits: at most 255 * 65536.
        sums[kSwapRedBlue ? 2 : 0][i] = (topEven & 0xFFFF) * by + (botEven & 0xFFFF) * ay;
        sums[kSwapRedBlue ? 0 : 2][i] = (topEven >> 16) * by + (botEven >> 16) * ay;
        sums[1][i] = (topOdd & 0xFFFF) * by + (botOdd & 0xFFFF) * ay;
        sums[3][i] = (topOdd >> 16) * by + (botOdd >> 16) * ay;
    }
    for (int c = 0; c < 4; ++c) {
        float* o = out[c];
        const uint32_t* sum = sums[c];
        for (int i = 0; i < n; ++i) o[i] = float(int32_t(sum[i])) / kWeightDenominator;
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
    for (int done = 0; done < n; done += kMaxSampleLanes) {
        int lanes = std::min(kMaxSampleLanes, n - done);
        float* part[4] = {out[0] + done, out[1] + done, out[2] + done, out[3] + done};
        if (s.linear && clamp && t.format == DXGI_FORMAT_R8G8B8A8_UNORM)
            sampleRgba8LinearClamp<false>(t, u + done, v + done, part, lanes);
        else if (s.linear && clamp && t.format == DXGI_FORMAT_B8G8R8A8_UNORM)
            sampleRgba8LinearClamp<true>(t, u + done, v + done, part, lanes);
        else
            sampleGeneral(t, s, u + done, v + done, part, lanes);
    }
}

} // namespace platform::d3d10
