// The "Button" class: push buttons, check boxes, radio buttons (automatic ones uncheck the others of
// their group), group boxes, and icon or bitmap images on them. A click is WM_LBUTTONDOWN (focus,
// capture, pushed) then WM_LBUTTONUP (released, automatic check, BN_CLICKED to the parent), as on
// Windows.
#include <algorithm>

#include "platform/win32/control_state.h"
#include "platform/win32/system_classes.h"

namespace platform {
namespace {

struct Button {
    UINT state = 0;       // BST_* bits
    bool tracking = false; // between a button-down and its button-up
    HANDLE image = nullptr;
    UINT imageType = IMAGE_BITMAP;
    HFONT font = nullptr;
};

UINT type(HWND hwnd) {
    return UINT(GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK);
}

UINT maxCheck(UINT t) {
    switch (t) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return BST_CHECKED;
    case BS_3STATE:
    case BS_AUTO3STATE:
        return BST_INDETERMINATE;
    default:
        return BST_UNCHECKED;
    }
}

void uncheckOthersInGroup(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    HWND start = GetNextDlgGroupItem(parent, hwnd, TRUE);
    HWND sibling = start;
    do {
        if (!sibling) break;
        if (sibling != hwnd && (GetWindowLongW(sibling, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
            SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
        sibling = GetNextDlgGroupItem(parent, sibling, FALSE);
    } while (sibling != start);
}

void press(HWND hwnd, Button* b) {
    SetFocus(hwnd);
    SetCapture(hwnd);
    b->tracking = true;
    SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
}

void release(HWND hwnd, Button* b, bool inside) {
    if (!b->tracking) return;
    b->tracking = false;
    if (!(b->state & BST_PUSHED)) {
        ReleaseCapture();
        return;
    }
    SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
    if (!inside) {
        ReleaseCapture();
        return;
    }
    switch (type(hwnd)) {
    case BS_AUTOCHECKBOX:
        SendMessageW(hwnd, BM_SETCHECK, (b->state & BST_CHECKED) ? BST_UNCHECKED : BST_CHECKED, 0);
        break;
    case BS_AUTORADIOBUTTON:
        SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
        break;
    case BS_AUTO3STATE:
        SendMessageW(hwnd, BM_SETCHECK, ((b->state & 3) + 1) % 3, 0);
        break;
    default:
        break;
    }
    ReleaseCapture();
    NotifyParent(hwnd, BN_CLICKED);
}

} // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (ControlLifetime<Button>(hwnd, msg, lParam, result)) return result;
    Button* b = ControlState<Button>(hwnd);
    if (!b) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const UINT t = type(hwnd);
    switch (msg) {
    case WM_GETDLGCODE:
        switch (t) {
        case BS_DEFPUSHBUTTON:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
        case BS_PUSHBOX:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    case WM_NCHITTEST:
        return t == BS_GROUPBOX ? HTTRANSPARENT : HTCLIENT;
    case WM_LBUTTONDOWN:
        if (t != BS_GROUPBOX) press(hwnd, b);
        return 0;
    case WM_LBUTTONUP: {
        RECT r;
        GetClientRect(hwnd, &r);
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        release(hwnd, b, x >= r.left && x < r.right && y >= r.top && y < r.bottom);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && t != BS_GROUPBOX && !b->tracking) press(hwnd, b);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE) release(hwnd, b, true);
        return 0;
    case WM_CAPTURECHANGED:
        if (b->tracking && reinterpret_cast<HWND>(lParam) != hwnd) {
            b->tracking = false;
            if (b->state & BST_PUSHED) SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
        }
        return 0;
    case WM_SETFOCUS:
        b->state |= BST_FOCUS;
        if (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY) NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        b->state &= ~UINT(BST_FOCUS);
        if (b->tracking && GetCapture() == hwnd) ReleaseCapture();
        if (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY) NotifyParent(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        StateChanged(hwnd);
        return 0;
    case WM_SETFONT:
        b->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(b->font);
    case BM_GETCHECK:
        return b->state & 3;
    case BM_SETCHECK: {
        const UINT check = std::min<UINT>(UINT(wParam), maxCheck(t));
        if (t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON) {
            // The checked radio button of a group is the one Tab stops at.
            const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
            const LONG wanted = check ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
            if (wanted != style) SetWindowLongW(hwnd, GWL_STYLE, wanted);
        }
        if ((b->state & 3) != check) {
            b->state = (b->state & ~3u) | check;
            StateChanged(hwnd);
        }
        if (t == BS_AUTORADIOBUTTON && check == BST_CHECKED && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
            uncheckOthersInGroup(hwnd);
        return 0;
    }
    case BM_GETSTATE:
        return b->state;
    case BM_SETSTATE: {
        const UINT pushed = wParam ? BST_PUSHED : 0;
        if ((b->state & BST_PUSHED) != pushed) {
            b->state = (b->state & ~UINT(BST_PUSHED)) | pushed;
            StateChanged(hwnd);
        }
        return 0;
    }
    case BM_SETSTYLE:
        SetWindowLongW(hwnd, GWL_STYLE, (GetWindowLongW(hwnd, GWL_STYLE) & ~0xFFFF) | LONG(wParam & 0xFFFF));
        return 0;
    case BM_CLICK:
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case BM_SETIMAGE: {
        if (wParam != IMAGE_ICON && wParam != IMAGE_BITMAP) return 0;
        HANDLE old = b->image;
        b->image = reinterpret_cast<HANDLE>(lParam);
        b->imageType = UINT(wParam);
        StateChanged(hwnd);
        return reinterpret_cast<LRESULT>(old);
    }
    case BM_GETIMAGE:
        return wParam == b->imageType ? reinterpret_cast<LRESULT>(b->image) : 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform
