#include "tools/resource_compiler/rc_parser.h"

#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <strings.h>

#include "tools/resource_compiler/rc_error.h"
#include "tools/resource_compiler/rc_text.h"

namespace unfold::rc {

ResourceId ResourceId::text(const std::string& s) {
    ResourceId r;
    r.isName = true;
    r.name = s;
    for (auto& c : r.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

namespace {

// Decodes UTF-8 into UTF-16 code units (invalid bytes pass through as themselves).
std::vector<uint16_t> utf16(const std::string& s) {
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

const char* const kMemoryOptions[] = {"PRELOAD", "LOADONCALL", "FIXED",  "MOVEABLE", "DISCARDABLE",
                                      "PURE",    "IMPURE",     "SHARED", "NONSHARED"};

// Statement kinds of the Windows resource compiler that this one does not build yet.
const char* const kNotYetSupported[] = {
    "ACCELERATORS", "BITMAP",      "CURSOR",     "DIALOG",  "DIALOGEX",     "FONT",
    "HTML",         "ICON",        "MENU",       "MENUEX",  "MESSAGETABLE", "STRINGTABLE",
    "VERSIONINFO",  "TEXTINCLUDE", "DESIGNINFO", "TOOLBAR", "DLGINIT",      "AFX_DIALOG_LAYOUT"};

class Parser {
public:
    Parser(const std::vector<Token>& t, RcReader& reader) : t_(t), reader_(reader) {
        handlers_["RCDATA"] = [this](Resource& r) {
            r.type = ResourceId::number(kRcData);
            rawData(r);
        };
    }

    ResourceScript run() {
        while (at().kind != TokenKind::End) statement();
        return std::move(script_);
    }

private:
    const Token& at(size_t ahead = 0) const {
        return pos_ + ahead < t_.size() ? t_[pos_ + ahead] : t_.back();
    }
    Token take() {
        Token t = at();
        if (pos_ + 1 < t_.size()) ++pos_;
        return t;
    }
    [[noreturn]] void fail(const Token& t, const std::string& message) const {
        throw RcError(t.file, t.line, message);
    }
    std::string describe(const Token& t) const {
        return t.kind == TokenKind::End ? "end of file" : "'" + t.text + "'";
    }
    bool accept(const char* p) {
        if (!at().is(p)) return false;
        take();
        return true;
    }

    // Integer expressions: numbers, parentheses, unary - and ~, and | & + - * /.
    struct Number {
        uint32_t value;
        bool isLong;
    };
    bool startsNumber() const {
        return at().kind == TokenKind::Number || at().is("(") || at().is("-") || at().is("~");
    }
    Number expression(int level = 0) {
        static const std::vector<std::vector<const char*>> levels = {{"|"}, {"&"}, {"+", "-"}, {"*", "/"}};
        if (level == static_cast<int>(levels.size())) return primary();
        Number left = expression(level + 1);
        while (true) {
            const char* found = nullptr;
            for (const char* op : levels[level])
                if (at().is(op)) found = op;
            if (!found) return left;
            Token opToken = take();
            Number right = expression(level + 1);
            std::string op = found;
            left.isLong = left.isLong || right.isLong;
            if (op == "|")
                left.value |= right.value;
            else if (op == "&")
                left.value &= right.value;
            else if (op == "+")
                left.value += right.value;
            else if (op == "-")
                left.value -= right.value;
            else if (op == "*")
                left.value *= right.value;
            else {
                if (right.value == 0) fail(opToken, "division by zero");
                left.value /= right.value;
            }
        }
    }
    Number primary() {
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
            if (!accept(")")) fail(at(), "expected ')' but found " + describe(at()));
            return n;
        }
        if (at().kind != TokenKind::Number) fail(at(), "expected a number but found " + describe(at()));
        Token t = take();
        return {t.value, t.isLong};
    }

    ResourceId identifier(const char* what) {
        const Token& t = at();
        if (startsNumber()) {
            Number n = expression();
            if (n.value > 0xFFFF)
                fail(t, std::string(what) + " " + std::to_string(n.value) + " does not fit in 16 bits");
            return ResourceId::number(static_cast<uint16_t>(n.value));
        }
        if (t.kind == TokenKind::Identifier || t.kind == TokenKind::String)
            return ResourceId::text(take().text);
        fail(t, std::string("expected a ") + what + " but found " + describe(t));
    }

    bool isKeywordIn(const Token& t, const char* const* list, size_t n) const {
        for (size_t i = 0; i < n; ++i)
            if (t.isKeyword(list[i])) return true;
        return false;
    }

    void statement() {
        const Token& first = at();
        if (first.isKeyword("LANGUAGE")) {
            take();
            language_ = languageId();
            return;
        }
        if (isKeywordIn(first, kNotYetSupported, std::size(kNotYetSupported)))
            fail(first, first.text + " resources are not supported yet");
        Resource r;
        r.file = first.file;
        r.line = first.line;
        r.language = language_;
        r.name = identifier("resource identifier");
        const Token& typeToken = at();
        std::string upper = typeToken.text;
        for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (typeToken.kind == TokenKind::Identifier && handlers_.count(upper)) {
            take();
            handlers_[upper](r);
        } else if (typeToken.kind == TokenKind::Identifier &&
                   isKeywordIn(typeToken, kNotYetSupported, std::size(kNotYetSupported))) {
            fail(typeToken, typeToken.text + " resources are not supported yet");
        } else if (typeToken.kind == TokenKind::Identifier || typeToken.kind == TokenKind::String ||
                   startsNumber()) {
            // A user-defined type: its bytes come from a file or a block, as raw data does.
            r.type = identifier("resource type");
            rawData(r);
        } else {
            fail(typeToken, "expected a resource type but found " + describe(typeToken));
        }
        for (const auto& other : script_.resources)
            if (other.type == r.type && other.name == r.name && other.language == r.language)
                throw RcError(r.file, r.line,
                              "resource " + r.name.describe() + " of type " + r.type.describe() +
                                  " is defined twice");
        script_.resources.push_back(std::move(r));
    }

    uint16_t languageId() {
        Number primary = expression();
        if (!accept(",")) fail(at(), "LANGUAGE needs a primary and a sub-language");
        Number sub = expression();
        return static_cast<uint16_t>(((sub.value & 0x3F) << 10) | (primary.value & 0x3FF));
    }

    // Memory options and the optional statements that may precede a resource's data.
    void options(Resource& r) {
        while (true) {
            if (isKeywordIn(at(), kMemoryOptions, std::size(kMemoryOptions))) {
                take();
            } else if (at().isKeyword("LANGUAGE")) {
                take();
                r.language = languageId();
            } else if (at().isKeyword("CHARACTERISTICS") || at().isKeyword("VERSION")) {
                take();
                expression();
            } else {
                return;
            }
        }
    }

    bool blockStart() { return accept("{") || (at().isKeyword("BEGIN") && (take(), true)); }
    bool blockEnd() { return accept("}") || (at().isKeyword("END") && (take(), true)); }

    void rawData(Resource& r) {
        options(r);
        if (at().kind == TokenKind::String) {
            Token file = take();
            std::string path = reader_.locate(file.text, file.file);
            if (path.empty()) fail(file, "cannot find file '" + file.text + "'");
            std::ifstream in(path, std::ios::binary);
            if (!in) fail(file, "cannot read file '" + path + "'");
            std::stringstream bytes;
            bytes << in.rdbuf();
            std::string s = bytes.str();
            r.data.assign(s.begin(), s.end());
            reader_.noteDependency(path);
            return;
        }
        if (!blockStart()) fail(at(), "expected a file name or BEGIN but found " + describe(at()));
        while (!blockEnd()) {
            const Token& t = at();
            if (t.kind == TokenKind::End) fail(t, "expected END but found end of file");
            if (t.kind == TokenKind::String) {
                std::string s = take().text;
                r.data.insert(r.data.end(), s.begin(), s.end());
            } else if (t.kind == TokenKind::WideString) {
                for (uint16_t u : utf16(take().text)) {
                    r.data.push_back(static_cast<uint8_t>(u & 0xFF));
                    r.data.push_back(static_cast<uint8_t>(u >> 8));
                }
            } else if (startsNumber()) {
                Number n = expression();
                int bytes = n.isLong ? 4 : 2;
                if (!n.isLong && n.value > 0xFFFF && n.value < 0xFFFF8000u)
                    fail(t, "number " + std::to_string(n.value) + " does not fit in a 16-bit word; add L");
                for (int i = 0; i < bytes; ++i) r.data.push_back(static_cast<uint8_t>(n.value >> (8 * i)));
            } else {
                fail(t, "unexpected " + describe(t) + " in raw data");
            }
            accept(",");
        }
    }

    const std::vector<Token>& t_;
    RcReader& reader_;
    size_t pos_ = 0;
    uint16_t language_ = 0;
    ResourceScript script_;
    std::map<std::string, std::function<void(Resource&)>> handlers_;
};

} // namespace

ResourceScript ParseScript(const std::vector<Token>& tokens, RcReader& reader) {
    return Parser(tokens, reader).run();
}

} // namespace unfold::rc
