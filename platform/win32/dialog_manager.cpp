// The dialog manager: dialogs made from templates, their default procedure, modal loops and keyboard
// navigation.
//
// Creating a dialog follows Windows: the template's font is created and gives the dialog base units
// (its average character width and height; see fonts.h), the dialog window is created hidden with
// those units applied to the template's rectangle, DWLP_DLGPROC is set, WM_SETFONT goes to the
// dialog, each control is created in template order and gets WM_SETFONT, then WM_INITDIALOG with the
// first tab stop (focused when the dialog procedure answers TRUE), and the dialog is shown when the
// template asked for WS_VISIBLE.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "platform/win32/debug.h"
#include "platform/win32/dialog.h"
#include "platform/win32/dialog_template.h"
#include "platform/win32/fonts.h"
#include "platform/win32/system_classes.h"

namespace platform {
namespace {

struct DialogInfo {
    HFONT font = nullptr; // created from the template; deleted with the dialog
    LONG unitX = 8, unitY = 16;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    WORD defaultId = IDOK;
    HWND savedFocus = nullptr;
};

struct Dialogs {
    std::mutex mutex;
    std::map<HWND, std::shared_ptr<DialogInfo>> byWindow;
};

Dialogs& dialogs() {
    static auto* d = new Dialogs;
    return *d;
}

std::shared_ptr<DialogInfo> infoOf(HWND hwnd) {
    auto& d = dialogs();
    std::lock_guard lock(d.mutex);
    auto it = d.byWindow.find(hwnd);
    return it == d.byWindow.end() ? nullptr : it->second;
}

void forget(HWND hwnd) {
    std::shared_ptr<DialogInfo> info;
    {
        auto& d = dialogs();
        std::lock_guard lock(d.mutex);
        auto it = d.byWindow.find(hwnd);
        if (it == d.byWindow.end()) return;
        info = it->second;
        d.byWindow.erase(it);
    }
    if (info->font) DeleteObject(info->font);
}

LONG mul(LONG v, LONG unit, LONG divisor) {
    return LONG(MulDiv(v, unit, divisor));
}

std::wstring className(const DialogName& n) {
    if (!n.isOrdinal) return n.text;
    const wchar_t* name = PredefinedClassName(n.ordinal);
    return name ? name : L"";
}

// Messages whose answer is the dialog procedure's return value rather than DWLP_MSGRESULT.
bool answersDirectly(UINT msg) {
    switch (msg) {
    case WM_INITDIALOG:
    case 0x0132: // WM_CTLCOLORMSGBOX .. WM_CTLCOLORSTATIC
    case 0x0133:
    case 0x0134:
    case 0x0135:
    case 0x0136:
    case 0x0137:
    case 0x0138:
    case 0x0039: // WM_COMPAREITEM
    case 0x002E: // WM_VKEYTOITEM
    case 0x002F: // WM_CHARTOITEM
    case 0x0037: // WM_QUERYDRAGICON
        return true;
    default:
        return false;
    }
}

} // namespace

HWND CreateDialogFromBytes(HINSTANCE instance, const uint8_t* bytes, size_t size, HWND parent, DLGPROC proc,
                           LPARAM param) {
    EnsureSystemClasses();
    DialogTemplate t;
    if (!ParseDialogTemplate(bytes, size, t)) {
        WARN("win32", "not a dialog template (%zu bytes)", size);
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto info = std::make_shared<DialogInfo>();
    if (t.style & DS_SETFONT) {
        LOGFONTW font{};
        font.lfHeight = -MulDiv(t.pointSize, 96, 72);
        font.lfWeight = t.weight ? t.weight : FW_NORMAL;
        font.lfItalic = t.italic;
        font.lfCharSet = t.charset;
        t.typeface.copy(font.lfFaceName, std::min<size_t>(t.typeface.size(), LF_FACESIZE - 1));
        info->font = CreateFontIndirectW(&font);
        if (!info->font) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        const FontMetrics m = ModelFontMetrics(font);
        info->unitX = m.aveCharWidth;
        info->unitY = m.height;
    }
    LONG x = mul(t.x, info->unitX, 4), y = mul(t.y, info->unitY, 8);
    const LONG width = mul(t.cx, info->unitX, 4), height = mul(t.cy, info->unitY, 8);
    if (t.style & DS_CENTER) {
        RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (parent) GetWindowRect(parent, &area);
        x = (area.left + area.right - width) / 2;
        y = (area.top + area.bottom - height) / 2;
    } else if (parent && !(t.style & WS_CHILD)) {
        POINT origin{x, y};
        ClientToScreen(parent, &origin);
        x = origin.x;
        y = origin.y;
    }
    DWORD exStyle = t.exStyle;
    if (t.style & DS_CONTROL) exStyle |= WS_EX_CONTROLPARENT;
    const std::wstring cls = className(t.windowClass);
    LPCWSTR classArg = t.windowClass.isOrdinal || !cls.empty() ? cls.c_str() : WC_DIALOG;
    if (t.windowClass.isOrdinal && cls.empty()) classArg = MAKEINTATOM(t.windowClass.ordinal);

    HWND dialog = CreateWindowExW(exStyle, classArg, t.title.c_str(), t.style & ~WS_VISIBLE, x, y, width, height,
                                  parent, nullptr, instance, nullptr);
    if (!dialog) {
        if (info->font) DeleteObject(info->font);
        return nullptr;
    }
    {
        auto& d = dialogs();
        std::lock_guard lock(d.mutex);
        d.byWindow[dialog] = info;
    }
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (info->font) SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(info->font), 0);

    for (const DialogItemTemplate& item : t.items) {
        const std::wstring itemClass = className(item.windowClass);
        std::wstring title = item.title.text;
        if (item.title.isOrdinal) title = std::wstring{wchar_t(0xFFFF), wchar_t(item.title.ordinal)};
        LPCWSTR itemClassArg = itemClass.c_str();
        if (item.windowClass.isOrdinal && itemClass.empty()) itemClassArg = MAKEINTATOM(item.windowClass.ordinal);
        HWND control = CreateWindowExW(
            item.exStyle | WS_EX_NOPARENTNOTIFY, itemClassArg, title.c_str(), item.style | WS_CHILD,
            mul(item.x, info->unitX, 4), mul(item.y, info->unitY, 8), mul(item.cx, info->unitX, 4),
            mul(item.cy, info->unitY, 8), dialog, reinterpret_cast<HMENU>(uintptr_t(item.id)), instance,
            item.creationData.empty() ? nullptr : const_cast<uint8_t*>(item.creationData.data()));
        if (!control) {
            WARN("win32", "cannot create control %u of class %ls", unsigned(item.id), itemClass.c_str());
            if (t.style & DS_NOFAILCREATE) continue;
            DestroyWindow(dialog);
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (info->font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(info->font), FALSE);
    }
    for (const DialogItemTemplate& item : t.items)
        if ((item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && PredefinedClassName(0x80) == className(item.windowClass))
            info->defaultId = WORD(item.id);

    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && first && IsWindow(first))
        SetFocus(first);
    if (!IsWindow(dialog)) return nullptr; // the dialog procedure destroyed it
    if (t.style & WS_VISIBLE) ShowWindow(dialog, SW_SHOWNORMAL);
    return dialog;
}

bool GetDialogUnits(HWND dialog, LONG& unitX, LONG& unitY) {
    std::shared_ptr<DialogInfo> info = infoOf(dialog);
    if (!info) return false;
    unitX = info->unitX;
    unitY = info->unitY;
    return true;
}

} // namespace platform

using platform::DialogInfo;

// number * numerator / denominator through 64 bits, rounded half away from zero as Windows rounds.
int WINAPI MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    int64_t p = int64_t(number) * numerator, d = denominator;
    if (d < 0) {
        p = -p;
        d = -d;
    }
    const int64_t q = p >= 0 ? (p + d / 2) / d : -((-p + d / 2) / d);
    return q > INT32_MAX || q < INT32_MIN ? -1 : int(q);
}

