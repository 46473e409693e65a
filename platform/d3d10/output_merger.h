// The output merger: blends a pixel's colour into a render target and writes it, clamping and rounding
// for UNORM formats. For UNORM targets the source colour and the blend factor are clamped to [0, 1]
// before blending, as Direct3D 10 does.
#pragma once

#include <cstdint>

#include <d3d10.h>

#include "platform/d3d10/cpu_features.h"
#include "platform/d3d10/rasterizer.h"

namespace platform::d3d10 {

struct RenderTargetSetup {
    uint8_t* data = nullptr;
    size_t pitch = 0;
    uint32_t width = 0, height = 0;
    // A clear pending on the target, which the draw fills in on its rows before it shades them.
    bool fillClear = false;
    // The draw writes each covered pixel once over a clear left pending around it: the covered pixels
    // are merged with the clear texel as their destination.
    bool clearUnder = false;
    uint8_t clearTexel[16] = {};
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

// Where a pending clear is to be filled in: a texture's bytes and the texel every pixel reads as.
struct ClearFill {
    uint8_t* data = nullptr;
    size_t pitch = 0;
    uint32_t width = 0, height = 0, bytes = 0;
    const uint8_t* texel = nullptr;
};

// The most draws a pending clear is left pending around (Texture2D::drewOverClear).
constexpr size_t kMaxDrawsOverClear = 8;

// Fills the clear texel into `rows` of the texture, except the pixels of `drawn`: up to
// kMaxDrawsOverClear draws' coverage (each its bands in part order, their spans in row order), ordered
// by the left edge of draw bounds that do not overlap, so that on any row the spans of one draw lie
// left of those of the next.
void FillClear(const ClearFill& fill, RowRange rows, const std::vector<CoverageBand>* const* drawn = nullptr,
               size_t count = 0);

// Fills in a target's pending clear (fillClear) on the rows of a part before the draw shades them.
void FillPendingClear(const RenderTargetSetup& target, RowRange rows);

// Whether a band's spans run in row order, left to right, without sharing a pixel, so that a draw
// replaying them writes each pixel once and the pixels between them can be found in one walk.
bool SpansInRowOrder(const CoverageBand& band);

// Prepares the derived fields of a target from its blend description.
void PrepareRenderTarget(RenderTargetSetup& target);

// Where a batch's lanes go: runs of lanes that are neighbouring pixels of one row.
struct LanePositions {
    struct Run {
        int32_t lane, length, x, y;
    };
    Run runs[64];
    int runCount = 0;
};

// Merges lanes 0..n-1 (colours from the given VM slots) at the lanes' pixel positions.
void MergeLanes(const RenderTargetSetup& target, float* const colour[4], const LanePositions& at, int n);

using LaneMerger = void (*)(const RenderTargetSetup& target, float* const colour[4], const LanePositions& at,
                            int n);
// MergeLanes built for an instruction set (the same bytes from each); for Isa::Avx2, the AVX-512 merge
// where Avx512Enabled.
LaneMerger LaneMergerFor(Isa isa);

// Writes packed 32-bit texels of a batch's lanes at their positions, a run at a time.
void StoreTexels(const RenderTargetSetup& target, const uint32_t* texels, const LanePositions& at);

namespace detail {
LaneMerger Avx2LaneMerger();
// Null where the processor lacks AVX-512 F, BW or VL.
LaneMerger Avx512LaneMerger();
} // namespace detail

} // namespace platform::d3d10
