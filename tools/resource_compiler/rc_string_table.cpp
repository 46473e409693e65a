#include "tools/resource_compiler/rc_string_table.h"

#include "tools/resource_compiler/rc_binary.h"
#include "tools/resource_compiler/rc_error.h"

namespace unfold::rc {

void StringTables::parse(ScriptCursor& c, uint16_t language) {
    c.expectBlockStart("after STRINGTABLE");
    while (!c.blockEnd()) {
        if (c.atEnd()) c.fail(c.at(), "expected END but found end of file");
        const Token& first = c.at();
        const uint16_t id = c.word("string id");
        c.accept(",");
        std::string text = c.text("the string");
        // Adjacent literals join, as in C.
        while (c.startsString()) text += c.take().text;
        if (Utf16(text).size() > 0xFFFF) c.fail(first, "string " + std::to_string(id) + " is too long");
        auto [it, inserted] = strings_.try_emplace({language, id}, Entry{text, first.file, first.line});
        if (!inserted) c.fail(first, "string " + std::to_string(id) + " is defined twice");
    }
}

std::vector<Resource> StringTables::resources() const {
    std::vector<Resource> out;
    auto it = strings_.begin();
    while (it != strings_.end()) {
        const uint16_t language = it->first.first, block = it->first.second / 16;
        Resource r;
        r.type = ResourceId::number(kString);
        r.name = ResourceId::number(static_cast<uint16_t>(block + 1));
        r.language = language;
        r.file = it->second.file;
        r.line = it->second.line;
        ByteWriter w;
        for (uint16_t slot = 0; slot < 16; ++slot) {
            const uint16_t id = static_cast<uint16_t>(block * 16 + slot);
            auto found = strings_.find({language, id});
            if (found == strings_.end()) {
                w.word(0);
                continue;
            }
            std::vector<uint16_t> units = Utf16(found->second.text);
            w.word(static_cast<uint16_t>(units.size()));
            for (uint16_t u : units) w.word(u);
        }
        r.data = w.take();
        out.push_back(std::move(r));
        while (it != strings_.end() && it->first.first == language && it->first.second / 16 == block) ++it;
    }
    return out;
}

} // namespace unfold::rc
