// Expressions: operators, conversions, constructors, swizzles, uniforms, and the emission helpers
// they share. Every helper folds when all its inputs are constants.
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/d3d10/effect_format.h"
#include "tools/effect_compiler/compile_error.h"
#include "tools/effect_compiler/parser.h"
#include "tools/effect_compiler/shader_compiler.h"

namespace unfold::fxc {

using platform::d3d10::Operand;
namespace isa = platform::d3d10::isa;
using isa::Opcode;
using isa::RegFile;

uint32_t FloatBits(float f) {
    return std::bit_cast<uint32_t>(f);
}
float BitsFloat(uint32_t u) {
    return std::bit_cast<float>(u);
}

bool Value::sameAs(const Value& o) const {
    if (!type.sameAs(o.type) || parts.size() != o.parts.size() || columns != o.columns || object != o.object)
        return false;
    if (!parts.empty()) {
        for (size_t i = 0; i < parts.size(); ++i)
            if (!parts[i].sameAs(o.parts[i])) return false;
        return true;
    }
    if (!type.isVectorLike()) return true;
    if (constant != o.constant) return false;
    int n = type.cols;
    if (constant) {
        for (int i = 0; i < n; ++i)
            if (bits[i] != o.bits[i]) return false;
        return true;
    }
    const Operand &a = operand, &b = o.operand;
    if (a.file != b.file || a.index != b.index || a.slot != b.slot || a.neg != b.neg || a.abs != b.abs)
        return false;
    for (int i = 0; i < n; ++i)
        if (a.component(i) != b.component(i)) return false;
    return true;
}

namespace {

// Folds one component of an operation on constants, exactly as the VM computes it; false when the
// operation is left to the VM.
bool foldComponent(Opcode op, uint32_t a, uint32_t b, uint32_t c, uint32_t& r) {
    float fa = BitsFloat(a), fb = BitsFloat(b);
    auto ia = static_cast<int32_t>(a), ib = static_cast<int32_t>(b);
    switch (op) {
    case Opcode::Mov:
        r = a;
        return true;
    case Opcode::Add:
        r = FloatBits(fa + fb);
        return true;
    case Opcode::Mul:
        r = FloatBits(fa * fb);
        return true;
    case Opcode::Div:
        r = FloatBits(fa / fb);
        return true;
    case Opcode::Lt:
        r = fa < fb ? kTrue : 0;
        return true;
    case Opcode::Ge:
        r = fa >= fb ? kTrue : 0;
        return true;
    case Opcode::Eq:
        r = fa == fb ? kTrue : 0;
        return true;
    case Opcode::Ne:
        r = fa != fb ? kTrue : 0;
        return true;
    case Opcode::And:
        r = a & b;
        return true;
    case Opcode::Or:
        r = a | b;
        return true;
    case Opcode::Xor:
        r = a ^ b;
        return true;
    case Opcode::Not:
        r = ~a;
        return true;
    case Opcode::Movc:
        r = a ? b : c;
        return true;
    case Opcode::Itof:
        r = FloatBits(static_cast<float>(ia));
        return true;
    case Opcode::Ftoi:
        if (!(fa > -2147483648.0f && fa < 2147483648.0f)) return false;
        r = static_cast<uint32_t>(static_cast<int32_t>(fa));
        return true;
    case Opcode::Iadd:
        r = a + b;
        return true;
    case Opcode::Imul:
        r = a * b;
        return true;
    case Opcode::Ineg:
        r = 0u - a;
        return true;
    case Opcode::Ilt:
        r = ia < ib ? kTrue : 0;
        return true;
    case Opcode::Ige:
        r = ia >= ib ? kTrue : 0;
        return true;
    case Opcode::Ieq:
        r = a == b ? kTrue : 0;
        return true;
    case Opcode::Ine:
        r = a != b ? kTrue : 0;
        return true;
    default:
        return false;
    }
}

uint32_t component(const Value& v, int i) {
    return v.type.cols == 1 ? v.bits[0] : v.bits[std::min(i, v.type.cols - 1)];
}

Type withCols(const Type& t, int n) {
    Type r = t;
    r.cols = n;
    r.vector = n > 1 || (t.vector && n == t.cols);
    return r;
}

bool allConstant(const Value& v) {
    if (!v.parts.empty()) {
        for (const auto& p : v.parts)
            if (!allConstant(p)) return false;
        return true;
    }
    return !v.type.isVectorLike() || v.constant;
}

} // namespace

// ---- emission ----

uint32_t ShaderCompiler::newTemp() {
    return ir_.newTemp();
}

void ShaderCompiler::emit(Opcode op, const Operand& dst, const Operand& a, const Operand& b, const Operand& c,
                          bool saturate) {
    if (constantOnly_) throw CompileError(line_, "the expression is not a compile-time constant");
    IrInstruction ins;
    ins.op = op;
    ins.saturate = saturate;
    ins.dst = dst;
    ins.src[0] = a;
    ins.src[1] = b;
    ins.src[2] = c;
    ir_.emit(ins);
}

Operand ShaderCompiler::source(const Value& v, int width) {
    if (!v.type.isVectorLike())
        throw CompileError(line_, "internal error: a " + v.type.name() + " used as an operand");
    if (v.constant) {
        uint32_t b[4];
        for (int i = 0; i < 4; ++i) b[i] = component(v, std::min(i, std::max(width, 1) - 1));
        return builder_.literalBits(b[0], b[1], b[2], b[3]);
    }
    Operand o = v.operand;
    unsigned c[4];
    for (int i = 0; i < 4; ++i) c[i] = o.component(v.type.cols == 1 ? 0 : std::min(i, v.type.cols - 1));
    o.swizzle = isa::Swizzle(c[0], c[1], c[2], c[3]);
    return o;
}

Value ShaderCompiler::registerValue(const Type& t, uint32_t temp) {
    Value v;
    v.type = t;
    v.operand = platform::d3d10::Temp(temp);
    return v;
}

Value ShaderCompiler::constantValue(const Type& t, const std::array<uint32_t, 4>& bits) {
    Value v;
    v.type = t;
    v.constant = true;
    v.bits = bits;
    return v;
}

Value ShaderCompiler::componentwise(Opcode op, const Type& result, const std::vector<Value>& args,
                                    bool saturate) {
    int n = result.cols;
    bool fold = !saturate;
    for (const auto& a : args) fold = fold && a.constant;
    if (fold) {
        std::array<uint32_t, 4> out{};
        bool ok = true;
        for (int i = 0; i < n && ok; ++i) {
            uint32_t x[3] = {0, 0, 0};
            for (size_t k = 0; k < args.size(); ++k) x[k] = component(args[k], i);
            ok = foldComponent(op, x[0], x[1], x[2], out[i]);
        }
        if (ok) return constantValue(result, out);
    }
    uint32_t t = newTemp();
    Operand dst = platform::d3d10::Temp(t);
    dst.mask = static_cast<uint8_t>((1u << n) - 1);
    Operand src[3];
    for (size_t k = 0; k < args.size(); ++k) src[k] = source(args[k], n);
    emit(op, dst, src[0], src[1], src[2], saturate);
    return registerValue(result, t);
}

Value ShaderCompiler::mapParts(const Value& v, const std::function<Value(const Value&)>& f) {
    if (!v.type.matrix) return f(v);
    Value r = v;
    for (auto& p : r.parts) p = f(p);
    if (!r.parts.empty()) r.type.base = r.parts[0].type.base;
    return r;
}

// ---- shapes ----

Value ShaderCompiler::broadcast(const Value& scalar, int n) {
    Value v = scalar;
    v.type = withCols(scalar.type, n);
    v.type.vector = n > 1;
    if (v.constant) {
        for (int i = 0; i < 4; ++i) v.bits[i] = scalar.bits[0];
    } else {
        unsigned c = scalar.operand.component(0);
        v.operand.swizzle = isa::Swizzle(c, c, c, c);
    }
    return v;
}

Value ShaderCompiler::truncate(const Value& v, int n) {
    if (n == v.type.cols) return v;
    Value r = v;
    r.type = withCols(v.type, n);
    if (r.constant)
        for (int i = n; i < 4; ++i) r.bits[i] = 0;
    return r;
}

Value ShaderCompiler::swizzle(const Value& v, const unsigned* comps, int count) {
    Value r = v;
    r.type = count == 1 ? Type::scalar(v.type.base) : Type::vectorOf(v.type.base, count);
    if (v.constant) {
        r.bits = {};
        for (int i = 0; i < count; ++i) r.bits[i] = component(v, static_cast<int>(comps[i]));
        return r;
    }
    unsigned c[4];
    for (int i = 0; i < 4; ++i) {
        unsigned want = comps[std::min(i, count - 1)];
        c[i] = v.operand.component(v.type.cols == 1 ? 0 : want);
    }
    r.operand.swizzle = isa::Swizzle(c[0], c[1], c[2], c[3]);
    return r;
}

Value ShaderCompiler::gather(BaseType base, const std::vector<std::pair<Value, int>>& comps) {
    int n = static_cast<int>(comps.size());
    Type t = n == 1 ? Type::scalar(base) : Type::vectorOf(base, n);
    bool constant = true;
    for (const auto& [v, c] : comps) constant = constant && v.constant;
    if (constant) {
        std::array<uint32_t, 4> bits{};
        for (int i = 0; i < n; ++i) bits[i] = component(comps[i].first, comps[i].second);
        return constantValue(t, bits);
    }
    auto sameRegister = [](const Operand& a, const Operand& b) {
        return a.file == b.file && a.index == b.index && a.slot == b.slot && a.neg == b.neg && a.abs == b.abs;
    };
    // All components from one register: a swizzle, no instruction.
    bool single = true;
    for (const auto& [v, c] : comps)
        single = single && !v.constant && sameRegister(v.operand, comps[0].first.operand);
    if (single) {
        Value r = comps[0].first;
        r.type = t;
        unsigned s[4];
        for (int i = 0; i < 4; ++i) {
            const auto& [v, c] = comps[std::min(i, n - 1)];
            s[i] = v.operand.component(v.type.cols == 1 ? 0 : static_cast<unsigned>(c));
        }
        r.operand.swizzle = isa::Swizzle(s[0], s[1], s[2], s[3]);
        return r;
    }
    uint32_t temp = newTemp();
    std::vector<bool> done(n, false);
    // Constants go in with one literal move.
    uint8_t constantMask = 0;
    uint32_t bits[4] = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i)
        if (comps[i].first.constant) {
            constantMask |= 1u << i;
            bits[i] = component(comps[i].first, comps[i].second);
            done[i] = true;
        }
    if (constantMask) {
        Operand dst = platform::d3d10::Temp(temp);
        dst.mask = constantMask;
        emit(Opcode::Mov, dst, builder_.literalBits(bits[0], bits[1], bits[2], bits[3]));
    }
    for (int i = 0; i < n; ++i) {
        if (done[i]) continue;
        const Operand& base0 = comps[i].first.operand;
        uint8_t mask = 0;
        unsigned s[4] = {0, 0, 0, 0};
        for (int j = i; j < n; ++j) {
            if (done[j] || !sameRegister(comps[j].first.operand, base0)) continue;
            const auto& [v, c] = comps[j];
            s[j] = v.operand.component(v.type.cols == 1 ? 0 : static_cast<unsigned>(c));
            mask |= 1u << j;
            done[j] = true;
        }
        Operand dst = platform::d3d10::Temp(temp);
        dst.mask = mask;
        Operand src = base0;
        src.swizzle = isa::Swizzle(s[0], s[1], s[2], s[3]);
        emit(Opcode::Mov, dst, src);
    }
    return registerValue(t, temp);
}

