#include "tools/effect_compiler/parser.h"

#include <set>

#include "tools/effect_compiler/compile_error.h"
#include "tools/effect_compiler/lexer.h"

namespace unfold::fxc {

bool IsBuiltinTypeName(const std::string& name) {
    static const std::set<std::string> objects = {"void",
                                                  "matrix",
                                                  "vector",
                                                  "Texture",
                                                  "Texture1D",
                                                  "Texture2D",
                                                  "Texture3D",
                                                  "TextureCube",
                                                  "SamplerState",
                                                  "sampler",
                                                  "SamplerComparisonState",
                                                  "string"};
    if (objects.count(name)) return true;
    for (const char* base : {"bool", "int", "uint", "dword", "half", "float", "double"}) {
        std::string b = base;
        if (name.compare(0, b.size(), b) != 0) continue;
        std::string rest = name.substr(b.size());
        if (rest.empty()) return true;
        auto dim = [](char c) { return c >= '1' && c <= '4'; };
        if (rest.size() == 1 && dim(rest[0])) return true;
        if (rest.size() == 3 && dim(rest[0]) && rest[1] == 'x' && dim(rest[2])) return true;
    }
    return false;
}

namespace {

const std::set<std::string> kModifiers = {
    "static",        "const",   "uniform", "extern", "shared", "volatile", "row_major",
    "column_major",  "in",      "out",     "inout",  "linear", "centroid", "nointerpolation",
    "noperspective", "precise", "inline"};

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    Program run() {
        while (at().kind != TokenKind::End) topLevel();
        return std::move(program_);
    }

private:
    // ---- token access ----
    const Token& at(size_t ahead = 0) const {
        size_t i = pos_ + ahead;
        return i < t_.size() ? t_[i] : t_.back();
    }
    Token take() {
        Token t = at();
        if (pos_ < t_.size() - 1) ++pos_;
        return t;
    }
    bool accept(const char* punct) {
        if (!at().is(punct)) return false;
        take();
        return true;
    }
    bool acceptWord(const char* word) {
        if (!at().isWord(word)) return false;
        take();
        return true;
    }
    [[noreturn]] void fail(const std::string& message) const { throw CompileError(at().line, message); }
    std::string describe(const Token& t) const {
        if (t.kind == TokenKind::End) return "end of file";
        return "'" + t.text + "'";
    }
    void expect(const char* punct) {
        if (!accept(punct)) fail(std::string("expected '") + punct + "' but found " + describe(at()));
    }
    std::string identifier(const char* what) {
        if (at().kind != TokenKind::Identifier)
            fail(std::string("expected ") + what + " but found " + describe(at()));
        return take().text;
    }

    bool isTypeName(const Token& t) const {
        if (t.kind != TokenKind::Identifier) return false;
        if (IsBuiltinTypeName(t.text)) return true;
        for (const auto& s : program_.structs)
            if (s.name == t.text) return true;
        return false;
    }
    bool startsDeclaration() const {
        size_t i = 0;
        while (at(i).kind == TokenKind::Identifier && kModifiers.count(at(i).text)) ++i;
        return isTypeName(at(i));
    }

    // ---- types and declarators ----
    TypeSpec typeSpec() {
        TypeSpec ts;
        ts.line = at().line;
        if (!isTypeName(at())) fail("expected a type but found " + describe(at()));
        ts.name = take().text;
        if (at().is("<")) {
            take();
            if (ts.name == "vector" || ts.name == "matrix")
                fail("templated " + ts.name + " types are not supported");
            ts.templateArg = identifier("a template argument");
            expect(">");
        }
        return ts;
    }

