// The GTK 3 widgets that show the platform's windows (private to libwin32_gtk.so).
//
// Each window has one widget, made from its class and styles: a top-level window is a GtkWindow
// around a GtkFixed; a dialog or other window inside another is a GtkFixed; a control is the
// toolkit's own widget for it (GtkButton, GtkToggleButton with the icon, GtkRadioButton,
// GtkCheckButton, GtkFrame for a group box, GtkLabel or GtkImage for a static, GtkScale for a
// trackbar, GtkComboBoxText for a drop-down list, GtkNotebook for a tab control). Every widget sits in
// its parent's GtkFixed at the window's rectangle. The window's state is read through the Win32 calls
// and messages a program would use (GetWindowTextW, BM_GETCHECK, TBM_GETPOS, ...); a person's input on
// a widget becomes the input operation of user_input.h, and the widget then shows what the window
// made of it.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include <windows.h>

namespace platform::gtk {

enum class Kind {
    TopLevel,
    Container, // a child dialog or any other window with children of its own
    PushButton,
    IconToggle, // BS_ICON check or radio button: a toggle button showing the icon
    Radio,
    Check,
    GroupBox,
    Label,
    Picture, // SS_ICON or SS_BITMAP static
    Trackbar,
    ComboBox,
    Tabs,
};

struct Widget {
    HWND hwnd = nullptr;
    Kind kind = Kind::Container;
    std::wstring className;
    GtkWidget* outer = nullptr;   // what sits in the parent's GtkFixed (the GtkWindow for a top-level)
    GtkWidget* fixed = nullptr;   // where children go, for top-levels and containers
    GtkWidget* control = nullptr; // the widget that carries the control's state
    GtkWidget* partner = nullptr; // a radio button's hidden partner, active when the button is not
    bool dragging = false;        // a trackbar thumb held by the mouse
    double grabOffset = 0;        // pixels between the pointer and the thumb's centre
    LONG dragValue = 0;
};

// Decides what a window is shown as.
Kind KindOf(HWND hwnd, const std::wstring& className);

// Makes the widget for a window (not yet placed) and connects its signals.
void CreateWidget(Widget& w);
// Brings the widget up to the window's text, styles and control state.
void UpdateWidget(Widget& w);

// Set while the backend changes widgets itself, so that the signals this raises are not taken for a
// person's input.
extern bool g_updating;

// Called after a person's input on a widget: shows at once what the windows made of it.
void AfterInput(HWND hwnd);

std::string Utf8(const std::wstring& text);
// A control's text as the toolkit shows it: '&' mnemonics removed ("&&" is one '&').
std::string ControlText(HWND hwnd);

} // namespace platform::gtk
