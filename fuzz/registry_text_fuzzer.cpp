// The registry's hive text reader: whatever it reads from a file must write out so that it reads back
// as the same tree, without damage.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/registry_text.h"

using platform::registry::FormatHive;
using platform::registry::Key;
using platform::registry::ParseHive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring root = L"HKEY_CURRENT_USER";
    Key first;
    first.name = root;
    ParseHive(std::string(reinterpret_cast<const char*>(data), size), root, first);
    std::string written = FormatHive(root, first);
    Key second;
    second.name = root;
    auto result = ParseHive(written, root, second);
    if (result.damaged) {
        std::fprintf(stderr, "written hive is damaged at line %zu: %s\n", result.line,
                     result.problem.c_str());
        std::abort();
    }
    if (FormatHive(root, second) != written) {
        std::fprintf(stderr, "written hive reads back as another tree\n");
        std::abort();
    }
    return 0;
}
