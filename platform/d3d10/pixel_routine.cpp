#include "platform/d3d10/pixel_routine.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/d3d10/vm_kernels.h"

namespace platform::d3d10 {

namespace {

bool sameTarget(const RenderTargetSetup& a, const RenderTargetSetup& b) {
    return a.format == b.format && std::equal(a.slots, a.slots + 4, b.slots) && a.blend == b.blend &&
           a.srcBlend == b.srcBlend && a.destBlend == b.destBlend && a.blendOp == b.blendOp &&
           a.srcBlendAlpha == b.srcBlendAlpha && a.destBlendAlpha == b.destBlendAlpha &&
           a.blendOpAlpha == b.blendOpAlpha && a.writeMask == b.writeMask &&
           std::memcmp(a.blendFactor, b.blendFactor, sizeof a.blendFactor) == 0;
}

bool sameSampler(const SamplerSettings& a, const SamplerSettings& b) {
    return a.linear == b.linear && a.addressU == b.addressU && a.addressV == b.addressV &&
           std::memcmp(a.border, b.border, sizeof a.border) == 0;
}

uint64_t mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h;
}

// The most slots one step writes: a window's nine taps of four channels.
constexpr int kMostWritten = SampleWindow::kOutputs;

// The slots a step writes (a sample its four channels, a window the channels something reads).
int written(const Step& s, PlanSlot out[kMostWritten]) {
    if (s.id == KernelId::SampleWindow) return s.window->writes(out);
    if (s.id != KernelId::Sample) {
        out[0] = s.d;
        return 1;
    }
    std::copy(s.out, s.out + 4, out);
    return 4;
}

int sources(const Step& s, PlanSlot* in[3], Step& step) {
    in[0] = &step.a, in[1] = &step.b, in[2] = &step.c;
    if (s.id == KernelId::Sample) return 2;
    switch (s.id) {
    case KernelId::Mad:
    case KernelId::Movc:
    case KernelId::MulSub:
    case KernelId::Add3:
        return 3;
    default:
        return s.id < KernelId::Add ? 1 : 2;
    }
}

// Drops steps whose results nothing reads, then moves that only copy a value into a slot that lives
// within the batch, reading the source in their place. A slot the program reads before writing it
// keeps its value from one batch to the next, so its last value is kept like an output's.
void optimise(std::vector<Step>& steps, const ExecutionPlan& plan, const std::vector<PlanSlot>& prewritten,
              std::vector<PlanSlot>& carriedSlots) {
    std::vector<uint8_t> writtenYet(plan.slotCount()), carried(plan.slotCount()), live(plan.slotCount());
    for (PlanSlot s : prewritten) writtenYet[s] = 1;
    for (Step& step : steps) {
        PlanSlot* in[3];
        int n = sources(step, in, step);
        for (int i = 0; i < n; ++i)
            if (!plan.readOnlySlot(*in[i]) && !writtenYet[*in[i]]) carried[*in[i]] = 1;
        PlanSlot out[kMostWritten];
        for (int i = 0, k = written(step, out); i < k; ++i) writtenYet[out[i]] = 1;
    }

    for (uint32_t slot = 0; slot < plan.slotCount(); ++slot) {
        live[slot] = plan.outputSlot(PlanSlot(slot)) || carried[slot];
        if (carried[slot]) carriedSlots.push_back(PlanSlot(slot));
    }
    std::vector<Step> kept;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        Step step = *it;
        PlanSlot out[kMostWritten];
        int k = written(step, out);
        bool needed = false;
        for (int i = 0; i < k; ++i) needed |= live[out[i]] != 0;
        if (!needed) continue;
        for (int i = 0; i < k; ++i) live[out[i]] = 0;
        PlanSlot* in[3];
        for (int i = 0, n = sources(step, in, step); i < n; ++i) live[*in[i]] = 1;
        kept.push_back(step);
    }
    std::reverse(kept.begin(), kept.end());

    std::vector<PlanSlot> alias(plan.slotCount());
    for (uint32_t slot = 0; slot < alias.size(); ++slot) alias[slot] = PlanSlot(slot);
    steps.clear();
    for (Step step : kept) {
        PlanSlot* in[3];
        for (int i = 0, n = sources(step, in, step); i < n; ++i) *in[i] = alias[*in[i]];
        PlanSlot out[kMostWritten];
        int k = written(step, out);
        for (int i = 0; i < k; ++i) {
            // Slots standing for the one about to change get their copy now.
            for (uint32_t slot = 0; slot < alias.size(); ++slot) {
                if (alias[slot] != out[i] || slot == out[i]) continue;
                Step copy{};
                copy.id = KernelId::Mov;
                copy.kernel = PortableKernel(KernelId::Mov);
                copy.d = PlanSlot(slot), copy.a = out[i];
                steps.push_back(copy);
                alias[slot] = PlanSlot(slot);
            }
            alias[out[i]] = out[i];
        }
        if (step.id == KernelId::Mov && !plan.outputSlot(step.d) && !carried[step.d]) {
            alias[step.d] = step.a;
            continue;
        }
        steps.push_back(step);
    }
}

