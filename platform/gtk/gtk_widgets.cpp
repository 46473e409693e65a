#include "platform/gtk/gtk_widgets.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <vector>

#include <commctrl.h>

#include "platform/win32/icons.h"
#include "platform/win32/user_input.h"

namespace platform::gtk {

bool g_updating = false;

namespace {

LONG styleOf(HWND hwnd) {
    return GetWindowLongW(hwnd, GWL_STYLE);
}

bool same(const std::wstring& a, const wchar_t* b) {
    std::wstring x = a, y = b;
    for (auto& c : x) c = wchar_t(std::towlower(wint_t(c)));
    for (auto& c : y) c = wchar_t(std::towlower(wint_t(c)));
    return x == y;
}

// A copy of an icon's picture, or null.
GdkPixbuf* iconPixbuf(HICON icon) {
    IconPicture picture;
    if (!icon || !GetIconPicture(icon, picture) || picture.width <= 0) return nullptr;
    GBytes* bytes = g_bytes_new(picture.rgba.data(), picture.rgba.size());
    GdkPixbuf* p = gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, TRUE, 8, picture.width,
                                             picture.height, picture.width * 4);
    g_bytes_unref(bytes);
    return p;
}

// A copy of a 32-bit DIB's pixels (blue, green, red, unused), or null.
GdkPixbuf* bitmapPixbuf(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm || !bm.bmBits || bm.bmBitsPixel != 32)
        return nullptr;
    const int width = bm.bmWidth, height = std::abs(bm.bmHeight);
    const bool bottomUp = bm.bmHeight > 0;
    GdkPixbuf* p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
    if (!p) return nullptr;
    guchar* out = gdk_pixbuf_get_pixels(p);
    const int stride = gdk_pixbuf_get_rowstride(p);
    const auto* in = static_cast<const uint8_t*>(bm.bmBits);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = in + size_t(bottomUp ? height - 1 - y : y) * size_t(bm.bmWidthBytes);
        guchar* o = out + size_t(y) * size_t(stride);
        for (int x = 0; x < width; ++x) {
            o[3 * x] = row[4 * x + 2];
            o[3 * x + 1] = row[4 * x + 1];
            o[3 * x + 2] = row[4 * x];
        }
    }
    return p;
}

void setImage(GtkWidget* image, GdkPixbuf* pixbuf) {
    gtk_image_set_from_pixbuf(GTK_IMAGE(image), pixbuf);
    if (pixbuf) g_object_unref(pixbuf);
}

// The image widget inside a button, made on first use.
GtkWidget* buttonImage(GtkWidget* button) {
    GtkWidget* image = gtk_button_get_image(GTK_BUTTON(button));
    if (!image) {
        image = gtk_image_new();
        gtk_button_set_image(GTK_BUTTON(button), image);
        gtk_button_set_always_show_image(GTK_BUTTON(button), TRUE);
    }
    return image;
}

// The Win32 virtual key for a toolkit key, or 0.
UINT virtualKey(guint keyval) {
    switch (keyval) {
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        return VK_LEFT;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        return VK_RIGHT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        return VK_UP;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        return VK_DOWN;
    case GDK_KEY_Page_Up:
        return VK_PRIOR;
    case GDK_KEY_Page_Down:
        return VK_NEXT;
    case GDK_KEY_Home:
        return VK_HOME;
    case GDK_KEY_End:
        return VK_END;
    default:
        return 0;
    }
}

// Signals: each turns a person's input into the platform's input operation.

void onClicked(GtkButton*, gpointer data) {
    if (g_updating) return;
    auto* w = static_cast<Widget*>(data);
    HWND hwnd = w->hwnd;
    platform::input::Click(hwnd);
    AfterInput(hwnd);
}

void onComboChanged(GtkComboBox* combo, gpointer data) {
    if (g_updating) return;
    auto* w = static_cast<Widget*>(data);
    HWND hwnd = w->hwnd;
    const int index = gtk_combo_box_get_active(combo);
    if (index >= 0) platform::input::ChooseListItem(hwnd, index);
    AfterInput(hwnd);
}

void onSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer data) {
    if (g_updating) return;
    auto* w = static_cast<Widget*>(data);
    HWND hwnd = w->hwnd;
    platform::input::ClickTab(hwnd, int(page));
    // The notebook switches after this signal; show the tab control's own choice once it has.
    g_idle_add(
        [](gpointer h) -> gboolean {
            AfterInput(static_cast<HWND>(h));
            return G_SOURCE_REMOVE;
        },
        hwnd);
}

