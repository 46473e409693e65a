// A pixel routine: the pixel stage specialised, once, for one combination of pixel program, input
// wiring, sampler states and texture formats, render-target formats and blend state, and instruction
// set, and kept in a cache keyed on that combination. It replays a draw whose coverage is cached from
// what each covered pixel's program reads (a shading cache: its interpolated inputs, and for samples
// taken straight at an interpolated coordinate the texel footprint), so a replayed frame does only the
// texel fetches, the program's arithmetic and the writes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d10/cpu_features.h"
#include "platform/d3d10/pixel_stage.h"
#include "platform/d3d10/texel_fetch.h"

namespace platform::d3d10 {

struct RoutineKey {
    std::shared_ptr<const ExecutionPlan> plan; // identity: one per pixel shader object
    Isa isa = Isa::Portable;
    unsigned parts = 1;
    std::vector<PixelInput> inputs;
    struct Texture {
        DXGI_FORMAT format;
        SamplerSettings sampler;
    };
    std::vector<Texture> textures;          // per resource slot the program samples, in its slot order
    std::vector<RenderTargetSetup> targets; // blend state and format only
    uint64_t hash = 0;

    static RoutineKey From(const PixelSetup& setup, Isa isa, unsigned parts);
    // From, into an existing key (its vectors keep their storage).
    void fill(const PixelSetup& setup, Isa isa, unsigned parts);
    bool operator==(const RoutineKey& o) const;
};

struct PixelRoutine {
    RoutineKey key;
    uint64_t serial; // unique for the device's life: names the routine in shading caches
    // The program's steps with footprint samples taken out and kernels of the routine's instruction set.
    std::vector<Step> steps;
    struct Footprint {
        PlanSlot u, v; // input slots of the coordinates
        uint8_t resource;
        PlanSlot out[4]; // slots the sample's channels go to
        FootprintFetch fetch;
        bool alpha = true; // whether anything reads the alpha channel (else it is not fetched)
    };
    std::vector<Footprint> footprints;
    LaneMerger merge;
    // Slots the program reads before it writes them: each band starts them at 0, as a fresh VM does.
    std::vector<PlanSlot> carried;
    // Inputs the steps read, which a shading cache keeps per pixel.
    std::vector<PixelInput> inputs;
    // One register arena per part, so that replays allocate nothing.
    std::vector<std::unique_ptr<ShaderVM>> vms;
};

class RoutineCache {
public:
    explicit RoutineCache(size_t maxRoutines = 32) : max_(maxRoutines) {}
    // The routine for this pixel set-up, built on first use.
    PixelRoutine& get(const PixelSetup& setup, Isa isa, unsigned parts);
    void clear() { routines_.clear(); }
    size_t size() const { return routines_.size(); }

private:
    std::vector<std::unique_ptr<PixelRoutine>> routines_; // most recent first
    RoutineKey key_;                                      // the set-up being looked up
    size_t max_;
    uint64_t nextSerial_ = 1;
};

// Whether the step reads the slot (a sample its coordinates, a window its axes unless they are kept).
bool StepReads(const Step& s, PlanSlot slot);

// A slot whose value is the same at every pixel of a band, and that value.
struct KnownValue {
    PlanSlot slot;
    float value;
};

// An output slot whose value the steps leave in another slot.
struct MovedOutput {
    PlanSlot output, at;
};

// Steps for one band, and where they leave the outputs that they do not leave in place.
struct BandSteps {
    std::vector<Step> steps;
    std::vector<MovedOutput> moved;
    std::vector<std::unique_ptr<SampleWindow>> windows; // what the SampleWindow steps point to
    // The slot that holds an output slot's value once the steps have run.
    PlanSlot outputAt(PlanSlot output) const {
        for (const MovedOutput& m : moved)
            if (m.output == output) return m.at;
        return output;
    }
};

// The routine's steps for one band, with the values known there (the program's literals, the bound
// constants and the band's unvarying inputs) folded in: a conditional move whose condition is known
// becomes a move of the operand it picks, a multiply by exactly 1 a move of the other operand (where
// that one cannot hold a signalling NaN, which the multiply would quieten), and the steps whose results
// nothing reads any more are dropped. Then the steps are compacted (CompactSteps). Every result is bit
// for bit the routine's.
BandSteps FoldKnownValues(const PixelRoutine& routine, const ConstantData* constants,
                          const std::vector<KnownValue>& inputs);

// Renames every value the steps compute into a slot of its own for as long as it lives, so that moves
// vanish (a move only names its source's slot), outputs included: their values stay where they were
// computed, and `moved` says where. A step whose result only one add reads is fused into that add: a
// product into a multiply-add (or, negated, a multiply-subtract), a negation into an add of the
// negated operand, a sum into a three-operand add. Each fused step rounds as the steps it replaces, so
// every result keeps its bits (except that an add whose operands were exchanged may keep the other of
// two NaNs: which one is left open by Direct3D 10). Returns false, leaving the steps as they were, where a
// step reads a slot that is neither read-only, in `prewritten`, nor written before it, or where the
// slots run out. With `gatherWindows`, the nine samples of each 3 x 3 filter through an AVX2 kernel
// become one SampleWindow step, which fetches them together (texel_fetch.h, WindowFetch); the channels
// nothing reads get no slot.
bool CompactSteps(const ExecutionPlan& plan, const std::vector<PlanSlot>& prewritten, BandSteps& band,
                  bool gatherWindows = false);

// A window among a band's steps (SampleWindow) whose footprint axes depend only on the band's inputs, the
// constants and the literals (not on a texel, nor on a value carried from the last batch), so that a
// shading cache can keep them per pixel; with the steps that work the axes out, in order.
struct KeptWindow {
    size_t step;
    std::vector<Step> axisSteps;
};
std::vector<KeptWindow> KeepableWindows(const ExecutionPlan& plan, const BandSteps& band);

// The band's steps with window k of `kept` fetched from kept axes k (VmContext::windows), and the steps
// whose results nothing reads then dropped. Every result keeps its bits where the kept axes are those
// the steps work out.
BandSteps WithKeptWindows(const ExecutionPlan& plan, const BandSteps& band,
                          const std::vector<KeptWindow>& kept);

// Replaces each step's kernel by the instruction set's own where there is one.
void SpecialiseKernels(std::vector<Step>& steps, Isa isa);

} // namespace platform::d3d10
