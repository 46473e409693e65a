// Texture sampling for the shader VM, over a plain description of the texture and the sampler state.
//
// Texel centres lie at half-integers: u = (i + 0.5) / width addresses texel i exactly. Bilinear weights
// are quantised to 8 fractional bits, as Direct3D 10 hardware does, and applied in integer arithmetic
// for 8-bit formats, so a sample at a texel centre returns that texel exactly and a sample half-way
// between two texels returns their exact mean.
#pragma once

#include <cstddef>
#include <cstdint>

#include <d3d10.h>

namespace platform::d3d10 {

struct SampledTexture {
    const uint8_t* data = nullptr; // top-left texel of mip 0
    uint32_t width = 0;
    uint32_t height = 0;
    size_t rowPitch = 0; // bytes
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
};

struct SamplerSettings {
    bool linear = true; // bilinear, else nearest texel
    D3D10_TEXTURE_ADDRESS_MODE addressU = D3D10_TEXTURE_ADDRESS_CLAMP;
    D3D10_TEXTURE_ADDRESS_MODE addressV = D3D10_TEXTURE_ADDRESS_CLAMP;
    float border[4] = {0, 0, 0, 0};

    static SamplerSettings From(const D3D10_SAMPLER_DESC& desc);
};

// x * 256 as an integer with 8 fractional bits, rounded to nearest, so that a coordinate a rounding
// error away from a texel centre reads that texel alone. NaN reads as 0 and huge values are held where
// the index arithmetic cannot overflow. No libm call (truncation corrected downwards for negative
// values), so that the lane loops vectorise.
inline int32_t ToFixed8(float x) {
    float s = x * 256.0f + 0.5f;
    s = s == s ? s : 0.0f;
    s = s < -1073741824.0f ? -1073741824.0f : s > 1073741824.0f ? 1073741824.0f : s;
    int32_t i = int32_t(s);
    return i - int32_t(float(i) > s);
}

// Bilinear sums of 8-bit channels weighted by 8-bit fractions in both directions are divided by this.
constexpr float kWeightDenominator = 255.0f * 65536.0f;

// Whether the sampler can read this format.
bool IsSampleableFormat(DXGI_FORMAT format);

// Samples n lanes: out[c][i] is channel c (r, g, b, a) at (u[i], v[i]). A texture without data (no
// resource bound) reads as (0, 0, 0, 0), as an unbound slot does on Direct3D 10.
void SampleLanes(const SampledTexture& texture, const SamplerSettings& sampler, const float* u,
                 const float* v, float* const out[4], int n);

} // namespace platform::d3d10
