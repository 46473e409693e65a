// Helpers of the tests that show real windows on a virtual X server (run under xvfb-run): pictures of
// windows, synthetic clicks through xdotool, and the page inside a property frame.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

namespace display_testing {

// A window's picture, 8-bit red, green, blue and alpha a pixel, rows top-down.
struct XPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
    // Pixels of the rectangle whose colour differs from `background` by more than a little.
    int marked(const RECT& r, const uint8_t* background) const {
        int n = 0;
        for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, height); ++y)
            for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, width); ++x) {
                const uint8_t* p = at(x, y);
                if (std::abs(p[0] - background[0]) + std::abs(p[1] - background[1]) +
                        std::abs(p[2] - background[2]) >
                    24)
                    ++n;
            }
        return n;
    }
};

// A click of the first button at a point of the screen, as a person's: false when xdotool fails.
inline bool XClick(int x, int y) {
    const std::string command =
        "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1 >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// The page a property frame shows: its child that holds controls of its own.
inline HWND PageIn(HWND frame) {
    for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) return c;
    return nullptr;
}

} // namespace display_testing
