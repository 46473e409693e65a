// Parses the statements of a resource script:
//   LANGUAGE primary, sub                      the language of the resources that follow
//   id RCDATA [options] "file" | BEGIN ... END  raw data from a file, or from numbers (16-bit words,
//                                               32-bit with the L suffix) and strings ("narrow",
//                                               L"UTF-16"), comma-separated
//   id TYPE [options] "file" | BEGIN ... END    a user-defined type, by name or number
// where id is an integer expression (macros from #define or #include are expanded) or a name.
// Each resource type is parsed by its own handler, so new statement kinds are added in one place.
#pragma once

#include <string>
#include <vector>

#include "tools/resource_compiler/rc_reader.h"
#include "tools/resource_compiler/rc_script.h"

namespace unfold::rc {

// Throws RcError. Files named in the script are found through the reader (and recorded in its
// dependencies).
ResourceScript ParseScript(const std::vector<Token>& tokens, RcReader& reader);

} // namespace unfold::rc
