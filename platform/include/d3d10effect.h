// The Direct3D 10 effect framework: effects, techniques, passes and typed variable views, with the
// real names, values and signatures.
//
// As on Windows, only ID3D10Effect is reference counted. Techniques, passes, variables and types live
// as long as their effect; a lookup that finds nothing (an unknown name, an index out of range, a view
// of the wrong type) returns a valid pointer to an object whose IsValid() is FALSE and whose setters
// fail with E_FAIL, so calls can be chained without null checks.
#pragma once

#include "d3d10.h"

// Shader variable classes and types (d3d10shader.h on Windows).
typedef enum D3D10_SHADER_VARIABLE_CLASS {
    D3D10_SVC_SCALAR = 0,
    D3D10_SVC_VECTOR = 1,
    D3D10_SVC_MATRIX_ROWS = 2,
    D3D10_SVC_MATRIX_COLUMNS = 3,
    D3D10_SVC_OBJECT = 4,
    D3D10_SVC_STRUCT = 5
} D3D10_SHADER_VARIABLE_CLASS;

typedef enum D3D10_SHADER_VARIABLE_TYPE {
    D3D10_SVT_VOID = 0,
    D3D10_SVT_BOOL = 1,
    D3D10_SVT_INT = 2,
    D3D10_SVT_FLOAT = 3,
    D3D10_SVT_STRING = 4,
    D3D10_SVT_TEXTURE = 5,
    D3D10_SVT_TEXTURE1D = 6,
    D3D10_SVT_TEXTURE2D = 7,
    D3D10_SVT_TEXTURE3D = 8,
    D3D10_SVT_TEXTURECUBE = 9,
    D3D10_SVT_SAMPLER = 10,
    D3D10_SVT_PIXELSHADER = 15,
    D3D10_SVT_VERTEXSHADER = 16,
    D3D10_SVT_UINT = 19,
    D3D10_SVT_UINT8 = 20,
    D3D10_SVT_GEOMETRYSHADER = 21,
    D3D10_SVT_RASTERIZER = 22,
    D3D10_SVT_DEPTHSTENCIL = 23,
    D3D10_SVT_BLEND = 24,
    D3D10_SVT_BUFFER = 25,
    D3D10_SVT_CBUFFER = 26,
    D3D10_SVT_TBUFFER = 27,
    D3D10_SVT_TEXTURE1DARRAY = 28,
    D3D10_SVT_TEXTURE2DARRAY = 29,
    D3D10_SVT_RENDERTARGETVIEW = 30,
    D3D10_SVT_DEPTHSTENCILVIEW = 31,
    D3D10_SVT_TEXTURE2DMS = 32,
    D3D10_SVT_TEXTURE2DMSARRAY = 33,
    D3D10_SVT_TEXTURECUBEARRAY = 34
} D3D10_SHADER_VARIABLE_TYPE;

#define D3D10_EFFECT_COMPILE_CHILD_EFFECT (1 << 0)
#define D3D10_EFFECT_COMPILE_ALLOW_SLOW_OPS (1 << 1)
#define D3D10_EFFECT_SINGLE_THREADED (1 << 3)

#define D3D10_EFFECT_VARIABLE_POOLED (1 << 0)
#define D3D10_EFFECT_VARIABLE_ANNOTATION (1 << 1)
#define D3D10_EFFECT_VARIABLE_EXPLICIT_BIND_POINT (1 << 2)

typedef struct D3D10_EFFECT_DESC {
    BOOL IsChildEffect;
    UINT ConstantBuffers;
    UINT SharedConstantBuffers;
    UINT GlobalVariables;
    UINT SharedGlobalVariables;
    UINT Techniques;
} D3D10_EFFECT_DESC;

typedef struct D3D10_EFFECT_TYPE_DESC {
    LPCSTR TypeName;
    D3D10_SHADER_VARIABLE_CLASS Class;
    D3D10_SHADER_VARIABLE_TYPE Type;
    UINT Elements;
    UINT Members;
    UINT Rows;
    UINT Columns;
    UINT PackedSize;
    UINT UnpackedSize;
    UINT Stride;
} D3D10_EFFECT_TYPE_DESC;

