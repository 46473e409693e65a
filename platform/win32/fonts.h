// Fonts and bitmaps behind HFONT and HBITMAP.
//
// Without a rasteriser, text is measured by a fixed model of the dialog font: for a font whose
// characters are h pixels high (h = |lfHeight|, or a cell height / 1.2 when lfHeight is positive),
// the cell height is round(1.2 h) and the average character width round(0.55 h). "MS Shell Dlg" 8
// (h = 11 at 96 dots per inch) so measures 6 x 13, the dialog base units Windows gives that font.
#pragma once

#include <windows.h>

namespace platform {

struct FontMetrics {
    LONG height = 0;       // cell height, pixels
    LONG aveCharWidth = 0; // pixels
};

bool GetFontMetrics(HFONT font, FontMetrics& metrics);
FontMetrics ModelFontMetrics(const LOGFONTW& font);

// Objects alive now, for leak checks.
size_t LiveGdiObjectCount();

} // namespace platform
