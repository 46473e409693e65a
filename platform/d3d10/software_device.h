// What the software device offers beyond Direct3D 10, for tests and benchmarks.
#pragma once

#include <d3d10.h>

namespace platform::d3d10 {

// Live device objects (devices, swap chains, resources, views, states, shaders) in the process.
long LiveObjectCount();

// Splits the pixel work of the device's draws over this many threads (the caller included).
void SetDeviceThreads(ID3D10Device* device, unsigned threads);
unsigned GetDeviceThreads(ID3D10Device* device);
// Chunks of a draw's pixels shaded by a thread other than the one whose rows they lie in, since the
// device's threads were last set.
unsigned long long GetChunksShadedByOtherThreads(ID3D10Device* device);

// The instruction set of the device's pixel routines: the baseline (portable) or, where the processor
// has it, AVX2 (the default). Both give the same bytes. Returns whether AVX2 is in use afterwards.
bool SetDeviceAvx2(ID3D10Device* device, bool avx2);

// Newly rasterised coverage is shaded by the specialised routines (the default), which keep what they
// read for later frames, or by the interpreter, the reference they are tested against. Both give the
// same bytes.
void SetDeviceInterpretsNewCoverage(ID3D10Device* device, bool interpret);

struct CoverageCacheStats {
    unsigned long long hits, misses;
    size_t records, bytes;
    unsigned long long vertexHits, vertexMisses; // draws that reused / ran the vertex stage
};
CoverageCacheStats GetCoverageCacheStats(ID3D10Device* device);
// Forgets every cached coverage record and vertex-stage output (the next draws run every stage).
void ClearCoverageCache(ID3D10Device* device);

// Presents counted on a swap chain of this device since its creation.
unsigned GetPresentCount(IDXGISwapChain* swapChain);

} // namespace platform::d3d10
