#include "platform/d3d10/primitive_setup.h"

#include <algorithm>
#include <cmath>

namespace platform::d3d10 {

namespace {

constexpr float kGuardBand = 16.0f;
constexpr float kMinW = 1e-7f;
constexpr int kMaxClipVertices = 16;

// Distance of a clip-space position from clip plane p (inside when >= 0).
inline float planeDistance(int p, const float* v) {
    float x = v[0], y = v[1], z = v[2], w = v[3];
    switch (p) {
    case 0:
        return z; // near
    case 1:
        return w - z; // far
    case 2:
        return w - kMinW; // in front of the eye
    case 3:
        return kGuardBand * w + x; // guard band
    case 4:
        return kGuardBand * w - x;
    case 5:
        return kGuardBand * w + y;
    default:
        return kGuardBand * w - y;
    }
}
constexpr int kPlaneCount = 7;

struct ClipVertex {
    const float* data; // the vertex's outputs (stride floats)
    uint64_t id;       // identifies the vertex so that shared edges are cut identically
};

class Setup {
public:
    Setup(const ShadedVertices& v, const std::vector<uint32_t>& sources, const SetupState& s,
          PrimitiveSet& out)
        : v_(v), sources_(sources), s_(s), out_(out) {
        firstPlane_ = s.rasterizer.DepthClipEnable ? 0 : 2;
        out_.attributeSources = sources;
        out_.primitives.clear();
        out_.attributePlanes.clear();
        out_.triangles.clear();
        out_.lines.clear();
        scratch_.resize(size_t(kMaxClipVertices) * 2 * v.stride);
        known_.assign(v.count, 0);
        outcodes_.resize(v.count);
        screen_.resize(v.count);
    }

    void triangle(uint32_t a, uint32_t b, uint32_t c) {
        const unsigned codes[3] = {outcodeOf(a), outcodeOf(b), outcodeOf(c)};
        if (codes[0] & codes[1] & codes[2]) return; // wholly outside one plane
        if (!(codes[0] | codes[1] | codes[2])) {
            const ScreenVertex sv[3] = {screenOf(a), screenOf(b), screenOf(c)};
            const float* vertices[3] = {v_.vertex(a), v_.vertex(b), v_.vertex(c)};
            return setupTriangle(sv, vertices);
        }
        ClipVertex in[3] = {{v_.vertex(a), a}, {v_.vertex(b), b}, {v_.vertex(c), c}};
        ClipVertex poly[kMaxClipVertices];
        int n = clipPolygon(in, poly);
        for (int i = 1; i + 1 < n; ++i) {
            const ScreenVertex sv[3] = {project(poly[0].data), project(poly[i].data),
                                        project(poly[i + 1].data)};
            const float* vertices[3] = {poly[0].data, poly[i].data, poly[i + 1].data};
            setupTriangle(sv, vertices);
        }
    }

    void line(uint32_t a, uint32_t b) {
        ClipVertex p{v_.vertex(a), a}, q{v_.vertex(b), b};
        for (int plane = firstPlane_; plane < kPlaneCount; ++plane) {
            float dp = planeDistance(plane, p.data + v_.positionOffset);
            float dq = planeDistance(plane, q.data + v_.positionOffset);
            if (dp < 0 && dq < 0) return;
            if (dp < 0)
                p = intersect(q, p, plane);
            else if (dq < 0)
                q = intersect(p, q, plane);
        }
        setupLine(p.data, q.data);
    }

private:
    unsigned outcode(const float* vertex) const {
        unsigned code = 0;
        for (int p = firstPlane_; p < kPlaneCount; ++p)
            if (planeDistance(p, vertex + v_.positionOffset) < 0) code |= 1u << p;
        return code;
    }

    // A vertex of the draw's own is shared by up to three triangles of a strip (six of a grid's list):
    // its outcode and its screen position are worked out the first time one asks.
    enum Known : uint8_t { kOutcode = 1, kScreen = 2 };

    unsigned outcodeOf(uint32_t i) {
        if (!(known_[i] & kOutcode)) {
            outcodes_[i] = uint8_t(outcode(v_.vertex(i)));
            known_[i] |= kOutcode;
        }
        return outcodes_[i];
    }

    // The point where edge (a, b) meets the plane, computed from the endpoint with the smaller id so
    // that two triangles sharing the edge produce the same bits.
    ClipVertex intersect(ClipVertex a, ClipVertex b, int plane) {
        if (b.id < a.id) std::swap(a, b);
        float da = planeDistance(plane, a.data + v_.positionOffset);
        float db = planeDistance(plane, b.data + v_.positionOffset);
        float t = da / (da - db);
        float* r = scratch_.data() + size_t(used_++ % (kMaxClipVertices * 2)) * v_.stride;
        for (uint32_t i = 0; i < v_.stride; ++i) r[i] = a.data[i] + (b.data[i] - a.data[i]) * t;
        uint64_t id = (a.id * 0x9E3779B97F4A7C15ull) ^
                      (b.id + 0x632BE59BD9B4E019ull + uint64_t(plane) * 0x94D049BB133111EBull);
        return {r, id | (uint64_t(1) << 63)};
    }

