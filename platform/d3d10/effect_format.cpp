#include "platform/d3d10/effect_format.h"

#include <bit>
#include <cstring>
#include <map>

#include "platform/d3d10/shader_program.h"

namespace platform::d3d10 {

using namespace format;

uint32_t EffectElementSize(D3D10_SHADER_VARIABLE_CLASS varClass, uint32_t rows, uint32_t columns) {
    switch (varClass) {
    case D3D10_SVC_MATRIX_COLUMNS:
        return 16 * (columns - 1) + 4 * rows;
    case D3D10_SVC_MATRIX_ROWS:
        return 16 * (rows - 1) + 4 * columns;
    default:
        return 4 * columns;
    }
}

uint32_t EffectPackedSize(D3D10_SHADER_VARIABLE_CLASS varClass, uint32_t rows, uint32_t columns,
                          uint32_t elements) {
    uint32_t element = EffectElementSize(varClass, rows, columns);
    if (elements <= 1) return element;
    return EffectElementStride(varClass, rows, columns) * (elements - 1) + element;
}

namespace {

// ---- writing ----

class Writer {
public:
    uint32_t string(const std::string& s) {
        auto it = strings_.find(s);
        if (it != strings_.end()) return it->second;
        auto at = static_cast<uint32_t>(stringBytes_.size());
        stringBytes_.insert(stringBytes_.end(), s.begin(), s.end());
        stringBytes_.push_back(0);
        strings_.emplace(s, at);
        return at;
    }
    uint32_t optionalString(const std::string& s) { return s.empty() ? kNone : string(s); }

    uint32_t data(const void* p, size_t bytes) {
        while (data_.size() % 4) data_.push_back(0);
        auto at = static_cast<uint32_t>(data_.size());
        const auto* b = static_cast<const uint8_t*>(p);
        data_.insert(data_.end(), b, b + bytes);
        return at;
    }

