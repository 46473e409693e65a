// How the system's controls keep their state: an object allocated on WM_NCCREATE and deleted on
// WM_NCDESTROY, its pointer in the window's first extra bytes, and the notifications they send to
// their parent.
#pragma once

#include <windows.h>

#include "platform/win32/display.h"

namespace platform {

template <class State>
State* ControlState(HWND hwnd) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(hwnd, 0));
}

// Runs the common part of a control's procedure: creating and deleting its state. Returns true when
// the message was one of those, with the answer in `result`.
template <class State>
bool ControlLifetime(HWND hwnd, UINT msg, LPARAM lParam, LRESULT& result) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new State));
        result = DefWindowProcW(hwnd, msg, 0, lParam);
        return true;
    }
    if (msg == WM_NCDESTROY) {
        delete ControlState<State>(hwnd);
        SetWindowLongPtrW(hwnd, 0, 0);
        result = 0;
        return true;
    }
    return false;
}

// WM_COMMAND to the parent with the control's id and a notification code.
inline void NotifyParent(HWND hwnd, UINT code) {
    SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetWindowLongPtrW(hwnd, GWLP_ID), code),
                 reinterpret_cast<LPARAM>(hwnd));
}

inline void StateChanged(HWND hwnd) {
    NotifyWindowChanged(hwnd, WindowChange::State);
}

} // namespace platform
