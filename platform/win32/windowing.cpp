// Window classes, creation and destruction, visibility and geometry, and sending messages.
#include "platform/win32/windowing.h"

#include <cwctype>
#include <map>

#include "platform/win32/debug.h"
#include "platform/win32/display.h"
#include "platform/win32/fault_injection.h"
#include "platform/win32/system_classes.h"
#include "platform/win32/window_table.h"

namespace platform {
namespace {

struct WindowTable {
    std::recursive_mutex mutex;
    std::map<std::wstring, std::unique_ptr<WindowClass>> classes;
    std::map<ATOM, WindowClass*> atoms;
    std::map<HWND, std::unique_ptr<Window>> windows;
    ATOM nextAtom = 0xC000;
};

// Never destroyed: windows of modules unloaded at exit may still be torn down late.
WindowTable& table() {
    static auto* t = new WindowTable;
    return *t;
}

std::wstring lower(LPCWSTR s) {
    std::wstring out = s ? s : L"";
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

WindowClass* findClass(LPCWSTR name) {
    auto& t = table();
    if (IS_INTRESOURCE(name)) {
        auto it = t.atoms.find(static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name)));
        return it == t.atoms.end() ? nullptr : it->second;
    }
    auto it = t.classes.find(lower(name));
    return it == t.classes.end() ? nullptr : it->second.get();
}

} // namespace

std::recursive_mutex& WindowLock() {
    return table().mutex;
}

Window* FindWindowObject(HWND hwnd) {
    auto& t = table();
    auto it = t.windows.find(hwnd);
    return it == t.windows.end() ? nullptr : it->second.get();
}

bool SetWindowClientSize(HWND hwnd, int width, int height) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w || width < 0 || height < 0) return false;
    w->rect.right = w->rect.left + width;
    w->rect.bottom = w->rect.top + height;
    return true;
}

size_t LiveWindowCount() {
    std::lock_guard lock(WindowLock());
    return table().windows.size();
}

bool IsWindowOfThisThread(HWND hwnd) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    return w && w->thread == std::this_thread::get_id();
}

ATOM RegisterClassWithAtom(const WNDCLASSW* desc, ATOM atom) {
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
    if (atom == 0) atom = t.nextAtom++;
    t.atoms[atom] = cls.get();
    t.classes[key] = std::move(cls);
    return atom;
}

} // namespace platform

using platform::FindWindowObject;
using platform::Window;
using platform::WindowLock;

