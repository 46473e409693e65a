#include "tools/resource_compiler/rc_parser.h"

#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "tools/resource_compiler/rc_cursor.h"
#include "tools/resource_compiler/rc_dialog.h"
#include "tools/resource_compiler/rc_error.h"
#include "tools/resource_compiler/rc_icon.h"
#include "tools/resource_compiler/rc_string_table.h"
#include "tools/resource_compiler/rc_version_info.h"

namespace unfold::rc {

ResourceId ResourceId::text(const std::string& s) {
    ResourceId r;
    r.isName = true;
    r.name = s;
    for (auto& c : r.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

namespace {

const char* const kMemoryOptions[] = {"PRELOAD", "LOADONCALL", "FIXED",  "MOVEABLE", "DISCARDABLE",
                                      "PURE",    "IMPURE",     "SHARED", "NONSHARED"};

// Statement kinds of the Windows resource compiler that this one does not build.
const char* const kNotSupported[] = {"ACCELERATORS", "BITMAP",  "CURSOR",  "DIALOG",           "FONT",
                                     "HTML",         "MENU",    "MENUEX",  "MESSAGETABLE",     "TEXTINCLUDE",
                                     "DESIGNINFO",   "TOOLBAR", "DLGINIT", "AFX_DIALOG_LAYOUT"};

bool isKeywordIn(const Token& t, const char* const* list, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (t.isKeyword(list[i])) return true;
    return false;
}

uint16_t languageId(ScriptCursor& c) {
    ScriptCursor::Number primary = c.expression();
    c.expect(",", "between the primary and the sub-language");
    ScriptCursor::Number sub = c.expression();
    return static_cast<uint16_t>(((sub.value & 0x3F) << 10) | (primary.value & 0x3FF));
}

// Memory options and the optional statements that may precede a resource's data.
void options(ScriptCursor& c, Resource& r) {
    while (true) {
        if (isKeywordIn(c.at(), kMemoryOptions, std::size(kMemoryOptions))) {
            c.take();
        } else if (c.acceptKeyword("LANGUAGE")) {
            r.language = languageId(c);
        } else if (c.acceptKeyword("CHARACTERISTICS") || c.acceptKeyword("VERSION")) {
            c.expression();
        } else {
            return;
        }
    }
}

class Parser {
public:
    Parser(const std::vector<Token>& t, RcReader& reader) : c_(t, reader) {
        handlers_["RCDATA"] = [this](Resource& r) {
            r.type = ResourceId::number(kRcData);
            rawData(r);
            add(std::move(r));
        };
        handlers_["DIALOGEX"] = [this](Resource& r) {
            r.type = ResourceId::number(kDialog);
            ParseDialogEx(c_, r, options);
            add(std::move(r));
        };
        handlers_["VERSIONINFO"] = [this](Resource& r) {
            r.type = ResourceId::number(kVersion);
            options(c_, r);
            ParseVersionInfo(c_, r);
            add(std::move(r));
        };
        handlers_["ICON"] = [this](Resource& r) { icon(r); };
    }

    ResourceScript run() {
        while (!c_.atEnd()) statement();
        for (Resource& r : strings_.resources()) add(std::move(r));
        return std::move(script_);
    }

private:
    void statement() {
        const Token& first = c_.at();
        if (c_.acceptKeyword("LANGUAGE")) {
            language_ = languageId(c_);
            return;
        }
        if (c_.acceptKeyword("STRINGTABLE")) {
            Resource r;
            r.language = language_;
            options(c_, r);
            strings_.parse(c_, r.language);
            return;
        }
        if (isKeywordIn(first, kNotSupported, std::size(kNotSupported)))
            c_.fail(first, first.text + " resources are not supported");
        Resource r;
        r.file = first.file;
        r.line = first.line;
        r.language = language_;
        r.name = c_.identifier("resource identifier");
        const Token& typeToken = c_.at();
        std::string upper = typeToken.text;
        for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (typeToken.kind == TokenKind::Identifier && handlers_.count(upper)) {
            c_.take();
            handlers_[upper](r);
        } else if (typeToken.kind == TokenKind::Identifier &&
                   isKeywordIn(typeToken, kNotSupported, std::size(kNotSupported))) {
            c_.fail(typeToken, typeToken.text + " resources are not supported");
        } else if (typeToken.kind == TokenKind::Identifier || typeToken.kind == TokenKind::String ||
                   c_.startsNumber()) {
            // A user-defined type: its bytes come from a file or a block, as raw data does.
            r.type = c_.identifier("resource type");
            rawData(r);
            add(std::move(r));
        } else {
            c_.fail(typeToken, "expected a resource type but found " + ScriptCursor::describe(typeToken));
        }
    }

    void add(Resource r) {
        for (const auto& other : script_.resources)
            if (other.type == r.type && other.name == r.name && other.language == r.language)
                throw RcError(r.file, r.line,
                              "resource " + r.name.describe() + " of type " + r.type.describe() +
                                  " is defined twice");
        script_.resources.push_back(std::move(r));
    }

    // The bytes of a file named by the next token, which becomes a dependency.
    std::vector<uint8_t> fileContents() {
        Token file = c_.take();
        std::string path = c_.reader().locate(file.text, file.file);
        if (path.empty()) c_.fail(file, "cannot find file '" + file.text + "'");
        std::ifstream in(path, std::ios::binary);
        if (!in) c_.fail(file, "cannot read file '" + path + "'");
        std::stringstream bytes;
        bytes << in.rdbuf();
        std::string s = bytes.str();
        c_.reader().noteDependency(path);
        return std::vector<uint8_t>(s.begin(), s.end());
    }

    void icon(Resource& r) {
        options(c_, r);
        if (c_.at().kind != TokenKind::String)
            c_.fail(c_.at(), "expected an icon file name but found " + ScriptCursor::describe(c_.at()));
        const std::string name = c_.at().text;
        std::vector<uint8_t> ico = fileContents();
        for (Resource& part : CompileIcon(ico, r, nextIconId_, name)) add(std::move(part));
    }

    void rawData(Resource& r) {
        options(c_, r);
        if (c_.at().kind == TokenKind::String) {
            r.data = fileContents();
            return;
        }
        if (!c_.blockStart())
            c_.fail(c_.at(), "expected a file name or BEGIN but found " + ScriptCursor::describe(c_.at()));
        while (!c_.blockEnd()) {
            const Token& t = c_.at();
            if (t.kind == TokenKind::End) c_.fail(t, "expected END but found end of file");
            if (t.kind == TokenKind::String) {
                std::string s = c_.take().text;
                r.data.insert(r.data.end(), s.begin(), s.end());
            } else if (t.kind == TokenKind::WideString) {
                for (uint16_t u : Utf16(c_.take().text)) {
                    r.data.push_back(static_cast<uint8_t>(u & 0xFF));
                    r.data.push_back(static_cast<uint8_t>(u >> 8));
                }
            } else if (c_.startsNumber()) {
                ScriptCursor::Number n = c_.expression();
                int bytes = n.isLong ? 4 : 2;
                if (!n.isLong && n.value > 0xFFFF && n.value < 0xFFFF8000u)
                    c_.fail(t, "number " + std::to_string(n.value) + " does not fit in a 16-bit word; add L");
                for (int i = 0; i < bytes; ++i) r.data.push_back(static_cast<uint8_t>(n.value >> (8 * i)));
            } else {
                c_.fail(t, "unexpected " + ScriptCursor::describe(t) + " in raw data");
            }
            c_.accept(",");
        }
    }

    ScriptCursor c_;
    uint16_t language_ = 0;
    uint16_t nextIconId_ = 1;
    StringTables strings_;
    ResourceScript script_;
    std::map<std::string, std::function<void(Resource&)>> handlers_;
};

} // namespace

ResourceScript ParseScript(const std::vector<Token>& tokens, RcReader& reader) {
    return Parser(tokens, reader).run();
}

} // namespace unfold::rc
