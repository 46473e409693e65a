// What a pixel routine reads at each covered pixel of a cached coverage record: the interpolated inputs
// its steps read (one value for the band where it does not vary) and the texel footprints of its
// samples at interpolated coordinates. Built the first time a routine replays the record, for the
// texture layout it sampled; every later frame shades from it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d10/pixel_routine.h"
#include "platform/d3d10/step_compiler.h"
#include "platform/d3d10/uninitialised_allocator.h"

namespace platform::d3d10 {

// A band's pixels are shaded in chunks of this many (whole batches, so that a chunk's batches are those
// of a walk through the whole band), which any thread may take (ChunkDealer).
constexpr uint32_t kShadingChunk = 64 * kLanes;

struct ShadingCache {
    uint64_t routine = 0;                // PixelRoutine::serial
    std::vector<uint64_t> textureLayout; // per footprint: width, height and row pitch
    struct Band {
        bool built = false;
        uint32_t pixels = 0;
        std::vector<UninitialisedVector<uint32_t>> offsets; // per footprint, per pixel
        std::vector<UninitialisedVector<uint16_t>> weights;
        std::vector<std::vector<float>> values; // per routine input, per pixel; empty when constant
        std::vector<float> constant;            // per routine input: its value when constant
        // Where each chunk starts in the coverage's replay spans.
        struct ChunkStart {
            uint32_t span;
            int32_t x;
        };
        std::vector<ChunkStart> chunks;
        // The routine's steps with the band's known values folded in (FoldKnownValues), and the bound
        // constants they were folded for; folded again when those change.
        BandSteps steps;
        std::unique_ptr<const CompiledSteps> compiled; // the steps as machine code, where compiled
        std::vector<uint32_t> foldedFor;
        bool folded = false;
        // The folded steps' windows whose axes the band keeps per pixel (KeepableWindows), the steps that
        // fetch them from there, and which routine inputs those steps still read; then the axes
        // themselves, worked out for the texture layouts in windowLayout (width and height, row pitch).
        std::vector<KeptWindow> keptWindows;
        BandSteps keptSteps;
        std::unique_ptr<const CompiledSteps> keptCompiled;
        std::vector<uint8_t> keptReads;
        std::vector<UninitialisedVector<uint32_t>> windowCorners;
        std::vector<UninitialisedVector<uint64_t>> windowTaps;
        std::vector<WindowAxes> windowAxes;
        std::vector<uint64_t> windowLayout;
        bool windowsKept = false;
        size_t bytes() const;
    };
    std::vector<Band> bands; // one per part
    size_t bytes() const;

    // The layout a routine's footprints take from these bindings.
    static std::vector<uint64_t> LayoutOf(const PixelRoutine& routine, const ShaderBindings& bindings);
    // Whether textureLayout is the layout these bindings give (without building it).
    bool hasLayout(const PixelRoutine& routine, const ShaderBindings& bindings) const;
};

// Builds a part's band of the cache: interpolates every input of the band's pixels once.
void BuildShadingBand(const PixelRoutine& routine, const PixelSetup& setup, const ShadingPlanes& planes,
                      const CoverageBand& coverage, unsigned part, ShadingCache::Band& out);

// Readies a built band for shading with the constants and textures bound now (folding the constants
// into its steps, and working out the axes of the windows it keeps, when they changed), on part
// `part`'s registers; after that any thread may shade its chunks.
void PrepareShadingBand(const PixelRoutine& routine, const PixelSetup& setup, unsigned part,
                        ShadingCache::Band& cache);

// Shades chunk `chunk` of a prepared band on part `part`'s registers and merges it into the targets.
// Where the routine carries values from batch to batch, a band's chunks must run in order on one part.
void ReplayShadingChunk(const PixelRoutine& routine, const PixelSetup& setup, const CoverageBand& coverage,
                        unsigned part, const ShadingCache::Band& cache, uint32_t chunk);

} // namespace platform::d3d10
