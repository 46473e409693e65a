// The software Direct3D 10 device. Setters only store what they are given (the pipeline keeps its own
// references to bound objects); Draw validates the state once and runs the pipeline stages: vertex
// stage, set-up, rasterisation with depth and stencil (or a cached coverage record), pixel stage.
//
// The device is single-threaded as Direct3D 10 devices are: its caller serialises calls. Internally a
// draw's pixel work is split over the device's worker threads by runs of rows.
#pragma once

#include <memory>

#include "platform/d3d10/chunk_dealer.h"
#include "platform/d3d10/coverage_cache.h"
#include "platform/d3d10/cpu_features.h"
#include "platform/d3d10/device_unsupported.h"
#include "platform/d3d10/pixel_routine.h"
#include "platform/d3d10/pixel_stage.h"
#include "platform/d3d10/resources.h"
#include "platform/d3d10/state_objects.h"
#include "platform/d3d10/views.h"
#include "platform/d3d10/worker_pool.h"

namespace platform::d3d10 {

class Device final : public DeviceUnsupported {
public:
    static HRESULT Create(UINT flags, Device** out);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Pipeline state
    void STDMETHODCALLTYPE VSSetConstantBuffers(UINT start, UINT n, ID3D10Buffer* const* buffers) override;
    void STDMETHODCALLTYPE PSSetShaderResources(UINT start, UINT n,
                                                ID3D10ShaderResourceView* const* views) override;
    void STDMETHODCALLTYPE PSSetShader(ID3D10PixelShader* shader) override;
    void STDMETHODCALLTYPE PSSetSamplers(UINT start, UINT n, ID3D10SamplerState* const* samplers) override;
    void STDMETHODCALLTYPE VSSetShader(ID3D10VertexShader* shader) override;
    void STDMETHODCALLTYPE Draw(UINT vertexCount, UINT startVertex) override;
    void STDMETHODCALLTYPE PSSetConstantBuffers(UINT start, UINT n, ID3D10Buffer* const* buffers) override;
    void STDMETHODCALLTYPE IASetInputLayout(ID3D10InputLayout* layout) override;
    void STDMETHODCALLTYPE IASetVertexBuffers(UINT start, UINT n, ID3D10Buffer* const* buffers,
                                              const UINT* strides, const UINT* offsets) override;
    void STDMETHODCALLTYPE GSSetShader(ID3D10GeometryShader* shader) override;
    void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY topology) override;
    void STDMETHODCALLTYPE VSSetShaderResources(UINT start, UINT n,
                                                ID3D10ShaderResourceView* const* views) override;
    void STDMETHODCALLTYPE VSSetSamplers(UINT start, UINT n, ID3D10SamplerState* const* samplers) override;
    void STDMETHODCALLTYPE OMSetRenderTargets(UINT n, ID3D10RenderTargetView* const* views,
                                              ID3D10DepthStencilView* depthStencil) override;
    void STDMETHODCALLTYPE OMSetBlendState(ID3D10BlendState* state, const FLOAT factor[4],
                                           UINT sampleMask) override;
    void STDMETHODCALLTYPE OMSetDepthStencilState(ID3D10DepthStencilState* state, UINT stencilRef) override;
    void STDMETHODCALLTYPE RSSetState(ID3D10RasterizerState* state) override;
    void STDMETHODCALLTYPE RSSetViewports(UINT n, const D3D10_VIEWPORT* viewports) override;
    void STDMETHODCALLTYPE RSSetScissorRects(UINT n, const D3D10_RECT* rects) override;
    void STDMETHODCALLTYPE CopyResource(ID3D10Resource* dst, ID3D10Resource* src) override;
    void STDMETHODCALLTYPE UpdateSubresource(ID3D10Resource* dst, UINT subresource, const D3D10_BOX* box,
                                             const void* data, UINT rowPitch, UINT depthPitch) override;
    void STDMETHODCALLTYPE ClearRenderTargetView(ID3D10RenderTargetView* view,
                                                 const FLOAT colour[4]) override;
    void STDMETHODCALLTYPE ClearDepthStencilView(ID3D10DepthStencilView* view, UINT flags, FLOAT depth,
                                                 UINT8 stencil) override;
    void STDMETHODCALLTYPE VSGetConstantBuffers(UINT start, UINT n, ID3D10Buffer** buffers) override;
    void STDMETHODCALLTYPE PSGetShaderResources(UINT start, UINT n,
                                                ID3D10ShaderResourceView** views) override;
    void STDMETHODCALLTYPE PSGetShader(ID3D10PixelShader** shader) override;
    void STDMETHODCALLTYPE PSGetSamplers(UINT start, UINT n, ID3D10SamplerState** samplers) override;
    void STDMETHODCALLTYPE VSGetShaderResources(UINT start, UINT n,
                                                ID3D10ShaderResourceView** views) override;
    void STDMETHODCALLTYPE VSGetSamplers(UINT start, UINT n, ID3D10SamplerState** samplers) override;
    void STDMETHODCALLTYPE VSGetShader(ID3D10VertexShader** shader) override;
    void STDMETHODCALLTYPE PSGetConstantBuffers(UINT start, UINT n, ID3D10Buffer** buffers) override;
    void STDMETHODCALLTYPE IAGetInputLayout(ID3D10InputLayout** layout) override;
    void STDMETHODCALLTYPE IAGetVertexBuffers(UINT start, UINT n, ID3D10Buffer** buffers, UINT* strides,
                                              UINT* offsets) override;
    void STDMETHODCALLTYPE GSGetShader(ID3D10GeometryShader** shader) override;
    void STDMETHODCALLTYPE IAGetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY* topology) override;
    void STDMETHODCALLTYPE OMGetRenderTargets(UINT n, ID3D10RenderTargetView** views,
                                              ID3D10DepthStencilView** depthStencil) override;
    void STDMETHODCALLTYPE OMGetBlendState(ID3D10BlendState** state, FLOAT factor[4],
                                           UINT* sampleMask) override;
    void STDMETHODCALLTYPE OMGetDepthStencilState(ID3D10DepthStencilState** state, UINT* stencilRef) override;
    void STDMETHODCALLTYPE RSGetState(ID3D10RasterizerState** state) override;
    void STDMETHODCALLTYPE RSGetViewports(UINT* n, D3D10_VIEWPORT* viewports) override;
    void STDMETHODCALLTYPE RSGetScissorRects(UINT* n, D3D10_RECT* rects) override;
    HRESULT STDMETHODCALLTYPE GetDeviceRemovedReason() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetExceptionMode(UINT flags) override;
    UINT STDMETHODCALLTYPE GetExceptionMode() override { return exceptionMode_; }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* size, void* data) override;
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT size, const void* data) override;
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) override;
    void STDMETHODCALLTYPE ClearState() override;
    void STDMETHODCALLTYPE Flush() override {}

    // Creation
    HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D10_BUFFER_DESC* desc,
                                           const D3D10_SUBRESOURCE_DATA* initial,
                                           ID3D10Buffer** out) override;
    HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D10_TEXTURE2D_DESC* desc,
                                              const D3D10_SUBRESOURCE_DATA* initial,
                                              ID3D10Texture2D** out) override;
    HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D10Resource* resource,
                                                       const D3D10_SHADER_RESOURCE_VIEW_DESC* desc,
                                                       ID3D10ShaderResourceView** out) override;
    HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D10Resource* resource,
                                                     const D3D10_RENDER_TARGET_VIEW_DESC* desc,
                                                     ID3D10RenderTargetView** out) override;
    HRESULT STDMETHODCALLTYPE CreateDepthStencilView(ID3D10Resource* resource,
                                                     const D3D10_DEPTH_STENCIL_VIEW_DESC* desc,
                                                     ID3D10DepthStencilView** out) override;
    HRESULT STDMETHODCALLTYPE CreateInputLayout(const D3D10_INPUT_ELEMENT_DESC* elements, UINT count,
                                                const void* signature, SIZE_T bytes,
                                                ID3D10InputLayout** out) override;
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* code, SIZE_T bytes,
                                                 ID3D10VertexShader** out) override;
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* code, SIZE_T bytes,
                                                ID3D10PixelShader** out) override;
    HRESULT STDMETHODCALLTYPE CreateBlendState(const D3D10_BLEND_DESC* desc, ID3D10BlendState** out) override;
    HRESULT STDMETHODCALLTYPE CreateDepthStencilState(const D3D10_DEPTH_STENCIL_DESC* desc,
                                                      ID3D10DepthStencilState** out) override;
    HRESULT STDMETHODCALLTYPE CreateRasterizerState(const D3D10_RASTERIZER_DESC* desc,
                                                    ID3D10RasterizerState** out) override;
    HRESULT STDMETHODCALLTYPE CreateSamplerState(const D3D10_SAMPLER_DESC* desc,
                                                 ID3D10SamplerState** out) override;
    UINT STDMETHODCALLTYPE GetCreationFlags() override { return flags_; }

    // Extensions for tests and benchmarks (software_device.h).
    void setThreads(unsigned threads);
    unsigned threads() const { return pool_->threads(); }
    WorkerPool& workers() { return *pool_; }
    const ChunkDealer& chunkDealer() const { return *dealer_; }
    CoverageCache& coverageCache() { return cache_; }
    VertexStageCache& vertexStageCache() { return vertices_; }
    // The instruction set of the specialised pixel routines (forgets the routines built so far).
    void setIsa(Isa isa);
    Isa isa() const { return isa_; }
    RoutineCache& routineCache() { return routines_; }
    // Whether newly rasterised coverage is shaded by the interpreter (the reference the specialised
    // routines are tested against) rather than by the routine, which also keeps what it read for replays.
    void setInterpretNewCoverage(bool interpret) { interpretNewCoverage_ = interpret; }

