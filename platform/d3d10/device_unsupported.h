// The part of ID3D10Device that this system never calls and the software device does not build: index
// buffers and instanced or automatic draws, the geometry-shader and stream-output stages, predication,
// queries and counters, 1-D and 3-D textures, mipmap generation, multisample resolve, sub-resource
// copies, shared resources and the format-support queries. The device derives from this class, so its
// method table is Direct3D 10's whole table.
//
// Methods that return a code answer E_NOTIMPL and empty their out parameters; setters and draws change
// nothing (a FIXME trace on the "d3d10" channel says so); getters give what an unbuilt stage holds:
// nothing.
#pragma once

#include <d3d10.h>

namespace platform::d3d10 {

class DeviceUnsupported : public ID3D10Device {
public:
    void STDMETHODCALLTYPE DrawIndexed(UINT, UINT, INT) final;
    void STDMETHODCALLTYPE IASetIndexBuffer(ID3D10Buffer*, DXGI_FORMAT, UINT) final;
    void STDMETHODCALLTYPE DrawIndexedInstanced(UINT, UINT, UINT, INT, UINT) final;
    void STDMETHODCALLTYPE DrawInstanced(UINT, UINT, UINT, UINT) final;
    void STDMETHODCALLTYPE GSSetConstantBuffers(UINT, UINT, ID3D10Buffer* const*) final;
    void STDMETHODCALLTYPE SetPredication(ID3D10Predicate*, BOOL) final;
    void STDMETHODCALLTYPE GSSetShaderResources(UINT, UINT, ID3D10ShaderResourceView* const*) final;
    void STDMETHODCALLTYPE GSSetSamplers(UINT, UINT, ID3D10SamplerState* const*) final;
    void STDMETHODCALLTYPE SOSetTargets(UINT, ID3D10Buffer* const*, const UINT*) final;
    void STDMETHODCALLTYPE DrawAuto() final;
    void STDMETHODCALLTYPE CopySubresourceRegion(ID3D10Resource*, UINT, UINT, UINT, UINT, ID3D10Resource*,
                                                 UINT, const D3D10_BOX*) final;
    void STDMETHODCALLTYPE GenerateMips(ID3D10ShaderResourceView*) final;
    void STDMETHODCALLTYPE ResolveSubresource(ID3D10Resource*, UINT, ID3D10Resource*, UINT,
                                              DXGI_FORMAT) final;
    void STDMETHODCALLTYPE IAGetIndexBuffer(ID3D10Buffer** buffer, DXGI_FORMAT* format, UINT* offset) final;
    void STDMETHODCALLTYPE GSGetConstantBuffers(UINT start, UINT n, ID3D10Buffer** buffers) final;
    void STDMETHODCALLTYPE GetPredication(ID3D10Predicate** predicate, BOOL* value) final;
    void STDMETHODCALLTYPE GSGetShaderResources(UINT start, UINT n, ID3D10ShaderResourceView** views) final;
    void STDMETHODCALLTYPE GSGetSamplers(UINT start, UINT n, ID3D10SamplerState** samplers) final;
    void STDMETHODCALLTYPE SOGetTargets(UINT n, ID3D10Buffer** buffers, UINT* offsets) final;
    HRESULT STDMETHODCALLTYPE CreateTexture1D(const D3D10_TEXTURE1D_DESC*, const D3D10_SUBRESOURCE_DATA*,
                                              ID3D10Texture1D** out) final;
    HRESULT STDMETHODCALLTYPE CreateTexture3D(const D3D10_TEXTURE3D_DESC*, const D3D10_SUBRESOURCE_DATA*,
                                              ID3D10Texture3D** out) final;
    HRESULT STDMETHODCALLTYPE CreateGeometryShader(const void*, SIZE_T, ID3D10GeometryShader** out) final;
    HRESULT STDMETHODCALLTYPE CreateGeometryShaderWithStreamOutput(const void*, SIZE_T,
                                                                   const D3D10_SO_DECLARATION_ENTRY*, UINT,
                                                                   UINT, ID3D10GeometryShader** out) final;
    HRESULT STDMETHODCALLTYPE CreateQuery(const D3D10_QUERY_DESC*, ID3D10Query** out) final;
    HRESULT STDMETHODCALLTYPE CreatePredicate(const D3D10_QUERY_DESC*, ID3D10Predicate** out) final;
    HRESULT STDMETHODCALLTYPE CreateCounter(const D3D10_COUNTER_DESC*, ID3D10Counter** out) final;
    HRESULT STDMETHODCALLTYPE CheckFormatSupport(DXGI_FORMAT, UINT* support) final;
    HRESULT STDMETHODCALLTYPE CheckMultisampleQualityLevels(DXGI_FORMAT, UINT, UINT* levels) final;
    void STDMETHODCALLTYPE CheckCounterInfo(D3D10_COUNTER_INFO* info) final;
    HRESULT STDMETHODCALLTYPE CheckCounter(const D3D10_COUNTER_DESC*, D3D10_COUNTER_TYPE* type, UINT* active,
                                           LPSTR name, UINT* nameLength, LPSTR units, UINT* unitsLength,
                                           LPSTR description, UINT* descriptionLength) final;
    HRESULT STDMETHODCALLTYPE OpenSharedResource(HANDLE, REFIID, void** out) final;
    void STDMETHODCALLTYPE SetTextFilterSize(UINT, UINT) final;
    void STDMETHODCALLTYPE GetTextFilterSize(UINT* width, UINT* height) final;

protected:
    ~DeviceUnsupported() = default;
};

} // namespace platform::d3d10
