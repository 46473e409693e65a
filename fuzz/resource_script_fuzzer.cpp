// The resource compiler's script reader and parser. Scripts run in an empty folder of their own, and
// scripts naming a path with a slash are skipped, so a script cannot reach files outside it. Nothing is
// written there; the folder is removed when the run ends.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "tools/resource_compiler/rc_error.h"
#include "tools/resource_compiler/rc_parser.h"
#include "tools/resource_compiler/rc_reader.h"

namespace {

std::string g_folder;

void removeFolder() {
    if (chdir("/") == 0) rmdir(g_folder.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_folder = (std::filesystem::temp_directory_path() / "rc-fuzz-XXXXXX").string();
    if (!mkdtemp(g_folder.data()) || chdir(g_folder.c_str()) != 0) std::abort();
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos) return 0;
    try {
        unfold::rc::RcReader reader({});
        auto tokens = reader.readText(text, "fuzz.rc");
        unfold::rc::ParseScript(tokens, reader);
    } catch (const unfold::rc::RcError&) {}
    return 0;
}
