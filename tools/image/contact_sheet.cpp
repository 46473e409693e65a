#include "tools/image/contact_sheet.h"

#include <algorithm>
#include <cmath>

#include "tools/image/bitmap_font.h"
#include "tools/image/image_file.h"
#include "tools/image/image_limits.h"

namespace tools::image {

int SheetGeometry::cellX(int i) const {
    return padding + (i % columns) * (cellWidth + padding);
}

int SheetGeometry::cellY(int i) const {
    return padding + (i / columns) * (cellHeight + labelGap + TextHeight(labelScale) + padding);
}

SheetGeometry LayOutSheet(size_t count, int cellWidth, int cellHeight, const SheetLayout& layout) {
    SheetGeometry g;
    int n = int(count);
    g.columns = layout.columns > 0 ? std::min(layout.columns, std::max(n, 1))
                                   : std::max(1, int(std::ceil(std::sqrt(double(n)))));
    g.rows = (n + g.columns - 1) / g.columns;
    g.cellWidth = cellWidth;
    g.cellHeight = cellHeight;
    g.padding = std::max(layout.padding, 0);
    g.labelScale = layout.labelScale > 0 ? layout.labelScale : std::clamp(cellWidth / 240, 1, 4);
    g.labelGap = 2 * g.labelScale;
    g.width = g.padding + g.columns * (cellWidth + g.padding);
    g.height = g.padding + g.rows * (cellHeight + g.labelGap + TextHeight(g.labelScale) + g.padding);
    return g;
}

Status ComposeContactSheet(const std::vector<SheetEntry>& entries, const SheetLayout& layout, Image& sheet) {
    if (entries.empty()) return Status::Error("a contact sheet needs at least one picture");
    int cellWidth = 0, cellHeight = 0;
    for (const SheetEntry& e : entries) {
        cellWidth = std::max(cellWidth, int(e.image.width()));
        cellHeight = std::max(cellHeight, int(e.image.height()));
    }
    SheetGeometry g = LayOutSheet(entries.size(), cellWidth, cellHeight, layout);
    if (!ImageSizeAllowed(uint64_t(g.width), uint64_t(g.height)))
        return Status::Error("the contact sheet would be too large (" + std::to_string(g.width) + " x " +
                             std::to_string(g.height) + ")");
    Image out(uint32_t(g.width), uint32_t(g.height), layout.background);
    for (size_t i = 0; i < entries.size(); ++i) {
        const SheetEntry& e = entries[i];
        int x = g.cellX(int(i)), y = g.cellY(int(i));
        out.blit(e.image, x + (cellWidth - int(e.image.width())) / 2, y);
        std::string label = e.label;
        if (TextWidth(label, g.labelScale) > cellWidth) {
            size_t fit = size_t(std::max(0, (cellWidth / g.labelScale + 1) / kGlyphAdvance - 2));
            label = label.substr(0, fit) + "..";
        }
        DrawText(out, x + (cellWidth - TextWidth(label, g.labelScale)) / 2, g.labelY(int(i)), label,
                 layout.labelColour, g.labelScale);
    }
    sheet = std::move(out);
    return Status::Ok();
}

Status WriteContactSheet(const std::string& path, const std::vector<SheetEntry>& entries,
                         const SheetLayout& layout) {
    Image sheet;
    if (Status s = ComposeContactSheet(entries, layout, sheet); !s)
        return Status::Error("cannot write '" + path + "': " + s.message());
    return WritePng(path, sheet);
}

} // namespace tools::image
