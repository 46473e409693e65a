#include "platform/d3d10/coverage_cache.h"

#include <algorithm>
#include <cstring>

namespace platform::d3d10 {

namespace {

// 64-bit FNV-1a over raw bytes, folded word-wise for speed.
struct Hasher {
    uint64_t h = 0xcbf29ce484222325ull;
    void bytes(const void* data, size_t n) {
        const auto* p = static_cast<const unsigned char*>(data);
        size_t words = n / 8;
        for (size_t i = 0; i < words; ++i) {
            uint64_t w;
            std::memcpy(&w, p + i * 8, 8);
            h = (h ^ w) * 0x100000001b3ull;
            h ^= h >> 29;
        }
        for (size_t i = words * 8; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
    }
    template <class T>
    void value(const T& v) {
        bytes(&v, sizeof v);
    }
};

} // namespace

void CoverageKey::finish() {
    Hasher h;
    h.value(topology);
    h.value(rasterizer);
    h.value(viewport);
    h.value(bounds);
    h.value(depthStencil);
    if (depthStencil) {
        h.value(depthStencilDesc);
        h.value(reference);
        h.value(depthPitch);
        h.value(depthVersion);
    }
    h.value(parts);
    h.bytes(attributeSources.data(), attributeSources.size() * sizeof(uint32_t));
    if (vertices) {
        h.value(vertices->stride);
        h.value(vertices->positionOffset);
        h.value(vertices->hash);
    }
    hash = h.h;
}

bool CoverageKey::operator==(const CoverageKey& o) const {
    auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    if (hash != o.hash || topology != o.topology || !same(rasterizer, o.rasterizer) ||
        !same(viewport, o.viewport) || !same(bounds, o.bounds) || depthStencil != o.depthStencil ||
        parts != o.parts || attributeSources != o.attributeSources || !vertices != !o.vertices)
        return false;
    if (depthStencil && (!same(depthStencilDesc, o.depthStencilDesc) || reference != o.reference ||
                         depthPitch != o.depthPitch || depthVersion != o.depthVersion))
        return false;
    // The same shaded vertices, or bit for bit equal ones.
    return vertices == o.vertices || vertices->sameAs(*o.vertices);
}

size_t CoverageRecord::bytes() const {
    size_t n = sizeof *this + (key.vertices ? key.vertices->data.capacity() * sizeof(float) : 0) +
               primitives.capacity() * sizeof(PrimitivePlanes) + attributePlanes.capacity() * sizeof(Plane);
    for (const CoverageBand& b : bands) n += b.bytes();
    for (const auto& s : shading) n += s->bytes();
    return n;
}

bool CoverageRecord::hasSpans() const {
    for (const CoverageBand& b : bands)
        if (!b.spans.empty()) return true;
    return false;
}

ShadingCache& CoverageRecord::shadingFor(const PixelRoutine& routine, const ShaderBindings& bindings,
                                         unsigned parts) const {
    for (auto it = shading.begin(); it != shading.end(); ++it)
        if ((*it)->routine == routine.serial && (*it)->hasLayout(routine, bindings)) {
            std::rotate(shading.begin(), it, it + 1);
            return *shading.front();
        }
    std::vector<uint64_t> layout = ShadingCache::LayoutOf(routine, bindings);
    auto fresh = std::make_unique<ShadingCache>();
    fresh->routine = routine.serial;
    fresh->textureLayout = std::move(layout);
    fresh->bands.resize(parts);
    shading.insert(shading.begin(), std::move(fresh));
    if (shading.size() > 2) shading.pop_back();
    return *shading.front();
}

void CoverageRecord::replay(uint8_t* depthStencil) const {
    for (const CoverageBand& b : bands) ReplayDepthStencil(b, reinterpret_cast<uint32_t*>(depthStencil));
}

std::shared_ptr<const CoverageRecord> CoverageCache::find(const CoverageKey& key) {
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (it->record->key == key) {
            records_.splice(records_.begin(), records_, it);
            hits_++;
            remeasure(records_.front());
            evict();
            return records_.front().record;
        }
    }
    misses_++;
    return nullptr;
}

void CoverageCache::insert(std::shared_ptr<const CoverageRecord> record) {
    size_t size = record->bytes();
    if (size > maxBytes_ || maxRecords_ == 0) return;
    for (Entry& e : records_) remeasure(e);
    records_.push_front({std::move(record), size});
    bytes_ += size;
    evict();
}

void CoverageCache::clear() {
    records_.clear();
    bytes_ = 0;
}

CoverageCache::Stats CoverageCache::stats() {
    for (Entry& e : records_) remeasure(e);
    return {hits_, misses_, records_.size(), bytes_};
}

void CoverageCache::remeasure(Entry& entry) {
    size_t now = entry.record->bytes();
    bytes_ = bytes_ - entry.counted + now;
    entry.counted = now;
}

void CoverageCache::evict() {
    while (records_.size() > 1 && (records_.size() > maxRecords_ || bytes_ > maxBytes_)) {
        bytes_ -= records_.back().counted;
        records_.pop_back();
    }
}

} // namespace platform::d3d10
