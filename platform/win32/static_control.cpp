// The "Static" class: text (left, centred, right), icons (SS_ICON, loaded from the template's
// resource name) and bitmaps (SS_BITMAP). Transparent to the mouse unless SS_NOTIFY.
#include "platform/win32/control_state.h"
#include "platform/win32/system_classes.h"

namespace platform {
namespace {

struct Static {
    HANDLE image = nullptr;
    UINT imageType = IMAGE_ICON;
    HFONT font = nullptr;
};

UINT kind(HWND hwnd) {
    return UINT(GetWindowLongW(hwnd, GWL_STYLE) & SS_TYPEMASK);
}

// An icon static's text names its icon: a string, or 0xFFFF followed by an ordinal (as the dialog
// manager passes a template's ordinal title).
HICON iconNamed(HWND hwnd, LPCWSTR name) {
    if (!name || !*name) return nullptr;
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    if (name[0] == 0xFFFF) return LoadIconW(instance, MAKEINTRESOURCEW(name[1]));
    return LoadIconW(instance, name);
}

LRESULT setImage(HWND hwnd, Static* s, UINT type, HANDLE image) {
    HANDLE old = s->imageType == type ? s->image : nullptr;
    s->image = image;
    s->imageType = type;
    StateChanged(hwnd);
    return reinterpret_cast<LRESULT>(old);
}

} // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (ControlLifetime<Static>(hwnd, msg, lParam, result)) {
        if (msg == WM_NCCREATE && kind(hwnd) == SS_ICON) {
            auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            ControlState<Static>(hwnd)->image = iconNamed(hwnd, cs->lpszName);
        }
        return result;
    }
    Static* s = ControlState<Static>(hwnd);
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_NCHITTEST:
        return (GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONDOWN:
        if (GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY) NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_SETTEXT:
        if (kind(hwnd) == SS_ICON) {
            setImage(hwnd, s, IMAGE_ICON, iconNamed(hwnd, reinterpret_cast<LPCWSTR>(lParam)));
            return TRUE;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_ENABLE:
        StateChanged(hwnd);
        return 0;
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(s->font);
    case STM_SETICON:
        return setImage(hwnd, s, IMAGE_ICON, reinterpret_cast<HANDLE>(wParam));
    case STM_GETICON:
        return s->imageType == IMAGE_ICON ? reinterpret_cast<LRESULT>(s->image) : 0;
    case STM_SETIMAGE:
        if (wParam != IMAGE_ICON && wParam != IMAGE_BITMAP) return 0;
        return setImage(hwnd, s, UINT(wParam), reinterpret_cast<HANDLE>(lParam));
    case STM_GETIMAGE:
        return s->imageType == wParam ? reinterpret_cast<LRESULT>(s->image) : 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform
