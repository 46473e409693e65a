// The window classes the system provides (dialogs, buttons, statics, combo boxes, trackbars, tab
// controls), registered once per process before the first window is created, and the internal
// hooks between the window files.
#pragma once

#include <windows.h>

namespace platform {

void EnsureSystemClasses();
// Registers a class under a fixed atom (0 for the next free one).
ATOM RegisterClassWithAtom(const WNDCLASSW* desc, ATOM atom);
// Forgets the timers and queued messages of a window being destroyed.
void ForgetWindowMessages(HWND window);

// Window procedures of the system classes (one file each).
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TrackbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TabControlProc(HWND, UINT, WPARAM, LPARAM);

// Every control keeps its state behind the pointer in its first extra bytes.
constexpr int kControlExtraBytes = sizeof(void*);

} // namespace platform
