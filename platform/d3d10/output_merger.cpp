#include "platform/d3d10/output_merger.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d10/format.h"
#include "platform/d3d10/rasterizer.h"

namespace platform::d3d10 {

namespace {

inline float clamp01(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

float factor(D3D10_BLEND f, int c, const float* s, const float* d, const float* k) {
    switch (f) {
    case D3D10_BLEND_ZERO:
        return 0.0f;
    case D3D10_BLEND_ONE:
        return 1.0f;
    case D3D10_BLEND_SRC_COLOR:
        return s[c];
    case D3D10_BLEND_INV_SRC_COLOR:
        return 1.0f - s[c];
    case D3D10_BLEND_SRC_ALPHA:
        return s[3];
    case D3D10_BLEND_INV_SRC_ALPHA:
        return 1.0f - s[3];
    case D3D10_BLEND_DEST_ALPHA:
        return d[3];
    case D3D10_BLEND_INV_DEST_ALPHA:
        return 1.0f - d[3];
    case D3D10_BLEND_DEST_COLOR:
        return d[c];
    case D3D10_BLEND_INV_DEST_COLOR:
        return 1.0f - d[c];
    case D3D10_BLEND_SRC_ALPHA_SAT:
        return c == 3 ? 1.0f : std::min(s[3], 1.0f - d[3]);
    case D3D10_BLEND_BLEND_FACTOR:
        return k[c];
    case D3D10_BLEND_INV_BLEND_FACTOR:
        return 1.0f - k[c];
    default:
        return 0.0f; // dual-source factors: there is no second source on this device
    }
}

float combine(D3D10_BLEND_OP op, float s, float fs, float d, float fd) {
    switch (op) {
    case D3D10_BLEND_OP_SUBTRACT:
        return s * fs - d * fd;
    case D3D10_BLEND_OP_REV_SUBTRACT:
        return d * fd - s * fs;
    case D3D10_BLEND_OP_MIN:
        return std::min(s, d);
    case D3D10_BLEND_OP_MAX:
        return std::max(s, d);
    default:
        return s * fs + d * fd;
    }
}

bool isUnorm(DXGI_FORMAT f) {
    return f != DXGI_FORMAT_R32_FLOAT && f != DXGI_FORMAT_R32G32B32A32_FLOAT;
}

void blend(const RenderTargetSetup& t, const float* s, const float* d, float* r);
void mergeTexel(const RenderTargetSetup& t, bool unorm, float* const colour[4], int i, uint8_t* p);

} // namespace

void PrepareRenderTarget(RenderTargetSetup& t) {
    t.opaqueWhenAlphaOne = t.blend && t.srcBlend == D3D10_BLEND_SRC_ALPHA &&
                           t.destBlend == D3D10_BLEND_INV_SRC_ALPHA && t.blendOp == D3D10_BLEND_OP_ADD &&
                           t.srcBlendAlpha == D3D10_BLEND_ONE && t.destBlendAlpha == D3D10_BLEND_ZERO &&
                           t.blendOpAlpha == D3D10_BLEND_OP_ADD && isUnorm(t.format);
    if (isUnorm(t.format))
        for (float& k : t.blendFactor) k = clamp01(k);
}

namespace {
void blend(const RenderTargetSetup& t, const float* s, const float* d, float* r) {
    for (int c = 0; c < 3; ++c)
        r[c] = combine(t.blendOp, s[c], factor(t.srcBlend, c, s, d, t.blendFactor), d[c],
                       factor(t.destBlend, c, s, d, t.blendFactor));
    r[3] = combine(t.blendOpAlpha, s[3], factor(t.srcBlendAlpha, 3, s, d, t.blendFactor), d[3],
                   factor(t.destBlendAlpha, 3, s, d, t.blendFactor));
}
} // namespace

// FloatToUnorm8 in a form the lane loops vectorise: NaN and negatives to 0, clamp, round to nearest.
inline uint32_t unorm8(float v) {
    float c = v > 0.0f ? v : 0.0f;
    c = c < 1.0f ? c : 1.0f;
    return uint32_t(c * 255.0f + 0.5f);
}

bool directWrite(const RenderTargetSetup& t, float* const colour[4], int n) {
    if (t.format != DXGI_FORMAT_R8G8B8A8_UNORM || t.writeMask != 0xF) return false;
    if (!t.blend) return true;
    if (!t.opaqueWhenAlphaOne) return false;
    bool opaque = true;
    for (int i = 0; i < n; ++i) opaque &= colour[3][i] >= 1.0f;
    return opaque;
}

namespace {

void fillTexels(const ClearFill& f, uint8_t* row, uint32_t x0, uint32_t x1) {
    if (x1 <= x0) return;
    if (f.bytes == 4) {
        uint32_t v;
        std::memcpy(&v, f.texel, 4);
        std::fill(reinterpret_cast<uint32_t*>(row) + x0, reinterpret_cast<uint32_t*>(row) + x1, v);
    } else {
        for (uint32_t x = x0; x < x1; ++x) std::memcpy(row + size_t(x) * f.bytes, f.texel, f.bytes);
    }
}

// One draw's spans from a row on, in row order: its bands one after another.
class DrawnSpans {
public:
    DrawnSpans() = default;
    DrawnSpans(const std::vector<CoverageBand>& bands, int32_t from)
        : band_(bands.data()), last_(bands.data() + bands.size()) {
        for (; band_ != last_; ++band_) {
            const std::vector<Span>& s = band_->spans;
            if (s.empty() || s.back().y < from) continue;
            at_ = std::lower_bound(s.data(), s.data() + s.size(), from,
                                   [](const Span& a, int32_t y) { return a.y < y; });
            end_ = s.data() + s.size();
            return;
        }
    }
    const Span* get() const { return at_ != end_ ? at_ : nullptr; }
    void next() {
        if (++at_ != end_) return;
        while (++band_ != last_)
            if (!band_->spans.empty()) {
                at_ = band_->spans.data();
                end_ = at_ + band_->spans.size();
                return;
            }
    }

private:
    const CoverageBand *band_ = nullptr, *last_ = nullptr;
    const Span *at_ = nullptr, *end_ = nullptr;
};

} // namespace

void FillClear(const ClearFill& f, RowRange rows, const std::vector<CoverageBand>* const* drawn,
               size_t count) {
    const int32_t begin = std::max(rows.begin, 0), end = int32_t(std::min<int64_t>(rows.end, f.height));
    DrawnSpans spans[kMaxDrawsOverClear];
    count = std::min(count, kMaxDrawsOverClear);
    for (size_t k = 0; k < count; ++k) spans[k] = DrawnSpans(*drawn[k], begin);
    for (int32_t y = begin; y < end; ++y) {
        uint8_t* row = f.data + size_t(y) * f.pitch;
        uint32_t x = 0;
        for (size_t k = 0; k < count; ++k)
            for (const Span* s; (s = spans[k].get()) && s->y == y; spans[k].next()) {
                fillTexels(f, row, x, s->x0);
                x = s->x1;
            }
        fillTexels(f, row, x, f.width);
    }
}

void FillPendingClear(const RenderTargetSetup& t, RowRange rows) {
    if (t.fillClear) FillClear({t.data, t.pitch, t.width, t.height, t.bytes, t.clearTexel}, rows);
}

bool SpansInRowOrder(const CoverageBand& band) {
    for (size_t i = 1; i < band.spans.size(); ++i) {
        const Span &a = band.spans[i - 1], &b = band.spans[i];
        if (b.y < a.y || (b.y == a.y && b.x0 < a.x1)) return false;
    }
    return true;
}

void StoreTexels(const RenderTargetSetup& t, const uint32_t* texels, const LanePositions& at) {
    for (int r = 0; r < at.runCount; ++r) {
        const LanePositions::Run& run = at.runs[r];
        std::memcpy(t.data + size_t(run.y) * t.pitch + size_t(run.x) * 4, texels + run.lane,
                    size_t(run.length) * 4);
    }
}

LaneMerger LaneMergerFor(Isa isa) {
    if (isa != Isa::Avx2) return MergeLanes;
    return Avx512Enabled() ? detail::Avx512LaneMerger() : detail::Avx2LaneMerger();
}

void MergeLanes(const RenderTargetSetup& t, float* const colour[4], const LanePositions& at, int n) {
    if (t.writeMask == 0) return;
    // The engine's case, opaque or unblended RGBA8 with every channel written, goes straight to memory.
    if (directWrite(t, colour, n)) {
        uint32_t packed[64];
        for (int i = 0; i < n; ++i)
            packed[i] = unorm8(colour[0][i]) | (unorm8(colour[1][i]) << 8) | (unorm8(colour[2][i]) << 16) |
                        (unorm8(colour[3][i]) << 24);
        StoreTexels(t, packed, at);
        return;
    }
    const bool unorm = isUnorm(t.format);
    for (int r = 0; r < at.runCount; ++r) {
        const LanePositions::Run& run = at.runs[r];
        for (int j = 0; j < run.length; ++j) {
            const int i = run.lane + j;
            uint8_t* p = t.data + size_t(run.y) * t.pitch + size_t(run.x + j) * t.bytes;
            mergeTexel(t, unorm, colour, i, p);
        }
    }
}

namespace {
void mergeTexel(const RenderTargetSetup& t, bool unorm, float* const colour[4], int i, uint8_t* p) {
    {
        float s[4] = {colour[0][i], colour[1][i], colour[2][i], colour[3][i]};
        if (unorm)
            for (float& v : s) v = clamp01(v);
        float d[4], r[4];
        LoadColor(t.format, t.clearUnder ? t.clearTexel : p, d);
        if (t.blend)
            blend(t, s, d, r);
        else
            std::copy(s, s + 4, r);
        for (int c = 0; c < 4; ++c)
            if (!(t.writeMask & (1u << c))) r[c] = d[c];
        StoreColor(t.format, r, p);
    }
}
} // namespace

} // namespace platform::d3d10
