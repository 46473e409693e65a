// The shader VM's kernels per instruction set. Every kernel of every set gives the bytes of the portable
// one: the same IEEE operations in the same order, without fused multiply-adds.
#pragma once

#include "platform/d3d10/cpu_features.h"
#include "platform/d3d10/shader_vm.h"

namespace platform::d3d10 {

// The kernel for an operation in an instruction set; null where the set has none of its own (the
// portable kernel stands).
StepKernel KernelFor(KernelId id, Isa isa);

// The kernel of a MulChain step (see KernelId) in an instruction set.
StepKernel MulChainKernel(Isa isa, int links, unsigned subtracts);

namespace detail {
StepKernel Avx2Kernel(KernelId id);
StepKernel Avx2MulChainKernel(int links, unsigned subtracts);
} // namespace detail

} // namespace platform::d3d10
