// Window objects of this platform. Without a display, a window keeps its class, texts, styles and
// rectangle, and its procedure receives the messages sent to it; with a display (display.h) each
// window is also shown as a real one. Tests may change a window's client size as a user resizing it
// would.
#pragma once

#include <windows.h>

namespace platform {

bool SetWindowClientSize(HWND window, int width, int height);

// Number of live windows, for leak checks.
size_t LiveWindowCount();

// The windows of a thread's message queue are its own; this is the thread that created the window.
bool IsWindowOfThisThread(HWND window);

} // namespace platform