    void modifiers(VarDecl& d) {
        while (at().kind == TokenKind::Identifier && kModifiers.count(at().text)) {
            Token m = take();
            if (m.text == "static")
                d.isStatic = true;
            else if (m.text == "const")
                d.isConst = true;
            else if (m.text == "uniform")
                d.isUniform = true;
            else if (m.text == "extern")
                d.isExtern = true;
            else if (m.text == "row_major")
                d.type.rowMajor = true;
            else if (m.text == "column_major")
                d.type.columnMajor = true;
            else if (m.text == "in")
                d.direction = VarDecl::Direction::In;
            else if (m.text == "out")
                d.direction = VarDecl::Direction::Out;
            else if (m.text == "inout")
                d.direction = VarDecl::Direction::InOut;
            else if (m.text == "linear" || m.text == "precise" || m.text == "inline") {
                // Interpolation is linear already; precise and inline change nothing here.
            } else {
                throw CompileError(m.line, "modifier '" + m.text + "' is not supported");
            }
        }
    }

    // After the name: array size, semantic or register, annotations, then an initializer.
    void declaratorTail(VarDecl& d, bool allowState) {
        if (accept("[")) {
            d.isArray = true;
            if (!at().is("]")) d.arraySize = expression();
            expect("]");
            if (at().is("[")) fail("arrays of arrays are not supported");
        }
        while (accept(":")) {
            if (at().isWord("register")) {
                take();
                expect("(");
                d.registerName = identifier("a register name");
                expect(")");
            } else if (at().isWord("packoffset")) {
                fail("packoffset is not supported");
            } else {
                d.semantic = identifier("a semantic");
            }
        }
        if (at().is("<")) fail("annotations are not supported");
        if (accept("=")) {
            d.init = at().is("{") ? initList() : assignment();
        } else if (allowState && at().is("{")) {
            take();
            while (!accept("}")) {
                StateAssignment s;
                s.line = at().line;
                s.name = identifier("a state name");
                if (at().is("[")) fail("indexed state assignments are not supported");
                expect("=");
                s.value = expression();
                expect(";");
                d.state.push_back(std::move(s));
            }
        }
    }

    ExprPtr initList() {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::InitList;
        e->line = at().line;
        expect("{");
        while (!at().is("}")) {
            e->operands.push_back(at().is("{") ? initList() : assignment());
            if (!accept(",")) break;
        }
        expect("}");
        return e;
    }

    // "mods type a = 1, b[2] = {..};" with the type and modifiers already read into `first`.
    std::vector<VarDecl> declarators(const VarDecl& first, bool allowState) {
        std::vector<VarDecl> out;
        do {
            VarDecl d;
            d.type = first.type;
            d.isStatic = first.isStatic;
            d.isConst = first.isConst;
            d.isUniform = first.isUniform;
            d.isExtern = first.isExtern;
            d.line = at().line;
            d.name = identifier("a variable name");
            declaratorTail(d, allowState);
            out.push_back(std::move(d));
        } while (accept(","));
        if (!accept(";")) {
            // A sampler state block may stand without a semicolon after its closing brace.
            if (!(allowState && !out.back().state.empty())) fail("expected ';' but found " + describe(at()));
        }
        return out;
    }

    // ---- top level ----
    void topLevel() {
        if (accept(";")) return;
        if (at().isWord("struct")) return structDecl();
        if (at().isWord("cbuffer")) return cbufferDecl();
        if (at().isWord("tbuffer")) fail("tbuffers are not supported");
        if (at().isWord("technique10") || at().isWord("technique")) return techniqueDecl();
        if (at().isWord("technique11") || at().isWord("fxgroup"))
            fail(describe(at()) + " needs a newer profile than fx_4_0");
        if (at().isWord("typedef")) fail("typedef is not supported");
        VarDecl head;
        head.line = at().line;
        modifiers(head);
        bool rowMajor = head.type.rowMajor, columnMajor = head.type.columnMajor;
        head.type = typeSpec();
        head.type.rowMajor = rowMajor;
        head.type.columnMajor = columnMajor;
        if (at().kind == TokenKind::Identifier && at(1).is("(")) return functionDecl(head);
        for (auto& d : declarators(head, true)) program_.globals.push_back(std::move(d));
    }

    void structDecl() {
        StructDecl s;
        s.line = take().line;
        s.name = identifier("a struct name");
        for (const auto& other : program_.structs)
            if (other.name == s.name) throw CompileError(s.line, "struct " + s.name + " is defined twice");
        expect("{");
        while (!accept("}")) {
            VarDecl head;
            head.line = at().line;
            modifiers(head);
            bool rowMajor = head.type.rowMajor, columnMajor = head.type.columnMajor;
            head.type = typeSpec();
            head.type.rowMajor = rowMajor;
            head.type.columnMajor = columnMajor;
            for (auto& d : declarators(head, false)) {
                if (d.init) throw CompileError(d.line, "struct members cannot have initializers");
                s.members.push_back(std::move(d));
            }
        }
        expect(";");
        program_.structs.push_back(std::move(s));
    }

    void cbufferDecl() {
        CBufferDecl c;
        c.line = take().line;
        c.name = identifier("a cbuffer name");
        if (accept(":")) {
            if (!acceptWord("register")) fail("expected register(bN) after the cbuffer name");
            expect("(");
            c.registerName = identifier("a register name");
            expect(")");
        }
        expect("{");
        while (!accept("}")) {
            VarDecl head;
            head.line = at().line;
            modifiers(head);
            bool rowMajor = head.type.rowMajor, columnMajor = head.type.columnMajor;
            head.type = typeSpec();
            head.type.rowMajor = rowMajor;
            head.type.columnMajor = columnMajor;
            for (auto& d : declarators(head, false)) c.variables.push_back(std::move(d));
        }
        accept(";");
        program_.cbuffers.push_back(std::move(c));
    }

    void techniqueDecl() {
        TechniqueDecl t;
        t.line = take().line;
        t.name = identifier("a technique name");
        if (at().is("<")) fail("annotations are not supported");
        expect("{");
        while (!accept("}")) {
            if (!at().isWord("pass")) fail("expected 'pass' but found " + describe(at()));
            PassDecl p;
            p.line = take().line;
            p.name = identifier("a pass name");
            if (at().is("<")) fail("annotations are not supported");
            expect("{");
            while (!accept("}")) {
                StateAssignment call;
                call.line = at().line;
                call.name = identifier("a pass state call");
                expect("(");
                call.value = expression();
                if (at().is(",")) fail(call.name + " with more than one argument is not supported");
                expect(")");
                expect(";");
                p.calls.push_back(std::move(call));
            }
            t.passes.push_back(std::move(p));
        }
        accept(";");
        program_.techniques.push_back(std::move(t));
    }

    void functionDecl(const VarDecl& head) {
        FunctionDecl f;
        f.returnType = head.type;
        f.line = at().line;
        f.name = take().text;
        if (head.isConst || head.isUniform || head.isExtern)
            throw CompileError(f.line, "a function cannot be const, uniform or extern");
        expect("(");
        if (!at().is(")") && !(at().isWord("void") && at(1).is(")"))) {
            do {
                VarDecl p;
                p.line = at().line;
                modifiers(p);
                bool rowMajor = p.type.rowMajor, columnMajor = p.type.columnMajor;
                p.type = typeSpec();
                p.type.rowMajor = rowMajor;
                p.type.columnMajor = columnMajor;
                p.name = identifier("a parameter name");
                declaratorTail(p, false);
                if (p.init) throw CompileError(p.line, "default parameter values are not supported");
                if (!p.registerName.empty()) throw CompileError(p.line, "parameters cannot have registers");
                f.params.push_back(std::move(p));
            } while (accept(","));
        } else if (at().isWord("void")) {
            take();
        }
        expect(")");
        if (accept(":")) f.semantic = identifier("a semantic");
        if (at().is(";")) fail("function declarations without a body are not supported");
        f.body = block();
        program_.functions.push_back(std::move(f));
    }

    // ---- statements ----
    StmtPtr makeStmt(Stmt::Kind k, int line) {
        auto s = std::make_unique<Stmt>();
        s->kind = k;
        s->line = line;
        return s;
    }

    StmtPtr block() {
        auto s = makeStmt(Stmt::Kind::Block, at().line);
        expect("{");
        while (!accept("}")) {
            if (at().kind == TokenKind::End) fail("expected '}' but found end of file");
            s->body.push_back(statement());
        }
        return s;
    }

