#include "tools/unfold/unfold_options.h"

#include <cstdio>

namespace tools::unfold {
namespace {

// One side of "WIDTHxHEIGHT" starting at text[at]: digits only, up to the 'x' or the end, 16 to 4096.
// Digits are counted before they are converted, so no value wraps round.
bool parseSide(const std::string& text, size_t at, unsigned& side) {
    if (at == 0 && text.find('x') == std::string::npos) return false;
    size_t end = at == 0 ? text.find('x') : text.size();
    if (end <= at || end - at > 4) return false;
    side = 0;
    for (size_t i = at; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        side = side * 10 + unsigned(text[i] - '0');
    }
    return side >= 16 && side <= 4096;
}

} // namespace

void DeclareUnfoldOptions(OptionParser& parser) {
    parser.declare("--view", 2);
    parser.declare("--zoom", 1);
    parser.declare("--lens", 1);
    parser.declare("--size", 1);
}

bool GetUnfoldOptions(OptionParser& parser, UnfoldSettings& s) {
    if (parser.has("--view")) {
        double h = 0, v = 0;
        if (!parser.getDoubleAt("--view", 0, 0, 100, h) || !parser.getDoubleAt("--view", 1, 0, 100, v))
            return false;
        s.horizontal = float(h);
        s.vertical = float(v);
    }
    if (parser.has("--zoom")) {
        double z = 0;
        if (!parser.getDouble("--zoom", 0, 100, z)) return false;
        s.zoom = float(z);
    }
    int lens = 0;
    if (!parser.getChoice("--lens", {"up", "down"}, lens)) return false;
    s.lensUp = lens == 0;
    std::string size;
    parser.getText("--size", size);
    if (parser.has("--size")) {
        unsigned w = 0, h = 0;
        if (!parseSide(size, 0, w) || !parseSide(size, size.find('x') + 1, h))
            return parser.fail("--size needs WIDTHxHEIGHT from 16x16 to 4096x4096, not '" + size + "'");
        s.width = uint16_t(w);
        s.height = uint16_t(h);
    }
    return true;
}

} // namespace tools::unfold