void ShaderCompiler::flatten(const Value& v, std::vector<std::pair<Value, int>>& out) {
    if (v.type.matrix) {
        for (int r = 0; r < v.type.rows; ++r)
            for (int c = 0; c < v.type.cols; ++c)
                out.emplace_back(v.columns ? v.parts[c] : v.parts[r], v.columns ? r : c);
        return;
    }
    if (!v.parts.empty()) {
        for (const auto& p : v.parts) flatten(p, out);
        return;
    }
    if (!v.type.isVectorLike())
        throw CompileError(line_, "a " + v.type.name() + " has no numeric components");
    for (int i = 0; i < v.type.cols; ++i) out.emplace_back(v, i);
}

Value ShaderCompiler::matrixRow(const Value& m, int row) {
    if (!m.columns) return m.parts[row];
    std::vector<std::pair<Value, int>> comps;
    for (int c = 0; c < m.type.cols; ++c) comps.emplace_back(m.parts[c], row);
    return gather(m.type.base, comps);
}

Value ShaderCompiler::toRows(const Value& m) {
    if (!m.columns) return m;
    Value r = m;
    r.columns = false;
    r.parts.clear();
    for (int i = 0; i < m.type.rows; ++i) r.parts.push_back(matrixRow(m, i));
    return r;
}

