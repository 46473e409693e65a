// The rasteriser: which pixels a draw covers, and which of them survive the depth and stencil tests.
//
// Pixel (x, y) is covered by a triangle when its centre (x + 0.5, y + 0.5) lies inside, with the
// top-left rule deciding centres that lie exactly on an edge: they belong to a triangle only for its
// top edges (horizontal, with the triangle below) and left edges. Edge functions are evaluated exactly
// in 64-bit integers on the snapped vertices. Lines light one pixel per column (or row, for steep
// lines) from the first end up to, but not including, the last.
//
// A draw's rows are dealt out to its parts in contiguous runs (RowSplit), so each thread rasterises
// its own rows and no two threads touch one pixel. A thread that has shaded its own rows may go on to
// shade chunks of another part's (ChunkDealer), where each pixel is written once. The result of a part
// is a coverage band: the spans of surviving pixels in primitive order (which keeps blending right), and
// the depth-stencil values the part wrote, in the order written, so that a cached band can be replayed
// exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d10/primitive_setup.h"
#include "platform/d3d10/uninitialised_allocator.h"

namespace platform::d3d10 {

// Rows begin to end - 1.
struct RowRange {
    int32_t begin, end;
    bool contains(int32_t y) const { return y >= begin && y < end; }
};

// The rows of a part when a draw's rows are dealt out evenly: the rows of its bounds split into
// contiguous runs, in order, part 0 also taking every row above the bounds and the last part every row
// below (which a fill of the whole target shares out with the draw).
RowRange PartRowRange(const PixelRect& bounds, unsigned part, unsigned parts);

// How a draw's rows are dealt out to its parts: contiguous runs in order, as PartRowRange does, but cut
// where each run holds about the same share of the covered pixels, as the primitives' areas tell. A
// thread works on neighbouring rows, which read neighbouring texels, so the texels it brings into its
// caches are seldom the other thread's too.
class RowSplit {
public:
    RowSplit() = default;
    RowSplit(const PrimitiveSet& primitives, const PixelRect& bounds, unsigned parts);
    RowRange rows(unsigned part) const {
        return {part == 0 ? INT32_MIN : first_[part],
                part + 1 >= first_.size() ? INT32_MAX : first_[part + 1]};
    }

private:
    std::vector<int32_t> first_; // of each part (part 0's unused)
};

struct Span {
    uint16_t y, x0, x1; // x1 exclusive
    uint32_t primitive;
};

struct DepthStencilRun {
    uint32_t offset; // texel index (y * pitch + x)
    uint32_t count;
};

struct CoverageBand {
    std::vector<Span> spans;
    std::vector<DepthStencilRun> runs;
    UninitialisedVector<uint32_t> values; // D24S8 texels, in run order
    // When OrderSpans has sorted the spans: the same pixels in the same order, touching spans of a row
    // joined into one (primitive unused). Empty otherwise.
    std::vector<Span> rows;
    // The spans a replay walks: the joined rows where there are any.
    const std::vector<Span>& replaySpans() const { return rows.empty() ? spans : rows; }
    size_t bytes() const {
        return (spans.capacity() + rows.capacity()) * sizeof(Span) +
               runs.capacity() * sizeof(DepthStencilRun) + values.capacity() * sizeof(uint32_t);
    }
};

// The bound depth-stencil surface and state, when depth or stencil testing is on.
struct DepthStencilSetup {
    uint32_t* texels = nullptr;
    size_t pitch = 0; // texels per row
    D3D10_DEPTH_STENCIL_DESC desc{};
    uint8_t reference = 0;
    float minDepth = 0.0f, maxDepth = 1.0f;
};

// ds may be null (no depth-stencil surface, or both tests off).
void RasterizeBand(const PrimitiveSet& primitives, const PixelRect& bounds, DepthStencilSetup* ds,
                   RowRange rows, CoverageBand& out);

// Where no two spans of the band share a pixel, the order they are shaded in changes nothing (each
// pixel is written once, blending with what the target held before the draw), so the spans are sorted
// by row and column and the rows' touching spans joined, for replays that walk long runs. Spans that
// overlap keep their primitive order.
void OrderSpans(CoverageBand& band);

// Writes a band's recorded depth-stencil values back into the surface.
void ReplayDepthStencil(const CoverageBand& band, uint32_t* texels);

} // namespace platform::d3d10
