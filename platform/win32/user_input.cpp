#include "platform/win32/user_input.h"

#include <algorithm>
#include <commctrl.h>

#include "platform/win32/dialog.h"

namespace platform {

void ChooseDroppedComboItem(HWND comboBox, int index); // combo_box.cpp

namespace input {
namespace {

bool reachable(HWND hwnd) {
    return hwnd && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) &&
           (!GetParent(hwnd) || !(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) || reachable(GetParent(hwnd)));
}

LPARAM at(POINT p) {
    return MAKELPARAM(WORD(SHORT(p.x)), WORD(SHORT(p.y)));
}

void deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m{hwnd, msg, wParam, lParam, GetTickCount(), {}};
    DispatchMessageW(&m);
}

// The window a mouse message at `point` of `hwnd` reaches, with the point in its coordinates.
HWND hitTarget(HWND hwnd, POINT& point) {
    while (hwnd && SendMessageW(hwnd, WM_NCHITTEST, 0, 0) == HTTRANSPARENT && GetParent(hwnd)) {
        RECT r;
        GetWindowRect(hwnd, &r);
        ClientToScreen(hwnd, &point);
        HWND parent = GetParent(hwnd);
        ScreenToClient(parent, &point);
        hwnd = parent;
    }
    return hwnd;
}

POINT centre(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return POINT{r.right / 2, r.bottom / 2};
}

// The outermost dialog around a window, whose message loop would see its keys.
HWND outerDialog(HWND hwnd) {
    HWND found = nullptr;
    for (HWND h = hwnd; h; h = (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr) {
        LONG x, y;
        if (GetDialogUnits(h, x, y)) found = h;
    }
    return found;
}

void key(HWND hwnd, UINT msg, UINT vk, LPARAM flags) {
    MSG m{hwnd, msg, vk, flags, GetTickCount(), {}};
    HWND dialog = outerDialog(hwnd);
    if (!dialog || !IsDialogMessageW(dialog, &m)) DispatchMessageW(&m);
}

} // namespace

bool ClickAt(HWND hwnd, POINT point) {
    if (!reachable(hwnd)) return false;
    hwnd = hitTarget(hwnd, point);
    deliver(hwnd, WM_MOUSEMOVE, 0, at(point));
    if (!IsWindow(hwnd)) return true;
    deliver(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at(point));
    if (!IsWindow(hwnd)) return true;
    // While a window holds the capture, the release goes to it.
    HWND capture = GetCapture();
    deliver(capture && capture != hwnd ? capture : hwnd, WM_LBUTTONUP, 0, at(point));
    return true;
}

bool Click(HWND hwnd) {
    return reachable(hwnd) && ClickAt(hwnd, centre(hwnd));
}

bool MouseDown(HWND hwnd, POINT point) {
    if (!reachable(hwnd)) return false;
    hwnd = hitTarget(hwnd, point);
    deliver(hwnd, WM_MOUSEMOVE, 0, at(point));
    if (IsWindow(hwnd)) deliver(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at(point));
    return true;
}

bool MouseMove(HWND hwnd, POINT point) {
    HWND target = GetCapture() ? GetCapture() : hwnd;
    if (!IsWindow(target)) return false;
    deliver(target, WM_MOUSEMOVE, MK_LBUTTON, at(point));
    return true;
}

bool MouseUp(HWND hwnd, POINT point) {
    HWND target = GetCapture() ? GetCapture() : hwnd;
    if (!IsWindow(target)) return false;
    deliver(target, WM_LBUTTONUP, 0, at(point));
    return true;
}

POINT TrackbarPoint(HWND trackbar, LONG position) {
    RECT channel{}, client{};
    SendMessageW(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    GetClientRect(trackbar, &client);
    const LONG min = LONG(SendMessageW(trackbar, TBM_GETRANGEMIN, 0, 0));
    const LONG max = LONG(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0));
    const bool vertical = (GetWindowLongW(trackbar, GWL_STYLE) & TBS_VERT) != 0;
    const LONG lo = vertical ? channel.top : channel.left, hi = vertical ? channel.bottom : channel.right;
    const LONG along = max > min ? lo + MulDiv(position - min, hi - lo, max - min) : lo;
    return vertical ? POINT{client.right / 2, along} : POINT{along, client.bottom / 2};
}

bool DragTrackbar(HWND trackbar, LONG position) {
    if (!reachable(trackbar)) return false;
    RECT thumb{};
    SendMessageW(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    const POINT grab{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    const POINT target = TrackbarPoint(trackbar, position);
    MouseDown(trackbar, grab);
    MouseMove(trackbar, target);
    MouseUp(trackbar, target);
    return true;
}

bool ClickTrackbarPage(HWND trackbar, bool before) {
    if (!reachable(trackbar)) return false;
    RECT thumb{}, channel{};
    SendMessageW(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendMessageW(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    const bool vertical = (GetWindowLongW(trackbar, GWL_STYLE) & TBS_VERT) != 0;
    POINT p = centre(trackbar);
    LONG& along = vertical ? p.y : p.x;
    const LONG lo = vertical ? thumb.top : thumb.left, hi = vertical ? thumb.bottom : thumb.right;
    const LONG start = vertical ? channel.top : channel.left, end = vertical ? channel.bottom : channel.right;
    if (before ? lo <= start : hi >= end) return false; // no room beside the thumb
    along = before ? (start + lo) / 2 : (hi + end) / 2;
    return ClickAt(trackbar, p);
}

bool PressKey(HWND hwnd, UINT vk) {
    if (!reachable(hwnd)) return false;
    if (GetFocus() != hwnd) SetFocus(hwnd);
    key(hwnd, WM_KEYDOWN, vk, 1);
    if (IsWindow(hwnd)) key(GetFocus() ? GetFocus() : hwnd, WM_KEYUP, vk, LPARAM(0xC0000001));
    return true;
}

bool ChooseListItem(HWND combo, int index) {
    if (!reachable(combo)) return false;
    if (index < 0 || index >= int(SendMessageW(combo, CB_GETCOUNT, 0, 0))) return false;
    if (!SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) Click(combo);
    ChooseDroppedComboItem(combo, index);
    return true;
}

bool ClickTab(HWND tabs, int index) {
    RECT r{};
    if (!reachable(tabs) || !SendMessageW(tabs, TCM_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r)))
        return false;
    return ClickAt(tabs, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

} // namespace input
} // namespace platform