// ---- conversions ----

Value ShaderCompiler::convertBase(const Value& v, BaseType to, int line) {
    if (v.type.matrix) return mapParts(v, [&](const Value& p) { return convertBase(p, to, line); });
    if (!v.type.isVectorLike()) throw CompileError(line, "cannot convert a " + v.type.name());
    BaseType from = v.type.base;
    if (from == to) return v;
    Type t = v.type;
    t.base = to;
    auto scalar = [](BaseType b, uint32_t bits) {
        return constantValue(Type::scalar(b), {bits, bits, bits, bits});
    };
    if (from == BaseType::Float && to == BaseType::Int) return componentwise(Opcode::Ftoi, t, {v});
    if (from == BaseType::Int && to == BaseType::Float) return componentwise(Opcode::Itof, t, {v});
    if (from == BaseType::Bool && to == BaseType::Float)
        return componentwise(Opcode::And, t, {v, scalar(BaseType::Float, FloatBits(1.0f))});
    if (from == BaseType::Bool && to == BaseType::Int)
        return componentwise(Opcode::And, t, {v, scalar(BaseType::Int, 1)});
    if (from == BaseType::Float && to == BaseType::Bool)
        return componentwise(Opcode::Ne, t, {v, scalar(BaseType::Float, 0)});
    if (from == BaseType::Int && to == BaseType::Bool)
        return componentwise(Opcode::Ine, t, {v, scalar(BaseType::Int, 0)});
    throw CompileError(line, "cannot convert from " + v.type.name() + " to " + t.name());
}

