#include "platform/d3d10/shading_cache.h"

#include <algorithm>
#include <cstring>

namespace platform::d3d10 {

size_t ShadingCache::Band::bytes() const {
    size_t n = sizeof *this + constant.capacity() * sizeof(float) + steps.steps.capacity() * sizeof(Step) +
               steps.moved.capacity() * sizeof(MovedOutput) + foldedFor.capacity() * sizeof(uint32_t) +
               steps.windows.size() * sizeof(SampleWindow) + chunks.capacity() * sizeof(ChunkStart);
    for (const auto& v : offsets) n += v.capacity() * sizeof(uint32_t);
    for (const auto& v : weights) n += v.capacity() * sizeof(uint16_t);
    for (const auto& v : values) n += v.capacity() * sizeof(float);
    if (compiled) n += compiled->bytes();
    for (const KeptWindow& w : keptWindows) n += sizeof w + w.axisSteps.capacity() * sizeof(Step);
    n += keptSteps.steps.capacity() * sizeof(Step) + keptSteps.windows.size() * sizeof(SampleWindow) +
         keptReads.capacity() + windowAxes.capacity() * sizeof(WindowAxes) +
         windowLayout.capacity() * sizeof(uint64_t);
    if (keptCompiled) n += keptCompiled->bytes();
    for (const auto& v : windowCorners) n += v.capacity() * sizeof(uint32_t);
    for (const auto& v : windowTaps) n += v.capacity() * sizeof(uint64_t);
    return n;
}

size_t ShadingCache::bytes() const {
    size_t n = sizeof *this + textureLayout.capacity() * sizeof(uint64_t);
    for (const Band& b : bands) n += b.bytes();
    return n;
}

std::vector<uint64_t> ShadingCache::LayoutOf(const PixelRoutine& routine, const ShaderBindings& bindings) {
    std::vector<uint64_t> layout;
    for (const PixelRoutine::Footprint& f : routine.footprints) {
        const SampledTexture& t = bindings.textures[f.resource];
        layout.push_back((uint64_t(t.width) << 32) | t.height);
        layout.push_back(t.rowPitch);
    }
    return layout;
}

bool ShadingCache::hasLayout(const PixelRoutine& routine, const ShaderBindings& bindings) const {
    if (textureLayout.size() != routine.footprints.size() * 2) return false;
    for (size_t i = 0; i < routine.footprints.size(); ++i) {
        const SampledTexture& t = bindings.textures[routine.footprints[i].resource];
        if (textureLayout[2 * i] != ((uint64_t(t.width) << 32) | t.height) ||
            textureLayout[2 * i + 1] != t.rowPitch)
            return false;
    }
    return true;
}

void BuildShadingBand(const PixelRoutine& routine, const PixelSetup& setup, const ShadingPlanes& planes,
                      const CoverageBand& coverage, unsigned part, ShadingCache::Band& out) {
    ShaderVM& vm = *routine.vms[part];
    uint32_t pixels = 0;
    for (const Span& s : coverage.spans) pixels += uint32_t(s.x1 - s.x0);
    out.pixels = pixels;
    // Every footprint's offsets and weights are written below before any is read.
    out.offsets.resize(routine.footprints.size());
    out.weights.resize(routine.footprints.size());
    for (auto& o : out.offsets) o.resize(pixels);
    for (auto& w : out.weights) w.resize(pixels);
    out.values.assign(routine.inputs.size(), std::vector<float>());
    out.constant.assign(routine.inputs.size(), 0.0f);

    std::vector<float*> lanes;
    for (const PixelInput& in : setup.inputs) lanes.push_back(vm.slot(in.slot));
    LaneFeeder feeder(planes, coverage, setup.inputs, lanes.data());
    // The routine's inputs that vary; those the feeder fills once are kept as one value.
    std::vector<size_t> varying;
    for (size_t k = 0; k < routine.inputs.size(); ++k) {
        const size_t in = size_t(std::find(setup.inputs.begin(), setup.inputs.end(), routine.inputs[k]) -
                                 setup.inputs.begin());
        if (in < setup.inputs.size() && feeder.uniform(in)) {
            out.constant[k] = vm.slot(routine.inputs[k].slot)[0];
        } else {
            varying.push_back(k);
            out.values[k].reserve(pixels);
        }
    }
    const FootprintCompute compute = FootprintComputer(routine.key.isa);
    uint32_t base = 0;
    while (int n = feeder.next()) {
        for (size_t f = 0; f < routine.footprints.size(); ++f) {
            const PixelRoutine::Footprint& fp = routine.footprints[f];
            compute(setup.bindings.textures[fp.resource], vm.slot(fp.u), vm.slot(fp.v),
                    out.offsets[f].data() + base, out.weights[f].data() + base, n);
        }
        for (size_t k : varying) {
            const float* lane = vm.slot(routine.inputs[k].slot);
            out.values[k].insert(out.values[k].end(), lane, lane + n);
        }
        base += uint32_t(n);
    }
    out.chunks.clear();
    uint32_t at = 0;
    const std::vector<Span>& spans = coverage.replaySpans();
    for (uint32_t i = 0; i < spans.size(); ++i)
        for (uint32_t x = spans[i].x0; x < spans[i].x1;) {
            if (at % kShadingChunk == 0) out.chunks.push_back({i, int32_t(x)});
            const uint32_t step = std::min<uint32_t>(spans[i].x1 - x, kShadingChunk - at % kShadingChunk);
            x += step;
            at += step;
        }
    // An input with one value (bit for bit) over the whole band is filled once per replay.
    for (size_t k = 0; k < routine.inputs.size(); ++k) {
        std::vector<float>& v = out.values[k];
        if (v.empty()) continue;
        bool same = std::all_of(v.begin(), v.end(), [&](float x) { return std::memcmp(&x, &v[0], 4) == 0; });
        if (!same) continue;
        out.constant[k] = v[0];
        std::vector<float>().swap(v);
    }
    out.built = true;
}

namespace {

// Whether the constants bound now are those the band's steps were folded for.
bool foldedForThese(const ExecutionPlan& plan, const ConstantData* constants,
                    const ShadingCache::Band& cache) {
    if (!cache.folded) return false;
    size_t i = 0;
    for (const auto& f : plan.constantFills()) {
        float v = ConstantValue(f, constants);
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        if (bits != cache.foldedFor[i++]) return false;
    }
    return true;
}

// The steps as machine code, where they compile; the merge reads the outputs wherever they leave them.
std::unique_ptr<const CompiledSteps> compile(const PixelRoutine& routine, const BandSteps& band) {
    const ExecutionPlan& plan = *routine.key.plan;
    std::vector<PlanSlot> outputs;
    for (uint32_t r = 0; r < plan.program().outputRegisterCount; ++r)
        for (unsigned c = 0; c < 4; ++c) outputs.push_back(band.outputAt(plan.outputSlot(r, c)));
    return CompiledSteps::Compile(band.steps, outputs, routine.key.isa);
}

// The band keeps no window's axes (the axes' storage stays, for the next windows kept).
void forgetKeptWindows(ShadingCache::Band& cache) {
    cache.keptWindows.clear();
    cache.keptSteps = {};
    cache.keptCompiled.reset();
    cache.keptReads.clear();
    cache.windowAxes.clear();
    cache.windowsKept = false;
}

void fold(const PixelRoutine& routine, const PixelSetup& setup, ShadingCache::Band& cache) {
    std::vector<KnownValue> inputs;
    for (size_t k = 0; k < routine.inputs.size(); ++k)
        if (cache.values[k].empty()) inputs.push_back({routine.inputs[k].slot, cache.constant[k]});
    cache.steps = FoldKnownValues(routine, setup.bindings.constants, inputs);
    cache.compiled = compile(routine, cache.steps);
    forgetKeptWindows(cache);
    cache.keptWindows = KeepableWindows(*setup.plan, cache.steps);
    if (!cache.keptWindows.empty()) {
        cache.keptSteps = WithKeptWindows(*setup.plan, cache.steps, cache.keptWindows);
        cache.keptCompiled = compile(routine, cache.keptSteps);
        for (const PixelInput& in : routine.inputs)
            cache.keptReads.push_back(std::any_of(cache.keptSteps.steps.begin(), cache.keptSteps.steps.end(),
                                                  [&](const Step& s) { return StepReads(s, in.slot); }));
    }
    cache.foldedFor.clear();
    for (const auto& f : setup.plan->constantFills()) {
        float v = ConstantValue(f, setup.bindings.constants);
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        cache.foldedFor.push_back(bits);
    }
    cache.folded = true;
}

// Whether `layout` is that of each kept window's texture bound now (width and height, then row pitch),
// or else makes it so.
bool keepLayout(const PixelSetup& setup, const ShadingCache::Band& cache, std::vector<uint64_t>& layout) {
    bool same = layout.size() == 2 * cache.keptWindows.size();
    layout.resize(2 * cache.keptWindows.size());
    for (size_t w = 0; w < cache.keptWindows.size(); ++w) {
        const SampledTexture& t =
            setup.bindings.textures[cache.steps.steps[cache.keptWindows[w].step].resource];
        const uint64_t size = (uint64_t(t.width) << 32) | t.height;
        same = same && layout[2 * w] == size && layout[2 * w + 1] == t.rowPitch;
        layout[2 * w] = size;
        layout[2 * w + 1] = t.rowPitch;
    }
    return same;
}

// Fills the routine's inputs for the band's pixels [base, base + n) into the VM's registers (those
// with one value for the band are filled once, before the first batch).
void fillInputs(const PixelRoutine& routine, const ShadingCache::Band& cache, ShaderVM& vm, uint32_t base,
                int n, const std::vector<uint8_t>* wanted = nullptr) {
    for (size_t k = 0; k < routine.inputs.size(); ++k)
        if (!cache.values[k].empty() && (!wanted || (*wanted)[k]))
            std::memcpy(vm.slot(routine.inputs[k].slot), cache.values[k].data() + base, size_t(n) * 4);
}

void fillConstantInputs(const PixelRoutine& routine, const ShadingCache::Band& cache, ShaderVM& vm) {
    for (size_t k = 0; k < routine.inputs.size(); ++k)
        if (cache.values[k].empty()) std::fill_n(vm.slot(routine.inputs[k].slot), kLanes, cache.constant[k]);
}

// Works out the axes of the windows the band keeps, at every pixel, by the steps that compute them. Where
// one cannot be packed, the band keeps none and its windows work their axes out as they fetch.
void keepWindowAxes(const PixelRoutine& routine, const PixelSetup& setup, unsigned part,
                    ShadingCache::Band& cache) {
    ShaderVM& vm = *routine.vms[part];
    BindShaderResources(vm, setup.plan->program(), setup.bindings);
    fillConstantInputs(routine, cache, vm);
    const size_t windows = cache.keptWindows.size();
    cache.windowCorners.resize(windows);
    cache.windowTaps.resize(windows);
    for (size_t w = 0; w < windows; ++w) {
        cache.windowCorners[w].resize(cache.pixels);
        cache.windowTaps[w].resize(cache.pixels);
    }
    const VmContext context = vm.context();
    bool packed = true;
    for (uint32_t base = 0; base < cache.pixels && packed; base += kLanes) {
        const int n = int(std::min<uint32_t>(kLanes, cache.pixels - base));
        fillInputs(routine, cache, vm, base, n);
        for (size_t w = 0; w < windows && packed; ++w) {
            for (const Step& s : cache.keptWindows[w].axisSteps) s.kernel(context, s, n);
            const SampleWindow& window = *cache.steps.steps[cache.keptWindows[w].step].window;
            const float* const x[3] = {vm.slot(window.x[0]), vm.slot(window.x[1]), vm.slot(window.x[2])};
            const float* const y[3] = {vm.slot(window.y[0]), vm.slot(window.y[1]), vm.slot(window.y[2])};
            packed = PackWindowAxes(x, y, cache.windowCorners[w].data() + base,
                                    cache.windowTaps[w].data() + base, n);
        }
    }
    if (!packed) {
        forgetKeptWindows(cache);
        cache.windowCorners.clear();
        cache.windowTaps.clear();
        return;
    }
    cache.windowAxes.clear();
    for (size_t w = 0; w < windows; ++w)
        cache.windowAxes.push_back({cache.windowCorners[w].data(), cache.windowTaps[w].data(), cache.pixels});
    cache.windowsKept = true;
}

} // namespace

void PrepareShadingBand(const PixelRoutine& routine, const PixelSetup& setup, unsigned part,
                        ShadingCache::Band& cache) {
    if (!foldedForThese(*setup.plan, setup.bindings.constants, cache)) fold(routine, setup, cache);
    if (cache.keptWindows.empty()) return;
    if (keepLayout(setup, cache, cache.windowLayout) && cache.windowsKept) return;
    cache.windowsKept = false;
    keepWindowAxes(routine, setup, part, cache);
}

void ReplayShadingChunk(const PixelRoutine& routine, const PixelSetup& setup, const CoverageBand& coverage,
                        unsigned part, const ShadingCache::Band& cache, uint32_t chunk) {
    if (chunk >= cache.chunks.size()) return;
    ShaderVM& vm = *routine.vms[part];
    BindShaderResources(vm, setup.plan->program(), setup.bindings);
    // Values carried from batch to batch start at 0 with the band and flow on through its chunks.
    if (chunk == 0)
        for (PlanSlot slot : routine.carried) std::fill_n(vm.slot(slot), kLanes, 0.0f);
    fillConstantInputs(routine, cache, vm);
    // Where the band keeps its windows' axes, the steps that fetch from them, which may read fewer inputs.
    const bool kept = cache.windowsKept;
    const BandSteps& steps = kept ? cache.keptSteps : cache.steps;
    const CompiledSteps* compiled = kept ? cache.keptCompiled.get() : cache.compiled.get();
    VmContext context = vm.context();
    context.windows = cache.windowAxes.data();

    constexpr size_t kMaxTargets = D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT;
    float* colours[kMaxTargets][4];
    const size_t targets = std::min(setup.targets.size(), kMaxTargets);
    for (size_t t = 0; t < targets; ++t)
        for (int c = 0; c < 4; ++c) colours[t][c] = vm.slot(steps.outputAt(setup.targets[t].slots[c]));

    LanePositions at;
    uint32_t base = chunk * kShadingChunk;
    const uint32_t end = std::min(cache.pixels, base + kShadingChunk);
    int n = 0;
    auto flush = [&] {
        const int next = int(std::min<uint32_t>(kLanes, cache.pixels - base - uint32_t(n)));
        for (size_t f = 0; f < routine.footprints.size(); ++f) {
            const PixelRoutine::Footprint& fp = routine.footprints[f];
            const SampledTexture& t = setup.bindings.textures[fp.resource];
            PrefetchFootprints(t.data, t.rowPitch, cache.offsets[f].data() + base + n, next);
            float* out[4] = {vm.slot(fp.out[0]), vm.slot(fp.out[1]), vm.slot(fp.out[2]),
                             fp.alpha ? vm.slot(fp.out[3]) : nullptr};
            fp.fetch(t.data, t.rowPitch, cache.offsets[f].data() + base, cache.weights[f].data() + base, out,
                     n);
        }
        fillInputs(routine, cache, vm, base, n, kept ? &cache.keptReads : nullptr);
        context.pixel = base;
        if (compiled)
            compiled->run(context, n);
        else
            for (const Step& s : steps.steps) s.kernel(context, s, n);
        for (size_t t = 0; t < targets; ++t) routine.merge(setup.targets[t], colours[t], at, n);
        base += uint32_t(n);
        n = 0;
        at.runCount = 0;
    };
    const std::vector<Span>& spans = coverage.replaySpans();
    const ShadingCache::Band::ChunkStart start = cache.chunks[chunk];
    for (size_t i = start.span; i < spans.size() && base + uint32_t(n) < end; ++i) {
        const Span& span = spans[i];
        for (int32_t x = i == start.span ? start.x : span.x0; x < span.x1 && base + uint32_t(n) < end;) {
            const int len = std::min({int(span.x1 - x), kLanes - n, int(end - base - uint32_t(n))});
            at.runs[at.runCount++] = {n, len, x, span.y};
            n += len;
            x += len;
            if (n == kLanes) flush();
        }
    }
    if (n) flush();
}

} // namespace platform::d3d10
