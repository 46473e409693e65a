// The dialog template reader, and the dialog manager over what it reads. Each input is read as a
// template of either layout; one that reads must read back the same once written in the extended
// layout, and a dialog made from it (headless: nothing here opens the display) is created and
// destroyed without fault.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <windows.h>

#include "platform/win32/dialog.h"
#include "platform/win32/dialog_template.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "dialog template fuzzer: %s\n", what);
    std::abort();
}

INT_PTR CALLBACK Procedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG; // focus goes to the first tab stop
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::DialogTemplate dialog;
    if (!platform::ParseDialogTemplate(data, size, dialog)) return 0;

    const std::vector<uint8_t> written = platform::BuildDialogTemplate(dialog);
    platform::DialogTemplate reread;
    if (!platform::ParseDialogTemplate(written.data(), written.size(), reread))
        fail("a written template does not read");
    dialog.extended = true; // the layout it was written in
    if (!(reread == dialog)) fail("a written template reads back as another dialog");

    HWND window =
        platform::CreateDialogFromBytes(GetModuleHandleW(nullptr), data, size, nullptr, Procedure, 0);
    if (window && !DestroyWindow(window)) fail("a dialog made from a template cannot be destroyed");
    // Messages the dialog posted to this thread go with it.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    return 0;
}
