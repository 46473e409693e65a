#include "tools/effect_compiler/effect_compiler.h"

#include <cfloat>
#include <cstring>
#include <map>
#include <sstream>
#include <strings.h>

#include "platform/d3d10/shader_builder.h"
#include "tools/effect_compiler/compile_error.h"
#include "tools/effect_compiler/parser.h"
#include "tools/effect_compiler/shader_compiler.h"

namespace unfold::fxc {

namespace d3d = platform::d3d10;
using d3d::kNone;
namespace isa = platform::d3d10::isa;

namespace {

struct NamedValue {
    const char* name;
    uint32_t value;
};

const NamedValue kFilters[] = {{"MIN_MAG_MIP_POINT", 0x00},
                               {"MIN_MAG_POINT_MIP_LINEAR", 0x01},
                               {"MIN_POINT_MAG_LINEAR_MIP_POINT", 0x04},
                               {"MIN_POINT_MAG_MIP_LINEAR", 0x05},
                               {"MIN_LINEAR_MAG_MIP_POINT", 0x10},
                               {"MIN_LINEAR_MAG_POINT_MIP_LINEAR", 0x11},
                               {"MIN_MAG_LINEAR_MIP_POINT", 0x14},
                               {"MIN_MAG_MIP_LINEAR", 0x15},
                               {"ANISOTROPIC", 0x55},
                               {"COMPARISON_MIN_MAG_MIP_POINT", 0x80},
                               {"COMPARISON_MIN_MAG_POINT_MIP_LINEAR", 0x81},
                               {"COMPARISON_MIN_POINT_MAG_LINEAR_MIP_POINT", 0x84},
                               {"COMPARISON_MIN_POINT_MAG_MIP_LINEAR", 0x85},
                               {"COMPARISON_MIN_LINEAR_MAG_MIP_POINT", 0x90},
                               {"COMPARISON_MIN_LINEAR_MAG_POINT_MIP_LINEAR", 0x91},
                               {"COMPARISON_MIN_MAG_LINEAR_MIP_POINT", 0x94},
                               {"COMPARISON_MIN_MAG_MIP_LINEAR", 0x95},
                               {"COMPARISON_ANISOTROPIC", 0xD5}};
const NamedValue kAddressModes[] = {
    {"WRAP", 1}, {"MIRROR", 2}, {"CLAMP", 3}, {"BORDER", 4}, {"MIRROR_ONCE", 5}};
const NamedValue kComparisons[] = {{"NEVER", 1},   {"LESS", 2},      {"EQUAL", 3},         {"LESS_EQUAL", 4},
                                   {"GREATER", 5}, {"NOT_EQUAL", 6}, {"GREATER_EQUAL", 7}, {"ALWAYS", 8}};

template <size_t N>
uint32_t namedValue(const NamedValue (&table)[N], const Expr& e, const char* what) {
    if (e.kind == Expr::Kind::Name)
        for (const auto& n : table)
            if (strcasecmp(n.name, e.name.c_str()) == 0) return n.value;
    throw CompileError(e.line, std::string("expected a ") + what + " name");
}

uint32_t roundUp16(uint32_t x) {
    return (x + 15u) & ~15u;
}

// A register name such as "t3": its letter must be `kind`.
uint32_t registerIndex(const std::string& reg, char kind, int line) {
    if (reg.size() < 2 || std::tolower(static_cast<unsigned char>(reg[0])) != kind ||
        reg.find_first_not_of("0123456789", 1) != std::string::npos || reg.size() > 6)
        throw CompileError(line, "register '" + reg + "' is not a " + std::string(1, kind) + "# register");
    return static_cast<uint32_t>(std::stoul(reg.substr(1)));
}

// Slots in declaration order, explicit registers first kept where they were asked for.
class SlotAllocator {
public:
    explicit SlotAllocator(uint32_t limit) : limit_(limit) {}
    void reserve(uint32_t slot, const std::string& name, int line) {
        if (slot >= limit_) throw CompileError(line, "register of '" + name + "' is out of range");
        if (!used_.insert(slot).second)
            throw CompileError(line, "register of '" + name + "' is already taken");
    }
    uint32_t next(const std::string& name, int line) {
        for (uint32_t s = 0; s < limit_; ++s)
            if (used_.insert(s).second) return s;
        throw CompileError(line, "no free register for '" + name + "'");
    }

private:
    uint32_t limit_;
    std::set<uint32_t> used_;
};

struct PendingUniform {
    const VarDecl* decl;
    Type type;
};

struct PendingBuffer {
    std::string name;
    std::string registerName;
    int line = 0;
    std::vector<PendingUniform> uniforms;
};

// Writes a constant into a buffer's bytes with the packing of its type.
void writeConstant(const Value& v, const Type& t, uint32_t offset, std::vector<uint8_t>& bytes) {
    auto put = [&](uint32_t at, uint32_t bits) { std::memcpy(bytes.data() + at, &bits, 4); };
    // Booleans are masks in registers; the framework stores TRUE as 1.
    auto stored = [&](uint32_t bits) { return t.base == BaseType::Bool ? (bits ? 1u : 0u) : bits; };
    if (t.isArray()) {
        Type e = t.element();
        uint32_t stride = d3d::EffectElementStride(VariableClass(e), e.rows, e.cols);
        for (int i = 0; i < t.arraySize; ++i) writeConstant(v.parts[i], e, offset + i * stride, bytes);
        return;
    }
    if (t.matrix) {
        for (int r = 0; r < t.rows; ++r)
            for (int c = 0; c < t.cols; ++c) {
                uint32_t bits = v.columns ? v.parts[c].bits[r] : v.parts[r].bits[c];
                uint32_t at = t.rowMajor ? offset + 16 * r + 4 * c : offset + 16 * c + 4 * r;
                put(at, stored(bits));
            }
        return;
    }
    for (int i = 0; i < t.cols; ++i) put(offset + 4 * i, stored(v.bits[i]));
}

class EffectCompiler {
public:
    explicit EffectCompiler(const Program& p) : program_(p) {}

