// The output merger's common case sixteen lanes an instruction with AVX-512 (F and BW): opaque or
// unblended writes of every channel to an RGBA8 target, as the AVX2 merge does them, so the bytes are
// the same; every other case goes to the portable merge.
// GCC 12's AVX-512 intrinsics start some vectors undefined on purpose, which -Wmaybe-uninitialized
// reports inside its own headers (Clang has no such warning).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "platform/d3d10/cpu_features.h"
#include "platform/d3d10/output_merger.h"
#include "platform/d3d10/shader_vm.h"

namespace platform::d3d10::detail {

namespace {

#define UNFOLD_AVX512 __attribute__((target("avx512f,avx512bw")))
#define UNFOLD_AVX512_INLINE __attribute__((target("avx512f,avx512bw"), always_inline)) inline

// unorm8 sixteen lanes at a time (AVX-512's max and min also return their second operand for NaN).
UNFOLD_AVX512_INLINE __m512i unorm8x16(__m512 v) {
    __m512 c = _mm512_min_ps(_mm512_max_ps(v, _mm512_setzero_ps()), _mm512_set1_ps(1.0f));
    return _mm512_cvttps_epi32(_mm512_add_ps(_mm512_mul_ps(c, _mm512_set1_ps(255.0f)), _mm512_set1_ps(0.5f)));
}

// merge sixteen lanes at a time.
UNFOLD_AVX512 void merge16(const RenderTargetSetup& t, float* const colour[4], const LanePositions& at,
                           int n) {
    if (t.format != DXGI_FORMAT_R8G8B8A8_UNORM || t.writeMask != 0xF || (t.blend && !t.opaqueWhenAlphaOne)) {
        MergeLanes(t, colour, at, n);
        return;
    }
    if (t.blend) {
        // Source-alpha blending leaves an opaque source as it is.
        for (int i = 0; i < n; i += 16) {
            const __mmask16 lanes = n - i < 16 ? __mmask16((1u << (n - i)) - 1) : __mmask16(0xFFFF);
            const __mmask16 ones = _mm512_mask_cmp_ps_mask(lanes, _mm512_maskz_loadu_ps(lanes, colour[3] + i),
                                                           _mm512_set1_ps(1.0f), _CMP_GE_OQ);
            if (ones != lanes) {
                MergeLanes(t, colour, at, n);
                return;
            }
        }
    }
    alignas(64) uint32_t packed[kLanes];
    for (int i = 0; i < n; i += 16) {
        // Lanes past n are read from the slots, which hold kLanes lanes, and packed but not stored.
        __m512i r = unorm8x16(_mm512_loadu_ps(colour[0] + i)), g = unorm8x16(_mm512_loadu_ps(colour[1] + i));
        __m512i b = unorm8x16(_mm512_loadu_ps(colour[2] + i)), a = unorm8x16(_mm512_loadu_ps(colour[3] + i));
        __m512i texel = _mm512_or_si512(_mm512_or_si512(r, _mm512_slli_epi32(g, 8)),
                                        _mm512_or_si512(_mm512_slli_epi32(b, 16), _mm512_slli_epi32(a, 24)));
        _mm512_store_si512(packed + i, texel);
    }
    StoreTexels(t, packed, at);
}

} // namespace

LaneMerger Avx512LaneMerger() {
    return Avx512Supported() ? merge16 : nullptr;
}

} // namespace platform::d3d10::detail
