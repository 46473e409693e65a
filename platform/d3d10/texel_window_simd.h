// The window fetch (texel_fetch.h, WindowFetch and KeptWindowFetch) eight lanes at a time in AVX2
// registers, for two instruction sets: each file that includes it, inside namespace
// platform::d3d10::detail and an unnamed namespace, first defines UNFOLD_SIMD and UNFOLD_SIMD_INLINE as the
// target attributes of its functions (AVX2 and FMA, or those with AVX-512 VL, whose 32 registers hold
// a window's values without spilling them), and afterwards defines windowTapJoin and windowTapFetch, the
// join and fetch of one footprint at a time for the lanes a window cannot take together. Every step is
// the fetch's exact integer arithmetic and float scaling, so every instruction set gives the same bits.
// (No include guard: each including file compiles its own copy for its own target, having included
// <immintrin.h>, <algorithm>, <cstring>, <type_traits> and texel_fetch.h.)

void windowTapJoin(const float* x, const float* y, size_t rowPitch, uint32_t* offsets, uint16_t* weights,
                   int n);
template <bool kSwapRedBlue>
void windowTapFetch(const uint8_t* texels, size_t pitch, const uint32_t* offsets, const uint16_t* weights,
                    float* const out[4], int n);

// Two texels' channels 0 and 2 (or, shifted, 1 and 3) weighted across x, in 16-bit fields.
UNFOLD_SIMD_INLINE __m256i blendX(__m256i a, __m256i b, __m256i bx2, __m256i ax2) {
    const __m256i evenBytes = _mm256_set1_epi32(0x00FF00FF);
    return _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(a, evenBytes), bx2),
                            _mm256_mullo_epi16(_mm256_and_si256(b, evenBytes), ax2));
}

// One channel weighted across y, then scaled to [0, 1] as the sampler does. The products and their sum
// are integers below 2^24, exact in float, so the fused multiply-add rounds nothing either.
UNFOLD_SIMD_INLINE __m256 blendRows(__m256 top, __m256 bottom, __m256 by, __m256 ay) {
    const __m256 sum = _mm256_fmadd_ps(top, by, _mm256_mul_ps(bottom, ay));
    return _mm256_div_ps(sum, _mm256_set1_ps(kWeightDenominator));
}

// Eight footprints' byte offsets from their x and y footprint axes: the top-left texel of each.
UNFOLD_SIMD_INLINE __m256i axesOffset(__m256i xa, __m256i ya, __m256i pitch) {
    return _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(ya, 8), pitch),
                            _mm256_slli_epi32(_mm256_srli_epi32(xa, 8), 2));
}

// Row r of eight 4 x 4 windows: column k of each window's row in c[k], in lane order (one 16-byte load
// a window, then a transpose of 32-bit texels within each 128-bit half).
// One window row's 16 bytes at `low` in the low half, at `high` in the high half.
UNFOLD_SIMD_INLINE __m256i twoRows(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

UNFOLD_SIMD_INLINE void windowRow(const uint8_t* at, const uint32_t* offsets, __m256i c[4]) {
    const __m256i v0 = twoRows(at + offsets[0], at + offsets[4]),
                  v1 = twoRows(at + offsets[1], at + offsets[5]);
    const __m256i v2 = twoRows(at + offsets[2], at + offsets[6]),
                  v3 = twoRows(at + offsets[3], at + offsets[7]);
    const __m256i t0 = _mm256_unpacklo_epi32(v0, v1), t1 = _mm256_unpackhi_epi32(v0, v1);
    const __m256i t2 = _mm256_unpacklo_epi32(v2, v3), t3 = _mm256_unpackhi_epi32(v2, v3);
    c[0] = _mm256_unpacklo_epi64(t0, t2);
    c[1] = _mm256_unpackhi_epi64(t0, t2);
    c[2] = _mm256_unpacklo_epi64(t1, t3);
    c[3] = _mm256_unpackhi_epi64(t1, t3);
}

// Whether the texel indices of three axes step by exactly one texel, in every lane.
UNFOLD_SIMD_INLINE bool consecutive(__m256i a0, __m256i a1, __m256i a2) {
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i i0 = _mm256_srli_epi32(a0, 8), i1 = _mm256_srli_epi32(a1, 8), i2 = _mm256_srli_epi32(a2, 8);
    const __m256i steps = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_sub_epi32(i1, i0), one),
                                           _mm256_cmpeq_epi32(_mm256_sub_epi32(i2, i1), one));
    return _mm256_movemask_epi8(steps) == -1;
}