    d3d::EffectLayout run() {
        declareStructs();
        declareFunctions();
        declareGlobals();
        layOutBuffers();
        listObjects();
        compileTechniques();
        return std::move(layout_);
    }

private:
    void declareStructs() {
        for (const auto& s : program_.structs) {
            StructType& st = globals_.structs[s.name];
            st.name = s.name;
            for (const auto& m : s.members) {
                Type t = ResolveType(m.type, globals_.structs);
                if (t.base == BaseType::Struct && t.structType == &st)
                    throw CompileError(m.line, "struct " + s.name + " cannot contain itself");
                if (t.isObject()) throw CompileError(m.line, "struct members cannot be textures or samplers");
                if (m.isArray) t.arraySize = constantArraySize(m);
                if (st.memberIndex(m.name) >= 0)
                    throw CompileError(m.line, "member '" + m.name + "' is declared twice");
                st.members.push_back({m.name, t, m.semantic, m.line});
            }
        }
    }

    int constantArraySize(const VarDecl& d) {
        if (!d.arraySize) throw CompileError(d.line, "array '" + d.name + "' needs a size");
        ShaderCompiler c(globals_, isa::Stage::Pixel);
        Value v = c.constant(*d.arraySize, Type::scalar(BaseType::Int));
        auto n = static_cast<int32_t>(v.bits[0]);
        if (n <= 0 || n > static_cast<int32_t>(d3d::kMaxArrayElements))
            throw CompileError(d.line, "array '" + d.name + "' has a bad size");
        return n;
    }

    void declareFunctions() {
        for (const auto& f : program_.functions) {
            auto range = globals_.functions.equal_range(f.name);
            for (auto it = range.first; it != range.second; ++it)
                if (it->second->params.size() == f.params.size())
                    throw CompileError(f.line, "function " + f.name + " is defined twice with " +
                                                   std::to_string(f.params.size()) +
                                                   " parameters; overloads must differ in parameter count");
            globals_.functions.emplace(f.name, &f);
        }
    }

    Type globalType(const VarDecl& d) {
        ShaderCompiler c(globals_, isa::Stage::Pixel);
        Type t = c.declaredType(d);
        return t;
    }