HWND WINAPI CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW tmpl, HWND parent, DLGPROC proc,
                                       LPARAM param) {
    if (!tmpl) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Windows reads a template in memory without knowing its size, and so does this.
    return platform::CreateDialogFromBytes(instance, reinterpret_cast<const uint8_t*>(tmpl), SIZE_MAX / 2, parent,
                                           proc, param);
}

HWND WINAPI CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    HRSRC found = FindResourceW(instance, name, RT_DIALOG);
    if (!found) return nullptr;
    const void* bytes = LockResource(LoadResource(instance, found));
    if (!bytes) return nullptr;
    return platform::CreateDialogFromBytes(instance, static_cast<const uint8_t*>(bytes),
                                           SizeofResource(instance, found), parent, proc, param);
}

namespace {

INT_PTR runModal(HWND dialog, HWND owner) {
    if (!dialog) return -1;
    std::shared_ptr<DialogInfo> info = platform::infoOf(dialog);
    info->modal = true;
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOWNORMAL);
    const bool idleMessages = owner && !(GetWindowLongW(dialog, GWL_STYLE) & DS_NOIDLEMSG);
    while (!info->ended && IsWindow(dialog)) {
        MSG msg;
        if (idleMessages && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            SendMessageW(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(dialog));
            if (info->ended || !IsWindow(dialog)) break;
        }
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(int(msg.wParam)); // for the loop outside
            break;
        }
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    const INT_PTR result = info->ended ? info->result : 0;
    if (IsWindow(dialog)) DestroyWindow(dialog);
    return result;
}

} // namespace

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW tmpl, HWND owner, DLGPROC proc,
                                       LPARAM param) {
    return runModal(CreateDialogIndirectParamW(instance, tmpl, owner, proc, param), owner);
}

