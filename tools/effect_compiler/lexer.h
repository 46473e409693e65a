// Tokens of HLSL source. The lexer also runs the preprocessor subset the compiler accepts: comments,
// and object-like macros (#define NAME tokens..., #undef NAME), expanded where they are used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace unfold::fxc {

enum class TokenKind { Identifier, Int, Float, String, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text; // identifier, punctuator or string contents; a literal's spelling
    int line = 0;
    int64_t intValue = 0;
    float floatValue = 0.0f;

    bool is(const char* punct) const { return kind == TokenKind::Punct && text == punct; }
    bool isWord(const char* word) const { return kind == TokenKind::Identifier && text == word; }
};

// Throws CompileError on a malformed token or directive. The result ends with an End token.
std::vector<Token> Tokenize(const std::string& source);

} // namespace unfold::fxc
