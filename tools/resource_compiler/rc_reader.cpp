#include "tools/resource_compiler/rc_reader.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <strings.h>

#include "tools/resource_compiler/rc_error.h"

namespace unfold::rc {

namespace fs = std::filesystem;

bool Token::isKeyword(const char* word) const {
    return kind == TokenKind::Identifier && strcasecmp(text.c_str(), word) == 0;
}

namespace {

bool identStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool identChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

class Lexer {
public:
    Lexer(const std::string& text, const std::string& path) : s_(text), path_(path) {}

    [[noreturn]] void fail(const std::string& message) const { throw RcError(path_, line_, message); }
    int line() const { return line_; }
    bool atEnd() const { return pos_ >= s_.size(); }
    char peek(size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
    void advance() { ++pos_; }

    // Skips blanks and comments. Returns true when a newline was crossed.
    bool skipSpace() {
        bool newline = false;
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
                newline = true;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (c == '/' && peek(1) == '/') {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else if (c == '/' && peek(1) == '*') {
                int start = line_;
                pos_ += 2;
                while (pos_ < s_.size() && !(s_[pos_] == '*' && peek(1) == '/')) {
                    if (s_[pos_] == '\n') ++line_;
                    ++pos_;
                }
                if (pos_ >= s_.size()) throw RcError(path_, start, "unterminated comment");
                pos_ += 2;
            } else if (c == '\\' && (peek(1) == '\n' || (peek(1) == '\r' && peek(2) == '\n'))) {
                pos_ += peek(1) == '\r' ? 3 : 2;
                ++line_;
            } else {
                break;
            }
        }
        return newline;
    }

    // Skips to the end of the current line (the newline itself stays).
    void skipLine() {
        while (pos_ < s_.size() && s_[pos_] != '\n') {
            if (s_[pos_] == '\\' && (peek(1) == '\n' || (peek(1) == '\r' && peek(2) == '\n'))) {
                pos_ += peek(1) == '\r' ? 3 : 2;
                ++line_;
                continue;
            }
            ++pos_;
        }
    }

    void skipBlanks() {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++pos_;
            } else if (c == '\\' && (peek(1) == '\n' || (peek(1) == '\r' && peek(2) == '\n'))) {
                pos_ += peek(1) == '\r' ? 3 : 2;
                ++line_;
            } else if (c == '/' && peek(1) == '*') {
                pos_ += 2;
                while (pos_ < s_.size() && !(s_[pos_] == '*' && peek(1) == '/')) {
                    if (s_[pos_] == '\n') ++line_;
                    ++pos_;
                }
                pos_ = std::min(pos_ + 2, s_.size());
            } else if (c == '/' && peek(1) == '/') {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else {
                break;
            }
        }
    }

    // The tokens up to the end of the line, for a directive.
    std::vector<Token> restOfLine() {
        std::vector<Token> out;
        while (true) {
            skipBlanks();
            if (atEnd() || peek() == '\n') return out;
            out.push_back(next());
        }
    }

    // "#include <file>" names the file between angle brackets.
    std::string angleName() {
        skipBlanks();
        if (peek() != '<') return {};
        size_t end = s_.find('>', pos_);
        size_t newline = s_.find('\n', pos_);
        if (end == std::string::npos || (newline != std::string::npos && newline < end))
            fail("unterminated #include <...>");
        std::string name = s_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = end + 1;
        return name;
    }

