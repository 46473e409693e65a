#include "platform/d3d10/pixel_routine.h"

#include <algorithm>
#include <cstring>

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

// Whether a step reads the slot (a sample reads its two coordinate slots only).
bool reads(const Step& s, uint16_t slot) {
    if (s.id == KernelId::Sample) return s.a == slot || s.b == slot;
    return s.a == slot || s.b == slot || s.c == slot;
}

} // namespace

RoutineKey RoutineKey::From(const PixelSetup& setup, Isa isa, unsigned parts) {
    RoutineKey k;
    k.plan = setup.plan;
    k.isa = isa;
    k.parts = parts;
    k.inputs = setup.inputs;
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
    return k;
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
    RoutineKey key = RoutineKey::From(setup, isa, parts);
    for (auto it = routines_.begin(); it != routines_.end(); ++it) {
        if ((*it)->key == key) {
            std::rotate(routines_.begin(), it, it + 1);
            return *routines_.front();
        }
    }

    auto r = std::make_unique<PixelRoutine>();
    r->serial = nextSerial_++;
    auto isInput = [&](uint16_t slot) {
        return std::any_of(setup.inputs.begin(), setup.inputs.end(),
                           [&](const PixelInput& in) { return in.slot == slot; });
    };
    size_t sample = 0;
    for (const Step& s : setup.plan->steps()) {
        if (s.id == KernelId::Sample) {
            const RoutineKey::Texture& t = key.textures[sample++];
            if (FootprintSampled(t.sampler, t.format) && isInput(s.a) && isInput(s.b)) {
                r->footprints.push_back({s.a,
                                         s.b,
                                         s.resource,
                                         {s.out[0], s.out[1], s.out[2], s.out[3]},
                                         FootprintFetcher(isa, t.format)});
                continue;
            }
        }
        r->steps.push_back(s);
    }
    SpecialiseKernels(r->steps, isa);
    r->merge = LaneMergerFor(isa);
    for (const PixelInput& in : setup.inputs)
        if (std::any_of(r->steps.begin(), r->steps.end(), [&](const Step& s) { return reads(s, in.slot); }))
            r->inputs.push_back(in);
    for (unsigned p = 0; p < parts; ++p) r->vms.push_back(std::make_unique<ShaderVM>(setup.plan));
    r->key = std::move(key);

    routines_.insert(routines_.begin(), std::move(r));
    if (routines_.size() > max_) routines_.pop_back();
    return *routines_.front();
}

void SpecialiseKernels(std::vector<Step>& steps, Isa isa) {
    for (Step& s : steps)
        if (StepKernel k = KernelFor(s.id, isa)) s.kernel = k;
}

} // namespace platform::d3d10
