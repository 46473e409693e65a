// Variables of an effect and their typed views.
//
// One EffectVariable object answers every view interface. The As* methods return this object when
// the variable has the asked-for class (AsScalar: scalar, AsVector: vector, AsMatrix: matrix,
// AsShaderResource: texture, AsSampler: sampler, AsConstantBuffer: constant buffer) and otherwise
// the process-wide invalid variable, whose IsValid() is FALSE and whose setters and getters fail
// with E_FAIL. Views are not reference counted; they live as long as their effect.
//
// Numeric values live in the bytes of their constant buffer, packed as the container says; setters
// convert between float, int and bool as the framework does (TRUE is stored as 1) and mark the
// buffer dirty for the next Apply. Matrices are given and returned row-major (16 floats) and kept in
// the buffer column by column for column-major variables, row by row for row-major ones.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <d3d10effect.h>

#include "platform/d3d10/effect_format.h"
#include "platform/win32/com_ptr.h"

namespace platform::d3d10 {

// The bytes of one constant buffer and the device buffer they are uploaded to.
struct EffectBufferState {
    std::vector<uint8_t> data;
    bool dirty = true;
    ComPtr<ID3D10Buffer> buffer;     // the effect's own buffer
    ComPtr<ID3D10Buffer> userBuffer; // one set with SetConstantBuffer replaces it
    ID3D10Buffer* bound() const { return userBuffer ? userBuffer.get() : buffer.get(); }
};

class EffectType final : public ID3D10EffectType {
public:
    EffectType() = default;
    explicit EffectType(const D3D10_EFFECT_TYPE_DESC& desc) : desc_(desc), valid_(true) {}

    BOOL STDMETHODCALLTYPE IsValid() override { return valid_; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3D10_EFFECT_TYPE_DESC* pDesc) override;
    ID3D10EffectType* STDMETHODCALLTYPE GetMemberTypeByIndex(UINT Index) override;
    ID3D10EffectType* STDMETHODCALLTYPE GetMemberTypeByName(LPCSTR Name) override;
    ID3D10EffectType* STDMETHODCALLTYPE GetMemberTypeBySemantic(LPCSTR Semantic) override;
    LPCSTR STDMETHODCALLTYPE GetMemberName(UINT Index) override;
    LPCSTR STDMETHODCALLTYPE GetMemberSemantic(UINT Index) override;

