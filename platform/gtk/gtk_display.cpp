// libwin32_gtk.so: the display backend of display.h over GTK 3, loaded by OpenDisplay.
//
// Window changes may be reported on any thread; they are queued and applied to the widgets on the
// display thread, each time it waits for messages (and before a snapshot), in the order they came.
// The toolkit runs only on the display thread: waiting for messages runs its main loop, so a person's
// input is handled while a program waits, and a message posted from elsewhere wakes the loop.
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/gtk/gtk_widgets.h"
#include "platform/win32/display.h"

namespace platform::gtk {
namespace {

// The dialog font ("MS Shell Dlg" 8 is 11 pixels high at 96 dots per inch) and controls as compact
// as the template's rectangles, which Windows' own controls fill.
constexpr char kStyle[] = R"(
* { font-family: "Liberation Sans", "DejaVu Sans", sans-serif; font-size: 8pt; }
button { padding: 0 2px; min-height: 0; min-width: 0; }
button image { padding: 0; margin: 0; }
combobox button { padding: 0 4px; min-height: 0; }
combobox box { min-height: 0; }
scale { padding: 0; min-height: 0; min-width: 0; }
scale contents trough { margin: 0 6px; }
scale slider { min-width: 11px; min-height: 14px; margin: -6px -1px; }
notebook tab { padding: 2px 8px; min-height: 0; }
notebook > header.top > tabs > tab { padding: 2px 8px; }
frame > border { border-radius: 3px; }
frame > label { margin: 0 2px; }
)";

// The height of a drop-down list when closed; its window's rectangle includes the list.
constexpr int kComboHeight = 22;

class GtkDisplay;
GtkDisplay* g_display = nullptr;

class GtkDisplay final : public DisplayBackend {
public:
    GtkDisplay() {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, kStyle, -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
    }

    void windowChanged(HWND window, WindowChange change) override {
        {
            std::lock_guard lock(mutex_);
            events_.emplace_back(window, change);
        }
        g_main_context_wakeup(nullptr);
    }

    void wait(DWORD milliseconds) override {
        sync();
        if (milliseconds == 0) {
            while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
            sync();
            return;
        }
        // The timeout's flag lives here: the source is gone before this returns, fired or removed.
        bool fired = false;
        guint source = 0;
        if (milliseconds != INFINITE)
            source = g_timeout_add(
                milliseconds,
                [](gpointer flag) -> gboolean {
                    *static_cast<bool*>(flag) = true;
                    return G_SOURCE_REMOVE;
                },
                &fired);
        g_main_context_iteration(nullptr, TRUE);
        while (g_main_context_iteration(nullptr, FALSE)) {}
        if (source && !fired) g_source_remove(source);
        sync();
    }

    void wake() override { g_main_context_wakeup(nullptr); }

    bool snapshot(HWND window, int& width, int& height, std::vector<uint8_t>& rgba) override {
        sync();
        Widget* w = find(window);
        if (!w || w->kind != Kind::TopLevel || !gtk_widget_get_visible(w->outer)) return false;
        // Let the toolkit lay the window out and draw it once.
        for (int i = 0; i < 100 && (gtk_events_pending() || !gtk_widget_get_mapped(w->outer)); ++i)
            gtk_main_iteration_do(FALSE);
        width = gtk_widget_get_allocated_width(w->outer);
        height = gtk_widget_get_allocated_height(w->outer);
        if (width <= 1 || height <= 1) return false;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(surface);
        gtk_widget_draw(w->outer, cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        rgba.assign(size_t(width) * size_t(height) * 4, 0);
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
            for (int x = 0; x < width; ++x) {
                // Premultiplied native-endian ARGB to straight RGBA.
                const uint32_t p = row[x];
                const uint32_t a = p >> 24;
                uint8_t* o = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
                const auto unpremultiply = [a](uint32_t c) { return uint8_t(a ? (c * 255 + a / 2) / a : 0); };
                o[0] = unpremultiply((p >> 16) & 0xFF);
                o[1] = unpremultiply((p >> 8) & 0xFF);
                o[2] = unpremultiply(p & 0xFF);
                o[3] = uint8_t(a);
            }
        }
        cairo_surface_destroy(surface);
        return true;
    }

    // Applies the queued changes to the widgets.
    void sync() {
        if (syncing_) return; // a change made while applying changes is applied by the same pass
        syncing_ = true;
        for (;;) {
            std::vector<std::pair<HWND, WindowChange>> events;
            {
                std::lock_guard lock(mutex_);
                events.swap(events_);
            }
            if (events.empty()) break;
            std::unordered_set<HWND> done;
            for (auto [hwnd, change] : events) {
                if (change == WindowChange::Destroyed) {
                    destroy(hwnd);
                    done.erase(hwnd);
                    continue;
                }
                if (!done.insert(hwnd).second) continue;
                if (Widget* w = ensure(hwnd)) refresh(*w);
            }
        }
        syncing_ = false;
    }

    void refreshNow(HWND hwnd) {
        sync();
        if (Widget* w = find(hwnd)) refresh(*w);
    }

private:
    Widget* find(HWND hwnd) {
        auto it = widgets_.find(hwnd);
        return it == widgets_.end() ? nullptr : it->second.get();
    }