    Token next() {
        Token t;
        t.file = path_;
        t.line = line_;
        char c = peek();
        if ((c == 'L' || c == 'l') && peek(1) == '"') {
            ++pos_;
            t = string();
            t.kind = TokenKind::WideString;
            return t;
        }
        if (identStart(c)) {
            size_t start = pos_;
            while (pos_ < s_.size() && identChar(s_[pos_])) ++pos_;
            t.kind = TokenKind::Identifier;
            t.text = s_.substr(start, pos_ - start);
            return t;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) return number();
        if (c == '"') return string();
        static const char* const twoChar[] = {"&&", "||", "==", "!=", "<=", ">=", "<<", ">>"};
        for (const char* p : twoChar)
            if (s_.compare(pos_, 2, p) == 0) {
                pos_ += 2;
                t.kind = TokenKind::Punct;
                t.text = p;
                return t;
            }
        if (std::string("{}(),|&+-*/%~!<>^=:;.").find(c) != std::string::npos) {
            ++pos_;
            t.kind = TokenKind::Punct;
            t.text = std::string(1, c);
            return t;
        }
        fail(std::string("unexpected character '") + c + "'");
    }

private:
    Token number() {
        Token t;
        t.file = path_;
        t.line = line_;
        size_t start = pos_;
        uint64_t v = 0;
        if (peek() == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
            pos_ += 2;
            if (!std::isxdigit(static_cast<unsigned char>(peek()))) fail("bad hexadecimal number");
            while (std::isxdigit(static_cast<unsigned char>(peek()))) {
                char d = static_cast<char>(std::tolower(static_cast<unsigned char>(s_[pos_++])));
                v = v * 16 + static_cast<uint64_t>(d <= '9' ? d - '0' : d - 'a' + 10);
                if (v > 0xFFFFFFFFull) fail("number is out of range");
            }
        } else {
            while (std::isdigit(static_cast<unsigned char>(peek()))) {
                v = v * 10 + static_cast<uint64_t>(s_[pos_++] - '0');
                if (v > 0xFFFFFFFFull) fail("number is out of range");
            }
        }
        while (peek() == 'L' || peek() == 'l' || peek() == 'U' || peek() == 'u') {
            if (peek() == 'L' || peek() == 'l') t.isLong = true;
            ++pos_;
        }
        if (identChar(peek())) fail("bad number '" + s_.substr(start, pos_ - start + 1) + "'");
        t.kind = TokenKind::Number;
        t.value = static_cast<uint32_t>(v);
        t.text = s_.substr(start, pos_ - start);
        return t;
    }

    Token string() {
        Token t;
        t.file = path_;
        t.line = line_;
        t.kind = TokenKind::String;
        ++pos_; // opening quote
        std::string out;
        while (true) {
            if (atEnd() || peek() == '\n') fail("unterminated string");
            char c = s_[pos_++];
            if (c == '"') {
                if (peek() == '"') { // "" is a quote inside a string
                    out += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            char e = atEnd() ? '\0' : s_[pos_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'x':
            case 'X': {
                uint32_t v = 0;
                int digits = 0;
                while (digits < 4 && std::isxdigit(static_cast<unsigned char>(peek()))) {
                    char d = static_cast<char>(std::tolower(static_cast<unsigned char>(s_[pos_++])));
                    v = v * 16 + static_cast<uint32_t>(d <= '9' ? d - '0' : d - 'a' + 10);
                    ++digits;
                }
                if (!digits) fail("\\x needs hexadecimal digits");
                appendUtf8(out, v);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    uint32_t v = static_cast<uint32_t>(e - '0');
                    for (int i = 0; i < 2 && peek() >= '0' && peek() <= '7'; ++i)
                        v = v * 8 + static_cast<uint32_t>(s_[pos_++] - '0');
                    appendUtf8(out, v);
                } else {
                    out += '\\';
                    if (e) out += e;
                }
            }
        }
        t.text = out;
        return t;
    }

    const std::string& s_;
    std::string path_;
    size_t pos_ = 0;
    int line_ = 1;
};

std::string readFile(const std::string& path, const std::string& from, int line) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RcError(from, line, "cannot open '" + path + "'");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool isHeader(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".h" || ext == ".hh" || ext == ".hpp" || ext == ".c";
}

// Integer expressions of #if: C operators on 64-bit values.
class ConditionParser {
public:
    ConditionParser(const std::vector<Token>& t, const std::string& path, int line)
        : t_(t), path_(path), line_(line) {}
    int64_t parse() {
        int64_t v = binary(0);
        if (pos_ != t_.size()) fail();
        return v;
    }

private:
    [[noreturn]] void fail() const { throw RcError(path_, line_, "malformed #if expression"); }
    const Token* at() const { return pos_ < t_.size() ? &t_[pos_] : nullptr; }
    bool accept(const char* p) {
        if (at() && at()->is(p)) {
            ++pos_;
            return true;
        }
        return false;
    }
    int64_t binary(int level) {
        static const std::vector<std::vector<const char*>> levels = {
            {"||"},       {"&&"},     {"|"},          {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
            {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
        if (level == static_cast<int>(levels.size())) return unary();
        int64_t left = binary(level + 1);
        while (true) {
            const char* found = nullptr;
            for (const char* op : levels[level])
                if (at() && at()->is(op)) found = op;
            if (!found) return left;
            ++pos_;
            int64_t right = binary(level + 1);
            std::string op = found;
            if ((op == "/" || op == "%") && right == 0)
                throw RcError(path_, line_, "division by zero in #if");
            if (op == "||")
                left = left || right;
            else if (op == "&&")
                left = left && right;
            else if (op == "|")
                left |= right;
            else if (op == "^")
                left ^= right;
            else if (op == "&")
                left &= right;
            else if (op == "==")
                left = left == right;
            else if (op == "!=")
                left = left != right;
            else if (op == "<")
                left = left < right;
            else if (op == ">")
                left = left > right;
            else if (op == "<=")
                left = left <= right;
            else if (op == ">=")
                left = left >= right;
            else if (op == "<<")
                left = static_cast<int64_t>(static_cast<uint64_t>(left) << (right & 63));
            else if (op == ">>")
                left >>= (right & 63);
            else if (op == "+")
                left += right;
            else if (op == "-")
                left -= right;
            else if (op == "*")
                left *= right;
            else if (op == "/")
                left /= right;
            else
                left %= right;
        }
    }
    // Parentheses and unary operators nest by recursion; an expression nested deeper than this is
    // refused rather than allowed to run the stack out.
    static constexpr int kMaxNesting = 64;
    int64_t unary() {
        if (++depth_ > kMaxNesting) throw RcError(path_, line_, "#if expression nests too deeply");
        const int64_t v = operand();
        --depth_;
        return v;
    }
    int64_t operand() {
        if (accept("!")) return !unary();
        if (accept("-")) return -unary();
        if (accept("+")) return unary();
        if (accept("~")) return ~unary();
        if (accept("(")) {
            int64_t v = binary(0);
            if (!accept(")")) fail();
            return v;
        }
        const Token* t = at();
        if (!t) fail();
        ++pos_;
        if (t->kind == TokenKind::Number) return t->value;
        if (t->kind == TokenKind::Identifier) return 0; // an undefined name is 0
        fail();
    }

    const std::vector<Token>& t_;
    std::string path_;
    int line_;
    size_t pos_ = 0;
    int depth_ = 0;
};

} // namespace

RcReader::RcReader(std::vector<std::string> includeDirs) : includeDirs_(std::move(includeDirs)) {
    Token one;
    one.kind = TokenKind::Number;
    one.value = 1;
    one.text = "1";
    macros_["RC_INVOKED"].body.push_back(one);
}

std::string RcReader::locate(const std::string& name, const std::string& fromFile) const {
    fs::path p(name);
    std::error_code ec;
    if (p.is_absolute()) return fs::exists(p, ec) ? p.lexically_normal().string() : std::string();
    std::vector<fs::path> dirs;
    dirs.push_back(fs::path(fromFile).parent_path());
    for (const auto& d : includeDirs_) dirs.emplace_back(d);
    for (const auto& d : dirs) {
        fs::path candidate = d / p;
        if (fs::is_regular_file(candidate, ec))
            return fs::absolute(candidate, ec).lexically_normal().string();
    }
    return {};
}

std::vector<Token> RcReader::read(const std::string& path) {
    std::string text = readFile(path, path, 0);
    return readText(text, path);
}

std::vector<Token> RcReader::readText(const std::string& text, const std::string& path) {
    out_.clear();
    dependencies_.insert(fs::absolute(path).lexically_normal().string());
    process(text, path, false, 0);
    Token end;
    end.file = path;
    end.line = out_.empty() ? 1 : out_.back().line;
    out_.push_back(end);
    return out_;
}

void RcReader::expand(const Token& t, std::vector<Token>& out, std::set<std::string>& active, int depth) {
    auto it = t.kind == TokenKind::Identifier ? macros_.find(t.text) : macros_.end();
    if (it == macros_.end() || active.count(t.text)) {
        out.push_back(t);
        return;
    }
    if (it->second.functionLike)
        throw RcError(t.file, t.line, "function-like macro " + t.text + " is not supported");
    if (depth > 64) throw RcError(t.file, t.line, "macro expansion nests too deeply");
    active.insert(t.text);
    for (Token b : it->second.body) {
        b.file = t.file;
        b.line = t.line;
        expand(b, out, active, depth + 1);
    }
    active.erase(t.text);
}

bool RcReader::evaluateCondition(std::vector<Token> tokens, const std::string& path, int line) {
    // defined(NAME) and defined NAME are decided before any expansion.
    std::vector<Token> resolved;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == TokenKind::Identifier && tokens[i].text == "defined") {
            bool paren = i + 1 < tokens.size() && tokens[i + 1].is("(");
            size_t nameAt = i + (paren ? 2 : 1);
            if (nameAt >= tokens.size() || tokens[nameAt].kind != TokenKind::Identifier)
                throw RcError(path, line, "defined needs a macro name");
            if (paren && (nameAt + 1 >= tokens.size() || !tokens[nameAt + 1].is(")")))
                throw RcError(path, line, "defined( needs a closing parenthesis");
            Token v;
            v.kind = TokenKind::Number;
            v.value = macros_.count(tokens[nameAt].text) ? 1 : 0;
            resolved.push_back(v);
            i = nameAt + (paren ? 1 : 0);
            continue;
        }
        std::set<std::string> active;
        expand(tokens[i], resolved, active, 0);
    }
    return ConditionParser(resolved, path, line).parse() != 0;
}

void RcReader::process(const std::string& text, const std::string& path, bool headerOnly, int depth) {
    if (depth > 32) throw RcError(path, 1, "#include nests too deeply");
    Lexer lex(text, path);
    struct Conditional {
        bool active;      // this branch is being read
        bool taken;       // some branch of this #if was taken
        bool outerActive; // the #if itself lies in read text
        bool sawElse;
        int line;
    };
    std::vector<Conditional> stack;
    auto active = [&]() { return stack.empty() || stack.back().active; };
    bool lineStart = true;
    while (true) {
        if (lex.skipSpace()) lineStart = true;
        if (lex.atEnd()) break;
        if (!(lineStart && lex.peek() == '#')) {
            lineStart = false;
            if (!active() || headerOnly) {
                // Text that is not read: skipped conditionals, and the C code of headers.
                lex.skipLine();
                continue;
            }
            std::set<std::string> expanding;
            expand(lex.next(), out_, expanding, 0);
            continue;
        }
        lineStart = false;
        int line = lex.line();
        lex.advance();
        lex.skipBlanks();
        std::string name;
        if (identStart(lex.peek())) name = lex.next().text;
        auto fail = [&](const std::string& message) -> void { throw RcError(path, line, message); };
        if (name == "ifdef" || name == "ifndef" || name == "if") {
            bool outer = active();
            bool cond = false;
            if (outer) {
                std::vector<Token> rest = lex.restOfLine();
                if (name == "if") {
                    cond = evaluateCondition(rest, path, line);
                } else {
                    if (rest.size() != 1 || rest[0].kind != TokenKind::Identifier)
                        fail("#" + name + " needs one macro name");
                    cond = macros_.count(rest[0].text) > 0;
                    if (name == "ifndef") cond = !cond;
                }
            } else {
                lex.skipLine();
            }
            stack.push_back({outer && cond, cond, outer, false, line});
        } else if (name == "elif") {
            if (stack.empty() || stack.back().sawElse) fail("#elif without #if");
            Conditional& c = stack.back();
            if (!c.outerActive || c.taken) {
                c.active = false;
                lex.skipLine();
            } else {
                bool cond = evaluateCondition(lex.restOfLine(), path, line);
                c.active = cond;
                c.taken = cond;
            }
        } else if (name == "else") {
            if (stack.empty() || stack.back().sawElse) fail("#else without #if");
            Conditional& c = stack.back();
            c.sawElse = true;
            c.active = c.outerActive && !c.taken;
            c.taken = true;
            lex.skipLine();
        } else if (name == "endif") {
            if (stack.empty()) fail("#endif without #if");
            stack.pop_back();
            lex.skipLine();
        } else if (!active() || name == "pragma" || name.empty()) {
            lex.skipLine();
        } else if (name == "include") {
            std::string file = lex.angleName();
            if (file.empty()) {
                std::vector<Token> rest = lex.restOfLine();
                if (rest.size() != 1 || rest[0].kind != TokenKind::String) fail("#include needs a file name");
                file = rest[0].text;
            } else {
                lex.skipLine();
            }
            std::string found = locate(file, path);
            if (found.empty()) fail("cannot find include file '" + file + "'");
            dependencies_.insert(found);
            process(readFile(found, path, line), found, headerOnly || isHeader(found), depth + 1);
        } else if (name == "define") {
            lex.skipBlanks();
            if (!identStart(lex.peek())) fail("#define needs a macro name");
            std::string macro = lex.next().text;
            Macro m;
            m.functionLike = lex.peek() == '(';
            m.body = lex.restOfLine();
            macros_[macro] = std::move(m);
        } else if (name == "undef") {
            std::vector<Token> rest = lex.restOfLine();
            if (rest.size() != 1 || rest[0].kind != TokenKind::Identifier)
                fail("#undef needs one macro name");
            macros_.erase(rest[0].text);
        } else if (name == "error") {
            std::string message;
            for (const auto& t : lex.restOfLine()) message += (message.empty() ? "" : " ") + t.text;
            fail("#error " + message);
        } else {
            fail("unsupported preprocessor directive '#" + name + "'");
        }
    }
    if (!stack.empty()) throw RcError(path, stack.back().line, "#if without #endif");
}

} // namespace unfold::rc
