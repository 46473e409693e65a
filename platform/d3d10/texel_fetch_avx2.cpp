// The footprint fetch eight samples at a time with AVX2, compiled for that instruction set function by
// function so that the rest of the library keeps the baseline. Every step is exact integer arithmetic
// (16-bit products of at most 255 x 256, and the vertical sums, below 2^24, exact in float), so the
// result is that of the portable fetch.
#include <immintrin.h>

#include "platform/d3d10/texel_fetch.h"

namespace platform::d3d10::detail {

#define UNFOLD_AVX2 __attribute__((target("avx2")))
#define UNFOLD_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace {

// Two texels' channels 0 and 2 (or, shifted, 1 and 3) weighted across x, in 16-bit fields.
UNFOLD_AVX2_INLINE __m256i blendX(__m256i a, __m256i b, __m256i bx2, __m256i ax2) {
    const __m256i evenBytes = _mm256_set1_epi32(0x00FF00FF);
    return _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(a, evenBytes), bx2),
                            _mm256_mullo_epi16(_mm256_and_si256(b, evenBytes), ax2));
}

// One channel weighted across y, then scaled to [0, 1] as the sampler does.
UNFOLD_AVX2_INLINE __m256 blendY(__m256i top, __m256i bottom, __m256 by, __m256 ay) {
    __m256 sum = _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(top), by),
                               _mm256_mul_ps(_mm256_cvtepi32_ps(bottom), ay));
    return _mm256_div_ps(sum, _mm256_set1_ps(kWeightDenominator));
}

template <bool kSwapRedBlue>
UNFOLD_AVX2 void fetchFootprints(const uint8_t* texels, size_t pitch, const uint32_t* offsets,
                                 const uint16_t* weights, float* const out[4], int n) {
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i byteMask = _mm256_set1_epi32(255), full = _mm256_set1_epi16(256);
    const __m256i full32 = _mm256_set1_epi32(256);
    const int* top = reinterpret_cast<const int*>(texels);
    const int* topRight = reinterpret_cast<const int*>(texels + 4);
    const int* bottom = reinterpret_cast<const int*>(texels + pitch);
    const int* bottomRight = reinterpret_cast<const int*>(texels + pitch + 4);
    float* o0 = out[kSwapRedBlue ? 2 : 0];
    float* o2 = out[kSwapRedBlue ? 0 : 2];
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets + i));
        __m256i w = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + i)));
        __m256i ax = _mm256_and_si256(w, byteMask), ay = _mm256_srli_epi32(w, 8);
        __m256i ax2 = _mm256_or_si256(ax, _mm256_slli_epi32(ax, 16)); // the weight in both 16-bit fields
        __m256i bx2 = _mm256_sub_epi16(full, ax2);
        __m256i p00 = _mm256_i32gather_epi32(top, at, 1), p10 = _mm256_i32gather_epi32(topRight, at, 1);
        __m256i p01 = _mm256_i32gather_epi32(bottom, at, 1), p11 = _mm256_i32gather_epi32(bottomRight, at, 1);
        __m256i topEven = blendX(p00, p10, bx2, ax2), botEven = blendX(p01, p11, bx2, ax2);
        __m256i topOdd = blendX(_mm256_srli_epi32(p00, 8), _mm256_srli_epi32(p10, 8), bx2, ax2);
        __m256i botOdd = blendX(_mm256_srli_epi32(p01, 8), _mm256_srli_epi32(p11, 8), bx2, ax2);
        __m256 fy = _mm256_cvtepi32_ps(ay), fby = _mm256_cvtepi32_ps(_mm256_sub_epi32(full32, ay));
        _mm256_storeu_ps(o0 + i,
                         blendY(_mm256_and_si256(topEven, low16), _mm256_and_si256(botEven, low16), fby, fy));
        _mm256_storeu_ps(o2 + i,
                         blendY(_mm256_srli_epi32(topEven, 16), _mm256_srli_epi32(botEven, 16), fby, fy));
        _mm256_storeu_ps(out[1] + i,
                         blendY(_mm256_and_si256(topOdd, low16), _mm256_and_si256(botOdd, low16), fby, fy));
        _mm256_storeu_ps(out[3] + i,
                         blendY(_mm256_srli_epi32(topOdd, 16), _mm256_srli_epi32(botOdd, 16), fby, fy));
    }
    if (i < n) {
        float* rest[4] = {out[0] + i, out[1] + i, out[2] + i, out[3] + i};
        FetchFootprintsPortable<kSwapRedBlue>(texels, pitch, offsets + i, weights + i, rest, n - i);
    }
}

} // namespace

FootprintFetch Avx2FootprintFetcher(bool swapRedBlue) {
    return swapRedBlue ? fetchFootprints<true> : fetchFootprints<false>;
}

} // namespace platform::d3d10::detail
