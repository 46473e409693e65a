// The shader VM: runs a decoded program over a batch of kLanes vertices or pixels at once.
//
// Registers are structure-of-arrays: every component of every register is an array of kLanes floats
// (integer instructions read and write the same 32 bits). An ExecutionPlan flattens a program, once,
// into steps that each apply one kernel to one component across all lanes, with swizzles, modifiers
// and write masks already resolved into array slots; a ShaderVM is one thread's register arena for a
// plan. Constants and literals are broadcast into the arena when bound, so every kernel reads plain
// arrays.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/d3d10/sampler.h"
#include "platform/d3d10/shader_program.h"

namespace platform::d3d10 {

constexpr int kLanes = 64;

// The operation a step applies, one per kernel, so that a specialised routine can put another
// implementation of the same operation in its place.
enum class KernelId : uint8_t {
    Mov,
    Neg,
    Abs,
    NegAbs,
    Sat,
    Rcp,
    Rsq,
    Sqrt,
    Frc,
    Floor,
    Ceil,
    RoundNe,
    Exp2,
    Log2,
    Sin,
    Cos,
    Not,
    Itof,
    Utof,
    Ftoi,
    Ftou,
    Ineg, // unary
    // One direction of a bilinear footprint (`sampler`: 0 along x, 1 along y) of texture `resource` at
    // a coordinate, as an integer (texel_fetch.h); a specialised routine's sample joins two (unary, with
    // no baseline kernel: the routine supplies it).
    FootprintAxis,
    Add,
    Mul,
    Div,
    Min,
    Max,
    Lt,
    Ge,
    Eq,
    Ne,
    And,
    Or,
    Xor,
    Iadd,
    Imul,
    Ilt,
    Ige,
    Ieq,
    Ine,
    AddNeg, // a + -b: an add whose second operand was negated, fused (binary)
    Mad,
    Movc,
    MulSub, // c + -(a * b): a multiply and a negated add, fused
    Add3,   // (a + b) + c: two adds, fused (ternary)
    // A product taken through one or two multiply-adds or multiply-subtracts, fused: `resource` is the
    // number of links, bit j of `sampler` set where link j subtracts. acc = a * b, then per link j with
    // operands (x, y) = (c, out[0]), (out[1], out[2]): x * y + acc, or acc + -(x * y).
    MulChain,
    Sample,
    // Nine samples of one texture at the crossings of three footprint axes along x and three along y (a
    // 3 x 3 filter's taps), fetched together: `window` names their slots; a specialised routine's
    // band supplies the kernel.
    SampleWindow,
    Count
};

// Index of a lane array in a VM's arena. A plan may need more than 65,536 (a shader that reads many
// constant components), so slots are 32 bits wide: a narrower one would wrap and alias.
using PlanSlot = uint32_t;

// The slots of a SampleWindow step: the footprint axes it reads, left to right and top to bottom, and
// per tap (row by row) the slots of its channels, kNoSlot where nothing reads a channel.
struct SampleWindow {
    static constexpr PlanSlot kNoSlot = ~PlanSlot(0);
    static constexpr int kOutputs = 9 * 4;
    PlanSlot x[3], y[3];
    PlanSlot out[9][4];
    // Where a band keeps the axes per pixel (VmContext::windows), the index of its record; the step then
    // reads no slot.
    int kept = -1;

    // The slots the step reads: x, then y.
    int reads(PlanSlot slots[6]) const {
        if (kept >= 0) return 0;
        for (int i = 0; i < 3; ++i) slots[i] = x[i], slots[3 + i] = y[i];
        return 6;
    }
    // The slots the step writes: the channels that have one.
    int writes(PlanSlot slots[kOutputs]) const {
        int n = 0;
        for (const auto& tap : out)
            for (PlanSlot slot : tap)
                if (slot != kNoSlot) slots[n++] = slot;
        return n;
    }
};

struct Step;
struct WindowAxes;
struct VmContext {
    float* arena;
    const SampledTexture* textures;
    const SamplerSettings* samplers;
    // The axes a band keeps for its windows, and the band's pixel in lane 0.
    const WindowAxes* windows = nullptr;
    uint32_t pixel = 0;
};
using StepKernel = void (*)(const VmContext& vm, const Step& step, int activeLanes);

struct Step {
    StepKernel kernel;
    KernelId id;
    PlanSlot d; // destination lane-array slot
    PlanSlot a, b, c;
    PlanSlot out[4]; // Sample: the four result slots
    uint8_t resource, sampler;
    const SampleWindow* window = nullptr; // SampleWindow: its slots, which the steps' owner keeps
};

// The slots a step reads, in operand order (KernelId lists the unary operations, then the binary ones,
// then the ternary ones): a sample its two coordinates, a window its axes (none where they are kept),
// a product chain its links' operands too.
int SlotsRead(const Step& s, PlanSlot in[6]);

// The kernel of the baseline instruction set for an operation (none for MulChain: see MulChainKernel).
StepKernel PortableKernel(KernelId id);
// The baseline kernel of a MulChain step of 1 or 2 links (bit j of `subtracts`: link j subtracts).
StepKernel PortableMulChainKernel(int links, unsigned subtracts);

class ExecutionPlan {
public:
    explicit ExecutionPlan(const ShaderProgram& program);