ATOM WINAPI RegisterClassW(const WNDCLASSW* desc) {
    if (!desc || !desc->lpszClassName || !desc->lpfnWndProc || desc->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FAILED(platform::InjectedFault("RegisterClassW"))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return platform::RegisterClassWithAtom(desc, 0);
}

BOOL WINAPI UnregisterClassW(LPCWSTR name, HINSTANCE) {
    auto& t = platform::table();
    std::lock_guard lock(t.mutex);
    platform::WindowClass* cls = platform::findClass(name);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (cls->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    for (auto it = t.atoms.begin(); it != t.atoms.end(); ++it)
        if (it->second == cls) {
            t.atoms.erase(it);
            break;
        }
    t.classes.erase(platform::lower(cls->name.c_str()));
    return TRUE;
}

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    platform::EnsureSystemClasses();
    auto& t = platform::table();
    std::unique_lock lock(t.mutex);
    platform::WindowClass* cls = platform::findClass(className);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    if (parent && !FindWindowObject(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((style & WS_CHILD) && !parent) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    if (FAILED(platform::InjectedFault("CreateWindowExW"))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
    auto w = std::make_unique<Window>();
    w->cls = cls;
    w->title = title && !IS_INTRESOURCE(title) ? title : L"";
    w->style = style;
    w->exStyle = exStyle;
    w->rect = RECT{x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0)};
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = reinterpret_cast<LONG_PTR>(menu);
    } else {
        w->owner = parent;
    }
    w->proc = cls->desc.lpfnWndProc;
    w->instance = instance;
    w->extra.assign(size_t(cls->desc.cbWndExtra), 0);
    w->thread = std::this_thread::get_id();
    HWND hwnd = reinterpret_cast<HWND>(w.get());
    WNDPROC proc = w->proc;
    cls->windows++;
    if (w->parent) FindWindowObject(w->parent)->children.push_back(hwnd);
    t.windows[hwnd] = std::move(w);

    CREATESTRUCTW cs{param, instance,  menu,     parent, height, width, y, x, static_cast<LONG>(style),
                     title, className, exStyle};
    lock.unlock();
    if (!proc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    TRACE("win32", "%p %ls \"%ls\" style %08x", static_cast<void*>(hwnd),
          IS_INTRESOURCE(className) ? L"#atom" : className, title && !IS_INTRESOURCE(title) ? title : L"",
          unsigned(style));
    platform::NotifyWindowChanged(hwnd, platform::WindowChange::Created);
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    std::unique_lock lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w || w->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->destroying = true;
    std::vector<HWND> children = w->children;
    std::vector<HWND> owned;
    for (auto& [h, other] : platform::table().windows)
        if (other->owner == hwnd) owned.push_back(h);
    const bool visible = (w->style & WS_VISIBLE) != 0;
    lock.unlock();

    for (HWND o : owned) DestroyWindow(o);
    if (visible && !(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) SendMessageW(hwnd, WM_SHOWWINDOW, FALSE, 0);
    if (GetCapture() == hwnd || IsChild(hwnd, GetCapture())) ReleaseCapture();
    if (GetFocus() == hwnd || IsChild(hwnd, GetFocus())) SetFocus(nullptr);
    platform::ForgetWindowMessages(hwnd);
    // WM_DESTROY reaches the window before its children; WM_NCDESTROY after them.
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : children) DestroyWindow(child);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    platform::NotifyWindowChanged(hwnd, platform::WindowChange::Destroyed);

    lock.lock();
    w = FindWindowObject(hwnd);
    if (w) {
        if (Window* parent = FindWindowObject(w->parent)) std::erase(parent->children, hwnd);
        w->cls->windows--;
        platform::table().windows.erase(hwnd);
    }
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    std::lock_guard lock(WindowLock());
    return FindWindowObject(hwnd) != nullptr;
}

// Visible when it and every ancestor have WS_VISIBLE.
BOOL WINAPI IsWindowVisible(HWND hwnd) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w) return FALSE;
    for (; w; w = FindWindowObject(w->parent))
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int show) {
    std::unique_lock lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w) return FALSE;
    const BOOL was = (w->style & WS_VISIBLE) != 0;
    const BOOL now = show != SW_HIDE;
    lock.unlock();
    if (was == now) return was;
    SendMessageW(hwnd, WM_SHOWWINDOW, now, 0);
    lock.lock();
    if ((w = FindWindowObject(hwnd))) w->style = now ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
    lock.unlock();
    if (!now && (GetFocus() == hwnd || IsChild(hwnd, GetFocus()))) SetFocus(GetParent(hwnd));
    platform::NotifyWindowChanged(hwnd, platform::WindowChange::Style);
    return was;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

// Screen coordinates: a child's rectangle moved by its ancestors' positions.
BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    std::lock_guard lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = w->rect;
    for (Window* p = FindWindowObject(w->parent); p; p = FindWindowObject(p->parent)) {
        rect->left += p->rect.left;
        rect->right += p->rect.left;
        rect->top += p->rect.top;
        rect->bottom += p->rect.top;
    }
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND, int x, int y, int width, int height, UINT flags) {
    std::unique_lock lock(WindowLock());
    Window* w = FindWindowObject(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        r.right += x - r.left;
        r.bottom += y - r.top;
        r.left = x;
        r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + (width > 0 ? width : 0);
        r.bottom = r.top + (height > 0 ? height : 0);
    }
    const bool moved = r.left != w->rect.left || r.top != w->rect.top;
    const bool sized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                       (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
    w->rect = r;
    lock.unlock();
    if (moved) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if (sized) SendMessageW(hwnd, WM_SIZE, 0, MAKELPARAM(r.right - r.left, r.bottom - r.top));
    if (moved || sized) platform::NotifyWindowChanged(hwnd, platform::WindowChange::Geometry);
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    if (!IsWindow(hwnd)) return FALSE;
    // A move to the same rectangle still tells the window its size, as Windows does.
    RECT before{};
    GetClientRect(hwnd, &before);
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (before.right == width && before.bottom == height) SendMessageW(hwnd, WM_SIZE, 0, MAKELPARAM(width, height));
    return TRUE;
}

LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT: {
        {
            std::lock_guard lock(WindowLock());
            Window* w = FindWindowObject(hwnd);
            if (!w) return FALSE;
            auto* text = reinterpret_cast<LPCWSTR>(lParam);
            w->title = text ? text : L"";
        }
        platform::NotifyWindowChanged(hwnd, platform::WindowChange::Text);
        return TRUE;
    }
    case WM_GETTEXT: {
        std::lock_guard lock(WindowLock());
        Window* w = FindWindowObject(hwnd);
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!w || !buffer || wParam == 0) return 0;
        const size_t n = std::min(w->title.size(), size_t(wParam) - 1);
        w->title.copy(buffer, n);
        buffer[n] = L'\0';
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard lock(WindowLock());
        Window* w = FindWindowObject(hwnd);
        return w ? LRESULT(w->title.size()) : 0;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    default:
        return 0;
    }
}

LRESULT WINAPI SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        std::lock_guard lock(WindowLock());
        Window* w = FindWindowObject(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        proc = w->proc;
    }
    return proc(hwnd, msg, wParam, lParam);
}

// The desktop: the screen-sized parent of windows that have no other, never shown by a display.
HWND WINAPI GetDesktopWindow() {
    static HWND desktop = [] {
        platform::EnsureSystemClasses();
        return CreateWindowExW(0, L"#32769", L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                               nullptr, nullptr);
    }();
    return desktop;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

// Stock objects are fixed non-null handles; nothing draws with them here.
HGDIOBJ WINAPI GetStockObject(int i) {
    static char stock[8];
    if (i < 0 || i >= 8) return nullptr;
    return &stock[i];
}
