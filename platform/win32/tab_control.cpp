// The "SysTabControl32" class: a row of tabs with texts and one selected. A click on another tab asks
// the parent with WM_NOTIFY TCN_SELCHANGING (a nonzero answer keeps the selection), selects it and
// tells TCN_SELCHANGE. The tabs take kTabHeight pixels at the top; TCM_ADJUSTRECT converts between
// the control's rectangle and its display area below the tabs.
#include <algorithm>
#include <string>
#include <vector>

#include <commctrl.h>

#include "platform/win32/control_state.h"
#include "platform/win32/system_classes.h"

namespace platform {
namespace {

constexpr LONG kTabHeight = 22, kBorder = 4;

struct Tab {
    std::wstring text;
    LPARAM data = 0;
};

struct Tabs {
    std::vector<Tab> tabs;
    int selection = -1;
    HFONT font = nullptr;
};

LRESULT notify(HWND hwnd, UINT code) {
    NMHDR header{hwnd, UINT_PTR(GetWindowLongPtrW(hwnd, GWLP_ID)), code};
    return SendMessageW(GetParent(hwnd), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// Tabs share the strip equally.
int tabAt(HWND hwnd, const Tabs* t, LONG x, LONG y) {
    RECT r;
    GetClientRect(hwnd, &r);
    if (t->tabs.empty() || y < 0 || y >= kTabHeight || x < 0 || x >= r.right) return -1;
    return int(int64_t(x) * int64_t(t->tabs.size()) / std::max<LONG>(r.right, 1));
}

} // namespace

LRESULT CALLBACK TabControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (ControlLifetime<Tabs>(hwnd, msg, lParam, result)) return result;
    Tabs* t = ControlState<Tabs>(hwnd);
    if (!t) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const int count = int(t->tabs.size());
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
        const int at = tabAt(hwnd, t, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (!(GetWindowLongW(hwnd, GWL_STYLE) & TCS_FOCUSNEVER)) SetFocus(hwnd);
        if (at < 0 || at == t->selection) return 0;
        if (notify(hwnd, TCN_SELCHANGING)) return 0;
        t->selection = at;
        StateChanged(hwnd);
        notify(hwnd, TCN_SELCHANGE);
        return 0;
    }
    case WM_SETFONT:
        t->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(t->font);
    case TCM_GETITEMCOUNT:
        return count;
    case TCM_INSERTITEMW: {
        auto* item = reinterpret_cast<const TCITEMW*>(lParam);
        if (!item) return -1;
        const int at = std::clamp(int(wParam), 0, count);
        Tab tab;
        if ((item->mask & TCIF_TEXT) && item->pszText) tab.text = item->pszText;
        if (item->mask & TCIF_PARAM) tab.data = item->lParam;
        t->tabs.insert(t->tabs.begin() + at, tab);
        if (t->selection < 0)
            t->selection = 0;
        else if (t->selection >= at)
            ++t->selection;
        StateChanged(hwnd);
        return at;
    }
    case TCM_GETITEMW: {
        auto* item = reinterpret_cast<TCITEMW*>(lParam);
        const int at = int(wParam);
        if (!item || at < 0 || at >= count) return FALSE;
        if ((item->mask & TCIF_TEXT) && item->pszText && item->cchTextMax > 0) {
            const std::wstring& text = t->tabs[size_t(at)].text;
            const size_t n = std::min(text.size(), size_t(item->cchTextMax) - 1);
            text.copy(item->pszText, n);
            item->pszText[n] = L'\0';
        }
        if (item->mask & TCIF_PARAM) item->lParam = t->tabs[size_t(at)].data;
        return TRUE;
    }
    case TCM_DELETEALLITEMS:
        t->tabs.clear();
        t->selection = -1;
        StateChanged(hwnd);
        return TRUE;
    case TCM_GETCURSEL:
        return t->selection;
    case TCM_SETCURSEL: {
        const int at = int(wParam);
        if (at < 0 || at >= count) return -1;
        const int old = t->selection;
        t->selection = at;
        StateChanged(hwnd);
        return old;
    }
    case TCM_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        const int at = int(wParam);
        if (!r || at < 0 || at >= count) return FALSE;
        RECT client;
        GetClientRect(hwnd, &client);
        *r = RECT{LONG(int64_t(client.right) * at / count), 0, LONG(int64_t(client.right) * (at + 1) / count),
                  kTabHeight};
        return TRUE;
    }
    case TCM_ADJUSTRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return 0;
        const LONG grow = wParam ? 1 : -1; // TRUE: display rectangle to window rectangle
        r->left -= grow * kBorder;
        r->right += grow * kBorder;
        r->bottom += grow * kBorder;
        r->top -= grow * (kTabHeight + kBorder);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform
