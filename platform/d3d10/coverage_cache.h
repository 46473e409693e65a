// Coverage records of recent draws, so that an unchanged draw replays its coverage and only shading
// runs again.
//
// A record is keyed on everything coverage depends on: the shaded vertices (compared exactly), the
// topology, rasterizer state, viewport and pixel rectangle, the depth-stencil state and reference,
// the depth-stencil surface's layout and content version, and the number of parts the rows are dealt
// into. The pixel program is not part of the key: it cannot discard pixels on this device, so
// coverage never depends on it.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "platform/d3d10/rasterizer.h"
#include "platform/d3d10/resources.h"
#include "platform/d3d10/shading_cache.h"
#include "platform/d3d10/vertex_stage.h"

namespace platform::d3d10 {

struct CoverageKey {
    uint64_t hash = 0;
    D3D10_PRIMITIVE_TOPOLOGY topology{};
    D3D10_RASTERIZER_DESC rasterizer{};
    Viewport viewport{};
    PixelRect bounds{};
    bool depthStencil = false;
    D3D10_DEPTH_STENCIL_DESC depthStencilDesc{};
    uint8_t reference = 0;
    size_t depthPitch = 0;
    uint64_t depthVersion = 0;
    unsigned parts = 0;
    std::vector<uint32_t> attributeSources;
    std::shared_ptr<const ShadedVertices> vertices; // shared with the vertex stage's cache

    // Fills hash from every other field.
    void finish();
    bool operator==(const CoverageKey& o) const;
};

struct CoverageRecord final : RecordedWrites {
    CoverageKey key;
    std::vector<PrimitivePlanes> primitives;
    std::vector<Plane> attributePlanes;
    std::vector<CoverageBand> bands; // one per part
    bool writesDepthStencil = false;
    size_t bytes() const;
    bool hasSpans() const;
    // The shading cache of a routine for the textures it samples, made (unbuilt) on first use; a record
    // keeps the two most recent.
    ShadingCache& shadingFor(const PixelRoutine& routine, const ShaderBindings& bindings,
                             unsigned parts) const;
    mutable std::vector<std::unique_ptr<ShadingCache>> shading; // most recent first
    // Writes the recorded depth-stencil values of every band.
    void replay(uint8_t* depthStencil) const override;
};

class CoverageCache {
public:
    explicit CoverageCache(size_t maxRecords = 24, size_t maxBytes = size_t(256) << 20)
        : maxRecords_(maxRecords), maxBytes_(maxBytes) {}

    // The record for key, made most recently used; nullptr when there is none.
    std::shared_ptr<const CoverageRecord> find(const CoverageKey& key);
    void insert(std::shared_ptr<const CoverageRecord> record);
    void clear();

    struct Stats {
        uint64_t hits = 0, misses = 0;
        size_t records = 0, bytes = 0;
    };
    Stats stats() const;

private:
    std::list<std::shared_ptr<const CoverageRecord>> records_; // most recent first
    size_t maxRecords_, maxBytes_, bytes_ = 0;
    uint64_t hits_ = 0, misses_ = 0;
};

} // namespace platform::d3d10
