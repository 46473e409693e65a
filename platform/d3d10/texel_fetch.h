// Bilinear fetches from footprints worked out once: for a sample whose coordinates do not change from
// frame to frame, the offset of its top-left texel and its two 8-bit weights are kept, and each frame
// only reads the four texels and blends them. The results are bit for bit those of the sampler
// (sampler.h) for 8-bit RGBA textures, bilinear and clamped.
//
// A footprint at the clamped edge keeps its texel with weight 0 on the far side, which blends to what
// the clamped fetch gives; the texture's storage reaches one row and 64 bytes beyond its last texel, so
// the far texels read with weight 0 lie inside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d10/cpu_features.h"
#include "platform/d3d10/sampler.h"

namespace platform::d3d10 {

// Whether a sample through this sampler from this format can be fetched from a footprint.
bool FootprintSampled(const SamplerSettings& sampler, DXGI_FORMAT format);

// Footprints of n samples at (u[i], v[i]): byte offset of the top-left texel, weights x | y << 8.
void ComputeFootprints(const SampledTexture& texture, const float* u, const float* v, uint32_t* offsets,
                       uint16_t* weights, int n);

using FootprintCompute = void (*)(const SampledTexture& texture, const float* u, const float* v,
                                  uint32_t* offsets, uint16_t* weights, int n);
FootprintCompute FootprintComputer(Isa isa);

// One direction of n footprints, as ComputeFootprints works it out along x (extent: the width) or y
// (the height): texel index << 8 | weight, the weight 0 where both texels clamp to one. Samples that
// share a coordinate (a filter's taps along a row or a column) share this work.
// The axis values go to float lanes bit for bit (a shader VM's registers hold integers so).
using FootprintAxisCompute = void (*)(uint32_t extent, const float* coordinates, float* axis, int n);
FootprintAxisCompute FootprintAxisComputer(Isa isa);
void ComputeFootprintAxis(uint32_t extent, const float* coordinates, float* axis, int n);

// Footprints from their two directions: what ComputeFootprints gives for the coordinates they came from.
using FootprintJoin = void (*)(const float* x, const float* y, size_t rowPitch, uint32_t* offsets,
                               uint16_t* weights, int n);
FootprintJoin FootprintJoiner(Isa isa);
void JoinFootprintAxes(const float* x, const float* y, size_t rowPitch, uint32_t* offsets, uint16_t* weights,
                       int n);

// out[c][i] is channel c (r, g, b, a) of footprint i of a texture whose texel 0 is at `texels`; out[3]
// may be null where the alpha channel is not wanted.
using FootprintFetch = void (*)(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                                const uint16_t* weights, float* const out[4], int n);
// For Isa::Avx2, the AVX-512 fetch where the processor has AVX-512 F, BW and VL, unless
// UNFOLD_D3D10_ISA=avx2 keeps to AVX2; every fetcher gives the same bits. So too for the window fetches.
FootprintFetch FootprintFetcher(Isa isa, DXGI_FORMAT format);

// Nine footprints at the crossings of three footprint axes along x and three along y (FootprintAxis
// values, left to right and top to bottom: a 3 x 3 filter's taps). out[3 * j + i] gets the channels of
// the footprint (x[i], y[j]); a null channel is not wanted. Where the texel indices of the axes are
// consecutive in both directions, the nine footprints lie in one 4 x 4 window of texels, which is read
// once and blended row by row with each tap's own weights; elsewhere each footprint is joined and fetched
// on its own. Either way the results are those of JoinFootprintAxes and the fetch.
using WindowFetch = void (*)(const uint8_t* texels, size_t pitch, const float* const x[3],
                             const float* const y[3], float* const out[9][4], int n);
WindowFetch WindowFetcher(Isa isa, DXGI_FORMAT format);

// A window's nine taps kept per pixel where their axes do not change from frame to frame (a filter at
// interpolated coordinates): 12 bytes a pixel rather than six axes of 4. `corner` holds the texel
// indices of the first x and first y axis (x | y << 16); `taps` the six weights (x axes in bytes 0 to
// 2, y axes in bytes 3 to 5) and the steps from each axis's index to the next (x in byte 6, y in byte
// 7, four bits a step). The axes a window reads unpack from these bit for bit.
struct WindowAxes {
    const uint32_t* corners;
    const uint64_t* taps;
    uint32_t pixels;
};
// Packs n pixels' axes; false where an index is beyond 16 bits or a step between two axes is not
// within 0 to 15 (the window then cannot be kept so).
bool PackWindowAxes(const float* const x[3], const float* const y[3], uint32_t* corners, uint64_t* taps,
                    int n);
void UnpackWindowAxes(const uint32_t* corners, const uint64_t* taps, float* const x[3], float* const y[3],
                      int n);
// The window fetch (WindowFetch) from kept axes: the same results for the axes they unpack to. It leaves
// the texel rows to PrefetchWindows.
using KeptWindowFetch = void (*)(const uint8_t* texels, size_t pitch, const uint32_t* corners,
                                 const uint64_t* taps, float* const out[9][4], int n);
KeptWindowFetch KeptWindowFetcher(Isa isa, DXGI_FORMAT format);
// Asks for the four texel rows of n kept windows to be brought into the cache ahead of their fetch.
void PrefetchWindows(const uint8_t* texels, size_t pitch, const uint32_t* corners, int n);

// Asks for the texel rows of n footprints to be brought into the cache ahead of their fetch. A replay
// calls it for its next batch, so that the misses of that batch's scattered rows are under way while
// the current batch is fetched, shaded and written; the fetch alone has too few loads in flight.
void PrefetchFootprints(const uint8_t* texels, size_t pitch, const uint32_t* offsets, int n);

namespace detail {
template <bool kSwapRedBlue>
void FetchFootprintsPortable(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                             const uint16_t* weights, float* const out[4], int n);
FootprintFetch Avx2FootprintFetcher(bool swapRedBlue);
// Each of the nine footprints of a window joined and fetched with these functions.
void FetchWindowTaps(FootprintJoin join, FootprintFetch fetch, const uint8_t* texels, size_t pitch,
                     const float* const x[3], const float* const y[3], float* const out[9][4], int n);
// The channels of `out` moved on by `at` lanes, null where null.
void ShiftWindowOutputs(float* const out[9][4], int at, float* shifted[9][4]);
// Each of the nine footprints of kept windows unpacked, joined and fetched with these functions.
void FetchKeptWindowTaps(FootprintJoin join, FootprintFetch fetch, const uint8_t* texels, size_t pitch,
                         const uint32_t* corners, const uint64_t* taps, float* const out[9][4], int n);
WindowFetch Avx2WindowFetcher(bool swapRedBlue);
KeptWindowFetch Avx2KeptWindowFetcher(bool swapRedBlue);
// Null where the processor lacks AVX-512 F, BW or VL.
FootprintFetch Avx512FootprintFetcher(bool swapRedBlue);
WindowFetch Avx512WindowFetcher(bool swapRedBlue);
KeptWindowFetch Avx512KeptWindowFetcher(bool swapRedBlue);
FootprintCompute Avx2FootprintComputer();
FootprintAxisCompute Avx2FootprintAxisComputer();
FootprintJoin Avx2FootprintJoiner();
} // namespace detail

} // namespace platform::d3d10