// A sample at computed coordinates from an 8-bit RGBA texture, bilinear and clamped: its footprints
// worked out and fetched by the instruction set's own code (the sampler's bits, as a footprint gives).
template <Isa kIsa, bool kSwapRedBlue>
void sampleByFootprint(const VmContext& vm, const Step& s, int active) {
    const SampledTexture& t = vm.textures[s.resource];
    float* out[4];
    for (int c = 0; c < 4; ++c) out[c] = vm.arena + size_t(s.out[c]) * kLanes;
    if (!t.data || t.width == 0 || t.height == 0) {
        for (float* o : out) std::fill_n(o, active, 0.0f);
        return;
    }
    uint32_t offsets[kLanes];
    uint16_t weights[kLanes];
    static const FootprintCompute compute = FootprintComputer(kIsa);
    static const FootprintFetch fetch =
        FootprintFetcher(kIsa, kSwapRedBlue ? DXGI_FORMAT_B8G8R8A8_UNORM : DXGI_FORMAT_R8G8B8A8_UNORM);
    compute(t, vm.arena + size_t(s.a) * kLanes, vm.arena + size_t(s.b) * kLanes, offsets, weights, active);
    fetch(t.data, t.rowPitch, offsets, weights, out, active);
}

// One direction of the footprints of a sample at computed coordinates (FootprintAxis).
template <Isa kIsa>
void footprintAxis(const VmContext& vm, const Step& s, int active) {
    const SampledTexture& t = vm.textures[s.resource];
    static const FootprintAxisCompute compute = FootprintAxisComputer(kIsa);
    compute(s.sampler ? t.height : t.width, vm.arena + size_t(s.a) * kLanes, vm.arena + size_t(s.d) * kLanes,
            active);
}

// A sample from the two directions of its footprints in slots a (x) and b (y), which FootprintAxis
// steps worked out; `c` set where nothing reads the alpha channel, which is then not fetched.
template <Isa kIsa, bool kSwapRedBlue>
void sampleFromAxes(const VmContext& vm, const Step& s, int active) {
    const SampledTexture& t = vm.textures[s.resource];
    float* out[4];
    for (int c = 0; c < 4; ++c) out[c] = vm.arena + size_t(s.out[c]) * kLanes;
    if (s.c) out[3] = nullptr;
    if (!t.data || t.width == 0 || t.height == 0) {
        for (float* o : out)
            if (o) std::fill_n(o, active, 0.0f);
        return;
    }
    uint32_t offsets[kLanes];
    uint16_t weights[kLanes];
    static const FootprintJoin join = FootprintJoiner(kIsa);
    static const FootprintFetch fetch =
        FootprintFetcher(kIsa, kSwapRedBlue ? DXGI_FORMAT_B8G8R8A8_UNORM : DXGI_FORMAT_R8G8B8A8_UNORM);
    join(vm.arena + size_t(s.a) * kLanes, vm.arena + size_t(s.b) * kLanes, t.rowPitch, offsets, weights,
         active);
    fetch(t.data, t.rowPitch, offsets, weights, out, active);
}

// The registers of the channels a window names (null where none); false, with those channels 0, where
// the texture has nothing to sample.
bool windowOutputs(const VmContext& vm, const Step& s, int active, float* out[9][4]) {
    const SampledTexture& t = vm.textures[s.resource];
    const SampleWindow& w = *s.window;
    for (int tap = 0; tap < 9; ++tap)
        for (int c = 0; c < 4; ++c)
            out[tap][c] =
                w.out[tap][c] == SampleWindow::kNoSlot ? nullptr : vm.arena + size_t(w.out[tap][c]) * kLanes;
    if (t.data && t.width != 0 && t.height != 0) return true;
    for (int tap = 0; tap < 9; ++tap)
        for (float* o : out[tap])
            if (o) std::fill_n(o, active, 0.0f);
    return false;
}

// Nine samples fetched together (SampleWindow), from the axes and into the channels its window names.
template <Isa kIsa, bool kSwapRedBlue>
void sampleWindow(const VmContext& vm, const Step& s, int active) {
    const SampledTexture& t = vm.textures[s.resource];
    const SampleWindow& w = *s.window;
    float* out[9][4];
    if (!windowOutputs(vm, s, active, out)) return;
    const float* x[3];
    const float* y[3];
    for (int i = 0; i < 3; ++i) {
        x[i] = vm.arena + size_t(w.x[i]) * kLanes;
        y[i] = vm.arena + size_t(w.y[i]) * kLanes;
    }
    static const WindowFetch fetch =
        WindowFetcher(kIsa, kSwapRedBlue ? DXGI_FORMAT_B8G8R8A8_UNORM : DXGI_FORMAT_R8G8B8A8_UNORM);
    fetch(t.data, t.rowPitch, x, y, out, active);
}

// A window whose axes the band keeps (SampleWindow::kept): they are unpacked from its record, and the
// next batch's window rows are asked for while this one is fetched.
template <Isa kIsa, bool kSwapRedBlue>
void sampleKeptWindow(const VmContext& vm, const Step& s, int active) {
    const SampledTexture& t = vm.textures[s.resource];
    const WindowAxes& kept = vm.windows[s.window->kept];
    float* out[9][4];
    if (!windowOutputs(vm, s, active, out)) return;
    const uint32_t next = vm.pixel + uint32_t(active);
    if (next < kept.pixels)
        PrefetchWindows(t.data, t.rowPitch, kept.corners + next,
                        int(std::min<uint32_t>(kLanes, kept.pixels - next)));
    static const KeptWindowFetch fetch =
        KeptWindowFetcher(kIsa, kSwapRedBlue ? DXGI_FORMAT_B8G8R8A8_UNORM : DXGI_FORMAT_R8G8B8A8_UNORM);
    fetch(t.data, t.rowPitch, kept.corners + vm.pixel, kept.taps + vm.pixel, out, active);
}