typedef struct D3D10_EFFECT_VARIABLE_DESC {
    LPCSTR Name;
    LPCSTR Semantic;
    UINT Flags;
    UINT Annotations;
    UINT BufferOffset;
    UINT ExplicitBindPoint;
} D3D10_EFFECT_VARIABLE_DESC;

typedef struct D3D10_TECHNIQUE_DESC {
    LPCSTR Name;
    UINT Passes;
    UINT Annotations;
} D3D10_TECHNIQUE_DESC;

typedef struct D3D10_PASS_DESC {
    LPCSTR Name;
    UINT Annotations;
    BYTE* pIAInputSignature;
    SIZE_T IAInputSignatureSize;
    UINT StencilRef;
    UINT SampleMask;
    FLOAT BlendFactor[4];
} D3D10_PASS_DESC;

struct ID3D10EffectShaderVariable;

typedef struct D3D10_PASS_SHADER_DESC {
    ID3D10EffectShaderVariable* pShaderVariable;
    UINT ShaderIndex;
} D3D10_PASS_SHADER_DESC;

typedef struct D3D10_EFFECT_SHADER_DESC {
    const BYTE* pInputSignature;
    BOOL IsInline;
    const BYTE* pBytecode;
    UINT BytecodeLength;
    LPCSTR SODecl;
    UINT NumInputSignatureEntries;
    UINT NumOutputSignatureEntries;
} D3D10_EFFECT_SHADER_DESC;

// Which pipeline state a pass or technique touches.
typedef struct D3D10_STATE_BLOCK_MASK {
    BYTE VS;
    BYTE VSSamplers[2];
    BYTE VSShaderResources[16];
    BYTE VSConstantBuffers[2];
    BYTE GS;
    BYTE GSSamplers[2];
    BYTE GSShaderResources[16];
    BYTE GSConstantBuffers[2];
    BYTE PS;
    BYTE PSSamplers[2];
    BYTE PSShaderResources[16];
    BYTE PSConstantBuffers[2];
    BYTE IAVertexBuffers[2];
    BYTE IAIndexBuffer;
    BYTE IAInputLayout;
    BYTE IAPrimitiveTopology;
    BYTE OMRenderTargets;
    BYTE OMDepthStencilState;
    BYTE OMBlendState;
    BYTE RSViewports;
    BYTE RSScissorRects;
    BYTE RSRasterizerState;
    BYTE SOBuffers;
    BYTE Predication;
} D3D10_STATE_BLOCK_MASK;

struct ID3D10EffectConstantBuffer;
struct ID3D10EffectScalarVariable;
struct ID3D10EffectVectorVariable;
struct ID3D10EffectMatrixVariable;
struct ID3D10EffectStringVariable;
struct ID3D10EffectShaderResourceVariable;
struct ID3D10EffectRenderTargetViewVariable;
struct ID3D10EffectDepthStencilViewVariable;
struct ID3D10EffectBlendVariable;
struct ID3D10EffectDepthStencilVariable;
struct ID3D10EffectRasterizerVariable;
struct ID3D10EffectSamplerVariable;

struct ID3D10EffectType {
    virtual BOOL STDMETHODCALLTYPE IsValid() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDesc(D3D10_EFFECT_TYPE_DESC* pDesc) = 0;
    virtual ID3D10EffectType* STDMETHODCALLTYPE GetMemberTypeByIndex(UINT Index) = 0;
    virtual ID3D10EffectType* STDMETHODCALLTYPE GetMemberTypeByName(LPCSTR Name) = 0;
    virtual ID3D10EffectType* STDMETHODCALLTYPE GetMemberTypeBySemantic(LPCSTR Semantic) = 0;
    virtual LPCSTR STDMETHODCALLTYPE GetMemberName(UINT Index) = 0;
    virtual LPCSTR STDMETHODCALLTYPE GetMemberSemantic(UINT Index) = 0;

protected:
    ~ID3D10EffectType() = default;
};

