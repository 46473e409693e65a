// CSrcPropPage: the virtual camera's property page (dialog 102), shown when a person asks for the
// webcam's settings.
//
// A drop-down list picks the camera resolution, icon buttons the unfold mode, three sliders with Reset
// buttons the view, two radio buttons the lens direction, and a corner shows the module's version.
// Every change reaches the camera at once through IORBE_SrcGen. Apply keeps the values on show;
// closing the page sends the kept values back, so Cancel undoes everything since the last Apply
// (a resolution change included, which rebuilds the private graph once more).
#pragma once

#include <streams.h>

#include "vcam/orbe_src_gen.h"

class CSrcPropPage : public CBasePropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);
    ~CSrcPropPage() override;

    HRESULT OnConnect(IUnknown* pUnknown) override;
    HRESULT OnDisconnect() override;
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // The page's version text for a product version (VS_FIXEDFILEINFO's two words): "Ver 1.2.3.0".
    static void FormatVersion(DWORD productVersionMS, DWORD productVersionLS, wchar_t* text, size_t size);

private:
    // The values the page sends: kept ones go back to the camera when the page closes, live ones are
    // what the controls show.
    struct Values {
        int mode = -1;
        int horizontal = 50;
        int vertical = 50;
        int zoom = 0;
        int lensDirection = 1;
        int resolution = 0; // position in the resolution list
    };

    explicit CSrcPropPage(LPUNKNOWN pUnk);
    void activate();
    void SetDirty();
    // Enables and checks the mode buttons for a square or a wide picture; answers the mode that suits
    // that shape (6 for square, 10 otherwise).
    int UpdateModeButtons(bool square);
    // True when the list entry at `position` has a square picture; an empty list (or a position
    // outside it) shows every mode.
    bool IsSquare(int position) const;
    void EnableViewControls(bool enable);
    void SetSliders(int horizontal, int vertical, int zoom);
    void ChooseMode(int mode);
    void ChooseResolution();

    IORBE_SrcGen* m_pSrcGen = nullptr;
    bool m_active = false;
    HICON m_icons[12] = {};
    Values m_kept;
    Values m_live;
    ResolutionEntry* m_resolutions = nullptr; // CoTaskMemAlloc'd by the camera, owned by the page
    int m_resolutionCount = 0;
};
