// AVX2 kernels for the shader VM's common operations, eight lanes an instruction. Each matches its
// portable kernel bit for bit: IEEE add, multiply, divide and square root round alike in every width,
// a multiply-add stays a multiply then an add, and comparisons, min and max treat NaN as the portable
// code does. Operations without a kernel here keep the portable one.
#include <immintrin.h>

#include "platform/d3d10/vm_kernels.h"

namespace platform::d3d10::detail {

namespace {

#define UNFOLD_AVX2 __attribute__((target("avx2")))
#define UNFOLD_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

static_assert(kLanes % 8 == 0, "kernels work in whole registers");

UNFOLD_AVX2_INLINE float* lane(const VmContext& vm, PlanSlot slot) {
    return vm.arena + size_t(slot) * kLanes;
}

template <class F>
UNFOLD_AVX2 void unary(const VmContext& vm, const Step& s, int) {
    float* d = lane(vm, s.d);
    const float* a = lane(vm, s.a);
    for (int i = 0; i < kLanes; i += 8) _mm256_storeu_ps(d + i, F::op(_mm256_loadu_ps(a + i)));
}

template <class F>
UNFOLD_AVX2 void binary(const VmContext& vm, const Step& s, int) {
    float* d = lane(vm, s.d);
    const float* a = lane(vm, s.a);
    const float* b = lane(vm, s.b);
    for (int i = 0; i < kLanes; i += 8)
        _mm256_storeu_ps(d + i, F::op(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i)));
}

template <class F>
UNFOLD_AVX2 void ternary(const VmContext& vm, const Step& s, int) {
    float* d = lane(vm, s.d);
    const float* a = lane(vm, s.a);
    const float* b = lane(vm, s.b);
    const float* c = lane(vm, s.c);
    for (int i = 0; i < kLanes; i += 8)
        _mm256_storeu_ps(d + i,
                         F::op(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i), _mm256_loadu_ps(c + i)));
}

UNFOLD_AVX2_INLINE __m256 signBit() {
    return _mm256_castsi256_ps(_mm256_set1_epi32(int(0x80000000u)));
}

// acc + -(x * y) where kSubtract, else x * y + acc: the multiply-subtract and multiply-add steps.
template <bool kSubtract>
UNFOLD_AVX2_INLINE __m256 link(__m256 acc, __m256 x, __m256 y) {
    __m256 product = _mm256_mul_ps(x, y);
    return kSubtract ? _mm256_add_ps(acc, _mm256_xor_ps(product, signBit())) : _mm256_add_ps(product, acc);
}

template <int kLinks, bool kSubtract0, bool kSubtract1>
UNFOLD_AVX2 void mulChain(const VmContext& vm, const Step& s, int) {
    float* d = lane(vm, s.d);
    const float *a = lane(vm, s.a), *b = lane(vm, s.b), *x0 = lane(vm, s.c), *y0 = lane(vm, s.out[0]);
    const float *x1 = lane(vm, s.out[kLinks > 1 ? 1 : 0]), *y1 = lane(vm, s.out[kLinks > 1 ? 2 : 0]);
    for (int i = 0; i < kLanes; i += 8) {
        __m256 acc = _mm256_mul_ps(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i));
        acc = link<kSubtract0>(acc, _mm256_loadu_ps(x0 + i), _mm256_loadu_ps(y0 + i));
        if (kLinks > 1) acc = link<kSubtract1>(acc, _mm256_loadu_ps(x1 + i), _mm256_loadu_ps(y1 + i));
        _mm256_storeu_ps(d + i, acc);
    }
}

struct Mov {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return a; }
};
struct Neg {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_xor_ps(a, signBit()); }
};
struct Abs {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_andnot_ps(signBit(), a); }
};
struct NegAbs {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_or_ps(a, signBit()); }
};
// a > 0 ? min(a, 1) : 0, NaN to 0: max returns its second operand when either is NaN.
struct Sat {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) {
        __m256 positive = _mm256_max_ps(a, _mm256_setzero_ps());
        return _mm256_min_ps(positive, _mm256_set1_ps(1.0f));
    }
};
struct Rcp {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_div_ps(_mm256_set1_ps(1.0f), a); }
};
struct Sqrt {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_sqrt_ps(a); }
};
struct Rsq {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) {
        return _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_sqrt_ps(a));
    }
};
struct Floor {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_floor_ps(a); }
};
struct Ceil {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_ceil_ps(a); }
};
struct Frc {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_sub_ps(a, _mm256_floor_ps(a)); }
};
struct Itof {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a) { return _mm256_cvtepi32_ps(_mm256_castps_si256(a)); }
};