    void declareGlobals() {
        buffers_.push_back(PendingBuffer{"$Globals", "", 0, {}});
        for (const auto& d : program_.globals) {
            checkUnique(d.name, d.line);
            if (d.isStatic) {
                declareStatic(d);
                continue;
            }
            Type t = globalType(d);
            if (d.isArray && !d.arraySize)
                throw CompileError(d.line, "global array '" + d.name + "' needs a size");
            if (t.isObject()) {
                declareObject(d, t);
                continue;
            }
            if (!d.registerName.empty())
                throw CompileError(d.line, "register() on '" + d.name + "' is not supported; use a cbuffer");
            if (!d.state.empty()) throw CompileError(d.line, "only samplers take a state block");
            buffers_[0].uniforms.push_back({&d, t});
        }
        for (const auto& cb : program_.cbuffers) {
            checkUnique(cb.name, cb.line);
            PendingBuffer b{cb.name, cb.registerName, cb.line, {}};
            for (const auto& d : cb.variables) {
                checkUnique(d.name, d.line);
                if (d.isStatic) throw CompileError(d.line, "static variables cannot be in a cbuffer");
                if (!d.registerName.empty())
                    throw CompileError(d.line, "variables in a cbuffer cannot take a register");
                Type t = globalType(d);
                if (t.isObject()) throw CompileError(d.line, "textures and samplers cannot be in a cbuffer");
                b.uniforms.push_back({&d, t});
            }
            buffers_.push_back(std::move(b));
        }
    }

    void checkUnique(const std::string& name, int line) {
        if (!names_.insert(name).second) throw CompileError(line, "'" + name + "' is declared twice");
    }

    void declareStatic(const VarDecl& d) {
        ShaderCompiler c(globals_, isa::Stage::Pixel);
        Type t = c.declaredType(d);
        if (t.isObject()) throw CompileError(d.line, "textures and samplers cannot be static");
        bool unsized = d.isArray && !d.arraySize;
        Value v;
        if (d.init) {
            v = c.constantInitializer(*d.init, t, unsized);
        } else {
            if (d.isConst || unsized)
                throw CompileError(d.line, "static const '" + d.name + "' needs an initializer");
            v = c.zeroValue(t, d.line);
        }
        globals_.statics[d.name] = v;
        if (d.isConst) globals_.constStatics.insert(d.name);
    }

    void declareObject(const VarDecl& d, const Type& t) {
        if (t.isArray()) throw CompileError(d.line, "arrays of textures or samplers are not supported");
        if (d.init) throw CompileError(d.line, "'" + d.name + "' cannot have an initializer");
        bool sampler = t.base == BaseType::Sampler;
        if (!sampler && !d.state.empty()) throw CompileError(d.line, "only samplers take a state block");
        PendingObject o{&d, t, kNone, {}};
        if (!d.registerName.empty()) {
            o.slot = registerIndex(d.registerName, sampler ? 's' : 't', d.line);
            (sampler ? samplerSlots_ : textureSlots_).reserve(o.slot, d.name, d.line);
        }
        if (sampler) o.state = samplerState(d);
        objects_.push_back(o);
    }

