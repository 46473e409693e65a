// Entry points, statements, variables and function calls of the shader code generator.
#include "tools/effect_compiler/shader_compiler.h"

#include <cctype>
#include <cstring>
#include <strings.h>

#include "platform/d3d10/shader_program.h"
#include "tools/effect_compiler/compile_error.h"

namespace unfold::fxc {

using platform::d3d10::Operand;
namespace isa = platform::d3d10::isa;
using isa::Opcode;

namespace {

constexpr int kMaxLoopIterations = 4096;
constexpr size_t kMaxCallDepth = 64;

bool equalsIgnoringCase(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

bool isSystemValue(const std::string& semanticName) {
    return semanticName.size() > 3 && strncasecmp(semanticName.c_str(), "SV_", 3) == 0;
}

bool isConstantValue(const Value& v) {
    if (!v.parts.empty()) {
        for (const auto& p : v.parts)
            if (!isConstantValue(p)) return false;
        return true;
    }
    return !v.type.isVectorLike() || v.constant;
}

} // namespace

ShaderCompiler::ShaderCompiler(const GlobalSymbols& globals, isa::Stage stage)
    : globals_(globals), stage_(stage), builder_(stage) {
    for (const auto& [name, value] : globals_.statics)
        statics_[name] = Local{value, globals_.constStatics.count(name) > 0};
}

// ---- variables ----

ShaderCompiler::Local* ShaderCompiler::findLocal(const std::string& name) {
    if (frames_.empty()) return nullptr;
    auto& scopes = frames_.back().scopes;
    for (size_t i = scopes.size(); i-- > 0;) {
        auto it = scopes[i].find(name);
        if (it != scopes[i].end()) return &it->second;
    }
    return nullptr;
}

Value ShaderCompiler::lookup(const std::string& name, int line) {
    if (Local* l = findLocal(name)) return l->value;
    if (auto it = statics_.find(name); it != statics_.end()) return it->second.value;
    if (auto it = globals_.uniforms.find(name); it != globals_.uniforms.end())
        return loadUniform(it->second, it->second.offset, it->second.type);
    if (auto it = globals_.objectIndex.find(name); it != globals_.objectIndex.end()) {
        Value v;
        v.type = globals_.objects[it->second].type;
        v.object = it->second;
        return v;
    }
    throw CompileError(line, "undeclared identifier '" + name + "'");
}

Type ShaderCompiler::declaredType(const VarDecl& d) {
    Type t = ResolveType(d.type, globals_.structs);
    if (t.base == BaseType::Void) throw CompileError(d.line, "'" + d.name + "' cannot be void");
    if (d.isArray && d.arraySize) {
        bool saved = constantOnly_;
        constantOnly_ = true;
        int n = constantIndex(*d.arraySize);
        constantOnly_ = saved;
        if (n <= 0 || n > 4096) throw CompileError(d.line, "array '" + d.name + "' has a bad size");
        t.arraySize = n;
    }
    return t;
}

Value ShaderCompiler::zero(const Type& t, int line) {
    Value v;
    v.type = t;
    if (t.isArray()) {
        for (int i = 0; i < t.arraySize; ++i) v.parts.push_back(zero(t.element(), line));
    } else if (t.base == BaseType::Struct) {
        for (const auto& m : t.structType->members) v.parts.push_back(zero(m.type, line));
    } else if (t.matrix) {
        for (int r = 0; r < t.rows; ++r) v.parts.push_back(constantValue(Type::vectorOf(t.base, t.cols), {}));
    } else if (t.isNumeric()) {
        v.constant = true;
    } else {
        throw CompileError(line, "a " + t.name() + " can only be declared at global scope");
    }
    return v;
}

Value ShaderCompiler::initializer(const Expr& e, const Type& t, bool unsizedArray) {
    if (e.kind != Expr::Kind::InitList) {
        if (unsizedArray) throw CompileError(e.line, "an array without a size needs a { } initializer");
        return convert(evaluate(e), t, e.line);
    }
    // A { } list is flattened to components and dealt out over the type in order, as HLSL does.
    std::vector<std::pair<Value, int>> comps;
    std::function<void(const Expr&)> collect = [&](const Expr& x) {
        if (x.kind == Expr::Kind::InitList) {
            for (const auto& o : x.operands) collect(*o);
        } else {
            flatten(evaluate(x), comps);
        }
    };
    collect(e);
    size_t at = 0;
    std::function<Value(const Type&)> build = [&](const Type& type) -> Value {
        Value v;
        v.type = type;
        if (type.isArray()) {
            for (int i = 0; i < type.arraySize; ++i) v.parts.push_back(build(type.element()));
            return v;
        }
        if (type.base == BaseType::Struct) {
            for (const auto& m : type.structType->members) v.parts.push_back(build(m.type));
            return v;
        }
        if (!type.isNumeric()) throw CompileError(e.line, "a { } list cannot initialize a " + type.name());
        int n = type.components();
        if (at + n > comps.size()) throw CompileError(e.line, "too few values in the { } list");
        std::vector<Value> args;
        for (int i = 0; i < n; ++i) {
            unsigned c = static_cast<unsigned>(comps[at + i].second);
            args.push_back(swizzle(comps[at + i].first, &c, 1));
        }
        at += n;
        return construct(type, args, e.line);
    };
    Type target = t;
    if (unsizedArray) {
        std::vector<std::pair<Value, int>> probe;
        flatten(zero(t.element(), e.line), probe);
        int per = static_cast<int>(probe.size());
        if (per == 0 || comps.size() % per)
            throw CompileError(e.line, "the { } list does not fill whole array elements");
        target.arraySize = static_cast<int>(comps.size() / per);
    }
    Value v = build(target);
    if (at != comps.size()) throw CompileError(e.line, "too many values in the { } list");
    return v;
}

void ShaderCompiler::declare(const VarDecl& d) {
    if (d.isStatic) throw CompileError(d.line, "static local variables are not supported");
    if (!d.semantic.empty() || !d.registerName.empty())
        throw CompileError(d.line, "local variable '" + d.name + "' cannot have a semantic or register");
    Type t = declaredType(d);
    bool unsized = d.isArray && !d.arraySize;
    if (unsized && !d.init)
        throw CompileError(d.line, "array '" + d.name + "' needs a size or a { } initializer");
    Value v;
    if (d.init) {
        v = initializer(*d.init, t, unsized);
    } else {
        if (d.isConst) throw CompileError(d.line, "const variable '" + d.name + "' needs an initializer");
        v = zero(t, d.line);
    }
    auto& scope = frames_.back().scopes.back();
    if (scope.count(d.name)) throw CompileError(d.line, "'" + d.name + "' is already declared in this scope");
    scope[d.name] = Local{v, d.isConst};
}

// ---- assignment ----

ShaderCompiler::LValue ShaderCompiler::lvalue(const Expr& e) {
    switch (e.kind) {
    case Expr::Kind::Name: {
        LValue lv;
        lv.root = e.name;
        lv.line = e.line;
        if (Local* l = findLocal(e.name)) {
            if (l->isConst) throw CompileError(e.line, "cannot assign to const variable '" + e.name + "'");
            return lv;
        }
        if (auto it = statics_.find(e.name); it != statics_.end()) {
            if (it->second.isConst)
                throw CompileError(e.line, "cannot assign to const variable '" + e.name + "'");
            return lv;
        }
        if (globals_.uniforms.count(e.name) || globals_.objectIndex.count(e.name))
            throw CompileError(e.line,
                               "cannot assign to global variable '" + e.name + "'; globals are uniform");
        throw CompileError(e.line, "undeclared identifier '" + e.name + "'");
    }
    case Expr::Kind::Member: {
        LValue lv = lvalue(*e.operands[0]);
        Value current = load(lv);
        Access a;
        if (current.type.base == BaseType::Struct && !current.type.isArray()) {
            a.kind = Access::Kind::Member;
            a.index = current.type.structType->memberIndex(e.name);
            if (a.index < 0)
                throw CompileError(e.line, current.type.name() + " has no member '" + e.name + "'");
        } else {
            if (!current.type.isVectorLike()) throw CompileError(e.line, "cannot assign to this member");
            unsigned count = 0;
            if (e.name.size() > 4 || !platform::d3d10::ParseComponents(e.name.c_str(), a.components, count))
                throw CompileError(e.line, "invalid swizzle '" + e.name + "'");
            for (unsigned i = 0; i < count; ++i) {
                if (static_cast<int>(a.components[i]) >= current.type.cols)
                    throw CompileError(e.line,
                                       "swizzle '" + e.name + "' reaches beyond a " + current.type.name());
                for (unsigned j = 0; j < i; ++j)
                    if (a.components[i] == a.components[j])
                        throw CompileError(e.line, "swizzle '" + e.name + "' writes a component twice");
            }
            a.kind = Access::Kind::Components;
            a.count = static_cast<int>(count);
        }
        lv.path.push_back(a);
        return lv;
    }
    case Expr::Kind::Index: {
        LValue lv = lvalue(*e.operands[0]);
        Value current = load(lv);
        int i = constantIndex(*e.operands[1]);
        int size = current.type.isArray()        ? current.type.arraySize
                   : current.type.matrix         ? current.type.rows
                   : current.type.isVectorLike() ? current.type.cols
                                                 : 0;
        if (size == 0) throw CompileError(e.line, "a " + current.type.name() + " cannot be indexed");
        if (i < 0 || i >= size)
            throw CompileError(e.line, "index " + std::to_string(i) + " is out of bounds");
        Access a;
        if (current.type.isVectorLike()) {
            a.kind = Access::Kind::Components;
            a.components[0] = static_cast<unsigned>(i);
            a.count = 1;
        } else {
            a.kind = Access::Kind::Index;
            a.index = i;
        }
        lv.path.push_back(a);
        return lv;
    }
    default:
        throw CompileError(e.line, "the expression cannot be assigned to");
    }
}

Value ShaderCompiler::load(const LValue& lv) {
    Value v = lookup(lv.root, lv.line);
    for (const Access& a : lv.path) {
        switch (a.kind) {
        case Access::Kind::Member:
            v = v.parts[a.index];
            break;
        case Access::Kind::Index:
            v = v.type.matrix ? matrixRow(v, a.index) : v.parts[a.index];
            break;
        case Access::Kind::Components:
            v = swizzle(v, a.components, a.count);
            break;
        }
    }
    return v;
}

Value ShaderCompiler::updated(const Value& current, const std::vector<Access>& path, size_t at,
                              const Value& v, int line) {
    if (at == path.size()) return convert(v, current.type, line);
    const Access& a = path[at];
    if (a.kind == Access::Kind::Member || (a.kind == Access::Kind::Index && !current.type.matrix)) {
        Value r = current;
        r.parts[a.index] = updated(current.parts[a.index], path, at + 1, v, line);
        return r;
    }
    if (a.kind == Access::Kind::Index) {
        Value r = toRows(current);
        r.parts[a.index] = updated(r.parts[a.index], path, at + 1, v, line);
        return r;
    }
    // Components of a vector: the untouched ones keep their values.
    Value part = current;
    Value sub;
    if (at + 1 < path.size()) {
        sub = updated(swizzle(current, a.components, a.count), path, at + 1, v, line);
    } else {
        Type t = a.count == 1 ? Type::scalar(current.type.base) : Type::vectorOf(current.type.base, a.count);
        sub = convert(v, t, line);
    }
    std::vector<std::pair<Value, int>> comps;
    for (int i = 0; i < current.type.cols; ++i) comps.emplace_back(current, i);
    for (int i = 0; i < a.count; ++i) comps[a.components[i]] = {sub, i};
    Value r = gather(current.type.base, comps);
    r.type = current.type;
    return r;
}

void ShaderCompiler::store(const LValue& lv, const Value& v) {
    Local* target = findLocal(lv.root);
    if (!target) {
        auto it = statics_.find(lv.root);
        if (it == statics_.end()) throw CompileError(lv.line, "cannot assign to '" + lv.root + "'");
        target = &it->second;
    }
    target->value = updated(target->value, lv.path, 0, v, lv.line);
}

// ---- statements ----

ShaderCompiler::Snapshot ShaderCompiler::snapshot() const {
    return Snapshot{frames_.back().scopes, statics_};
}

void ShaderCompiler::restore(const Snapshot& s) {
    frames_.back().scopes = s.scopes;
    statics_ = s.statics;
}

Value ShaderCompiler::merge(const Value& condition, const Value& a, const Value& b, int line) {
    if (a.sameAs(b)) return a;
    if (!a.type.isNumeric() || a.type.isArray() || a.type.base == BaseType::Struct) {
        if (a.type.isObject()) throw CompileError(line, "an object cannot be chosen by a run-time condition");
        Value r = a;
        for (size_t i = 0; i < r.parts.size(); ++i)
            r.parts[i] = merge(condition, a.parts[i], b.parts[i], line);
        return r;
    }
    return conditional(condition, a, b, line);
}

ShaderCompiler::Flow ShaderCompiler::executeScoped(const Stmt& s) {
    frames_.back().scopes.emplace_back();
    Flow f = execute(s);
    frames_.back().scopes.pop_back();
    return f;
}

ShaderCompiler::Flow ShaderCompiler::executeIf(const Stmt& s) {
    Value c = evaluate(*s.expr);
    if (!c.type.isScalar()) throw CompileError(s.line, "the condition of if must be a scalar");
    c = convertBase(c, BaseType::Bool, s.line);
    if (c.constant) {
        if (c.bits[0]) return executeScoped(*s.thenBranch);
        return s.elseBranch ? executeScoped(*s.elseBranch) : Flow::Normal;
    }
    // Not known until the shader runs: both branches run and their results are merged.
    Snapshot before = snapshot();
    Flow thenFlow = executeScoped(*s.thenBranch);
    Snapshot afterThen = snapshot();
    restore(before);
    Flow elseFlow = s.elseBranch ? executeScoped(*s.elseBranch) : Flow::Normal;
    if (thenFlow != Flow::Normal || elseFlow != Flow::Normal)
        throw CompileError(s.line,
                           "return, break and continue under a condition that is not known at compile time "
                           "are not supported");
    Snapshot afterElse = snapshot();
    for (size_t k = 0; k < before.scopes.size(); ++k)
        for (auto& [name, local] : frames_.back().scopes[k])
            local.value =
                merge(c, afterThen.scopes[k].at(name).value, afterElse.scopes[k].at(name).value, s.line);
    for (auto& [name, local] : statics_)
        local.value = merge(c, afterThen.statics.at(name).value, afterElse.statics.at(name).value, s.line);
    return Flow::Normal;
}

ShaderCompiler::Flow ShaderCompiler::executeFor(const Stmt& s) {
    frames_.back().scopes.emplace_back();
    if (s.init) execute(*s.init);
    Flow result = Flow::Normal;
    for (int iteration = 0;; ++iteration) {
        if (iteration >= kMaxLoopIterations)
            throw CompileError(s.line, "the loop does not end within " + std::to_string(kMaxLoopIterations) +
                                           " iterations");
        if (s.expr) {
            Value c = evaluate(*s.expr);
            if (!c.type.isScalar()) throw CompileError(s.line, "the condition of for must be a scalar");
            c = convertBase(c, BaseType::Bool, s.line);
            if (!c.constant)
                throw CompileError(s.line,
                                   "the loop condition must be known at compile time: loops are unrolled");
            if (!c.bits[0]) break;
        }
        Flow f = executeScoped(*s.loopBody);
        if (f == Flow::Break) break;
        if (f == Flow::Return) {
            result = Flow::Return;
            break;
        }
        if (s.step) evaluate(*s.step);
    }
    frames_.back().scopes.pop_back();
    return result;
}

ShaderCompiler::Flow ShaderCompiler::execute(const Stmt& s) {
    line_ = s.line;
    switch (s.kind) {
    case Stmt::Kind::Block: {
        frames_.back().scopes.emplace_back();
        for (const auto& child : s.body) {
            Flow f = execute(*child);
            if (f != Flow::Normal) {
                frames_.back().scopes.pop_back();
                return f;
            }
        }
        frames_.back().scopes.pop_back();
        return Flow::Normal;
    }
    case Stmt::Kind::Declaration:
        for (const auto& d : s.decls) declare(d);
        return Flow::Normal;
    case Stmt::Kind::Expression:
        evaluate(*s.expr);
        return Flow::Normal;
    case Stmt::Kind::If:
        return executeIf(s);
    case Stmt::Kind::For:
        return executeFor(s);
    case Stmt::Kind::Return: {
        Frame& f = frames_.back();
        if (f.returnType.base == BaseType::Void) {
            if (s.expr) throw CompileError(s.line, "a void function cannot return a value");
        } else {
            if (!s.expr) throw CompileError(s.line, "the function must return a " + f.returnType.name());
            Value v = evaluate(*s.expr);
            frames_.back().returnValue = convert(v, frames_.back().returnType, s.line);
        }
        frames_.back().returned = true;
        return Flow::Return;
    }
    case Stmt::Kind::Break:
        return Flow::Break;
    case Stmt::Kind::Continue:
        return Flow::Continue;
    case Stmt::Kind::Empty:
        return Flow::Normal;
    }
    return Flow::Normal;
}

// ---- calls ----

const FunctionDecl* ShaderCompiler::resolveFunction(const Expr& call) {
    auto range = globals_.functions.equal_range(call.name);
    if (range.first == range.second) return nullptr;
    for (auto it = range.first; it != range.second; ++it)
        if (it->second->params.size() == call.operands.size()) return it->second;
    throw CompileError(call.line, "no function " + call.name + " takes " +
                                      std::to_string(call.operands.size()) + " arguments");
}

Value ShaderCompiler::callFunction(const FunctionDecl& f, const Expr& call) {
    if (frames_.size() >= kMaxCallDepth)
        throw CompileError(call.line, "function calls nest too deeply (recursion?)");
    Frame frame;
    frame.function = &f;
    frame.returnType = ResolveType(f.returnType, globals_.structs);
    frame.scopes.emplace_back();
    std::vector<std::pair<std::string, LValue>> outputs;
    for (size_t i = 0; i < f.params.size(); ++i) {
        const VarDecl& p = f.params[i];
        Type t = declaredType(p);
        Value v;
        if (p.direction == VarDecl::Direction::In) {
            v = convert(evaluate(*call.operands[i]), t, call.line);
        } else {
            LValue lv = lvalue(*call.operands[i]);
            v = p.direction == VarDecl::Direction::InOut ? convert(load(lv), t, call.line) : zero(t, p.line);
            outputs.emplace_back(p.name, lv);
        }
        frame.scopes[0][p.name] = Local{v, p.isConst};
    }
    frames_.push_back(std::move(frame));
    Flow flow = execute(*f.body);
    Frame done = std::move(frames_.back());
    frames_.pop_back();
    if (flow == Flow::Break || flow == Flow::Continue)
        throw CompileError(f.line, "break or continue outside a loop in " + f.name);
    if (done.returnType.base != BaseType::Void && !done.returned)
        throw CompileError(f.line, "function " + f.name + " does not return a value");
    for (const auto& [name, lv] : outputs) {
        Value current = load(lv);
        store(lv, convert(done.scopes[0].at(name).value, current.type, call.line));
    }
    Value result = done.returnValue;
    if (done.returnType.base == BaseType::Void) result = Value{};
    line_ = call.line;
    return result;
}

// ---- entry points ----

CompiledShader ShaderCompiler::compileEntry(const FunctionDecl& f, const std::vector<Value>& uniformArguments,
                                            int line) {
    bool pixel = stage_ == isa::Stage::Pixel;
    Frame frame;
    frame.function = &f;
    frame.returnType = ResolveType(f.returnType, globals_.structs);
    frame.scopes.emplace_back();

    uint32_t nextInput = 0;
    std::function<Value(const Type&, const std::string&, const std::string&, int)> input =
        [&](const Type& t, const std::string& semantic, const std::string& name, int at) -> Value {
        if (t.base == BaseType::Struct && !t.isArray()) {
            Value v;
            v.type = t;
            for (const auto& m : t.structType->members)
                v.parts.push_back(input(m.type, m.semantic, m.name, m.line));
            return v;
        }
        if (!t.isVectorLike())
            throw CompileError(at, "entry-point input '" + name + "' must be a scalar, vector or struct");
        if (semantic.empty()) throw CompileError(at, "entry-point input '" + name + "' has no semantic");
        std::string sname;
        uint32_t sindex;
        SplitSemantic(semantic, sname, sindex);
        isa::SystemValue sv = isa::SystemValue::None;
        if (isSystemValue(sname)) {
            if (!pixel || !equalsIgnoringCase(sname, "SV_Position") || sindex != 0)
                throw CompileError(at, "system value " + semantic + " is not supported as a " +
                                           (pixel ? "pixel" : "vertex") + " shader input");
            sv = isa::SystemValue::Position;
        }
        if (nextInput >= isa::kMaxIoRegisters) throw CompileError(at, "too many shader inputs");
        uint32_t reg = nextInput++;
        builder_.input(sname, sindex, reg, (1u << t.cols) - 1, sv);
        Value v;
        v.type = t;
        v.operand = platform::d3d10::In(reg);
        return v;
    };

    size_t nextUniform = 0;
    std::vector<std::pair<std::string, const VarDecl*>> outParams;
    for (const VarDecl& p : f.params) {
        Type t = declaredType(p);
        Value v;
        if (p.isUniform) {
            if (nextUniform >= uniformArguments.size())
                throw CompileError(line,
                                   "uniform parameter '" + p.name + "' of " + f.name + " needs an argument");
            v = convert(uniformArguments[nextUniform++], t, line);
        } else if (p.direction == VarDecl::Direction::Out) {
            v = zero(t, p.line);
        } else {
            v = input(t, p.semantic, p.name, p.line);
        }
        if (p.direction != VarDecl::Direction::In) outParams.emplace_back(p.name, &p);
        frame.scopes[0][p.name] = Local{v, p.isConst};
    }
    if (nextUniform != uniformArguments.size())
        throw CompileError(line,
                           "too many arguments for " + f.name + ": only uniform parameters take arguments");

    frames_.clear();
    frames_.push_back(std::move(frame));
    Flow flow = execute(*f.body);
    if (flow == Flow::Break || flow == Flow::Continue)
        throw CompileError(f.line, "break or continue outside a loop");
    Frame& done = frames_.back();
    if (done.returnType.base != BaseType::Void && !done.returned)
        throw CompileError(f.line, "function " + f.name + " does not return a value");

    // Outputs: the return value and the out parameters, by semantic.
    uint32_t nextOutput = 0;
    bool wroteMandatory = false;
    std::set<std::string> seen;
    std::function<void(const Value&, const std::string&, const std::string&, int)> output =
        [&](const Value& v, const std::string& semantic, const std::string& name, int at) {
            if (v.type.base == BaseType::Struct && !v.type.isArray()) {
                const auto& members = v.type.structType->members;
                for (size_t i = 0; i < members.size(); ++i)
                    output(v.parts[i], members[i].semantic, members[i].name, members[i].line);
                return;
            }
            if (!v.type.isVectorLike())
                throw CompileError(at, "output '" + name + "' must be a scalar, vector or struct");
            if (semantic.empty()) throw CompileError(at, "output '" + name + "' has no semantic");
            std::string sname;
            uint32_t sindex;
            SplitSemantic(semantic, sname, sindex);
            std::string key = sname + "#" + std::to_string(sindex);
            for (auto& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (!seen.insert(key).second)
                throw CompileError(at, "output semantic " + semantic + " is written twice");
            isa::SystemValue sv = isa::SystemValue::None;
            uint32_t reg;
            if (pixel) {
                if (!equalsIgnoringCase(sname, "SV_Target") || sindex >= 8)
                    throw CompileError(at, "pixel shader output " + semantic +
                                               " is not supported; use SV_Target");
                sv = isa::SystemValue::Target;
                reg = sindex;
                wroteMandatory = true;
            } else {
                if (isSystemValue(sname)) {
                    if (!equalsIgnoringCase(sname, "SV_Position") || sindex != 0)
                        throw CompileError(at, "vertex shader output " + semantic + " is not supported");
                    sv = isa::SystemValue::Position;
                    wroteMandatory = true;
                }
                reg = nextOutput++;
            }
            if (v.type.base != BaseType::Float)
                throw CompileError(at, "output '" + name + "' must be of a float type");
            builder_.output(sname, sindex, reg, (1u << v.type.cols) - 1, sv);
            Operand dst = platform::d3d10::Out(reg);
            dst.mask = static_cast<uint8_t>((1u << v.type.cols) - 1);
            emit(Opcode::Mov, dst, source(v, v.type.cols));
        };
    if (done.returnType.base != BaseType::Void) output(done.returnValue, f.semantic, f.name, f.line);
    for (const auto& [name, decl] : outParams)
        output(done.scopes[0].at(name).value, decl->semantic, name, decl->line);
    if (!wroteMandatory)
        throw CompileError(f.line, std::string(pixel ? "pixel" : "vertex") + " shader " + f.name +
                                       " writes no " + (pixel ? "SV_Target" : "SV_Position"));

    CompiledShader out;
    out.slots = ir_.finish(builder_, f.line);
    out.bytecode = builder_.finish();
    platform::d3d10::ShaderProgram check;
    std::string why;
    if (FAILED(platform::d3d10::DecodeShader(out.bytecode.data(), out.bytecode.size() * 4, check, &why)))
        throw CompileError(f.line, "internal error: generated code for " + f.name + " is invalid: " + why);
    return out;
}

Value ShaderCompiler::constant(const Expr& e, const Type& type) {
    constantOnly_ = true;
    frames_.assign(1, Frame{});
    frames_.back().scopes.emplace_back();
    Value v = convert(evaluate(e), type, e.line);
    constantOnly_ = false;
    if (!isConstantValue(v)) throw CompileError(e.line, "the value must be known at compile time");
    return v;
}

Value ShaderCompiler::constantInitializer(const Expr& e, const Type& type, bool unsizedArray) {
    constantOnly_ = true;
    frames_.assign(1, Frame{});
    frames_.back().scopes.emplace_back();
    Value v = initializer(e, type, unsizedArray);
    constantOnly_ = false;
    if (!isConstantValue(v)) throw CompileError(e.line, "the initializer must be known at compile time");
    return v;
}

} // namespace unfold::fxc