struct Add {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
};
struct Mul {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
};
struct Div {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_div_ps(a, b); }
};
// (a < b || b != b) ? a : b, and its mirror for max.
struct Min {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) {
        __m256 pickA = _mm256_or_ps(_mm256_cmp_ps(a, b, _CMP_LT_OQ), _mm256_cmp_ps(b, b, _CMP_UNORD_Q));
        return _mm256_blendv_ps(b, a, pickA);
    }
};
struct Max {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) {
        __m256 pickA = _mm256_or_ps(_mm256_cmp_ps(a, b, _CMP_GT_OQ), _mm256_cmp_ps(b, b, _CMP_UNORD_Q));
        return _mm256_blendv_ps(b, a, pickA);
    }
};
struct Lt {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
};
struct Ge {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_GE_OQ); }
};
struct Eq {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }
};
struct Ne {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_NEQ_UQ); }
};
struct And {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_and_ps(a, b); }
};
struct Or {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_or_ps(a, b); }
};
struct Xor {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) { return _mm256_xor_ps(a, b); }
};
struct Iadd {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) {
        return _mm256_castsi256_ps(_mm256_add_epi32(_mm256_castps_si256(a), _mm256_castps_si256(b)));
    }
};
UNFOLD_AVX2_INLINE __m256i bitsOf(__m256 a) {
    return _mm256_castps_si256(a);
}
struct Ieq {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) {
        return _mm256_castsi256_ps(_mm256_cmpeq_epi32(bitsOf(a), bitsOf(b)));
    }
};
struct Ine {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) {
        __m256i eq = _mm256_cmpeq_epi32(bitsOf(a), bitsOf(b));
        return _mm256_castsi256_ps(_mm256_xor_si256(eq, _mm256_set1_epi32(-1)));
    }
};
struct Ilt {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) {
        return _mm256_castsi256_ps(_mm256_cmpgt_epi32(bitsOf(b), bitsOf(a)));
    }
};
struct Ige {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) {
        __m256i lt = _mm256_cmpgt_epi32(bitsOf(b), bitsOf(a));
        return _mm256_castsi256_ps(_mm256_xor_si256(lt, _mm256_set1_epi32(-1)));
    }
};

struct AddNeg {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b) {
        return _mm256_add_ps(a, _mm256_xor_ps(b, signBit()));
    }
};
struct Mad {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b, __m256 c) {
        return _mm256_add_ps(_mm256_mul_ps(a, b), c);
    }
};
struct MulSub {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b, __m256 c) {
        return _mm256_add_ps(c, _mm256_xor_ps(_mm256_mul_ps(a, b), signBit()));
    }
};
struct Add3 {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b, __m256 c) {
        return _mm256_add_ps(_mm256_add_ps(a, b), c);
    }
};
// a's bits non-zero ? b : c.
struct Movc {
    UNFOLD_AVX2_INLINE static __m256 op(__m256 a, __m256 b, __m256 c) {
        __m256i zero = _mm256_cmpeq_epi32(_mm256_castps_si256(a), _mm256_setzero_si256());
        return _mm256_blendv_ps(b, c, _mm256_castsi256_ps(zero));
    }
};

} // namespace

StepKernel Avx2MulChainKernel(int links, unsigned subtracts) {
    static constexpr StepKernel kernels[2][4] = {{mulChain<1, false, false>, mulChain<1, true, false>,
                                                  mulChain<1, false, false>, mulChain<1, true, false>},
                                                 {mulChain<2, false, false>, mulChain<2, true, false>,
                                                  mulChain<2, false, true>, mulChain<2, true, true>}};
    return kernels[links > 1][subtracts & 3];
}

StepKernel Avx2Kernel(KernelId id) {
    switch (id) {
    case KernelId::Mov:
        return unary<Mov>;
    case KernelId::Neg:
        return unary<Neg>;
    case KernelId::Abs:
        return unary<Abs>;
    case KernelId::NegAbs:
        return unary<NegAbs>;
    case KernelId::Sat:
        return unary<Sat>;
    case KernelId::Rcp:
        return unary<Rcp>;
    case KernelId::Sqrt:
        return unary<Sqrt>;
    case KernelId::Rsq:
        return unary<Rsq>;
    case KernelId::Floor:
        return unary<Floor>;
    case KernelId::Ceil:
        return unary<Ceil>;
    case KernelId::Frc:
        return unary<Frc>;
    case KernelId::Itof:
        return unary<Itof>;
    case KernelId::Add:
        return binary<Add>;
    case KernelId::Mul:
        return binary<Mul>;
    case KernelId::Div:
        return binary<Div>;
    case KernelId::Min:
        return binary<Min>;
    case KernelId::Max:
        return binary<Max>;
    case KernelId::Lt:
        return binary<Lt>;
    case KernelId::Ge:
        return binary<Ge>;
    case KernelId::Eq:
        return binary<Eq>;
    case KernelId::Ne:
        return binary<Ne>;
    case KernelId::And:
        return binary<And>;
    case KernelId::Or:
        return binary<Or>;
    case KernelId::Xor:
        return binary<Xor>;
    case KernelId::Iadd:
        return binary<Iadd>;
    case KernelId::Ieq:
        return binary<Ieq>;
    case KernelId::Ine:
        return binary<Ine>;
    case KernelId::Ilt:
        return binary<Ilt>;
    case KernelId::Ige:
        return binary<Ige>;
    case KernelId::AddNeg:
        return binary<AddNeg>;
    case KernelId::Mad:
        return ternary<Mad>;
    case KernelId::Movc:
        return ternary<Movc>;
    case KernelId::MulSub:
        return ternary<MulSub>;
    case KernelId::Add3:
        return ternary<Add3>;
    default:
        return nullptr;
    }
}

} // namespace platform::d3d10::detail