    std::vector<uint8_t> stringBytes_, data_;

private:
    std::map<std::string, uint32_t> strings_;
};

template <class T>
void append(std::vector<uint8_t>& out, Section& section, const std::vector<T>& records) {
    while (out.size() % 4) out.push_back(0);
    section.offset = static_cast<uint32_t>(out.size());
    section.count = static_cast<uint32_t>(records.size());
    const auto* b = reinterpret_cast<const uint8_t*>(records.data());
    out.insert(out.end(), b, b + records.size() * sizeof(T));
}

void appendBytes(std::vector<uint8_t>& out, Section& section, const std::vector<uint8_t>& bytes) {
    while (out.size() % 4) out.push_back(0);
    section.offset = static_cast<uint32_t>(out.size());
    section.count = static_cast<uint32_t>(bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

uint32_t floatBits(float f) {
    return std::bit_cast<uint32_t>(f);
}
float bitsFloat(uint32_t u) {
    return std::bit_cast<float>(u);
}

// ---- reading ----

struct ReadError {
    std::string what;
};

class Reader {
public:
    Reader(const uint8_t* data, size_t bytes) : data_(data), bytes_(bytes) {}

    template <class T>
    std::vector<T> table(const Section& s, const char* what) const {
        static_assert(sizeof(T) % 4 == 0);
        if (s.offset % 4) throw ReadError{std::string(what) + " table is misaligned"};
        uint64_t end = uint64_t(s.offset) + uint64_t(s.count) * sizeof(T);
        if (s.offset < sizeof(Header) || end > bytes_)
            throw ReadError{std::string(what) + " table lies outside the file"};
        std::vector<T> out(s.count);
        if (s.count) std::memcpy(out.data(), data_ + s.offset, size_t(s.count) * sizeof(T));
        return out;
    }

    void bytes(const Section& s, const char* what, const uint8_t*& at, uint32_t& count) const {
        uint64_t end = uint64_t(s.offset) + s.count;
        if (s.count && (s.offset < sizeof(Header) || end > bytes_))
            throw ReadError{std::string(what) + " lie outside the file"};
        at = data_ + s.offset;
        count = s.count;
    }

private:
    const uint8_t* data_;
    size_t bytes_;
};

class Strings {
public:
    Strings(const uint8_t* at, uint32_t count) : at_(at), count_(count) {}
    std::string get(uint32_t ref, const char* what) const {
        if (ref >= count_) throw ReadError{std::string(what) + " names a string outside the string table"};
        const void* end = std::memchr(at_ + ref, 0, count_ - ref);
        if (!end) throw ReadError{std::string(what) + " names an unterminated string"};
        return std::string(reinterpret_cast<const char*>(at_ + ref));
    }
    std::string optional(uint32_t ref, const char* what) const {
        return ref == kNone ? std::string() : get(ref, what);
    }

private:
    const uint8_t* at_;
    uint32_t count_;
};

bool validRange(uint32_t first, uint32_t count, size_t size) {
    return uint64_t(first) + count <= size;
}

bool isNumericClass(uint32_t c) {
    return c == D3D10_SVC_SCALAR || c == D3D10_SVC_VECTOR || c == D3D10_SVC_MATRIX_ROWS ||
           c == D3D10_SVC_MATRIX_COLUMNS;
}
bool isNumericType(uint32_t t) {
    return t == D3D10_SVT_BOOL || t == D3D10_SVT_INT || t == D3D10_SVT_FLOAT || t == D3D10_SVT_UINT;
}
bool isTextureType(uint32_t t) {
    return t == D3D10_SVT_TEXTURE || t == D3D10_SVT_TEXTURE2D;
}

// The enumerants of a sampler state, checked before they become D3D10 enum values.
bool validFilter(uint32_t f) {
    static const uint32_t filters[] = {0x00, 0x01, 0x04, 0x05, 0x10, 0x11, 0x14, 0x15, 0x55,
                                       0x80, 0x81, 0x84, 0x85, 0x90, 0x91, 0x94, 0x95, 0xD5};
    for (uint32_t v : filters)
        if (f == v) return true;
    return false;
}
bool validAddress(uint32_t a) {
    return a >= D3D10_TEXTURE_ADDRESS_WRAP && a <= D3D10_TEXTURE_ADDRESS_MIRROR_ONCE;
}
bool validComparison(uint32_t c) {
    return c >= D3D10_COMPARISON_NEVER && c <= D3D10_COMPARISON_ALWAYS;
}

void readVariable(const VariableRecord& r, const Strings& strings, size_t bufferCount,
                  EffectVariableInfo& v) {
    v.name = strings.get(r.name, "a variable");
    if (v.name.empty()) throw ReadError{"a variable has no name"};
    v.semantic = strings.optional(r.semantic, "a variable's semantic");
    v.typeName = strings.get(r.typeName, "a variable's type");
    v.rows = r.rows;
    v.columns = r.columns;
    v.elements = r.elements;
    v.buffer = r.buffer;
    v.offset = r.offset;
    v.size = r.size;
    v.explicitBindPoint = r.explicitBindPoint;
    v.firstSampler = r.firstSampler;
    if (r.elements > kMaxArrayElements) throw ReadError{"variable " + v.name + " has too many elements"};
    if (r.varClass == D3D10_SVC_OBJECT) {
        v.varClass = D3D10_SVC_OBJECT;
        if (!isTextureType(r.varType) && r.varType != D3D10_SVT_SAMPLER)
            throw ReadError{"object variable " + v.name + " has an unsupported type"};
        v.varType = static_cast<D3D10_SHADER_VARIABLE_TYPE>(r.varType);
        if (r.buffer != kNone || r.offset || r.size)
            throw ReadError{"object variable " + v.name + " lies in a buffer"};
        if ((r.varType == D3D10_SVT_SAMPLER) != (r.firstSampler != kNone))
            throw ReadError{"variable " + v.name + " has a sampler state that does not match its type"};
        return;
    }
    if (!isNumericClass(r.varClass) || !isNumericType(r.varType))
        throw ReadError{"variable " + v.name + " has an unsupported class or type"};
    v.varClass = static_cast<D3D10_SHADER_VARIABLE_CLASS>(r.varClass);
    v.varType = static_cast<D3D10_SHADER_VARIABLE_TYPE>(r.varType);
    bool matrix = r.varClass == D3D10_SVC_MATRIX_ROWS || r.varClass == D3D10_SVC_MATRIX_COLUMNS;
    if (r.rows < 1 || r.rows > 4 || r.columns < 1 || r.columns > 4 || (!matrix && r.rows != 1) ||
        (r.varClass == D3D10_SVC_SCALAR && r.columns != 1))
        throw ReadError{"variable " + v.name + " has bad dimensions"};
    if (r.buffer >= bufferCount) throw ReadError{"variable " + v.name + " names no buffer"};
    if (r.firstSampler != kNone) throw ReadError{"numeric variable " + v.name + " has a sampler state"};
    if (r.offset % 4 || r.size != EffectPackedSize(v.varClass, r.rows, r.columns, r.elements))
        throw ReadError{"variable " + v.name + " has a bad offset or size"};
    // Registers start at 16-byte boundaries; arrays and matrices must start on one.
    if ((r.elements || matrix) && r.offset % 16)
        throw ReadError{"variable " + v.name + " does not start a register"};
}

} // namespace

std::vector<uint8_t> WriteEffect(const EffectLayout& layout) {
    Writer w;
    std::vector<BufferRecord> buffers;
    for (const auto& b : layout.buffers) {
        BufferRecord r{};
        r.name = w.string(b.name);
        r.size = b.size;
        r.explicitSlot = b.explicitSlot;
        r.initialData = b.initialData.empty() ? kNone : w.data(b.initialData.data(), b.initialData.size());
        r.firstVariable = b.firstVariable;
        r.variableCount = b.variableCount;
        buffers.push_back(r);
    }
    std::vector<VariableRecord> variables;
    for (const auto& v : layout.variables) {
        VariableRecord r{};
        r.name = w.string(v.name);
        r.semantic = w.optionalString(v.semantic);
        r.typeName = w.string(v.typeName);
        r.varClass = v.varClass;
        r.varType = v.varType;
        r.rows = v.rows;
        r.columns = v.columns;
        r.elements = v.elements;
        r.buffer = v.buffer;
        r.offset = v.offset;
        r.size = v.size;
        r.explicitBindPoint = v.explicitBindPoint;
        r.firstSampler = v.firstSampler;
        variables.push_back(r);
    }
    std::vector<SamplerRecord> samplers;
    for (const auto& d : layout.samplers) {
        SamplerRecord r{};
        r.filter = d.Filter;
        r.addressU = d.AddressU;
        r.addressV = d.AddressV;
        r.addressW = d.AddressW;
        r.mipLODBias = floatBits(d.MipLODBias);
        r.maxAnisotropy = d.MaxAnisotropy;
        r.comparisonFunc = d.ComparisonFunc;
        for (int i = 0; i < 4; ++i) r.borderColor[i] = floatBits(d.BorderColor[i]);
        r.minLOD = floatBits(d.MinLOD);
        r.maxLOD = floatBits(d.MaxLOD);
        samplers.push_back(r);
    }
    std::vector<ShaderRecord> shaders;
    std::vector<BindingRecord> bindings;
    for (const auto& s : layout.shaders) {
        ShaderRecord r{};
        r.stage = static_cast<uint32_t>(s.stage);
        r.bytecode = w.data(s.bytecode.data(), s.bytecode.size() * 4);
        r.bytecodeSize = static_cast<uint32_t>(s.bytecode.size() * 4);
        r.firstBinding = static_cast<uint32_t>(bindings.size());
        r.bindingCount = static_cast<uint32_t>(s.bindings.size());
        for (const auto& b : s.bindings)
            bindings.push_back({static_cast<uint32_t>(b.kind), b.index, b.element, b.slot});
        shaders.push_back(r);
    }
    std::vector<TechniqueRecord> techniques;
    std::vector<PassRecord> passes;
    for (const auto& t : layout.techniques) {
        techniques.push_back(
            {w.string(t.name), static_cast<uint32_t>(passes.size()), static_cast<uint32_t>(t.passes.size())});
        for (const auto& p : t.passes)
            passes.push_back({w.string(p.name), p.vertexShader, p.geometryShader, p.pixelShader});
    }

    Header h{};
    h.magic = kEffectMagic;
    h.version = kEffectVersion;
    std::vector<uint8_t> out(sizeof h);
    appendBytes(out, h.strings, w.stringBytes_);
    append(out, h.buffers, buffers);
    append(out, h.variables, variables);
    append(out, h.samplers, samplers);
    append(out, h.shaders, shaders);
    append(out, h.bindings, bindings);
    append(out, h.techniques, techniques);
    append(out, h.passes, passes);
    appendBytes(out, h.data, w.data_);
    while (out.size() % 4) out.push_back(0);
    h.fileSize = static_cast<uint32_t>(out.size());
    std::memcpy(out.data(), &h, sizeof h);
    return out;
}

HRESULT ReadEffect(const void* data, size_t bytes, EffectLayout& layout, std::string* error) {
    try {
        if (!data || bytes < sizeof(Header)) throw ReadError{"shorter than the header"};
        Header h;
        std::memcpy(&h, data, sizeof h);
        if (h.magic != kEffectMagic) throw ReadError{"not an effect container"};
        if (h.version != kEffectVersion) throw ReadError{"unsupported container version"};
        if (h.fileSize != bytes) throw ReadError{"size does not match the header"};
        if (h.reserved != 0) throw ReadError{"reserved header field is set"};
        Reader r(static_cast<const uint8_t*>(data), bytes);

        const uint8_t* stringBytes;
        uint32_t stringCount;
        r.bytes(h.strings, "strings", stringBytes, stringCount);
        Strings strings(stringBytes, stringCount);
        const uint8_t* blob;
        uint32_t blobSize;
        r.bytes(h.data, "data", blob, blobSize);

        auto bufferRecords = r.table<BufferRecord>(h.buffers, "buffer");
        auto variableRecords = r.table<VariableRecord>(h.variables, "variable");
        auto samplerRecords = r.table<SamplerRecord>(h.samplers, "sampler");
        auto shaderRecords = r.table<ShaderRecord>(h.shaders, "shader");
        auto bindingRecords = r.table<BindingRecord>(h.bindings, "binding");
        auto techniqueRecords = r.table<TechniqueRecord>(h.techniques, "technique");
        auto passRecords = r.table<PassRecord>(h.passes, "pass");

        EffectLayout out;
        for (const auto& rec : samplerRecords) {
            if (!validFilter(rec.filter) || !validAddress(rec.addressU) || !validAddress(rec.addressV) ||
                !validAddress(rec.addressW) || !validComparison(rec.comparisonFunc))
                throw ReadError{"a sampler state has an unknown filter, address mode or comparison"};
            D3D10_SAMPLER_DESC d{};
            d.Filter = static_cast<D3D10_FILTER>(rec.filter);
            d.AddressU = static_cast<D3D10_TEXTURE_ADDRESS_MODE>(rec.addressU);
            d.AddressV = static_cast<D3D10_TEXTURE_ADDRESS_MODE>(rec.addressV);
            d.AddressW = static_cast<D3D10_TEXTURE_ADDRESS_MODE>(rec.addressW);
            d.MipLODBias = bitsFloat(rec.mipLODBias);
            d.MaxAnisotropy = rec.maxAnisotropy;
            d.ComparisonFunc = static_cast<D3D10_COMPARISON_FUNC>(rec.comparisonFunc);
            for (int i = 0; i < 4; ++i) d.BorderColor[i] = bitsFloat(rec.borderColor[i]);
            d.MinLOD = bitsFloat(rec.minLOD);
            d.MaxLOD = bitsFloat(rec.maxLOD);
            out.samplers.push_back(d);
        }

        for (const auto& rec : bufferRecords) {
            EffectBufferInfo b;
            b.name = strings.get(rec.name, "a buffer");
            if (rec.size == 0 || rec.size % 16 || rec.size > kMaxBufferBytes)
                throw ReadError{"buffer " + b.name + " has a bad size"};
            b.size = rec.size;
            if (rec.explicitSlot != kNone && rec.explicitSlot >= isa::kConstantBufferSlots)
                throw ReadError{"buffer " + b.name + " has a bad register"};
            b.explicitSlot = rec.explicitSlot;
            if (rec.initialData != kNone) {
                if (!validRange(rec.initialData, rec.size, blobSize))
                    throw ReadError{"initial data of buffer " + b.name + " lies outside the data"};
                b.initialData.assign(blob + rec.initialData, blob + rec.initialData + rec.size);
            }
            if (!validRange(rec.firstVariable, rec.variableCount, variableRecords.size()))
                throw ReadError{"buffer " + b.name + " owns variables that do not exist"};
            b.firstVariable = rec.firstVariable;
            b.variableCount = rec.variableCount;
            out.buffers.push_back(std::move(b));
        }

        for (size_t i = 0; i < variableRecords.size(); ++i) {
            EffectVariableInfo v;
            readVariable(variableRecords[i], strings, out.buffers.size(), v);
            if (v.isObject()) {
                if (v.varType == D3D10_SVT_SAMPLER &&
                    !validRange(v.firstSampler, v.elementCount(), out.samplers.size()))
                    throw ReadError{"sampler " + v.name + " has no state"};
            } else {
                const EffectBufferInfo& b = out.buffers[v.buffer];
                if (uint64_t(v.offset) + v.size > b.size)
                    throw ReadError{"variable " + v.name + " overruns its buffer"};
                if (i < b.firstVariable || i >= uint64_t(b.firstVariable) + b.variableCount)
                    throw ReadError{"variable " + v.name + " is not among its buffer's variables"};
            }
            out.variables.push_back(std::move(v));
        }
        for (size_t bi = 0; bi < out.buffers.size(); ++bi) {
            const EffectBufferInfo& b = out.buffers[bi];
            for (uint32_t i = 0; i < b.variableCount; ++i)
                if (out.variables[b.firstVariable + i].buffer != bi)
                    throw ReadError{"buffer " + b.name + " owns a variable of another buffer"};
        }

        for (const auto& rec : shaderRecords) {
            EffectShaderInfo s;
            if (rec.stage > 1) throw ReadError{"a shader has an unknown stage"};
            s.stage = static_cast<isa::Stage>(rec.stage);
            if (rec.bytecode % 4 || rec.bytecodeSize % 4 ||
                !validRange(rec.bytecode, rec.bytecodeSize, blobSize))
                throw ReadError{"shader bytecode lies outside the data"};
            s.bytecode.resize(rec.bytecodeSize / 4);
            if (rec.bytecodeSize) std::memcpy(s.bytecode.data(), blob + rec.bytecode, rec.bytecodeSize);
            ShaderProgram program;
            std::string why;
            if (FAILED(DecodeShader(s.bytecode.data(), rec.bytecodeSize, program, &why)))
                throw ReadError{"bad shader bytecode: " + why};
            if (program.stage != s.stage) throw ReadError{"shader bytecode is for another stage"};
            if (!validRange(rec.firstBinding, rec.bindingCount, bindingRecords.size()))
                throw ReadError{"a shader's bindings do not exist"};
            for (uint32_t i = 0; i < rec.bindingCount; ++i) {
                const BindingRecord& br = bindingRecords[rec.firstBinding + i];
                EffectBinding b{static_cast<BindingKind>(br.kind), br.index, br.element, br.slot};
                switch (br.kind) {
                case uint32_t(BindingKind::ConstantBuffer):
                    if (br.index >= out.buffers.size() || br.element || br.slot >= isa::kConstantBufferSlots)
                        throw ReadError{"bad constant buffer binding"};
                    break;
                case uint32_t(BindingKind::Texture):
                case uint32_t(BindingKind::Sampler): {
                    bool texture = br.kind == uint32_t(BindingKind::Texture);
                    if (br.index >= out.variables.size()) throw ReadError{"a binding names no variable"};
                    const EffectVariableInfo& v = out.variables[br.index];
                    bool matches = texture ? v.isObject() && isTextureType(v.varType)
                                           : v.isObject() && v.varType == D3D10_SVT_SAMPLER;
                    if (!matches || br.element >= v.elementCount())
                        throw ReadError{"a binding names the wrong variable"};
                    if (br.slot >= (texture ? isa::kResourceSlots : isa::kSamplerSlots))
                        throw ReadError{"a binding's slot is out of range"};
                    break;
                }
                default:
                    throw ReadError{"a binding has an unknown kind"};
                }
                s.bindings.push_back(b);
            }
            out.shaders.push_back(std::move(s));
        }

        auto checkShader = [&](uint32_t index, isa::Stage stage, const std::string& pass) {
            if (index == kNone) return;
            if (index >= out.shaders.size() || out.shaders[index].stage != stage)
                throw ReadError{"pass " + pass + " names a missing or mismatched shader"};
        };
        for (const auto& rec : techniqueRecords) {
            EffectTechniqueInfo t;
            t.name = strings.get(rec.name, "a technique");
            if (!validRange(rec.firstPass, rec.passCount, passRecords.size()))
                throw ReadError{"technique " + t.name + " owns passes that do not exist"};
            for (uint32_t i = 0; i < rec.passCount; ++i) {
                const PassRecord& pr = passRecords[rec.firstPass + i];
                EffectPassInfo p;
                p.name = strings.get(pr.name, "a pass");
                checkShader(pr.vertexShader, isa::Stage::Vertex, p.name);
                checkShader(pr.pixelShader, isa::Stage::Pixel, p.name);
                if (pr.geometryShader != kNone) throw ReadError{"pass " + p.name + " sets a geometry shader"};
                p.vertexShader = pr.vertexShader;
                p.pixelShader = pr.pixelShader;
                t.passes.push_back(std::move(p));
            }
            out.techniques.push_back(std::move(t));
        }
        layout = std::move(out);
        return S_OK;
    } catch (const ReadError& e) {
        if (error) *error = e.what;
        return E_INVALIDARG;
    }
}

} // namespace platform::d3d10
