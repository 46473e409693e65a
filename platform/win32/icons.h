// Icons of this platform: a picture held behind an HICON, made from the icon resources of a module
// (RT_GROUP_ICON directories over RT_ICON images) or from an .ico file. Images are DIBs of 1, 4, 8,
// 24 or 32 bits with their AND mask; PNG-compressed images are refused.
#pragma once

#include <cstdint>
#include <vector>

#include <windows.h>

namespace platform {

// Rows top to bottom, four bytes a pixel: red, green, blue, alpha (not premultiplied).
struct IconPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

// False for a handle that is not a live icon.
bool GetIconPicture(HICON icon, IconPicture& picture);

// Icons alive now that are not shared, for leak checks.
size_t LiveIconCount();

} // namespace platform