    static EffectType* Invalid();

private:
    D3D10_EFFECT_TYPE_DESC desc_{};
    bool valid_ = false;
};

class EffectVariable final : public ID3D10EffectScalarVariable,
                             public ID3D10EffectVectorVariable,
                             public ID3D10EffectMatrixVariable,
                             public ID3D10EffectStringVariable,
                             public ID3D10EffectShaderResourceVariable,
                             public ID3D10EffectRenderTargetViewVariable,
                             public ID3D10EffectDepthStencilViewVariable,
                             public ID3D10EffectConstantBuffer,
                             public ID3D10EffectShaderVariable,
                             public ID3D10EffectBlendVariable,
                             public ID3D10EffectDepthStencilVariable,
                             public ID3D10EffectRasterizerVariable,
                             public ID3D10EffectSamplerVariable {
public:
    enum class Kind { Invalid, Numeric, Texture, Sampler, ConstantBuffer };

    // The invalid variable: what every failed lookup returns.
    static EffectVariable* Invalid();

    // A numeric variable stored in `buffer` (whose variable is `parent`).
    static std::unique_ptr<EffectVariable> Numeric(const EffectVariableInfo& info, EffectBufferState* buffer,
                                                   EffectVariable* parent);
    // A texture variable; its views start unbound.
    static std::unique_ptr<EffectVariable> Texture(const EffectVariableInfo& info);
    // A sampler variable over the effect's sampler states (elementCount of them from `first`).
    static std::unique_ptr<EffectVariable> Sampler(const EffectVariableInfo& info,
                                                   ComPtr<ID3D10SamplerState>* states,
                                                   const D3D10_SAMPLER_DESC* descs);
    static std::unique_ptr<EffectVariable> Buffer(const EffectBufferInfo& info, EffectBufferState* state);

    Kind kind() const { return kind_; }
    // A buffer's variables, for GetMemberBy*.
    void addMember(EffectVariable* v) { members_.push_back(v); }
    // What Apply binds for element `element` of an object variable.
    ID3D10ShaderResourceView* resource(uint32_t element) const;
    ID3D10SamplerState* samplerState(uint32_t element) const;
    const std::string& name() const;
    const std::string& semantic() const;
    ID3D10EffectVariable* asVariable() { return static_cast<ID3D10EffectScalarVariable*>(this); }

    // ---- ID3D10EffectVariable ----
    BOOL STDMETHODCALLTYPE IsValid() override { return kind_ != Kind::Invalid; }
    ID3D10EffectType* STDMETHODCALLTYPE GetType() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3D10_EFFECT_VARIABLE_DESC* pDesc) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByIndex(UINT Index) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByName(LPCSTR Name) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetMemberByIndex(UINT Index) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetMemberByName(LPCSTR Name) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetMemberBySemantic(LPCSTR Semantic) override;
    ID3D10EffectVariable* STDMETHODCALLTYPE GetElement(UINT Index) override;
    ID3D10EffectConstantBuffer* STDMETHODCALLTYPE GetParentConstantBuffer() override;
    ID3D10EffectScalarVariable* STDMETHODCALLTYPE AsScalar() override;
    ID3D10EffectVectorVariable* STDMETHODCALLTYPE AsVector() override;
    ID3D10EffectMatrixVariable* STDMETHODCALLTYPE AsMatrix() override;
    ID3D10EffectStringVariable* STDMETHODCALLTYPE AsString() override;
    ID3D10EffectShaderResourceVariable* STDMETHODCALLTYPE AsShaderResource() override;
    ID3D10EffectRenderTargetViewVariable* STDMETHODCALLTYPE AsRenderTargetView() override;
    ID3D10EffectDepthStencilViewVariable* STDMETHODCALLTYPE AsDepthStencilView() override;
    ID3D10EffectConstantBuffer* STDMETHODCALLTYPE AsConstantBuffer() override;
    ID3D10EffectShaderVariable* STDMETHODCALLTYPE AsShader() override;
    ID3D10EffectBlendVariable* STDMETHODCALLTYPE AsBlend() override;
    ID3D10EffectDepthStencilVariable* STDMETHODCALLTYPE AsDepthStencil() override;
    ID3D10EffectRasterizerVariable* STDMETHODCALLTYPE AsRasterizer() override;
    ID3D10EffectSamplerVariable* STDMETHODCALLTYPE AsSampler() override;
    HRESULT STDMETHODCALLTYPE SetRawValue(void* pData, UINT ByteOffset, UINT ByteCount) override;
    HRESULT STDMETHODCALLTYPE GetRawValue(void* pData, UINT ByteOffset, UINT ByteCount) override;

