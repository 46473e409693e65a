// The "ComboBox" class as a drop-down list (CBS_DROPDOWNLIST; the other kinds keep the same list
// without an edit field): items with their data, the selection, and the drop-down state.
//
// A person's choice with the mouse: a click on the box drops the list (focus, CBN_SETFOCUS,
// CBN_DROPDOWN), a click on an item selects it and closes the list (CBN_SELENDOK, CBN_CLOSEUP, then
// CBN_SELCHANGE when the selection changed), the order Wine's combo box follows. The arrow keys on a
// closed list move the selection and send CBN_SELCHANGE. CB_SETCURSEL from code notifies nothing.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/control_state.h"
#include "platform/win32/system_classes.h"

namespace platform {
namespace {

struct Item {
    std::wstring text;
    LPARAM data = 0;
};

struct Combo {
    std::vector<Item> items;
    int selection = CB_ERR;
    bool dropped = false;
    HFONT font = nullptr;
};

bool sorted(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & CBS_SORT) != 0;
}

int compareText(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str());
}

int insert(HWND hwnd, Combo* c, int at, LPCWSTR text) {
    if (!text) text = L"";
    if (at < 0 || at > int(c->items.size())) at = int(c->items.size());
    if (sorted(hwnd)) {
        at = 0;
        while (at < int(c->items.size()) && compareText(c->items[size_t(at)].text, text) <= 0) ++at;
    }
    c->items.insert(c->items.begin() + at, Item{text, 0});
    if (c->selection >= at) ++c->selection;
    StateChanged(hwnd);
    return at;
}

void select(HWND hwnd, Combo* c, int index, bool notify) {
    const int before = c->selection;
    c->selection = index;
    StateChanged(hwnd);
    if (notify && before != index) NotifyParent(hwnd, CBN_SELCHANGE);
}

void closeList(HWND hwnd, Combo* c, bool chosen) {
    if (!c->dropped) return;
    c->dropped = false;
    NotifyParent(hwnd, chosen ? CBN_SELENDOK : CBN_SELENDCANCEL);
    StateChanged(hwnd);
    NotifyParent(hwnd, CBN_CLOSEUP);
}

} // namespace

// A click on item `index` of a dropped list (user_input.cpp plays it).
void ChooseDroppedComboItem(HWND hwnd, int index) {
    Combo* c = ControlState<Combo>(hwnd);
    if (!c || !c->dropped || index < 0 || index >= int(c->items.size())) return;
    const int before = c->selection;
    c->selection = index;
    closeList(hwnd, c, true);
    if (before != index) NotifyParent(hwnd, CBN_SELCHANGE);
}

LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (ControlLifetime<Combo>(hwnd, msg, lParam, result)) return result;
    Combo* c = ControlState<Combo>(hwnd);
    if (!c) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const int count = int(c->items.size());
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
        NotifyParent(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        closeList(hwnd, c, false);
        NotifyParent(hwnd, CBN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        if (c->dropped) {
            closeList(hwnd, c, false);
        } else {
            NotifyParent(hwnd, CBN_DROPDOWN);
            c->dropped = true;
            StateChanged(hwnd);
        }
        return 0;
    case WM_KEYDOWN: {
        int next = c->selection;
        switch (wParam) {
        case VK_UP:
        case VK_LEFT:
            next = c->selection <= 0 ? 0 : c->selection - 1;
            break;
        case VK_DOWN:
        case VK_RIGHT:
            next = c->selection < 0 ? 0 : std::min(c->selection + 1, count - 1);
            break;
        case VK_HOME:
            next = 0;
            break;
        case VK_END:
            next = count - 1;
            break;
        case VK_RETURN:
            closeList(hwnd, c, true);
            return 0;
        case VK_ESCAPE:
            closeList(hwnd, c, false);
            return 0;
        default:
            return 0;
        }
        if (count > 0) select(hwnd, c, next, true);
        return 0;
    }
    case WM_ENABLE:
        if (!wParam) closeList(hwnd, c, false);
        StateChanged(hwnd);
        return 0;
    case WM_SETFONT:
        c->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(c->font);
    case WM_SETTEXT:
        return CB_ERR; // a drop-down list shows its selection only
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0) return 0;
        const std::wstring text = c->selection >= 0 ? c->items[size_t(c->selection)].text : L"";
        const size_t n = std::min(text.size(), size_t(wParam) - 1);
        text.copy(buffer, n);
        buffer[n] = L'\0';
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
        return c->selection >= 0 ? LRESULT(c->items[size_t(c->selection)].text.size()) : 0;
    case CB_ADDSTRING:
        return insert(hwnd, c, -1, reinterpret_cast<LPCWSTR>(lParam));
    case CB_INSERTSTRING:
        if (int(wParam) > count) return CB_ERR;
        return insert(hwnd, c, int(wParam), reinterpret_cast<LPCWSTR>(lParam));
    case CB_DELETESTRING: {
        const int at = int(wParam);
        if (at < 0 || at >= count) return CB_ERR;
        c->items.erase(c->items.begin() + at);
        if (c->selection == at)
            c->selection = CB_ERR;
        else if (c->selection > at)
            --c->selection;
        StateChanged(hwnd);
        return LRESULT(c->items.size());
    }
    case CB_RESETCONTENT:
        c->items.clear();
        c->selection = CB_ERR;
        StateChanged(hwnd);
        return CB_OKAY;
    case CB_GETCOUNT:
        return count;
    case CB_GETCURSEL:
        return c->selection;
    case CB_SETCURSEL: {
        const int at = int(wParam);
        // An index outside the list clears the selection and answers CB_ERR.
        select(hwnd, c, at >= 0 && at < count ? at : CB_ERR, false);
        return at >= 0 && at < count ? at : CB_ERR;
    }
    case CB_GETLBTEXT: {
        const int at = int(wParam);
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (at < 0 || at >= count || !buffer) return CB_ERR;
        const std::wstring& text = c->items[size_t(at)].text;
        text.copy(buffer, text.size());
        buffer[text.size()] = L'\0';
        return LRESULT(text.size());
    }
    case CB_GETLBTEXTLEN: {
        const int at = int(wParam);
        return at >= 0 && at < count ? LRESULT(c->items[size_t(at)].text.size()) : CB_ERR;
    }
    case CB_FINDSTRINGEXACT: {
        auto* text = reinterpret_cast<LPCWSTR>(lParam);
        if (!text || count == 0) return CB_ERR;
        const int start = int(wParam) < -1 || int(wParam) >= count ? -1 : int(wParam);
        for (int i = 1; i <= count; ++i) {
            const int at = (start + i) % count;
            if (compareText(c->items[size_t(at)].text, text) == 0) return at;
        }
        return CB_ERR;
    }
    case CB_GETITEMDATA: {
        const int at = int(wParam);
        return at >= 0 && at < count ? c->items[size_t(at)].data : CB_ERR;
    }
    case CB_SETITEMDATA: {
        const int at = int(wParam);
        if (at < 0 || at >= count) return CB_ERR;
        c->items[size_t(at)].data = lParam;
        return TRUE;
    }
    case CB_SHOWDROPDOWN:
        if (wParam && !c->dropped) {
            NotifyParent(hwnd, CBN_DROPDOWN);
            c->dropped = true;
            StateChanged(hwnd);
        } else if (!wParam) {
            closeList(hwnd, c, false);
        }
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return c->dropped ? TRUE : FALSE;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform
