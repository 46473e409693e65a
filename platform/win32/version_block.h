// Reading a VS_VERSIONINFO block: nodes of { wLength, wValueLength, wType, key, padding, value,
// padding, children }, children aligned to 32 bits from the start of the block. Plain functions over
// bytes that check every length against the block, so a damaged block is refused, never overrun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct VersionNode {
    size_t offset = 0, end = 0; // the node's bytes within the block
    std::wstring key;
    bool isText = false;       // wType 1
    size_t valueOffset = 0;    // where the value starts
    size_t valueBytes = 0;     // its size in bytes (text: two bytes a unit)
    size_t valueLength = 0;    // wValueLength: units for text, bytes for binary data
    size_t childrenOffset = 0; // the first child, aligned
};

bool ReadVersionNode(const uint8_t* block, size_t size, size_t offset, size_t limit, VersionNode& node);

// The node at a path of keys separated by backslashes, compared without regard to case; "\\" (or "")
// is the root. False when there is no such node or the block is damaged on the way.
bool FindVersionNode(const uint8_t* block, size_t size, std::wstring_view path, VersionNode& node);

// Every text value of the block, in order (for converting them all at once).
std::vector<VersionNode> VersionTextValues(const uint8_t* block, size_t size);

} // namespace platform