    const ShaderProgram& program() const { return program_; }
    uint32_t slotCount() const { return slotCount_; }
    // Slot of component c of input or output register r.
    PlanSlot inputSlot(uint32_t r, unsigned c) const { return PlanSlot(inputBase_ + r * 4 + c); }
    PlanSlot outputSlot(uint32_t r, unsigned c) const { return PlanSlot(outputBase_ + r * 4 + c); }
    // Slots the program reads but never writes: inputs, constants and literals.
    bool readOnlySlot(PlanSlot slot) const {
        return (slot >= inputBase_ && slot < outputBase_) || (slot >= outputEnd() && slot < scratchBase_);
    }
    bool outputSlot(PlanSlot slot) const { return slot >= outputBase_ && slot < outputEnd(); }

    struct ConstantFill {
        PlanSlot slot;
        uint8_t buffer;
        uint8_t component;
        uint32_t element;
    };
    struct LiteralFill {
        PlanSlot slot;
        uint32_t bits;
    };
    const std::vector<Step>& steps() const { return steps_; }
    // Whether some step reads this slot (inputs the program never reads need not be filled).
    bool readsSlot(PlanSlot slot) const;
    const std::vector<ConstantFill>& constantFills() const { return constantFills_; }
    const std::vector<LiteralFill>& literalFills() const { return literalFills_; }

private:
    static constexpr uint32_t kSpareSlots = 48;
    uint32_t outputEnd() const { return outputBase_ + program_.outputRegisterCount * 4; }
    PlanSlot sourceSlot(const DecodedOperand& o, unsigned component);
    PlanSlot scratch();
    void addStep(KernelId k, PlanSlot d, PlanSlot a = 0, PlanSlot b = 0, PlanSlot c = 0);
    void planInstruction(const DecodedInstruction& ins);

    ShaderProgram program_;
    std::vector<Step> steps_;
    std::vector<ConstantFill> constantFills_;
    std::vector<LiteralFill> literalFills_;
    uint32_t inputBase_ = 0, outputBase_ = 0, slotCount_ = 0;
    uint32_t scratchBase_ = 0, scratchUsed_ = 0, scratchMax_ = 0;
    // Slot of each constant and literal component the program reads, by (buffer, element, component).
    std::unordered_map<uint64_t, PlanSlot> constantSlots_, literalSlots_;
};

// A constant buffer as the VM reads it: elements of 16 bytes.
struct ConstantData {
    const uint8_t* data = nullptr;
    size_t bytes = 0;
};

// The value a constant fill puts in its slot: the component from the bound buffer, 0 where the buffer
// is missing or too short.
float ConstantValue(const ExecutionPlan::ConstantFill& fill, const ConstantData* buffers);

class ShaderVM {
public:
    explicit ShaderVM(std::shared_ptr<const ExecutionPlan> plan);

    // Broadcasts the constants the program reads; elements beyond a buffer's end read as 0.
    void bindConstants(const ConstantData* buffers);
    void bindTexture(uint32_t slot, const SampledTexture& texture);
    void bindSampler(uint32_t slot, const SamplerSettings& sampler);

    float* slot(PlanSlot s) { return arena_.data() + size_t(s) * kLanes; }
    float* input(uint32_t r, unsigned c) { return slot(plan_->inputSlot(r, c)); }
    float* output(uint32_t r, unsigned c) { return slot(plan_->outputSlot(r, c)); }

    // Runs the program; lanes beyond activeLanes compute on whatever their inputs hold.
    void run(int activeLanes);
    // Runs other steps over this program's registers (a specialised form of the program).
    void run(const std::vector<Step>& steps, int activeLanes);
    // What a kernel sees of this VM.
    VmContext context() { return {arena_.data(), textures_.data(), samplers_.data()}; }

    const ExecutionPlan& plan() const { return *plan_; }

private:
    std::shared_ptr<const ExecutionPlan> plan_;
    std::vector<float> arena_;
    std::vector<SampledTexture> textures_;
    std::vector<SamplerSettings> samplers_;
};

} // namespace platform::d3d10
