// Primitive assembly, clipping and set-up: turns shaded vertices into screen-space primitives.
//
// Clipping follows the Direct3D 10 view volume: 0 <= z <= w when depth clip is on, and w > 0 always.
// x and y are clipped only against a guard band far outside the viewport (|x|, |y| <= 16 w), so an
// ordinary primitive is never cut and keeps its exact vertices; the rasteriser's scissor keeps pixels
// inside the viewport. Screen positions are snapped to 1/256 pixel. Each primitive gets plane
// equations, relative to its first vertex, for depth, 1/w and every attribute divided by w, so that
// attributes interpolate perspective-correctly.
#pragma once

#include <cstdint>
#include <vector>

#include <d3d10.h>

#include "platform/d3d10/vertex_stage.h"

namespace platform::d3d10 {

// The pixel rectangle a draw may touch: viewport, targets and scissor intersected; right and bottom
// exclusive.
struct PixelRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
};

struct Viewport {
    float x, y, width, height, minDepth, maxDepth;
};

// value(px, py) = v0 + a * (px - refX) + b * (py - refY), with px, py at pixel centres. Attribute
// planes hold value / w, except for an attribute equal at every vertex, which is held as the value
// itself (`constant`) so that it reaches the pixels exactly.
struct Plane {
    float v0, a, b;
    bool constant = false;
};

struct PrimitivePlanes {
    float refX, refY;
    Plane z;             // depth after the viewport transform
    Plane invW;          // 1 / w
    uint32_t attributes; // index of the first attribute plane (attribute / w) in the attribute array
    bool front;
};

struct RasterTriangle {
    int64_t x[3], y[3];             // 1/256 pixel, clockwise on screen
    int32_t minX, minY, maxX, maxY; // pixel bounds, inclusive, within the draw's rectangle
    uint32_t primitive;
};

struct RasterLine {
    float x0, y0, x1, y1; // pixels
    uint32_t primitive;
};

struct PrimitiveSet {
    std::vector<uint32_t> attributeSources; // float offset within a shaded vertex of each attribute
    std::vector<PrimitivePlanes> primitives;
    std::vector<Plane> attributePlanes; // attributeSources.size() per primitive
    std::vector<RasterTriangle> triangles;
    std::vector<RasterLine> lines;
};

struct SetupState {
    D3D10_PRIMITIVE_TOPOLOGY topology;
    D3D10_RASTERIZER_DESC rasterizer;
    Viewport viewport;
    PixelRect bounds;
};

// Whether the device draws this topology.
bool SupportedTopology(D3D10_PRIMITIVE_TOPOLOGY topology);

void SetupPrimitives(const ShadedVertices& vertices, const std::vector<uint32_t>& attributeSources,
                     const SetupState& state, PrimitiveSet& out);

} // namespace platform::d3d10