// Trackbars: the pointer's place along the scale as a position, from the toolkit's own geometry.
LONG scaleValueAt(Widget* w, double along) {
    GtkRange* range = GTK_RANGE(w->control);
    GdkRectangle r;
    gtk_range_get_range_rect(range, &r);
    gint start = 0, end = 0;
    gtk_range_get_slider_range(range, &start, &end);
    const bool vertical = gtk_orientable_get_orientation(GTK_ORIENTABLE(range)) == GTK_ORIENTATION_VERTICAL;
    const double origin = vertical ? r.y : r.x, size = vertical ? r.height : r.width;
    const double slider = end - start;
    GtkAdjustment* a = gtk_range_get_adjustment(range);
    const double lo = gtk_adjustment_get_lower(a), hi = gtk_adjustment_get_upper(a);
    const double span = std::max(size - slider, 1.0);
    const double f = std::clamp((along - origin - slider / 2) / span, 0.0, 1.0);
    return LONG(std::lround(lo + f * (hi - lo)));
}

double along(Widget* w, double x, double y) {
    return gtk_orientable_get_orientation(GTK_ORIENTABLE(w->control)) == GTK_ORIENTATION_VERTICAL ? y : x;
}

gboolean onScalePress(GtkWidget* widget, GdkEventButton* e, gpointer data) {
    auto* w = static_cast<Widget*>(data);
    if (e->button != 1 || e->type != GDK_BUTTON_PRESS) return TRUE;
    gtk_widget_grab_focus(widget);
    HWND hwnd = w->hwnd;
    gint start = 0, end = 0;
    gtk_range_get_slider_range(GTK_RANGE(w->control), &start, &end);
    const double at = along(w, e->x, e->y);
    if (at >= start && at <= end) {
        // The thumb: held until the button is let go.
        const LONG pos = LONG(SendMessageW(hwnd, TBM_GETPOS, 0, 0));
        w->dragging = platform::input::MouseDown(hwnd, platform::input::TrackbarPoint(hwnd, pos));
        w->grabOffset = at - (start + end) / 2.0;
        w->dragValue = pos;
    } else {
        platform::input::ClickTrackbarPage(hwnd, at < start);
    }
    AfterInput(hwnd);
    return TRUE;
}

gboolean onScaleMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
    auto* w = static_cast<Widget*>(data);
    if (!w->dragging) return TRUE;
    HWND hwnd = w->hwnd;
    const LONG value = scaleValueAt(w, along(w, e->x, e->y) - w->grabOffset);
    if (value != w->dragValue) {
        w->dragValue = value;
        platform::input::MouseMove(hwnd, platform::input::TrackbarPoint(hwnd, value));
        AfterInput(hwnd);
    }
    return TRUE;
}

gboolean onScaleRelease(GtkWidget*, GdkEventButton* e, gpointer data) {
    auto* w = static_cast<Widget*>(data);
    if (e->button != 1 || !w->dragging) return TRUE;
    w->dragging = false;
    HWND hwnd = w->hwnd;
    platform::input::MouseUp(hwnd, platform::input::TrackbarPoint(hwnd, w->dragValue));
    AfterInput(hwnd);
    return TRUE;
}

gboolean onScaleKey(GtkWidget*, GdkEventKey* e, gpointer data) {
    const UINT vk = virtualKey(e->keyval);
    if (!vk) return FALSE; // Tab and the rest: the toolkit's focus keys
    auto* w = static_cast<Widget*>(data);
    HWND hwnd = w->hwnd;
    platform::input::PressKey(hwnd, vk);
    AfterInput(hwnd);
    return TRUE;
}

// The scale's own moves: the trackbar decides where it goes, from the input above.
gboolean onChangeValue(GtkRange*, GtkScrollType, gdouble, gpointer) {
    return TRUE;
}

gboolean onScroll(GtkWidget*, GdkEvent*, gpointer) {
    return TRUE; // the mouse wheel is not a trackbar input of the pages
}

GtkWidget* makeToggle(Widget& w, GType type) {
    GtkWidget* b = GTK_WIDGET(g_object_new(type, nullptr));
    g_signal_connect(b, "clicked", G_CALLBACK(onClicked), &w);
    return b;
}

} // namespace

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        const auto u = uint32_t(c);
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string ControlText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(size_t(std::max(length, 0)) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(size_t(std::max(length, 0)));
    std::wstring shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return Utf8(shown);
}

Kind KindOf(HWND hwnd, const std::wstring& className) {
    const LONG style = styleOf(hwnd);
    if (!(style & WS_CHILD)) return Kind::TopLevel;
    if (same(className, L"Button")) {
        switch (style & BS_TYPEMASK) {
        case BS_GROUPBOX:
            return Kind::GroupBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return (style & (BS_ICON | BS_BITMAP | BS_PUSHLIKE)) ? Kind::IconToggle : Kind::Radio;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return (style & (BS_ICON | BS_BITMAP | BS_PUSHLIKE)) ? Kind::IconToggle : Kind::Check;
        default:
            return Kind::PushButton;
        }
    }
    if (same(className, L"Static")) {
        const LONG type = style & SS_TYPEMASK;
        return type == SS_ICON || type == SS_BITMAP ? Kind::Picture : Kind::Label;
    }
    if (same(className, TRACKBAR_CLASSW)) return Kind::Trackbar;
    if (same(className, L"ComboBox")) return Kind::ComboBox;
    if (same(className, WC_TABCONTROLW)) return Kind::Tabs;
    return Kind::Container;
}

void CreateWidget(Widget& w) {
    switch (w.kind) {
    case Kind::TopLevel: {
        w.outer = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        w.fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(w.outer), w.fixed);
        gtk_widget_show(w.fixed);
        gtk_window_set_resizable(GTK_WINDOW(w.outer), FALSE);
        g_signal_connect(w.outer, "delete-event",
                         G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) -> gboolean {
                             // The window's close box.
                             HWND hwnd = static_cast<Widget*>(data)->hwnd;
                             PostMessageW(hwnd, WM_CLOSE, 0, 0);
                             return TRUE;
                         }),
                         &w);
        return;
    }
    case Kind::Container:
        w.outer = w.fixed = gtk_fixed_new();
        return;
    case Kind::PushButton:
        w.outer = w.control = gtk_button_new();
        g_signal_connect(w.control, "clicked", G_CALLBACK(onClicked), &w);
        return;
    case Kind::IconToggle:
        w.outer = w.control = makeToggle(w, GTK_TYPE_TOGGLE_BUTTON);
        return;
    case Kind::Radio: {
        // A radio button alone cannot be turned off; a hidden partner in its group takes the check.
        w.partner = gtk_radio_button_new(nullptr);
        g_object_ref_sink(w.partner);
        w.outer = w.control = gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(w.partner));
        g_signal_connect(w.control, "clicked", G_CALLBACK(onClicked), &w);
        return;
    }
    case Kind::Check:
        w.outer = w.control = makeToggle(w, GTK_TYPE_CHECK_BUTTON);
        return;
    case Kind::GroupBox:
        w.outer = w.control = gtk_frame_new(nullptr);
        return;
    case Kind::Label:
        w.outer = w.control = gtk_label_new(nullptr);
        gtk_label_set_line_wrap(GTK_LABEL(w.control), TRUE);
        gtk_label_set_yalign(GTK_LABEL(w.control), 0);
        return;
    case Kind::Picture:
        w.outer = w.control = gtk_image_new();
        return;
    case Kind::Trackbar: {
        const bool vertical = styleOf(w.hwnd) & TBS_VERT;
        w.outer = w.control =
            gtk_scale_new(vertical ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL, nullptr);
        gtk_scale_set_draw_value(GTK_SCALE(w.control), FALSE);
        gtk_widget_set_can_focus(w.control, TRUE);
        gtk_widget_add_events(w.control,
                              GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
        g_signal_connect(w.control, "button-press-event", G_CALLBACK(onScalePress), &w);
        g_signal_connect(w.control, "motion-notify-event", G_CALLBACK(onScaleMotion), &w);
        g_signal_connect(w.control, "button-release-event", G_CALLBACK(onScaleRelease), &w);
        g_signal_connect(w.control, "key-press-event", G_CALLBACK(onScaleKey), &w);
        g_signal_connect(w.control, "scroll-event", G_CALLBACK(onScroll), &w);
        g_signal_connect(w.control, "change-value", G_CALLBACK(onChangeValue), &w);
        return;
    }
    case Kind::ComboBox:
        w.outer = w.control = gtk_combo_box_text_new();
        g_signal_connect(w.control, "changed", G_CALLBACK(onComboChanged), &w);
        return;
    case Kind::Tabs:
        w.outer = w.control = gtk_notebook_new();
        g_signal_connect(w.control, "switch-page", G_CALLBACK(onSwitchPage), &w);
        return;
    }
}

