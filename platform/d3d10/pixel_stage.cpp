#include "platform/d3d10/pixel_stage.h"

#include <algorithm>
#include <array>

namespace platform::d3d10 {

LaneFeeder::LaneFeeder(const ShadingPlanes& planes, const CoverageBand& band,
                       const std::vector<PixelInput>& inputs, float* const* lanes)
    : planes_(planes), band_(band), inputs_(inputs), lanes_(lanes), base_(inputs.size()),
      slope_(inputs.size()), constant_(inputs.size()) {
    for (size_t k = 0; k < inputs_.size(); ++k)
        if (inputs_[k].kind == PixelInput::Zero) std::fill_n(lanes_[k], kLanes, 0.0f);
}

void LaneFeeder::beginSpan() {
    const Span& span = band_.spans[span_];
    const PrimitivePlanes& pp = planes_.primitives[span.primitive];
    const Plane* ap = planes_.attributes + pp.attributes;
    py_ = float(span.y) + 0.5f;
    const float dy = py_ - pp.refY;
    wRow_ = pp.invW.v0 + pp.invW.b * dy, wa_ = pp.invW.a;
    zRow_ = pp.z.v0 + pp.z.b * dy, za_ = pp.z.a;
    refX_ = pp.refX;
    for (size_t k = 0; k < inputs_.size(); ++k) {
        if (inputs_[k].kind != PixelInput::Attribute) continue;
        const Plane& pl = ap[inputs_[k].attribute];
        base_[k] = pl.v0 + pl.b * dy;
        slope_[k] = pl.a;
        constant_[k] = pl.constant;
    }
    x_ = span.x0;
    inSpan_ = true;
}

// Lanes are filled a run of pixels at a time, one loop per input component, so that the interpolation
// vectorises across the run.
int LaneFeeder::next() {
    int n = 0;
    at_.runCount = 0;
    while (n < kLanes && span_ < band_.spans.size()) {
        if (!inSpan_) beginSpan();
        const Span& span = band_.spans[span_];
        const int len = int(std::min<uint32_t>(span.x1 - x_, uint32_t(kLanes - n)));
        const float dx0 = float(x_) + 0.5f - refX_;
        float* dx = laneDx_ + n;
        float* w = laneW_ + n;
        for (int j = 0; j < len; ++j) dx[j] = dx0 + float(j);
        at_.runs[at_.runCount++] = {n, len, int32_t(x_), int32_t(span.y)};
        for (int j = 0; j < len; ++j) w[j] = 1.0f / (wRow_ + wa_ * dx[j]);
        for (size_t k = 0; k < inputs_.size(); ++k) {
            float* d = lanes_[k] + n;
            switch (inputs_[k].kind) {
            case PixelInput::Attribute:
                if (constant_[k])
                    std::fill_n(d, len, base_[k]);
                else
                    for (int j = 0; j < len; ++j) d[j] = (base_[k] + slope_[k] * dx[j]) * w[j];
                break;
            case PixelInput::PositionX:
                for (int j = 0; j < len; ++j) d[j] = float(x_) + 0.5f + float(j);
                break;
            case PixelInput::PositionY:
                std::fill_n(d, len, py_);
                break;
            case PixelInput::PositionZ:
                for (int j = 0; j < len; ++j) d[j] = zRow_ + za_ * dx[j];
                break;
            case PixelInput::PositionW:
                for (int j = 0; j < len; ++j) d[j] = wRow_ + wa_ * dx[j];
                break;
            case PixelInput::Zero:
                break;
            }
        }
        n += len;
        x_ += uint32_t(len);
        if (x_ == span.x1) span_++, inSpan_ = false;
    }
    return n;
}

void ShadeBand(const ShadingPlanes& planes, const CoverageBand& band, const PixelSetup& setup) {
    if (band.spans.empty() || !setup.plan) return;
    ShaderVM vm(setup.plan);
    BindShaderResources(vm, setup.plan->program(), setup.bindings);
    std::vector<float*> lanes;
    for (const PixelInput& in : setup.inputs) lanes.push_back(vm.slot(in.slot));
    std::vector<std::array<float*, 4>> colours;
    for (const RenderTargetSetup& t : setup.targets)
        colours.push_back(
            {vm.slot(t.slots[0]), vm.slot(t.slots[1]), vm.slot(t.slots[2]), vm.slot(t.slots[3])});
    LaneFeeder feeder(planes, band, setup.inputs, lanes.data());
    while (int n = feeder.next()) {
        vm.run(n);
        for (size_t t = 0; t < setup.targets.size(); ++t)
            MergeLanes(setup.targets[t], colours[t].data(), feeder.positions(), n);
    }
}

} // namespace platform::d3d10
