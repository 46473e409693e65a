// The coverage cache's byte budget counts what its records hold now, shading caches included, which
// replays build after a record is cached: the total follows their growth, evicting a grown record
// takes back exactly what it holds, and growth past the limit evicts the least recently used records.
#include "platform/d3d10/coverage_cache.h"

#include "tests/platform/d3d10/device_fixture.h"

namespace platform::d3d10::testing {
namespace {

// A record of its own key, holding about `bytes` of coverage.
std::shared_ptr<CoverageRecord> Record(int id, size_t bytes) {
    auto r = std::make_shared<CoverageRecord>();
    r->key.bounds = {id, 0, id + 1, 1};
    r->key.finish();
    r->bands.resize(1);
    r->bands[0].spans.reserve(bytes / sizeof(Span));
    return r;
}

// Gives the record a shading cache, as a replay does, whose band keeps `bytes` of per-pixel values.
void GrowShading(const CoverageRecord& r, size_t bytes) {
    auto s = std::make_unique<ShadingCache>();
    s->bands.resize(1);
    s->bands[0].values.emplace_back().reserve(bytes / sizeof(float));
    r.shading.insert(r.shading.begin(), std::move(s));
}

constexpr size_t kMB = size_t(1) << 20;

TEST(CoverageCache, CountsShadingMadeAfterInsertion) {
    CoverageCache cache;
    auto a = Record(1, kMB), b = Record(2, kMB);
    cache.insert(a);
    cache.insert(b);
    const size_t before = cache.stats().bytes;
    EXPECT_EQ(before, a->bytes() + b->bytes());

    GrowShading(*a, 3 * kMB);
    EXPECT_EQ(cache.stats().bytes, a->bytes() + b->bytes());
    EXPECT_GE(cache.stats().bytes, before + 3 * kMB);

    a->shading.clear();
    EXPECT_EQ(cache.stats().bytes, before);
    cache.clear();
    EXPECT_EQ(cache.stats().bytes, 0u);
}

TEST(CoverageCache, EvictingAGrownRecordTakesBackWhatItHolds) {
    CoverageCache cache(2);
    auto a = Record(1, kMB), b = Record(2, kMB), c = Record(3, kMB);
    cache.insert(a);
    cache.insert(b);
    GrowShading(*a, 4 * kMB);
    GrowShading(*b, 2 * kMB);
    cache.insert(c); // a is the least recently used
    EXPECT_EQ(cache.find(a->key), nullptr);
    auto s = cache.stats();
    EXPECT_EQ(s.records, 2u);
    EXPECT_EQ(s.bytes, b->bytes() + c->bytes());
    EXPECT_GE(s.bytes, 4 * kMB); // b's coverage and shading, c's coverage
    EXPECT_LT(s.bytes, 5 * kMB);

    // Each record grows after its insertion and leaves when the next one comes.
    CoverageCache one(1);
    std::shared_ptr<CoverageRecord> last;
    for (int i = 0; i < 4; ++i) {
        last = Record(10 + i, kMB);
        one.insert(last);
        GrowShading(*last, size_t(i + 1) * kMB);
    }
    EXPECT_EQ(one.stats().bytes, last->bytes());
    EXPECT_GE(one.stats().bytes, 5 * kMB);
    EXPECT_LT(one.stats().bytes, 6 * kMB);
}

TEST(CoverageCache, ShadingGrowthPastTheByteLimitEvicts) {
    const size_t limit = 10 * kMB;
    {
        // Noticed when the next record comes in.
        CoverageCache cache(24, limit);
        auto a = Record(1, 3 * kMB), b = Record(2, 3 * kMB), c = Record(3, kMB);
        cache.insert(a);
        cache.insert(b);
        GrowShading(*a, 5 * kMB);
        cache.insert(c);
        EXPECT_EQ(cache.find(a->key), nullptr);
        EXPECT_EQ(cache.find(b->key), b);
        EXPECT_EQ(cache.find(c->key), c);
        EXPECT_EQ(cache.stats().bytes, b->bytes() + c->bytes());
        EXPECT_LE(cache.stats().bytes, limit);
    }
    {
        // Noticed when the grown record is found again: the older record goes, the found one stays.
        CoverageCache cache(24, limit);
        auto a = Record(1, 3 * kMB), b = Record(2, 3 * kMB);
        cache.insert(a);
        cache.insert(b);
        GrowShading(*b, 5 * kMB);
        EXPECT_EQ(cache.find(b->key), b);
        EXPECT_EQ(cache.find(a->key), nullptr);
        EXPECT_EQ(cache.stats().bytes, b->bytes());
        EXPECT_LE(cache.stats().bytes, limit);
    }
}

class CoverageCacheDeviceTest : public DeviceTest {};

// A draw shaded by the interpreter caches coverage without shading; its replay builds the shading
// cache beside the cached record, and the device's figures count it.
TEST_F(CoverageCacheDeviceTest, ReplayedShadingIsCounted) {
    SetDeviceInterpretsNewCoverage(device.get(), true);
    const std::vector<Vertex> quad = {V(-1, -1, 0.5f, 1, {1, 0, 0, 1}), V(-1, 1, 0.5f, 1, {0, 1, 0, 1}),
                                      V(1, -1, 0.5f, 1, {0, 0, 1, 1}), V(1, 1, 0.5f, 1, {1, 1, 1, 1})};
    ClearCoverageCache(device.get());
    clear();
    draw(quad, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto first = GetCoverageCacheStats(device.get());
    ASSERT_EQ(first.records, 1u);
    clear();
    draw(quad, D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    auto second = GetCoverageCacheStats(device.get());
    ASSERT_EQ(second.hits, first.hits + 1);
    // Red, green and blue vary over the quad, which covers the target: a float each per pixel is kept.
    EXPECT_GE(second.bytes, first.bytes + size_t(kWidth) * kHeight * 3 * sizeof(float));
    ClearCoverageCache(device.get());
    EXPECT_EQ(GetCoverageCacheStats(device.get()).bytes, 0u);
}

} // namespace
} // namespace platform::d3d10::testing