Value ShaderCompiler::convert(const Value& v, const Type& to, int line, bool explicitCast) {
    const Type& from = v.type;
    auto fail = [&]() -> Value {
        throw CompileError(line, std::string("cannot ") + (explicitCast ? "cast" : "convert") + " from " +
                                     from.name() + " to " + to.name());
    };
    if (from.sameAs(to)) {
        Value r = v;
        r.type = to;
        return r;
    }
    if (!from.isNumeric() || !to.isNumeric() || from.isArray() || to.isArray()) return fail();
    Value shaped;
    if (to.matrix) {
        if (from.matrix) {
            if (from.rows < to.rows || from.cols < to.cols) return fail();
            shaped = v;
            shaped.parts.clear();
            int keep = v.columns ? to.cols : to.rows;
            int length = v.columns ? to.rows : to.cols;
            for (int i = 0; i < keep; ++i) shaped.parts.push_back(truncate(v.parts[i], length));
        } else if (from.cols == 1) {
            shaped.columns = false;
            for (int r = 0; r < to.rows; ++r) shaped.parts.push_back(broadcast(v, to.cols));
        } else {
            return fail();
        }
        shaped.type = Type::matrixOf(from.base, to.rows, to.cols);
    } else {
        if (from.matrix) return fail();
        if (from.cols == 1 && to.cols > 1)
            shaped = broadcast(v, to.cols);
        else if (from.cols >= to.cols)
            shaped = truncate(v, to.cols);
        else
            return fail();
    }
    shaped = convertBase(shaped, to.base, line);
    shaped.type = to;
    return shaped;
}

Value ShaderCompiler::construct(const Type& t, const std::vector<Value>& args, int line) {
    if (!t.isNumeric() || t.isArray()) throw CompileError(line, "type " + t.name() + " has no constructor");
    std::vector<std::pair<Value, int>> comps;
    for (const auto& a : args) {
        if (!a.type.isNumeric() || a.type.isArray())
            throw CompileError(line, "a " + a.type.name() + " cannot initialize a " + t.name());
        flatten(convertBase(a, t.base, line), comps);
    }
    if (comps.size() == 1 && t.components() > 1) return convert(comps[0].first, t, line, true);
    if (static_cast<int>(comps.size()) != t.components())
        throw CompileError(line, t.name() + " needs " + std::to_string(t.components()) +
                                     " components but is given " + std::to_string(comps.size()));
    if (!t.matrix) {
        Value v = gather(t.base, comps);
        v.type = t;
        return v;
    }
    Value m;
    m.type = t;
    for (int r = 0; r < t.rows; ++r)
        m.parts.push_back(gather(t.base, std::vector<std::pair<Value, int>>(
                                             comps.begin() + r * t.cols, comps.begin() + (r + 1) * t.cols)));
    return m;
}