    // ---- scalars ----
    HRESULT STDMETHODCALLTYPE SetFloat(float Value) override;
    HRESULT STDMETHODCALLTYPE GetFloat(float* pValue) override;
    HRESULT STDMETHODCALLTYPE SetFloatArray(float* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetFloatArray(float* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetInt(int Value) override;
    HRESULT STDMETHODCALLTYPE GetInt(int* pValue) override;
    HRESULT STDMETHODCALLTYPE SetIntArray(int* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetIntArray(int* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetBool(BOOL Value) override;
    HRESULT STDMETHODCALLTYPE GetBool(BOOL* pValue) override;
    HRESULT STDMETHODCALLTYPE SetBoolArray(BOOL* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetBoolArray(BOOL* pData, UINT Offset, UINT Count) override;

    // ---- vectors (four components per element in the caller's data) ----
    HRESULT STDMETHODCALLTYPE SetBoolVector(BOOL* pData) override;
    HRESULT STDMETHODCALLTYPE SetIntVector(int* pData) override;
    HRESULT STDMETHODCALLTYPE SetFloatVector(float* pData) override;
    HRESULT STDMETHODCALLTYPE GetBoolVector(BOOL* pData) override;
    HRESULT STDMETHODCALLTYPE GetIntVector(int* pData) override;
    HRESULT STDMETHODCALLTYPE GetFloatVector(float* pData) override;
    HRESULT STDMETHODCALLTYPE SetBoolVectorArray(BOOL* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetIntVectorArray(int* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetFloatVectorArray(float* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetBoolVectorArray(BOOL* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetIntVectorArray(int* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetFloatVectorArray(float* pData, UINT Offset, UINT Count) override;

    // ---- matrices (16 floats per element in the caller's data) ----
    HRESULT STDMETHODCALLTYPE SetMatrix(float* pData) override;
    HRESULT STDMETHODCALLTYPE GetMatrix(float* pData) override;
    HRESULT STDMETHODCALLTYPE SetMatrixArray(float* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetMatrixArray(float* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetMatrixTranspose(float* pData) override;
    HRESULT STDMETHODCALLTYPE GetMatrixTranspose(float* pData) override;
    HRESULT STDMETHODCALLTYPE SetMatrixTransposeArray(float* pData, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetMatrixTransposeArray(float* pData, UINT Offset, UINT Count) override;

    // ---- objects ----
    HRESULT STDMETHODCALLTYPE GetString(LPCSTR* ppString) override;
    HRESULT STDMETHODCALLTYPE GetStringArray(LPCSTR* ppStrings, UINT Offset, UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetResource(ID3D10ShaderResourceView* pResource) override;
    HRESULT STDMETHODCALLTYPE GetResource(ID3D10ShaderResourceView** ppResource) override;
    HRESULT STDMETHODCALLTYPE SetResourceArray(ID3D10ShaderResourceView** ppResources, UINT Offset,
                                               UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetResourceArray(ID3D10ShaderResourceView** ppResources, UINT Offset,
                                               UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetRenderTarget(ID3D10RenderTargetView* pResource) override;
    HRESULT STDMETHODCALLTYPE GetRenderTarget(ID3D10RenderTargetView** ppResource) override;
    HRESULT STDMETHODCALLTYPE SetRenderTargetArray(ID3D10RenderTargetView** ppResources, UINT Offset,
                                                   UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetRenderTargetArray(ID3D10RenderTargetView** ppResources, UINT Offset,
                                                   UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetDepthStencil(ID3D10DepthStencilView* pResource) override;
    HRESULT STDMETHODCALLTYPE GetDepthStencil(ID3D10DepthStencilView** ppResource) override;
    HRESULT STDMETHODCALLTYPE SetDepthStencilArray(ID3D10DepthStencilView** ppResources, UINT Offset,
                                                   UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetDepthStencilArray(ID3D10DepthStencilView** ppResources, UINT Offset,
                                                   UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetConstantBuffer(ID3D10Buffer* pConstantBuffer) override;
    HRESULT STDMETHODCALLTYPE GetConstantBuffer(ID3D10Buffer** ppConstantBuffer) override;
    HRESULT STDMETHODCALLTYPE SetTextureBuffer(ID3D10ShaderResourceView* pTextureBuffer) override;
    HRESULT STDMETHODCALLTYPE GetTextureBuffer(ID3D10ShaderResourceView** ppTextureBuffer) override;
    HRESULT STDMETHODCALLTYPE GetShaderDesc(UINT ShaderIndex, D3D10_EFFECT_SHADER_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetVertexShader(UINT ShaderIndex, ID3D10VertexShader** ppVS) override;
    HRESULT STDMETHODCALLTYPE GetGeometryShader(UINT ShaderIndex, ID3D10GeometryShader** ppGS) override;
    HRESULT STDMETHODCALLTYPE GetPixelShader(UINT ShaderIndex, ID3D10PixelShader** ppPS) override;
    HRESULT STDMETHODCALLTYPE GetInputSignatureElementDesc(UINT ShaderIndex, UINT Element,
                                                           D3D10_SIGNATURE_PARAMETER_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetOutputSignatureElementDesc(UINT ShaderIndex, UINT Element,
                                                            D3D10_SIGNATURE_PARAMETER_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetBlendState(UINT Index, ID3D10BlendState** ppBlendState) override;
    HRESULT STDMETHODCALLTYPE GetBackingStore(UINT Index, D3D10_BLEND_DESC* pBlendDesc) override;
    HRESULT STDMETHODCALLTYPE GetDepthStencilState(UINT Index,
                                                   ID3D10DepthStencilState** ppDepthStencilState) override;
    HRESULT STDMETHODCALLTYPE GetBackingStore(UINT Index,
                                              D3D10_DEPTH_STENCIL_DESC* pDepthStencilDesc) override;
    HRESULT STDMETHODCALLTYPE GetRasterizerState(UINT Index,
                                                 ID3D10RasterizerState** ppRasterizerState) override;
    HRESULT STDMETHODCALLTYPE GetBackingStore(UINT Index, D3D10_RASTERIZER_DESC* pRasterizerDesc) override;
    HRESULT STDMETHODCALLTYPE GetSampler(UINT Index, ID3D10SamplerState** ppSampler) override;
    HRESULT STDMETHODCALLTYPE GetBackingStore(UINT Index, D3D10_SAMPLER_DESC* pSamplerDesc) override;

    EffectVariable() = default;
    ~EffectVariable() = default;
    EffectVariable(const EffectVariable&) = delete;
    EffectVariable& operator=(const EffectVariable&) = delete;

private:
    enum class Source { Float, Int, Bool };
    bool isNumericOf(D3D10_SHADER_VARIABLE_CLASS c) const;
    bool isMatrix() const;
    uint32_t elementCount() const { return elements_ ? elements_ : 1; }
    uint32_t stride() const;
    HRESULT setScalars(const void* data, Source source, UINT offset, UINT count,
                       unsigned componentsPerElement, unsigned sourceStride,
                       D3D10_SHADER_VARIABLE_CLASS needed);
    HRESULT getScalars(void* data, Source target, UINT offset, UINT count, unsigned componentsPerElement,
                       unsigned targetStride, D3D10_SHADER_VARIABLE_CLASS needed);
    HRESULT setMatrices(const float* data, UINT offset, UINT count, bool transposed);
    HRESULT getMatrices(float* data, UINT offset, UINT count, bool transposed);
    void updateType();

    Kind kind_ = Kind::Invalid;
    const EffectVariableInfo* info_ = nullptr;     // numeric and object variables
    const EffectBufferInfo* bufferInfo_ = nullptr; // constant buffers
    EffectBufferState* buffer_ = nullptr;          // where numeric values live
    EffectVariable* parentBuffer_ = nullptr;
    uint32_t offset_ = 0;   // byte offset of this view in its buffer
    uint32_t elements_ = 0; // 0 when not an array (element views are not arrays)
    uint32_t firstElement_ = 0;
    std::shared_ptr<std::vector<ComPtr<ID3D10ShaderResourceView>>> resources_; // shared with element views
    ComPtr<ID3D10SamplerState>* samplerStates_ = nullptr;
    const D3D10_SAMPLER_DESC* samplerDescs_ = nullptr;
    std::vector<EffectVariable*> members_;
    std::vector<std::unique_ptr<EffectVariable>> elementViews_; // made on first GetElement
    EffectType type_;
};

} // namespace platform::d3d10
