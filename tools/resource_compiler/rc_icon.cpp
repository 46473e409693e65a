#include "tools/resource_compiler/rc_icon.h"

#include "tools/resource_compiler/rc_binary.h"
#include "tools/resource_compiler/rc_error.h"

namespace unfold::rc {
namespace {

uint16_t readWord(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t readDword(const std::vector<uint8_t>& b, size_t at) {
    return readWord(b, at) | (static_cast<uint32_t>(readWord(b, at + 2)) << 16);
}

} // namespace

std::vector<Resource> CompileIcon(const std::vector<uint8_t>& ico, const Resource& group,
                                  uint16_t& nextIconId, const std::string& fileName) {
    auto fail = [&](const std::string& message) -> void {
        throw RcError(group.file, group.line, "'" + fileName + "' " + message);
    };
    if (ico.size() < 6 || readWord(ico, 0) != 0 || readWord(ico, 2) != 1) fail("is not an icon file");
    const uint16_t count = readWord(ico, 4);
    if (count == 0) fail("holds no images");
    if (ico.size() < 6 + size_t(count) * 16) fail("is cut short in its directory");
    if (size_t(nextIconId) + count > 0xFFFF) fail("needs more icon numbers than there are");

    std::vector<Resource> out;
    ByteWriter dir;
    dir.word(0);
    dir.word(1); // icons, not cursors
    dir.word(count);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t e = 6 + size_t(i) * 16;
        const uint32_t bytes = readDword(ico, e + 8), offset = readDword(ico, e + 12);
        if (offset > ico.size() || bytes > ico.size() - offset || bytes < 8)
            fail("has image " + std::to_string(i) + " outside the file");
        uint16_t planes = readWord(ico, e + 4), bitCount = readWord(ico, e + 6);
        // Directories often leave these 0; a DIB image (BITMAPINFOHEADER, 40 bytes) states them.
        if ((planes == 0 || bitCount == 0) && bytes >= 40 && readDword(ico, offset) == 40) {
            planes = readWord(ico, offset + 12);
            bitCount = readWord(ico, offset + 14);
        }
        Resource image;
        image.type = ResourceId::number(kIcon);
        image.name = ResourceId::number(nextIconId);
        image.language = group.language;
        image.file = group.file;
        image.line = group.line;
        image.data.assign(ico.begin() + offset, ico.begin() + offset + bytes);
        out.push_back(std::move(image));

        for (size_t b = 0; b < 4; ++b) dir.byte(ico[e + b]); // width, height, colours, reserved
        dir.word(planes);
        dir.word(bitCount);
        dir.dword(bytes);
        dir.word(nextIconId++);
    }
    Resource directory = group;
    directory.type = ResourceId::number(kGroupIcon);
    directory.data = dir.take();
    out.push_back(std::move(directory));
    return out;
}

} // namespace unfold::rc