    int clipPolygon(const ClipVertex in[3], ClipVertex out[kMaxClipVertices]) {
        ClipVertex bufA[kMaxClipVertices], bufB[kMaxClipVertices];
        int n = 3;
        std::copy(in, in + 3, bufA);
        ClipVertex* cur = bufA;
        ClipVertex* next = bufB;
        used_ = 0;
        for (int plane = firstPlane_; plane < kPlaneCount && n > 0; ++plane) {
            int m = 0;
            for (int i = 0; i < n; ++i) {
                const ClipVertex& p = cur[i];
                const ClipVertex& q = cur[(i + 1) % n];
                bool pin = planeDistance(plane, p.data + v_.positionOffset) >= 0;
                bool qin = planeDistance(plane, q.data + v_.positionOffset) >= 0;
                if (pin && m < kMaxClipVertices) next[m++] = p;
                if (pin != qin && m < kMaxClipVertices) next[m++] = intersect(p, q, plane);
            }
            std::swap(cur, next);
            n = m;
        }
        std::copy(cur, cur + n, out);
        return n;
    }

    struct ScreenVertex {
        int64_t fx, fy; // snapped, 1/256 pixel
        float x, y, z, invW;
    };

    ScreenVertex project(const float* vertex) const {
        const float* p = vertex + v_.positionOffset;
        const Viewport& vp = s_.viewport;
        float invW = 1.0f / p[3];
        float sx = vp.x + (p[0] * invW + 1.0f) * vp.width * 0.5f;
        float sy = vp.y + (1.0f - p[1] * invW) * vp.height * 0.5f;
        float sz = vp.minDepth + p[2] * invW * (vp.maxDepth - vp.minDepth);
        ScreenVertex s;
        s.fx = std::llround(double(sx) * 256.0);
        s.fy = std::llround(double(sy) * 256.0);
        s.x = float(double(s.fx) / 256.0);
        s.y = float(double(s.fy) / 256.0);
        s.z = sz;
        s.invW = invW;
        return s;
    }

    const ScreenVertex& screenOf(uint32_t i) {
        if (!(known_[i] & kScreen)) {
            screen_[i] = project(v_.vertex(i));
            known_[i] |= kScreen;
        }
        return screen_[i];
    }

    uint32_t addPrimitive(const ScreenVertex* sv, const float* const* vertices, int count, bool front) {
        PrimitivePlanes prim;
        prim.refX = sv[0].x;
        prim.refY = sv[0].y;
        prim.front = front;
        prim.attributes = uint32_t(out_.attributePlanes.size());
        // Plane fit through the vertices in double precision.
        auto fit = [&](const double* f) {
            Plane pl{float(f[0]), 0.0f, 0.0f, false};
            if (count == 3) {
                double dx1 = double(sv[1].fx - sv[0].fx) / 256.0, dy1 = double(sv[1].fy - sv[0].fy) / 256.0;
                double dx2 = double(sv[2].fx - sv[0].fx) / 256.0, dy2 = double(sv[2].fy - sv[0].fy) / 256.0;
                double det = dx1 * dy2 - dx2 * dy1;
                double d1 = f[1] - f[0], d2 = f[2] - f[0];
                pl.a = float((d1 * dy2 - d2 * dy1) / det);
                pl.b = float((dx1 * d2 - dx2 * d1) / det);
            } else {
                double dx = double(sv[1].fx - sv[0].fx) / 256.0, dy = double(sv[1].fy - sv[0].fy) / 256.0;
                double len2 = dx * dx + dy * dy;
                double d = f[1] - f[0];
                pl.a = float(d * dx / len2);
                pl.b = float(d * dy / len2);
            }
            return pl;
        };
        double f[3];
        for (int i = 0; i < count; ++i) f[i] = sv[i].z;
        prim.z = fit(f);
        for (int i = 0; i < count; ++i) f[i] = sv[i].invW;
        prim.invW = fit(f);
        for (uint32_t source : sources_) {
            bool constant = true;
            for (int i = 1; i < count; ++i) constant &= vertices[i][source] == vertices[0][source];
            if (constant) {
                out_.attributePlanes.push_back({vertices[0][source], 0.0f, 0.0f, true});
                continue;
            }
            for (int i = 0; i < count; ++i) f[i] = double(vertices[i][source]) * sv[i].invW;
            out_.attributePlanes.push_back(fit(f));
        }
        out_.primitives.push_back(prim);
        return uint32_t(out_.primitives.size() - 1);
    }

