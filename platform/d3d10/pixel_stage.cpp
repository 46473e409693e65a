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
        bool constant; // the value itself, the same at every pixel
    };
    std::vector<Lane> attributes;
    float* posX = nullptr;
    float* posY = nullptr;
    float* posZ = nullptr;
    float* posW = nullptr;
    for (const PixelInput& in : setup.inputs) {
        float* dest = vm.slot(in.slot);
        switch (in.kind) {
        case PixelInput::Attribute:
            attributes.push_back({dest, 0, 0, false});
            break;
        case PixelInput::PositionX:
            posX = dest;
            break;
        case PixelInput::PositionY:
            posY = dest;
            break;
        case PixelInput::PositionZ:
            posZ = dest;
            break;
        case PixelInput::PositionW:
            posW = dest;
            break;
        case PixelInput::Zero:
            std::fill_n(dest, kLanes, 0.0f);
            break;
        }
    }
    std::vector<uint32_t> attributeIndex;
    for (const PixelInput& in : setup.inputs)
        if (in.kind == PixelInput::Attribute) attributeIndex.push_back(in.attribute);

    std::vector<std::array<float*, 4>> colours;
    for (const RenderTargetSetup& t : setup.targets)
        colours.push_back(
            {vm.slot(t.slots[0]), vm.slot(t.slots[1]), vm.slot(t.slots[2]), vm.slot(t.slots[3])});

    int32_t laneX[kLanes], laneY[kLanes];
    float laneDx[kLanes], laneW[kLanes];
    int n = 0;
    auto flush = [&] {
        vm.run(n);
        for (size_t t = 0; t < setup.targets.size(); ++t)
            MergeLanes(setup.targets[t], colours[t].data(), laneX, laneY, n);
        n = 0;
    };

    // Lanes are filled a run of pixels at a time, one loop per input component, so that the
    // interpolation vectorises across the run.
    for (const Span& span : band.spans) {
        const PrimitivePlanes& pp = planes.primitives[span.primitive];
        const Plane* ap = planes.attributes + pp.attributes;
        const float py = float(span.y) + 0.5f;
        const float dy = py - pp.refY;
        const float wRow = pp.invW.v0 + pp.invW.b * dy, wa = pp.invW.a;
        const float zRow = pp.z.v0 + pp.z.b * dy, za = pp.z.a;
        for (size_t k = 0; k < attributes.size(); ++k) {
            const Plane& pl = ap[attributeIndex[k]];
            attributes[k].base = pl.v0 + pl.b * dy;
            attributes[k].a = pl.a;
            attributes[k].constant = pl.constant;
        }
        for (uint32_t x = span.x0; x < span.x1;) {
            const int len = int(std::min<uint32_t>(span.x1 - x, uint32_t(kLanes - n)));
            const float dx0 = float(x) + 0.5f - pp.refX;
            float* dx = laneDx + n;
            float* w = laneW + n;
            for (int j = 0; j < len; ++j) {
                dx[j] = dx0 + float(j);
                laneX[n + j] = int32_t(x) + j;
                laneY[n + j] = int32_t(span.y);
            }
            for (int j = 0; j < len; ++j) w[j] = 1.0f / (wRow + wa * dx[j]);
            for (const Lane& l : attributes) {
                float* d = l.dest + n;
                if (l.constant)
                    std::fill_n(d, len, l.base);
                else
                    for (int j = 0; j < len; ++j) d[j] = (l.base + l.a * dx[j]) * w[j];
            }
            if (posX)
                for (int j = 0; j < len; ++j) posX[n + j] = float(x) + 0.5f + float(j);
            if (posY) std::fill_n(posY + n, len, py);
            if (posZ)
                for (int j = 0; j < len; ++j) posZ[n + j] = zRow + za * dx[j];
            if (posW)
                for (int j = 0; j < len; ++j) posW[n + j] = wRow + wa * dx[j];
            n += len;
            x += uint32_t(len);
            if (n == kLanes) flush();
        }
    }
    if (n) flush();
}

} // namespace platform::d3d10
