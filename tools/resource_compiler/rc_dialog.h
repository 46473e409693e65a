// DIALOGEX statements, compiled into the DLGTEMPLATEEX layout that CreateDialogIndirectParamW reads:
//
//   id DIALOGEX [options] x, y, cx, cy [, helpID]
//   [STYLE style] [EXSTYLE style] [CAPTION "text"] [FONT size, "face" [, weight [, italic [, charset]]]]
//   [CLASS name] [MENU name] [LANGUAGE primary, sub] [CHARACTERISTICS n] [VERSION n]
//   BEGIN
//     LTEXT|RTEXT|CTEXT|PUSHBUTTON|DEFPUSHBUTTON|CHECKBOX|AUTOCHECKBOX|RADIOBUTTON|AUTORADIOBUTTON|
//       GROUPBOX|STATE3|AUTO3STATE|PUSHBOX  "text", id, x, y, cx, cy [, style [, exstyle [, helpID]]]
//     EDITTEXT|COMBOBOX|LISTBOX|SCROLLBAR     id, x, y, cx, cy [, style [, exstyle [, helpID]]]
//     ICON text, id, x, y [, cx, cy [, style [, exstyle [, helpID]]]]
//     CONTROL text, id, class, style, x, y, cx, cy [, exstyle [, helpID]]
//   END
//
// Styles are expressions with | and NOT, applied to each kind's default style plus WS_CHILD |
// WS_VISIBLE, as Windows' resource compiler applies them.
#pragma once

#include "tools/resource_compiler/rc_cursor.h"
#include "tools/resource_compiler/rc_script.h"

namespace unfold::rc {

// Parses what follows the DIALOGEX keyword into r.data; the memory options and LANGUAGE statements
// are handled by `options`.
void ParseDialogEx(ScriptCursor& c, Resource& r, void (*options)(ScriptCursor&, Resource&));

} // namespace unfold::rc
