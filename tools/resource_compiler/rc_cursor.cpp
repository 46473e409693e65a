#include "tools/resource_compiler/rc_cursor.h"

#include "tools/resource_compiler/rc_error.h"
#include "tools/resource_compiler/rc_text.h"

namespace unfold::rc {

std::vector<uint16_t> Utf16(const std::string& s) {
    std::vector<uint16_t> out;
    for (char32_t cp : DecodeUtf8(s)) {
        uint32_t c = cp;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<uint16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<uint16_t>(c));
        }
    }
    return out;
}

Token ScriptCursor::take() {
    Token t = at();
    if (pos_ + 1 < t_.size()) ++pos_;
    return t;
}

bool ScriptCursor::accept(const char* punct) {
    if (!at().is(punct)) return false;
    take();
    return true;
}

bool ScriptCursor::acceptKeyword(const char* word) {
    if (!at().isKeyword(word)) return false;
    take();
    return true;
}

void ScriptCursor::expect(const char* punct, const char* context) {
    if (!accept(punct))
        fail(at(), std::string("expected '") + punct + "' " + context + " but found " + describe(at()));
}

void ScriptCursor::fail(const Token& t, const std::string& message) const {
    throw RcError(t.file, t.line, message);
}

std::string ScriptCursor::describe(const Token& t) {
    return t.kind == TokenKind::End ? "end of file" : "'" + t.text + "'";
}

bool ScriptCursor::startsNumber() const {
    return at().kind == TokenKind::Number || at().is("(") || at().is("-") || at().is("~");
}

ScriptCursor::Number ScriptCursor::binary(int level) {
    static const std::vector<std::vector<const char*>> levels = {{"|"}, {"&"}, {"+", "-"}, {"*", "/"}};
    if (level == static_cast<int>(levels.size())) return primary();
    Number left = binary(level + 1);
    while (true) {
        const char* found = nullptr;
        for (const char* op : levels[level])
            if (at().is(op)) found = op;
        if (!found) return left;
        Token opToken = take();
        Number right = binary(level + 1);
        const std::string op = found;
        left.isLong = left.isLong || right.isLong;
        if (op == "|") {
            left.value |= right.value;
        } else if (op == "&") {
            left.value &= right.value;
        } else if (op == "+") {
            left.value += right.value;
        } else if (op == "-") {
            left.value -= right.value;
        } else if (op == "*") {
            left.value *= right.value;
        } else {
            if (right.value == 0) fail(opToken, "division by zero");
            left.value /= right.value;
        }
    }
}

// Parentheses and unary operators nest by recursion; an expression nested deeper than this is refused
// rather than allowed to run the stack out.
constexpr int kMaxNesting = 64;

ScriptCursor::Number ScriptCursor::primary() {
    if (++depth_ > kMaxNesting) fail(at(), "expression nests too deeply");
    const Number n = operand();
    --depth_;
    return n;
}

ScriptCursor::Number ScriptCursor::operand() {
    if (accept("-")) {
        Number n = primary();
        n.value = 0u - n.value;
        return n;
    }
    if (accept("~")) {
        Number n = primary();
        n.value = ~n.value;
        return n;
    }
    if (accept("(")) {
        Number n = expression();
        expect(")", "to close the parenthesis");
        return n;
    }
    if (at().kind != TokenKind::Number) fail(at(), "expected a number but found " + describe(at()));
    Token t = take();
    return {t.value, t.isLong};
}

uint16_t ScriptCursor::word(const char* what) {
    const Token& first = at();
    Number n = expression();
    if (n.value > 0xFFFF && n.value < 0xFFFF8000u)
        fail(first, std::string(what) + " " + std::to_string(n.value) + " does not fit in 16 bits");
    return static_cast<uint16_t>(n.value);
}

uint32_t ScriptCursor::style(uint32_t initial) {
    uint32_t value = initial;
    do {
        bool clear = acceptKeyword("NOT");
        // One term: an expression without a top-level |, so that "A | NOT B" splits at the bar.
        Number n = binary(1);
        value = clear ? value & ~n.value : value | n.value;
    } while (accept("|"));
    return value;
}

ResourceId ScriptCursor::identifier(const char* what) {
    const Token& t = at();
    if (startsNumber()) {
        Number n = expression();
        if (n.value > 0xFFFF)
            fail(t, std::string(what) + " " + std::to_string(n.value) + " does not fit in 16 bits");
        return ResourceId::number(static_cast<uint16_t>(n.value));
    }
    if (t.kind == TokenKind::Identifier || t.kind == TokenKind::String) return ResourceId::text(take().text);
    fail(t, std::string("expected a ") + what + " but found " + describe(t));
}

std::string ScriptCursor::text(const char* what) {
    if (!startsString()) fail(at(), std::string("expected ") + what + " but found " + describe(at()));
    return take().text;
}

bool ScriptCursor::blockStart() {
    return accept("{") || acceptKeyword("BEGIN");
}

bool ScriptCursor::blockEnd() {
    return accept("}") || acceptKeyword("END");
}

void ScriptCursor::expectBlockStart(const char* context) {
    if (!blockStart()) fail(at(), std::string("expected BEGIN ") + context + " but found " + describe(at()));
}

} // namespace unfold::rc