// Eight lanes of a window whose axes are consecutive: each row's four texels are read once and blended
// across x with each column tap's weight, then pairs of rows across y with each row tap's weight, in
// the fetch's integer fields and float scaling.
template <bool kSwapRedBlue, bool kEven, bool kOdd, bool kAlpha>
UNFOLD_SIMD_INLINE void fetchWindow8(const uint8_t* texels, size_t pitch, const __m256i x[3],
                                     const __m256i y[3], const uint32_t* offsets, float* const out[9][4],
                                     int at) {
    const __m256i low16 = _mm256_set1_epi32(0xFFFF), byteMask = _mm256_set1_epi32(255);
    const __m256i full = _mm256_set1_epi16(256), full32 = _mm256_set1_epi32(256);
    __m256i ax2[3], bx2[3];
    for (int i = 0; i < 3; ++i) {
        const __m256i ax = _mm256_and_si256(x[i], byteMask);
        ax2[i] = _mm256_or_si256(ax, _mm256_slli_epi32(ax, 16));
        bx2[i] = _mm256_sub_epi16(full, ax2[i]);
    }
    // Each row's blends as floats, per tap and channel (0 to 3 in field order), for this row and the last:
    // a middle row is the bottom of one row of taps and the top of the next.
    __m256 rows[2][3][4];
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) {
        __m256i c[4];
        windowRow(texels + size_t(r) * pitch, offsets, c);
        __m256(*now)[4] = rows[r & 1];
        for (int i = 0; i < 3; ++i) {
            if (kEven) {
                const __m256i e = blendX(c[i], c[i + 1], bx2[i], ax2[i]);
                now[i][0] = _mm256_cvtepi32_ps(_mm256_and_si256(e, low16));
                now[i][2] = _mm256_cvtepi32_ps(_mm256_srli_epi32(e, 16));
            }
            if (kOdd) {
                const __m256i o =
                    blendX(_mm256_srli_epi32(c[i], 8), _mm256_srli_epi32(c[i + 1], 8), bx2[i], ax2[i]);
                now[i][1] = _mm256_cvtepi32_ps(_mm256_and_si256(o, low16));
                if (kAlpha) now[i][3] = _mm256_cvtepi32_ps(_mm256_srli_epi32(o, 16));
            }
        }
        if (r == 0) continue;
        const int j = r - 1;
        const __m256i ay = _mm256_and_si256(y[j], byteMask);
        const __m256 fy = _mm256_cvtepi32_ps(ay), fby = _mm256_cvtepi32_ps(_mm256_sub_epi32(full32, ay));
        const __m256(*top)[4] = rows[j & 1];
        for (int i = 0; i < 3; ++i) {
            float* const* tap = out[3 * j + i];
            for (int field = 0; field < 4; ++field) {
                if (field % 2 ? !kOdd : !kEven) continue;
                if (field == 3 && !kAlpha) continue;
                float* o = tap[kSwapRedBlue && field != 1 && field != 3 ? 2 - field : field];
                if (o) _mm256_storeu_ps(o + at, blendRows(top[i][field], now[i][field], fby, fy));
            }
        }
    }
}

template <bool kSwapRedBlue, bool kEven, bool kOdd, bool kAlpha>
UNFOLD_SIMD void fetchWindow(const uint8_t* texels, size_t pitch, const float* const x[3],
                             const float* const y[3], float* const out[9][4], int n) {
    // Lanes [at, at + m) a footprint at a time.
    auto separately = [&](int at, int m) {
        const float* const xs[3] = {x[0] + at, x[1] + at, x[2] + at};
        const float* const ys[3] = {y[0] + at, y[1] + at, y[2] + at};
        float* shifted[9][4];
        ShiftWindowOutputs(out, at, shifted);
        FetchWindowTaps(windowTapJoin, windowTapFetch<kSwapRedBlue>, texels, pitch, xs, ys, shifted, m);
    };
    // A batch at a time: each window's first texel, worked out once for the prefetch and the fetch,
    // then the window rows of the whole batch prefetched before any is fetched.
    constexpr int kBatch = 64;
    const __m256i rowPitch = _mm256_set1_epi32(int32_t(uint32_t(pitch)));
    alignas(32) uint32_t offsets[kBatch];
    for (int base = 0; base < n; base += kBatch) {
        const int m = std::min(kBatch, n - base);
        int k = 0;
        for (; k + 8 <= m; k += 8) {
            const __m256i xa = _mm256_castps_si256(_mm256_loadu_ps(x[0] + base + k)),
                          ya = _mm256_castps_si256(_mm256_loadu_ps(y[0] + base + k));
            _mm256_store_si256(reinterpret_cast<__m256i*>(offsets + k), axesOffset(xa, ya, rowPitch));
        }
        for (; k < m; ++k) {
            uint32_t xa, ya;
            std::memcpy(&xa, x[0] + base + k, 4);
            std::memcpy(&ya, y[0] + base + k, 4);
            offsets[k] = (ya >> 8) * uint32_t(pitch) + (xa >> 8) * 4;
        }
        for (k = 0; k < m; ++k)
            for (int r = 0; r < 4; ++r) __builtin_prefetch(texels + offsets[k] + r * pitch);
        int i = 0;
        for (; i + 8 <= m; i += 8) {
            __m256i xs[3], ys[3];
            for (int a = 0; a < 3; ++a) {
                xs[a] = _mm256_castps_si256(_mm256_loadu_ps(x[a] + base + i));
                ys[a] = _mm256_castps_si256(_mm256_loadu_ps(y[a] + base + i));
            }
            if (consecutive(xs[0], xs[1], xs[2]) && consecutive(ys[0], ys[1], ys[2]))
                fetchWindow8<kSwapRedBlue, kEven, kOdd, kAlpha>(texels, pitch, xs, ys, offsets + i, out,
                                                                base + i);
            else
                separately(base + i, 8);
        }
        if (i < m) separately(base + i, m - i);
    }
}

