#include "platform/d3d10/vm_kernels.h"

namespace platform::d3d10 {

StepKernel KernelFor(KernelId id, Isa isa) {
    return isa == Isa::Avx2 ? detail::Avx2Kernel(id) : nullptr;
}

StepKernel MulChainKernel(Isa isa, int links, unsigned subtracts) {
    return isa == Isa::Avx2 ? detail::Avx2MulChainKernel(links, subtracts)
                            : PortableMulChainKernel(links, subtracts);
}

} // namespace platform::d3d10
