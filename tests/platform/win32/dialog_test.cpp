// Dialogs from templates and the controls on them, driven as a person would (user_input.h): the
// template compiled from resources_test.rc, controls at their rectangles, and the messages each input
// sends in Windows' order.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <commctrl.h>
#include <windows.h>

#include "platform/win32/dialog_template.h"
#include "platform/win32/fault_injection.h"
#include "platform/win32/user_input.h"
#include "platform/win32/windowing.h"

namespace {

namespace input = platform::input;

// The messages a window received, as short names with their parameters.
struct Log {
    std::vector<std::string> entries;
    void add(const std::string& s) { entries.push_back(s); }
    std::vector<std::string> take() { return std::exchange(entries, {}); }
};
Log g_log;

std::string describe(UINT msg, WPARAM w, LPARAM l) {
    auto hex = [](uintptr_t v) {
        char b[20];
        snprintf(b, sizeof b, "%lx", static_cast<unsigned long>(v));
        return std::string(b);
    };
    switch (msg) {
    case WM_COMMAND:
        return "command " + std::to_string(LOWORD(w)) + " " + std::to_string(HIWORD(w));
    case WM_HSCROLL:
        return "hscroll " + std::to_string(LOWORD(w)) + " " + std::to_string(HIWORD(w));
    case WM_INITDIALOG:
        return "initdialog " + hex(l);
    case WM_SETFONT:
        return "setfont";
    case WM_MOUSEMOVE:
        return "mousemove";
    case WM_LBUTTONDOWN:
        return "lbuttondown";
    case WM_LBUTTONUP:
        return "lbuttonup";
    case WM_SETFOCUS:
        return "setfocus";
    case WM_KILLFOCUS:
        return "killfocus";
    case WM_CAPTURECHANGED:
        return "capturechanged";
    case BM_SETSTATE:
        return "setstate " + std::to_string(w);
    case BM_SETCHECK:
        return "setcheck " + std::to_string(w);
    default:
        return "";
    }
}

INT_PTR CALLBACK recordingDialog(HWND, UINT msg, WPARAM w, LPARAM l) {
    const std::string d = describe(msg, w, l);
    if (!d.empty()) g_log.add("dialog " + d);
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

WNDPROC g_buttonProc = nullptr;
LRESULT CALLBACK recordingButton(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    const std::string d = describe(msg, w, l);
    if (!d.empty() && msg != WM_SETFONT) g_log.add("button " + d);
    return CallWindowProcW(g_buttonProc, hwnd, msg, w, l);
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        windowsBefore_ = platform::LiveWindowCount();
        g_log.take();
        dialog_ = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(100), nullptr, recordingDialog, 0x1234);
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override {
        if (IsWindow(dialog_)) DestroyWindow(dialog_);
        EXPECT_EQ(platform::LiveWindowCount(), windowsBefore_);
    }
    HWND item(int id) { return GetDlgItem(dialog_, id); }
    RECT rect(int id) {
        RECT r{}, d{};
        GetWindowRect(item(id), &r);
        GetWindowRect(dialog_, &d);
        OffsetRect(&r, -d.left, -d.top);
        return r;
    }

    HWND dialog_ = nullptr;
    size_t windowsBefore_ = 0;
};

std::string text(HWND hwnd) {
    wchar_t buffer[64];
    GetWindowTextW(hwnd, buffer, 64);
    std::string s;
    for (wchar_t* p = buffer; *p; ++p) s += char(*p);
    return s;
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(DialogTest, TemplateBecomesControlsAtTheirRectangles) {
    // WM_SETFONT, then WM_INITDIALOG with the creation parameter.
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog setfont", "dialog initdialog 1234"}));
    // "MS Shell Dlg" 8 gives base units 6 x 13: 200 x 100 dialog units are 300 x 163 pixels.
    RECT client;
    GetClientRect(dialog_, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 163);
    RECT units{0, 0, 4, 8};
    ASSERT_TRUE(MapDialogRect(dialog_, &units));
    EXPECT_EQ(units.right, 6);
    EXPECT_EQ(units.bottom, 13);
    // The trackbar at 30, 44, 100 x 15 dialog units.
    EXPECT_TRUE(sameRect(rect(301), RECT{45, 72, 195, 96}));
    EXPECT_TRUE(sameRect(rect(IDOK), RECT{210, 130, 285, 153}));

    wchar_t cls[32];
    struct Expect {
        int id;
        const char* text;
        DWORD style;
    };
    const Expect expected[] = {{201, "A", WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON},
                               {203, "C", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_AUTORADIOBUTTON},
                               {IDOK, "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
                               {501, "v", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_RIGHT}};
    for (const Expect& e : expected) {
        EXPECT_EQ(text(item(e.id)), e.text);
        EXPECT_EQ(DWORD(GetWindowLongW(item(e.id), GWL_STYLE)), e.style) << e.id;
        EXPECT_EQ(GetDlgCtrlID(item(e.id)), e.id);
    }
    EXPECT_EQ(DWORD(GetWindowLongW(item(501), GWL_EXSTYLE)), DWORD(WS_EX_RIGHT | WS_EX_NOPARENTNOTIFY));
    // Children keep template order; the first is the group box.
    HWND first = GetWindow(dialog_, GW_CHILD);
    EXPECT_EQ(GetDlgCtrlID(first), IDC_STATIC);
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), item(201));
    // The first tab stop has the focus, as the procedure answered TRUE.
    EXPECT_EQ(GetFocus(), item(201));
    EXPECT_EQ(SendDlgItemMessageW(dialog_, IDOK, WM_GETDLGCODE, 0, 0), LRESULT(DLGC_BUTTON | DLGC_DEFPUSHBUTTON));
    EXPECT_EQ(SendMessageW(dialog_, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    // Each control is of the class its template names; the dialog of the dialog class.
    EXPECT_EQ(GetClassNameW(item(301), cls, 32), 17);
    EXPECT_STREQ(cls, L"msctls_trackbar32");
    EXPECT_EQ(GetClassNameW(item(IDOK), cls, 32), 6);
    EXPECT_STREQ(cls, L"Button");
    EXPECT_EQ(GetClassNameW(dialog_, cls, 4), 3); // cut to the buffer, terminated
    EXPECT_STREQ(cls, L"#32");
    EXPECT_EQ(GetClassNameW(nullptr, cls, 32), 0);
}

TEST_F(DialogTest, TemplateParsesAndRebuildsToTheSameBytes) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(100), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    const size_t size = SizeofResource(nullptr, found);
    platform::DialogTemplate t;
    ASSERT_TRUE(platform::ParseDialogTemplate(bytes, size, t));
    EXPECT_EQ(t.items.size(), 12u);
    EXPECT_EQ(t.typeface, L"MS Shell Dlg");
    EXPECT_EQ(t.items[7].windowClass.text, L"msctls_trackbar32");
    EXPECT_EQ(platform::BuildDialogTemplate(t), std::vector<uint8_t>(bytes, bytes + size));
    // Every shorter prefix is refused (the last item may go without its padding).
    for (size_t n = 0; n + 2 < size; ++n) EXPECT_FALSE(platform::ParseDialogTemplate(bytes, n, t)) << n;
}

TEST(Dialog, FailedControlsFailTheDialog) {
    const size_t before = platform::LiveWindowCount();
    platform::DialogTemplate t;
    t.style = WS_POPUP;
    t.cx = 50;
    t.cy = 20;
    platform::DialogItemTemplate unknown;
    unknown.style = WS_VISIBLE;
    unknown.windowClass.text = L"NoSuchClass";
    t.items = {unknown};
    std::vector<uint8_t> bytes = platform::BuildDialogTemplate(t);
    EXPECT_EQ(CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
                                         recordingDialog, 0),
              nullptr);
    EXPECT_EQ(platform::LiveWindowCount(), before);
    // DS_NOFAILCREATE keeps the dialog without the control.
    t.style |= DS_NOFAILCREATE;
    bytes = platform::BuildDialogTemplate(t);
    HWND dialog = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
                                             recordingDialog, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_CHILD), nullptr);
    DestroyWindow(dialog);
    EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(99), nullptr, recordingDialog, 0), nullptr);
}

