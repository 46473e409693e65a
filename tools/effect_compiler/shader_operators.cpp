// Operators: arithmetic, comparisons, logic, bitwise, negation and ?:, with HLSL's promotion of
// types and shapes. Operations on constants fold.
#include <climits>
#include <cmath>

#include "tools/effect_compiler/compile_error.h"
#include "tools/effect_compiler/shader_compiler.h"

namespace unfold::fxc {

namespace isa = platform::d3d10::isa;
using isa::Opcode;

namespace {

uint32_t component(const Value& v, int i) {
    return v.type.cols == 1 ? v.bits[0] : v.bits[std::min(i, v.type.cols - 1)];
}

} // namespace

Type ShaderCompiler::commonShape(const Type& a, const Type& b, BaseType base, const std::string& op,
                                 int line) {
    auto fail = [&]() -> Type {
        throw CompileError(line, "operator " + op + " cannot combine " + a.name() + " and " + b.name());
    };
    if (!a.isNumeric() || !b.isNumeric() || a.isArray() || b.isArray()) return fail();
    if (a.matrix || b.matrix) {
        if (a.matrix && b.matrix)
            return Type::matrixOf(base, std::min(a.rows, b.rows), std::min(a.cols, b.cols));
        const Type& m = a.matrix ? a : b;
        const Type& other = a.matrix ? b : a;
        if (other.cols != 1) return fail();
        return Type::matrixOf(base, m.rows, m.cols);
    }
    if (a.cols == 1 && b.cols == 1) {
        Type t = Type::scalar(base);
        t.vector = a.vector && b.vector;
        return t;
    }
    if (a.cols == 1) return Type::vectorOf(base, b.cols);
    if (b.cols == 1) return Type::vectorOf(base, a.cols);
    return Type::vectorOf(base, std::min(a.cols, b.cols));
}

Value ShaderCompiler::negate(const Value& v, int line) {
    if (v.type.matrix) return mapParts(v, [&](const Value& p) { return negate(p, line); });
    if (v.type.base == BaseType::Float) {
        Value r = v;
        if (r.constant) {
            for (auto& b : r.bits) b ^= 0x80000000u;
        } else {
            r.operand = r.operand.negated();
        }
        return r;
    }
    Value i = convertBase(v, BaseType::Int, line);
    return componentwise(Opcode::Ineg, i.type, {i});
}

Value ShaderCompiler::unaryOp(const std::string& op, const Value& v, int line) {
    if (!v.type.isNumeric() || v.type.isArray())
        throw CompileError(line, "operator " + op + " cannot be applied to a " + v.type.name());
    if (op == "+") return v.type.base == BaseType::Bool ? convertBase(v, BaseType::Int, line) : v;
    if (op == "-") return negate(v, line);
    if (v.type.matrix) throw CompileError(line, "operator " + op + " cannot be applied to a matrix");
    if (op == "!") {
        Value b = convertBase(v, BaseType::Bool, line);
        return componentwise(Opcode::Not, b.type, {b});
    }
    if (v.type.base == BaseType::Float) throw CompileError(line, "operator ~ needs an integer operand");
    return componentwise(Opcode::Not, v.type, {v});
}

Value ShaderCompiler::binaryOp(const std::string& op, const Value& a, const Value& b, int line) {
    if (!a.type.isNumeric() || !b.type.isNumeric() || a.type.isArray() || b.type.isArray())
        throw CompileError(line,
                           "operator " + op + " cannot combine " + a.type.name() + " and " + b.type.name());
    auto promote = [](BaseType x, BaseType y) {
        if (x == BaseType::Float || y == BaseType::Float) return BaseType::Float;
        return BaseType::Int;
    };
    bool arithmetic = op == "+" || op == "-" || op == "*" || op == "/" || op == "%";
    bool comparison = op == "<" || op == ">" || op == "<=" || op == ">=" || op == "==" || op == "!=";
    bool logical = op == "&&" || op == "||";
    bool bitwise = op == "&" || op == "|" || op == "^" || op == "<<" || op == ">>";

    BaseType base;
    if (logical)
        base = BaseType::Bool;
    else if (comparison || bitwise)
        base = (a.type.base == BaseType::Bool && b.type.base == BaseType::Bool)
                   ? BaseType::Bool
                   : promote(a.type.base, b.type.base);
    else
        base = promote(a.type.base, b.type.base);
    if (bitwise && base == BaseType::Float)
        throw CompileError(line, "operator " + op + " needs integer operands");
    Type shape = commonShape(a.type, b.type, base, op, line);
    Value x = convert(a, shape, line), y = convert(b, shape, line);

    if (shape.matrix) {
        if (!arithmetic) throw CompileError(line, "operator " + op + " cannot be applied to matrices");
        if (x.columns != y.columns) {
            x = toRows(x);
            y = toRows(y);
        }
        Value r = x;
        for (size_t i = 0; i < r.parts.size(); ++i) r.parts[i] = binaryOp(op, x.parts[i], y.parts[i], line);
        return r;
    }

    Type result = shape;
    if (comparison) result.base = BaseType::Bool;
    bool isFloat = base == BaseType::Float;
    if (op == "+") return componentwise(isFloat ? Opcode::Add : Opcode::Iadd, result, {x, y});
    if (op == "-") return componentwise(isFloat ? Opcode::Add : Opcode::Iadd, result, {x, negate(y, line)});
    if (op == "*") return componentwise(isFloat ? Opcode::Mul : Opcode::Imul, result, {x, y});
    if (op == "/" || op == "%") {
        if (isFloat && op == "/") return componentwise(Opcode::Div, result, {x, y});
        if (!x.constant || !y.constant)
            throw CompileError(line, std::string(isFloat ? "floating-point %" : "integer " + op) +
                                         " is supported only on compile-time constants");
        std::array<uint32_t, 4> bits{};
        for (int i = 0; i < result.cols; ++i) {
            if (isFloat) {
                bits[i] = FloatBits(std::fmod(BitsFloat(component(x, i)), BitsFloat(component(y, i))));
                continue;
            }
            auto p = static_cast<int32_t>(component(x, i)), q = static_cast<int32_t>(component(y, i));
            if (q == 0) throw CompileError(line, "integer division by zero");
            if (p == INT32_MIN && q == -1) throw CompileError(line, "integer division overflows");
            bits[i] = static_cast<uint32_t>(op == "/" ? p / q : p % q);
        }
        return constantValue(result, bits);
    }
    if (comparison) {
        if (isFloat) {
            if (op == "<") return componentwise(Opcode::Lt, result, {x, y});
            if (op == ">") return componentwise(Opcode::Lt, result, {y, x});
            if (op == "<=") return componentwise(Opcode::Ge, result, {y, x});
            if (op == ">=") return componentwise(Opcode::Ge, result, {x, y});
            if (op == "==") return componentwise(Opcode::Eq, result, {x, y});
            return componentwise(Opcode::Ne, result, {x, y});
        }
        if (op == "<") return componentwise(Opcode::Ilt, result, {x, y});
        if (op == ">") return componentwise(Opcode::Ilt, result, {y, x});
        if (op == "<=") return componentwise(Opcode::Ige, result, {y, x});
        if (op == ">=") return componentwise(Opcode::Ige, result, {x, y});
        if (op == "==") return componentwise(Opcode::Ieq, result, {x, y});
        return componentwise(Opcode::Ine, result, {x, y});
    }
    if (op == "&&" || op == "&") return componentwise(Opcode::And, result, {x, y});
    if (op == "||" || op == "|") return componentwise(Opcode::Or, result, {x, y});
    if (op == "^") return componentwise(Opcode::Xor, result, {x, y});
    // Shifts: the VM has none, so only constants shift.
    if (!x.constant || !y.constant)
        throw CompileError(line, "operator " + op + " is supported only on constants");
    std::array<uint32_t, 4> bits{};
    for (int i = 0; i < result.cols; ++i) {
        uint32_t s = component(y, i) & 31;
        uint32_t v = component(x, i);
        bits[i] = op == "<<" ? v << s : static_cast<uint32_t>(static_cast<int32_t>(v) >> s);
    }
    return constantValue(result, bits);
}

Value ShaderCompiler::conditional(const Value& c, const Value& a, const Value& b, int line) {
    BaseType base = a.type.base == b.type.base                                           ? a.type.base
                    : (a.type.base == BaseType::Float || b.type.base == BaseType::Float) ? BaseType::Float
                                                                                         : BaseType::Int;
    if (!a.type.isNumeric() || !b.type.isNumeric()) {
        if (!a.type.sameAs(b.type)) throw CompileError(line, "the branches of ?: have different types");
        if (!c.constant || !c.type.isScalar())
            throw CompileError(line, "?: on a " + a.type.name() + " needs a constant condition");
        return c.bits[0] ? a : b;
    }
    Type shape = commonShape(a.type, b.type, base, "?:", line);
    Value x = convert(a, shape, line), y = convert(b, shape, line);
    if (!c.type.isVectorLike()) throw CompileError(line, "the condition of ?: must be a scalar or a vector");
    if (shape.matrix) {
        if (!c.type.isScalar()) throw CompileError(line, "a matrix ?: needs a scalar condition");
        Value cond = convertBase(c, BaseType::Bool, line);
        if (x.columns != y.columns) {
            x = toRows(x);
            y = toRows(y);
        }
        Value r = x;
        for (size_t i = 0; i < r.parts.size(); ++i)
            r.parts[i] = conditional(cond, x.parts[i], y.parts[i], line);
        return r;
    }
    Type condType = shape;
    condType.base = BaseType::Bool;
    Value cond = convert(c, condType, line);
    return componentwise(Opcode::Movc, shape, {cond, x, y});
}

} // namespace unfold::fxc
