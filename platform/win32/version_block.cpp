#include "platform/win32/version_block.h"

#include <cwctype>

#include "platform/win32/utf16.h"

namespace platform {
namespace {

size_t align4(size_t v) {
    return (v + 3) & ~size_t(3);
}

bool sameKey(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
}

void collectText(const uint8_t* block, size_t size, const VersionNode& node, std::vector<VersionNode>& out,
                 int depth) {
    if (depth > 16) return;
    if (node.isText && node.valueBytes > 0) out.push_back(node);
    for (size_t at = node.childrenOffset; at < node.end;) {
        VersionNode child;
        if (!ReadVersionNode(block, size, at, node.end, child)) return;
        collectText(block, size, child, out, depth + 1);
        at = align4(child.end);
    }
}

} // namespace

bool ReadVersionNode(const uint8_t* block, size_t size, size_t offset, size_t limit, VersionNode& node) {
    if (limit > size || offset + 6 > limit) return false;
    const size_t length = ReadUnit(block + offset);
    const size_t valueLength = ReadUnit(block + offset + 2);
    const uint16_t type = ReadUnit(block + offset + 4);
    if (length < 6 || length > limit - offset || type > 1) return false;
    node = VersionNode{};
    node.offset = offset;
    node.end = offset + length;
    node.isText = type == 1;
    size_t at = offset + 6;
    size_t units = 0;
    while (true) {
        if (at + 2 * (units + 1) > node.end) return false;
        if (ReadUnit(block + at + 2 * units) == 0) break;
        ++units;
    }
    node.key = FromUtf16(block + at, units);
    node.valueOffset = align4(at + 2 * (units + 1));
    node.valueLength = valueLength;
    node.valueBytes = node.isText ? 2 * valueLength : valueLength;
    if (node.valueBytes > 0 && node.valueOffset + node.valueBytes > node.end) {
        // A text value may count its terminating zero beyond the node's stated end; keep what fits.
        if (node.valueOffset > node.end) return false;
        node.valueBytes = (node.end - node.valueOffset) & ~size_t(node.isText ? 1 : 0);
        node.valueLength = node.isText ? node.valueBytes / 2 : node.valueBytes;
    }
    node.childrenOffset = std::min(align4(node.valueOffset + node.valueBytes), node.end);
    return true;
}

bool FindVersionNode(const uint8_t* block, size_t size, std::wstring_view path, VersionNode& node) {
    if (!ReadVersionNode(block, size, 0, size, node)) return false;
    size_t pos = 0;
    while (pos < path.size()) {
        if (path[pos] == L'\\') {
            ++pos;
            continue;
        }
        const size_t next = std::min(path.find(L'\\', pos), path.size());
        const std::wstring_view key = path.substr(pos, next - pos);
        pos = next;
        bool found = false;
        for (size_t at = node.childrenOffset; at < node.end;) {
            VersionNode child;
            if (!ReadVersionNode(block, size, at, node.end, child)) return false;
            if (sameKey(child.key, key)) {
                node = child;
                found = true;
                break;
            }
            at = align4(child.end);
        }
        if (!found) return false;
    }
    return true;
}

std::vector<VersionNode> VersionTextValues(const uint8_t* block, size_t size) {
    std::vector<VersionNode> out;
    VersionNode root;
    if (ReadVersionNode(block, size, 0, size, root)) collectText(block, size, root, out, 0);
    return out;
}

} // namespace platform
