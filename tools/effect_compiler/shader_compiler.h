// Generates the VM program of one shader entry point.
//
// The VM runs straight-line code, so every function call is inlined, every for loop is unrolled (its
// condition must be known at compile time in each iteration) and every if whose condition is not
// known at compile time is flattened: both branches run and the variables they change are merged
// with movc. Values known at compile time are folded as they are computed, which is what makes loop
// counters, constant array indices and static const tables work.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/d3d10/shader_builder.h"
#include "tools/effect_compiler/ast.h"
#include "tools/effect_compiler/shader_ir.h"
#include "tools/effect_compiler/types.h"
#include "tools/effect_compiler/value.h"

namespace unfold::fxc {

// Where a uniform lives: constant-buffer slot and byte offset (packed by HLSL's rules).
struct UniformSymbol {
    Type type;
    uint32_t slot = 0;
    uint32_t offset = 0;
};

// A texture (slot tN) or sampler (slot sN) global.
struct ObjectSymbol {
    std::string name;
    Type type;
    uint32_t slot = 0;
};

// Everything at file scope that shader code can name.
struct GlobalSymbols {
    StructTable structs;
    std::map<std::string, UniformSymbol> uniforms;
    std::map<std::string, Value> statics; // static globals with their (constant) initial values
    std::set<std::string> constStatics;
    std::vector<ObjectSymbol> objects;
    std::map<std::string, int> objectIndex;
    std::multimap<std::string, const FunctionDecl*> functions;
};

struct CompiledShader {
    std::vector<uint32_t> bytecode;
    SlotUse slots;
};

class ShaderCompiler {
public:
    ShaderCompiler(const GlobalSymbols& globals, platform::d3d10::isa::Stage stage);

    // Compiles `entry` as the shader's main function. `uniformArguments` bind its uniform
    // parameters, in order (CompileShader(ps_4_0, PS(true)) passes one).
    CompiledShader compileEntry(const FunctionDecl& entry, const std::vector<Value>& uniformArguments,
                                int line);

    // Evaluates an expression that must be known at compile time, converted to `type`.
    Value constant(const Expr& e, const Type& type);
    // Builds a constant of `type` from an initializer (an expression or a { ... } list); an array
    // declared without a size takes its size from the list.
    Value constantInitializer(const Expr& e, const Type& type, bool unsizedArray = false);
    // The type of a declaration, with its array size evaluated.
    Type declaredType(const VarDecl& d);
    // The value of a variable declared without an initializer: zeros.
    Value zeroValue(const Type& t, int line) { return zero(t, line); }

private:
    enum class Flow { Normal, Break, Continue, Return };
    struct Local {
        Value value;
        bool isConst = false;
    };
    struct Frame {
        std::vector<std::map<std::string, Local>> scopes;
        const FunctionDecl* function = nullptr;
        Type returnType;
        bool returned = false;
        Value returnValue;
    };
    // A place an assignment writes: a variable and the members, elements and components within it.
    struct Access {
        enum class Kind { Member, Index, Components } kind;
        int index = 0;
        unsigned components[4] = {0, 0, 0, 0};
        int count = 0;
    };
    struct LValue {
        std::string root;
        std::vector<Access> path;
        int line = 0;
    };
    struct Snapshot {
        std::vector<std::map<std::string, Local>> scopes;
        std::map<std::string, Local> statics;
    };

    // ---- statements (shader_compiler.cpp) ----
    Flow execute(const Stmt& s);
    Flow executeScoped(const Stmt& s);
    Flow executeIf(const Stmt& s);
    Flow executeFor(const Stmt& s);
    void declare(const VarDecl& d);
    Local* findLocal(const std::string& name);
    Value lookup(const std::string& name, int line);
    LValue lvalue(const Expr& e);
    Value load(const LValue& lv);
    void store(const LValue& lv, const Value& v);
    Value updated(const Value& current, const std::vector<Access>& path, size_t at, const Value& v, int line);
    Snapshot snapshot() const;
    void restore(const Snapshot& s);
    Value merge(const Value& condition, const Value& a, const Value& b, int line);
    Value callFunction(const FunctionDecl& f, const Expr& call);
    const FunctionDecl* resolveFunction(const Expr& call);
    Value zero(const Type& t, int line);
    Value initializer(const Expr& e, const Type& t, bool unsizedArray = false);

    // ---- expressions (shader_expressions.cpp) ----
    Value evaluate(const Expr& e);
    Value member(const Value& object, const std::string& name, int line);
    Value index(const Value& object, const Expr& indexExpr, int line);
    int constantIndex(const Expr& e);
    Value unaryOp(const std::string& op, const Value& v, int line);
    Value binaryOp(const std::string& op, const Value& a, const Value& b, int line);
    Value conditional(const Value& c, const Value& a, const Value& b, int line);
    Value convert(const Value& v, const Type& to, int line, bool explicitCast = false);
    Value convertBase(const Value& v, BaseType to, int line);
    Value construct(const Type& t, const std::vector<Value>& args, int line);
    Value loadUniform(const UniformSymbol& u, uint32_t offset, const Type& t);
    Value swizzle(const Value& v, const unsigned* components, int count);
    Value broadcast(const Value& scalar, int n);
    Value truncate(const Value& v, int n);
    Value negate(const Value& v, int line);
    Value matrixRow(const Value& m, int row);
    Value toRows(const Value& m);
    Value gather(BaseType base, const std::vector<std::pair<Value, int>>& components);
    void flatten(const Value& v, std::vector<std::pair<Value, int>>& out);
    Value componentwise(platform::d3d10::isa::Opcode op, const Type& result, const std::vector<Value>& args,
                        bool saturate = false);
    Type commonShape(const Type& a, const Type& b, BaseType base, const std::string& op, int line);
    Value mapParts(const Value& v, const std::function<Value(const Value&)>& f);

    // ---- intrinsics (shader_intrinsics.cpp) ----
    bool isIntrinsic(const std::string& name) const;
    Value intrinsic(const Expr& call, const std::vector<Value>& args);
    Value multiply(const Value& a, const Value& b, int line);
    Value dot(const Value& a, const Value& b, int line);
    Value sample(const Value& texture, const std::vector<Value>& args, int line);

    // ---- emission ----
    uint32_t newTemp();
    void emit(platform::d3d10::isa::Opcode op, const platform::d3d10::Operand& dst,
              const platform::d3d10::Operand& a = {}, const platform::d3d10::Operand& b = {},
              const platform::d3d10::Operand& c = {}, bool saturate = false);
    platform::d3d10::Operand source(const Value& v, int width);
    Value registerValue(const Type& t, uint32_t temp);
    static Value constantValue(const Type& t, const std::array<uint32_t, 4>& bits);

    const GlobalSymbols& globals_;
    platform::d3d10::isa::Stage stage_;
    platform::d3d10::ShaderBuilder builder_;
    ShaderIr ir_;
    std::vector<Frame> frames_;
    std::map<std::string, Local> statics_;
    int conditionalDepth_ = 0; // inside flattened branches
    bool constantOnly_ = false;
    int line_ = 0;
};

// Component bits of constants.
uint32_t FloatBits(float f);
float BitsFloat(uint32_t u);
constexpr uint32_t kTrue = 0xFFFFFFFFu;

} // namespace unfold::fxc