    void setupTriangle(const ScreenVertex sv[3], const float* const vertices[3]) {
        int64_t area =
            (sv[1].fx - sv[0].fx) * (sv[2].fy - sv[0].fy) - (sv[2].fx - sv[0].fx) * (sv[1].fy - sv[0].fy);
        if (area == 0) return;
        bool clockwise = area > 0; // screen y grows downwards
        bool front = s_.rasterizer.FrontCounterClockwise ? !clockwise : clockwise;
        if ((s_.rasterizer.CullMode == D3D10_CULL_BACK && !front) ||
            (s_.rasterizer.CullMode == D3D10_CULL_FRONT && front))
            return;
        if (s_.rasterizer.FillMode == D3D10_FILL_WIREFRAME) {
            uint32_t prim = addPrimitive(sv, vertices, 3, front);
            for (int i = 0; i < 3; ++i) {
                const ScreenVertex &p = sv[i], &q = sv[(i + 1) % 3];
                out_.lines.push_back({p.x, p.y, q.x, q.y, prim});
            }
            return;
        }
        RasterTriangle t;
        int order[3] = {0, clockwise ? 1 : 2, clockwise ? 2 : 1};
        int64_t minFx = INT64_MAX, minFy = INT64_MAX, maxFx = INT64_MIN, maxFy = INT64_MIN;
        for (int i = 0; i < 3; ++i) {
            t.x[i] = sv[order[i]].fx;
            t.y[i] = sv[order[i]].fy;
            minFx = std::min(minFx, t.x[i]), maxFx = std::max(maxFx, t.x[i]);
            minFy = std::min(minFy, t.y[i]), maxFy = std::max(maxFy, t.y[i]);
        }
        // Pixels whose centre (i + 0.5) can lie within the bounds.
        auto firstPixel = [](int64_t f) { return int32_t((f - 128 + 255) >> 8); };
        auto lastPixel = [](int64_t f) { return int32_t((f - 128) >> 8); };
        t.minX = std::max(firstPixel(minFx), s_.bounds.left);
        t.maxX = std::min(lastPixel(maxFx), s_.bounds.right - 1);
        t.minY = std::max(firstPixel(minFy), s_.bounds.top);
        t.maxY = std::min(lastPixel(maxFy), s_.bounds.bottom - 1);
        if (t.minX > t.maxX || t.minY > t.maxY) return;
        t.primitive = addPrimitive(sv, vertices, 3, front);
        out_.triangles.push_back(t);
    }

    void setupLine(const float* a, const float* b) {
        ScreenVertex sv[2] = {project(a), project(b)};
        if (sv[0].fx == sv[1].fx && sv[0].fy == sv[1].fy) return;
        const float* vertices[2] = {a, b};
        uint32_t prim = addPrimitive(sv, vertices, 2, true);
        out_.lines.push_back({sv[0].x, sv[0].y, sv[1].x, sv[1].y, prim});
    }

    const ShadedVertices& v_;
    const std::vector<uint32_t>& sources_;
    const SetupState& s_;
    PrimitiveSet& out_;
    int firstPlane_;
    std::vector<float> scratch_;
    unsigned used_ = 0;
    std::vector<uint8_t> known_; // per vertex of the draw: Known bits
    std::vector<uint8_t> outcodes_;
    std::vector<ScreenVertex> screen_;
};

} // namespace

bool SupportedTopology(D3D10_PRIMITIVE_TOPOLOGY t) {
    return t == D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST || t == D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP ||
           t == D3D10_PRIMITIVE_TOPOLOGY_LINELIST || t == D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP;
}

void SetupPrimitives(const ShadedVertices& vertices, const std::vector<uint32_t>& sources,
                     const SetupState& state, PrimitiveSet& out) {
    Setup setup(vertices, sources, state, out);
    uint32_t n = vertices.count;
    switch (state.topology) {
    case D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST:
        for (uint32_t i = 0; i + 2 < n; i += 3) setup.triangle(i, i + 1, i + 2);
        break;
    case D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP:
        // Odd triangles swap their first two vertices so that the whole strip keeps one winding.
        for (uint32_t i = 0; i + 2 < n; ++i) {
            if (i % 2 == 0)
                setup.triangle(i, i + 1, i + 2);
            else
                setup.triangle(i + 1, i, i + 2);
        }
        break;
    case D3D10_PRIMITIVE_TOPOLOGY_LINELIST:
        for (uint32_t i = 0; i + 1 < n; i += 2) setup.line(i, i + 1);
        break;
    case D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP:
        for (uint32_t i = 0; i + 1 < n; ++i) setup.line(i, i + 1);
        break;
    default:
        break;
    }
}

} // namespace platform::d3d10
