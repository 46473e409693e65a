// The output merger: blends a pixel's colour into a render target and writes it, clamping and rounding
// for UNORM formats. For UNORM targets the source colour and the blend factor are clamped to [0, 1]
// before blending, as Direct3D 10 does.
#pragma once

#include <cstdint>

#include <d3d10.h>

namespace platform::d3d10 {

struct RenderTargetSetup {
    uint8_t* data = nullptr;
    size_t pitch = 0;
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
    uint32_t bytes = 0;     // per texel
    uint32_t slots[4] = {}; // VM slots of the pixel program's colour output for this target
    bool blend = false;
    D3D10_BLEND srcBlend = D3D10_BLEND_ONE, destBlend = D3D10_BLEND_ZERO;
    D3D10_BLEND_OP blendOp = D3D10_BLEND_OP_ADD;
    D3D10_BLEND srcBlendAlpha = D3D10_BLEND_ONE, destBlendAlpha = D3D10_BLEND_ZERO;
    D3D10_BLEND_OP blendOpAlpha = D3D10_BLEND_OP_ADD;
    uint8_t writeMask = 0xF;
    float blendFactor[4] = {0, 0, 0, 0};
    // Source-alpha blending whose result equals the source wherever the source is opaque.
    bool opaqueWhenAlphaOne = false;
};

// Prepares the derived fields of a target from its blend description.
void PrepareRenderTarget(RenderTargetSetup& target);

// Merges lanes 0..n-1 (colours from the given VM slots) at the lanes' pixel positions.
void MergeLanes(const RenderTargetSetup& target, float* const colour[4], const int32_t* x, const int32_t* y,
                int n);

} // namespace platform::d3d10
