#include "platform/win32/windowing.h"

#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace {

struct WindowClass {
    WNDCLASSW desc{};
    std::wstring name;
    int windows = 0;
};

struct Window {
    WindowClass* cls = nullptr;
    std::wstring className;
    std::wstring title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};
    HWND parent = nullptr;
    WNDPROC proc = nullptr;
};

struct WindowTable {
    std::recursive_mutex mutex;
    std::map<std::wstring, std::unique_ptr<WindowClass>> classes;
    std::map<HWND, std::unique_ptr<Window>> windows;
    ATOM nextAtom = 0xC000;
};

WindowTable& table() {
    static WindowTable t;
    return t;
}

Window* find(HWND hwnd) {
    auto& t = table();
    auto it = t.windows.find(hwnd);
    return it == t.windows.end() ? nullptr : it->second.get();
}

std::wstring lower(LPCWSTR s) {
    std::wstring out = s ? s : L"";
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

} // namespace

namespace platform {

bool SetWindowClientSize(HWND hwnd, int width, int height) {
    std::lock_guard lock(table().mutex);
    Window* w = find(hwnd);
    if (!w || width < 0 || height < 0) return false;
    w->rect.right = w->rect.left + width;
    w->rect.bottom = w->rect.top + height;
    return true;
}

size_t LiveWindowCount() {
    std::lock_guard lock(table().mutex);
    return table().windows.size();
}

} // namespace platform

ATOM WINAPI RegisterClassW(const WNDCLASSW* desc) {
    if (!desc || !desc->lpszClassName || !desc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FAILED(platform::InjectedFault("RegisterClassW"))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    auto& t = table();
    std::lock_guard lock(t.mutex);
    std::wstring key = lower(desc->lpszClassName);
    if (t.classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_unique<WindowClass>();
    cls->desc = *desc;
    cls->name = desc->lpszClassName;
    cls->desc.lpszClassName = cls->name.c_str();
    cls->desc.lpszMenuName = nullptr;
    t.classes[key] = std::move(cls);
    return t.nextAtom++;
}

BOOL WINAPI UnregisterClassW(LPCWSTR name, HINSTANCE) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.classes.find(lower(name));
    if (it == t.classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (it->second->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    t.classes.erase(it);
    return TRUE;
}

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU, HINSTANCE instance, LPVOID param) {
    auto& t = table();
    std::unique_lock lock(t.mutex);
    auto it = t.classes.find(lower(className));
    if (it == t.classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    if (parent && !find(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (FAILED(platform::InjectedFault("CreateWindowExW"))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
    auto w = std::make_unique<Window>();
    w->cls = it->second.get();
    w->className = it->second->name;
    w->title = title ? title : L"";
    w->style = style;
    w->exStyle = exStyle;
    w->rect = RECT{x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0)};
    w->parent = parent;
    w->proc = it->second->desc.lpfnWndProc;
    HWND hwnd = reinterpret_cast<HWND>(w.get());
    WNDPROC proc = w->proc;
    w->cls->windows++;
    t.windows[hwnd] = std::move(w);

    CREATESTRUCTW cs{param, instance,  nullptr, parent, height, width, y, x, static_cast<LONG>(style),
                     title, className, exStyle};
    lock.unlock();
    if (!proc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    auto& t = table();
    std::unique_lock lock(t.mutex);
    Window* w = find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // Children go first, as on Windows.
    std::vector<HWND> children;
    for (auto& [h, other] : t.windows)
        if (other->parent == hwnd) children.push_back(h);
    WNDPROC proc = w->proc;
    lock.unlock();
    for (HWND child : children) DestroyWindow(child);
    proc(hwnd, WM_DESTROY, 0, 0);
    proc(hwnd, WM_NCDESTROY, 0, 0);
    lock.lock();
    w = find(hwnd);
    if (w) {
        w->cls->windows--;
        t.windows.erase(hwnd);
    }
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    std::lock_guard lock(table().mutex);
    return find(hwnd) != nullptr;
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    std::lock_guard lock(table().mutex);
    Window* w = find(hwnd);
    return w && (w->style & WS_VISIBLE);
}

BOOL WINAPI ShowWindow(HWND hwnd, int show) {
    std::lock_guard lock(table().mutex);
    Window* w = find(hwnd);
    if (!w) return FALSE;
    BOOL was = (w->style & WS_VISIBLE) != 0;
    if (show == SW_HIDE)
        w->style &= ~WS_VISIBLE;
    else
        w->style |= WS_VISIBLE;
    return was;
}

// Windows here have no frame, so the client area is the whole window.
BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    std::lock_guard lock(table().mutex);
    Window* w = find(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    std::lock_guard lock(table().mutex);
    Window* w = find(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = w->rect;
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    std::unique_lock lock(table().mutex);
    Window* w = find(hwnd);
    if (!w) return FALSE;
    w->rect = RECT{x, y, x + width, y + height};
    WNDPROC proc = w->proc;
    lock.unlock();
    proc(hwnd, WM_SIZE, 0, MAKELONG(width, height));
    return TRUE;
}

HWND WINAPI GetParent(HWND hwnd) {
    std::lock_guard lock(table().mutex);
    Window* w = find(hwnd);
    return w ? w->parent : nullptr;
}

LRESULT WINAPI DefWindowProcW(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_NCCREATE ? TRUE : 0;
}

LRESULT WINAPI SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        std::lock_guard lock(table().mutex);
        Window* w = find(hwnd);
        if (!w) return 0;
        proc = w->proc;
    }
    return proc(hwnd, msg, wParam, lParam);
}

// Stock objects are fixed non-null handles; nothing draws with them here.
HGDIOBJ WINAPI GetStockObject(int i) {
    static char stock[8];
    if (i < 0 || i >= 8) return nullptr;
    return &stock[i];
}