// The kernel for a window whose axes are kept, from the kernel that works them out.
StepKernel keptWindowKernel(StepKernel window) {
    if (window == sampleWindow<Isa::Avx2, false>) return sampleKeptWindow<Isa::Avx2, false>;
    if (window == sampleWindow<Isa::Avx2, true>) return sampleKeptWindow<Isa::Avx2, true>;
    return nullptr;
}

StepKernel footprintAxisKernel(Isa isa) {
    return isa == Isa::Avx2 ? footprintAxis<Isa::Avx2> : footprintAxis<Isa::Portable>;
}

StepKernel axesSampleKernel(Isa isa, DXGI_FORMAT format) {
    const bool swap = format == DXGI_FORMAT_B8G8R8A8_UNORM;
    if (isa == Isa::Avx2) return swap ? sampleFromAxes<Isa::Avx2, true> : sampleFromAxes<Isa::Avx2, false>;
    return swap ? sampleFromAxes<Isa::Portable, true> : sampleFromAxes<Isa::Portable, false>;
}

bool samplesFromAxes(const Step& s) {
    return s.id == KernelId::Sample &&
           (s.kernel == sampleFromAxes<Isa::Avx2, true> || s.kernel == sampleFromAxes<Isa::Avx2, false> ||
            s.kernel == sampleFromAxes<Isa::Portable, true> ||
            s.kernel == sampleFromAxes<Isa::Portable, false>);
}

// The window kernel for samples of this AVX2 kernel from footprint axes; null for other kernels (the
// portable code would fetch the taps one by one all the same).
StepKernel windowKernel(StepKernel sample) {
    if (sample == sampleFromAxes<Isa::Avx2, false>) return sampleWindow<Isa::Avx2, false>;
    if (sample == sampleFromAxes<Isa::Avx2, true>) return sampleWindow<Isa::Avx2, true>;
    return nullptr;
}

StepKernel footprintSampleKernel(Isa isa, DXGI_FORMAT format) {
    const bool swap = format == DXGI_FORMAT_B8G8R8A8_UNORM;
    if (isa == Isa::Avx2)
        return swap ? sampleByFootprint<Isa::Avx2, true> : sampleByFootprint<Isa::Avx2, false>;
    return swap ? sampleByFootprint<Isa::Portable, true> : sampleByFootprint<Isa::Portable, false>;
}

} // namespace

bool StepReads(const Step& s, PlanSlot slot) {
    PlanSlot in[6];
    return std::count(in, in + SlotsRead(s, in), slot) != 0;
}

RoutineKey RoutineKey::From(const PixelSetup& setup, Isa isa, unsigned parts) {
    RoutineKey k;
    k.fill(setup, isa, parts);
    return k;
}

void RoutineKey::fill(const PixelSetup& setup, Isa isa, unsigned parts) {
    RoutineKey& k = *this;
    k.plan = setup.plan;
    k.isa = isa;
    k.parts = parts;
    k.inputs = setup.inputs;
    k.textures.clear();
    for (const Step& s : setup.plan->steps())
        if (s.id == KernelId::Sample)
            k.textures.push_back(
                {setup.bindings.textures[s.resource].format, setup.bindings.samplers[s.sampler]});
    k.targets = setup.targets;
    uint64_t h = mix(uint64_t(reinterpret_cast<uintptr_t>(k.plan.get())), uint64_t(isa) * 31 + parts);
    for (const PixelInput& in : k.inputs)
        h = mix(h, (uint64_t(in.kind) << 48) | (uint64_t(in.slot) << 32) | in.attribute);
    for (const Texture& t : k.textures) h = mix(h, (uint64_t(t.format) << 8) | (t.sampler.linear ? 1 : 0));
    for (const RenderTargetSetup& t : k.targets)
        h = mix(h, (uint64_t(t.format) << 16) | uint64_t(t.blend) << 8 | t.writeMask);
    k.hash = h;
}

bool RoutineKey::operator==(const RoutineKey& o) const {
    if (hash != o.hash || plan != o.plan || isa != o.isa || parts != o.parts || inputs != o.inputs ||
        textures.size() != o.textures.size() || targets.size() != o.targets.size())
        return false;
    for (size_t i = 0; i < textures.size(); ++i)
        if (textures[i].format != o.textures[i].format ||
            !sameSampler(textures[i].sampler, o.textures[i].sampler))
            return false;
    for (size_t i = 0; i < targets.size(); ++i)
        if (!sameTarget(targets[i], o.targets[i])) return false;
    return true;
}

