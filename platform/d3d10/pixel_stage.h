// The pixel stage: shades a coverage band kLanes pixels at a time and merges the results.
#pragma once

#include <memory>
#include <vector>

#include "platform/d3d10/output_merger.h"
#include "platform/d3d10/rasterizer.h"
#include "platform/d3d10/resources.h"

namespace platform::d3d10 {

// Where one component of a pixel-program input comes from.
struct PixelInput {
    enum Kind : uint8_t { Attribute, PositionX, PositionY, PositionZ, PositionW, Zero };
    Kind kind;
    uint32_t slot;      // VM lane-array slot
    uint32_t attribute; // attribute index, for Attribute
    bool operator==(const PixelInput&) const = default;
};

struct PixelSetup {
    std::shared_ptr<const ExecutionPlan> plan;
    ShaderBindings bindings{};
    std::vector<PixelInput> inputs;
    std::vector<RenderTargetSetup> targets;
    std::vector<Texture2D*> targetTextures; // beside targets
};

// Primitive data the pixel stage interpolates from.
struct ShadingPlanes {
    const PrimitivePlanes* primitives;
    const Plane* attributes;
};

// Walks a band's covered pixels in span order, kLanes at a time, interpolating the inputs of each batch
// into the lane arrays given beside them (one per input). Inputs with one value at every pixel of the
// band (Zero inputs, and attributes that every primitive holds constant at the same value, such as a
// mesh's single vertex colour) are filled once, at the start.
class LaneFeeder {
public:
    LaneFeeder(const ShadingPlanes& planes, const CoverageBand& band, const std::vector<PixelInput>& inputs,
               float* const* lanes);
    // Fills the next batch; its number of lanes, 0 when the band is done.
    int next();
    const LanePositions& positions() const { return at_; }
    // Whether input k was filled once, with its value at every pixel of the band.
    bool uniform(size_t k) const { return uniform_[k] != 0; }

private:
    // Runs up to this long, with up to this many inputs, are filled pixel by pixel.
    static constexpr int kShortRun = 16;
    static constexpr size_t kShortRunInputs = 8;

    void beginSpan();
    void findUniformAttributes(std::vector<float>& value);
    void interpolateShortRun(int n, int len, float dx0);
    void interpolateRun(int n, int len, float dx0);

    const ShadingPlanes& planes_;
    const CoverageBand& band_;
    const std::vector<PixelInput>& inputs_;
    float* const* lanes_;
    size_t span_ = 0;
    uint32_t x_ = 0;
    bool inSpan_ = false;
    // The current span's row: value / w = base + a * dx for attributes, 1 / w and z likewise.
    std::vector<float> base_, slope_;
    std::vector<uint8_t> constant_;
    std::vector<uint8_t> uniform_;
    std::vector<uint32_t> fed_; // the inputs filled run by run
    // Every fed input of the span is an attribute that varies, and they are few enough for short runs
    // to be filled pixel by pixel.
    bool onlyInterpolated_ = false;
    float py_ = 0, wRow_ = 0, wa_ = 0, zRow_ = 0, za_ = 0, refX_ = 0;
    LanePositions at_;
    float laneDx_[kLanes], laneW_[kLanes];
};

void ShadeBand(const ShadingPlanes& planes, const CoverageBand& band, const PixelSetup& setup);

} // namespace platform::d3d10
