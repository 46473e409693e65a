// Drawing, clears and copies.
#include <algorithm>
#include <cstring>

#include "platform/d3d10/device.h"
#include "platform/d3d10/primitive_setup.h"
#include "platform/win32/debug.h"

namespace platform::d3d10 {

namespace {

// A content version derived from two values; derived versions keep the top bit clear, unique ones
// (NewUniqueVersion) have it set, so the two kinds never collide.
uint64_t deriveVersion(uint64_t a, uint64_t b) {
    uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2));
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    return h & ~(uint64_t(1) << 63);
}

// A depth-stencil description with its padding zeroed, so that it can be hashed and compared as bytes.
D3D10_DEPTH_STENCIL_DESC canonical(const D3D10_DEPTH_STENCIL_DESC& d) {
    D3D10_DEPTH_STENCIL_DESC c;
    std::memset(&c, 0, sizeof c);
    c.DepthEnable = d.DepthEnable;
    c.DepthWriteMask = d.DepthWriteMask;
    c.DepthFunc = d.DepthFunc;
    c.StencilEnable = d.StencilEnable;
    c.StencilReadMask = d.StencilReadMask;
    c.StencilWriteMask = d.StencilWriteMask;
    c.FrontFace = d.FrontFace;
    c.BackFace = d.BackFace;
    return c;
}

void intersect(PixelRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    r.left = std::max(r.left, left);
    r.top = std::max(r.top, top);
    r.right = std::min(r.right, right);
    r.bottom = std::min(r.bottom, bottom);
}

} // namespace

void Device::gatherBindings(const Stage& stage, const ShaderProgram& program, StageBindings& out) const {
    for (unsigned i = 0; i < isa::kConstantBufferSlots; ++i) {
        const Buffer* b = stage.constants[i].get();
        out.constants[i] = b ? ConstantData{b->data(), b->size()} : ConstantData{};
    }
    // Only the slots the program uses are read; the rest keep whatever they held.
    if (out.textures.size() != isa::kResourceSlots) {
        out.textures.assign(isa::kResourceSlots, SampledTexture{});
        out.samplers.assign(isa::kSamplerSlots, SamplerSettings::From(SamplerState::Default()));
    }
    for (uint32_t slot : program.resourceSlots) {
        out.textures[slot] = SampledTexture{};
        if (const ShaderResourceView* v = stage.views[slot].get()) {
            Texture2D* t = v->texture();
            out.textures[slot] = {t->contents(), t->width(), t->height(), t->rowPitch(), t->desc().Format};
        }
    }
    for (uint32_t slot : program.samplerSlots) {
        const SamplerState* s = stage.samplers[slot].get();
        out.samplers[slot] = s ? s->settings() : SamplerSettings::From(SamplerState::Default());
    }
}

bool Device::drawBounds(PixelRect& r, Viewport& vp) const {
    if (viewportCount_ == 0) {
        WARN("d3d10", "draw without a viewport");
        return false;
    }
    const D3D10_VIEWPORT& v = viewports_[0];
    float maxDepth = std::max(v.MinDepth, v.MaxDepth);
    vp = {float(v.TopLeftX), float(v.TopLeftY), float(v.Width), float(v.Height), v.MinDepth, maxDepth};
    r = {std::max(v.TopLeftX, 0), std::max(v.TopLeftY, 0), v.TopLeftX + int32_t(v.Width),
         v.TopLeftY + int32_t(v.Height)};
    bool target = false;
    for (const auto& rt : renderTargets_) {
        if (!rt) continue;
        intersect(r, 0, 0, int32_t(rt->texture()->width()), int32_t(rt->texture()->height()));
        target = true;
    }
    if (depthStencilView_) {
        intersect(r, 0, 0, int32_t(depthStencilView_->texture()->width()),
                  int32_t(depthStencilView_->texture()->height()));
        target = true;
    }
    const D3D10_RASTERIZER_DESC& rs = rasterizer_ ? rasterizer_->desc() : RasterizerState::Default();
    if (rs.ScissorEnable) {
        if (scissorCount_ == 0) return false;
        const D3D10_RECT& s = scissors_[0];
        intersect(r, s.left, s.top, s.right, s.bottom);
    }
    return target && !r.empty();
}