PixelRoutine& RoutineCache::get(const PixelSetup& setup, Isa isa, unsigned parts) {
    key_.fill(setup, isa, parts);
    const RoutineKey& key = key_;
    for (auto it = routines_.begin(); it != routines_.end(); ++it) {
        if ((*it)->key == key) {
            std::rotate(routines_.begin(), it, it + 1);
            return *routines_.front();
        }
    }

    auto r = std::make_unique<PixelRoutine>();
    r->serial = nextSerial_++;
    auto isInput = [&](PlanSlot slot) {
        return std::any_of(setup.inputs.begin(), setup.inputs.end(),
                           [&](const PixelInput& in) { return in.slot == slot; });
    };
    size_t sample = 0;
    for (const Step& s : setup.plan->steps()) {
        if (s.id == KernelId::Sample) {
            const RoutineKey::Texture& t = key.textures[sample++];
            if (FootprintSampled(t.sampler, t.format)) {
                if (isInput(s.a) && isInput(s.b)) {
                    r->footprints.push_back({s.a,
                                             s.b,
                                             s.resource,
                                             {s.out[0], s.out[1], s.out[2], s.out[3]},
                                             FootprintFetcher(isa, t.format)});
                    continue;
                }
                // Each direction of the footprints is worked out by a step of its own, into a result
                // slot of the sample (which the fetch then overwrites), so that samples sharing a
                // coordinate share that step once the band's steps are compacted.
                const PlanSlot* x = std::find_if(s.out, s.out + 4, [&](PlanSlot o) { return o != s.b; });
                const PlanSlot* y =
                    std::find_if(s.out, s.out + 4, [&](PlanSlot o) { return x != s.out + 4 && o != *x; });
                if (y != s.out + 4) {
                    Step axis{};
                    axis.id = KernelId::FootprintAxis;
                    axis.kernel = footprintAxisKernel(isa);
                    axis.resource = s.resource;
                    axis.d = *x, axis.a = s.a, axis.sampler = 0;
                    r->steps.push_back(axis);
                    axis.d = *y, axis.a = s.b, axis.sampler = 1;
                    r->steps.push_back(axis);
                    Step sample = s;
                    sample.kernel = axesSampleKernel(isa, t.format);
                    sample.a = *x, sample.b = *y, sample.c = 0;
                    r->steps.push_back(sample);
                    continue;
                }
                Step sample = s;
                sample.kernel = footprintSampleKernel(isa, t.format);
                r->steps.push_back(sample);
                continue;
            }
        }
        r->steps.push_back(s);
    }
    std::vector<PlanSlot> fetched;
    for (const PixelRoutine::Footprint& f : r->footprints) fetched.insert(fetched.end(), f.out, f.out + 4);
    optimise(r->steps, *setup.plan, fetched, r->carried);
    for (PixelRoutine::Footprint& f : r->footprints)
        f.alpha = setup.plan->outputSlot(f.out[3]) ||
                  std::any_of(r->steps.begin(), r->steps.end(),
                              [&](const Step& s) { return StepReads(s, f.out[3]); });
    SpecialiseKernels(r->steps, isa);
    r->merge = LaneMergerFor(isa);
    for (const PixelInput& in : setup.inputs)
        if (std::any_of(r->steps.begin(), r->steps.end(),
                        [&](const Step& s) { return StepReads(s, in.slot); }))
            r->inputs.push_back(in);
    for (unsigned p = 0; p < parts; ++p) r->vms.push_back(std::make_unique<ShaderVM>(setup.plan));
    r->key = std::move(key);

    routines_.insert(routines_.begin(), std::move(r));
    if (routines_.size() > max_) routines_.pop_back();
    return *routines_.front();
}

