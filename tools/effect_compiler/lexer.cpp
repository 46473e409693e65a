#include "tools/effect_compiler/lexer.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>

#include "tools/effect_compiler/compile_error.h"

namespace unfold::fxc {

namespace {

const char* const kPunctuators[] = {"<<=", ">>=", "++", "--", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=",
                                    "==",  "!=",  "<=", ">=", "&&", "||", "<<", ">>", "::", "{",  "}",  "(",
                                    ")",   "[",   "]",  ";",  ",",  ".",  ":",  "?",  "+",  "-",  "*",  "/",
                                    "%",   "<",   ">",  "=",  "!",  "&",  "|",  "^",  "~"};

bool identStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool identChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

class Lexer {
public:
    explicit Lexer(const std::string& s) : src_(s) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        bool lineStart = true;
        while (true) {
            skipSpaceAndComments(lineStart);
            if (pos_ >= src_.size()) break;
            if (lineStart && src_[pos_] == '#') {
                directive();
                lineStart = true;
                continue;
            }
            lineStart = false;
            Token t = next();
            if (t.kind == TokenKind::Identifier)
                expand(t, out, {});
            else
                out.push_back(t);
        }
        Token end;
        end.line = line_;
        out.push_back(end);
        return out;
    }

private:
    char peek(size_t ahead = 0) const { return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0'; }

    // Skips blanks and comments; notes when a newline starts a fresh line.
    void skipSpaceAndComments(bool& lineStart) {
        while (pos_ < src_.size()) {
            char c = src_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
                lineStart = true;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (c == '/' && peek(1) == '/') {
                while (pos_ < src_.size() && src_[pos_] != '\n') ++pos_;
            } else if (c == '/' && peek(1) == '*') {
                int startLine = line_;
                pos_ += 2;
                while (pos_ < src_.size() && !(src_[pos_] == '*' && peek(1) == '/')) {
                    if (src_[pos_] == '\n') ++line_;
                    ++pos_;
                }
                if (pos_ >= src_.size()) throw CompileError(startLine, "unterminated comment");
                pos_ += 2;
            } else if (c == '\\' && (peek(1) == '\n' || (peek(1) == '\r' && peek(2) == '\n'))) {
                pos_ += peek(1) == '\r' ? 3 : 2;
                ++line_;
            } else {
                break;
            }
        }
    }

    Token next() {
        Token t;
        t.line = line_;
        char c = src_[pos_];
        if (identStart(c)) {
            size_t start = pos_;
            while (pos_ < src_.size() && identChar(src_[pos_])) ++pos_;
            t.kind = TokenKind::Identifier;
            t.text = src_.substr(start, pos_ - start);
            return t;
        }
        if (digit(c) || (c == '.' && digit(peek(1)))) return number();
        if (c == '"') {
            ++pos_;
            size_t start = pos_;
            while (pos_ < src_.size() && src_[pos_] != '"' && src_[pos_] != '\n') ++pos_;
            if (peek() != '"') throw CompileError(line_, "unterminated string");
            t.kind = TokenKind::String;
            t.text = src_.substr(start, pos_ - start);
            ++pos_;
            return t;
        }
        for (const char* p : kPunctuators) {
            size_t n = std::char_traits<char>::length(p);
            if (src_.compare(pos_, n, p) == 0) {
                t.kind = TokenKind::Punct;
                t.text = p;
                pos_ += n;
                return t;
            }
        }
        throw CompileError(line_, std::string("unexpected character '") + c + "'");
    }

    Token number() {
        Token t;
        t.line = line_;
        size_t start = pos_;
        bool isFloat = false;
        if (peek() == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
            pos_ += 2;
            while (std::isxdigit(static_cast<unsigned char>(peek()))) ++pos_;
        } else {
            while (digit(peek())) ++pos_;
            if (peek() == '.') {
                isFloat = true;
                ++pos_;
                while (digit(peek())) ++pos_;
            }
            if (peek() == 'e' || peek() == 'E') {
                size_t save = pos_;
                ++pos_;
                if (peek() == '+' || peek() == '-') ++pos_;
                if (digit(peek())) {
                    isFloat = true;
                    while (digit(peek())) ++pos_;
                } else {
                    pos_ = save;
                }
            }
        }
        std::string spelling = src_.substr(start, pos_ - start);
        char suffix = peek();
        if (isFloat || suffix == 'f' || suffix == 'F' || suffix == 'h' || suffix == 'H') {
            if (suffix == 'f' || suffix == 'F' || suffix == 'h' || suffix == 'H' || suffix == 'l' ||
                suffix == 'L')
                ++pos_;
            if (spelling.size() > 1 && (spelling[1] == 'x' || spelling[1] == 'X'))
                throw CompileError(line_, "bad floating-point literal '" + spelling + "'");
            errno = 0;
            t.kind = TokenKind::Float;
            t.floatValue = std::strtof(spelling.c_str(), nullptr);
            if (errno == ERANGE && t.floatValue != 0.0f)
                throw CompileError(line_, "floating-point literal '" + spelling + "' is out of range");
        } else {
            while (peek() == 'u' || peek() == 'U' || peek() == 'l' || peek() == 'L') ++pos_;
            errno = 0;
            unsigned long long v = std::strtoull(spelling.c_str(), nullptr, 0);
            if (errno == ERANGE || v > 0xFFFFFFFFull)
                throw CompileError(line_, "integer literal '" + spelling + "' is out of range");
            t.kind = TokenKind::Int;
            // Literals above INT_MAX keep their bits, as 32-bit integer arithmetic does.
            t.intValue = static_cast<int32_t>(static_cast<uint32_t>(v));
        }
        if (identChar(peek())) throw CompileError(line_, "bad suffix on number '" + spelling + "'");
        t.text = src_.substr(start, pos_ - start);
        return t;
    }

    // The rest of the current line, for a directive; line continuations join lines.
    std::vector<Token> directiveTokens() {
        std::vector<Token> out;
        while (true) {
            skipBlanks();
            if (pos_ >= src_.size() || src_[pos_] == '\n') break;
            if (src_[pos_] == '\\' && (peek(1) == '\n' || (peek(1) == '\r' && peek(2) == '\n'))) {
                pos_ += peek(1) == '\r' ? 3 : 2;
                ++line_;
                continue;
            }
            if (src_[pos_] == '/' && peek(1) == '/') {
                while (pos_ < src_.size() && src_[pos_] != '\n') ++pos_;
                break;
            }
            if (src_[pos_] == '/' && peek(1) == '*') {
                pos_ += 2;
                while (pos_ < src_.size() && !(src_[pos_] == '*' && peek(1) == '/')) {
                    if (src_[pos_] == '\n') ++line_;
                    ++pos_;
                }
                pos_ = std::min(pos_ + 2, src_.size());
                continue;
            }
            out.push_back(next());
        }
        return out;
    }

    void skipBlanks() {
        while (pos_ < src_.size() && (src_[pos_] == ' ' || src_[pos_] == '\t' || src_[pos_] == '\r')) ++pos_;
    }

    void directive() {
        int line = line_;
        ++pos_;
        skipBlanks();
        if (pos_ >= src_.size() || src_[pos_] == '\n') return; // a lone '#' is a null directive
        if (!identStart(src_[pos_])) throw CompileError(line, "malformed preprocessor directive");
        std::string name = next().text;
        if (name == "define") {
            skipBlanks();
            if (pos_ >= src_.size() || !identStart(src_[pos_]))
                throw CompileError(line, "#define needs a macro name");
            std::string macro = next().text;
            // A '(' directly after the name makes a function-like macro; this compiler has none.
            if (peek() == '(') throw CompileError(line, "function-like macros are not supported");
            macros_[macro] = directiveTokens();
        } else if (name == "undef") {
            std::vector<Token> words = directiveTokens();
            if (words.size() != 1 || words[0].kind != TokenKind::Identifier)
                throw CompileError(line, "#undef needs one macro name");
            macros_.erase(words[0].text);
        } else {
            throw CompileError(line, "unsupported preprocessor directive '#" + name + "'");
        }
    }

    void expand(const Token& t, std::vector<Token>& out, std::set<std::string> active) {
        auto it = macros_.find(t.text);
        if (it == macros_.end() || active.count(t.text)) {
            out.push_back(t);
            return;
        }
        if (active.size() > 64) throw CompileError(t.line, "macro expansion is nested too deeply");
        active.insert(t.text);
        for (Token r : it->second) {
            r.line = t.line;
            if (r.kind == TokenKind::Identifier)
                expand(r, out, active);
            else
                out.push_back(r);
        }
    }

    const std::string& src_;
    size_t pos_ = 0;
    int line_ = 1;
    std::map<std::string, std::vector<Token>> macros_;
};

} // namespace

std::vector<Token> Tokenize(const std::string& source) {
    return Lexer(source).run();
}

} // namespace unfold::fxc
