// CORBE_GeneralProp: the expansion filter's property page ("Expansion Mode", dialog 101).
//
// Icon buttons choose the unfold mode, three sliders move the view (horizontal, vertical, zoom), each
// with a Reset button, and the module's version shows in a corner. Every change reaches the filter at
// once through IORBE_General; Apply only keeps the chosen mode, which closing the page sends back, so
// Cancel undoes mode changes (view and zoom changes stay).
#pragma once

#include <streams.h>

#include "filter/expansion_filter.h"
#include "platform/dshow/base_property_page.h"

class CORBE_GeneralProp : public CBasePropertyPage {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);

    HRESULT OnConnect(IUnknown* pUnknown) override;
    HRESULT OnDisconnect() override;
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // The version text for a product version (VS_FIXEDFILEINFO's two words): "ver1.23" for 1.2.3.0,
    // "ver1.23a" for 1.2.3.1.
    static void FormatVersion(DWORD productVersionMS, DWORD productVersionLS, wchar_t* text, size_t size);

private:
    explicit CORBE_GeneralProp(LPUNKNOWN pUnk);
    void SetDirty();
    // Sends the selected mode and the view, puts the sliders at the view, marks the page dirty.
    void SendAll(HWND hwnd);
    void SendViewPosition();
    void SendScale();

    IORBE_General* m_pGeneral = nullptr;
    int m_appliedMode = -1;          // unfold-mode index sent back when the page closes
    int m_selectedMode = -1;         // index of the mode button that is on
    int m_startPosition[3] = {0, 0, 0}; // horizontal, vertical, zoom at activation (always 0)
    int m_position[3] = {0, 0, 0};   // horizontal, vertical, zoom as last read from the sliders
    HICON m_icons[11] = {};          // slots 0 and 4 to 10 are used
};