void UpdateWidget(Widget& w) {
    const bool was = g_updating;
    g_updating = true;
    const LONG style = styleOf(w.hwnd);
    GtkWidget* sensitive = w.kind == Kind::TopLevel ? w.fixed : w.outer;
    gtk_widget_set_sensitive(sensitive, !(style & WS_DISABLED));
    switch (w.kind) {
    case Kind::TopLevel:
        gtk_window_set_title(GTK_WINDOW(w.outer), ControlText(w.hwnd).c_str());
        break;
    case Kind::Container:
        break;
    case Kind::PushButton:
    case Kind::IconToggle: {
        HANDLE icon = reinterpret_cast<HANDLE>(SendMessageW(w.hwnd, BM_GETIMAGE, IMAGE_ICON, 0));
        HANDLE bitmap = reinterpret_cast<HANDLE>(SendMessageW(w.hwnd, BM_GETIMAGE, IMAGE_BITMAP, 0));
        const bool picture = (style & (BS_ICON | BS_BITMAP)) != 0;
        if (picture) {
            gtk_button_set_label(GTK_BUTTON(w.control), nullptr);
            setImage(buttonImage(w.control), icon ? iconPixbuf(static_cast<HICON>(icon))
                                                  : bitmapPixbuf(static_cast<HBITMAP>(bitmap)));
            gtk_widget_set_tooltip_text(w.control, ControlText(w.hwnd).c_str());
        } else {
            gtk_button_set_label(GTK_BUTTON(w.control), ControlText(w.hwnd).c_str());
        }
        if (w.kind == Kind::IconToggle)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.control),
                                         SendMessageW(w.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED);
        break;
    }
    case Kind::Radio:
    case Kind::Check: {
        gtk_button_set_label(GTK_BUTTON(w.control), ControlText(w.hwnd).c_str());
        const bool on = SendMessageW(w.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (w.partner)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(on ? w.control : w.partner), TRUE);
        else
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.control), on);
        break;
    }
    case Kind::GroupBox:
        gtk_frame_set_label(GTK_FRAME(w.control), ControlText(w.hwnd).c_str());
        break;
    case Kind::Label: {
        gtk_label_set_text(GTK_LABEL(w.control), ControlText(w.hwnd).c_str());
        const LONG type = style & SS_TYPEMASK;
        const float x = type == SS_RIGHT ? 1.0f : type == SS_CENTER ? 0.5f : 0.0f;
        gtk_label_set_xalign(GTK_LABEL(w.control), x);
        gtk_label_set_justify(GTK_LABEL(w.control), type == SS_RIGHT    ? GTK_JUSTIFY_RIGHT
                                                    : type == SS_CENTER ? GTK_JUSTIFY_CENTER
                                                                        : GTK_JUSTIFY_LEFT);
        break;
    }
    case Kind::Picture:
        if ((style & SS_TYPEMASK) == SS_ICON)
            setImage(w.control, iconPixbuf(reinterpret_cast<HICON>(SendMessageW(w.hwnd, STM_GETICON, 0, 0))));
        else
            setImage(w.control, bitmapPixbuf(reinterpret_cast<HBITMAP>(
                                    SendMessageW(w.hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0))));
        break;
    case Kind::Trackbar: {
        const auto lo = double(SendMessageW(w.hwnd, TBM_GETRANGEMIN, 0, 0));
        const auto hi = double(SendMessageW(w.hwnd, TBM_GETRANGEMAX, 0, 0));
        gtk_range_set_range(GTK_RANGE(w.control), lo, std::max(hi, lo + 1));
        gtk_range_set_value(GTK_RANGE(w.control), double(SendMessageW(w.hwnd, TBM_GETPOS, 0, 0)));
        break;
    }
    case Kind::ComboBox: {
        GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(w.control);
        gtk_combo_box_text_remove_all(combo);
        const auto count = int(SendMessageW(w.hwnd, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            const auto length = SendMessageW(w.hwnd, CB_GETLBTEXTLEN, WPARAM(i), 0);
            std::wstring item(size_t(std::max<LRESULT>(length, 0)) + 1, L'\0');
            SendMessageW(w.hwnd, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(item.data()));
            item.resize(wcslen(item.c_str()));
            gtk_combo_box_text_append_text(combo, Utf8(item).c_str());
        }
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), int(SendMessageW(w.hwnd, CB_GETCURSEL, 0, 0)));
        break;
    }
    case Kind::Tabs: {
        GtkNotebook* notebook = GTK_NOTEBOOK(w.control);
        const auto count = int(SendMessageW(w.hwnd, TCM_GETITEMCOUNT, 0, 0));
        while (gtk_notebook_get_n_pages(notebook) > count) gtk_notebook_remove_page(notebook, -1);
        while (gtk_notebook_get_n_pages(notebook) < count) {
            GtkWidget* page = gtk_fixed_new();
            gtk_widget_show(page);
            gtk_notebook_append_page(notebook, page, gtk_label_new(""));
        }
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = L"";
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 256;
            SendMessageW(w.hwnd, TCM_GETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
            gtk_notebook_set_tab_label_text(notebook, gtk_notebook_get_nth_page(notebook, i),
                                            Utf8(text).c_str());
        }
        const auto current = int(SendMessageW(w.hwnd, TCM_GETCURSEL, 0, 0));
        if (current >= 0 && current < count) gtk_notebook_set_current_page(notebook, current);
        break;
    }
    }
    g_updating = was;
}

} // namespace platform::gtk
