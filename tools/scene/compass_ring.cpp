#include "tools/scene/compass_ring.h"

#include <cmath>

#include "tools/image/bitmap_font.h"

namespace tools::scene::compass {
namespace {

bool InLabel(const Direction& d, Rgba& colour) {
    if (d.elevation < kPlateBottom || d.elevation > kPlateTop) return false;
    const int nearest = int(std::lround(d.azimuth / 30.0)) % 12 * 30;
    const std::string text = LabelText(nearest);
    const double cell = (kLabelTop - kLabelBottom) / image::kGlyphHeight; // degrees per font pixel
    const double columns = double(text.size()) * image::kGlyphAdvance - 1;
    const double offset = AzimuthDifference(d.azimuth, nearest); // degrees right of the label's centre
    if (std::abs(offset) > columns * cell / 2 + kPlateMargin) return false;
    colour = kBandColour;
    const double u = offset / cell + columns / 2, v = (kLabelTop - d.elevation) / cell;
    if (u < 0 || v < 0) return true;
    const int column = int(u), row = int(v);
    const size_t index = size_t(column / image::kGlyphAdvance);
    if (index < text.size() && image::GlyphInk(text[index], column % image::kGlyphAdvance, row))
        colour = nearest == 0 ? kNorthLabelColour : kLabelColour;
    return true;
}

} // namespace

std::string LabelText(int degrees) {
    switch (degrees) {
    case 0:
        return "N";
    case 90:
        return "E";
    case 180:
        return "S";
    case 270:
        return "W";
    default:
        return std::to_string(degrees) + image::kDegreeSign;
    }
}

std::optional<Rgba> CompassColour(const Direction& d) {
    const double e = std::abs(d.elevation);
    if (e > kPlateTop) return std::nullopt;
    Rgba label;
    if (InLabel(d, label)) return label;
    if (e > kMajorTickReach) return std::nullopt;
    const double nearestTick = std::round(d.azimuth / 10.0) * 10.0;
    if (std::abs(AzimuthDifference(d.azimuth, nearestTick)) <= kTickHalfWidth) {
        const bool major = int(std::lround(nearestTick)) % 30 == 0;
        if (e <= (major ? kMajorTickReach : kMinorTickReach)) return kTickColour;
    }
    if (e <= kBandHalfHeight) return kBandColour;
    return std::nullopt;
}

} // namespace tools::scene::compass
