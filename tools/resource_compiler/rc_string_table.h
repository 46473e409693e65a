// STRINGTABLE statements: "STRINGTABLE [options] BEGIN id [,] "text" ... END". Strings are gathered
// over the whole script and written as RT_STRING blocks of sixteen: block n + 1 holds the strings
// 16n to 16n + 15, each a 16-bit length in UTF-16 units followed by that many units.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/resource_compiler/rc_cursor.h"
#include "tools/resource_compiler/rc_script.h"

namespace unfold::rc {

class StringTables {
public:
    // Reads the block after STRINGTABLE and its options.
    void parse(ScriptCursor& c, uint16_t language);
    // The RT_STRING resources, by language and block number.
    std::vector<Resource> resources() const;

private:
    struct Entry {
        std::string text;
        std::string file;
        int line = 0;
    };
    std::map<std::pair<uint16_t, uint16_t>, Entry> strings_; // (language, id)
};

} // namespace unfold::rc
