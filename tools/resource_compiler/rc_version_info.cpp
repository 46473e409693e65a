#include "tools/resource_compiler/rc_version_info.h"

#include "platform/include/verrsrc.h"
#include "tools/resource_compiler/rc_binary.h"

namespace unfold::rc {
namespace {

// Writes one node; `body` writes its value and children after the key.
template <class Body>
void node(ScriptCursor& c, const Token& at, ByteWriter& w, const std::string& key, uint16_t valueLength,
          uint16_t type, Body body) {
    const size_t start = w.size();
    w.word(0); // wLength, patched below
    w.word(valueLength);
    w.word(type);
    w.text(key);
    w.align4();
    body();
    const size_t length = w.size() - start;
    if (length > 0xFFFF) c.fail(at, "version block '" + key + "' is larger than 64 KB");
    w.patchWord(start, static_cast<uint16_t>(length));
}

void value(ScriptCursor& c, ByteWriter& w) {
    const Token at = c.at();
    const std::string key = c.text("the value's name");
    ByteWriter v;
    bool isText = false;
    size_t units = 0;
    while (c.accept(",")) {
        if (c.startsString()) {
            // Adjacent literals join, as in C.
            std::string s = c.take().text;
            while (c.startsString()) s += c.take().text;
            const std::vector<uint16_t> text = Utf16(s);
            for (uint16_t u : text) v.word(u);
            units += text.size();
            isText = true;
        } else {
            ScriptCursor::Number n = c.expression();
            if (n.isLong) {
                v.dword(n.value);
                units += 2;
            } else {
                v.word(static_cast<uint16_t>(n.value));
                units += 1;
            }
        }
    }
    if (isText) {
        v.word(0);
        ++units;
    }
    const std::vector<uint8_t> bytes = v.take();
    const size_t valueLength = isText ? units : bytes.size();
    if (valueLength > 0xFFFF) c.fail(at, "value '" + key + "' is too long");
    w.align4();
    node(c, at, w, key, static_cast<uint16_t>(valueLength), isText ? 1 : 0, [&] { w.bytes(bytes); });
}

// Blocks nest by recursion; deeper than this is refused rather than allowed to run the stack out.
constexpr int kMaxBlockNesting = 32;

void block(ScriptCursor& c, ByteWriter& w, int depth) {
    const Token at = c.at();
    if (depth > kMaxBlockNesting) c.fail(at, "BLOCK nests too deeply");
    const std::string key = c.text("the block's name");
    w.align4();
    node(c, at, w, key, 0, 1, [&] {
        c.expectBlockStart("after the block's name");
        while (!c.blockEnd()) {
            if (c.atEnd()) c.fail(c.at(), "expected END but found end of file");
            if (c.acceptKeyword("BLOCK")) {
                block(c, w, depth + 1);
            } else if (c.acceptKeyword("VALUE")) {
                value(c, w);
            } else {
                c.fail(c.at(), "expected BLOCK, VALUE or END but found " + ScriptCursor::describe(c.at()));
            }
        }
    });
}

} // namespace

void ParseVersionInfo(ScriptCursor& c, Resource& r) {
    uint32_t fixed[13] = {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION};
    auto version = [&](int at) {
        uint16_t part[4] = {};
        for (int i = 0; i < 4; ++i) {
            if (i > 0 && !c.accept(",")) break;
            part[i] = c.word("version number");
        }
        fixed[at] = (uint32_t(part[0]) << 16) | part[1];
        fixed[at + 1] = (uint32_t(part[2]) << 16) | part[3];
    };
    while (!c.blockStart()) {
        const Token& t = c.at();
        if (c.acceptKeyword("FILEVERSION")) {
            version(2);
        } else if (c.acceptKeyword("PRODUCTVERSION")) {
            version(4);
        } else if (c.acceptKeyword("FILEFLAGSMASK")) {
            fixed[6] = c.expression().value;
        } else if (c.acceptKeyword("FILEFLAGS")) {
            fixed[7] = c.expression().value;
        } else if (c.acceptKeyword("FILEOS")) {
            fixed[8] = c.expression().value;
        } else if (c.acceptKeyword("FILETYPE")) {
            fixed[9] = c.expression().value;
        } else if (c.acceptKeyword("FILESUBTYPE")) {
            fixed[10] = c.expression().value;
        } else {
            c.fail(t, "expected BEGIN or a version statement but found " + ScriptCursor::describe(t));
        }
    }
    ByteWriter w;
    const Token at = c.at();
    node(c, at, w, "VS_VERSION_INFO", sizeof fixed, 0, [&] {
        for (uint32_t v : fixed) w.dword(v);
        while (!c.blockEnd()) {
            if (c.atEnd()) c.fail(c.at(), "expected END but found end of file");
            if (!c.acceptKeyword("BLOCK"))
                c.fail(c.at(), "expected BLOCK or END but found " + ScriptCursor::describe(c.at()));
            block(c, w, 1);
        }
    });
    r.data = w.take();
}

} // namespace unfold::rc