    void attributes() {
        while (at().is("[")) {
            take();
            std::string name = identifier("an attribute");
            if (name != "unroll" && name != "loop" && name != "flatten" && name != "branch" &&
                name != "fastopt")
                fail("unknown attribute '" + name + "'");
            if (accept("(")) {
                expression();
                expect(")");
            }
            expect("]");
        }
    }

    StmtPtr declarationStatement() {
        VarDecl head;
        head.line = at().line;
        modifiers(head);
        bool rowMajor = head.type.rowMajor, columnMajor = head.type.columnMajor;
        head.type = typeSpec();
        head.type.rowMajor = rowMajor;
        head.type.columnMajor = columnMajor;
        auto s = makeStmt(Stmt::Kind::Declaration, head.line);
        s->decls = declarators(head, false);
        return s;
    }

    StmtPtr statement() {
        attributes();
        int line = at().line;
        if (at().is("{")) return block();
        if (accept(";")) return makeStmt(Stmt::Kind::Empty, line);
        if (acceptWord("if")) {
            auto s = makeStmt(Stmt::Kind::If, line);
            expect("(");
            s->expr = expression();
            expect(")");
            s->thenBranch = statement();
            if (acceptWord("else")) s->elseBranch = statement();
            return s;
        }
        if (acceptWord("for")) {
            auto s = makeStmt(Stmt::Kind::For, line);
            expect("(");
            if (!accept(";")) {
                if (startsDeclaration()) {
                    s->init = declarationStatement();
                } else {
                    s->init = makeStmt(Stmt::Kind::Expression, at().line);
                    s->init->expr = expression();
                    expect(";");
                }
            }
            if (!at().is(";")) s->expr = expression();
            expect(";");
            if (!at().is(")")) s->step = expression();
            expect(")");
            s->loopBody = statement();
            return s;
        }
        if (at().isWord("while") || at().isWord("do")) fail("while and do loops are not supported; use for");
        if (at().isWord("switch")) fail("switch is not supported");
        if (at().isWord("discard")) fail("discard is not supported");
        if (acceptWord("return")) {
            auto s = makeStmt(Stmt::Kind::Return, line);
            if (!at().is(";")) s->expr = expression();
            expect(";");
            return s;
        }
        if (acceptWord("break")) {
            expect(";");
            return makeStmt(Stmt::Kind::Break, line);
        }
        if (acceptWord("continue")) {
            expect(";");
            return makeStmt(Stmt::Kind::Continue, line);
        }
        if (startsDeclaration()) return declarationStatement();
        auto s = makeStmt(Stmt::Kind::Expression, line);
        s->expr = expression();
        expect(";");
        return s;
    }

    // ---- expressions ----
    ExprPtr make(Expr::Kind k, int line) {
        auto e = std::make_unique<Expr>();
        e->kind = k;
        e->line = line;
        return e;
    }

    // Commas separate arguments and declarators; the comma operator is not supported.
    ExprPtr expression() { return assignment(); }

