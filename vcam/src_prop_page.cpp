#include "vcam/src_prop_page.h"

#include <commctrl.h>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <new>

#include "platform/dshow/module_version.h"
#include "resources/unfoldcam_resource.h"
#include "vcam/vcam_exception.h"

namespace {

constexpr char kActivateTag[] = "CSrcPropPage::OnActivate";

// The mode buttons in the order the page walks them, with their unfold mode (the virtual camera's)
// and icon.
struct ModeButton {
    int id;
    int mode;
    int icon;
};
constexpr ModeButton kModeButtons[] = {
    {IDC_CAM_GLOBAL, 0, IDI_CAM_GLOBAL},     {IDC_CAM_EXTRACT, 8, IDI_CAM_EXTRACT},
    {IDC_CAM_DOME, 5, IDI_CAM_DOME},         {IDC_CAM_INDOME, 6, IDI_CAM_INDOME},
    {IDC_CAM_PANORAMA, 1, IDI_CAM_PANORAMA}, {IDC_CAM_QUAD, 3, IDI_CAM_QUAD},
    {IDC_CAM_RING, 4, IDI_CAM_RING},         {IDC_CAM_SEG, 2, IDI_CAM_SEG},
    {IDC_CAM_THROWOUT, 7, IDI_CAM_THROWOUT}, {IDC_CAM_FRONT, 10, IDI_CAM_FRONT},
};
constexpr int kFrontMode = 10;
constexpr int kSquareMode = 6; // the inverted dome

// The sliders and their Reset buttons, enabled together.
constexpr int kViewControls[] = {IDC_CAM_HORIZONTAL,       IDC_CAM_VERTICAL,       IDC_CAM_ZOOM,
                                 IDC_CAM_RESET_HORIZONTAL, IDC_CAM_RESET_VERTICAL, IDC_CAM_RESET_ZOOM};

const ModeButton* modeButton(int id) {
    for (const ModeButton& b : kModeButtons)
        if (b.id == id) return &b;
    return nullptr;
}

} // namespace

CSrcPropPage::CSrcPropPage(LPUNKNOWN pUnk) : CBasePropertyPage(L"ZK900_4K_PropPage", pUnk, IDD_SRC_PROP, 0) {}

CSrcPropPage::~CSrcPropPage() {
    CoTaskMemFree(m_resolutions);
}

CUnknown* WINAPI CSrcPropPage::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* page = new (std::nothrow) CSrcPropPage(pUnk);
    if (!page && phr) *phr = E_OUTOFMEMORY;
    return page;
}

void CSrcPropPage::FormatVersion(DWORD ms, DWORD ls, wchar_t* text, size_t size) {
    swprintf(text, size, L"Ver %d.%d.%d.%d", int(HIWORD(ms)), int(LOBYTE(ms)), int(HIWORD(ls)),
             int(LOBYTE(ls)));
}

HRESULT CSrcPropPage::OnConnect(IUnknown* pUnknown) {
    if (!pUnknown) return E_POINTER;
    return pUnknown->QueryInterface(IID_IORBE_SrcGen, reinterpret_cast<void**>(&m_pSrcGen));
}

HRESULT CSrcPropPage::OnDisconnect() {
    if (!m_pSrcGen) return S_OK;
    if (m_kept.resolution >= 0 && m_kept.resolution < m_resolutionCount)
        m_pSrcGen->SetResolution(m_resolutions[m_kept.resolution].formatIndex);
    m_pSrcGen->SetUnfoldMode(m_kept.mode);
    m_pSrcGen->SetViewPos(m_kept.horizontal, m_kept.vertical);
    m_pSrcGen->SetScale(m_kept.zoom);
    m_pSrcGen->SetLensDirection(m_kept.lensDirection);
    m_pSrcGen->Release();
    m_pSrcGen = nullptr;
    return S_OK;
}

HRESULT CSrcPropPage::OnActivate() {
    m_active = true;
    DWORD ms = 0, ls = 0;
    if (!GetModuleProductVersion(g_hInst, ms, ls)) ms = ls = 0;
    wchar_t version[64];
    FormatVersion(ms, ls, version, std::size(version));
    SetDlgItemTextW(m_Dlg, IDC_CAM_VERSION, version);
    if (!m_pSrcGen) return S_OK;
    try {
        activate();
    } catch (const CVCamException& e) {
        e.Print();
        return e.hr;
    }
    return S_OK;
}

