// What a resource script declares: resources with their type, name, language and bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace unfold::rc {

// A resource type or name: an integer identifier, or an upper-case string (names are not
// case-sensitive, so they are kept as the resource compiler of Windows keeps them).
struct ResourceId {
    bool isName = false;
    uint16_t id = 0;
    std::string name;

    static ResourceId number(uint16_t v) { return {false, v, {}}; }
    static ResourceId text(const std::string& s);
    bool operator==(const ResourceId& o) const { return isName == o.isName && id == o.id && name == o.name; }
    std::string describe() const { return isName ? name : std::to_string(id); }
};

struct Resource {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
    std::string file; // where it was declared
    int line = 0;
};

struct ResourceScript {
    std::vector<Resource> resources;
};

// Standard resource types.
constexpr uint16_t kIcon = 3;
constexpr uint16_t kDialog = 5;
constexpr uint16_t kString = 6;
constexpr uint16_t kRcData = 10;
constexpr uint16_t kGroupIcon = 14;
constexpr uint16_t kVersion = 16;

} // namespace unfold::rc
