// The syntax tree of an effect source file, as the parser builds it. Names are resolved and types
// checked later, when shaders are generated (shader_compiler) and globals laid out (effect_compiler).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace unfold::fxc {

struct TypeSpec {
    std::string name;        // "float4", "Texture2D", a struct's name
    std::string templateArg; // Texture2D<float4>
    bool rowMajor = false;
    bool columnMajor = false;
    int line = 0;
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        Int,
        Float,
        Bool,
        Name,       // name
        Member,     // operands[0].name: a struct member or a swizzle
        Index,      // operands[0][operands[1]]
        Call,       // name(operands...): a function, an intrinsic or a constructor
        MethodCall, // operands[0].name(operands[1...])
        Unary,      // name is the operator: "-", "+", "!", "~"
        Binary,     // name is the operator
        Assign,     // name is "=", "+=", ...
        Conditional,
        Cast,          // (type) operands[0]
        PreIncrement,  // name is "++" or "--"
        PostIncrement, // name is "++" or "--"
        InitList,      // { operands... }
    };
    Kind kind;
    int line = 0;
    std::string name;
    TypeSpec type;
    int64_t intValue = 0;
    float floatValue = 0.0f;
    bool boolValue = false;
    std::vector<ExprPtr> operands;
};

struct StateAssignment {
    std::string name;
    ExprPtr value;
    int line = 0;
};

struct VarDecl {
    enum class Direction { In, Out, InOut };
    TypeSpec type;
    std::string name;
    int line = 0;
    bool isArray = false;
    ExprPtr arraySize; // null for "[]" sized by the initializer
    std::string semantic;
    std::string registerName; // register(t0) -> "t0"
    ExprPtr init;
    bool isStatic = false, isConst = false, isUniform = false, isExtern = false;
    Direction direction = Direction::In;
    std::vector<StateAssignment> state; // the block of a sampler state
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;

struct Stmt {
    enum class Kind { Block, Declaration, Expression, If, For, Return, Break, Continue, Empty };
    Kind kind;
    int line = 0;
    std::vector<StmtPtr> body;      // Block
    std::vector<VarDecl> decls;     // Declaration
    ExprPtr expr;                   // Expression, Return (may be null), If and For condition (may be null)
    ExprPtr step;                   // For
    StmtPtr init;                   // For (may be null)
    StmtPtr thenBranch, elseBranch; // If (else may be null)
    StmtPtr loopBody;               // For
};

struct StructDecl {
    std::string name;
    std::vector<VarDecl> members;
    int line = 0;
};

struct FunctionDecl {
    TypeSpec returnType;
    std::string name;
    std::vector<VarDecl> params;
    std::string semantic;
    StmtPtr body;
    int line = 0;
};

struct CBufferDecl {
    std::string name;
    std::string registerName;
    std::vector<VarDecl> variables;
    int line = 0;
};

struct PassDecl {
    std::string name;
    std::vector<StateAssignment> calls; // SetVertexShader(expr) -> {"SetVertexShader", expr}
    int line = 0;
};

struct TechniqueDecl {
    std::string name;
    std::vector<PassDecl> passes;
    int line = 0;
};

struct Program {
    std::vector<StructDecl> structs;
    std::vector<FunctionDecl> functions;
    std::vector<VarDecl> globals; // outside any cbuffer, in declaration order
    std::vector<CBufferDecl> cbuffers;
    std::vector<TechniqueDecl> techniques;
};

} // namespace unfold::fxc
