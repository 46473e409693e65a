#include "tools/unfold/unfold_options.h"

#include <cstdio>

namespace tools::unfold {

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
    if (!size.empty()) {
        unsigned w = 0, h = 0;
        char tail = 0;
        if (std::sscanf(size.c_str(), "%ux%u%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 4096 ||
            h > 4096)
            return parser.fail("--size needs WIDTHxHEIGHT from 16x16 to 4096x4096, not '" + size + "'");
        s.width = uint16_t(w);
        s.height = uint16_t(h);
    }
    return true;
}

} // namespace tools::unfold