struct ID3D10EffectVariable {
    virtual BOOL STDMETHODCALLTYPE IsValid() = 0;
    virtual ID3D10EffectType* STDMETHODCALLTYPE GetType() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDesc(D3D10_EFFECT_VARIABLE_DESC* pDesc) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByIndex(UINT Index) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByName(LPCSTR Name) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetMemberByIndex(UINT Index) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetMemberByName(LPCSTR Name) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetMemberBySemantic(LPCSTR Semantic) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetElement(UINT Index) = 0;
    virtual ID3D10EffectConstantBuffer* STDMETHODCALLTYPE GetParentConstantBuffer() = 0;
    virtual ID3D10EffectScalarVariable* STDMETHODCALLTYPE AsScalar() = 0;
    virtual ID3D10EffectVectorVariable* STDMETHODCALLTYPE AsVector() = 0;
    virtual ID3D10EffectMatrixVariable* STDMETHODCALLTYPE AsMatrix() = 0;
    virtual ID3D10EffectStringVariable* STDMETHODCALLTYPE AsString() = 0;
    virtual ID3D10EffectShaderResourceVariable* STDMETHODCALLTYPE AsShaderResource() = 0;
    virtual ID3D10EffectRenderTargetViewVariable* STDMETHODCALLTYPE AsRenderTargetView() = 0;
    virtual ID3D10EffectDepthStencilViewVariable* STDMETHODCALLTYPE AsDepthStencilView() = 0;
    virtual ID3D10EffectConstantBuffer* STDMETHODCALLTYPE AsConstantBuffer() = 0;
    virtual ID3D10EffectShaderVariable* STDMETHODCALLTYPE AsShader() = 0;
    virtual ID3D10EffectBlendVariable* STDMETHODCALLTYPE AsBlend() = 0;
    virtual ID3D10EffectDepthStencilVariable* STDMETHODCALLTYPE AsDepthStencil() = 0;
    virtual ID3D10EffectRasterizerVariable* STDMETHODCALLTYPE AsRasterizer() = 0;
    virtual ID3D10EffectSamplerVariable* STDMETHODCALLTYPE AsSampler() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRawValue(void* pData, UINT ByteOffset, UINT ByteCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRawValue(void* pData, UINT ByteOffset, UINT ByteCount) = 0;

protected:
    ~ID3D10EffectVariable() = default;
};

struct ID3D10EffectScalarVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE SetFloat(float Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFloat(float* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFloatArray(float* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFloatArray(float* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInt(int Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInt(int* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIntArray(int* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIntArray(int* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBool(BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBool(BOOL* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBoolArray(BOOL* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBoolArray(BOOL* pData, UINT Offset, UINT Count) = 0;

protected:
    ~ID3D10EffectScalarVariable() = default;
};

struct ID3D10EffectVectorVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE SetBoolVector(BOOL* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIntVector(int* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFloatVector(float* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBoolVector(BOOL* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIntVector(int* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFloatVector(float* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBoolVectorArray(BOOL* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIntVectorArray(int* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFloatVectorArray(float* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBoolVectorArray(BOOL* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIntVectorArray(int* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFloatVectorArray(float* pData, UINT Offset, UINT Count) = 0;

protected:
    ~ID3D10EffectVectorVariable() = default;
};

struct ID3D10EffectMatrixVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE SetMatrix(float* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMatrix(float* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMatrixArray(float* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMatrixArray(float* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMatrixTranspose(float* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMatrixTranspose(float* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMatrixTransposeArray(float* pData, UINT Offset, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMatrixTransposeArray(float* pData, UINT Offset, UINT Count) = 0;

protected:
    ~ID3D10EffectMatrixVariable() = default;
};

struct ID3D10EffectStringVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE GetString(LPCSTR* ppString) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringArray(LPCSTR* ppStrings, UINT Offset, UINT Count) = 0;

protected:
    ~ID3D10EffectStringVariable() = default;
};

struct ID3D10EffectShaderResourceVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE SetResource(ID3D10ShaderResourceView* pResource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResource(ID3D10ShaderResourceView** ppResource) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetResourceArray(ID3D10ShaderResourceView** ppResources, UINT Offset,
                                                       UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResourceArray(ID3D10ShaderResourceView** ppResources, UINT Offset,
                                                       UINT Count) = 0;

protected:
    ~ID3D10EffectShaderResourceVariable() = default;
};

struct ID3D10EffectRenderTargetViewVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE SetRenderTarget(ID3D10RenderTargetView* pResource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRenderTarget(ID3D10RenderTargetView** ppResource) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderTargetArray(ID3D10RenderTargetView** ppResources, UINT Offset,
                                                           UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRenderTargetArray(ID3D10RenderTargetView** ppResources, UINT Offset,
                                                           UINT Count) = 0;

protected:
    ~ID3D10EffectRenderTargetViewVariable() = default;
};

struct ID3D10EffectDepthStencilViewVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE SetDepthStencil(ID3D10DepthStencilView* pResource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDepthStencil(ID3D10DepthStencilView** ppResource) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDepthStencilArray(ID3D10DepthStencilView** ppResources, UINT Offset,
                                                           UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDepthStencilArray(ID3D10DepthStencilView** ppResources, UINT Offset,
                                                           UINT Count) = 0;

protected:
    ~ID3D10EffectDepthStencilViewVariable() = default;
};

struct ID3D10EffectConstantBuffer : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE SetConstantBuffer(ID3D10Buffer* pConstantBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConstantBuffer(ID3D10Buffer** ppConstantBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTextureBuffer(ID3D10ShaderResourceView* pTextureBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTextureBuffer(ID3D10ShaderResourceView** ppTextureBuffer) = 0;

protected:
    ~ID3D10EffectConstantBuffer() = default;
};

// The signature description of a shader input or output (d3d10shader.h on Windows).
typedef struct D3D10_SIGNATURE_PARAMETER_DESC D3D10_SIGNATURE_PARAMETER_DESC;

struct ID3D10EffectShaderVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE GetShaderDesc(UINT ShaderIndex, D3D10_EFFECT_SHADER_DESC* pDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVertexShader(UINT ShaderIndex, ID3D10VertexShader** ppVS) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGeometryShader(UINT ShaderIndex, ID3D10GeometryShader** ppGS) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPixelShader(UINT ShaderIndex, ID3D10PixelShader** ppPS) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInputSignatureElementDesc(UINT ShaderIndex, UINT Element,
                                                                   D3D10_SIGNATURE_PARAMETER_DESC* pDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetOutputSignatureElementDesc(UINT ShaderIndex, UINT Element, D3D10_SIGNATURE_PARAMETER_DESC* pDesc) = 0;

protected:
    ~ID3D10EffectShaderVariable() = default;
};

struct ID3D10EffectBlendVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE GetBlendState(UINT Index, ID3D10BlendState** ppBlendState) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBackingStore(UINT Index, D3D10_BLEND_DESC* pBlendDesc) = 0;

protected:
    ~ID3D10EffectBlendVariable() = default;
};

struct ID3D10EffectDepthStencilVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE GetDepthStencilState(UINT Index,
                                                           ID3D10DepthStencilState** ppDepthStencilState) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBackingStore(UINT Index,
                                                      D3D10_DEPTH_STENCIL_DESC* pDepthStencilDesc) = 0;

protected:
    ~ID3D10EffectDepthStencilVariable() = default;
};

struct ID3D10EffectRasterizerVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE GetRasterizerState(UINT Index,
                                                         ID3D10RasterizerState** ppRasterizerState) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBackingStore(UINT Index, D3D10_RASTERIZER_DESC* pRasterizerDesc) = 0;

protected:
    ~ID3D10EffectRasterizerVariable() = default;
};

struct ID3D10EffectSamplerVariable : public ID3D10EffectVariable {
    virtual HRESULT STDMETHODCALLTYPE GetSampler(UINT Index, ID3D10SamplerState** ppSampler) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBackingStore(UINT Index, D3D10_SAMPLER_DESC* pSamplerDesc) = 0;

protected:
    ~ID3D10EffectSamplerVariable() = default;
};

struct ID3D10EffectPass {
    virtual BOOL STDMETHODCALLTYPE IsValid() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDesc(D3D10_PASS_DESC* pDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVertexShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGeometryShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPixelShaderDesc(D3D10_PASS_SHADER_DESC* pDesc) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByIndex(UINT Index) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByName(LPCSTR Name) = 0;
    virtual HRESULT STDMETHODCALLTYPE Apply(UINT Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE ComputeStateBlockMask(D3D10_STATE_BLOCK_MASK* pStateBlockMask) = 0;

protected:
    ~ID3D10EffectPass() = default;
};

struct ID3D10EffectTechnique {
    virtual BOOL STDMETHODCALLTYPE IsValid() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDesc(D3D10_TECHNIQUE_DESC* pDesc) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByIndex(UINT Index) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetAnnotationByName(LPCSTR Name) = 0;
    virtual ID3D10EffectPass* STDMETHODCALLTYPE GetPassByIndex(UINT Index) = 0;
    virtual ID3D10EffectPass* STDMETHODCALLTYPE GetPassByName(LPCSTR Name) = 0;
    virtual HRESULT STDMETHODCALLTYPE ComputeStateBlockMask(D3D10_STATE_BLOCK_MASK* pStateBlockMask) = 0;

protected:
    ~ID3D10EffectTechnique() = default;
};

DEFINE_GUID(IID_ID3D10Effect, 0x51b0ca8b, 0xec0b, 0x4519, 0x87, 0x0d, 0x8e, 0xe1, 0xcb, 0x50, 0x17, 0xc7);
DEFINE_GUID(IID_ID3D10EffectPool, 0x9537ab04, 0x3250, 0x412e, 0x82, 0x13, 0xfc, 0xd2, 0xf8, 0x67, 0x79, 0x33);

struct ID3D10Effect : public IUnknown {
    virtual BOOL STDMETHODCALLTYPE IsValid() = 0;
    virtual BOOL STDMETHODCALLTYPE IsPool() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDevice(ID3D10Device** ppDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDesc(D3D10_EFFECT_DESC* pDesc) = 0;
    virtual ID3D10EffectConstantBuffer* STDMETHODCALLTYPE GetConstantBufferByIndex(UINT Index) = 0;
    virtual ID3D10EffectConstantBuffer* STDMETHODCALLTYPE GetConstantBufferByName(LPCSTR Name) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetVariableByIndex(UINT Index) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetVariableByName(LPCSTR Name) = 0;
    virtual ID3D10EffectVariable* STDMETHODCALLTYPE GetVariableBySemantic(LPCSTR Semantic) = 0;
    virtual ID3D10EffectTechnique* STDMETHODCALLTYPE GetTechniqueByIndex(UINT Index) = 0;
    virtual ID3D10EffectTechnique* STDMETHODCALLTYPE GetTechniqueByName(LPCSTR Name) = 0;
    virtual HRESULT STDMETHODCALLTYPE Optimize() = 0;
    virtual BOOL STDMETHODCALLTYPE IsOptimized() = 0;

protected:
    ~ID3D10Effect() = default;
};

struct ID3D10EffectPool : public IUnknown {
    virtual ID3D10Effect* STDMETHODCALLTYPE AsEffect() = 0;

protected:
    ~ID3D10EffectPool() = default;
};

typedef ID3D10Effect* LPD3D10EFFECT;

// Creates an effect from a compiled effect container. Flags other than 0 and pools are not supported
// (E_NOTIMPL); a malformed container gives E_INVALIDARG and no effect.
STDAPI D3D10CreateEffectFromMemory(void* pData, SIZE_T DataLength, UINT FXFlags, ID3D10Device* pDevice,
                                   ID3D10EffectPool* pEffectPool, ID3D10Effect** ppEffect);
