#include "tools/image/contact_sheet.h"

#include <set>

#include <gtest/gtest.h>

#include "tests/tools/image/temp_dir.h"
#include "tools/image/bitmap_font.h"
#include "tools/image/image_file.h"

namespace tools::image {
namespace {

std::string GlyphKey(char c) {
    std::string key;
    for (int row = 0; row < kGlyphHeight; ++row)
        for (int col = 0; col < kGlyphWidth; ++col) key += GlyphInk(c, col, row) ? '#' : '.';
    return key;
}

TEST(BitmapFont, EveryPrintableCharacterHasItsOwnGlyph) {
    std::set<std::string> seen;
    for (int c = 0x21; c <= 0x7f; ++c) {
        std::string key = GlyphKey(char(c));
        EXPECT_NE(key.find('#'), std::string::npos) << "no ink for '" << char(c) << "'";
        EXPECT_TRUE(seen.insert(key).second) << "'" << char(c) << "' looks like another glyph";
    }
    EXPECT_EQ(GlyphKey(' ').find('#'), std::string::npos);
    EXPECT_EQ(GlyphKey('\x01'), GlyphKey('?'));
    EXPECT_EQ(GlyphKey(char(0xC3)), GlyphKey('?'));
    EXPECT_FALSE(GlyphInk('A', 5, 0));
    EXPECT_FALSE(GlyphInk('A', 0, 7));
    // Upright, not mirrored: L has its stem on the left and its foot at the bottom.
    EXPECT_EQ(GlyphKey('L'), "#....#....#....#....#....#....#####");
}

TEST(BitmapFont, DrawsScaledAndClipped) {
    EXPECT_EQ(TextWidth("", 3), 0);
    EXPECT_EQ(TextWidth("AB", 2), 22);
    Image img(30, 20, {0, 0, 0, 255});
    const Rgba white{255, 255, 255, 255};
    DrawText(img, 2, 3, "T", white, 2);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            bool ink = x >= 2 && y >= 3 && GlyphInk('T', (x - 2) / 2, (y - 3) / 2);
            ASSERT_EQ(img.pixel(uint32_t(x), uint32_t(y)) == white, ink) << x << "," << y;
        }
    DrawText(img, -7, -5, "WWWWWWWWWW", white, 3); // far over every edge
    DrawText(img, 25, 15, "W", white, 4);
}

TEST(ContactSheet, LaysOutCellsWithCentredPicturesAndLabels) {
    const Rgba red{200, 0, 0, 255}, green{0, 200, 0, 255}, blue{0, 0, 200, 255};
    std::vector<SheetEntry> entries = {
        {"A", Image(40, 30, red)}, {"B", Image(20, 10, green)}, {"C", Image(40, 30, blue)}};
    SheetLayout layout;
    layout.columns = 2;
    layout.padding = 4;
    layout.labelScale = 1;
    Image sheet;
    ASSERT_TRUE(ComposeContactSheet(entries, layout, sheet).ok());
    SheetGeometry g = LayOutSheet(3, 40, 30, layout);
    EXPECT_EQ(g.columns, 2);
    EXPECT_EQ(g.rows, 2);
    ASSERT_EQ(int(sheet.width()), 4 + 2 * (40 + 4));
    ASSERT_EQ(int(sheet.height()), 4 + 2 * (30 + 2 + 7 + 4));
    ASSERT_EQ(int(sheet.width()), g.width);
    ASSERT_EQ(int(sheet.height()), g.height);

    auto at = [&](int x, int y) { return sheet.pixel(uint32_t(x), uint32_t(y)); };
    EXPECT_EQ(at(4, 4), red);
    EXPECT_EQ(at(43, 33), red);
    EXPECT_EQ(at(3, 4), layout.background);
    EXPECT_EQ(at(44, 4), layout.background);
    // The small picture is centred in its cell, top-aligned.
    EXPECT_EQ(at(g.cellX(1) + 10, 4), green);
    EXPECT_EQ(at(g.cellX(1) + 29, 13), green);
    EXPECT_EQ(at(g.cellX(1) + 9, 4), layout.background);
    EXPECT_EQ(at(g.cellX(1) + 10, 14), layout.background);
    EXPECT_EQ(at(g.cellX(2), g.cellY(2)), blue);
    EXPECT_EQ(g.cellY(2), 4 + 30 + 2 + 7 + 4);

    // Each label is its glyph, centred under its cell.
    for (int i = 0; i < 3; ++i) {
        const char c = entries[size_t(i)].label[0];
        const int left = g.cellX(i) + (40 - kGlyphWidth) / 2, top = g.labelY(i);
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int col = -1; col <= kGlyphWidth; ++col)
                EXPECT_EQ(at(left + col, top + row) == layout.labelColour, GlyphInk(c, col, row))
                    << c << col << row;
    }
}

TEST(ContactSheet, LongLabelsAreCutToTheCellAndEmptySheetsRefused) {
    std::vector<SheetEntry> entries = {{"A VERY LONG LABEL INDEED", Image(30, 10, {1, 2, 3, 255})}};
    SheetLayout layout;
    layout.padding = 5;
    layout.labelScale = 1;
    Image sheet;
    ASSERT_TRUE(ComposeContactSheet(entries, layout, sheet).ok());
    SheetGeometry g = LayOutSheet(1, 30, 10, layout);
    for (int y = g.labelY(0); y < g.labelY(0) + kGlyphHeight; ++y) {
        for (int x = 0; x < int(sheet.width()); ++x) {
            if (sheet.pixel(uint32_t(x), uint32_t(y)) == layout.labelColour) {
                EXPECT_GE(x, g.cellX(0));
                EXPECT_LT(x, g.cellX(0) + 30);
            }
        }
    }
    EXPECT_FALSE(ComposeContactSheet({}, layout, sheet).ok());

    testing::TempDir dir;
    ASSERT_TRUE(WriteContactSheet(dir.file("sheet.png"), entries, layout).ok());
    Image back;
    ASSERT_TRUE(ReadImage(dir.file("sheet.png"), back).ok());
    EXPECT_EQ(back, sheet);
    EXPECT_FALSE(WriteContactSheet(dir.file("none.png"), {}, layout).ok());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"sheet.png"});
}

} // namespace
} // namespace tools::image
