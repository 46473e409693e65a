#include "platform/d3d10/effect_variable.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>

namespace platform::d3d10 {

// ---- types ----

HRESULT EffectType::GetDesc(D3D10_EFFECT_TYPE_DESC* pDesc) {
    if (!valid_) return E_FAIL;
    if (!pDesc) return E_INVALIDARG;
    *pDesc = desc_;
    return S_OK;
}
ID3D10EffectType* EffectType::GetMemberTypeByIndex(UINT) {
    return Invalid();
}
ID3D10EffectType* EffectType::GetMemberTypeByName(LPCSTR) {
    return Invalid();
}
ID3D10EffectType* EffectType::GetMemberTypeBySemantic(LPCSTR) {
    return Invalid();
}
LPCSTR EffectType::GetMemberName(UINT) {
    return nullptr;
}
LPCSTR EffectType::GetMemberSemantic(UINT) {
    return nullptr;
}

EffectType* EffectType::Invalid() {
    static EffectType invalid;
    return &invalid;
}

// ---- construction ----

namespace {

const std::string kEmpty;

float bitsFloat(uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
uint32_t floatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// float -> int as the conversion the framework makes, without undefined behaviour for NaN or
// values beyond the range of int.
int32_t toInt(float f) {
    if (!(f == f)) return 0;
    if (f >= 2147483648.0f) return INT32_MAX;
    if (f <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(f);
}

} // namespace

EffectVariable* EffectVariable::Invalid() {
    static EffectVariable invalid;
    return &invalid;
}

std::unique_ptr<EffectVariable> EffectVariable::Numeric(const EffectVariableInfo& info,
                                                        EffectBufferState* buffer, EffectVariable* parent) {
    auto v = std::make_unique<EffectVariable>();
    v->kind_ = Kind::Numeric;
    v->info_ = &info;
    v->buffer_ = buffer;
    v->parentBuffer_ = parent;
    v->offset_ = info.offset;
    v->elements_ = info.elements;
    v->updateType();
    return v;
}

std::unique_ptr<EffectVariable> EffectVariable::Texture(const EffectVariableInfo& info) {
    auto v = std::make_unique<EffectVariable>();
    v->kind_ = Kind::Texture;
    v->info_ = &info;
    v->elements_ = info.elements;
    v->resources_ = std::make_shared<std::vector<ComPtr<ID3D10ShaderResourceView>>>(info.elementCount());
    v->updateType();
    return v;
}

std::unique_ptr<EffectVariable> EffectVariable::Sampler(const EffectVariableInfo& info,
                                                        ComPtr<ID3D10SamplerState>* states,
                                                        const D3D10_SAMPLER_DESC* descs) {
    auto v = std::make_unique<EffectVariable>();
    v->kind_ = Kind::Sampler;
    v->info_ = &info;
    v->elements_ = info.elements;
    v->samplerStates_ = states;
    v->samplerDescs_ = descs;
    v->updateType();
    return v;
}

std::unique_ptr<EffectVariable> EffectVariable::Buffer(const EffectBufferInfo& info,
                                                       EffectBufferState* state) {
    auto v = std::make_unique<EffectVariable>();
    v->kind_ = Kind::ConstantBuffer;
    v->bufferInfo_ = &info;
    v->buffer_ = state;
    v->updateType();
    return v;
}

void EffectVariable::updateType() {
    D3D10_EFFECT_TYPE_DESC d{};
    switch (kind_) {
    case Kind::Numeric:
        d.TypeName = info_->typeName.c_str();
        d.Class = info_->varClass;
        d.Type = info_->varType;
        d.Elements = elements_;
        d.Rows = info_->rows;
        d.Columns = info_->columns;
        d.PackedSize = info_->rows * info_->columns * 4 * elementCount();
        d.UnpackedSize = EffectPackedSize(info_->varClass, info_->rows, info_->columns, elements_);
        d.Stride = stride();
        break;
    case Kind::Texture:
    case Kind::Sampler:
        d.TypeName = info_->typeName.c_str();
        d.Class = D3D10_SVC_OBJECT;
        d.Type = info_->varType;
        d.Elements = elements_;
        break;
    case Kind::ConstantBuffer:
        d.TypeName = "cbuffer";
        d.Class = D3D10_SVC_OBJECT;
        d.Type = D3D10_SVT_CBUFFER;
        d.Members = bufferInfo_->variableCount;
        d.PackedSize = d.UnpackedSize = bufferInfo_->size;
        break;
    case Kind::Invalid:
        return;
    }
    type_ = EffectType(d);
}

// ---- helpers ----

const std::string& EffectVariable::name() const {
    if (info_) return info_->name;
    if (bufferInfo_) return bufferInfo_->name;
    return kEmpty;
}

const std::string& EffectVariable::semantic() const {
    return info_ ? info_->semantic : kEmpty;
}

bool EffectVariable::isNumericOf(D3D10_SHADER_VARIABLE_CLASS c) const {
    return kind_ == Kind::Numeric && info_->varClass == c;
}

bool EffectVariable::isMatrix() const {
    return kind_ == Kind::Numeric &&
           (info_->varClass == D3D10_SVC_MATRIX_COLUMNS || info_->varClass == D3D10_SVC_MATRIX_ROWS);
}

uint32_t EffectVariable::stride() const {
    return kind_ == Kind::Numeric ? EffectElementStride(info_->varClass, info_->rows, info_->columns) : 0;
}

ID3D10ShaderResourceView* EffectVariable::resource(uint32_t element) const {
    if (kind_ != Kind::Texture || firstElement_ + element >= resources_->size()) return nullptr;
    return (*resources_)[firstElement_ + element].get();
}

ID3D10SamplerState* EffectVariable::samplerState(uint32_t element) const {
    if (kind_ != Kind::Sampler || element >= elementCount()) return nullptr;
    return samplerStates_[firstElement_ + element].get();
}

namespace {

// Stores a value of the caller's type in a variable of type `t`, as the framework converts it.
uint32_t storeValue(D3D10_SHADER_VARIABLE_TYPE t, int source, const void* data, size_t i) {
    float f = 0;
    int32_t n = 0;
    bool isFloat = source == 0;
    if (isFloat)
        f = static_cast<const float*>(data)[i];
    else if (source == 1)
        n = static_cast<const int*>(data)[i];
    else
        n = static_cast<const BOOL*>(data)[i] != 0;
    switch (t) {
    case D3D10_SVT_FLOAT:
        return floatBits(isFloat ? f : static_cast<float>(n));
    case D3D10_SVT_BOOL:
        return (isFloat ? f != 0.0f : n != 0) ? 1u : 0u;
    default:
        return static_cast<uint32_t>(isFloat ? toInt(f) : n);
    }
}

void loadValue(D3D10_SHADER_VARIABLE_TYPE t, uint32_t bits, int target, void* data, size_t i) {
    bool fromFloat = t == D3D10_SVT_FLOAT;
    float f = bitsFloat(bits);
    auto n = static_cast<int32_t>(bits);
    switch (target) {
    case 0:
        static_cast<float*>(data)[i] = fromFloat             ? f
                                       : t == D3D10_SVT_BOOL ? (bits ? 1.0f : 0.0f)
                                                             : static_cast<float>(n);
        break;
    case 1:
        static_cast<int*>(data)[i] = fromFloat ? toInt(f) : t == D3D10_SVT_BOOL ? (bits ? 1 : 0) : n;
        break;
    default:
        static_cast<BOOL*>(data)[i] = (fromFloat ? f != 0.0f : bits != 0) ? TRUE : FALSE;
        break;
    }
}

} // namespace

HRESULT EffectVariable::setScalars(const void* data, Source source, UINT offset, UINT count,
                                   unsigned perElement, unsigned sourceStride,
                                   D3D10_SHADER_VARIABLE_CLASS needed) {
    if (!isNumericOf(needed)) return E_FAIL;
    if (count == 0) return S_OK;
    if (!data || uint64_t(offset) + count > elementCount()) return E_INVALIDARG;
    unsigned components = std::min(perElement, info_->columns);
    for (UINT e = 0; e < count; ++e)
        for (unsigned c = 0; c < components; ++c) {
            uint32_t bits =
                storeValue(info_->varType, static_cast<int>(source), data, size_t(e) * sourceStride + c);
            std::memcpy(buffer_->data.data() + offset_ + (offset + e) * stride() + 4 * c, &bits, 4);
        }
    buffer_->dirty = true;
    return S_OK;
}

HRESULT EffectVariable::getScalars(void* data, Source target, UINT offset, UINT count, unsigned perElement,
                                   unsigned targetStride, D3D10_SHADER_VARIABLE_CLASS needed) {
    if (!isNumericOf(needed)) return E_FAIL;
    if (count == 0) return S_OK;
    if (!data || uint64_t(offset) + count > elementCount()) return E_INVALIDARG;
    unsigned components = std::min(perElement, info_->columns);
    for (UINT e = 0; e < count; ++e)
        for (unsigned c = 0; c < perElement; ++c) {
            uint32_t bits = 0;
            if (c < components)
                std::memcpy(&bits, buffer_->data.data() + offset_ + (offset + e) * stride() + 4 * c, 4);
            loadValue(c < components ? info_->varType : D3D10_SVT_INT, bits, static_cast<int>(target), data,
                      size_t(e) * targetStride + c);
        }
    return S_OK;
}

HRESULT EffectVariable::setMatrices(const float* data, UINT offset, UINT count, bool transposed) {
    if (!isMatrix()) return E_FAIL;
    if (count == 0) return S_OK;
    if (!data || uint64_t(offset) + count > elementCount()) return E_INVALIDARG;
    bool columns = info_->varClass == D3D10_SVC_MATRIX_COLUMNS;
    for (UINT e = 0; e < count; ++e) {
        const float* m = data + size_t(e) * 16;
        uint8_t* base = buffer_->data.data() + offset_ + (offset + e) * stride();
        for (uint32_t r = 0; r < info_->rows; ++r)
            for (uint32_t c = 0; c < info_->columns; ++c) {
                size_t from = transposed ? c * 4 + r : r * 4 + c;
                uint32_t bits = storeValue(info_->varType, 0, m, from);
                std::memcpy(base + (columns ? 16 * c + 4 * r : 16 * r + 4 * c), &bits, 4);
            }
    }
    buffer_->dirty = true;
    return S_OK;
}

HRESULT EffectVariable::getMatrices(float* data, UINT offset, UINT count, bool transposed) {
    if (!isMatrix()) return E_FAIL;
    if (count == 0) return S_OK;
    if (!data || uint64_t(offset) + count > elementCount()) return E_INVALIDARG;
    bool columns = info_->varClass == D3D10_SVC_MATRIX_COLUMNS;
    for (UINT e = 0; e < count; ++e) {
        float* m = data + size_t(e) * 16;
        std::fill(m, m + 16, 0.0f);
        const uint8_t* base = buffer_->data.data() + offset_ + (offset + e) * stride();
        for (uint32_t r = 0; r < info_->rows; ++r)
            for (uint32_t c = 0; c < info_->columns; ++c) {
                uint32_t bits;
                std::memcpy(&bits, base + (columns ? 16 * c + 4 * r : 16 * r + 4 * c), 4);
                loadValue(info_->varType, bits, 0, m, transposed ? c * 4 + r : r * 4 + c);
            }
    }
    return S_OK;
}

// ---- ID3D10EffectVariable ----

ID3D10EffectType* EffectVariable::GetType() {
    return kind_ == Kind::Invalid ? EffectType::Invalid() : &type_;
}

HRESULT EffectVariable::GetDesc(D3D10_EFFECT_VARIABLE_DESC* pDesc) {
    if (kind_ == Kind::Invalid) return E_FAIL;
    if (!pDesc) return E_INVALIDARG;
    *pDesc = D3D10_EFFECT_VARIABLE_DESC{};
    pDesc->Name = name().c_str();
    pDesc->Semantic = semantic().empty() ? nullptr : semantic().c_str();
    uint32_t bindPoint = info_ ? info_->explicitBindPoint : bufferInfo_->explicitSlot;
    if (bindPoint != kNone) {
        pDesc->Flags |= D3D10_EFFECT_VARIABLE_EXPLICIT_BIND_POINT;
        pDesc->ExplicitBindPoint = bindPoint;
    }
    pDesc->BufferOffset = kind_ == Kind::Numeric ? offset_ : 0;
    return S_OK;
}

ID3D10EffectVariable* EffectVariable::GetAnnotationByIndex(UINT) {
    return Invalid()->asVariable();
}
ID3D10EffectVariable* EffectVariable::GetAnnotationByName(LPCSTR) {
    return Invalid()->asVariable();
}

ID3D10EffectVariable* EffectVariable::GetMemberByIndex(UINT Index) {
    if (Index >= members_.size()) return Invalid()->asVariable();
    return members_[Index]->asVariable();
}

ID3D10EffectVariable* EffectVariable::GetMemberByName(LPCSTR Name) {
    if (Name)
        for (EffectVariable* m : members_)
            if (m->name() == Name) return m->asVariable();
    return Invalid()->asVariable();
}

ID3D10EffectVariable* EffectVariable::GetMemberBySemantic(LPCSTR Semantic) {
    if (Semantic)
        for (EffectVariable* m : members_)
            if (!m->semantic().empty() && strcasecmp(m->semantic().c_str(), Semantic) == 0)
                return m->asVariable();
    return Invalid()->asVariable();
}

ID3D10EffectVariable* EffectVariable::GetElement(UINT Index) {
    if (kind_ == Kind::Invalid || kind_ == Kind::ConstantBuffer || Index >= elements_)
        return Invalid()->asVariable();
    if (elementViews_.empty()) elementViews_.resize(elements_);
    auto& view = elementViews_[Index];
    if (!view) {
        view = std::make_unique<EffectVariable>();
        view->kind_ = kind_;
        view->info_ = info_;
        view->buffer_ = buffer_;
        view->parentBuffer_ = parentBuffer_;
        view->offset_ = kind_ == Kind::Numeric ? offset_ + Index * stride() : 0;
        view->elements_ = 0;
        view->firstElement_ = kind_ == Kind::Numeric ? 0 : firstElement_ + Index;
        view->resources_ = resources_;
        view->samplerStates_ = samplerStates_;
        view->samplerDescs_ = samplerDescs_;
        view->updateType();
    }
    return view->asVariable();
}

ID3D10EffectConstantBuffer* EffectVariable::GetParentConstantBuffer() {
    if (parentBuffer_) return parentBuffer_;
    return Invalid();
}

ID3D10EffectScalarVariable* EffectVariable::AsScalar() {
    return isNumericOf(D3D10_SVC_SCALAR) ? this : Invalid();
}
ID3D10EffectVectorVariable* EffectVariable::AsVector() {
    return isNumericOf(D3D10_SVC_VECTOR) ? this : Invalid();
}
ID3D10EffectMatrixVariable* EffectVariable::AsMatrix() {
    return isMatrix() ? this : Invalid();
}
ID3D10EffectStringVariable* EffectVariable::AsString() {
    return Invalid();
}
ID3D10EffectShaderResourceVariable* EffectVariable::AsShaderResource() {
    return kind_ == Kind::Texture ? this : Invalid();
}
ID3D10EffectRenderTargetViewVariable* EffectVariable::AsRenderTargetView() {
    return Invalid();
}
ID3D10EffectDepthStencilViewVariable* EffectVariable::AsDepthStencilView() {
    return Invalid();
}
ID3D10EffectConstantBuffer* EffectVariable::AsConstantBuffer() {
    return kind_ == Kind::ConstantBuffer ? this : Invalid();
}
ID3D10EffectShaderVariable* EffectVariable::AsShader() {
    return Invalid();
}
ID3D10EffectBlendVariable* EffectVariable::AsBlend() {
    return Invalid();
}
ID3D10EffectDepthStencilVariable* EffectVariable::AsDepthStencil() {
    return Invalid();
}
ID3D10EffectRasterizerVariable* EffectVariable::AsRasterizer() {
    return Invalid();
}
ID3D10EffectSamplerVariable* EffectVariable::AsSampler() {
    return kind_ == Kind::Sampler ? this : Invalid();
}

HRESULT EffectVariable::SetRawValue(void* pData, UINT ByteOffset, UINT ByteCount) {
    uint32_t size;
    if (kind_ == Kind::Numeric)
        size = elements_ ? EffectPackedSize(info_->varClass, info_->rows, info_->columns, elements_)
                         : EffectElementSize(info_->varClass, info_->rows, info_->columns);
    else if (kind_ == Kind::ConstantBuffer)
        size = bufferInfo_->size;
    else
        return E_FAIL;
    if (ByteCount == 0) return S_OK;
    if (!pData || uint64_t(ByteOffset) + ByteCount > size) return E_INVALIDARG;
    std::memcpy(buffer_->data.data() + offset_ + ByteOffset, pData, ByteCount);
    buffer_->dirty = true;
    return S_OK;
}

HRESULT EffectVariable::GetRawValue(void* pData, UINT ByteOffset, UINT ByteCount) {
    uint32_t size;
    if (kind_ == Kind::Numeric)
        size = elements_ ? EffectPackedSize(info_->varClass, info_->rows, info_->columns, elements_)
                         : EffectElementSize(info_->varClass, info_->rows, info_->columns);
    else if (kind_ == Kind::ConstantBuffer)
        size = bufferInfo_->size;
    else
        return E_FAIL;
    if (ByteCount == 0) return S_OK;
    if (!pData || uint64_t(ByteOffset) + ByteCount > size) return E_INVALIDARG;
    std::memcpy(pData, buffer_->data.data() + offset_ + ByteOffset, ByteCount);
    return S_OK;
}

// ---- scalars, vectors, matrices ----

HRESULT EffectVariable::SetFloat(float Value) {
    return setScalars(&Value, Source::Float, 0, 1, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::GetFloat(float* pValue) {
    return getScalars(pValue, Source::Float, 0, 1, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::SetFloatArray(float* pData, UINT Offset, UINT Count) {
    return setScalars(pData, Source::Float, Offset, Count, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::GetFloatArray(float* pData, UINT Offset, UINT Count) {
    return getScalars(pData, Source::Float, Offset, Count, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::SetInt(int Value) {
    return setScalars(&Value, Source::Int, 0, 1, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::GetInt(int* pValue) {
    return getScalars(pValue, Source::Int, 0, 1, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::SetIntArray(int* pData, UINT Offset, UINT Count) {
    return setScalars(pData, Source::Int, Offset, Count, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::GetIntArray(int* pData, UINT Offset, UINT Count) {
    return getScalars(pData, Source::Int, Offset, Count, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::SetBool(BOOL Value) {
    return setScalars(&Value, Source::Bool, 0, 1, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::GetBool(BOOL* pValue) {
    return getScalars(pValue, Source::Bool, 0, 1, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::SetBoolArray(BOOL* pData, UINT Offset, UINT Count) {
    return setScalars(pData, Source::Bool, Offset, Count, 1, 1, D3D10_SVC_SCALAR);
}
HRESULT EffectVariable::GetBoolArray(BOOL* pData, UINT Offset, UINT Count) {
    return getScalars(pData, Source::Bool, Offset, Count, 1, 1, D3D10_SVC_SCALAR);
}

HRESULT EffectVariable::SetBoolVector(BOOL* pData) {
    return setScalars(pData, Source::Bool, 0, 1, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::SetIntVector(int* pData) {
    return setScalars(pData, Source::Int, 0, 1, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::SetFloatVector(float* pData) {
    return setScalars(pData, Source::Float, 0, 1, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::GetBoolVector(BOOL* pData) {
    return getScalars(pData, Source::Bool, 0, 1, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::GetIntVector(int* pData) {
    return getScalars(pData, Source::Int, 0, 1, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::GetFloatVector(float* pData) {
    return getScalars(pData, Source::Float, 0, 1, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::SetBoolVectorArray(BOOL* pData, UINT Offset, UINT Count) {
    return setScalars(pData, Source::Bool, Offset, Count, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::SetIntVectorArray(int* pData, UINT Offset, UINT Count) {
    return setScalars(pData, Source::Int, Offset, Count, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::SetFloatVectorArray(float* pData, UINT Offset, UINT Count) {
    return setScalars(pData, Source::Float, Offset, Count, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::GetBoolVectorArray(BOOL* pData, UINT Offset, UINT Count) {
    return getScalars(pData, Source::Bool, Offset, Count, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::GetIntVectorArray(int* pData, UINT Offset, UINT Count) {
    return getScalars(pData, Source::Int, Offset, Count, 4, 4, D3D10_SVC_VECTOR);
}
HRESULT EffectVariable::GetFloatVectorArray(float* pData, UINT Offset, UINT Count) {
    return getScalars(pData, Source::Float, Offset, Count, 4, 4, D3D10_SVC_VECTOR);
}

HRESULT EffectVariable::SetMatrix(float* pData) {
    return setMatrices(pData, 0, 1, false);
}
HRESULT EffectVariable::GetMatrix(float* pData) {
    return getMatrices(pData, 0, 1, false);
}
HRESULT EffectVariable::SetMatrixArray(float* pData, UINT Offset, UINT Count) {
    return setMatrices(pData, Offset, Count, false);
}
HRESULT EffectVariable::GetMatrixArray(float* pData, UINT Offset, UINT Count) {
    return getMatrices(pData, Offset, Count, false);
}
HRESULT EffectVariable::SetMatrixTranspose(float* pData) {
    return setMatrices(pData, 0, 1, true);
}
HRESULT EffectVariable::GetMatrixTranspose(float* pData) {
    return getMatrices(pData, 0, 1, true);
}
HRESULT EffectVariable::SetMatrixTransposeArray(float* pData, UINT Offset, UINT Count) {
    return setMatrices(pData, Offset, Count, true);
}
HRESULT EffectVariable::GetMatrixTransposeArray(float* pData, UINT Offset, UINT Count) {
    return getMatrices(pData, Offset, Count, true);
}

// ---- objects ----

HRESULT EffectVariable::GetString(LPCSTR*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetStringArray(LPCSTR*, UINT, UINT) {
    return E_FAIL;
}

HRESULT EffectVariable::SetResource(ID3D10ShaderResourceView* pResource) {
    if (kind_ != Kind::Texture) return E_FAIL;
    (*resources_)[firstElement_] = ComPtr<ID3D10ShaderResourceView>(pResource);
    return S_OK;
}

HRESULT EffectVariable::GetResource(ID3D10ShaderResourceView** ppResource) {
    if (kind_ != Kind::Texture) return E_FAIL;
    if (!ppResource) return E_INVALIDARG;
    (*resources_)[firstElement_].copyTo(ppResource);
    return S_OK;
}

HRESULT EffectVariable::SetResourceArray(ID3D10ShaderResourceView** ppResources, UINT Offset, UINT Count) {
    if (kind_ != Kind::Texture) return E_FAIL;
    if (Count == 0) return S_OK;
    if (!ppResources || uint64_t(Offset) + Count > elementCount()) return E_INVALIDARG;
    for (UINT i = 0; i < Count; ++i)
        (*resources_)[firstElement_ + Offset + i] = ComPtr<ID3D10ShaderResourceView>(ppResources[i]);
    return S_OK;
}

HRESULT EffectVariable::GetResourceArray(ID3D10ShaderResourceView** ppResources, UINT Offset, UINT Count) {
    if (kind_ != Kind::Texture) return E_FAIL;
    if (Count == 0) return S_OK;
    if (!ppResources || uint64_t(Offset) + Count > elementCount()) return E_INVALIDARG;
    for (UINT i = 0; i < Count; ++i) (*resources_)[firstElement_ + Offset + i].copyTo(&ppResources[i]);
    return S_OK;
}

HRESULT EffectVariable::SetRenderTarget(ID3D10RenderTargetView*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetRenderTarget(ID3D10RenderTargetView**) {
    return E_FAIL;
}
HRESULT EffectVariable::SetRenderTargetArray(ID3D10RenderTargetView**, UINT, UINT) {
    return E_FAIL;
}
HRESULT EffectVariable::GetRenderTargetArray(ID3D10RenderTargetView**, UINT, UINT) {
    return E_FAIL;
}
HRESULT EffectVariable::SetDepthStencil(ID3D10DepthStencilView*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetDepthStencil(ID3D10DepthStencilView**) {
    return E_FAIL;
}
HRESULT EffectVariable::SetDepthStencilArray(ID3D10DepthStencilView**, UINT, UINT) {
    return E_FAIL;
}
HRESULT EffectVariable::GetDepthStencilArray(ID3D10DepthStencilView**, UINT, UINT) {
    return E_FAIL;
}

HRESULT EffectVariable::SetConstantBuffer(ID3D10Buffer* pConstantBuffer) {
    if (kind_ != Kind::ConstantBuffer) return E_FAIL;
    buffer_->userBuffer = ComPtr<ID3D10Buffer>(pConstantBuffer);
    return S_OK;
}

HRESULT EffectVariable::GetConstantBuffer(ID3D10Buffer** ppConstantBuffer) {
    if (kind_ != Kind::ConstantBuffer) return E_FAIL;
    if (!ppConstantBuffer) return E_INVALIDARG;
    *ppConstantBuffer = buffer_->bound();
    if (*ppConstantBuffer) (*ppConstantBuffer)->AddRef();
    return S_OK;
}

// A constant buffer of this platform is never a texture buffer.
HRESULT EffectVariable::SetTextureBuffer(ID3D10ShaderResourceView*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetTextureBuffer(ID3D10ShaderResourceView**) {
    return E_FAIL;
}

// Shader and state variables do not exist in this platform's effects.
HRESULT EffectVariable::GetShaderDesc(UINT, D3D10_EFFECT_SHADER_DESC*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetVertexShader(UINT, ID3D10VertexShader**) {
    return E_FAIL;
}
HRESULT EffectVariable::GetGeometryShader(UINT, ID3D10GeometryShader**) {
    return E_FAIL;
}
HRESULT EffectVariable::GetPixelShader(UINT, ID3D10PixelShader**) {
    return E_FAIL;
}
HRESULT EffectVariable::GetInputSignatureElementDesc(UINT, UINT, D3D10_SIGNATURE_PARAMETER_DESC*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetOutputSignatureElementDesc(UINT, UINT, D3D10_SIGNATURE_PARAMETER_DESC*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetBlendState(UINT, ID3D10BlendState**) {
    return E_FAIL;
}
HRESULT EffectVariable::GetBackingStore(UINT, D3D10_BLEND_DESC*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetDepthStencilState(UINT, ID3D10DepthStencilState**) {
    return E_FAIL;
}
HRESULT EffectVariable::GetBackingStore(UINT, D3D10_DEPTH_STENCIL_DESC*) {
    return E_FAIL;
}
HRESULT EffectVariable::GetRasterizerState(UINT, ID3D10RasterizerState**) {
    return E_FAIL;
}
HRESULT EffectVariable::GetBackingStore(UINT, D3D10_RASTERIZER_DESC*) {
    return E_FAIL;
}

HRESULT EffectVariable::GetSampler(UINT Index, ID3D10SamplerState** ppSampler) {
    if (kind_ != Kind::Sampler) return E_FAIL;
    if (!ppSampler || Index >= elementCount()) return E_INVALIDARG;
    samplerStates_[firstElement_ + Index].copyTo(ppSampler);
    return S_OK;
}

HRESULT EffectVariable::GetBackingStore(UINT Index, D3D10_SAMPLER_DESC* pSamplerDesc) {
    if (kind_ != Kind::Sampler) return E_FAIL;
    if (!pSamplerDesc || Index >= elementCount()) return E_INVALIDARG;
    *pSamplerDesc = samplerDescs_[firstElement_ + Index];
    return S_OK;
}

} // namespace platform::d3d10
