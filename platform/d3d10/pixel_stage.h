// The pixel stage: shades a coverage band kLanes pixels at a time and merges the results.
#pragma once

#include <memory>
#include <vector>

#include "platform/d3d10/output_merger.h"
#include "platform/d3d10/rasterizer.h"

namespace platform::d3d10 {

// Where one component of a pixel-program input comes from.
struct PixelInput {
    enum Kind : uint8_t { Attribute, PositionX, PositionY, PositionZ, PositionW, Zero };
    Kind kind;
    uint32_t slot;      // VM lane-array slot
    uint32_t attribute; // attribute index, for Attribute
};

struct PixelSetup {
    std::shared_ptr<const ExecutionPlan> plan;
    ShaderBindings bindings{};
    std::vector<PixelInput> inputs;
    std::vector<RenderTargetSetup> targets;
};

// Primitive data the pixel stage interpolates from.
struct ShadingPlanes {
    const PrimitivePlanes* primitives;
    const Plane* attributes;
};

void ShadeBand(const ShadingPlanes& planes, const CoverageBand& band, const PixelSetup& setup);

} // namespace platform::d3d10
