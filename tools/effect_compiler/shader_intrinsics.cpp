// HLSL intrinsic functions and texture sampling.
#include <map>

#include "tools/effect_compiler/compile_error.h"
#include "tools/effect_compiler/shader_compiler.h"

namespace unfold::fxc {

using platform::d3d10::Operand;
namespace isa = platform::d3d10::isa;
using isa::Opcode;

namespace {

// Number of arguments of each intrinsic.
const std::map<std::string, size_t>& intrinsics() {
    static const std::map<std::string, size_t> table = {
        {"abs", 1},      {"saturate", 1}, {"sqrt", 1},  {"rsqrt", 1},  {"rcp", 1},       {"floor", 1},
        {"ceil", 1},     {"frac", 1},     {"round", 1}, {"exp", 1},    {"exp2", 1},      {"log", 1},
        {"log2", 1},     {"sin", 1},      {"cos", 1},   {"length", 1}, {"normalize", 1}, {"transpose", 1},
        {"mul", 2},      {"dot", 2},      {"min", 2},   {"max", 2},    {"pow", 2},       {"step", 2},
        {"distance", 2}, {"clamp", 3},    {"lerp", 3}};
    return table;
}

Value floatScalar(float f) {
    Value v;
    v.type = Type::scalar(BaseType::Float);
    v.constant = true;
    uint32_t b = FloatBits(f);
    v.bits = {b, b, b, b};
    return v;
}

} // namespace

bool ShaderCompiler::isIntrinsic(const std::string& name) const {
    return intrinsics().count(name) > 0;
}

Value ShaderCompiler::dot(const Value& a, const Value& b, int line) {
    if (!a.type.isVectorLike() || !b.type.isVectorLike()) throw CompileError(line, "dot needs two vectors");
    Value x = convertBase(a, BaseType::Float, line), y = convertBase(b, BaseType::Float, line);
    int n = std::min(x.type.cols, y.type.cols);
    x = truncate(x, n);
    y = truncate(y, n);
    if (n == 1) return binaryOp("*", x, y, line);
    if (x.constant && y.constant && constantOnly_) {
        // As the VM computes it: a product, then multiply-adds in component order.
        float s = BitsFloat(x.bits[0]) * BitsFloat(y.bits[0]);
        for (int i = 1; i < n; ++i) s = BitsFloat(x.bits[i]) * BitsFloat(y.bits[i]) + s;
        return floatScalar(s);
    }
    static const Opcode ops[] = {Opcode::Mov, Opcode::Mov, Opcode::Dp2, Opcode::Dp3, Opcode::Dp4};
    uint32_t t = newTemp();
    Operand dst = platform::d3d10::Temp(t);
    dst.mask = 0x1;
    emit(ops[n], dst, source(x, n), source(y, n));
    return registerValue(Type::scalar(BaseType::Float), t);
}

Value ShaderCompiler::multiply(const Value& a, const Value& b, int line) {
    if (!a.type.isNumeric() || !b.type.isNumeric() || a.type.isArray() || b.type.isArray())
        throw CompileError(line, "mul needs numeric arguments");
    Value x = convertBase(a, BaseType::Float, line), y = convertBase(b, BaseType::Float, line);
    bool xScalar = !x.type.matrix && x.type.cols == 1, yScalar = !y.type.matrix && y.type.cols == 1;
    if (xScalar || yScalar) return binaryOp("*", x, y, line);
    if (!x.type.matrix && !y.type.matrix) return dot(x, y, line);

    if (!x.type.matrix) {
        // Row vector times matrix: component c is the vector dotted with column c.
        int k = std::min(x.type.cols, y.type.rows), n = y.type.cols;
        Value v = truncate(x, k);
        Type result = Type::vectorOf(BaseType::Float, n);
        if (y.columns) {
            std::vector<std::pair<Value, int>> comps;
            for (int c = 0; c < n; ++c) comps.emplace_back(dot(v, truncate(y.parts[c], k), line), 0);
            Value r = gather(BaseType::Float, comps);
            r.type = result;
            return r;
        }
        Value sum;
        for (int r = 0; r < k; ++r) {
            unsigned c = static_cast<unsigned>(r);
            Value term = binaryOp("*", y.parts[r], swizzle(v, &c, 1), line);
            sum = r == 0 ? term : binaryOp("+", sum, term, line);
        }
        sum.type = result;
        return sum;
    }
    if (!y.type.matrix) {
        // Matrix times column vector: component r is row r dotted with the vector.
        int k = std::min(x.type.cols, y.type.cols), n = x.type.rows;
        Value v = truncate(y, k);
        Type result = Type::vectorOf(BaseType::Float, n);
        if (!x.columns) {
            std::vector<std::pair<Value, int>> comps;
            for (int r = 0; r < n; ++r) comps.emplace_back(dot(truncate(x.parts[r], k), v, line), 0);
            Value r = gather(BaseType::Float, comps);
            r.type = result;
            return r;
        }
        Value sum;
        for (int c = 0; c < k; ++c) {
            unsigned i = static_cast<unsigned>(c);
            Value term = binaryOp("*", x.parts[c], swizzle(v, &i, 1), line);
            sum = c == 0 ? term : binaryOp("+", sum, term, line);
        }
        sum.type = result;
        return sum;
    }
    // Matrix times matrix, row by row.
    int k = std::min(x.type.cols, y.type.rows);
    Value yk = y;
    if (k < y.type.rows) yk = convert(y, Type::matrixOf(BaseType::Float, k, y.type.cols), line);
    Value m;
    m.type = Type::matrixOf(BaseType::Float, x.type.rows, y.type.cols);
    for (int r = 0; r < x.type.rows; ++r) m.parts.push_back(multiply(truncate(matrixRow(x, r), k), yk, line));
    return m;
}

Value ShaderCompiler::sample(const Value& texture, const std::vector<Value>& args, int line) {
    if (stage_ != isa::Stage::Pixel) throw CompileError(line, "Sample is available in pixel shaders only");
    if (args.size() != 2) throw CompileError(line, "Sample takes a sampler and a texture coordinate");
    if (args[0].type.base != BaseType::Sampler || args[0].type.isArray())
        throw CompileError(line, "the first argument of Sample must be a SamplerState");
    Value uv = convert(args[1], Type::vectorOf(BaseType::Float, 2), line);
    const ObjectSymbol& t = globals_.objects[texture.object];
    const ObjectSymbol& s = globals_.objects[args[0].object];
    int n = texture.type.textureComponents;
    uint32_t temp = newTemp();
    Operand dst = platform::d3d10::Temp(temp);
    dst.mask = static_cast<uint8_t>((1u << n) - 1);
    emit(Opcode::Sample, dst, source(uv, 2), Operand{isa::RegFile::Resource, t.slot},
         Operand{isa::RegFile::Sampler, s.slot});
    return registerValue(n == 1 ? Type::scalar(BaseType::Float) : Type::vectorOf(BaseType::Float, n), temp);
}

Value ShaderCompiler::intrinsic(const Expr& call, const std::vector<Value>& args) {
    const std::string& name = call.name;
    int line = call.line;
    size_t arity = intrinsics().at(name);
    if (args.size() != arity)
        throw CompileError(line,
                           name + " takes " + std::to_string(arity) + " argument" + (arity == 1 ? "" : "s"));
    for (const auto& a : args)
        if (!a.type.isNumeric() || a.type.isArray())
            throw CompileError(line, "a " + a.type.name() + " cannot be an argument of " + name);

    auto toFloat = [&](const Value& v) { return convertBase(v, BaseType::Float, line); };
    auto unary = [&](Opcode op, const Value& v, bool saturate = false) {
        return mapParts(toFloat(v), [&](const Value& p) { return componentwise(op, p.type, {p}, saturate); });
    };
    auto shaped = [&](const Value& v, const Type& shape) { return convert(v, shape, line); };

    if (name == "mul") return multiply(args[0], args[1], line);
    if (name == "dot") return dot(args[0], args[1], line);
    if (name == "transpose") {
        if (!args[0].type.matrix) throw CompileError(line, "transpose needs a matrix");
        Value r = args[0];
        r.columns = !r.columns;
        r.type = Type::matrixOf(r.type.base, args[0].type.cols, args[0].type.rows);
        return r;
    }
    if (name == "saturate") return unary(Opcode::Mov, args[0], true);
    if (name == "sqrt") return unary(Opcode::Sqrt, args[0]);
    if (name == "rsqrt") return unary(Opcode::Rsq, args[0]);
    if (name == "rcp") return unary(Opcode::Rcp, args[0]);
    if (name == "floor") return unary(Opcode::Floor, args[0]);
    if (name == "ceil") return unary(Opcode::Ceil, args[0]);
    if (name == "frac") return unary(Opcode::Frc, args[0]);
    if (name == "round") return unary(Opcode::RoundNe, args[0]);
    if (name == "exp2") return unary(Opcode::Exp2, args[0]);
    if (name == "log2") return unary(Opcode::Log2, args[0]);
    if (name == "sin") return unary(Opcode::Sin, args[0]);
    if (name == "cos") return unary(Opcode::Cos, args[0]);
    if (name == "exp")
        return unary(Opcode::Exp2, binaryOp("*", toFloat(args[0]), floatScalar(1.44269504f), line));
    if (name == "log") return binaryOp("*", unary(Opcode::Log2, args[0]), floatScalar(0.693147182f), line);
    if (name == "abs") {
        if (args[0].type.base == BaseType::Float)
            return mapParts(args[0], [&](const Value& p) {
                Value r = p;
                if (r.constant)
                    for (auto& b : r.bits) b &= 0x7FFFFFFFu;
                else
                    r.operand = r.operand.absolute();
                return r;
            });
        Value v = convertBase(args[0], BaseType::Int, line);
        if (v.type.matrix) throw CompileError(line, "abs of an integer matrix is not supported");
        Value zeroInt = constantValue(Type::scalar(BaseType::Int), {0, 0, 0, 0});
        return conditional(binaryOp("<", v, zeroInt, line), negate(v, line), v, line);
    }
    if (name == "length") return unary(Opcode::Sqrt, dot(args[0], args[0], line));
    if (name == "distance") {
        Value d = binaryOp("-", toFloat(args[0]), toFloat(args[1]), line);
        return unary(Opcode::Sqrt, dot(d, d, line));
    }
    if (name == "normalize") {
        Value v = toFloat(args[0]);
        return binaryOp("*", v, unary(Opcode::Rsq, dot(v, v, line)), line);
    }
    if (name == "pow") {
        Type shape = commonShape(args[0].type, args[1].type, BaseType::Float, name, line);
        Value x = shaped(args[0], shape), y = shaped(args[1], shape);
        return unary(Opcode::Exp2, binaryOp("*", y, unary(Opcode::Log2, x), line));
    }
    if (name == "step") {
        Type shape = commonShape(args[0].type, args[1].type, BaseType::Float, name, line);
        return convertBase(binaryOp(">=", shaped(args[1], shape), shaped(args[0], shape), line),
                           BaseType::Float, line);
    }
    if (name == "lerp") {
        Type shape = commonShape(args[0].type, args[1].type, BaseType::Float, name, line);
        shape = commonShape(shape, args[2].type, BaseType::Float, name, line);
        Value a = shaped(args[0], shape), b = shaped(args[1], shape), t = shaped(args[2], shape);
        return binaryOp("+", a, binaryOp("*", t, binaryOp("-", b, a, line), line), line);
    }
    // min, max and clamp
    auto minMax = [&](bool isMin, const Value& p, const Value& q) {
        BaseType base = (p.type.base == BaseType::Float || q.type.base == BaseType::Float) ? BaseType::Float
                                                                                           : BaseType::Int;
        Type shape = commonShape(p.type, q.type, base, name, line);
        Value x = shaped(p, shape), y = shaped(q, shape);
        if (base == BaseType::Int) {
            if (shape.matrix) throw CompileError(line, name + " of integer matrices is not supported");
            Value less = binaryOp("<", x, y, line);
            return isMin ? conditional(less, x, y, line) : conditional(less, y, x, line);
        }
        if (x.columns != y.columns) {
            x = toRows(x);
            y = toRows(y);
        }
        if (!shape.matrix) return componentwise(isMin ? Opcode::Min : Opcode::Max, shape, {x, y});
        Value r = x;
        for (size_t i = 0; i < r.parts.size(); ++i)
            r.parts[i] =
                componentwise(isMin ? Opcode::Min : Opcode::Max, x.parts[i].type, {x.parts[i], y.parts[i]});
        return r;
    };
    if (name == "min") return minMax(true, args[0], args[1]);
    if (name == "max") return minMax(false, args[0], args[1]);
    return minMax(true, minMax(false, args[0], args[1]), args[2]); // clamp
}

} // namespace unfold::fxc
