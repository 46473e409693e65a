#include "tools/effect_compiler/types.h"

#include <cctype>

#include "tools/effect_compiler/compile_error.h"

namespace unfold::fxc {

bool Type::sameAs(const Type& o) const {
    if (base != o.base || arraySize != o.arraySize) return false;
    if (base == BaseType::Struct) return structType == o.structType;
    if (isObject()) return base != BaseType::Texture || textureComponents == o.textureComponents;
    return matrix == o.matrix && rows == o.rows && cols == o.cols;
}

std::string Type::name() const {
    std::string n;
    switch (base) {
    case BaseType::Void:
        n = "void";
        break;
    case BaseType::Bool:
        n = "bool";
        break;
    case BaseType::Int:
        n = "int";
        break;
    case BaseType::Float:
        n = "float";
        break;
    case BaseType::Struct:
        n = structType ? structType->name : "struct";
        break;
    case BaseType::Texture:
        n = "Texture2D";
        break;
    case BaseType::Sampler:
        n = "SamplerState";
        break;
    }
    if (isNumeric()) {
        if (matrix)
            n += std::to_string(rows) + "x" + std::to_string(cols);
        else if (vector || cols > 1)
            n += std::to_string(cols);
    }
    if (arraySize) n += "[" + std::to_string(arraySize) + "]";
    return n;
}

int StructType::memberIndex(const std::string& n) const {
    for (size_t i = 0; i < members.size(); ++i)
        if (members[i].name == n) return static_cast<int>(i);
    return -1;
}

Type ResolveType(const TypeSpec& written, const StructTable& structs) {
    const std::string& n = written.name;
    Type t;
    auto finish = [&](Type r) {
        if (written.rowMajor && written.columnMajor)
            throw CompileError(written.line, "a type cannot be both row_major and column_major");
        r.rowMajor = written.rowMajor;
        if ((written.rowMajor || written.columnMajor) && !r.matrix)
            throw CompileError(written.line, "row_major and column_major apply to matrices only");
        return r;
    };
    if (auto it = structs.find(n); it != structs.end()) {
        t.base = BaseType::Struct;
        t.structType = &it->second;
        return finish(t);
    }
    if (n == "void") return finish(t);
    if (n == "Texture2D" || n == "Texture") {
        t.base = BaseType::Texture;
        if (!written.templateArg.empty()) {
            TypeSpec arg;
            arg.name = written.templateArg;
            arg.line = written.line;
            Type element = ResolveType(arg, structs);
            if (element.base != BaseType::Float || element.matrix)
                throw CompileError(written.line, "Texture2D holds float, float2, float3 or float4 only");
            t.textureComponents = element.cols;
        }
        return finish(t);
    }
    if (n == "SamplerState" || n == "sampler") {
        t.base = BaseType::Sampler;
        return finish(t);
    }
    if (!written.templateArg.empty()) throw CompileError(written.line, "type " + n + " takes no template argument");
    if (n == "matrix") return finish(Type::matrixOf(BaseType::Float, 4, 4));
    if (n == "vector") return finish(Type::vectorOf(BaseType::Float, 4));
    struct BaseName {
        const char* name;
        BaseType base;
    };
    static const BaseName bases[] = {{"float", BaseType::Float},
                                     {"half", BaseType::Float},
                                     {"int", BaseType::Int},
                                     {"bool", BaseType::Bool}};
    for (const auto& b : bases) {
        std::string prefix = b.name;
        if (n.compare(0, prefix.size(), prefix) != 0) continue;
        std::string rest = n.substr(prefix.size());
        if (rest.empty()) return finish(Type::scalar(b.base));
        if (rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') {
            Type v = Type::vectorOf(b.base, rest[0] - '0');
            v.vector = true;
            return finish(v);
        }
        if (rest.size() == 3 && rest[1] == 'x' && rest[0] >= '1' && rest[0] <= '4' && rest[2] >= '1' &&
            rest[2] <= '4') {
            if (b.base != BaseType::Float) throw CompileError(written.line, "only float matrices are supported");
            return finish(Type::matrixOf(b.base, rest[0] - '0', rest[2] - '0'));
        }
    }
    if (n.compare(0, 4, "uint") == 0 || n.compare(0, 5, "dword") == 0)
        throw CompileError(written.line, "unsigned integer types are not supported; use int");
    if (n.compare(0, 6, "double") == 0)
        throw CompileError(written.line, "double is not supported by profile fx_4_0");
    throw CompileError(written.line, "type " + n + " is not supported");
}

D3D10_SHADER_VARIABLE_TYPE VariableType(BaseType b) {
    switch (b) {
    case BaseType::Bool:
        return D3D10_SVT_BOOL;
    case BaseType::Int:
        return D3D10_SVT_INT;
    case BaseType::Texture:
        return D3D10_SVT_TEXTURE2D;
    case BaseType::Sampler:
        return D3D10_SVT_SAMPLER;
    default:
        return D3D10_SVT_FLOAT;
    }
}

D3D10_SHADER_VARIABLE_CLASS VariableClass(const Type& t) {
    if (t.isObject()) return D3D10_SVC_OBJECT;
    if (t.matrix) return t.rowMajor ? D3D10_SVC_MATRIX_ROWS : D3D10_SVC_MATRIX_COLUMNS;
    return (t.vector || t.cols > 1) ? D3D10_SVC_VECTOR : D3D10_SVC_SCALAR;
}

void SplitSemantic(const std::string& semantic, std::string& name, uint32_t& index) {
    size_t end = semantic.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(semantic[end - 1]))) --end;
    name = semantic.substr(0, end);
    std::string digits = semantic.substr(end);
    if (digits.size() > 6) digits = digits.substr(digits.size() - 6);
    index = digits.empty() ? 0 : static_cast<uint32_t>(std::stoul(digits));
}

} // namespace unfold::fxc