TEST_F(DialogTest, ClickingAnAutomaticRadioButtonInWindowsOrder) {
    g_buttonProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(item(202), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordingButton)));
    SendDlgItemMessageW(dialog_, 201, BM_SETCHECK, BST_CHECKED, 0);
    g_log.take();
    ASSERT_TRUE(input::Click(item(202)));
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"button mousemove", "button lbuttondown", "button setfocus",
                                                      "button setstate 1", "button lbuttonup", "button setstate 0",
                                                      "button setcheck 1", "button capturechanged",
                                                      "dialog command 202 0"}));
    // Only its own group changes.
    SendDlgItemMessageW(dialog_, 211, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 201), 0u);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 202), 1u);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 211), 1u);
    input::Click(item(201));
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 202), 0u);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 211), 1u);
    // The checked radio button is the group's tab stop.
    EXPECT_TRUE(GetWindowLongW(item(201), GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(GetWindowLongW(item(202), GWL_STYLE) & WS_TABSTOP);
    // A disabled or hidden button cannot be clicked.
    g_log.take();
    EXPECT_FALSE(input::Click(item(203)));
    ShowWindow(item(212), SW_HIDE);
    EXPECT_FALSE(input::Click(item(212)));
    EXPECT_TRUE(g_log.take().empty());
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 203), 0u);
    // A click on the group box reaches the dialog, not the box.
    EXPECT_TRUE(input::Click(GetWindow(dialog_, GW_CHILD)));
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog mousemove", "dialog lbuttondown", "dialog lbuttonup"}));
    // CheckRadioButton sets a range by id.
    CheckRadioButton(dialog_, 211, 212, 212);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 211), 0u);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 212), 1u);
}

TEST_F(DialogTest, ButtonsHoldAnImage) {
    HICON a = reinterpret_cast<HICON>(uintptr_t(0x10)), b = reinterpret_cast<HICON>(uintptr_t(0x20));
    EXPECT_EQ(SendDlgItemMessageW(dialog_, 201, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(a)), 0);
    EXPECT_EQ(SendDlgItemMessageW(dialog_, 201, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(b)),
              reinterpret_cast<LRESULT>(a));
    EXPECT_EQ(SendDlgItemMessageW(dialog_, 201, BM_GETIMAGE, IMAGE_ICON, 0), reinterpret_cast<LRESULT>(b));
    EXPECT_EQ(SendDlgItemMessageW(dialog_, 201, BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
}

TEST_F(DialogTest, TrackbarReportsDragsPagesAndKeys) {
    HWND slider = item(301);
    EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 100);
    SendMessageW(slider, TBM_SETPOS, TRUE, 30);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 30);
    g_log.take();
    ASSERT_TRUE(input::DragTrackbar(slider, 70));
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 70);
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog hscroll 5 70", "dialog hscroll 4 70", "dialog hscroll 8 0"}));
    EXPECT_EQ(GetFocus(), slider);

    ASSERT_TRUE(input::ClickTrackbarPage(slider, false));
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 90);
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog hscroll 3 0", "dialog hscroll 8 0"}));
    ASSERT_TRUE(input::ClickTrackbarPage(slider, true));
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 70);
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog hscroll 2 0", "dialog hscroll 8 0"}));

    ASSERT_TRUE(input::PressKey(slider, VK_RIGHT));
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 71);
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog hscroll 1 0", "dialog hscroll 8 0"}));
    input::PressKey(slider, VK_END);
    g_log.take();
    // At the end of the range an arrow moves nothing and reports only the key's release.
    input::PressKey(slider, VK_RIGHT);
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog hscroll 8 0"}));
    // Code that sets the position or range reports nothing; a range change clamps and resets the page.
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELONG(0, 50));
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 50);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPAGESIZE, 0, 0), 10);
    SendMessageW(slider, TBM_SETPOS, TRUE, -5);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 0);
    EXPECT_TRUE(g_log.take().empty());
}

TEST_F(DialogTest, DropDownListChoiceInWindowsOrder) {
    HWND list = item(401);
    g_log.take();
    for (const wchar_t* s : {L"1440x1440(15fps)", L"1280x720(30fps)"})
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), CB_ERR);
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    EXPECT_TRUE(g_log.take().empty()); // code's selection is not reported
    ASSERT_TRUE(input::ChooseListItem(list, 1));
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog command 401 3", "dialog command 401 7", "dialog command 401 9",
                                                      "dialog command 401 8", "dialog command 401 1"}));
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(text(list), "1280x720(30fps)");
    // Choosing the same item again changes nothing.
    input::ChooseListItem(list, 1);
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog command 401 7", "dialog command 401 9", "dialog command 401 8"}));
    // The up arrow on the closed list moves the selection and says so.
    input::PressKey(list, VK_UP);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog command 401 1"}));
    EXPECT_EQ(SendMessageW(list, CB_SETCURSEL, 5, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), CB_ERR);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(input::ChooseListItem(list, 0));
}

