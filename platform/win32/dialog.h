// What the dialog manager offers the rest of the platform.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

namespace platform {

// CreateDialogIndirectParamW over a template of known size (a resource's).
HWND CreateDialogFromBytes(HINSTANCE instance, const uint8_t* bytes, size_t size, HWND parent, DLGPROC proc,
                           LPARAM param);

// The dialog base units of a dialog (pixels for 4 horizontal and 8 vertical dialog units). False for a
// window that is not a dialog.
bool GetDialogUnits(HWND dialog, LONG& unitX, LONG& unitY);

} // namespace platform
