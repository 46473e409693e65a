// A contact sheet: several labelled pictures in a grid, for looking at many results side by side.
//
// Cells are as large as the largest picture; each picture sits centred at the top of its cell with
// its label centred underneath in the built-in font (cut short with ".." when it does not fit).
// Cells fill the grid row by row.
#pragma once

#include <string>
#include <vector>

#include "tools/image/image.h"
#include "tools/image/status.h"

namespace tools::image {

struct SheetEntry {
    std::string label;
    Image image;
};

struct SheetLayout {
    int columns = 0;    // 0: ceil(sqrt(count)), a grid about as wide as it is tall
    int padding = 16;   // pixels around the sheet and between cells
    int labelScale = 0; // font pixel size; 0 chooses one from the cell width
    Rgba background{28, 28, 30, 255};
    Rgba labelColour{236, 236, 236, 255};
};

// The geometry a layout gives for a count of entries and a cell size.
struct SheetGeometry {
    int columns = 0, rows = 0;
    int cellWidth = 0, cellHeight = 0; // picture area of one cell
    int labelScale = 1;
    int labelGap = 0; // between the picture area and its label
    int padding = 0;
    int width = 0, height = 0; // of the whole sheet
    // Top-left corner of the picture area of cell i.
    int cellX(int i) const;
    int cellY(int i) const;
    int labelY(int i) const { return cellY(i) + cellHeight + labelGap; }
};

SheetGeometry LayOutSheet(size_t count, int cellWidth, int cellHeight, const SheetLayout& layout);
Status ComposeContactSheet(const std::vector<SheetEntry>& entries, const SheetLayout& layout, Image& sheet);
// Composes and writes a PNG.
Status WriteContactSheet(const std::string& path, const std::vector<SheetEntry>& entries,
                         const SheetLayout& layout = {});

} // namespace tools::image
