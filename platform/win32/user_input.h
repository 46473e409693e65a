// A person's input, played as the messages Windows delivers for it, in Windows' order. Tests drive
// dialogs with these, and the display backend turns real clicks, drags, keys and list choices into
// them, so a control behaves the same either way.
//
// Input reaches only what a person can reach: each operation does nothing and answers false when its
// window is hidden or disabled (or a parent is). Mouse messages carry client coordinates; a window
// transparent to the mouse (a group box, a static) passes the click to its parent, as hit-testing
// does on Windows. Keys go to the focused window through the dialog manager of the dialog around it
// (IsDialogMessageW), as a dialog's message loop delivers them.
#pragma once

#include <windows.h>

namespace platform::input {

// WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP at a point of the window (its centre by default).
bool Click(HWND window);
bool ClickAt(HWND window, POINT point);

// The three parts of a drag, for input that arrives over time.
bool MouseDown(HWND window, POINT point);
bool MouseMove(HWND window, POINT point); // with the button held
bool MouseUp(HWND window, POINT point);

// Drags a trackbar's thumb to the point of `position` and lets go.
bool DragTrackbar(HWND trackbar, LONG position);
// A click on the channel beside the thumb: before it (page up) or after it (page down).
bool ClickTrackbarPage(HWND trackbar, bool before);
// The client point of a trackbar's channel where `position` lies.
POINT TrackbarPoint(HWND trackbar, LONG position);

// Moves the focus to the window as Tab would, then presses and releases a key: WM_KEYDOWN, WM_KEYUP.
bool PressKey(HWND window, UINT virtualKey);

// Opens a drop-down list with a click and clicks item `index`.
bool ChooseListItem(HWND comboBox, int index);

// A click on tab `index` of a tab control.
bool ClickTab(HWND tabControl, int index);

} // namespace platform::input