// ---- uniforms ----

Value ShaderCompiler::loadUniform(const UniformSymbol& u, uint32_t offset, const Type& t) {
    using platform::d3d10::EffectElementStride;
    if (t.isArray()) {
        Value v;
        v.type = t;
        Type e = t.element();
        uint32_t stride = EffectElementStride(VariableClass(e), e.rows, e.cols);
        for (int i = 0; i < t.arraySize; ++i) v.parts.push_back(loadUniform(u, offset + i * stride, e));
        return v;
    }
    auto reg = [&](uint32_t element, unsigned first, int count, BaseType base) {
        Value v;
        v.type = count == 1 && !t.vector ? Type::scalar(base) : Type::vectorOf(base, count);
        v.operand = platform::d3d10::Const(u.slot, element);
        unsigned c[4];
        for (int i = 0; i < 4; ++i) c[i] = first + static_cast<unsigned>(std::min(i, count - 1));
        v.operand.swizzle = isa::Swizzle(c[0], c[1], c[2], c[3]);
        return v;
    };
    if (t.matrix) {
        Value m;
        m.type = t;
        m.columns = !t.rowMajor;
        int registers = t.rowMajor ? t.rows : t.cols;
        int length = t.rowMajor ? t.cols : t.rows;
        for (int i = 0; i < registers; ++i) m.parts.push_back(reg(offset / 16 + i, 0, length, t.base));
        return m;
    }
    // Booleans are stored as 0 or not 0; in registers they are masks.
    BaseType stored = t.base == BaseType::Bool ? BaseType::Int : t.base;
    Value v = reg(offset / 16, (offset % 16) / 4, t.cols, stored);
    if (t.base == BaseType::Bool) v = convertBase(v, BaseType::Bool, line_);
    v.type = t;
    return v;
}

// ---- expressions ----

Value ShaderCompiler::member(const Value& object, const std::string& name, int line) {
    if (object.type.base == BaseType::Struct && !object.type.isArray()) {
        int i = object.type.structType->memberIndex(name);
        if (i < 0) throw CompileError(line, object.type.name() + " has no member '" + name + "'");
        return object.parts[i];
    }
    if (!object.type.isVectorLike())
        throw CompileError(line, object.type.matrix ? "matrix swizzles are not supported"
                                                    : "a " + object.type.name() + " has no members");
    unsigned comps[4];
    unsigned count = 0;
    if (name.size() > 4 || !platform::d3d10::ParseComponents(name.c_str(), comps, count))
        throw CompileError(line, "invalid swizzle '" + name + "'");
    bool xyzw = name.find_first_of("xyzw") != std::string::npos,
         rgba = name.find_first_of("rgba") != std::string::npos;
    if (xyzw && rgba) throw CompileError(line, "swizzle '" + name + "' mixes xyzw and rgba");
    for (unsigned i = 0; i < count; ++i)
        if (static_cast<int>(comps[i]) >= object.type.cols)
            throw CompileError(line, "swizzle '" + name + "' reaches beyond a " + object.type.name());
    return swizzle(object, comps, static_cast<int>(count));
}

int ShaderCompiler::constantIndex(const Expr& e) {
    Value v = evaluate(e);
    if (!v.type.isScalar()) throw CompileError(e.line, "an index must be a scalar");
    v = convert(v, Type::scalar(BaseType::Int), e.line);
    if (!v.constant) throw CompileError(e.line, "an index must be known at compile time");
    return static_cast<int32_t>(v.bits[0]);
}

Value ShaderCompiler::index(const Value& object, const Expr& indexExpr, int line) {
    int i = constantIndex(indexExpr);
    int size = object.type.isArray()        ? object.type.arraySize
               : object.type.matrix         ? object.type.rows
               : object.type.isVectorLike() ? object.type.cols
                                            : 0;
    if (size == 0) throw CompileError(line, "a " + object.type.name() + " cannot be indexed");
    if (i < 0 || i >= size)
        throw CompileError(line,
                           "index " + std::to_string(i) + " is out of bounds for a " + object.type.name());
    if (object.type.isArray()) return object.parts[i];
    if (object.type.matrix) return matrixRow(object, i);
    unsigned c = static_cast<unsigned>(i);
    return swizzle(object, &c, 1);
}

