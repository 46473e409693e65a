// The window objects of this platform, shared by the files that implement the window functions
// (windowing.cpp, window_attributes.cpp, message_queue.cpp). Not for the system's code.
//
// A window's rectangle is relative to its parent's client area (a top-level window's to the screen);
// windows have no frame, so the client area is the whole window. Children keep their creation order,
// which is the order GetWindow and the dialog manager walk them in (the first child is on top).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

namespace platform {

struct WindowClass {
    WNDCLASSW desc{};
    std::wstring name;
    int windows = 0;
};

struct Window {
    WindowClass* cls = nullptr;
    std::wstring title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};
    HWND parent = nullptr; // a child window's parent
    HWND owner = nullptr;  // a top-level window's owner
    WNDPROC proc = nullptr;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<uint8_t> extra; // cbWndExtra bytes
    std::vector<HWND> children;
    std::thread::id thread;
    bool destroying = false;
};

// One lock over every window; window procedures are always called without it.
std::recursive_mutex& WindowLock();
// The window behind a handle, or null. Caller holds WindowLock().
Window* FindWindowObject(HWND hwnd);

} // namespace platform
