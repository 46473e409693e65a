// The instruction sets the device's specialised routines are built for, chosen when a device is created:
// the baseline x86-64 set everywhere, AVX2 (with FMA, which every processor with AVX2 also has) where the
// processor has it. Both give the same bytes.
#pragma once

namespace platform::d3d10 {

enum class Isa { Portable, Avx2 };

bool IsaSupported(Isa isa);
// AVX2 when the processor has it and FMA, unless UNFOLD_D3D10_ISA=portable asks for the baseline.
Isa DefaultIsa();
// Whether the processor has AVX-512 F, BW and VL, which the fetches of Isa::Avx2 use (texel_fetch.h).
bool Avx512Supported();
// Avx512Supported, unless UNFOLD_D3D10_ISA asks for avx2 (or portable) alone.
bool Avx512Enabled();

} // namespace platform::d3d10
