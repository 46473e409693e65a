#include "platform/d3d10/device_unsupported.h"

#include "platform/win32/debug.h"

namespace platform::d3d10 {

namespace {

template <class T>
void clear(T* out) {
    if (out) *out = T{};
}

template <class T>
void clearArray(T* out, UINT n) {
    if (out)
        for (UINT i = 0; i < n; ++i) out[i] = T{};
}

template <class T>
HRESULT notBuilt(T** out, const char* what) {
    clear(out);
    FIXME("d3d10", "%s are not supported", what);
    return E_NOTIMPL;
}

} // namespace

void DeviceUnsupported::DrawIndexed(UINT, UINT, INT) {
    FIXME("d3d10", "indexed draws are not supported");
}
void DeviceUnsupported::IASetIndexBuffer(ID3D10Buffer*, DXGI_FORMAT, UINT) {
    FIXME("d3d10", "index buffers are not supported");
}
void DeviceUnsupported::DrawIndexedInstanced(UINT, UINT, UINT, INT, UINT) {
    FIXME("d3d10", "instanced draws are not supported");
}
void DeviceUnsupported::DrawInstanced(UINT, UINT, UINT, UINT) {
    FIXME("d3d10", "instanced draws are not supported");
}
void DeviceUnsupported::GSSetConstantBuffers(UINT, UINT, ID3D10Buffer* const*) {
    FIXME("d3d10", "geometry shaders are not supported");
}
void DeviceUnsupported::SetPredication(ID3D10Predicate*, BOOL) {
    FIXME("d3d10", "predication is not supported");
}
void DeviceUnsupported::GSSetShaderResources(UINT, UINT, ID3D10ShaderResourceView* const*) {
    FIXME("d3d10", "geometry shaders are not supported");
}
void DeviceUnsupported::GSSetSamplers(UINT, UINT, ID3D10SamplerState* const*) {
    FIXME("d3d10", "geometry shaders are not supported");
}
void DeviceUnsupported::SOSetTargets(UINT, ID3D10Buffer* const*, const UINT*) {
    FIXME("d3d10", "stream output is not supported");
}
void DeviceUnsupported::DrawAuto() {
    FIXME("d3d10", "stream output is not supported");
}
void DeviceUnsupported::CopySubresourceRegion(ID3D10Resource*, UINT, UINT, UINT, UINT, ID3D10Resource*, UINT,
                                              const D3D10_BOX*) {
    FIXME("d3d10", "sub-resource copies are not supported");
}
void DeviceUnsupported::GenerateMips(ID3D10ShaderResourceView*) {
    FIXME("d3d10", "mipmap generation is not supported");
}
void DeviceUnsupported::ResolveSubresource(ID3D10Resource*, UINT, ID3D10Resource*, UINT, DXGI_FORMAT) {
    FIXME("d3d10", "multisample resolve is not supported");
}

void DeviceUnsupported::IAGetIndexBuffer(ID3D10Buffer** buffer, DXGI_FORMAT* format, UINT* offset) {
    clear(buffer);
    clear(format);
    clear(offset);
}
void DeviceUnsupported::GSGetConstantBuffers(UINT, UINT n, ID3D10Buffer** buffers) {
    clearArray(buffers, n);
}
void DeviceUnsupported::GetPredication(ID3D10Predicate** predicate, BOOL* value) {
    clear(predicate);
    clear(value);
}
void DeviceUnsupported::GSGetShaderResources(UINT, UINT n, ID3D10ShaderResourceView** views) {
    clearArray(views, n);
}
void DeviceUnsupported::GSGetSamplers(UINT, UINT n, ID3D10SamplerState** samplers) {
    clearArray(samplers, n);
}
void DeviceUnsupported::SOGetTargets(UINT n, ID3D10Buffer** buffers, UINT* offsets) {
    clearArray(buffers, n);
    clearArray(offsets, n);
}

HRESULT DeviceUnsupported::CreateTexture1D(const D3D10_TEXTURE1D_DESC*, const D3D10_SUBRESOURCE_DATA*,
                                           ID3D10Texture1D** out) {
    return notBuilt(out, "1-D textures");
}
HRESULT DeviceUnsupported::CreateTexture3D(const D3D10_TEXTURE3D_DESC*, const D3D10_SUBRESOURCE_DATA*,
                                           ID3D10Texture3D** out) {
    return notBuilt(out, "3-D textures");
}
HRESULT DeviceUnsupported::CreateGeometryShader(const void*, SIZE_T, ID3D10GeometryShader** out) {
    return notBuilt(out, "geometry shaders");
}
HRESULT DeviceUnsupported::CreateGeometryShaderWithStreamOutput(const void*, SIZE_T,
                                                                const D3D10_SO_DECLARATION_ENTRY*, UINT, UINT,
                                                                ID3D10GeometryShader** out) {
    return notBuilt(out, "geometry shaders");
}
HRESULT DeviceUnsupported::CreateQuery(const D3D10_QUERY_DESC*, ID3D10Query** out) {
    return notBuilt(out, "queries");
}
HRESULT DeviceUnsupported::CreatePredicate(const D3D10_QUERY_DESC*, ID3D10Predicate** out) {
    return notBuilt(out, "predicates");
}
HRESULT DeviceUnsupported::CreateCounter(const D3D10_COUNTER_DESC*, ID3D10Counter** out) {
    return notBuilt(out, "counters");
}
HRESULT DeviceUnsupported::CheckFormatSupport(DXGI_FORMAT, UINT* support) {
    clear(support);
    return E_NOTIMPL;
}
HRESULT DeviceUnsupported::CheckMultisampleQualityLevels(DXGI_FORMAT, UINT, UINT* levels) {
    clear(levels);
    return E_NOTIMPL;
}
void DeviceUnsupported::CheckCounterInfo(D3D10_COUNTER_INFO* info) {
    clear(info);
}
HRESULT DeviceUnsupported::CheckCounter(const D3D10_COUNTER_DESC*, D3D10_COUNTER_TYPE* type, UINT* active,
                                        LPSTR, UINT* nameLength, LPSTR, UINT* unitsLength, LPSTR,
                                        UINT* descriptionLength) {
    clear(type);
    clear(active);
    clear(nameLength);
    clear(unitsLength);
    clear(descriptionLength);
    return E_NOTIMPL;
}
HRESULT DeviceUnsupported::OpenSharedResource(HANDLE, REFIID, void** out) {
    return notBuilt(out, "shared resources");
}
void DeviceUnsupported::SetTextFilterSize(UINT, UINT) {}
void DeviceUnsupported::GetTextFilterSize(UINT* width, UINT* height) {
    clear(width);
    clear(height);
}

} // namespace platform::d3d10