private:
    explicit Device(UINT flags);
    ~Device();

    struct Stage {
        Bound<Buffer> constants[isa::kConstantBufferSlots];
        Bound<ShaderResourceView> views[isa::kResourceSlots];
        Bound<SamplerState> samplers[isa::kSamplerSlots];
    };
    void setConstantBuffers(Stage& stage, UINT start, UINT n, ID3D10Buffer* const* buffers);
    void setShaderResources(Stage& stage, UINT start, UINT n, ID3D10ShaderResourceView* const* views);
    void setSamplers(Stage& stage, UINT start, UINT n, ID3D10SamplerState* const* samplers);
    void getConstantBuffers(const Stage& stage, UINT start, UINT n, ID3D10Buffer** buffers);

    // Gathers a stage's bindings in the form the VM reads.
    struct StageBindings {
        ConstantData constants[isa::kConstantBufferSlots];
        std::vector<SampledTexture> textures;
        std::vector<SamplerSettings> samplers;
        ShaderBindings view() const { return {constants, textures.data(), samplers.data()}; }
    };
    void gatherBindings(const Stage& stage, const ShaderProgram& program, StageBindings& out) const;
    bool drawBounds(PixelRect& bounds, Viewport& viewport) const;
    bool buildPixelSetup(const StageBindings& ps, PixelSetup& out) const;
    // Part `part`'s share of shading a draw's built bands: its own band's chunks, then what is left of
    // the others'. A band whose pixels are not each written once (overlapping spans, whose order
    // matters), or whose routine carries values from batch to batch, is shaded whole by its own part.
    void shadeDealt(const PixelRoutine& routine, const PixelSetup& pixel,
                    const std::vector<CoverageBand>& bands, ShadingCache& shading, bool eachPixelOnce,
                    unsigned part);

    std::atomic<ULONG> refs_{1};
    UINT flags_;
    UINT exceptionMode_ = 0;
    std::unique_ptr<WorkerPool> pool_;
    std::unique_ptr<ChunkDealer> dealer_;
    CoverageCache cache_;
    RoutineCache routines_;
    VertexStageCache vertices_;
    Isa isa_ = DefaultIsa();
    bool interpretNewCoverage_ = false;
    // A draw's working state, kept between draws so that a replayed draw allocates nothing.
    StageBindings vsb_, psb_;
    PixelSetup pixel_;
    std::vector<uint32_t> sources_; // the vertex outputs the pixel stage can read, as register * 4 + c
    CoverageKey key_;

    // Input assembler
    Bound<InputLayout> inputLayout_;
    Bound<Buffer> vertexBuffers_[D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT];
    UINT strides_[D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
    UINT offsets_[D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
    D3D10_PRIMITIVE_TOPOLOGY topology_ = D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED;
    // Shaders
    Bound<VertexShader> vertexShader_;
    Bound<PixelShader> pixelShader_;
    Stage vs_, ps_;
    // Rasterizer
    Bound<RasterizerState> rasterizer_;
    D3D10_VIEWPORT viewports_[D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE] = {};
    UINT viewportCount_ = 0;
    D3D10_RECT scissors_[D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE] = {};
    UINT scissorCount_ = 0;
    // Output merger
    Bound<BlendState> blend_;
    FLOAT blendFactor_[4] = {1, 1, 1, 1};
    UINT sampleMask_ = 0xFFFFFFFF;
    Bound<DepthStencilState> depthStencil_;
    UINT stencilRef_ = 0;
    Bound<RenderTargetView> renderTargets_[D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT];
    Bound<DepthStencilView> depthStencilView_;

    PrivateDataStore private_;
};

} // namespace platform::d3d10
