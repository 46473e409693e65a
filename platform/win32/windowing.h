// Window objects of this platform. There is no desktop: a window keeps its class, texts, styles and
// rectangle, and its procedure receives the messages sent to it. Tests may change a window's client
// size as a user resizing it would.
#pragma once

#include <windows.h>

namespace platform {

bool SetWindowClientSize(HWND window, int width, int height);

// Number of live windows, for leak checks.
size_t LiveWindowCount();

} // namespace platform
