// Dialog items: finding controls by id, their texts and check states, and the order of groups and tab
// stops that keyboard navigation and automatic radio buttons follow.
#include <algorithm>
#include <functional>
#include <vector>

#include "platform/win32/window_table.h"

namespace {

std::vector<HWND> childrenOf(HWND parent) {
    std::lock_guard lock(platform::WindowLock());
    platform::Window* w = platform::FindWindowObject(parent);
    return w ? w->children : std::vector<HWND>();
}

// A control's own styles decide, as on Windows: a dialog not yet shown still has an order.
bool usable(HWND h) {
    return (DWORD(GetWindowLongW(h, GWL_STYLE)) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE;
}

// The controls Tab visits in order: children, and the children of children that are control parents
// (a property page inside its frame), in place of them.
void tabOrder(HWND parent, std::vector<HWND>& out) {
    for (HWND c : childrenOf(parent)) {
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        if (GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
            if ((style & WS_VISIBLE) && !(style & WS_DISABLED)) tabOrder(c, out);
        } else if ((style & WS_TABSTOP) && usable(c)) {
            out.push_back(c);
        }
    }
}

} // namespace

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    for (HWND c : childrenOf(dialog))
        if (GetWindowLongPtrW(c, GWLP_ID) == id) return c;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
    return int(GetWindowLongPtrW(hwnd, GWLP_ID));
}

LRESULT WINAPI SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, msg, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT WINAPI GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size) {
    if (buffer && size > 0) buffer[0] = L'\0';
    HWND item = GetDlgItem(dialog, id);
    return item ? UINT(GetWindowTextW(item, buffer, size)) : 0;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    SendMessageW(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item ? UINT(SendMessageW(item, BM_GETCHECK, 0, 0)) : 0;
}

// Checks one button of the range and unchecks the others, by id order of the range.
BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int checked) {
    bool any = false;
    for (HWND c : childrenOf(dialog)) {
        const int id = GetDlgCtrlID(c);
        if (id < first || id > last) continue;
        SendMessageW(c, BM_SETCHECK, id == checked ? BST_CHECKED : BST_UNCHECKED, 0);
        any = true;
    }
    return any ? TRUE : FALSE;
}

// The next (or previous) visible, enabled control of hCtl's group, wrapping within the group; a group
// runs from a control with WS_GROUP to the control before the next one. hCtl itself when it is alone.
HWND WINAPI GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    std::vector<HWND> siblings = childrenOf(control ? GetParent(control) : dialog);
    if (siblings.empty()) return nullptr;
    if (!control) {
        for (HWND c : siblings)
            if (usable(c)) return c;
        return nullptr;
    }
    const auto at = size_t(std::find(siblings.begin(), siblings.end(), control) - siblings.begin());
    if (at == siblings.size()) return nullptr;
    size_t start = at;
    while (start > 0 && !(GetWindowLongW(siblings[start], GWL_STYLE) & WS_GROUP)) --start;
    size_t end = start + 1;
    while (end < siblings.size() && !(GetWindowLongW(siblings[end], GWL_STYLE) & WS_GROUP)) ++end;
    const size_t count = end - start;
    for (size_t step = 1; step < count; ++step) {
        const size_t i = previous ? start + (at - start + count - step) % count : start + (at - start + step) % count;
        if (usable(siblings[i])) return siblings[i];
    }
    return control;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    std::vector<HWND> order;
    tabOrder(dialog, order);
    if (order.empty()) return control;
    if (!control) return previous ? order.back() : order.front();
    auto it = std::find(order.begin(), order.end(), control);
    if (it == order.end()) return previous ? order.back() : order.front();
    const size_t at = size_t(it - order.begin()), n = order.size();
    return order[previous ? (at + n - 1) % n : (at + 1) % n];
}
