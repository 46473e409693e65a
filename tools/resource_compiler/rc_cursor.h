// A cursor over the tokens of a resource script, with the pieces every statement is made of: integer
// expressions, resource identifiers, strings, commas and BEGIN ... END blocks. Errors throw RcError
// naming the token's file and line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/resource_compiler/rc_reader.h"
#include "tools/resource_compiler/rc_script.h"

namespace unfold::rc {

class ScriptCursor {
public:
    ScriptCursor(const std::vector<Token>& tokens, RcReader& reader) : t_(tokens), reader_(reader) {}

    const Token& at(size_t ahead = 0) const {
        return pos_ + ahead < t_.size() ? t_[pos_ + ahead] : t_.back();
    }
    bool atEnd() const { return at().kind == TokenKind::End; }
    Token take();
    bool accept(const char* punct);
    bool acceptKeyword(const char* word);
    void expect(const char* punct, const char* context);
    [[noreturn]] void fail(const Token& t, const std::string& message) const;
    static std::string describe(const Token& t);
    RcReader& reader() { return reader_; }

    // Integer expressions: numbers, parentheses, unary - and ~, and | & + - * /.
    struct Number {
        uint32_t value = 0;
        bool isLong = false; // some number in it had the L suffix
    };
    bool startsNumber() const;
    Number expression() { return binary(0); }
    // An expression that must fit in 16 bits, signed or unsigned (-1 is 0xFFFF).
    uint16_t word(const char* what);
    // A style: terms joined by |, where "NOT term" clears the term's bits. Terms apply left to right
    // on `initial`, as the resource compiler of Windows applies them to a control's default style.
    uint32_t style(uint32_t initial);

    ResourceId identifier(const char* what);
    bool startsString() const { return at().kind == TokenKind::String || at().kind == TokenKind::WideString; }
    // A narrow or wide string, as UTF-8.
    std::string text(const char* what);

    bool blockStart();
    bool blockEnd();
    void expectBlockStart(const char* context);

private:
    Number binary(int level);
    Number primary();
    Number operand();

    const std::vector<Token>& t_;
    RcReader& reader_;
    size_t pos_ = 0;
    int depth_ = 0; // parentheses and unary operators open around the current operand
};

// UTF-8 to UTF-16 code units (bytes that start no valid sequence stand for themselves).
std::vector<uint16_t> Utf16(const std::string& s);

} // namespace unfold::rc
