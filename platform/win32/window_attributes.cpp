// What a window holds besides its geometry: longs (styles, id, procedure, extra bytes), text, the
// enabled state, focus and mouse capture, and its place among its parent's children.
#include <algorithm>
#include <utility>
#include <cstring>
#include <functional>

#include "platform/win32/display.h"
#include "platform/win32/window_table.h"

namespace {

using platform::FindWindowObject;
using platform::Window;
using platform::WindowLock;

thread_local HWND t_focus = nullptr;
thread_local HWND t_capture = nullptr;

// A style change as Windows makes it: WM_STYLECHANGING (which may amend the new value), the change,
// WM_STYLECHANGED.
LONG_PTR changeStyle(HWND hwnd, int index, DWORD value) {
    STYLESTRUCT change{0, value};
    {
        std::lock_guard lock(WindowLock());
        Window* w = FindWindowObject(hwnd);
        if (!w) return 0;
        change.styleOld = index == GWL_STYLE ? w->style : w->exStyle;
    }
    SendMessageW(hwnd, WM_STYLECHANGING, WPARAM(index), reinterpret_cast<LPARAM>(&change));
    {
        std::lock_guard lock(WindowLock());
        Window* w = FindWindowObject(hwnd);
        if (!w) return 0;
        (index == GWL_STYLE ? w->style : w->exStyle) = change.styleNew;
    }
    SendMessageW(hwnd, WM_STYLECHANGED, WPARAM(index), reinterpret_cast<LPARAM>(&change));
    platform::NotifyWindowChanged(hwnd, platform::WindowChange::Style);
    return LONG_PTR(change.styleOld);
}

} // namespace

LONG_PTR WINAPI GetWindowLongPtrW(HWND hwnd, int index) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_STYLE:
        return LONG_PTR(w->style);
    case GWL_EXSTYLE:
        return LONG_PTR(w->exStyle);
    case GWLP_ID:
        return w->id;
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    default:
        if (index < 0 || size_t(index) + sizeof(LONG_PTR) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG_PTR v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    if (index == GWL_STYLE || index == GWL_EXSTYLE) return changeStyle(hwnd, index, DWORD(value));
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    switch (index) {
    case GWLP_ID:
        old = std::exchange(w->id, value);
        break;
    case GWLP_USERDATA:
        old = std::exchange(w->userData, value);
        break;
    case GWLP_WNDPROC:
        if (!value) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        old = reinterpret_cast<LONG_PTR>(std::exchange(w->proc, reinterpret_cast<WNDPROC>(value)));
        break;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(std::exchange(w->instance, reinterpret_cast<HINSTANCE>(value)));
        break;
    default:
        if (index < 0 || size_t(index) + sizeof(LONG_PTR) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        std::memcpy(&old, w->extra.data() + index, sizeof old);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
    }
    return old;
}

LONG WINAPI GetWindowLongW(HWND hwnd, int index) {
    return LONG(GetWindowLongPtrW(hwnd, index));
}

LONG WINAPI SetWindowLongW(HWND hwnd, int index, LONG value) {
    return LONG(SetWindowLongPtrW(hwnd, index, index == GWL_STYLE || index == GWL_EXSTYLE ? LONG_PTR(DWORD(value))
                                                                                         : LONG_PTR(value)));
}

LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

BOOL WINAPI SetWindowTextW(HWND hwnd, LPCWSTR text) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextW(HWND hwnd, LPWSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = L'\0';
    return int(SendMessageW(hwnd, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthW(HWND hwnd) {
    return int(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// Returns nonzero when the window was disabled before.
BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    BOOL wasDisabled;
    {
        std::lock_guard lock(WindowLock());
        Window* w = FindWindowObject(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable) return wasDisabled;
        w->style = enable ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
    }
    if (!enable && (t_focus == hwnd || IsChild(hwnd, t_focus))) SetFocus(nullptr);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    platform::NotifyWindowChanged(hwnd, platform::WindowChange::Style);
    return wasDisabled;
}

// The class's name as registered; the number of characters copied, 0 for a bad window or buffer.
int WINAPI GetClassNameW(HWND hwnd, LPWSTR name, int size) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w || !name || size <= 0) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const std::wstring& text = w->cls->name;
    const size_t n = std::min(text.size(), size_t(size - 1));
    text.copy(name, n);
    name[n] = 0;
    return int(n);
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    return w && !(w->style & WS_DISABLED);
}

// WM_KILLFOCUS to the window losing the focus, then WM_SETFOCUS to the one gaining it.
HWND WINAPI SetFocus(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (hwnd && !IsWindowEnabled(hwnd)) return nullptr;
    HWND old = t_focus;
    if (old == hwnd) return old;
    t_focus = hwnd;
    if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && t_focus == hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND WINAPI GetFocus() {
    if (t_focus && !IsWindow(t_focus)) t_focus = nullptr;
    return t_focus;
}

HWND WINAPI SetCapture(HWND hwnd) {
    HWND old = t_capture;
    if (old == hwnd) return old;
    t_capture = hwnd;
    if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL WINAPI ReleaseCapture() {
    HWND old = t_capture;
    t_capture = nullptr;
    if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture() {
    if (t_capture && !IsWindow(t_capture)) t_capture = nullptr;
    return t_capture;
}

HWND WINAPI GetParent(HWND hwnd) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w) return nullptr;
    if (w->style & WS_CHILD) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (cmd == GW_OWNER) return w->owner;
    Window* parent = FindWindowObject(w->parent);
    if (!parent) return cmd == GW_HWNDFIRST || cmd == GW_HWNDLAST ? hwnd : nullptr;
    const auto& siblings = parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    switch (cmd) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return it + 1 < siblings.end() ? *(it + 1) : nullptr;
    case GW_HWNDPREV:
        return it > siblings.begin() ? *(it - 1) : nullptr;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND WINAPI SetParent(HWND child, HWND parent) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(child);
    Window* p = parent ? FindWindowObject(parent) : nullptr;
    if (!w || (parent && !p)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND old = w->parent;
    if (Window* o = FindWindowObject(old)) std::erase(o->children, child);
    w->parent = parent;
    if (p) p->children.push_back(child);
    platform::NotifyWindowChanged(child, platform::WindowChange::Geometry);
    return old;
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    while (w && (w->style & WS_CHILD)) {
        if (w->parent == parent) return TRUE;
        w = FindWindowObject(w->parent);
    }
    return FALSE;
}

// Every descendant, each child followed by its own children, as Windows enumerates them.
BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
    std::vector<HWND> all;
    {
        std::lock_guard lock(WindowLock());
        std::function<void(HWND)> collect = [&](HWND h) {
            Window* w = FindWindowObject(h);
            if (!w) return;
            for (HWND c : w->children) {
                all.push_back(c);
                collect(c);
            }
        };
        collect(parent);
    }
    for (HWND h : all)
        if (IsWindow(h) && !proc(h, lParam)) return FALSE;
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL) {
    if (hwnd && !IsWindow(hwnd)) return FALSE;
    if (hwnd) platform::NotifyWindowChanged(hwnd, platform::WindowChange::State);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    return IsWindow(hwnd);
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    RECT r;
    if (!point || !GetWindowRect(hwnd, &r)) return FALSE;
    point->x += r.left;
    point->y += r.top;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    RECT r;
    if (!point || !GetWindowRect(hwnd, &r)) return FALSE;
    point->x -= r.left;
    point->y -= r.top;
    return TRUE;
}
