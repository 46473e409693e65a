#include "platform/d3d10/cpu_features.h"

#include <cstdlib>
#include <cstring>

namespace platform::d3d10 {

bool IsaSupported(Isa isa) {
    switch (isa) {
    case Isa::Avx2:
#if defined(__x86_64__) || defined(__i386__)
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
        return false;
#endif
    default:
        return true;
    }
}

namespace {

bool isaAsked(const char* name) {
    const char* env = std::getenv("UNFOLD_D3D10_ISA");
    return env && std::strcmp(env, name) == 0;
}

} // namespace

Isa DefaultIsa() {
    if (isaAsked("portable")) return Isa::Portable;
    return IsaSupported(Isa::Avx2) ? Isa::Avx2 : Isa::Portable;
}

bool Avx512Supported() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl");
#else
    return false;
#endif
}

bool Avx512Enabled() {
    return Avx512Supported() && !isaAsked("avx2") && !isaAsked("portable");
}

} // namespace platform::d3d10