bool Device::buildPixelSetup(const StageBindings& psb, PixelSetup& out) const {
    if (!pixelShader_) return false;
    const ShaderProgram& vsp = vertexShader_->program();
    const ShaderProgram& psp = pixelShader_->program();
    const std::vector<uint32_t>& sources = sources_;
    out.plan = pixelShader_->plan();
    out.bindings = psb.view();
    out.inputs.clear();
    out.targets.clear();
    out.targetTextures.clear();

    for (const auto& in : psp.inputs) {
        for (unsigned c = 0; c < 4; ++c) {
            if (!(in.mask & (1u << c)) || !out.plan->readsSlot(out.plan->inputSlot(in.reg, c))) continue;
            PixelInput pi{PixelInput::Zero, out.plan->inputSlot(in.reg, c), 0};
            if (in.systemValue == uint32_t(isa::SystemValue::Position)) {
                pi.kind = PixelInput::Kind(PixelInput::PositionX + c);
            } else {
                for (const auto& o : vsp.outputs) {
                    if (o.semanticIndex != in.semanticIndex ||
                        !SameSemantic(o.semanticName, in.semanticName) || !(o.mask & (1u << c)))
                        continue;
                    auto at = std::find(sources.begin(), sources.end(), o.reg * 4 + c);
                    if (at != sources.end()) {
                        pi.kind = PixelInput::Attribute;
                        pi.attribute = uint32_t(at - sources.begin());
                    }
                }
                if (pi.kind == PixelInput::Zero)
                    WARN("d3d10", "pixel input %s%u has no vertex output", in.semanticName, in.semanticIndex);
            }
            out.inputs.push_back(pi);
        }
    }

    const D3D10_BLEND_DESC& bd = blend_ ? blend_->desc() : BlendState::Default();
    for (unsigned i = 0; i < D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        if (!renderTargets_[i]) continue;
        const isa::SignatureElement* colour = nullptr;
        for (const auto& o : psp.outputs)
            if (o.systemValue == uint32_t(isa::SystemValue::Target) && o.semanticIndex == i) colour = &o;
        if (!colour) continue;
        Texture2D* t = renderTargets_[i]->texture();
        RenderTargetSetup rt;
        rt.data = t->beginDraw();
        rt.pitch = t->rowPitch();
        rt.width = t->width();
        rt.height = t->height();
        if (const uint8_t* clear = t->pendingClear()) {
            rt.fillClear = true;
            std::memcpy(rt.clearTexel, clear, t->format().bytes);
        }
        rt.format = t->desc().Format;
        rt.bytes = t->format().bytes;
        for (unsigned c = 0; c < 4; ++c) rt.slots[c] = out.plan->outputSlot(colour->reg, c);
        rt.blend = bd.BlendEnable[i];
        rt.srcBlend = bd.SrcBlend;
        rt.destBlend = bd.DestBlend;
        rt.blendOp = bd.BlendOp;
        rt.srcBlendAlpha = bd.SrcBlendAlpha;
        rt.destBlendAlpha = bd.DestBlendAlpha;
        rt.blendOpAlpha = bd.BlendOpAlpha;
        rt.writeMask = bd.RenderTargetWriteMask[i];
        std::copy(blendFactor_, blendFactor_ + 4, rt.blendFactor);
        PrepareRenderTarget(rt);
        out.targets.push_back(rt);
        out.targetTextures.push_back(t);
    }
    return true;
}

void Device::shadeDealt(const PixelRoutine& routine, const PixelSetup& pixel,
                        const std::vector<CoverageBand>& bands, ShadingCache& shading, bool eachPixelOnce,
                        unsigned part) {
    ShadingCache::Band& own = shading.bands[part];
    const uint32_t chunks = uint32_t(own.chunks.size());
    if (chunks) PrepareShadingBand(routine, pixel, part, own);
    uint32_t chunk = 0;
    if (!eachPixelOnce || !routine.carried.empty()) {
        for (; chunk < chunks; ++chunk) ReplayShadingChunk(routine, pixel, bands[part], part, own, chunk);
        return;
    }
    dealer_->offer(part, chunks);
    while (dealer_->takeOwn(part, chunk)) ReplayShadingChunk(routine, pixel, bands[part], part, own, chunk);
    unsigned owner = 0;
    while (dealer_->takeOther(part, owner, chunk))
        ReplayShadingChunk(routine, pixel, bands[owner], part, shading.bands[owner], chunk);
}