INT_PTR WINAPI DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    return runModal(CreateDialogParamW(instance, name, owner, proc, param), owner);
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    std::shared_ptr<DialogInfo> info = platform::infoOf(dialog);
    if (!info) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    info->ended = true;
    info->result = result;
    ShowWindow(dialog, SW_HIDE);
    PostMessageW(dialog, WM_NULL, 0, 0); // wakes the modal loop
    return TRUE;
}

LRESULT WINAPI DefDlgProcW(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
    const INT_PTR handled = proc ? proc(dialog, msg, wParam, lParam) : 0;
    if (msg == WM_NCDESTROY) platform::forget(dialog);
    if (!IsWindow(dialog)) return handled;
    if (handled) return platform::answersDirectly(msg) ? handled : GetWindowLongPtrW(dialog, DWLP_MSGRESULT);
    std::shared_ptr<DialogInfo> info = platform::infoOf(dialog);
    switch (msg) {
    case WM_INITDIALOG:
        return 0;
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel))
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case DM_GETDEFID:
        return info ? MAKELONG(info->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        if (info) info->defaultId = WORD(wParam);
        return TRUE;
    case WM_NEXTDLGCTL: {
        HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(dialog, GetFocus(), wParam ? TRUE : FALSE);
        if (next) SetFocus(next);
        return 0;
    }
    case WM_KILLFOCUS:
        if (info) info->savedFocus = reinterpret_cast<HWND>(wParam);
        return 0;
    case WM_SETFOCUS: {
        HWND back = info && info->savedFocus && IsChild(dialog, info->savedFocus) ? info->savedFocus
                                                                                    : GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (back) SetFocus(back);
        return 0;
    }
    case WM_NCDESTROY:
        return 0;
    default:
        return DefWindowProcW(dialog, msg, wParam, lParam);
    }
}

// Keyboard navigation of a dialog: Tab moves among tab stops, the arrows within a group (clicking an
// automatic radio button they reach), Enter presses the default button and Escape Cancel; a control
// that asks for a key (WM_GETDLGCODE) gets it. Every other message is dispatched.
BOOL WINAPI IsDialogMessageW(HWND dialog, LPMSG msg) {
    if (!msg || !dialog || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
    if (msg->message == WM_KEYDOWN) {
        const LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (!(code & DLGC_WANTALLKEYS)) {
            switch (msg->wParam) {
            case VK_TAB:
                if (code & DLGC_WANTTAB) break;
                SendMessageW(dialog, WM_NEXTDLGCTL, 0, 0);
                return TRUE;
            case VK_LEFT:
            case VK_UP:
            case VK_RIGHT:
            case VK_DOWN: {
                if (code & DLGC_WANTARROWS) break;
                const BOOL back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
                HWND next = GetNextDlgGroupItem(GetParent(msg->hwnd), msg->hwnd, back);
                if (next && next != msg->hwnd) {
                    SetFocus(next);
                    if ((GetWindowLongW(next, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
                        (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
                        SendMessageW(next, BM_CLICK, 0, 0);
                }
                return TRUE;
            }
            case VK_ESCAPE:
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
                return TRUE;
            case VK_RETURN: {
                if (code & DLGC_WANTALLKEYS) break;
                const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
                int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
                if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) id = GetDlgCtrlID(msg->hwnd);
                HWND button = GetDlgItem(dialog, id);
                if (button && !IsWindowEnabled(button)) return TRUE;
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
                return TRUE;
            }
            default:
                break;
            }
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    LONG x, y;
    if (!rect || !platform::GetDialogUnits(dialog, x, y)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    rect->left = platform::mul(rect->left, x, 4);
    rect->right = platform::mul(rect->right, x, 4);
    rect->top = platform::mul(rect->top, y, 8);
    rect->bottom = platform::mul(rect->bottom, y, 8);
    return TRUE;
}

// The system font's units, for dialogs without a font of their own.
LONG WINAPI GetDialogBaseUnits() {
    return MAKELONG(8, 16);
}
