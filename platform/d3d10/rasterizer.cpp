#include "platform/d3d10/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d10/format.h"

namespace platform::d3d10 {

namespace {

inline int64_t floorDiv(int64_t a, int64_t b) { // b > 0
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

inline bool compare(D3D10_COMPARISON_FUNC f, uint32_t src, uint32_t dst) {
    switch (f) {
    case D3D10_COMPARISON_NEVER:
        return false;
    case D3D10_COMPARISON_LESS:
        return src < dst;
    case D3D10_COMPARISON_EQUAL:
        return src == dst;
    case D3D10_COMPARISON_LESS_EQUAL:
        return src <= dst;
    case D3D10_COMPARISON_GREATER:
        return src > dst;
    case D3D10_COMPARISON_NOT_EQUAL:
        return src != dst;
    case D3D10_COMPARISON_GREATER_EQUAL:
        return src >= dst;
    default:
        return true;
    }
}

inline uint32_t stencilOp(D3D10_STENCIL_OP op, uint32_t s, uint32_t ref) {
    switch (op) {
    case D3D10_STENCIL_OP_ZERO:
        return 0;
    case D3D10_STENCIL_OP_REPLACE:
        return ref;
    case D3D10_STENCIL_OP_INCR_SAT:
        return s < 255 ? s + 1 : 255;
    case D3D10_STENCIL_OP_DECR_SAT:
        return s > 0 ? s - 1 : 0;
    case D3D10_STENCIL_OP_INVERT:
        return ~s & 0xFF;
    case D3D10_STENCIL_OP_INCR:
        return (s + 1) & 0xFF;
    case D3D10_STENCIL_OP_DECR:
        return (s - 1) & 0xFF;
    default:
        return s;
    }
}

class BandRasterizer {
public:
    BandRasterizer(const PrimitiveSet& p, const PixelRect& bounds, DepthStencilSetup* ds, RowRange rows,
                   CoverageBand& out)
        : p_(p), bounds_(bounds), rows_(rows), ds_(ds), out_(out) {
        out_.spans.clear();
        out_.runs.clear();
        out_.values.clear();
        if (ds_) {
            faces_[0] = FaceTable(ds_->desc, ds_->desc.FrontFace, ds_->reference);
            faces_[1] = FaceTable(ds_->desc, ds_->desc.BackFace, ds_->reference);
        }
    }

    void run() {
        // Triangles and lines keep their submission order only within their kind; a draw has one kind.
        for (const RasterTriangle& t : p_.triangles) triangle(t);
        for (const RasterLine& l : p_.lines) line(l);
        out_.values.resize(valuesUsed_);
    }

private:
    // A face's stencil test and the stencil value each outcome leaves, per stored stencil value, worked
    // out once per draw (with the masks, reference and operations applied) so that the per-pixel test
    // is two table reads.
    struct FaceTable {
        enum Outcome { kStencilFail, kDepthFail, kPass };
        bool stencilPasses[256];
        uint8_t next[3][256];
        FaceTable() = default;
        FaceTable(const D3D10_DEPTH_STENCIL_DESC& d, const D3D10_DEPTH_STENCILOP_DESC& face, uint32_t ref) {
            const uint32_t read = d.StencilReadMask, write = d.StencilWriteMask;
            const D3D10_STENCIL_OP ops[3] = {face.StencilFailOp, face.StencilDepthFailOp, face.StencilPassOp};
            for (uint32_t s = 0; s < 256; ++s) {
                stencilPasses[s] = !d.StencilEnable || compare(face.StencilFunc, ref & read, s & read);
                for (int o = 0; o < 3; ++o)
                    next[o][s] =
                        uint8_t(d.StencilEnable ? (s & ~write) | (stencilOp(ops[o], s, ref) & write) : s);
            }
        }
    };

    // Pixels x0..x1-1 of row y are covered by the primitive; keep those that pass depth and stencil.
    void cover(int32_t y, int32_t x0, int32_t x1, uint32_t prim) {
        if (x0 >= x1) return;
        if (!ds_) return emit(y, x0, x1, prim);
        const D3D10_DEPTH_STENCIL_DESC& d = ds_->desc;
        // The depth test off passes as ALWAYS does, writing nothing.
        switch (d.DepthEnable ? d.DepthFunc : D3D10_COMPARISON_ALWAYS) {
        case D3D10_COMPARISON_NEVER:
            return coverWith<D3D10_COMPARISON_NEVER>(y, x0, x1, prim);
        case D3D10_COMPARISON_LESS:
            return coverWith<D3D10_COMPARISON_LESS>(y, x0, x1, prim);
        case D3D10_COMPARISON_EQUAL:
            return coverWith<D3D10_COMPARISON_EQUAL>(y, x0, x1, prim);
        case D3D10_COMPARISON_LESS_EQUAL:
            return coverWith<D3D10_COMPARISON_LESS_EQUAL>(y, x0, x1, prim);
        case D3D10_COMPARISON_GREATER:
            return coverWith<D3D10_COMPARISON_GREATER>(y, x0, x1, prim);
        case D3D10_COMPARISON_NOT_EQUAL:
            return coverWith<D3D10_COMPARISON_NOT_EQUAL>(y, x0, x1, prim);
        case D3D10_COMPARISON_GREATER_EQUAL:
            return coverWith<D3D10_COMPARISON_GREATER_EQUAL>(y, x0, x1, prim);
        default:
            return coverWith<D3D10_COMPARISON_ALWAYS>(y, x0, x1, prim);
        }
    }

    // cover for one depth function, fixed at compile time: this loop is the first frame's per-pixel work.
    template <D3D10_COMPARISON_FUNC kDepthFunc>
    void coverWith(int32_t y, int32_t x0, int32_t x1, uint32_t prim) {
        const PrimitivePlanes& pp = p_.primitives[prim];
        const D3D10_DEPTH_STENCIL_DESC& d = ds_->desc;
        const FaceTable& face = faces_[pp.front ? 0 : 1];
        const bool depthWrites = d.DepthEnable && d.DepthWriteMask == D3D10_DEPTH_WRITE_MASK_ALL;
        // A depth value is wanted where it decides the outcome or is written.
        const bool depthWanted =
            kDepthFunc != D3D10_COMPARISON_NEVER && (kDepthFunc != D3D10_COMPARISON_ALWAYS || depthWrites);
        uint32_t* row = ds_->texels + size_t(y) * ds_->pitch;
        const uint32_t rowOffset = uint32_t(size_t(y) * ds_->pitch);
        const float py = float(y) + 0.5f - pp.refY;
        const float zRow = pp.z.v0 + pp.z.b * py;
        const float minDepth = ds_->minDepth, maxDepth = ds_->maxDepth;
        // The texels this row changes are recorded in place, and their offsets as one open run, kept in
        // locals (stores to the surface could otherwise alias a run's count) and joined to the band's
        // runs when it ends: a run ending where the next one starts grows instead.
        // values holds slack beyond the valuesUsed_ recorded so far, cut off when the band is done.
        const size_t wanted = valuesUsed_ + size_t(x1 - x0);
        if (wanted > out_.values.size()) out_.values.resize(std::max(wanted, 2 * out_.values.size()));
        uint32_t* const first = out_.values.data() + valuesUsed_;
        uint32_t* values = first;
        uint32_t openBegin = 0, openEnd = 0;
        auto closeRun = [&] {
            if (openBegin == openEnd) return;
            if (!out_.runs.empty() && out_.runs.back().offset + out_.runs.back().count == openBegin)
                out_.runs.back().count += openEnd - openBegin;
            else
                out_.runs.push_back({openBegin, openEnd - openBegin});
        };
        int32_t runStart = -1;
        for (int32_t x = x0; x < x1; ++x) {
            const uint32_t old = row[x];
            const uint32_t stencil = StencilOf(old);
            int outcome = FaceTable::kStencilFail;
            uint32_t newDepth = DepthOf(old);
            if (face.stencilPasses[stencil]) {
                outcome = kDepthFunc == D3D10_COMPARISON_NEVER ? FaceTable::kDepthFail : FaceTable::kPass;
                if (depthWanted) {
                    float z = zRow + pp.z.a * (float(x) + 0.5f - pp.refX);
                    z = std::clamp(z, minDepth, maxDepth);
                    const uint32_t z24 = FloatToUnorm24(z);
                    if (!compare(kDepthFunc, z24, newDepth))
                        outcome = FaceTable::kDepthFail;
                    else if (depthWrites)
                        newDepth = z24;
                }
            }
            const uint32_t value = PackDepthStencil(newDepth, face.next[outcome][stencil]);
            if (value != old) {
                row[x] = value;
                *values++ = value;
                const uint32_t offset = rowOffset + uint32_t(x);
                if (offset != openEnd || openBegin == openEnd) {
                    closeRun();
                    openBegin = offset;
                }
                openEnd = offset + 1;
            }
            if (outcome == FaceTable::kPass) {
                if (runStart < 0) runStart = x;
            } else if (runStart >= 0) {
                emit(y, runStart, x, prim);
                runStart = -1;
            }
        }
        closeRun();
        valuesUsed_ += size_t(values - first);
        if (runStart >= 0) emit(y, runStart, x1, prim);
    }

    void emit(int32_t y, int32_t x0, int32_t x1, uint32_t prim) {
        out_.spans.push_back({uint16_t(y), uint16_t(x0), uint16_t(x1), prim});
    }

    void triangle(const RasterTriangle& t) {
        // Edge i runs from vertex i to vertex i+1. For a clockwise triangle (y down) the inside of every
        // edge is where E(P) = dx * (Py - ya) - dy * (Px - xa) > 0.
        struct Edge {
            int64_t dx, dy, xa, ya;
            int64_t bias; // 0 for top and left edges, -1 otherwise: centres on the edge are excluded
        } e[3];
        for (int i = 0; i < 3; ++i) {
            int j = (i + 1) % 3;
            e[i].dx = t.x[j] - t.x[i];
            e[i].dy = t.y[j] - t.y[i];
            e[i].xa = t.x[i];
            e[i].ya = t.y[i];
            bool top = e[i].dy == 0 && e[i].dx > 0;
            bool left = e[i].dy < 0;
            e[i].bias = (top || left) ? 0 : -1;
        }
        const int32_t firstRow = std::max(t.minY, rows_.begin), lastRow = std::min(t.maxY, rows_.end - 1);
        if (firstRow > lastRow) return;
        // E(x) = K - S * x with Px = 256x + 128; K = dx*(py-ya) + dy*xa - 128*dy + bias, S = 256*dy. A
        // sloped edge bounds the row at floor(K / 256|dy|) (hi, dy > 0) or at minus that (lo, dy < 0), and
        // K grows by 256 dx a row: the quotient and its remainder are stepped row by row, exactly, rather
        // than divided afresh. A flat edge keeps or empties every row.
        struct Bound {
            int64_t k;         // K of the current row (flat edges)
            int64_t q, r;      // floor(K / d) and K - q d, 0 <= r < d
            int64_t qStep, rStep, d;
        } b[3] = {};
        const int64_t py = int64_t(firstRow) * 256 + 128;
        for (int i = 0; i < 3; ++i) {
            const Edge& ed = e[i];
            b[i].k = ed.dx * (py - ed.ya) + ed.dy * ed.xa - 128 * ed.dy + ed.bias;
            if (ed.dy == 0) continue;
            b[i].d = 256 * (ed.dy < 0 ? -ed.dy : ed.dy);
            b[i].q = floorDiv(b[i].k, b[i].d);
            b[i].r = b[i].k - b[i].q * b[i].d;
            b[i].qStep = floorDiv(256 * ed.dx, b[i].d);
            b[i].rStep = 256 * ed.dx - b[i].qStep * b[i].d;
        }
        for (int32_t y = firstRow; y <= lastRow; ++y) {
            int64_t lo = t.minX, hi = t.maxX;
            for (int i = 0; i < 3; ++i) {
                const int64_t dy = e[i].dy;
                Bound& bi = b[i];
                if (dy == 0) {
                    if (bi.k < 0) lo = hi + 1;
                    bi.k += 256 * e[i].dx;
                    continue;
                }
                if (dy < 0)
                    lo = std::max(lo, -bi.q); // K + 256|dy| x >= 0
                else
                    hi = std::min(hi, bi.q); // K - 256 dy x >= 0
                bi.q += bi.qStep;
                bi.r += bi.rStep;
                if (bi.r >= bi.d) bi.q++, bi.r -= bi.d;
            }
            if (lo <= hi) {
                // The next row's span lies about under this one: its depth-stencil lines are asked for
                // now, so that they arrive while this row is tested (a first frame's buffer is not in
                // the caches, and each short span would otherwise start with a miss).
                if (ds_ && y < lastRow) {
                    const uint32_t* below = ds_->texels + size_t(y + 1) * ds_->pitch;
                    for (int64_t x = lo; x <= hi + 16; x += 16) __builtin_prefetch(below + x);
                }
                cover(y, int32_t(lo), int32_t(hi) + 1, t.primitive);
            }
        }
    }

    void line(const RasterLine& l) {
        float dx = l.x1 - l.x0, dy = l.y1 - l.y0;
        if (std::fabs(dx) >= std::fabs(dy)) {
            // One pixel per column whose centre lies in [x0, x1) (or (x1, x0]).
            float lo = std::min(l.x0, l.x1), hi = std::max(l.x0, l.x1);
            int32_t first = int32_t(std::ceil(lo - 0.5f)), last = int32_t(std::ceil(hi - 0.5f)) - 1;
            if (dx < 0) {
                first = int32_t(std::floor(lo - 0.5f)) + 1;
                last = int32_t(std::floor(hi - 0.5f));
            }
            for (int32_t x = std::max(first, bounds_.left); x <= std::min(last, bounds_.right - 1); ++x) {
                float yc = l.y0 + (float(x) + 0.5f - l.x0) * dy / dx;
                int32_t y = int32_t(std::floor(yc));
                if (y < bounds_.top || y >= bounds_.bottom || !rows_.contains(y)) continue;
                cover(y, x, x + 1, l.primitive);
            }
        } else {
            float lo = std::min(l.y0, l.y1), hi = std::max(l.y0, l.y1);
            int32_t first = int32_t(std::ceil(lo - 0.5f)), last = int32_t(std::ceil(hi - 0.5f)) - 1;
            if (dy < 0) {
                first = int32_t(std::floor(lo - 0.5f)) + 1;
                last = int32_t(std::floor(hi - 0.5f));
            }
            for (int32_t y = std::max(first, bounds_.top); y <= std::min(last, bounds_.bottom - 1); ++y) {
                if (!rows_.contains(y)) continue;
                float xc = l.x0 + (float(y) + 0.5f - l.y0) * dx / dy;
                int32_t x = int32_t(std::floor(xc));
                if (x < bounds_.left || x >= bounds_.right) continue;
                cover(y, x, x + 1, l.primitive);
            }
        }
    }

    const PrimitiveSet& p_;
    const PixelRect& bounds_;
    const RowRange rows_;
    DepthStencilSetup* ds_;
    FaceTable faces_[2]; // front, back
    size_t valuesUsed_ = 0;
    CoverageBand& out_;
};

} // namespace

RowRange PartRowRange(const PixelRect& bounds, unsigned part, unsigned parts) {
    const int64_t rows = std::max(0, bounds.bottom - bounds.top);
    auto boundary = [&](unsigned p) { return bounds.top + int32_t(rows * p / parts); };
    return {part == 0 ? INT32_MIN : boundary(part), part + 1 >= parts ? INT32_MAX : boundary(part + 1)};
}

RowSplit::RowSplit(const PrimitiveSet& primitives, const PixelRect& bounds, unsigned parts) {
    const int32_t top = bounds.top, rows = std::max(0, bounds.bottom - bounds.top);
    // Each primitive's pixels within the bounds, spread evenly over its rows there and summed row by row
    // through a difference array.
    std::vector<double> change(size_t(rows) + 1, 0.0);
    auto add = [&](int32_t first, int32_t last, double perRow) {
        first = std::max(first, top) - top;
        last = std::min(last, top + rows - 1) - top;
        if (first > last) return;
        change[size_t(first)] += perRow;
        change[size_t(last) + 1] -= perRow;
    };
    for (const RasterTriangle& t : primitives.triangles) {
        // Its area, less the share of its width and its height that the bounds cut off.
        const double twiceArea =
            std::fabs(double((t.x[1] - t.x[0]) * (t.y[2] - t.y[0]) - (t.x[2] - t.x[0]) * (t.y[1] - t.y[0])));
        const double width =
            double(std::max({t.x[0], t.x[1], t.x[2]}) - std::min({t.x[0], t.x[1], t.x[2]})) / 256.0;
        const double height =
            double(std::max({t.y[0], t.y[1], t.y[2]}) - std::min({t.y[0], t.y[1], t.y[2]})) / 256.0;
        const double inside = std::min(1.0, double(t.maxX - t.minX + 1) / std::max(width, 1.0));
        add(t.minY, t.maxY, twiceArea / (2.0 * 256.0 * 256.0) * inside / std::max(height, 1.0));
    }
    // A line lights about a pixel a row.
    for (const RasterLine& l : primitives.lines)
        add(int32_t(std::floor(std::min(l.y0, l.y1))), int32_t(std::floor(std::max(l.y0, l.y1))), 1.0);
    // The difference array summed into each row's share, and the whole.
    double total = 0.0;
    for (int32_t r = 0; r < rows; ++r) {
        if (r) change[size_t(r)] += change[size_t(r) - 1];
        total += change[size_t(r)];
    }
    first_.assign(parts, top);
    if (total <= 0.0) {
        for (unsigned p = 1; p < parts; ++p) first_[p] = PartRowRange(bounds, p, parts).begin;
        return;
    }
    // Part p starts at the first row before which p / parts of the whole lies.
    double before = 0.0;
    unsigned p = 1;
    for (int32_t r = 0; r < rows && p < parts; ++r) {
        while (p < parts && before >= total * double(p) / double(parts)) first_[p++] = top + r;
        before += change[size_t(r)];
    }
    for (; p < parts; ++p) first_[p] = top + rows;
}

void RasterizeBand(const PrimitiveSet& primitives, const PixelRect& bounds, DepthStencilSetup* ds,
                   RowRange rows, CoverageBand& out) {
    BandRasterizer(primitives, bounds, ds, rows, out).run();
}

void OrderSpans(CoverageBand& band) {
    band.rows.clear();
    if (band.spans.empty()) return;
    // Spans sorted by column, then by row, each a counting sort and stable, so that each row comes out in
    // column order: the first frame of a fine mesh has many short spans a row.
    uint16_t top = band.spans[0].y, bottom = top, left = band.spans[0].x0, right = left;
    for (const Span& s : band.spans) {
        top = std::min(top, s.y), bottom = std::max(bottom, s.y);
        left = std::min(left, s.x0), right = std::max(right, s.x0);
    }
    auto countingSort = [](const std::vector<Span>& from, std::vector<Span>& to, size_t keys, auto key) {
        std::vector<uint32_t> start(keys + 1, 0);
        for (const Span& s : from) start[key(s) + 1]++;
        for (size_t k = 1; k <= keys; ++k) start[k] += start[k - 1];
        for (const Span& s : from) to[start[key(s)]++] = s;
    };
    std::vector<Span> byColumn(band.spans.size()), sorted(band.spans.size());
    countingSort(band.spans, byColumn, size_t(right - left) + 1,
                 [left](const Span& s) { return size_t(s.x0 - left); });
    countingSort(byColumn, sorted, size_t(bottom - top) + 1,
                 [top](const Span& s) { return size_t(s.y - top); });
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i].y == sorted[i - 1].y && sorted[i].x0 < sorted[i - 1].x1) return; // shared pixels
    band.spans = std::move(sorted);
    for (const Span& s : band.spans) {
        if (!band.rows.empty() && band.rows.back().y == s.y && band.rows.back().x1 == s.x0)
            band.rows.back().x1 = s.x1;
        else
            band.rows.push_back({s.y, s.x0, s.x1, 0});
    }
    // Joining nothing leaves the spans themselves to walk.
    if (band.rows.size() == band.spans.size()) std::vector<Span>().swap(band.rows);
}

void ReplayDepthStencil(const CoverageBand& band, uint32_t* texels) {
    const uint32_t* v = band.values.data();
    for (const DepthStencilRun& r : band.runs) {
        std::memcpy(texels + r.offset, v, size_t(r.count) * 4);
        v += r.count;
    }
}

} // namespace platform::d3d10