    D3D10_SAMPLER_DESC samplerState(const VarDecl& d) {
        // The documented defaults of a Direct3D 10 sampler state.
        D3D10_SAMPLER_DESC s{};
        s.Filter = D3D10_FILTER_MIN_MAG_MIP_POINT;
        s.AddressU = s.AddressV = s.AddressW = D3D10_TEXTURE_ADDRESS_CLAMP;
        s.MipLODBias = 0.0f;
        s.MaxAnisotropy = 16;
        s.ComparisonFunc = D3D10_COMPARISON_NEVER;
        s.MinLOD = 0.0f;
        s.MaxLOD = FLT_MAX;
        std::set<std::string> seen;
        for (const auto& a : d.state) {
            std::string key = a.name;
            for (auto& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (!seen.insert(key).second)
                throw CompileError(a.line, "sampler state " + a.name + " is set twice");
            ShaderCompiler c(globals_, isa::Stage::Pixel);
            auto number = [&](BaseType b) { return c.constant(*a.value, Type::scalar(b)).bits[0]; };
            if (key == "FILTER")
                s.Filter = static_cast<D3D10_FILTER>(namedValue(kFilters, *a.value, "filter"));
            else if (key == "ADDRESSU")
                s.AddressU = static_cast<D3D10_TEXTURE_ADDRESS_MODE>(
                    namedValue(kAddressModes, *a.value, "address mode"));
            else if (key == "ADDRESSV")
                s.AddressV = static_cast<D3D10_TEXTURE_ADDRESS_MODE>(
                    namedValue(kAddressModes, *a.value, "address mode"));
            else if (key == "ADDRESSW")
                s.AddressW = static_cast<D3D10_TEXTURE_ADDRESS_MODE>(
                    namedValue(kAddressModes, *a.value, "address mode"));
            else if (key == "COMPARISONFUNC")
                s.ComparisonFunc =
                    static_cast<D3D10_COMPARISON_FUNC>(namedValue(kComparisons, *a.value, "comparison"));
            else if (key == "MIPLODBIAS")
                s.MipLODBias = BitsFloat(number(BaseType::Float));
            else if (key == "MINLOD")
                s.MinLOD = BitsFloat(number(BaseType::Float));
            else if (key == "MAXLOD")
                s.MaxLOD = BitsFloat(number(BaseType::Float));
            else if (key == "MAXANISOTROPY")
                s.MaxAnisotropy = number(BaseType::Int);
            else if (key == "BORDERCOLOR") {
                Value v = c.constant(*a.value, Type::vectorOf(BaseType::Float, 4));
                for (int i = 0; i < 4; ++i) s.BorderColor[i] = BitsFloat(v.bits[i]);
            } else {
                throw CompileError(a.line, "unknown sampler state '" + a.name + "'");
            }
        }
        return s;
    }

    void layOutBuffers() {
        SlotAllocator bufferSlots(isa::kConstantBufferSlots);
        for (auto& b : buffers_)
            if (!b.registerName.empty())
                bufferSlots.reserve(registerIndex(b.registerName, 'b', b.line), b.name, b.line);
        for (auto& b : buffers_) {
            if (b.uniforms.empty()) continue;
            uint32_t slot = b.registerName.empty() ? bufferSlots.next(b.name, b.line)
                                                   : registerIndex(b.registerName, 'b', b.line);
            d3d::EffectBufferInfo info;
            info.name = b.name;
            info.explicitSlot = b.registerName.empty() ? kNone : slot;
            info.firstVariable = static_cast<uint32_t>(layout_.variables.size());
            uint32_t bufferIndex = static_cast<uint32_t>(layout_.buffers.size());
            uint32_t offset = 0;
            std::vector<std::pair<const PendingUniform*, uint32_t>> placed;
            for (const auto& u : b.uniforms) {
                const Type& t = u.type;
                if (t.base == BaseType::Struct)
                    throw CompileError(u.decl->line,
                                       "struct variables in a constant buffer are not supported");
                D3D10_SHADER_VARIABLE_CLASS cls = VariableClass(t);
                uint32_t rows = t.matrix ? t.rows : 1, cols = t.cols;
                uint32_t size = d3d::EffectPackedSize(cls, rows, cols, t.arraySize);
                // A value never straddles a register; arrays and matrices start a new one.
                if (t.isArray() || t.matrix || (offset % 16) + size > 16) offset = roundUp16(offset);
                if (offset + size > d3d::kMaxBufferBytes)
                    throw CompileError(u.decl->line, "constant buffer " + b.name + " is too large");
                d3d::EffectVariableInfo v;
                v.name = u.decl->name;
                v.semantic = u.decl->semantic;
                v.typeName = t.element().name();
                v.varClass = cls;
                v.varType = VariableType(t.base);
                v.rows = rows;
                v.columns = cols;
                v.elements = static_cast<uint32_t>(t.arraySize);
                v.buffer = bufferIndex;
                v.offset = offset;
                v.size = size;
                layout_.variables.push_back(v);
                globals_.uniforms[v.name] = UniformSymbol{t, slot, offset};
                placed.emplace_back(&u, offset);
                offset += size;
            }
            info.size = roundUp16(offset);
            info.variableCount = static_cast<uint32_t>(b.uniforms.size());
            // Default values, when any variable has one.
            for (const auto& [u, at] : placed) {
                if (!u->decl->init) continue;
                if (info.initialData.empty()) info.initialData.assign(info.size, 0);
                ShaderCompiler c(globals_, isa::Stage::Pixel);
                Value v = c.constantInitializer(*u->decl->init, u->type);
                writeConstant(v, u->type, at, info.initialData);
            }
            bufferSlot_.push_back(slot);
            layout_.buffers.push_back(std::move(info));
        }
    }

    void listObjects() {
        for (auto& o : objects_) {
            bool sampler = o.type.base == BaseType::Sampler;
            if (o.slot == kNone)
                o.slot = (sampler ? samplerSlots_ : textureSlots_).next(o.decl->name, o.decl->line);
            d3d::EffectVariableInfo v;
            v.name = o.decl->name;
            v.semantic = o.decl->semantic;
            v.typeName = sampler ? "SamplerState" : "Texture2D";
            v.varClass = D3D10_SVC_OBJECT;
            v.varType = VariableType(o.type.base);
            v.rows = v.columns = 0;
            v.explicitBindPoint = o.decl->registerName.empty() ? kNone : o.slot;
            if (sampler) {
                v.firstSampler = static_cast<uint32_t>(layout_.samplers.size());
                layout_.samplers.push_back(o.state);
            }
            int symbol = static_cast<int>(globals_.objects.size());
            globals_.objects.push_back({v.name, o.type, o.slot});
            globals_.objectIndex[v.name] = symbol;
            objectVariable_.push_back(static_cast<uint32_t>(layout_.variables.size()));
            layout_.variables.push_back(v);
        }
    }

    // ---- techniques ----

    bool isNull(const Expr& e) const {
        return (e.kind == Expr::Kind::Name && e.name == "NULL") ||
               (e.kind == Expr::Kind::Int && e.intValue == 0);
    }

    uint32_t compileShader(const Expr& e, isa::Stage stage, const char* setter) {
        if (isNull(e)) return kNone;
        const char* profile = stage == isa::Stage::Vertex ? "vs_4_0" : "ps_4_0";
        if (e.kind != Expr::Kind::Call || e.name != "CompileShader" || e.operands.size() != 2)
            throw CompileError(e.line, std::string(setter) + " takes CompileShader(" + profile +
                                           ", entry()) or NULL");
        const Expr& p = *e.operands[0];
        const Expr& call = *e.operands[1];
        if (p.kind != Expr::Kind::Name) throw CompileError(p.line, "expected a shader profile");
        if (p.name != profile)
            throw CompileError(p.line, std::string(setter) + " needs profile " + profile + ", not " + p.name);
        if (call.kind != Expr::Kind::Call)
            throw CompileError(call.line, "expected a call of the shader's entry point");
        const FunctionDecl* entry = nullptr;
        auto range = globals_.functions.equal_range(call.name);
        for (auto it = range.first; it != range.second; ++it) {
            size_t uniforms = 0;
            for (const auto& param : it->second->params) uniforms += param.isUniform ? 1 : 0;
            if (uniforms == call.operands.size()) entry = it->second;
        }
        if (range.first == range.second)
            throw CompileError(call.line, "unknown entry point '" + call.name + "'");
        if (!entry)
            throw CompileError(call.line, "no function " + call.name + " has " +
                                              std::to_string(call.operands.size()) + " uniform parameters");
        std::vector<Value> args;
        size_t next = 0;
        for (const auto& param : entry->params) {
            if (!param.isUniform) continue;
            ShaderCompiler c(globals_, stage);
            args.push_back(c.constant(*call.operands[next++], c.declaredType(param)));
        }
        ShaderCompiler compiler(globals_, stage);
        CompiledShader compiled = compiler.compileEntry(*entry, args, call.line);

        d3d::EffectShaderInfo info;
        info.stage = stage;
        info.bytecode = std::move(compiled.bytecode);
        for (uint32_t slot : compiled.slots.constantBuffers)
            for (size_t b = 0; b < bufferSlot_.size(); ++b)
                if (bufferSlot_[b] == slot)
                    info.bindings.push_back(
                        {d3d::BindingKind::ConstantBuffer, static_cast<uint32_t>(b), 0, slot});
        for (size_t i = 0; i < globals_.objects.size(); ++i) {
            const ObjectSymbol& o = globals_.objects[i];
            bool sampler = o.type.base == BaseType::Sampler;
            const auto& used = sampler ? compiled.slots.samplers : compiled.slots.textures;
            if (used.count(o.slot))
                info.bindings.push_back({sampler ? d3d::BindingKind::Sampler : d3d::BindingKind::Texture,
                                         objectVariable_[i], 0, o.slot});
        }
        layout_.shaders.push_back(std::move(info));
        return static_cast<uint32_t>(layout_.shaders.size() - 1);
    }

    void compileTechniques() {
        std::set<std::string> techniques;
        for (const auto& t : program_.techniques) {
            if (!techniques.insert(t.name).second)
                throw CompileError(t.line, "technique " + t.name + " is defined twice");
            d3d::EffectTechniqueInfo info;
            info.name = t.name;
            std::set<std::string> passes;
            for (const auto& p : t.passes) {
                if (!passes.insert(p.name).second)
                    throw CompileError(p.line, "pass " + p.name + " is defined twice");
                d3d::EffectPassInfo pass;
                pass.name = p.name;
                std::set<std::string> calls;
                for (const auto& c : p.calls) {
                    if (!calls.insert(c.name).second)
                        throw CompileError(c.line, c.name + " is called twice in pass " + p.name);
                    if (c.name == "SetVertexShader")
                        pass.vertexShader = compileShader(*c.value, isa::Stage::Vertex, "SetVertexShader");
                    else if (c.name == "SetPixelShader")
                        pass.pixelShader = compileShader(*c.value, isa::Stage::Pixel, "SetPixelShader");
                    else if (c.name == "SetGeometryShader") {
                        if (!isNull(*c.value))
                            throw CompileError(c.line, "geometry shaders are not supported; use NULL");
                    } else if (c.name == "SetBlendState" || c.name == "SetDepthStencilState" ||
                               c.name == "SetRasterizerState") {
                        throw CompileError(c.line, c.name + ": state objects are not supported");
                    } else {
                        throw CompileError(c.line, "unknown pass call " + c.name);
                    }
                }
                info.passes.push_back(std::move(pass));
            }
            layout_.techniques.push_back(std::move(info));
        }
    }

    struct PendingObject {
        const VarDecl* decl;
        Type type;
        uint32_t slot;
        D3D10_SAMPLER_DESC state;
    };

    const Program& program_;
    GlobalSymbols globals_;
    std::set<std::string> names_;
    std::vector<PendingBuffer> buffers_;
    std::vector<PendingObject> objects_;
    std::vector<uint32_t> bufferSlot_;     // slot of each laid-out buffer
    std::vector<uint32_t> objectVariable_; // variable index of each object symbol
    SlotAllocator textureSlots_{isa::kResourceSlots};
    SlotAllocator samplerSlots_{isa::kSamplerSlots};
    d3d::EffectLayout layout_;
};

const char* className(D3D10_SHADER_VARIABLE_CLASS c) {
    switch (c) {
    case D3D10_SVC_SCALAR:
        return "scalar";
    case D3D10_SVC_VECTOR:
        return "vector";
    case D3D10_SVC_MATRIX_ROWS:
        return "row_major";
    case D3D10_SVC_MATRIX_COLUMNS:
        return "column_major";
    default:
        return "object";
    }
}

} // namespace

d3d::EffectLayout CompileEffect(const std::string& source) {
    Program program = Parse(source);
    return EffectCompiler(program).run();
}

bool CompileEffectSource(const std::string& source, const std::string& fileName,
                         std::vector<uint8_t>& container, std::string& error) {
    try {
        container = d3d::WriteEffect(CompileEffect(source));
        return true;
    } catch (const CompileError& e) {
        error = fileName + ":" + std::to_string(e.line()) + ": error: " + e.what();
        return false;
    }
}

std::string DescribeEffect(const d3d::EffectLayout& layout) {
    std::ostringstream out;
    for (const auto& b : layout.buffers) {
        out << "cbuffer " << b.name << " (" << b.size << " bytes)\n";
        for (uint32_t i = 0; i < b.variableCount; ++i) {
            const auto& v = layout.variables[b.firstVariable + i];
            out << "  " << v.offset << "\t" << v.typeName << " " << v.name;
            if (v.elements) out << "[" << v.elements << "]";
            out << "\t(" << className(v.varClass) << ", " << v.size << " bytes)\n";
        }
    }
    for (const auto& v : layout.variables)
        if (v.isObject()) out << "object " << v.typeName << " " << v.name << "\n";
    for (const auto& t : layout.techniques) {
        out << "technique " << t.name << "\n";
        for (const auto& p : t.passes) {
            out << "  pass " << p.name << ": vs ";
            out << (p.vertexShader == kNone ? std::string("NULL") : std::to_string(p.vertexShader))
                << ", gs NULL, ps ";
            out << (p.pixelShader == kNone ? std::string("NULL") : std::to_string(p.pixelShader)) << "\n";
        }
    }
    for (size_t i = 0; i < layout.shaders.size(); ++i) {
        const auto& s = layout.shaders[i];
        out << "shader " << i << "\n" << d3d::DisassembleShader(s.bytecode.data(), s.bytecode.size());
    }
    return out.str();
}

} // namespace unfold::fxc
