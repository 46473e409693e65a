#include "filter/orbe_general_prop.h"

#include <commctrl.h>
#include <cstdio>
#include <cwchar>
#include <new>

#include "platform/dshow/module_version.h"
#include "resources/unfoldfilter_resource.h"

namespace {

enum Axis { kHorizontal = 0, kVertical = 1, kZoom = 2 };

// Mode buttons by IORBE_General unfold-mode index (NONE, PANORAMA, SEG, QUAD, RING, DOME, INDOME,
// THROWOUT, EXTRACT).
constexpr int kModeButtons[] = {IDC_MODE_GLOBAL, IDC_MODE_PANORAMA, IDC_MODE_SEG,
                                IDC_MODE_QUAD,   IDC_MODE_RING,     IDC_MODE_DOME,
                                IDC_MODE_INVIEW, IDC_MODE_THROWOUT, IDC_MODE_EXTRACT};

// Icon slot, resource and button.
struct ModeIcon {
    int slot;
    int icon;
    int button;
};
constexpr ModeIcon kModeIcons[] = {
    {0, IDI_MODE_DOME, IDC_MODE_DOME},     {4, IDI_MODE_GLOBAL, IDC_MODE_GLOBAL},
    {5, IDI_MODE_INVIEW, IDC_MODE_INVIEW}, {6, IDI_MODE_PANORAMA, IDC_MODE_PANORAMA},
    {7, IDI_MODE_QUAD, IDC_MODE_QUAD},     {8, IDI_MODE_RING, IDC_MODE_RING},
    {9, IDI_MODE_SEG, IDC_MODE_SEG},       {10, IDI_MODE_THROWOUT, IDC_MODE_THROWOUT},
};

constexpr int kSliders[] = {IDC_HORIZONTAL, IDC_VERTICAL, IDC_ZOOM};

// The version text, shared by every page of the process.
wchar_t g_versionText[32] = L"";

int indexOfButton(int id) {
    for (int i = 0; i < int(std::size(kModeButtons)); ++i)
        if (kModeButtons[i] == id) return i;
    return -1;
}

} // namespace

CORBE_GeneralProp::CORBE_GeneralProp(LPUNKNOWN pUnk)
    : CBasePropertyPage(L"General Props", pUnk, IDD_GENERAL_PROP, IDS_GENERAL_PROP_TITLE) {}

CUnknown* WINAPI CORBE_GeneralProp::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* page = new (std::nothrow) CORBE_GeneralProp(pUnk);
    if (!page && phr) *phr = E_OUTOFMEMORY;
    return page;
}

void CORBE_GeneralProp::FormatVersion(DWORD ms, DWORD ls, wchar_t* text, size_t size) {
    const int major = HIWORD(ms), minor = LOBYTE(ms), build = HIWORD(ls), revision = LOBYTE(ls);
    if (revision != 0)
        swprintf(text, size, L"ver%d.%d%d%c", major, minor, build, wchar_t(revision + 96));
    else
        swprintf(text, size, L"ver%d.%d%d", major, minor, build);
}

HRESULT CORBE_GeneralProp::OnConnect(IUnknown* pUnknown) {
    if (!pUnknown) return E_POINTER;
    return pUnknown->QueryInterface(IID_IORBE_General, reinterpret_cast<void**>(&m_pGeneral));
}

HRESULT CORBE_GeneralProp::OnDisconnect() {
    if (m_pGeneral) {
        m_pGeneral->SetUnfoldMode(m_appliedMode);
        m_pGeneral->Release();
        m_pGeneral = nullptr;
    }
    return S_OK;
}