    // The widget of a window, made (with its parent's) when it has none yet.
    Widget* ensure(HWND hwnd) {
        if (Widget* w = find(hwnd)) return w;
        if (!hwnd || !IsWindow(hwnd) || hwnd == GetDesktopWindow()) return nullptr;
        wchar_t name[256] = L"";
        GetClassNameW(hwnd, name, 256);
        auto w = std::make_unique<Widget>();
        w->hwnd = hwnd;
        w->className = name;
        w->kind = KindOf(hwnd, w->className);
        Widget* parent = nullptr;
        if (w->kind != Kind::TopLevel) {
            parent = ensure(GetParent(hwnd));
            if (!parent || !parent->fixed) return nullptr; // inside a control: not shown
        }
        CreateWidget(*w);
        g_object_ref(w->outer);
        if (parent) gtk_fixed_put(GTK_FIXED(parent->fixed), w->outer, 0, 0);
        Widget* made = w.get();
        widgets_[hwnd] = std::move(w);
        return made;
    }

    // Destroys a window's widget. GTK destroys the widgets inside it with it, so their entries go too;
    // a window still there among them is given a new widget by its next change.
    void destroy(HWND hwnd) {
        auto it = widgets_.find(hwnd);
        if (it == widgets_.end()) return;
        std::vector<std::unique_ptr<Widget>> gone;
        gone.push_back(std::move(it->second));
        widgets_.erase(it);
        GtkWidget* outer = gone.front()->outer;
        for (auto inner = widgets_.begin(); inner != widgets_.end();) {
            if (gtk_widget_is_ancestor(inner->second->outer, outer)) {
                gone.push_back(std::move(inner->second));
                inner = widgets_.erase(inner);
            } else {
                ++inner;
            }
        }
        gtk_widget_destroy(outer);
        for (const std::unique_ptr<Widget>& w : gone) {
            g_object_unref(w->outer);
            if (w->partner) g_object_unref(w->partner);
        }
    }

    // A widget that is no longer inside its window's parent's widget stands for a window that is gone
    // (handles are reused): the window gets a new widget, and its children with it.
    void rebuild(HWND hwnd) {
        destroy(hwnd);
        if (Widget* w = ensure(hwnd)) {
            refresh(*w);
            for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                if (Widget* child = ensure(c)) refresh(*child);
        }
    }

    void refresh(Widget& w) {
        if (!IsWindow(w.hwnd)) return;
        RECT r;
        GetWindowRect(w.hwnd, &r);
        const int width = r.right - r.left, height = r.bottom - r.top;
        if (w.kind == Kind::TopLevel) {
            gtk_window_move(GTK_WINDOW(w.outer), r.left, r.top);
            gtk_widget_set_size_request(w.fixed, width, height);
            HWND owner = GetWindow(w.hwnd, GW_OWNER);
            if (Widget* o = find(owner); o && o->kind == Kind::TopLevel)
                gtk_window_set_transient_for(GTK_WINDOW(w.outer), GTK_WINDOW(o->outer));
        } else if (Widget* parent = find(GetParent(w.hwnd)); parent && parent->fixed) {
            if (gtk_widget_get_parent(w.outer) != parent->fixed) {
                rebuild(w.hwnd);
                return;
            }
            POINT at{r.left, r.top};
            ScreenToClient(GetParent(w.hwnd), &at);
            gtk_fixed_move(GTK_FIXED(parent->fixed), w.outer, at.x, at.y);
            const int shownHeight = w.kind == Kind::ComboBox && height > kComboHeight ? kComboHeight : height;
            gtk_widget_set_size_request(w.outer, width, shownHeight);
        }
        UpdateWidget(w);
        const bool visible = (GetWindowLongW(w.hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
        if (visible != bool(gtk_widget_get_visible(w.outer))) {
            if (visible)
                gtk_widget_show_all(w.outer);
            else
                gtk_widget_hide(w.outer);
            // show_all shows children the windows keep hidden; bring them back to their own state.
            if (visible && w.fixed) hideHiddenChildren(w.hwnd);
        }
    }

    void hideHiddenChildren(HWND hwnd) {
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            Widget* child = find(c);
            if (!child) continue;
            if (!(GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE))
                gtk_widget_hide(child->outer);
            else if (child->fixed)
                hideHiddenChildren(c);
        }
    }

    std::mutex mutex_;
    std::vector<std::pair<HWND, WindowChange>> events_;
    std::unordered_map<HWND, std::unique_ptr<Widget>> widgets_;
    bool syncing_ = false;
};

} // namespace

void AfterInput(HWND hwnd) {
    if (g_display) g_display->refreshNow(hwnd);
}

} // namespace platform::gtk

extern "C" __attribute__((visibility("default"))) platform::DisplayBackend*
CreateDisplayBackend(std::string& reason) {
    // A display server under load can turn a connection away for a moment; a few tries over a second
    // tell that from one that is not there (GTK opens the display afresh on each try).
    constexpr int kAttempts = 5;
    for (int attempt = 1; !gtk_init_check(nullptr, nullptr); ++attempt) {
        if (attempt == kAttempts) {
            reason = "the display refused the connection";
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    platform::gtk::g_display = new platform::gtk::GtkDisplay;
    return platform::gtk::g_display;
}
