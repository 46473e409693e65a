// The "msctls_trackbar32" class: a position within a range, moved by the mouse (dragging the thumb,
// or a click beside it for a page) and the keys, each move reported to the parent as WM_HSCROLL
// (WM_VSCROLL for TBS_VERT) with the scroll code, as Windows' trackbar reports it:
//   drag: TB_THUMBTRACK with the position for every change, then TB_THUMBPOSITION and TB_ENDTRACK on
//         release;
//   click beside the thumb: TB_PAGEUP or TB_PAGEDOWN, then TB_ENDTRACK on release;
//   keys: TB_LINEUP/TB_LINEDOWN (arrows), TB_PAGEUP/TB_PAGEDOWN (Page Up/Down), TB_TOP/TB_BOTTOM
//         (Home/End) on key-down, TB_ENDTRACK on key-up.
// TBM_SETPOS and TBM_SETRANGE from code report nothing.
//
// Geometry (pixels, client coordinates): the channel runs from kInset to width - kInset along the
// long side; the thumb, kThumb wide, is centred on the position's point of the channel.
#include <algorithm>
#include <utility>
#include <commctrl.h>

#include "platform/win32/control_state.h"
#include "platform/win32/system_classes.h"

namespace platform {
namespace {

constexpr LONG kInset = 8;
constexpr LONG kThumb = 11;

struct Trackbar {
    LONG min = 0, max = 100, pos = 0;
    LONG lineSize = 1, pageSize = 20;
    enum class Tracking { None, Thumb, Page } tracking = Tracking::None;
    HFONT font = nullptr;
};

bool vertical(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & TBS_VERT) != 0;
}

LONG length(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return vertical(hwnd) ? r.bottom : r.right;
}

// The point of the channel for a position, and back (rounded to the nearest position).
LONG pointOf(HWND hwnd, const Trackbar* t, LONG pos) {
    const LONG span = std::max<LONG>(length(hwnd) - 2 * kInset, 1);
    if (t->max <= t->min) return kInset;
    return kInset + LONG((int64_t(pos - t->min) * span + (t->max - t->min) / 2) / (t->max - t->min));
}

LONG positionAt(HWND hwnd, const Trackbar* t, LONG point) {
    const LONG span = std::max<LONG>(length(hwnd) - 2 * kInset, 1);
    const LONG along = std::clamp<LONG>(point - kInset, 0, span);
    return t->min + LONG((int64_t(along) * (t->max - t->min) + span / 2) / span);
}

void notify(HWND hwnd, WORD code, LONG pos = 0) {
    const WPARAM w = (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) ? MAKEWPARAM(code, WORD(pos)) : code;
    SendMessageW(GetParent(hwnd), vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL, w, reinterpret_cast<LPARAM>(hwnd));
}

void moveTo(HWND hwnd, Trackbar* t, LONG pos) {
    pos = std::clamp(pos, t->min, t->max);
    if (pos == t->pos) return;
    t->pos = pos;
    StateChanged(hwnd);
}

// A line or page step; nothing (no notification) at the end of the range it moves towards.
bool step(HWND hwnd, Trackbar* t, LONG delta, WORD code) {
    if ((delta < 0 && t->pos == t->min) || (delta > 0 && t->pos == t->max)) return false;
    moveTo(hwnd, t, t->pos + delta);
    notify(hwnd, code);
    return true;
}

void keyDown(HWND hwnd, Trackbar* t, WPARAM key) {
    const bool downIsLeft = (GetWindowLongW(hwnd, GWL_STYLE) & TBS_DOWNISLEFT) != 0;
    switch (key) {
    case VK_LEFT:
    case VK_UP:
        downIsLeft ? step(hwnd, t, t->lineSize, TB_LINEDOWN) : step(hwnd, t, -t->lineSize, TB_LINEUP);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        downIsLeft ? step(hwnd, t, -t->lineSize, TB_LINEUP) : step(hwnd, t, t->lineSize, TB_LINEDOWN);
        break;
    case VK_PRIOR:
        downIsLeft ? step(hwnd, t, t->pageSize, TB_PAGEDOWN) : step(hwnd, t, -t->pageSize, TB_PAGEUP);
        break;
    case VK_NEXT:
        downIsLeft ? step(hwnd, t, -t->pageSize, TB_PAGEUP) : step(hwnd, t, t->pageSize, TB_PAGEDOWN);
        break;
    case VK_HOME:
        if (t->pos != t->min) {
            moveTo(hwnd, t, t->min);
            notify(hwnd, TB_TOP);
        }
        break;
    case VK_END:
        if (t->pos != t->max) {
            moveTo(hwnd, t, t->max);
            notify(hwnd, TB_BOTTOM);
        }
        break;
    default:
        break;
    }
}

} // namespace

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (ControlLifetime<Trackbar>(hwnd, msg, lParam, result)) return result;
    Trackbar* t = ControlState<Trackbar>(hwnd);
    if (!t) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const LONG along = vertical(hwnd) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd);
        const LONG thumb = pointOf(hwnd, t, t->pos);
        if (along >= thumb - kThumb / 2 && along <= thumb + kThumb / 2) {
            t->tracking = Trackbar::Tracking::Thumb;
        } else {
            t->tracking = Trackbar::Tracking::Page;
            along < thumb ? step(hwnd, t, -t->pageSize, TB_PAGEUP) : step(hwnd, t, t->pageSize, TB_PAGEDOWN);
        }
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (t->tracking == Trackbar::Tracking::Thumb) {
            const LONG pos = positionAt(hwnd, t, along);
            if (pos != t->pos) {
                moveTo(hwnd, t, pos);
                notify(hwnd, TB_THUMBTRACK, t->pos);
            }
        }
        return 0;
    case WM_LBUTTONUP: {
        const auto tracking = std::exchange(t->tracking, Trackbar::Tracking::None);
        if (tracking == Trackbar::Tracking::Thumb) notify(hwnd, TB_THUMBPOSITION, t->pos);
        if (tracking != Trackbar::Tracking::None) {
            notify(hwnd, TB_ENDTRACK);
            ReleaseCapture();
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) t->tracking = Trackbar::Tracking::None;
        return 0;
    case WM_KEYDOWN:
        keyDown(hwnd, t, wParam);
        return 0;
    case WM_KEYUP:
        switch (wParam) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
            notify(hwnd, TB_ENDTRACK);
            break;
        default:
            break;
        }
        return 0;
    case WM_ENABLE:
        StateChanged(hwnd);
        return 0;
    case WM_SETFONT:
        t->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(t->font);
    case TBM_GETPOS:
        return t->pos;
    case TBM_SETPOS:
        moveTo(hwnd, t, LONG(lParam));
        return 0;
    case TBM_GETRANGEMIN:
        return t->min;
    case TBM_GETRANGEMAX:
        return t->max;
    case TBM_SETRANGE:
        t->min = SHORT(LOWORD(lParam));
        t->max = SHORT(HIWORD(lParam));
        t->pageSize = std::max<LONG>((t->max - t->min) / 5, 1);
        t->pos = std::clamp(t->pos, t->min, std::max(t->min, t->max));
        StateChanged(hwnd);
        return 0;
    case TBM_SETRANGEMIN:
        t->min = LONG(lParam);
        t->pos = std::max(t->pos, t->min);
        StateChanged(hwnd);
        return 0;
    case TBM_SETRANGEMAX:
        t->max = LONG(lParam);
        t->pos = std::min(t->pos, std::max(t->min, t->max));
        StateChanged(hwnd);
        return 0;
    case TBM_SETPAGESIZE:
        return std::exchange(t->pageSize, LONG(lParam));
    case TBM_GETPAGESIZE:
        return t->pageSize;
    case TBM_SETLINESIZE:
        return std::exchange(t->lineSize, LONG(lParam));
    case TBM_GETLINESIZE:
        return t->lineSize;
    case TBM_CLEARTICS:
    case TBM_SETTICFREQ:
        return 0;
    case TBM_GETCHANNELRECT:
    case TBM_GETTHUMBRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return 0;
        RECT client;
        GetClientRect(hwnd, &client);
        const LONG thumb = pointOf(hwnd, t, t->pos);
        const LONG lo = msg == TBM_GETTHUMBRECT ? thumb - kThumb / 2 : kInset;
        const LONG hi = msg == TBM_GETTHUMBRECT ? thumb + kThumb / 2 + 1 : length(hwnd) - kInset;
        *r = vertical(hwnd) ? RECT{0, lo, client.right, hi} : RECT{lo, 0, hi, client.bottom};
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform
