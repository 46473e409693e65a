// Reads a resource script into tokens, running the preprocessor subset that .rc files use:
// #include (of headers, whose non-directive lines are ignored as rc does), object-like #define and
// #undef, #if/#ifdef/#ifndef/#elif/#else/#endif with integer expressions and defined(), and #pragma
// (ignored). Macros are expanded in the tokens it returns.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace unfold::rc {

enum class TokenKind { Identifier, Number, String, WideString, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;    // spelling; for strings, the decoded contents (UTF-8)
    uint32_t value = 0;  // numbers
    bool isLong = false; // a number with the L suffix
    std::string file;
    int line = 0;

    bool is(const char* punct) const { return kind == TokenKind::Punct && text == punct; }
    // Keywords of resource scripts are not case-sensitive.
    bool isKeyword(const char* word) const;
};

class RcReader {
public:
    // RC_INVOKED is defined, as Windows' resource compiler defines it, so that headers can keep
    // declarations away from scripts.
    explicit RcReader(std::vector<std::string> includeDirs);

    // Throws RcError.
    std::vector<Token> read(const std::string& path);
    // Tokens of a script given as text (for tests); `path` names it in errors and anchors relative paths.
    std::vector<Token> readText(const std::string& text, const std::string& path);

    // Finds a file named in the script: relative to the directory of `fromFile`, then in the include
    // directories. Returns an empty string when there is none.
    std::string locate(const std::string& name, const std::string& fromFile) const;
    // Every file read so far: scripts, headers and (through noteDependency) embedded files.
    const std::set<std::string>& dependencies() const { return dependencies_; }
    void noteDependency(const std::string& path) { dependencies_.insert(path); }

private:
    struct Macro {
        std::vector<Token> body;
        bool functionLike = false;
    };
    void process(const std::string& text, const std::string& path, bool headerOnly, int depth);
    void expand(const Token& t, std::vector<Token>& out, std::set<std::string>& active, int depth);
    bool evaluateCondition(std::vector<Token> tokens, const std::string& path, int line);

    std::vector<std::string> includeDirs_;
    std::map<std::string, Macro> macros_;
    std::set<std::string> dependencies_;
    std::vector<Token> out_;
};

} // namespace unfold::rc
