#include "platform/d3d10/device.h"

#include <algorithm>
#include <new>

#include "platform/win32/debug.h"

namespace platform::d3d10 {

namespace {

template <class T, class I>
T* impl(I* p) {
    return static_cast<T*>(p);
}

} // namespace

Device::Device(UINT flags)
    : flags_(flags), pool_(std::make_unique<WorkerPool>(DefaultDeviceThreads())),
      dealer_(std::make_unique<ChunkDealer>(pool_->threads())) {
    LiveObjects()++;
}

Device::~Device() {
    ClearState();
    LiveObjects()--;
}

HRESULT Device::Create(UINT flags, Device** out) {
    *out = nullptr;
    try {
        *out = new Device(flags);
    } catch (const std::exception&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Device::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ID3D10Device) {
        *out = static_cast<ID3D10Device*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    WARN("d3d10", "interface not supported");
    return E_NOINTERFACE;
}

ULONG Device::AddRef() {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG Device::Release() {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

void Device::setThreads(unsigned threads) {
    pool_ = std::make_unique<WorkerPool>(threads);
    dealer_ = std::make_unique<ChunkDealer>(pool_->threads());
    cache_.clear();
    routines_.clear();
}

void Device::setIsa(Isa isa) {
    isa_ = IsaSupported(isa) ? isa : Isa::Portable;
    routines_.clear();
}

HRESULT Device::SetExceptionMode(UINT flags) {
    exceptionMode_ = flags;
    return S_OK;
}

HRESULT Device::GetPrivateData(REFGUID guid, UINT* size, void* data) {
    return private_.get(guid, size, data);
}
HRESULT Device::SetPrivateData(REFGUID guid, UINT size, const void* data) {
    return private_.set(guid, size, data);
}
HRESULT Device::SetPrivateDataInterface(REFGUID guid, const IUnknown* data) {
    return private_.setInterface(guid, data);
}

// Slot ranges beyond the pipeline's are ignored, as the Direct3D 10 runtime drops such calls.
void Device::setConstantBuffers(Stage& stage, UINT start, UINT n, ID3D10Buffer* const* buffers) {
    if (start >= isa::kConstantBufferSlots || n > isa::kConstantBufferSlots - start || (n && !buffers))
        return;
    for (UINT i = 0; i < n; ++i) stage.constants[start + i] = impl<Buffer>(buffers[i]);
}

void Device::setShaderResources(Stage& stage, UINT start, UINT n, ID3D10ShaderResourceView* const* views) {
    if (start >= isa::kResourceSlots || n > isa::kResourceSlots - start || (n && !views)) return;
    for (UINT i = 0; i < n; ++i) stage.views[start + i] = impl<ShaderResourceView>(views[i]);
}

void Device::setSamplers(Stage& stage, UINT start, UINT n, ID3D10SamplerState* const* samplers) {
    if (start >= isa::kSamplerSlots || n > isa::kSamplerSlots - start || (n && !samplers)) return;
    for (UINT i = 0; i < n; ++i) stage.samplers[start + i] = impl<SamplerState>(samplers[i]);
}

void Device::getConstantBuffers(const Stage& stage, UINT start, UINT n, ID3D10Buffer** buffers) {
    if (!buffers) return;
    for (UINT i = 0; i < n; ++i)
        if (start + i < isa::kConstantBufferSlots)
            stage.constants[start + i].copyTo(&buffers[i]);
        else
            buffers[i] = nullptr;
}

void Device::VSSetConstantBuffers(UINT start, UINT n, ID3D10Buffer* const* b) {
    setConstantBuffers(vs_, start, n, b);
}
void Device::PSSetConstantBuffers(UINT start, UINT n, ID3D10Buffer* const* b) {
    setConstantBuffers(ps_, start, n, b);
}
void Device::VSSetShaderResources(UINT start, UINT n, ID3D10ShaderResourceView* const* v) {
    setShaderResources(vs_, start, n, v);
}
void Device::PSSetShaderResources(UINT start, UINT n, ID3D10ShaderResourceView* const* v) {
    setShaderResources(ps_, start, n, v);
}
void Device::VSSetSamplers(UINT start, UINT n, ID3D10SamplerState* const* s) {
    setSamplers(vs_, start, n, s);
}
void Device::PSSetSamplers(UINT start, UINT n, ID3D10SamplerState* const* s) {
    setSamplers(ps_, start, n, s);
}
void Device::VSSetShader(ID3D10VertexShader* shader) {
    vertexShader_ = impl<VertexShader>(shader);
}
void Device::PSSetShader(ID3D10PixelShader* shader) {
    pixelShader_ = impl<PixelShader>(shader);
}

// No geometry shader can be created on this device, so only unbinding is meaningful.
void Device::GSSetShader(ID3D10GeometryShader* shader) {
    if (shader) FIXME("d3d10", "geometry shaders are not supported");
}

void Device::IASetInputLayout(ID3D10InputLayout* layout) {
    inputLayout_ = impl<InputLayout>(layout);
}

void Device::IASetVertexBuffers(UINT start, UINT n, ID3D10Buffer* const* buffers, const UINT* strides,
                                const UINT* offsets) {
    if (start >= D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT ||
        n > D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT - start || (n && (!buffers || !strides || !offsets)))
        return;
    for (UINT i = 0; i < n; ++i) {
        vertexBuffers_[start + i] = impl<Buffer>(buffers[i]);
        strides_[start + i] = strides[i];
        offsets_[start + i] = offsets[i];
    }
}

void Device::IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY topology) {
    topology_ = topology;
}

void Device::OMSetRenderTargets(UINT n, ID3D10RenderTargetView* const* views,
                                ID3D10DepthStencilView* depthStencil) {
    if (n > D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT || (n && !views)) return;
    for (UINT i = 0; i < D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i)
        renderTargets_[i] = i < n ? impl<RenderTargetView>(views[i]) : nullptr;
    depthStencilView_ = impl<DepthStencilView>(depthStencil);
}

void Device::OMSetBlendState(ID3D10BlendState* state, const FLOAT factor[4], UINT sampleMask) {
    blend_ = impl<BlendState>(state);
    // A null factor means (1, 1, 1, 1).
    for (int i = 0; i < 4; ++i) blendFactor_[i] = factor ? factor[i] : 1.0f;
    sampleMask_ = sampleMask;
}

void Device::OMSetDepthStencilState(ID3D10DepthStencilState* state, UINT stencilRef) {
    depthStencil_ = impl<DepthStencilState>(state);
    stencilRef_ = stencilRef;
}

void Device::RSSetState(ID3D10RasterizerState* state) {
    rasterizer_ = impl<RasterizerState>(state);
}

void Device::RSSetViewports(UINT n, const D3D10_VIEWPORT* viewports) {
    if (n > D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE || (n && !viewports)) return;
    std::copy(viewports, viewports + n, viewports_);
    viewportCount_ = n;
}

void Device::RSSetScissorRects(UINT n, const D3D10_RECT* rects) {
    if (n > D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE || (n && !rects)) return;
    std::copy(rects, rects + n, scissors_);
    scissorCount_ = n;
}

void Device::VSGetConstantBuffers(UINT start, UINT n, ID3D10Buffer** b) {
    getConstantBuffers(vs_, start, n, b);
}
void Device::PSGetConstantBuffers(UINT start, UINT n, ID3D10Buffer** b) {
    getConstantBuffers(ps_, start, n, b);
}

namespace {

// Copies bound objects out of a stage's slots; slots past the end give null.
template <class Slot, class Out>
void copySlots(const Slot* slots, UINT slotCount, UINT start, UINT n, Out** out) {
    if (!out) return;
    for (UINT i = 0; i < n; ++i)
        if (start + i < slotCount)
            slots[start + i].copyTo(&out[i]);
        else
            out[i] = nullptr;
}

} // namespace

void Device::PSGetShaderResources(UINT start, UINT n, ID3D10ShaderResourceView** views) {
    copySlots(ps_.views, isa::kResourceSlots, start, n, views);
}
void Device::VSGetShaderResources(UINT start, UINT n, ID3D10ShaderResourceView** views) {
    copySlots(vs_.views, isa::kResourceSlots, start, n, views);
}
void Device::PSGetSamplers(UINT start, UINT n, ID3D10SamplerState** samplers) {
    copySlots(ps_.samplers, isa::kSamplerSlots, start, n, samplers);
}
void Device::VSGetSamplers(UINT start, UINT n, ID3D10SamplerState** samplers) {
    copySlots(vs_.samplers, isa::kSamplerSlots, start, n, samplers);
}

void Device::PSGetShader(ID3D10PixelShader** shader) {
    pixelShader_.copyTo(shader);
}
void Device::VSGetShader(ID3D10VertexShader** shader) {
    vertexShader_.copyTo(shader);
}
void Device::GSGetShader(ID3D10GeometryShader** shader) {
    if (shader) *shader = nullptr;
}
void Device::IAGetInputLayout(ID3D10InputLayout** layout) {
    inputLayout_.copyTo(layout);
}

void Device::IAGetVertexBuffers(UINT start, UINT n, ID3D10Buffer** buffers, UINT* strides, UINT* offsets) {
    for (UINT i = 0; i < n; ++i) {
        bool valid = start + i < D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT;
        if (buffers) {
            if (valid)
                vertexBuffers_[start + i].copyTo(&buffers[i]);
            else
                buffers[i] = nullptr;
        }
        if (strides) strides[i] = valid ? strides_[start + i] : 0;
        if (offsets) offsets[i] = valid ? offsets_[start + i] : 0;
    }
}

void Device::IAGetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY* topology) {
    if (topology) *topology = topology_;
}

void Device::OMGetRenderTargets(UINT n, ID3D10RenderTargetView** views,
                                ID3D10DepthStencilView** depthStencil) {
    if (views) {
        for (UINT i = 0; i < n; ++i) {
            if (i < D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT)
                renderTargets_[i].copyTo(&views[i]);
            else
                views[i] = nullptr;
        }
    }
    depthStencilView_.copyTo(depthStencil);
}

void Device::OMGetBlendState(ID3D10BlendState** state, FLOAT factor[4], UINT* sampleMask) {
    blend_.copyTo(state);
    if (factor) std::copy(blendFactor_, blendFactor_ + 4, factor);
    if (sampleMask) *sampleMask = sampleMask_;
}

void Device::OMGetDepthStencilState(ID3D10DepthStencilState** state, UINT* stencilRef) {
    depthStencil_.copyTo(state);
    if (stencilRef) *stencilRef = stencilRef_;
}

void Device::RSGetState(ID3D10RasterizerState** state) {
    rasterizer_.copyTo(state);
}

void Device::RSGetViewports(UINT* n, D3D10_VIEWPORT* viewports) {
    if (!n) return;
    if (!viewports) {
        *n = viewportCount_;
        return;
    }
    UINT count = std::min(*n, viewportCount_);
    std::copy(viewports_, viewports_ + count, viewports);
    for (UINT i = count; i < *n; ++i) viewports[i] = D3D10_VIEWPORT{};
}

void Device::RSGetScissorRects(UINT* n, D3D10_RECT* rects) {
    if (!n) return;
    if (!rects) {
        *n = scissorCount_;
        return;
    }
    UINT count = std::min(*n, scissorCount_);
    std::copy(scissors_, scissors_ + count, rects);
    for (UINT i = count; i < *n; ++i) rects[i] = D3D10_RECT{};
}

void Device::ClearState() {
    inputLayout_.reset();
    for (UINT i = 0; i < D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT; ++i) {
        vertexBuffers_[i].reset();
        strides_[i] = offsets_[i] = 0;
    }
    topology_ = D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED;
    vertexShader_.reset();
    pixelShader_.reset();
    for (Stage* s : {&vs_, &ps_}) {
        for (auto& c : s->constants) c.reset();
        for (auto& v : s->views) v.reset();
        for (auto& m : s->samplers) m.reset();
    }
    rasterizer_.reset();
    viewportCount_ = scissorCount_ = 0;
    blend_.reset();
    std::fill(blendFactor_, blendFactor_ + 4, 1.0f);
    sampleMask_ = 0xFFFFFFFF;
    depthStencil_.reset();
    stencilRef_ = 0;
    for (auto& rt : renderTargets_) rt.reset();
    depthStencilView_.reset();
}

} // namespace platform::d3d10
