#include "platform/d3d10/pixel_stage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace platform::d3d10 {

LaneFeeder::LaneFeeder(const ShadingPlanes& planes, const CoverageBand& band,
                       const std::vector<PixelInput>& inputs, float* const* lanes)
    : planes_(planes), band_(band), inputs_(inputs), lanes_(lanes), base_(inputs.size()),
      slope_(inputs.size()), constant_(inputs.size()), uniform_(inputs.size()) {
    std::vector<float> value(inputs_.size(), 0.0f);
    findUniformAttributes(value);
    for (size_t k = 0; k < inputs_.size(); ++k) {
        if (inputs_[k].kind == PixelInput::Zero) uniform_[k] = 1;
        if (uniform_[k])
            std::fill_n(lanes_[k], kLanes, value[k]);
        else
            fed_.push_back(uint32_t(k));
    }
}

// A row's value of a constant plane is v0 + 0 * dy: v0 itself where v0 is finite and not -0 and dy is
// finite (the product is then a zero, which such a v0 keeps). So an attribute whose plane is constant
// at one such v0 in every primitive up to the last the band covers, all with finite rows, is v0 at
// every pixel of the band.
void LaneFeeder::findUniformAttributes(std::vector<float>& value) {
    if (band_.spans.empty()) return;
    uint32_t primitives = 0;
    for (const Span& s : band_.spans) primitives = std::max(primitives, s.primitive + 1);
    std::vector<uint32_t> bits(inputs_.size());
    for (size_t k = 0; k < inputs_.size(); ++k) {
        if (inputs_[k].kind != PixelInput::Attribute) continue;
        const Plane& first = planes_.attributes[planes_.primitives[0].attributes + inputs_[k].attribute];
        std::memcpy(&bits[k], &first.v0, 4);
        uniform_[k] = std::isfinite(first.v0) && bits[k] != 0x80000000u;
    }
    for (uint32_t p = 0; p < primitives; ++p) {
        const PrimitivePlanes& pp = planes_.primitives[p];
        const bool finiteRows = std::isfinite(pp.refY);
        for (size_t k = 0; k < inputs_.size(); ++k) {
            if (!uniform_[k]) continue;
            const Plane& pl = planes_.attributes[pp.attributes + inputs_[k].attribute];
            uint32_t b;
            std::memcpy(&b, &pl.v0, 4);
            uniform_[k] = finiteRows && pl.constant && pl.b == 0.0f && b == bits[k];
        }
    }
    for (size_t k = 0; k < inputs_.size(); ++k)
        if (uniform_[k]) std::memcpy(&value[k], &bits[k], 4);
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
    onlyInterpolated_ = fed_.size() <= kShortRunInputs;
    for (uint32_t k : fed_) {
        if (inputs_[k].kind != PixelInput::Attribute) {
            onlyInterpolated_ = false;
            continue;
        }
        const Plane& pl = ap[inputs_[k].attribute];
        base_[k] = pl.v0 + pl.b * dy;
        slope_[k] = pl.a;
        constant_[k] = pl.constant;
        onlyInterpolated_ = onlyInterpolated_ && !pl.constant;
    }
    x_ = span.x0;
    inSpan_ = true;
}

// A short run whose inputs are all interpolated attributes, pixel by pixel: the fine meshes of the
// unfold modes cut rows into runs of a few pixels, where a loop per component costs more in its set-up
// than in its pixels. The arithmetic is that of the loops in next, so the bits are the same.
void LaneFeeder::interpolateShortRun(int n, int len, float dx0) {
    struct Fed {
        float* lane;
        float base, slope;
    };
    Fed fed[kShortRunInputs];
    const size_t count = fed_.size();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t k = fed_[i];
        fed[i] = {lanes_[k] + n, base_[k], slope_[k]};
    }
    const float wRow = wRow_, wa = wa_;
    if (count == 2) { // a texture coordinate, the common case: both kept in registers
        const Fed u = fed[0], v = fed[1];
        for (int j = 0; j < len; ++j) {
            const float dx = dx0 + float(j);
            const float w = 1.0f / (wRow + wa * dx);
            u.lane[j] = (u.base + u.slope * dx) * w;
            v.lane[j] = (v.base + v.slope * dx) * w;
        }
        return;
    }
    for (int j = 0; j < len; ++j) {
        const float dx = dx0 + float(j);
        const float w = 1.0f / (wRow + wa * dx);
        for (size_t i = 0; i < count; ++i) fed[i].lane[j] = (fed[i].base + fed[i].slope * dx) * w;
    }
}

// Any run, one loop per input component, so that the interpolation vectorises across a long run.
void LaneFeeder::interpolateRun(int n, int len, float dx0) {
    float* dx = laneDx_ + n;
    float* w = laneW_ + n;
    for (int j = 0; j < len; ++j) dx[j] = dx0 + float(j);
    for (int j = 0; j < len; ++j) w[j] = 1.0f / (wRow_ + wa_ * dx[j]);
    for (uint32_t k : fed_) {
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
}

// Lanes are filled a run of pixels at a time.
int LaneFeeder::next() {
    int n = 0;
    at_.runCount = 0;
    while (n < kLanes && span_ < band_.spans.size()) {
        if (!inSpan_) beginSpan();
        const Span& span = band_.spans[span_];
        const int len = int(std::min<uint32_t>(span.x1 - x_, uint32_t(kLanes - n)));
        const float dx0 = float(x_) + 0.5f - refX_;
        at_.runs[at_.runCount++] = {n, len, int32_t(x_), int32_t(span.y)};
        if (onlyInterpolated_ && len <= kShortRun)
            interpolateShortRun(n, len, dx0);
        else
            interpolateRun(n, len, dx0);
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
