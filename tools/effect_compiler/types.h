// HLSL types as the code generator sees them, and how they map onto the effect framework's variable
// classes and onto constant-buffer packing.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <d3d10effect.h>

#include "tools/effect_compiler/ast.h"

namespace unfold::fxc {

enum class BaseType { Void, Bool, Int, Float, Struct, Texture, Sampler };

struct StructType;

struct Type {
    BaseType base = BaseType::Void;
    int rows = 1; // matrices only
    int cols = 1; // vector size, or matrix columns
    bool matrix = false;
    bool vector = false; // float1 is a vector of one; float is a scalar
    int arraySize = 0;   // 0 when not an array
    const StructType* structType = nullptr;
    int textureComponents = 4; // Texture2D<floatN> returns N components from Sample
    bool rowMajor = false;     // packing of a matrix in a constant buffer

    static Type scalar(BaseType b) {
        Type t;
        t.base = b;
        return t;
    }
    static Type vectorOf(BaseType b, int n) {
        Type t;
        t.base = b;
        t.cols = n;
        t.vector = n > 1;
        return t;
    }
    static Type matrixOf(BaseType b, int rows, int cols) {
        Type t;
        t.base = b;
        t.rows = rows;
        t.cols = cols;
        t.matrix = true;
        return t;
    }

    bool isNumeric() const {
        return base == BaseType::Bool || base == BaseType::Int || base == BaseType::Float;
    }
    bool isObject() const { return base == BaseType::Texture || base == BaseType::Sampler; }
    bool isArray() const { return arraySize > 0; }
    // A scalar or vector (not an array, not a matrix).
    bool isVectorLike() const { return isNumeric() && !matrix && !isArray(); }
    bool isScalar() const { return isVectorLike() && cols == 1; }
    int components() const { return matrix ? rows * cols : cols; }
    Type element() const {
        Type t = *this;
        t.arraySize = 0;
        return t;
    }
    // Same type, ignoring packing.
    bool sameAs(const Type& o) const;
    std::string name() const;
};

struct StructMember {
    std::string name;
    Type type;
    std::string semantic;
    int line = 0;
};

struct StructType {
    std::string name;
    std::vector<StructMember> members;
    int memberIndex(const std::string& name) const;
};

using StructTable = std::map<std::string, StructType>;

// Resolves a type name; throws CompileError for unknown or unsupported types.
Type ResolveType(const TypeSpec& written, const StructTable& structs);

// The framework's view of a numeric type.
D3D10_SHADER_VARIABLE_TYPE VariableType(BaseType b);
D3D10_SHADER_VARIABLE_CLASS VariableClass(const Type& t);

// Splits a semantic into name and index: "TEXCOORD1" -> ("TEXCOORD", 1).
void SplitSemantic(const std::string& semantic, std::string& name, uint32_t& index);

} // namespace unfold::fxc
