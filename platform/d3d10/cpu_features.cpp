#include "platform/d3d10/cpu_features.h"

#include <cstdlib>
#include <cstring>

namespace platform::d3d10 {

bool IsaSupported(Isa isa) {
    switch (isa) {
    case Isa::Avx2:
#if defined(__x86_64__) || defined(__i386__)
        return __builtin_cpu_supports("avx2");
#else
        return false;
#endif
    default:
        return true;
    }
}

Isa DefaultIsa() {
    const char* env = std::getenv("UNFOLD_D3D10_ISA");
    if (env && std::strcmp(env, "portable") == 0) return Isa::Portable;
    return IsaSupported(Isa::Avx2) ? Isa::Avx2 : Isa::Portable;
}

} // namespace platform::d3d10