// Steps of the activation that ask the camera; throws at the first failed question.
void CSrcPropPage::activate() {
    CoTaskMemFree(m_resolutions);
    m_resolutions = nullptr;
    m_resolutionCount = 0;
    ThrowIfFailed(m_pSrcGen->GetResolutionList(&m_resolutions, &m_resolutionCount, &m_kept.resolution),
                  kActivateTag, 103);
    if (!m_resolutions) m_resolutionCount = 0;
    m_live.resolution = m_kept.resolution;

    int horizontal = 50, vertical = 50, zoom = 0;
    ThrowIfFailed(m_pSrcGen->GetViewPos(&horizontal, &vertical), kActivateTag, 108);
    ThrowIfFailed(m_pSrcGen->GetScale(&zoom), kActivateTag, 109);
    m_kept.horizontal = m_live.horizontal = horizontal;
    m_kept.vertical = m_live.vertical = vertical;
    m_kept.zoom = m_live.zoom = zoom;
    m_pSrcGen->GetLensDirection(&m_kept.lensDirection);
    m_live.lensDirection = m_kept.lensDirection;

    SendDlgItemMessageW(m_Dlg, IDC_CAM_RESOLUTION, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < m_resolutionCount; ++i) {
        wchar_t line[64];
        swprintf(line, std::size(line), L"%dx%d(%dfps)", m_resolutions[i].width, m_resolutions[i].height,
                 m_resolutions[i].frameRate);
        SendDlgItemMessageW(m_Dlg, IDC_CAM_RESOLUTION, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    SendDlgItemMessageW(m_Dlg, IDC_CAM_RESOLUTION, CB_SETCURSEL, WPARAM(m_kept.resolution), 0);

    SetSliders(m_live.horizontal, m_live.vertical, m_live.zoom);
    CheckRadioButton(m_Dlg, IDC_CAM_DOWN, IDC_CAM_UP, m_live.lensDirection == 0 ? IDC_CAM_DOWN : IDC_CAM_UP);

    for (size_t i = 0; i < std::size(kModeButtons); ++i) {
        m_icons[i] = LoadIconW(g_hInst, MAKEINTRESOURCEW(kModeButtons[i].icon));
        SendDlgItemMessageW(m_Dlg, kModeButtons[i].id, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(m_icons[i]));
    }

    ThrowIfFailed(m_pSrcGen->GetUnfoldMode(&m_kept.mode), kActivateTag, 156);
    m_live.mode = m_kept.mode;
    UpdateModeButtons(IsSquare(m_kept.resolution));
}

HRESULT CSrcPropPage::OnDeactivate() {
    m_active = false;
    return S_OK;
}

HRESULT CSrcPropPage::OnApplyChanges() {
    m_kept = m_live;
    return S_OK;
}

void CSrcPropPage::SetDirty() {
    m_bDirty = TRUE;
    if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

bool CSrcPropPage::IsSquare(int position) const {
    if (position < 0 || position >= m_resolutionCount) return true;
    return m_resolutions[position].width == m_resolutions[position].height;
}

int CSrcPropPage::UpdateModeButtons(bool square) {
    for (const ModeButton& b : kModeButtons) {
        EnableWindow(GetDlgItem(m_Dlg, b.id), square || b.mode == kFrontMode);
        CheckDlgButton(m_Dlg, b.id, b.mode == m_kept.mode ? BST_CHECKED : BST_UNCHECKED);
    }
    EnableViewControls(square);
    return square ? kSquareMode : kFrontMode;
}

void CSrcPropPage::EnableViewControls(bool enable) {
    for (int id : kViewControls) EnableWindow(GetDlgItem(m_Dlg, id), enable);
}

void CSrcPropPage::SetSliders(int horizontal, int vertical, int zoom) {
    SendDlgItemMessageW(m_Dlg, IDC_CAM_HORIZONTAL, TBM_SETPOS, TRUE, horizontal);
    SendDlgItemMessageW(m_Dlg, IDC_CAM_VERTICAL, TBM_SETPOS, TRUE, vertical);
    SendDlgItemMessageW(m_Dlg, IDC_CAM_ZOOM, TBM_SETPOS, TRUE, zoom);
}

void CSrcPropPage::ChooseMode(int mode) {
    if (mode == m_live.mode) return;
    m_live.mode = mode;
    m_pSrcGen->SetUnfoldMode(mode);
    m_live.horizontal = m_live.vertical = 50;
    m_live.zoom = 0;
    SetSliders(50, 50, 0);
    m_pSrcGen->SetViewPos(50, 50);
    m_pSrcGen->SetScale(0);
    EnableViewControls(mode != kFrontMode);
    SetDirty();
}

void CSrcPropPage::ChooseResolution() {
    const int selection = int(SendDlgItemMessageW(m_Dlg, IDC_CAM_RESOLUTION, CB_GETCURSEL, 0, 0));
    if (selection < 0 || selection >= m_resolutionCount) return;
    m_live.resolution = selection;
    m_pSrcGen->SetResolution(m_resolutions[selection].formatIndex);
    // The rebuilt graph has a new expansion filter, which starts with the upward lens.
    m_pSrcGen->SetLensDirection(m_live.lensDirection);

    const bool square = IsSquare(selection);
    m_live.mode = UpdateModeButtons(square);
    for (const ModeButton& b : kModeButtons)
        CheckDlgButton(m_Dlg, b.id, b.mode == m_live.mode ? BST_CHECKED : BST_UNCHECKED);

    m_live.horizontal = m_live.vertical = m_live.zoom = 0;
    m_pSrcGen->SetUnfoldMode(m_live.mode);
    m_pSrcGen->SetViewPos(0, 0);
    m_pSrcGen->SetScale(0);
    SetSliders(0, 0, 0);
    SetDirty();
}

INT_PTR CSrcPropPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (!m_pSrcGen) return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
    if (uMsg == WM_COMMAND && HIWORD(wParam) == 0) {
        const int id = LOWORD(wParam);
        switch (id) {
        case IDC_CAM_RESET_HORIZONTAL:
            m_live.horizontal = 50;
            SendDlgItemMessageW(hwnd, IDC_CAM_HORIZONTAL, TBM_SETPOS, TRUE, 50);
            m_pSrcGen->SetViewPos(m_live.horizontal, m_live.vertical);
            SetDirty();
            return 1;
        case IDC_CAM_RESET_VERTICAL:
            m_live.vertical = 50;
            SendDlgItemMessageW(hwnd, IDC_CAM_VERTICAL, TBM_SETPOS, TRUE, 50);
            m_pSrcGen->SetViewPos(m_live.horizontal, m_live.vertical);
            SetDirty();
            return 1;
        case IDC_CAM_RESET_ZOOM:
            m_live.zoom = 0;
            SendDlgItemMessageW(hwnd, IDC_CAM_ZOOM, TBM_SETPOS, TRUE, 0);
            m_pSrcGen->SetScale(0);
            SetDirty();
            return 1;
        case IDC_CAM_DOWN:
        case IDC_CAM_UP:
            m_live.lensDirection = id == IDC_CAM_UP ? 1 : 0;
            m_pSrcGen->SetLensDirection(m_live.lensDirection);
            SetDirty();
            return 1;
        default:
            if (const ModeButton* b = modeButton(id)) {
                ChooseMode(b->mode);
                return 1;
            }
            break;
        }
    } else if (uMsg == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE &&
               LOWORD(wParam) == IDC_CAM_RESOLUTION) {
        ChooseResolution();
        return 1;
    } else if (uMsg == WM_HSCROLL) {
        const WORD code = LOWORD(wParam);
        if (code == TB_PAGEUP || code == TB_PAGEDOWN || code == TB_THUMBTRACK) {
            m_live.horizontal = int(SendDlgItemMessageW(hwnd, IDC_CAM_HORIZONTAL, TBM_GETPOS, 0, 0));
            m_live.vertical = int(SendDlgItemMessageW(hwnd, IDC_CAM_VERTICAL, TBM_GETPOS, 0, 0));
            m_live.zoom = int(SendDlgItemMessageW(hwnd, IDC_CAM_ZOOM, TBM_GETPOS, 0, 0));
            m_pSrcGen->SetViewPos(m_live.horizontal, m_live.vertical);
            m_pSrcGen->SetScale(m_live.zoom);
            SetDirty();
            return 1;
        }
    }
    return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}