namespace {

constexpr uint64_t kUnknown = uint64_t(1) << 32;

uint32_t bitsOf(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

bool signallingNaN(uint32_t bits) {
    return (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0 && !(bits & 0x00400000u);
}

// Operands of a step whose result can be worked out from known operands (0: never, as for samples).
int arity(KernelId id) {
    if (id == KernelId::FootprintAxis) return 0;
    if (id <= KernelId::Ineg) return 1;
    if (id < KernelId::Mad) return 2;
    return id >= KernelId::Sample ? 0 : 3;
}

// Whether a step's result, whatever its operands, is never a signalling NaN: IEEE arithmetic
// quietens NaN, comparisons give masks, conversions to float give numbers.
bool neverSignalling(KernelId id) {
    switch (id) {
    case KernelId::Add:
    case KernelId::Mul:
    case KernelId::Div:
    case KernelId::Mad:
    case KernelId::Sqrt:
    case KernelId::Rcp:
    case KernelId::Rsq:
    case KernelId::Sat:
    case KernelId::Itof:
    case KernelId::Utof:
    case KernelId::Lt:
    case KernelId::Ge:
    case KernelId::Eq:
    case KernelId::Ne:
    case KernelId::Ilt:
    case KernelId::Ige:
    case KernelId::Ieq:
    case KernelId::Ine:
        return true;
    default:
        return false;
    }
}

// The step's result for known operands, by the portable kernel itself.
uint32_t evaluate(const Step& s, const uint64_t* operands) {
    float arena[4 * kLanes];
    for (int i = 0; i < 3; ++i) {
        float v;
        uint32_t b = uint32_t(operands[i]);
        std::memcpy(&v, &b, 4);
        std::fill_n(arena + i * kLanes, kLanes, v);
    }
    Step t = s;
    t.a = 0, t.b = 1, t.c = 2, t.d = 3;
    VmContext vm{arena, nullptr, nullptr};
    PortableKernel(s.id)(vm, t, kLanes);
    return bitsOf(arena[3 * kLanes]);
}

// Marks the samples from footprint axes whose alpha channel nothing reads, in compacted steps (where no
// value is carried from one batch to the next): a later step reading the slot before it is written
// again, or the slot holding an output at the end, reads it.
void dropUnreadAlpha(const ExecutionPlan& plan, BandSteps& band) {
    std::vector<Step>& steps = band.steps;
    for (size_t k = 0; k < steps.size(); ++k) {
        if (!samplesFromAxes(steps[k])) continue;
        const PlanSlot alpha = steps[k].out[3];
        bool read = false, rewritten = false;
        for (size_t j = k + 1; j < steps.size() && !read && !rewritten; ++j) {
            read = StepReads(steps[j], alpha);
            PlanSlot out[kMostWritten];
            const int n = written(steps[j], out);
            rewritten = std::find(out, out + n, alpha) != out + n;
        }
        if (!read && !rewritten)
            read = plan.outputSlot(alpha) || std::any_of(band.moved.begin(), band.moved.end(),
                                                         [&](const MovedOutput& m) { return m.at == alpha; });
        steps[k].c = read ? 0 : 1;
    }
}

} // namespace

BandSteps FoldKnownValues(const PixelRoutine& routine, const ConstantData* constants,
                          const std::vector<KnownValue>& inputs) {
    const ExecutionPlan& plan = *routine.key.plan;
    std::vector<uint64_t> value(plan.slotCount(), kUnknown);
    // Slots known not to hold a signalling NaN.
    std::vector<uint8_t> quiet(plan.slotCount(), 0);
    auto know = [&](PlanSlot slot, uint32_t bits) {
        value[slot] = bits;
        quiet[slot] = !signallingNaN(bits);
    };
    for (const auto& l : plan.literalFills()) know(l.slot, l.bits);
    for (const auto& c : plan.constantFills()) know(c.slot, bitsOf(ConstantValue(c, constants)));
    for (const KnownValue& in : inputs) know(in.slot, bitsOf(in.value));
    std::vector<PlanSlot> fetched;
    for (const PixelRoutine::Footprint& f : routine.footprints)
        for (PlanSlot slot : f.out) {
            quiet[slot] = 1; // 8-bit texels blend to numbers
            fetched.push_back(slot);
        }

    // Literals and constants with the same bits are read from one slot, so that steps computing the
    // same thing from them (the taps of a filter row, each with its own literal offset) are found alike.
    std::vector<PlanSlot> canonical(plan.slotCount());
    for (uint32_t slot = 0; slot < plan.slotCount(); ++slot) canonical[slot] = PlanSlot(slot);
    {
        std::unordered_map<uint64_t, PlanSlot> first;
        for (const auto& l : plan.literalFills())
            canonical[l.slot] = first.try_emplace(value[l.slot], l.slot).first->second;
        for (const auto& c : plan.constantFills())
            canonical[c.slot] = first.try_emplace(value[c.slot], c.slot).first->second;
    }
    const uint64_t one = bitsOf(1.0f);
    std::vector<Step> steps = routine.steps;
    for (Step& s : steps) {
        PlanSlot* read[3];
        for (int i = 0, k = sources(s, read, s); i < k; ++i) *read[i] = canonical[*read[i]];
        const int n = arity(s.id);
        if (n == 0) {
            PlanSlot out[kMostWritten];
            for (int i = 0, k = written(s, out); i < k; ++i) value[out[i]] = kUnknown, quiet[out[i]] = 0;
            continue;
        }
        if (s.id == KernelId::Movc && value[s.a] != kUnknown) {
            s.a = value[s.a] != 0 ? s.b : s.c;
            s.id = KernelId::Mov;
        } else if (s.id == KernelId::Mul && value[s.b] == one && quiet[s.a]) {
            s.id = KernelId::Mov;
        } else if (s.id == KernelId::Mul && value[s.a] == one && quiet[s.b]) {
            s.a = s.b;
            s.id = KernelId::Mov;
        }
        if (s.id == KernelId::Mov) s.kernel = PortableKernel(KernelId::Mov);

        const PlanSlot sources[3] = {s.a, s.b, s.c};
        uint64_t operands[3] = {0, 0, 0};
        bool known = true;
        for (int i = 0; i < n; ++i) {
            operands[i] = value[sources[i]];
            known = known && operands[i] != kUnknown;
        }
        bool quietResult = neverSignalling(s.id);
        switch (s.id) {
        case KernelId::Mov:
        case KernelId::Neg:
        case KernelId::Abs:
        case KernelId::NegAbs:
            quietResult = quiet[s.a];
            break;
        case KernelId::Min:
        case KernelId::Max:
            quietResult = quiet[s.a] && quiet[s.b];
            break;
        case KernelId::Movc:
            quietResult = quiet[s.b] && quiet[s.c];
            break;
        default:
            break;
        }
        if (known) {
            know(s.d, evaluate(s, operands));
        } else {
            value[s.d] = kUnknown;
            quiet[s.d] = quietResult;
        }
    }
    std::vector<PlanSlot> carried;
    optimise(steps, plan, fetched, carried);
    BandSteps band{std::move(steps), {}, {}};
    // Gathering a filter's taps keeps more values at once; where the slots run out, the taps stay apart.
    if (CompactSteps(plan, fetched, band, true) || CompactSteps(plan, fetched, band, false))
        dropUnreadAlpha(plan, band);
    SpecialiseKernels(band.steps, routine.key.isa);
    return band;
}

namespace {

constexpr uint32_t kNoValue = ~0u;

// A step over values rather than slots.
struct ValueStep {
    Step step;
    uint32_t in[6];
    int inputs;
    uint32_t out[kMostWritten]; // a window's: four per tap, row by row
    int outputs;
    bool dropped;
};

// Takes the nine samples of a 3 x 3 filter (samples through one window-capable kernel from one
// texture, at the crossings of three x axes and three y axes) into one SampleWindow step at the place
// of the first of them. The steps that work out the later taps' axes move ahead of it; every step
// reads only values computed before it, so the results are unchanged. Returns false where the graph
// holds no such nine samples.
bool gatherSampleWindow(std::vector<ValueStep>& graph, size_t values) {
    std::vector<int> producer(values, -1);
    for (int k = 0; k < int(graph.size()); ++k)
        for (int i = 0; i < graph[k].outputs; ++i) producer[graph[k].out[i]] = k;
    for (size_t first = 0; first < graph.size(); ++first) {
        const Step& lead = graph[first].step;
        if (lead.id != KernelId::Sample || !windowKernel(lead.kernel)) continue;
        std::vector<int> taps;
        for (size_t k = first; k < graph.size(); ++k)
            if (graph[k].step.id == KernelId::Sample && graph[k].step.kernel == lead.kernel &&
                graph[k].step.resource == lead.resource)
                taps.push_back(int(k));
        if (taps.size() != 9) continue;
        // The axes in the order the taps first read them; each crossing once.
        std::vector<uint32_t> xs, ys;
        for (int k : taps) {
            if (std::find(xs.begin(), xs.end(), graph[k].in[0]) == xs.end()) xs.push_back(graph[k].in[0]);
            if (std::find(ys.begin(), ys.end(), graph[k].in[1]) == ys.end()) ys.push_back(graph[k].in[1]);
        }
        if (xs.size() != 3 || ys.size() != 3) continue;
        ValueStep window{lead, {xs[0], xs[1], xs[2], ys[0], ys[1], ys[2]}, 6, {}, SampleWindow::kOutputs,
                         false};
        window.step.id = KernelId::SampleWindow;
        window.step.kernel = windowKernel(lead.kernel);
        for (int k : taps) {
            const int tap = int(std::find(ys.begin(), ys.end(), graph[k].in[1]) - ys.begin()) * 3 +
                            int(std::find(xs.begin(), xs.end(), graph[k].in[0]) - xs.begin());
            std::copy(graph[k].out, graph[k].out + 4, window.out + 4 * tap);
        }
        // What the axes are computed from, where it comes after the first tap.
        std::vector<uint8_t> ahead(graph.size(), 0);
        std::vector<uint32_t> pending(window.in, window.in + 6);
        bool cyclic = false;
        while (!pending.empty() && !cyclic) {
            const int k = producer[pending.back()];
            pending.pop_back();
            if (k <= int(first) || ahead[k]) continue;
            cyclic = std::find(taps.begin(), taps.end(), k) != taps.end();
            ahead[k] = 1;
            pending.insert(pending.end(), graph[k].in, graph[k].in + graph[k].inputs);
        }
        if (cyclic) continue;
        std::vector<ValueStep> gathered(graph.begin(), graph.begin() + long(first));
        for (size_t k = first; k < graph.size(); ++k)
            if (ahead[k]) gathered.push_back(graph[k]);
        gathered.push_back(window);
        for (size_t k = first; k < graph.size(); ++k)
            if (!ahead[k] && std::find(taps.begin(), taps.end(), int(k)) == taps.end())
                gathered.push_back(graph[k]);
        graph = std::move(gathered);
        return true;
    }
    return false;
}

} // namespace

bool CompactSteps(const ExecutionPlan& plan, const std::vector<PlanSlot>& prewritten, BandSteps& band,
                  bool gatherWindows) {
    const uint32_t slots = plan.slotCount();
    std::vector<uint8_t> pinned(slots, 0);
    for (PlanSlot s : prewritten) pinned[s] = 1;
    for (uint32_t s = 0; s < slots; ++s) pinned[s] |= plan.readOnlySlot(PlanSlot(s));

    // Values: those the slots hold before the steps (kept where they are), then one per result.
    std::vector<PlanSlot> home;
    std::vector<uint32_t> current(slots, kNoValue);
    auto valueIn = [&](PlanSlot slot) {
        if (current[slot] == kNoValue && pinned[slot]) {
            current[slot] = uint32_t(home.size());
            home.push_back(slot);
        }
        return current[slot];
    };
    std::vector<ValueStep> graph;
    for (const Step& s : band.steps) {
        ValueStep v{s, {}, 0, {}, 0, false};
        PlanSlot* in[3];
        v.inputs = sources(s, in, v.step);
        for (int i = 0; i < v.inputs; ++i)
            if ((v.in[i] = valueIn(*in[i])) == kNoValue) return false; // carried from the last batch
        if (s.id == KernelId::Mov) {
            current[s.d] = v.in[0];
            continue;
        }
        PlanSlot out[4];
        v.outputs = written(s, out);
        // A sample writing one slot twice leaves the channel it writes last: keep its steps as they are.
        for (int i = 0; i < v.outputs; ++i)
            if (std::count(out, out + v.outputs, out[i]) > 1) return false;
        // A step computing what an earlier one did (the same kernel on the same values: a filter's taps
        // along one row share a coordinate) is dropped, and its results read where that one left them.
        auto same = std::find_if(graph.begin(), graph.end(), [&](const ValueStep& p) {
            return p.step.id == s.id && p.step.kernel == s.kernel && p.step.resource == s.resource &&
                   p.step.sampler == s.sampler && p.inputs == v.inputs &&
                   std::equal(v.in, v.in + v.inputs, p.in);
        });
        if (same != graph.end()) {
            for (int i = 0; i < v.outputs; ++i) current[out[i]] = same->out[i];
            continue;
        }
        for (int i = 0; i < v.outputs; ++i) {
            v.out[i] = uint32_t(home.size());
            home.push_back(PlanSlot(~0u));
        }
        for (int i = 0; i < v.outputs; ++i) current[out[i]] = v.out[i];
        graph.push_back(v);
    }
    if (gatherWindows)
        while (gatherSampleWindow(graph, home.size())) {}

    // Readers of each value; the outputs' final values live to the end.
    constexpr int kToTheEnd = 1 << 30;
    std::vector<int> uses(home.size(), 0), lastUse(home.size(), -1), producer(home.size(), -1);
    for (uint32_t s = 0; s < slots; ++s)
        if (plan.outputSlot(PlanSlot(s)) && current[s] != kNoValue) lastUse[current[s]] = kToTheEnd;
    for (int k = 0; k < int(graph.size()); ++k) {
        for (int i = 0; i < graph[k].inputs; ++i) uses[graph[k].in[i]]++;
        for (int i = 0; i < graph[k].outputs; ++i) producer[graph[k].out[i]] = k;
    }
    auto onlyFeeds = [&](uint32_t value, KernelId id) {
        const int k = producer[value];
        return k >= 0 && graph[k].step.id == id && uses[value] == 1 && lastUse[value] != kToTheEnd;
    };
    // Takes the single-reader result `value` of a binary step into v as its first two operands, with
    // `other` as the third, making v a step of kind id.
    auto absorb = [&](ValueStep& v, uint32_t value, uint32_t other, KernelId id) {
        ValueStep& producerStep = graph[size_t(producer[value])];
        producerStep.dropped = true;
        v.in[0] = producerStep.in[0], v.in[1] = producerStep.in[1], v.in[2] = other;
        v.inputs = 3;
        v.step.id = id;
        v.step.kernel = PortableKernel(id);
    };
    for (ValueStep& v : graph) {
        if (v.step.id == KernelId::Add) {
            if (onlyFeeds(v.in[1], KernelId::Neg)) {
                ValueStep& neg = graph[size_t(producer[v.in[1]])];
                neg.dropped = true;
                v.step.id = KernelId::AddNeg;
                v.in[1] = neg.in[0];
                v.step.kernel = PortableKernel(KernelId::AddNeg);
            } else if (onlyFeeds(v.in[0], KernelId::Mul)) {
                absorb(v, v.in[0], v.in[1], KernelId::Mad);
            } else if (onlyFeeds(v.in[1], KernelId::Mul)) {
                // x + a * b as a * b + x: the sum is the same (only which of two NaNs it keeps may differ).
                absorb(v, v.in[1], v.in[0], KernelId::Mad);
            } else if (onlyFeeds(v.in[0], KernelId::Add)) {
                absorb(v, v.in[0], v.in[1], KernelId::Add3);
            } else if (onlyFeeds(v.in[1], KernelId::Add)) {
                absorb(v, v.in[1], v.in[0], KernelId::Add3);
            }
        }
        if (v.step.id == KernelId::AddNeg && onlyFeeds(v.in[1], KernelId::Mul))
            absorb(v, v.in[1], v.in[0], KernelId::MulSub);
    }
    // A multiply-add or multiply-subtract whose accumulator is a product read only by it starts a
    // chain; one whose accumulator is a one-link chain read only by it extends that chain.
    for (ValueStep& v : graph) {
        if (v.step.id != KernelId::Mad && v.step.id != KernelId::MulSub) continue;
        const uint32_t acc = v.in[2];
        const bool subtract = v.step.id == KernelId::MulSub;
        const uint32_t x = v.in[0], y = v.in[1];
        if (onlyFeeds(acc, KernelId::Mul)) {
            ValueStep& mul = graph[size_t(producer[acc])];
            mul.dropped = true;
            v.in[0] = mul.in[0], v.in[1] = mul.in[1], v.in[2] = x, v.in[3] = y;
            v.inputs = 4;
            v.step.id = KernelId::MulChain;
            v.step.resource = 1;
            v.step.sampler = subtract ? 1 : 0;
        } else if (onlyFeeds(acc, KernelId::MulChain) && graph[size_t(producer[acc])].step.resource == 1) {
            ValueStep& chain = graph[size_t(producer[acc])];
            chain.dropped = true;
            std::copy(chain.in, chain.in + 4, v.in);
            v.in[4] = x, v.in[5] = y;
            v.inputs = 6;
            v.step.id = KernelId::MulChain;
            v.step.resource = 2;
            v.step.sampler = uint8_t(chain.step.sampler | (subtract ? 2 : 0));
        } else {
            continue;
        }
        v.step.kernel = PortableMulChainKernel(v.step.resource, v.step.sampler);
    }
    for (int k = 0; k < int(graph.size()); ++k)
        if (!graph[k].dropped)
            for (int i = 0; i < graph[k].inputs; ++i)
                if (lastUse[graph[k].in[i]] != kToTheEnd) lastUse[graph[k].in[i]] = k;

    // Slots for the results, each free again after its value's last reader. Results never share a slot
    // with the step's own operands; an output the steps never write keeps its slot.
    std::vector<uint8_t> free(slots, 0);
    for (uint32_t s = 0; s < slots; ++s)
        free[s] = !pinned[s] && !(plan.outputSlot(PlanSlot(s)) && current[s] == kNoValue);
    std::vector<Step> steps;
    std::vector<std::unique_ptr<SampleWindow>> windows;
    for (int k = 0; k < int(graph.size()); ++k) {
        ValueStep& v = graph[k];
        if (v.dropped) continue;
        const bool window = v.step.id == KernelId::SampleWindow;
        PlanSlot out[kMostWritten];
        for (int i = 0; i < v.outputs; ++i) {
            if (window && lastUse[v.out[i]] < k) { // a channel nothing reads is not fetched
                out[i] = SampleWindow::kNoSlot;
                continue;
            }
            auto slot = std::find(free.begin(), free.end(), uint8_t(1));
            if (slot == free.end()) return false;
            *slot = 0;
            out[i] = home[v.out[i]] = PlanSlot(slot - free.begin());
        }
        for (int i = 0; i < v.outputs; ++i)
            if (lastUse[v.out[i]] < k && out[i] != SampleWindow::kNoSlot)
                free[out[i]] = 1; // nothing reads it
        for (int i = 0; i < v.inputs; ++i) {
            const PlanSlot at = home[v.in[i]];
            if (lastUse[v.in[i]] == k && !pinned[at]) free[at] = 1;
        }
        Step s = v.step;
        if (window) {
            auto slots = std::make_unique<SampleWindow>();
            for (int i = 0; i < 3; ++i) {
                slots->x[i] = home[v.in[i]];
                slots->y[i] = home[v.in[3 + i]];
            }
            std::copy(out, out + SampleWindow::kOutputs, &slots->out[0][0]);
            s.window = slots.get();
            windows.push_back(std::move(slots));
            steps.push_back(s);
            continue;
        }
        PlanSlot* in[6] = {&s.a, &s.b, &s.c, &s.out[0], &s.out[1], &s.out[2]};
        for (int i = 0; i < v.inputs; ++i) *in[i] = home[v.in[i]];
        if (s.id == KernelId::Sample)
            std::copy(out, out + 4, s.out);
        else
            s.d = out[0];
        steps.push_back(s);
    }
    band.steps = std::move(steps);
    band.windows = std::move(windows);
    band.moved.clear();
    for (uint32_t s = 0; s < slots; ++s)
        if (plan.outputSlot(PlanSlot(s)) && current[s] != kNoValue && home[current[s]] != s)
            band.moved.push_back({PlanSlot(s), home[current[s]]});
    return true;
}

std::vector<KeptWindow> KeepableWindows(const ExecutionPlan& plan, const BandSteps& band) {
    std::vector<KeptWindow> found;
    for (size_t k = 0; k < band.steps.size(); ++k) {
        const Step& window = band.steps[k];
        if (window.id != KernelId::SampleWindow || !keptWindowKernel(window.kernel)) continue;
        // Walking back from the window, the steps that compute what its axes are computed from.
        std::vector<uint8_t> needed(plan.slotCount(), 0);
        PlanSlot in[6];
        for (int i = 0, n = SlotsRead(window, in); i < n; ++i) needed[in[i]] = 1;
        std::vector<size_t> feeding;
        bool keepable = true;
        for (size_t j = k; j-- > 0 && keepable;) {
            const Step& s = band.steps[j];
            PlanSlot out[kMostWritten];
            const int n = written(s, out);
            if (std::none_of(out, out + n, [&](PlanSlot o) { return needed[o] != 0; })) continue;
            // A texel changes from frame to frame.
            keepable = s.id != KernelId::Sample && s.id != KernelId::SampleWindow;
            for (int i = 0; i < n; ++i) needed[out[i]] = 0;
            for (int i = 0, m = SlotsRead(s, in); i < m; ++i) needed[in[i]] = 1;
            feeding.push_back(j);
        }
        // Whatever else they read must be there before the steps: the inputs, constants and literals.
        for (uint32_t slot = 0; slot < plan.slotCount() && keepable; ++slot)
            keepable = !needed[slot] || plan.readOnlySlot(PlanSlot(slot));
        if (!keepable) continue;
        KeptWindow kept{k, {}};
        for (auto j = feeding.rbegin(); j != feeding.rend(); ++j) kept.axisSteps.push_back(band.steps[*j]);
        found.push_back(std::move(kept));
    }
    return found;
}

BandSteps WithKeptWindows(const ExecutionPlan& plan, const BandSteps& band,
                          const std::vector<KeptWindow>& kept) {
    BandSteps out;
    out.moved = band.moved;
    std::vector<Step> steps = band.steps;
    for (size_t k = 0; k < steps.size(); ++k) {
        Step& s = steps[k];
        if (s.id != KernelId::SampleWindow) continue;
        auto window = std::make_unique<SampleWindow>(*s.window);
        for (size_t r = 0; r < kept.size(); ++r)
            if (kept[r].step == k) {
                window->kept = int(r);
                s.kernel = keptWindowKernel(s.kernel);
            }
        s.window = window.get();
        out.windows.push_back(std::move(window));
    }
    // Drops the steps whose results nothing reads now: those that only worked the axes out.
    std::vector<uint8_t> live(plan.slotCount(), 0);
    for (uint32_t r = 0; r < plan.program().outputRegisterCount; ++r)
        for (unsigned c = 0; c < 4; ++c) live[band.outputAt(plan.outputSlot(r, c))] = 1;
    std::vector<Step> needed;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        PlanSlot outs[kMostWritten], in[6];
        const int n = written(*it, outs);
        if (std::none_of(outs, outs + n, [&](PlanSlot o) { return live[o] != 0; })) continue;
        for (int i = 0; i < n; ++i) live[outs[i]] = 0;
        for (int i = 0, m = SlotsRead(*it, in); i < m; ++i) live[in[i]] = 1;
        needed.push_back(*it);
    }
    out.steps.assign(needed.rbegin(), needed.rend());
    return out;
}

void SpecialiseKernels(std::vector<Step>& steps, Isa isa) {
    for (Step& s : steps) {
        if (s.id == KernelId::MulChain)
            s.kernel = MulChainKernel(isa, s.resource, s.sampler);
        else if (StepKernel k = KernelFor(s.id, isa))
            s.kernel = k;
    }
}

} // namespace platform::d3d10
