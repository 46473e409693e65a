// The output merger's common case, eight lanes an instruction: opaque or unblended writes of every
// channel to an RGBA8 target. Clamping, scaling and rounding are those of the portable merge, so the
// bytes are the same; every other case goes to the portable merge.
#include <immintrin.h>

#include "platform/d3d10/output_merger.h"
#include "platform/d3d10/shader_vm.h"

namespace platform::d3d10::detail {

namespace {

#define UNFOLD_AVX2 __attribute__((target("avx2")))
#define UNFOLD_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// NaN and negatives to 0, at most 1, times 255, rounded half up: max and min return their second
// operand for NaN, and the truncating conversion of a non-negative value is the portable cast.
UNFOLD_AVX2_INLINE __m256i unorm8(__m256 v) {
    __m256 c = _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
    return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(c, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
}

UNFOLD_AVX2 void merge(const RenderTargetSetup& t, float* const colour[4], const LanePositions& at, int n) {
    if (t.format != DXGI_FORMAT_R8G8B8A8_UNORM || t.writeMask != 0xF || (t.blend && !t.opaqueWhenAlphaOne)) {
        MergeLanes(t, colour, at, n);
        return;
    }
    if (t.blend) {
        // Source-alpha blending leaves an opaque source as it is.
        bool opaque = true;
        for (int i = 0; i < n; i += 8) {
            int lanes = n - i < 8 ? (1 << (n - i)) - 1 : 0xFF;
            int ones = _mm256_movemask_ps(
                _mm256_cmp_ps(_mm256_loadu_ps(colour[3] + i), _mm256_set1_ps(1.0f), _CMP_GE_OQ));
            opaque &= (ones & lanes) == lanes;
        }
        if (!opaque) {
            MergeLanes(t, colour, at, n);
            return;
        }
    }
    alignas(32) uint32_t packed[kLanes];
    for (int i = 0; i < n; i += 8) {
        __m256i r = unorm8(_mm256_loadu_ps(colour[0] + i)), g = unorm8(_mm256_loadu_ps(colour[1] + i));
        __m256i b = unorm8(_mm256_loadu_ps(colour[2] + i)), a = unorm8(_mm256_loadu_ps(colour[3] + i));
        __m256i texel = _mm256_or_si256(_mm256_or_si256(r, _mm256_slli_epi32(g, 8)),
                                        _mm256_or_si256(_mm256_slli_epi32(b, 16), _mm256_slli_epi32(a, 24)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(packed + i), texel);
    }
    StoreTexels(t, packed, at);
}

} // namespace

LaneMerger Avx2LaneMerger() {
    return merge;
}

} // namespace platform::d3d10::detail