Value ShaderCompiler::evaluate(const Expr& e) {
    line_ = e.line;
    switch (e.kind) {
    case Expr::Kind::Int: {
        auto b = static_cast<uint32_t>(e.intValue);
        return constantValue(Type::scalar(BaseType::Int), {b, b, b, b});
    }
    case Expr::Kind::Float: {
        uint32_t b = FloatBits(e.floatValue);
        return constantValue(Type::scalar(BaseType::Float), {b, b, b, b});
    }
    case Expr::Kind::Bool: {
        uint32_t b = e.boolValue ? kTrue : 0;
        return constantValue(Type::scalar(BaseType::Bool), {b, b, b, b});
    }
    case Expr::Kind::Name:
        return lookup(e.name, e.line);
    case Expr::Kind::Member:
        return member(evaluate(*e.operands[0]), e.name, e.line);
    case Expr::Kind::Index:
        return index(evaluate(*e.operands[0]), *e.operands[1], e.line);
    case Expr::Kind::Call: {
        // A user function evaluates its own arguments: out parameters are places, not values.
        if (const FunctionDecl* f = resolveFunction(e)) return callFunction(*f, e);
        std::vector<Value> args;
        for (const auto& a : e.operands) args.push_back(evaluate(*a));
        line_ = e.line;
        if (isIntrinsic(e.name)) return intrinsic(e, args);
        if (IsBuiltinTypeName(e.name) || globals_.structs.count(e.name)) {
            TypeSpec written;
            written.name = e.name;
            written.line = e.line;
            return construct(ResolveType(written, globals_.structs), args, e.line);
        }
        throw CompileError(e.line, "unknown function '" + e.name + "'");
    }
    case Expr::Kind::MethodCall: {
        Value object = evaluate(*e.operands[0]);
        std::vector<Value> args;
        for (size_t i = 1; i < e.operands.size(); ++i) args.push_back(evaluate(*e.operands[i]));
        line_ = e.line;
        if (object.type.base == BaseType::Texture && !object.type.isArray()) {
            if (e.name == "Sample") return sample(object, args, e.line);
            throw CompileError(e.line, "texture method " + e.name + " is not supported; use Sample");
        }
        throw CompileError(e.line, "a " + object.type.name() + " has no method " + e.name);
    }
    case Expr::Kind::Unary:
        return unaryOp(e.name, evaluate(*e.operands[0]), e.line);
    case Expr::Kind::Binary: {
        Value a = evaluate(*e.operands[0]);
        Value b = evaluate(*e.operands[1]);
        return binaryOp(e.name, a, b, e.line);
    }
    case Expr::Kind::Assign: {
        LValue target = lvalue(*e.operands[0]);
        Value v = evaluate(*e.operands[1]);
        if (e.name != "=") v = binaryOp(e.name.substr(0, e.name.size() - 1), load(target), v, e.line);
        Value current = load(target);
        Value stored = convert(v, current.type, e.line);
        store(target, stored);
        return stored;
    }
    case Expr::Kind::Conditional: {
        Value c = evaluate(*e.operands[0]);
        Value a = evaluate(*e.operands[1]);
        Value b = evaluate(*e.operands[2]);
        return conditional(c, a, b, e.line);
    }
    case Expr::Kind::Cast: {
        Type t = ResolveType(e.type, globals_.structs);
        return convert(evaluate(*e.operands[0]), t, e.line, true);
    }
    case Expr::Kind::PreIncrement:
    case Expr::Kind::PostIncrement: {
        LValue target = lvalue(*e.operands[0]);
        Value old = load(target);
        if (!old.type.isVectorLike() || old.type.base == BaseType::Bool)
            throw CompileError(e.line, "operator " + e.name + " needs a numeric variable");
        uint32_t one = old.type.base == BaseType::Float ? FloatBits(1.0f) : 1u;
        Value step = constantValue(Type::scalar(old.type.base), {one, one, one, one});
        Value updatedValue =
            convert(binaryOp(e.name == "++" ? "+" : "-", old, step, e.line), old.type, e.line);
        store(target, updatedValue);
        return e.kind == Expr::Kind::PreIncrement ? updatedValue : old;
    }
    case Expr::Kind::InitList:
        throw CompileError(e.line, "a { } list can only initialize a variable");
    }
    throw CompileError(e.line, "internal error: unknown expression");
}

} // namespace unfold::fxc
