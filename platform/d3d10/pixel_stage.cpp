#include "platform/d3d10/pixel_stage.h"

#include <algorithm>
#include <array>

namespace platform::d3d10 {

void ShadeBand(const ShadingPlanes& planes, const CoverageBand& band, const PixelSetup& setup) {
    if (band.spans.empty() || !setup.plan) return;
    ShaderVM vm(setup.plan);
    BindShaderResources(vm, setup.plan->program(), setup.bindings);

    struct Lane {
        float* dest;
        float base, a; // value / w along the current row: base + a * dx
    };
    std::vector<Lane> attributes;
    float* posX = nullptr;
    float* posY = nullptr;
    float* posZ = nullptr;
    float* posW = nullptr;
    for (const PixelInput& in : setup.inputs) {
        float* dest = vm.slot(in.slot);
        switch (in.kind) {
        case PixelInput::Attribute: attributes.push_back({dest, 0, 0}); break;
        case PixelInput::PositionX: posX = dest; break;
        case PixelInput::PositionY: posY = dest; break;
        case PixelInput::PositionZ: posZ = dest; break;
        case PixelInput::PositionW: posW = dest; break;
        case PixelInput::Zero: std::fill_n(dest, kLanes, 0.0f); break;
        }
    }
    std::vector<uint32_t> attributeIndex;
    for (const PixelInput& in : setup.inputs)
        if (in.kind == PixelInput::Attribute) attributeIndex.push_back(in.attribute);

    std::vector<std::array<float*, 4>> colours;
    for (const RenderTargetSetup& t : setup.targets)
        colours.push_back({vm.slot(t.slots[0]), vm.slot(t.slots[1]), vm.slot(t.slots[2]), vm.slot(t.slots[3])});

    int32_t laneX[kLanes], laneY[kLanes];
    int n = 0;
    auto flush = [&] {
        vm.run(n);
        for (size_t t = 0; t < setup.targets.size(); ++t) MergeLanes(setup.targets[t], colours[t].data(), laneX, laneY, n);
        n = 0;
    };

    for (const Span& span : band.spans) {
        const PrimitivePlanes& pp = planes.primitives[span.primitive];
        const Plane* ap = planes.attributes + pp.attributes;
        float py = float(span.y) + 0.5f;
        float dy = py - pp.refY;
        float wRow = pp.invW.v0 + pp.invW.b * dy;
        float zRow = pp.z.v0 + pp.z.b * dy;
        for (size_t k = 0; k < attributes.size(); ++k) {
            const Plane& pl = ap[attributeIndex[k]];
            attributes[k].base = pl.v0 + pl.b * dy;
            attributes[k].a = pl.a;
        }
        for (uint32_t x = span.x0; x < span.x1; ++x) {
            float px = float(x) + 0.5f;
            float dx = px - pp.refX;
            float invW = wRow + pp.invW.a * dx;
            float w = 1.0f / invW;
            for (const Lane& l : attributes) l.dest[n] = (l.base + l.a * dx) * w;
            if (posX) posX[n] = px;
            if (posY) posY[n] = py;
            if (posZ) posZ[n] = zRow + pp.z.a * dx;
            if (posW) posW[n] = invW;
            laneX[n] = int32_t(x);
            laneY[n] = int32_t(span.y);
            if (++n == kLanes) flush();
        }
    }
    if (n) flush();
}

} // namespace platform::d3d10
