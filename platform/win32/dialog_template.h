// Dialog templates in the layouts CreateDialogIndirectParamW takes: DLGTEMPLATEEX (the extended
// layout the resource compiler writes for DIALOGEX) and the older DLGTEMPLATE. ParseDialogTemplate is
// a plain function over bytes that checks every field against the size it is given, so a damaged
// template is refused, never overrun; BuildDialogTemplate writes the extended layout, for dialogs
// made in code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A name-or-ordinal field (class, title, menu): an ordinal, a string, or neither (empty string).
struct DialogName {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::wstring text;
    bool operator==(const DialogName&) const = default;
};

struct DialogItemTemplate {
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0; // dialog units
    uint32_t id = 0;
    DialogName windowClass; // ordinals 0x80 to 0x85 name the predefined classes
    DialogName title;
    std::vector<uint8_t> creationData;
    bool operator==(const DialogItemTemplate&) const = default;
};

struct DialogTemplate {
    bool extended = true;
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0; // dialog units
    DialogName menu, windowClass;
    std::wstring title;
    // With DS_SETFONT: the font.
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    bool italic = false;
    uint8_t charset = 0;
    std::wstring typeface;
    std::vector<DialogItemTemplate> items;
    bool operator==(const DialogTemplate&) const = default;
};

// False when the bytes are not a whole template of either layout.
bool ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplate& dialog);

// The extended layout (DLGTEMPLATEEX); `dialog.extended` is ignored.
std::vector<uint8_t> BuildDialogTemplate(const DialogTemplate& dialog);

// The class name of a predefined control ordinal ("Button" for 0x80, ...), or null.
const wchar_t* PredefinedClassName(uint16_t ordinal);

} // namespace platform
