#include "platform/dshow/base_property_page.h"

#include "platform/dshow/factory_template.h"
#include "platform/win32/debug.h"

namespace {

// The size a page asks for when its dialog cannot be measured.
constexpr SIZE kDefaultSize{340, 150};

LPOLESTR copyToTaskMemory(const wchar_t* text) {
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy) memcpy(copy, text, bytes);
    return copy;
}

} // namespace

CBasePropertyPage::CBasePropertyPage(LPCWSTR pName, LPUNKNOWN pUnk, int DialogId, int TitleId)
    : CUnknown(pName, pUnk), m_TitleId(TitleId), m_DialogId(DialogId) {}

CBasePropertyPage::~CBasePropertyPage() = default;

STDMETHODIMP CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

void CBasePropertyPage::LastRelease() {
    // A frame that let go without the closing calls still disconnects the page.
    m_cRef++;
    if (m_pPageSite) SetPageSite(nullptr);
    if (m_bObjectSet) SetObjects(0, nullptr);
    if (m_hwnd) DestroyWindow(m_hwnd);
    m_cRef--;
    CUnknown::LastRelease();
}

STDMETHODIMP CBasePropertyPage::SetPageSite(LPPROPERTYPAGESITE pPageSite) {
    TRACE("dshow", "%p site %p", static_cast<void*>(this), static_cast<void*>(pPageSite));
    if (pPageSite) {
        if (m_pPageSite) return E_UNEXPECTED;
        m_pPageSite = pPageSite;
        m_pPageSite->AddRef();
    } else {
        if (!m_pPageSite) return E_UNEXPECTED;
        m_pPageSite->Release();
        m_pPageSite = nullptr;
    }
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::SetObjects(ULONG cObjects, LPUNKNOWN* ppUnk) {
    TRACE("dshow", "%p %u objects", static_cast<void*>(this), unsigned(cObjects));
    if (cObjects == 1) {
        if (!ppUnk || !*ppUnk) return E_POINTER;
        m_bObjectSet = TRUE;
        return OnConnect(*ppUnk);
    }
    if (cObjects == 0) {
        m_bObjectSet = FALSE;
        return OnDisconnect();
    }
    WARN("dshow", "a page shows one object, not %u", unsigned(cObjects));
    return E_UNEXPECTED;
}

STDMETHODIMP CBasePropertyPage::GetPageInfo(LPPROPPAGEINFO pPageInfo) {
    if (!pPageInfo) return E_POINTER;
    wchar_t title[256] = L"";
    LoadStringW(g_hInst, UINT(m_TitleId), title, 256);
    LPOLESTR copy = copyToTaskMemory(title);
    if (!copy) return E_OUTOFMEMORY;
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = copy;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    pPageInfo->size = kDefaultSize;
    // The dialog's size, measured on a copy made without the page (its procedure ignores it).
    if (HWND probe = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), GetDesktopWindow(), DialogProc, 0)) {
        RECT r;
        GetWindowRect(probe, &r);
        pPageInfo->size = SIZE{r.right - r.left, r.bottom - r.top};
        DestroyWindow(probe);
    }
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::Activate(HWND hwndParent, LPCRECT prect, BOOL) {
    if (!prect) return E_POINTER;
    if (!m_bObjectSet) return E_UNEXPECTED;
    if (m_hwnd) return E_UNEXPECTED;
    m_hwnd = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), hwndParent, DialogProc,
                                reinterpret_cast<LPARAM>(this));
    if (!m_hwnd) return E_OUTOFMEMORY;
    // As the base classes do, activation goes on whatever OnActivate answers; a page reports its own
    // failures.
    if (HRESULT hr = OnActivate(); FAILED(hr)) WARN("dshow", "OnActivate: 0x%08x", unsigned(hr));
    Move(prect);
    return Show(SW_SHOWNORMAL);
}

STDMETHODIMP CBasePropertyPage::Deactivate() {
    if (!m_hwnd) return E_UNEXPECTED;
    // Clear WS_EX_CONTROLPARENT first, with m_hwnd null so that OnReceiveMessage does not put it back.
    HWND hwnd = m_hwnd;
    const DWORD exStyle = DWORD(GetWindowLongW(hwnd, GWL_EXSTYLE)) & ~DWORD(WS_EX_CONTROLPARENT);
    m_hwnd = nullptr;
    SetWindowLongW(hwnd, GWL_EXSTYLE, LONG(exStyle));
    m_hwnd = hwnd;
    if (HRESULT hr = OnDeactivate(); FAILED(hr)) return hr;
    DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::Show(UINT nCmdShow) {
    if (!m_hwnd) return E_UNEXPECTED;
    if (nCmdShow != SW_SHOW && nCmdShow != SW_SHOWNORMAL && nCmdShow != SW_HIDE) return E_INVALIDARG;
    ShowWindow(m_hwnd, int(nCmdShow));
    InvalidateRect(m_hwnd, nullptr, TRUE);
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::Move(LPCRECT prect) {
    if (!prect) return E_POINTER;
    if (!m_hwnd) return E_UNEXPECTED;
    MoveWindow(m_hwnd, prect->left, prect->top, prect->right - prect->left, prect->bottom - prect->top, TRUE);
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::Apply() {
    if (!m_bObjectSet) return E_UNEXPECTED;
    if (!m_pPageSite) return E_UNEXPECTED;
    if (!m_bDirty) return NOERROR;
    HRESULT hr = OnApplyChanges();
    if (SUCCEEDED(hr)) m_bDirty = FALSE;
    return hr;
}

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!page || !page->m_hwnd) return 0;
    // Frames clear WS_EX_CONTROLPARENT behind the page's back; Tab needs it to move among the page's
    // controls, so the page keeps it.
    if (uMsg == WM_STYLECHANGING && wParam == WPARAM(GWL_EXSTYLE)) {
        reinterpret_cast<LPSTYLESTRUCT>(lParam)->styleNew |= WS_EX_CONTROLPARENT;
        return 0;
    }
    return DefWindowProcW(hwnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        // Null while the dialog is only being measured.
        if (auto* page = reinterpret_cast<CBasePropertyPage*>(lParam)) page->m_Dlg = hwnd;
    }
    auto* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!page) return 1;
    return page->OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}