TEST_F(DialogTest, KeyboardMovesAmongTabStopsAndPressesButtons) {
    // Tab stops in order: the first radio button, the trackbar, the list, OK, Cancel.
    EXPECT_EQ(GetNextDlgTabItem(dialog_, item(201), FALSE), item(301));
    EXPECT_EQ(GetNextDlgTabItem(dialog_, item(IDCANCEL), FALSE), item(201));
    EXPECT_EQ(GetNextDlgTabItem(dialog_, item(201), TRUE), item(IDCANCEL));
    input::PressKey(item(201), VK_TAB);
    EXPECT_EQ(GetFocus(), item(301));
    g_log.take();
    // The arrows move within a radio group and click the button they reach; C is disabled.
    SendDlgItemMessageW(dialog_, 201, BM_SETCHECK, BST_CHECKED, 0);
    input::PressKey(item(201), VK_RIGHT);
    EXPECT_EQ(GetFocus(), item(202));
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 202), 1u);
    input::PressKey(item(202), VK_RIGHT);
    EXPECT_EQ(GetFocus(), item(201));
    // Enter presses the default button, Escape Cancel.
    input::PressKey(item(201), VK_RETURN);
    input::PressKey(item(201), VK_ESCAPE);
    EXPECT_EQ(g_log.take(), (std::vector<std::string>{"dialog command 202 0", "dialog command 201 0", "dialog command 1 0",
                                                      "dialog command 2 0"}));
}

// The owner of a modal dialog plays the person: each time the dialog's queue is empty, one step.
int g_step = 0;
LRESULT CALLBACK owner(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_ENTERIDLE && w == MSGF_DIALOGBOX) {
        HWND dialog = reinterpret_cast<HWND>(l);
        EXPECT_FALSE(IsWindowEnabled(hwnd));
        if (g_step++ == 0)
            input::Click(GetDlgItem(dialog, 202));
        else
            input::Click(GetDlgItem(dialog, IDOK));
        // Windows sends WM_ENTERIDLE once per idle spell; input that came through the queue ends it.
        PostMessageW(dialog, WM_NULL, 0, 0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

INT_PTR CALLBACK endsOnCommand(HWND dialog, UINT msg, WPARAM w, LPARAM) {
    if (msg == WM_COMMAND && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(w) == IDOK ? 42 : 7);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

TEST(Dialog, ModalLoopRunsUntilEndDialog) {
    const size_t before = platform::LiveWindowCount();
    WNDCLASSW wc{};
    wc.lpfnWndProc = owner;
    wc.lpszClassName = L"dialog test owner";
    RegisterClassW(&wc);
    HWND ownerWindow = CreateWindowExW(0, L"dialog test owner", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
    g_step = 0;
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(100), ownerWindow, endsOnCommand, 0), 42);
    EXPECT_EQ(g_step, 2);
    EXPECT_TRUE(IsWindowEnabled(ownerWindow));
    DestroyWindow(ownerWindow);
    UnregisterClassW(L"dialog test owner", nullptr);
    EXPECT_EQ(platform::LiveWindowCount(), before);
}

TEST(MessageQueue, PostedMessagesComeBeforeTimersAndQuitEndsTheLoop) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"queue test";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, L"queue test", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(SetTimer(w, 9, 10, nullptr));
    Sleep(20);
    PostMessageW(w, WM_APP, 1, 0);
    PostMessageW(w, WM_APP, 2, 0);
    MSG m;
    std::vector<UINT> order;
    for (int i = 0; i < 3 && GetMessageW(&m, nullptr, 0, 0); ++i) order.push_back(m.message == WM_TIMER ? 0 : UINT(m.wParam));
    EXPECT_EQ(order, (std::vector<UINT>{1, 2, 0}));
    EXPECT_TRUE(KillTimer(w, 9));
    EXPECT_FALSE(KillTimer(w, 9));
    PostQuitMessage(3);
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT(WM_QUIT));
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(w);
    UnregisterClassW(L"queue test", nullptr);
}

} // namespace
