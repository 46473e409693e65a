// OleCreatePropertyFrame: a modal frame holding property pages as tabs above OK, Cancel and Apply.
//
// The calls each page gets, in order: SetPageSite(its site), SetObjects(the objects), GetPageInfo;
// Activate for the page on the selected tab (Deactivate when another tab is chosen); IsPageDirty and
// Apply for every dirty page on Apply or OK (a failing Apply keeps the frame open); Deactivate of the
// page on show when the frame closes; then SetObjects(0, NULL) and SetPageSite(NULL) for every page.
// A page reports changes through OnStatusChange(PROPPAGESTATUS_DIRTY), which enables Apply.
//
// The frame is a dialog in "MS Shell Dlg" 8, titled "<caption> Properties"; in pixels: a 7-pixel
// margin, the tab control around the largest page, and a row of 75 x 23 buttons below it.
#include <memory>
#include <string>
#include <vector>

#include <commctrl.h>
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include "platform/com/unknown.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/debug.h"
#include "platform/win32/dialog_template.h"

namespace {

using platform::ComPtr;

constexpr int kMargin = 7, kButtonWidth = 75, kButtonHeight = 23, kButtonGap = 6;
constexpr int kApplyId = 0x3021; // the id Windows' property sheets give Apply
constexpr int kTabsId = 0x3020;

class PropertyFrame;

// The site of one page: its status changes reach the frame.
class PageSite final : public CUnknown, public IPropertyPageSite {
public:
    PageSite(PropertyFrame* frame, LCID locale) : CUnknown(L"Property page site", nullptr), frame_(frame), locale_(locale) {}
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IPropertyPageSite) return GetInterface(static_cast<IPropertyPageSite*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP OnStatusChange(DWORD flags) override;
    STDMETHODIMP GetLocaleID(LCID* locale) override {
        if (!locale) return E_POINTER;
        *locale = locale_;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown** container) override {
        if (container) *container = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
    void detach() { frame_ = nullptr; }

private:
    PropertyFrame* frame_;
    LCID locale_;
};

struct Page {
    ComPtr<IPropertyPage> page;
    ComPtr<IPropertyPageSite> site;
    PageSite* siteObject = nullptr;
    std::wstring title;
    SIZE size{};
};

class PropertyFrame {
public:
    HRESULT run(HWND owner, int x, int y, LPCOLESTR caption, ULONG objectCount, LPUNKNOWN* objects, ULONG pageCount,
                const CLSID* classes, LCID locale);
    void onStatusChange(DWORD flags) {
        if ((flags & PROPPAGESTATUS_DIRTY) && dialog_) EnableWindow(GetDlgItem(dialog_, kApplyId), TRUE);
    }

private:
    static INT_PTR CALLBACK proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL initialise(HWND dialog);
    void activate(int index);
    bool applyAll();
    void closePages();

    std::vector<Page> pages_;
    HWND dialog_ = nullptr;
    HWND tabs_ = nullptr;
    RECT pageRect_{};
    int active_ = -1;
    int x_ = 0, y_ = 0;
    bool positioned_ = false;
};

STDMETHODIMP PageSite::OnStatusChange(DWORD flags) {
    if (frame_) frame_->onStatusChange(flags);
    return S_OK;
}

HRESULT PropertyFrame::run(HWND owner, int x, int y, LPCOLESTR caption, ULONG objectCount, LPUNKNOWN* objects,
                           ULONG pageCount, const CLSID* classes, LCID locale) {
    x_ = x;
    y_ = y;
    positioned_ = owner != nullptr;
    HRESULT hr = S_OK;
    for (ULONG i = 0; i < pageCount && SUCCEEDED(hr); ++i) {
        Page p;
        hr = CoCreateInstance(classes[i], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, p.page.putVoid());
        if (FAILED(hr)) break;
        p.siteObject = new PageSite(this, locale);
        p.siteObject->NonDelegatingQueryInterface(IID_IPropertyPageSite, p.site.putVoid());
        if (FAILED(hr = p.page->SetPageSite(p.site.get()))) break;
        pages_.push_back(std::move(p));
        Page& added = pages_.back();
        if (FAILED(hr = added.page->SetObjects(objectCount, objects))) break;
        PROPPAGEINFO info{};
        info.cb = sizeof info;
        if (SUCCEEDED(added.page->GetPageInfo(&info))) {
            added.title = info.pszTitle ? info.pszTitle : L"";
            added.size = info.size;
            CoTaskMemFree(info.pszTitle);
            CoTaskMemFree(info.pszDocString);
            CoTaskMemFree(info.pszHelpFile);
        }
    }
    if (SUCCEEDED(hr) && !pages_.empty()) {
        platform::DialogTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | (owner ? 0 : DS_CENTER);
        t.exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
        t.title = std::wstring(caption ? caption : L"") + L" Properties";
        t.pointSize = 8;
        t.weight = FW_NORMAL;
        t.charset = DEFAULT_CHARSET;
        t.typeface = L"MS Shell Dlg";
        const std::vector<uint8_t> bytes = platform::BuildDialogTemplate(t);
        const INT_PTR result = DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                                       owner, proc, reinterpret_cast<LPARAM>(this));
        if (result == -1) hr = E_OUTOFMEMORY;
    }
    closePages();
    return hr;
}

void PropertyFrame::closePages() {
    for (Page& p : pages_) {
        p.page->SetObjects(0, nullptr);
        p.page->SetPageSite(nullptr);
        p.siteObject->detach();
    }
    pages_.clear();
}

BOOL PropertyFrame::initialise(HWND dialog) {
    dialog_ = dialog;
    SIZE largest{0, 0};
    for (const Page& p : pages_) {
        largest.cx = std::max(largest.cx, p.size.cx);
        largest.cy = std::max(largest.cy, p.size.cy);
    }
    // The tab control is as large as the largest page needs for its display area.
    RECT tabRect{0, 0, largest.cx, largest.cy};
    HINSTANCE instance = nullptr;
    tabs_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                            dialog, reinterpret_cast<HMENU>(kTabsId), instance, nullptr);
    if (!tabs_) return FALSE;
    SendMessageW(tabs_, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
    OffsetRect(&tabRect, kMargin - tabRect.left, kMargin - tabRect.top);
    MoveWindow(tabs_, tabRect.left, tabRect.top, tabRect.right - tabRect.left, tabRect.bottom - tabRect.top, FALSE);
    pageRect_ = tabRect;
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pageRect_));

    const int buttonsWidth = 3 * kButtonWidth + 2 * kButtonGap;
    const int width = std::max<int>(tabRect.right + kMargin, buttonsWidth + 2 * kMargin);
    const int buttonTop = tabRect.bottom + kMargin;
    const int height = buttonTop + kButtonHeight + kMargin;
    struct Button {
        int id;
        LPCWSTR text;
        DWORD style;
    };
    const Button buttons[] = {{IDOK, L"OK", BS_DEFPUSHBUTTON},
                              {IDCANCEL, L"Cancel", BS_PUSHBUTTON},
                              {kApplyId, L"&Apply", BS_PUSHBUTTON | WS_DISABLED}};
    int left = width - kMargin - buttonsWidth;
    const auto font = WPARAM(SendMessageW(dialog, WM_GETFONT, 0, 0));
    SendMessageW(tabs_, WM_SETFONT, font, FALSE);
    for (const Button& b : buttons) {
        HWND button = CreateWindowExW(0, L"Button", b.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.style, left,
                                      buttonTop, kButtonWidth, kButtonHeight, dialog, reinterpret_cast<HMENU>(b.id),
                                      instance, nullptr);
        if (!button) return FALSE;
        SendMessageW(button, WM_SETFONT, font, FALSE);
        left += kButtonWidth + kButtonGap;
    }
    SendMessageW(dialog, DM_SETDEFID, IDOK, 0);
    for (size_t i = 0; i < pages_.size(); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = pages_[i].title.data();
        SendMessageW(tabs_, TCM_INSERTITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
    RECT frame;
    GetWindowRect(dialog, &frame);
    POINT at{frame.left, frame.top};
    if (positioned_) {
        at = POINT{x_, y_};
        ClientToScreen(GetWindow(dialog, GW_OWNER), &at);
    } else {
        at = POINT{(GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
    }
    MoveWindow(dialog, at.x, at.y, width, height, FALSE);
    activate(0);
    return TRUE;
}

void PropertyFrame::activate(int index) {
    if (index == active_ || index < 0 || index >= int(pages_.size())) return;
    if (active_ >= 0) pages_[size_t(active_)].page->Deactivate();
    active_ = index;
    HRESULT hr = pages_[size_t(index)].page->Activate(dialog_, &pageRect_, TRUE);
    if (FAILED(hr)) WARN("com", "page %d: Activate 0x%08x", index, unsigned(hr));
}

bool PropertyFrame::applyAll() {
    for (Page& p : pages_) {
        if (p.page->IsPageDirty() != S_OK) continue;
        if (HRESULT hr = p.page->Apply(); FAILED(hr)) {
            WARN("com", "Apply: 0x%08x", unsigned(hr));
            return false;
        }
    }
    EnableWindow(GetDlgItem(dialog_, kApplyId), FALSE);
    return true;
}

INT_PTR CALLBACK PropertyFrame::proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* frame = reinterpret_cast<PropertyFrame*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!frame) return FALSE;
    switch (msg) {
    case WM_INITDIALOG:
        if (!frame->initialise(dialog)) {
            EndDialog(dialog, -1);
            return FALSE;
        }
        SetFocus(GetNextDlgTabItem(dialog, nullptr, FALSE));
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            if (frame->applyAll()) EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case kApplyId:
            frame->applyAll();
            return TRUE;
        default:
            return FALSE;
        }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->hwndFrom == frame->tabs_ && header->code == TCN_SELCHANGE)
            frame->activate(int(SendMessageW(frame->tabs_, TCM_GETCURSEL, 0, 0)));
        return TRUE;
    }
    case WM_DESTROY:
        // The page on show goes before the frame's window does.
        if (frame->active_ >= 0) frame->pages_[size_t(frame->active_)].page->Deactivate();
        frame->active_ = -1;
        frame->dialog_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

STDAPI OleCreatePropertyFrame(HWND owner, UINT x, UINT y, LPCOLESTR caption, ULONG objectCount, LPUNKNOWN* objects,
                              ULONG pageCount, LPCLSID pageClasses, LCID locale, DWORD, LPVOID) {
    if ((objectCount && !objects) || (pageCount && !pageClasses)) return E_POINTER;
    if (pageCount == 0) return S_OK;
    TRACE("com", "owner %p, \"%ls\", %u objects, %u pages", static_cast<void*>(owner), caption ? caption : L"",
          unsigned(objectCount), unsigned(pageCount));
    PropertyFrame frame;
    return frame.run(owner, int(x), int(y), caption, objectCount, objects, pageCount, pageClasses, locale);
}
