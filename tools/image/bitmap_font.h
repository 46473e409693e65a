// A tiny built-in 5 x 7 pixel font for labels on pictures: printable ASCII plus a degree sign.
#pragma once

#include <string_view>

#include "tools/image/image.h"

namespace tools::image {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = 6; // one blank column between letters
constexpr char kDegreeSign = '\x7f';

// True where the glyph of `c` has ink; column 0 to 4 left to right, row 0 to 6 top to bottom.
// Characters without a glyph draw as '?'; positions outside the cell have no ink.
bool GlyphInk(char c, int column, int row);

// Width and height in pixels of a line of text drawn with each font pixel a scale x scale square.
int TextWidth(std::string_view text, int scale);
inline int TextHeight(int scale) {
    return kGlyphHeight * scale;
}

// Draws one line with its top-left corner at (x, y), clipped to the picture.
void DrawText(Image& image, int x, int y, std::string_view text, Rgba colour, int scale);

} // namespace tools::image
