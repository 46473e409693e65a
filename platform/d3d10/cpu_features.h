// The instruction sets the device's specialised routines are built for, chosen when a device is created:
// the baseline x86-64 set everywhere, AVX2 where the processor has it. Both give the same bytes.
#pragma once

namespace platform::d3d10 {

enum class Isa { Portable, Avx2 };

bool IsaSupported(Isa isa);
// AVX2 when the processor has it, unless UNFOLD_D3D10_ISA=portable asks for the baseline (=avx2 keeps the
// footprint fetch from taking AVX-512, texel_fetch.h).
Isa DefaultIsa();

} // namespace platform::d3d10
