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
    RowSplit split;                  // the rows of each part
    std::vector<CoverageBand> bands; // one per part
    bool writesDepthStencil = false;
    // Every band's spans in row order, apart from one another: a replay writes each covered pixel once.
    bool spansInRowOrder = false;
    // The bytes the record holds, its shading caches included. Those are made and built after the
    // record is cached, so the figure grows (or drops back) while the record is in the cache.
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

// Records are measured again where the cache touches them: a hit on find, every record on insert and
// on stats. A record's shading caches change only while a draw that found or inserted it runs, on the
// thread that calls the cache and on the device's workers, which are done before that thread calls the
// cache again; so measuring here never races with them.
class CoverageCache {
public:
    explicit CoverageCache(size_t maxRecords = 24, size_t maxBytes = size_t(256) << 20)
        : maxRecords_(maxRecords), maxBytes_(maxBytes) {}

    // The record for key, made most recently used; nullptr when there is none. Older records are
    // dropped if the hit's growth since it was last measured takes the cache over its byte limit.
    std::shared_ptr<const CoverageRecord> find(const CoverageKey& key);
    // Caches record, unless it alone passes the byte limit, dropping the least recently used records
    // until both limits hold.
    void insert(std::shared_ptr<const CoverageRecord> record);
    void clear();

    struct Stats {
        uint64_t hits = 0, misses = 0;
        size_t records = 0, bytes = 0;
    };
    // bytes is what the cached records hold now: each is measured again first.
    Stats stats();

private:
    struct Entry {
        std::shared_ptr<const CoverageRecord> record;
        size_t counted; // record->bytes() when last measured, the record's share of bytes_
    };
    // Measures the entry's record again and moves bytes_ by the difference.
    void remeasure(Entry& entry);
    // Drops entries from the least recently used end while either limit is passed, keeping the first.
    void evict();

    std::list<Entry> records_; // most recent first
    size_t maxRecords_, maxBytes_;
    size_t bytes_ = 0; // the sum of the entries' counted bytes
    uint64_t hits_ = 0, misses_ = 0;
};

} // namespace platform::d3d10
