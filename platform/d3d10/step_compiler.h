// Steps compiled to machine code: each run of steps that have AVX2 kernels becomes one function that
// takes eight lanes (sixteen with AVX-512) at a time through all of its steps, keeping every value it
// computes in a register, and stores only the values read after it. The kernels instead load their
// operands from the register arena and store their result there, step by step over all lanes. Every
// operation rounds as the AVX2 kernel's does, with its operands in the same order, so every stored
// value keeps its bits. Steps without an AVX2 kernel (samples, footprint axes, transcendental and some
// integer operations) run their own kernel between the compiled runs.
#pragma once

#include <memory>
#include <vector>

#include "platform/d3d10/cpu_features.h"
#include "platform/d3d10/shader_vm.h"
#include "platform/d3d10/x86_emitter.h"

namespace platform::d3d10 {

class CompiledSteps {
public:
    // Compiles `steps` for `isa`, sixteen lanes a pass with AVX-512 where `avx512`; `liveOut` are the
    // slots read after the steps have run (a slot that a step reads before a later step writes it is
    // kept too, as the next run reads it). Null where the instruction set has no compiler, where
    // compiling is switched off (UNFOLD_D3D10_JIT=off), where no step can be compiled, or where the
    // compiler fails: the steps then run as they are.
    static std::unique_ptr<const CompiledSteps> Compile(const std::vector<Step>& steps,
                                                        const std::vector<PlanSlot>& liveOut, Isa isa,
                                                        bool avx512 = Avx512Enabled());
    CompiledSteps(const CompiledSteps&) = delete;
    CompiledSteps& operator=(const CompiledSteps&) = delete;

    // Runs the steps over a VM's registers, as ShaderVM::run(steps, activeLanes) does for the slots
    // in liveOut; the other slots the compiled steps write are left as they were.
    void run(const VmContext& vm, int activeLanes) const;
    size_t compiledSteps() const { return compiled_; }
    // The memory held: the pieces and their mapped code.
    size_t bytes() const;

private:
    using Code = void (*)(float* arena, const uint32_t* constants);
    struct Piece {
        x86::ExecutableCode code; // a compiled run of steps, or
        Step step{};              // a step run by its kernel
    };
    CompiledSteps() = default;

    std::vector<Piece> pieces_;
    size_t compiled_ = 0;
};

// Whether compiling steps is switched on: on x86-64, unless UNFOLD_D3D10_JIT=off.
bool StepCompilerEnabled();

} // namespace platform::d3d10
