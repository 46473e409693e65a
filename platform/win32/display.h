// The seam between the headless window model and a real display.
//
// Windows, dialogs and controls are objects of this platform whatever happens; when a program opens
// the display, a backend (the GTK 3 one in platform/gtk, loaded on demand so that headless programs
// never load a toolkit) shows each visible top-level window and its controls as real windows and
// turns a person's clicks, drags, keys and list choices into the operations of user_input.h, so the
// system sees the same Win32 messages either way. The window functions tell the backend what changed;
// the message loop waits through it, so toolkit events are handled while a program waits for
// messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace platform {

enum class WindowChange {
    Created,
    Destroyed,
    Text,     // the window's text
    Style,    // visibility, enabled state, styles
    Geometry, // position or size
    State,    // a control's own state: check, image, position, range, items, selection
};

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;
    // May be called from any thread; the backend applies it on its own.
    virtual void windowChanged(HWND window, WindowChange change) = 0;
    // Handles toolkit events until one arrives or wake() is called, for at most `milliseconds`
    // (INFINITE: no limit). Called by the thread that opened the display.
    virtual void wait(DWORD milliseconds) = 0;
    virtual void wake() = 0;
    // The pixels of a visible top-level window as the display draws it: rows top to bottom, RGBA.
    virtual bool snapshot(HWND window, int& width, int& height, std::vector<uint8_t>& rgba) = 0;
};

// Opens the display named by the environment (DISPLAY or WAYLAND_DISPLAY) through the GTK backend.
// False with the reason when there is none, the backend cannot be loaded or the display refuses.
// Only the thread that opens it may use the display.
bool OpenDisplay(std::string& reason);
// The open display, or null.
DisplayBackend* ActiveDisplay();
bool IsDisplayThread();

void NotifyWindowChanged(HWND window, WindowChange change);

} // namespace platform