HRESULT CORBE_GeneralProp::OnActivate() {
    int mode = -1;
    if (m_pGeneral && SUCCEEDED(m_pGeneral->GetUnfoldMode(&mode))) {
        const bool known = mode >= 0 && mode < int(std::size(kModeButtons));
        CheckDlgButton(m_Dlg, known ? kModeButtons[mode] : IDC_MODE_GLOBAL, BST_CHECKED);
        m_selectedMode = m_appliedMode = mode;

        SendDlgItemMessageW(m_Dlg, IDC_HORIZONTAL, TBM_SETPOS, TRUE, m_startPosition[kHorizontal]);
        SendDlgItemMessageW(m_Dlg, IDC_VERTICAL, TBM_SETPOS, TRUE, m_startPosition[kVertical]);
        m_pGeneral->SetViewPosABS(float(m_startPosition[kHorizontal]), float(m_startPosition[kVertical]));
        m_pGeneral->SetScaleABS(float(m_startPosition[kZoom]));

        for (const ModeIcon& m : kModeIcons) {
            m_icons[m.slot] = LoadIconW(g_hInst, MAKEINTRESOURCEW(m.icon));
            SendDlgItemMessageW(m_Dlg, m.button, BM_SETIMAGE, IMAGE_ICON,
                                reinterpret_cast<LPARAM>(m_icons[m.slot]));
        }
    }
    DWORD ms = 0, ls = 0;
    if (GetModuleProductVersion(g_hInst, ms, ls)) {
        FormatVersion(ms, ls, g_versionText, std::size(g_versionText));
        SetDlgItemTextW(m_Dlg, IDC_VERSION, g_versionText);
    }
    return S_OK;
}

HRESULT CORBE_GeneralProp::OnDeactivate() {
    return S_OK;
}

HRESULT CORBE_GeneralProp::OnApplyChanges() {
    m_appliedMode = m_selectedMode;
    return S_OK;
}

void CORBE_GeneralProp::SetDirty() {
    m_bDirty = TRUE;
    if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

void CORBE_GeneralProp::SendViewPosition() {
    m_pGeneral->SetViewPosABS(float(m_position[kHorizontal]), float(m_position[kVertical]));
}

void CORBE_GeneralProp::SendScale() {
    m_pGeneral->SetScaleABS(float(m_position[kZoom]));
}

void CORBE_GeneralProp::SendAll(HWND hwnd) {
    m_pGeneral->SetUnfoldMode(m_selectedMode);
    SendViewPosition();
    SendScale();
    for (int axis : {kHorizontal, kVertical, kZoom})
        SendDlgItemMessageW(hwnd, kSliders[axis], TBM_SETPOS, TRUE, m_position[axis]);
    SetDirty();
}

INT_PTR CORBE_GeneralProp::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (!m_pGeneral) return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
    if (uMsg == WM_HSCROLL) {
        const WORD code = LOWORD(wParam);
        if (code != TB_PAGEUP && code != TB_PAGEDOWN && code != TB_THUMBTRACK)
            return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
        for (int axis : {kHorizontal, kVertical, kZoom})
            m_position[axis] = int(SendDlgItemMessageW(hwnd, kSliders[axis], TBM_GETPOS, 0, 0));
        SendViewPosition();
        SendScale();
        SetDirty();
        return 1;
    }
    if (uMsg == WM_COMMAND && HIWORD(wParam) == 0) {
        const int id = LOWORD(wParam);
        if (const int index = indexOfButton(id); index >= 0) m_selectedMode = index;
        switch (id) {
        case IDC_RESET_HORIZONTAL:
        case IDC_RESET_VERTICAL: {
            const int axis = id == IDC_RESET_HORIZONTAL ? kHorizontal : kVertical;
            m_position[axis] = 0;
            SendDlgItemMessageW(hwnd, kSliders[axis], TBM_SETPOS, TRUE, 0);
            SendViewPosition();
            SetDirty();
            return 1;
        }
        case IDC_RESET_ZOOM:
            m_position[kZoom] = 0;
            SendDlgItemMessageW(hwnd, IDC_ZOOM, TBM_SETPOS, TRUE, 0);
            SendScale();
            SetDirty();
            break;
        default:
            break;
        }
        SendAll(hwnd);
        return 1;
    }
    return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}
