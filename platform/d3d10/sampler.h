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

// Whether the sampler can read this format.
bool IsSampleableFormat(DXGI_FORMAT format);

// Samples n lanes: out[c][i] is channel c (r, g, b, a) at (u[i], v[i]). A texture without data (no
// resource bound) reads as (0, 0, 0, 0), as an unbound slot does on Direct3D 10.
void SampleLanes(const SampledTexture& texture, const SamplerSettings& sampler, const float* u,
                 const float* v, float* const out[4], int n);

} // namespace platform::d3d10