    ExprPtr assignment() {
        ExprPtr left = conditional();
        static const char* const ops[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="};
        for (const char* op : ops) {
            if (at().is(op)) {
                int line = take().line;
                auto e = make(Expr::Kind::Assign, line);
                e->name = op;
                e->operands.push_back(std::move(left));
                e->operands.push_back(assignment());
                return e;
            }
        }
        return left;
    }

    ExprPtr conditional() {
        ExprPtr c = binary(0);
        if (!at().is("?")) return c;
        int line = take().line;
        auto e = make(Expr::Kind::Conditional, line);
        e->operands.push_back(std::move(c));
        e->operands.push_back(assignment());
        expect(":");
        e->operands.push_back(assignment());
        return e;
    }

    // Binary operators by precedence, loosest first.
    ExprPtr binary(int level) {
        static const std::vector<std::vector<const char*>> levels = {
            {"||"},       {"&&"},     {"|"},          {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
            {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
        if (level == static_cast<int>(levels.size())) return unary();
        ExprPtr left = binary(level + 1);
        while (true) {
            const char* found = nullptr;
            for (const char* op : levels[level])
                if (at().is(op)) found = op;
            if (!found) return left;
            int line = take().line;
            auto e = make(Expr::Kind::Binary, line);
            e->name = found;
            e->operands.push_back(std::move(left));
            e->operands.push_back(binary(level + 1));
            left = std::move(e);
        }
    }

    ExprPtr unary() {
        int line = at().line;
        for (const char* op : {"-", "+", "!", "~"}) {
            if (at().is(op)) {
                take();
                auto e = make(Expr::Kind::Unary, line);
                e->name = op;
                e->operands.push_back(unary());
                return e;
            }
        }
        if (at().is("++") || at().is("--")) {
            auto e = make(Expr::Kind::PreIncrement, line);
            e->name = take().text;
            e->operands.push_back(unary());
            return e;
        }
        // A cast: "(" type ")" followed by an operand.
        if (at().is("(") && isTypeName(at(1)) && !at(2).is("(")) {
            take();
            auto e = make(Expr::Kind::Cast, line);
            e->type = typeSpec();
            if (at().is("[")) fail("casts to array types are not supported");
            expect(")");
            e->operands.push_back(unary());
            return e;
        }
        return postfix(primary());
    }

    ExprPtr postfix(ExprPtr e) {
        while (true) {
            int line = at().line;
            if (accept(".")) {
                std::string name = identifier("a member name");
                if (at().is("(")) {
                    auto m = make(Expr::Kind::MethodCall, line);
                    m->name = name;
                    m->operands.push_back(std::move(e));
                    arguments(m->operands);
                    e = std::move(m);
                } else {
                    auto m = make(Expr::Kind::Member, line);
                    m->name = name;
                    m->operands.push_back(std::move(e));
                    e = std::move(m);
                }
            } else if (accept("[")) {
                auto i = make(Expr::Kind::Index, line);
                i->operands.push_back(std::move(e));
                i->operands.push_back(expression());
                expect("]");
                e = std::move(i);
            } else if (at().is("++") || at().is("--")) {
                auto p = make(Expr::Kind::PostIncrement, line);
                p->name = take().text;
                p->operands.push_back(std::move(e));
                e = std::move(p);
            } else {
                return e;
            }
        }
    }

    void arguments(std::vector<ExprPtr>& out) {
        expect("(");
        if (accept(")")) return;
        do out.push_back(assignment());
        while (accept(","));
        expect(")");
    }

    ExprPtr primary() {
        const Token& t = at();
        int line = t.line;
        switch (t.kind) {
        case TokenKind::Int: {
            auto e = make(Expr::Kind::Int, line);
            e->intValue = take().intValue;
            return e;
        }
        case TokenKind::Float: {
            auto e = make(Expr::Kind::Float, line);
            e->floatValue = take().floatValue;
            return e;
        }
        case TokenKind::Identifier: {
            if (t.text == "true" || t.text == "false") {
                auto e = make(Expr::Kind::Bool, line);
                e->boolValue = take().text == "true";
                return e;
            }
            std::string name = take().text;
            if (at().is("(")) {
                auto e = make(Expr::Kind::Call, line);
                e->name = name;
                arguments(e->operands);
                return e;
            }
            if (at().is("<") && (name == "vector" || name == "matrix"))
                fail("templated types are not supported");
            auto e = make(Expr::Kind::Name, line);
            e->name = name;
            return e;
        }
        case TokenKind::Punct:
            if (t.is("(")) {
                take();
                ExprPtr e = expression();
                expect(")");
                return e;
            }
            break;
        default:
            break;
        }
        fail("expected an expression but found " + describe(t));
    }

    std::vector<Token> t_;
    size_t pos_ = 0;
    Program program_;
};

} // namespace

Program Parse(const std::string& source) {
    return Parser(Tokenize(source)).run();
}

} // namespace unfold::fxc