void Device::Draw(UINT count, UINT start) {
    if (!vertexShader_ || count == 0 || (sampleMask_ & 1) == 0) return;
    if (!SupportedTopology(topology_)) {
        FIXME("d3d10", "topology %d is not drawn", int(topology_));
        return;
    }
    const ShaderProgram& vsp = vertexShader_->program();
    if (!vsp.inputs.empty()) {
        if (!inputLayout_) {
            WARN("d3d10", "draw without an input layout");
            return;
        }
        for (const auto& in : vsp.inputs)
            if (!inputLayout_->find(in.semanticName, in.semanticIndex)) {
                WARN("d3d10", "input layout lacks %s%u", in.semanticName, in.semanticIndex);
                return;
            }
    }
    PixelRect bounds;
    Viewport viewport;
    if (!drawBounds(bounds, viewport)) return;

    VertexStream streams[D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT];
    uint64_t versions[D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
    for (unsigned i = 0; i < D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT; ++i)
        if (const Buffer* b = vertexBuffers_[i].get()) {
            streams[i] = {b->data(), b->size(), strides_[i], offsets_[i]};
            versions[i] = b->mapped() ? 0 : b->version();
        }
    gatherBindings(vs_, vsp, vsb_);

    sources_.clear();
    for (const auto& e : vsp.outputs)
        if (e.systemValue == uint32_t(isa::SystemValue::None))
            for (unsigned c = 0; c < 4; ++c)
                if (e.mask & (1u << c)) sources_.push_back(e.reg * 4 + c);

    PixelSetup& pixel = pixel_;
    bool shade = false;
    if (pixelShader_) {
        gatherBindings(ps_, pixelShader_->program(), psb_);
        shade = buildPixelSetup(psb_, pixel) && !pixel.targets.empty();
    }

    const D3D10_DEPTH_STENCIL_DESC& dsd =
        depthStencil_ ? depthStencil_->desc() : DepthStencilState::Default();
    Texture2D* depthTexture = depthStencilView_ ? depthStencilView_->texture() : nullptr;
    bool depthActive = depthTexture && (dsd.DepthEnable || dsd.StencilEnable);
    if (!shade && !depthActive) return; // nothing this draw could change

    std::shared_ptr<const ShadedVertices> shaded = vertices_.shade(
        *vertexShader_, inputLayout_.get(), streams, versions, vsb_.view(), start, count, pool_.get());

    SetupState setup{topology_, rasterizer_ ? rasterizer_->desc() : RasterizerState::Default(), viewport,
                     bounds};
    CoverageKey& key = key_;
    key.topology = topology_;
    key.rasterizer = setup.rasterizer;
    key.viewport = viewport;
    key.bounds = bounds;
    key.depthStencil = depthActive;
    key.depthStencilDesc = {};
    key.reference = 0;
    key.depthPitch = 0;
    key.depthVersion = 0;
    DepthStencilSetup ds;
    if (depthActive) {
        key.depthStencilDesc = canonical(dsd);
        key.reference = uint8_t(stencilRef_);
        key.depthPitch = depthTexture->rowPitch() / 4;
        key.depthVersion = depthTexture->version();
        ds.pitch = key.depthPitch;
        ds.desc = key.depthStencilDesc;
        ds.reference = key.reference;
        ds.minDepth = viewport.minDepth;
        ds.maxDepth = viewport.maxDepth;
    }
    unsigned parts = pool_->threads();
    key.parts = parts;
    key.attributeSources = sources_;
    key.vertices = std::move(shaded);
    key.finish();

    // A pending clear of a colour target stays pending where the draw writes nothing. A replay that
    // writes each covered pixel once, beside the pixels of the draws already over the clear, leaves it
    // pending around them too, its pixels merged with the clear texel as their destination. Any other
    // draw fills it in first: in place, on each part's own rows, where no draw is over it yet.
    std::shared_ptr<const CoverageRecord> record = cache_.find(key);
    const bool onceEach = shade && record && record->hasSpans() && record->spansInRowOrder;
    if (shade)
        for (size_t i = 0; i < pixel.targets.size(); ++i) {
            RenderTargetSetup& rt = pixel.targets[i];
            Texture2D* t = pixel.targetTextures[i];
            if (!rt.fillClear) continue;
            if (rt.writeMask == 0 || (record && !record->hasSpans())) {
                rt.fillClear = false;
            } else if (onceEach && t->mayDrawOverClear(*record)) {
                rt.fillClear = false;
                rt.clearUnder = true;
            } else if (t->drawnOverClear()) {
                t->fillPendingClear();
                rt.fillClear = false;
            }
        }
    auto fill = [&](RowRange rows) {
        if (shade)
            for (const RenderTargetSetup& rt : pixel.targets) FillPendingClear(rt, rows);
    };
    if (!record) {
        if (depthActive) ds.texels = reinterpret_cast<uint32_t*>(depthTexture->beginWrite(false));
        auto fresh = std::make_shared<CoverageRecord>();
        PrimitiveSet primitives;
        SetupPrimitives(*key.vertices, sources_, setup, primitives);
        fresh->bands.resize(parts);
        std::vector<uint8_t> inRowOrder(parts); // per band: SpansInRowOrder
        fresh->split = RowSplit(primitives, bounds, parts);
        ShadingPlanes planes{primitives.primitives.data(), primitives.attributePlanes.data()};
        // The routine shades new coverage too: keeping what its pixels read costs less than
        // interpreting them, and the next frame then only replays.
        const PixelRoutine* routine =
            shade && !interpretNewCoverage_ ? &routines_.get(pixel, isa_, parts) : nullptr;
        ShadingCache* shading = routine ? &fresh->shadingFor(*routine, pixel.bindings, parts) : nullptr;
        dealer_->close();
        pool_->run([&](unsigned part) {
            const RowRange rows = fresh->split.rows(part);
            fill(rows);
            CoverageBand& band = fresh->bands[part];
            RasterizeBand(primitives, bounds, depthActive ? &ds : nullptr, rows, band);
            OrderSpans(band);
            inRowOrder[part] = SpansInRowOrder(band);
            if (!shade) return;
            if (!routine) {
                if (!band.spans.empty()) ShadeBand(planes, band, pixel);
                return;
            }
            BuildShadingBand(*routine, pixel, planes, band, part, shading->bands[part]);
            shadeDealt(*routine, pixel, fresh->bands, *shading, inRowOrder[part], part);
        });
        fresh->primitives = std::move(primitives.primitives);
        fresh->attributePlanes = std::move(primitives.attributePlanes);
        fresh->writesDepthStencil = std::any_of(fresh->bands.begin(), fresh->bands.end(),
                                                [](const CoverageBand& b) { return !b.runs.empty(); });
        fresh->spansInRowOrder =
            std::all_of(inRowOrder.begin(), inRowOrder.end(), [](uint8_t o) { return o; });
        fresh->key = key;
        record = fresh;
        cache_.insert(fresh);
    } else {
        // Depth-stencil writes wait behind a pending clear until something needs the bytes.
        if (depthActive && record->writesDepthStencil) depthTexture->deferWrites(record);
        // Replayed coverage is shaded by the routine specialised for this state, from what the record's
        // pixels read, kept beside the record the first time.
        ShadingPlanes planes{record->primitives.data(), record->attributePlanes.data()};
        if (shade && record->hasSpans()) {
            const PixelRoutine& routine = routines_.get(pixel, isa_, parts);
            ShadingCache& shading = record->shadingFor(routine, pixel.bindings, parts);
            dealer_->close();
            pool_->run([&](unsigned part) {
                fill(record->split.rows(part));
                ShadingCache::Band& band = shading.bands[part];
                if (!band.built) BuildShadingBand(routine, pixel, planes, record->bands[part], part, band);
                shadeDealt(routine, pixel, record->bands, shading, record->spansInRowOrder, part);
            });
        }
    }
    if (shade)
        for (size_t i = 0; i < pixel.targets.size(); ++i) {
            const RenderTargetSetup& rt = pixel.targets[i];
            Texture2D* t = pixel.targetTextures[i];
            if (rt.clearUnder) {
                t->drewOverClear(record);
                continue;
            }
            if (rt.fillClear) t->clearFilled();
            if (record->hasSpans()) t->forgetFilledAround();
        }
    if (depthActive && record->writesDepthStencil)
        depthTexture->setVersion(deriveVersion(record->key.depthVersion, record->key.hash));
    if (shade)
        for (const auto& rt : renderTargets_)
            if (rt) rt->texture()->setVersion(NewUniqueVersion());
}

void Device::ClearRenderTargetView(ID3D10RenderTargetView* view, const FLOAT colour[4]) {
    if (!view || !colour) return;
    Texture2D* t = static_cast<RenderTargetView*>(view)->texture();
    uint8_t texel[16];
    StoreColor(t->desc().Format, colour, texel);
    t->setPendingClear(texel);
    t->setVersion(NewUniqueVersion());
}

void Device::ClearDepthStencilView(ID3D10DepthStencilView* view, UINT flags, FLOAT depth, UINT8 stencil) {
    if (!view || !(flags & (D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL))) return;
    Texture2D* t = static_cast<DepthStencilView*>(view)->texture();
    bool clearDepth = flags & D3D10_CLEAR_DEPTH, clearStencil = flags & D3D10_CLEAR_STENCIL;
    uint32_t d24 = FloatToUnorm24(depth);
    uint32_t keep = (clearDepth ? 0 : kDepthMask) | (clearStencil ? 0 : ~kDepthMask);
    uint32_t value = PackDepthStencil(clearDepth ? d24 : 0, clearStencil ? stencil : 0);
    if (keep == 0) {
        uint8_t texel[4];
        std::memcpy(texel, &value, 4);
        t->setPendingClear(texel);
    } else {
        uint8_t* bytes = t->beginWrite(false);
        unsigned parts = pool_->threads();
        pool_->run([&](unsigned part) {
            for (uint32_t y = part; y < t->height(); y += parts) {
                auto* p = reinterpret_cast<uint32_t*>(bytes + y * t->rowPitch());
                for (uint32_t x = 0; x < t->width(); ++x) p[x] = (p[x] & keep) | value;
            }
        });
    }
    // A full clear yields a version that depends only on the values, so that every frame's clear
    // reproduces the same depth-stencil contents and the coverage of the draws that follow can be reused.
    uint64_t cleared = deriveVersion(0xC1EA2ull, (uint64_t(flags) << 40) | (uint64_t(stencil) << 32) | d24);
    t->setVersion(keep == 0 ? cleared : deriveVersion(t->version(), cleared));
}

void Device::CopyResource(ID3D10Resource* dst, ID3D10Resource* src) {
    if (!dst || !src || dst == src) return;
    if (Texture2D* d = AsTexture2D(dst), *s = AsTexture2D(src); d && s) {
        const auto &dd = d->desc(), &sd = s->desc();
        if (dd.Width != sd.Width || dd.Height != sd.Height || dd.Format != sd.Format ||
            dd.Usage == D3D10_USAGE_IMMUTABLE || d->mapped() || s->mapped()) {
            WARN("d3d10", "CopyResource between incompatible textures");
            return;
        }
        // A staging copy of a texture that is not itself an alias reads the source's bytes until
        // either changes.
        if (dd.Usage == D3D10_USAGE_STAGING && !s->aliasing()) {
            d->aliasTo(s);
        } else {
            size_t rowBytes = size_t(dd.Width) * d->format().bytes;
            const uint8_t* from = s->contents();
            uint8_t* to = d->beginWrite(true);
            const size_t pitch = d->rowPitch();
            unsigned parts = pool_->threads();
            pool_->run([&](unsigned part) {
                for (uint32_t y = part; y < dd.Height; y += parts)
                    std::memcpy(to + y * pitch, from + y * pitch, rowBytes);
            });
        }
        d->setVersion(s->version());
        return;
    }
    if (Buffer* d = AsBuffer(dst), *s = AsBuffer(src); d && s) {
        if (d->size() != s->size() || d->desc().Usage == D3D10_USAGE_IMMUTABLE || d->mapped() ||
            s->mapped()) {
            WARN("d3d10", "CopyResource between incompatible buffers");
            return;
        }
        std::memcpy(d->data(), s->data(), d->size());
        d->setVersion(s->version());
    }
}

void Device::UpdateSubresource(ID3D10Resource* dst, UINT subresource, const D3D10_BOX* box, const void* data,
                               UINT rowPitch, UINT) {
    if (!dst || !data || subresource != 0) return;
    const auto* src = static_cast<const uint8_t*>(data);
    if (Buffer* b = AsBuffer(dst)) {
        if (b->desc().Usage != D3D10_USAGE_DEFAULT) return;
        // Constant buffers are replaced whole; a box there is refused as on Direct3D 10.
        if (box && (b->desc().BindFlags & D3D10_BIND_CONSTANT_BUFFER)) return;
        size_t left = box ? box->left : 0, right = box ? box->right : b->size();
        if (left >= right || right > b->size()) return;
        std::memcpy(b->data() + left, src, right - left);
        b->setVersion(NewUniqueVersion());
        return;
    }
    Texture2D* t = AsTexture2D(dst);
    if (!t || t->desc().Usage != D3D10_USAGE_DEFAULT || t->format().depthStencil) return;
    uint32_t left = box ? box->left : 0, top = box ? box->top : 0;
    uint32_t right = box ? box->right : t->width(), bottom = box ? box->bottom : t->height();
    if (left >= right || top >= bottom || right > t->width() || bottom > t->height()) return;
    size_t bytes = size_t(right - left) * t->format().bytes;
    size_t pitch = rowPitch ? rowPitch : bytes;
    bool whole = left == 0 && top == 0 && right == t->width() && bottom == t->height();
    uint8_t* texels = t->beginWrite(whole);
    for (uint32_t y = top; y < bottom; ++y)
        std::memcpy(texels + y * t->rowPitch() + size_t(left) * t->format().bytes,
                    src + size_t(y - top) * pitch, bytes);
    t->setVersion(NewUniqueVersion());
}

} // namespace platform::d3d10
