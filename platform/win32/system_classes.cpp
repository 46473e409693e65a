// Registration of the system's window classes, once per process, with the atoms Windows gives them
// where programs may use the atom (the dialog class is WC_DIALOG, atom 0x8002).
#include "platform/win32/system_classes.h"

#include <mutex>

#include <commctrl.h>

namespace platform {

void EnsureSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct Entry {
            LPCWSTR name;
            WNDPROC proc;
            int extra;
            ATOM atom;
        };
        const Entry entries[] = {
            {L"#32769", DefWindowProcW, 0, 0x8001}, // the desktop
            {L"#32770", DefDlgProcW, DLGWINDOWEXTRA, 0x8002},
            {L"Button", ButtonProc, kControlExtraBytes, 0},
            {L"Static", StaticProc, kControlExtraBytes, 0},
            {L"ComboBox", ComboBoxProc, kControlExtraBytes, 0},
            {TRACKBAR_CLASSW, TrackbarProc, kControlExtraBytes, 0},
            {WC_TABCONTROLW, TabControlProc, kControlExtraBytes, 0},
        };
        for (const Entry& e : entries) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = e.proc;
            wc.cbWndExtra = e.extra;
            wc.lpszClassName = e.name;
            RegisterClassWithAtom(&wc, e.atom);
        }
    });
}

} // namespace platform

void WINAPI InitCommonControls() {
    platform::EnsureSystemClasses();
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    platform::EnsureSystemClasses();
    return TRUE;
}