// A window from its kept axes (WindowAxes): eight lanes whose axes all step by one texel go to the
// window fetch straight from the packed weights (it reads the low byte of each axis), the others are
// unpacked and fetched a footprint at a time. The caller asks for the texel rows ahead.
template <bool kSwapRedBlue, bool kEven, bool kOdd, bool kAlpha>
UNFOLD_SIMD void fetchKeptWindow(const uint8_t* texels, size_t pitch, const uint32_t* corners,
                                 const uint64_t* taps, float* const out[9][4], int n) {
    auto separately = [&](int at, int m) {
        float* shifted[9][4];
        ShiftWindowOutputs(out, at, shifted);
        FetchKeptWindowTaps(windowTapJoin, windowTapFetch<kSwapRedBlue>, texels, pitch, corners + at,
                            taps + at, shifted, m);
    };
    const __m256i rowPitch = _mm256_set1_epi32(int32_t(uint32_t(pitch))), low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i stepsOfOne = _mm256_set1_epi32(0x1111);
    alignas(32) uint32_t offsets[8];
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(corners + i));
        // Each lane's 64 bits as two halves: bytes 0 to 3 (three x weights, the first y weight), then 4
        // to 7 (two y weights, the x steps, the y steps).
        const __m256 t0 = _mm256_loadu_ps(reinterpret_cast<const float*>(taps + i)),
                     t1 = _mm256_loadu_ps(reinterpret_cast<const float*>(taps + i + 4));
        const __m256i low = _mm256_permute4x64_epi64(
            _mm256_castps_si256(_mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(2, 0, 2, 0))), _MM_SHUFFLE(3, 1, 2, 0));
        const __m256i high = _mm256_permute4x64_epi64(
            _mm256_castps_si256(_mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 1, 3, 1))), _MM_SHUFFLE(3, 1, 2, 0));
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_srli_epi32(high, 16), stepsOfOne)) != -1) {
            separately(i, 8);
            continue;
        }
        _mm256_store_si256(reinterpret_cast<__m256i*>(offsets),
                           _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(c, 16), rowPitch),
                                            _mm256_slli_epi32(_mm256_and_si256(c, low16), 2)));
        const __m256i xs[3] = {low, _mm256_srli_epi32(low, 8), _mm256_srli_epi32(low, 16)};
        const __m256i ys[3] = {_mm256_srli_epi32(low, 24), high, _mm256_srli_epi32(high, 8)};
        fetchWindow8<kSwapRedBlue, kEven, kOdd, kAlpha>(texels, pitch, xs, ys, offsets, out, i);
    }
    if (i < n) separately(i, n - i);
}

// Calls fetch(even, odd, alpha), each a std::bool_constant, for the channels `out` wants: those in 16-bit
// fields 0 and 2 (even), 1 and 3 (odd), and field 3 (alpha). Nothing where it wants none.
template <class Fetch>
void forWantedChannels(float* const out[9][4], Fetch fetch) {
    bool even = false, odd = false, alpha = false;
    for (int t = 0; t < 9; ++t) {
        even = even || out[t][0] || out[t][2];
        odd = odd || out[t][1] || out[t][3];
        alpha = alpha || out[t][3];
    }
    using Yes = std::true_type;
    using No = std::false_type;
    if (even && alpha)
        fetch(Yes{}, Yes{}, Yes{});
    else if (even && odd)
        fetch(Yes{}, Yes{}, No{});
    else if (even)
        fetch(Yes{}, No{}, No{});
    else if (alpha)
        fetch(No{}, Yes{}, Yes{});
    else if (odd)
        fetch(No{}, Yes{}, No{});
}

// The window fetch for the channels wanted.
template <bool kSwapRedBlue>
void fetchWindowChannels(const uint8_t* texels, size_t pitch, const float* const x[3],
                         const float* const y[3], float* const out[9][4], int n) {
    forWantedChannels(out, [&](auto even, auto odd, auto alpha) {
        fetchWindow<kSwapRedBlue, decltype(even)::value, decltype(odd)::value, decltype(alpha)::value>(
            texels, pitch, x, y, out, n);
    });
}

template <bool kSwapRedBlue>
void fetchKeptWindowChannels(const uint8_t* texels, size_t pitch, const uint32_t* corners,
                             const uint64_t* taps, float* const out[9][4], int n) {
    forWantedChannels(out, [&](auto even, auto odd, auto alpha) {
        fetchKeptWindow<kSwapRedBlue, decltype(even)::value, decltype(odd)::value, decltype(alpha)::value>(
            texels, pitch, corners, taps, out, n);
    });
}
