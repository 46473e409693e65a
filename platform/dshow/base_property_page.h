// CBasePropertyPage: the property page of a filter, on a dialog resource of the module.
//
// How to derive: give the constructor the page's dialog and title string ids, answer the page's
// class in the module's template table with a static CreateInstance, and override what the page
// needs; the base supplies the IPropertyPage plumbing in the documented order:
//   SetPageSite(site)        remembers the frame's site
//   SetObjects(1, &object)   -> OnConnect(object): query the filter's interfaces
//   Activate(parent, rect)   creates the dialog (its WM_INITDIALOG reaches OnReceiveMessage)
//                            -> OnActivate(): fill the controls; then Move and Show
//   IsPageDirty / Apply      -> OnApplyChanges() when the page is dirty (m_bDirty); clears m_bDirty
//   Deactivate()             -> OnDeactivate(), then the dialog is destroyed
//   SetObjects(0, NULL)      -> OnDisconnect(): release the interfaces
// The dialog's messages go to OnReceiveMessage; pass what the page does not handle to the base.
// The last Release of a page still connected disconnects it first.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include "platform/com/unknown.h"

class CBasePropertyPage : public IPropertyPage, public CUnknown {
public:
    CBasePropertyPage(LPCWSTR pName, LPUNKNOWN pUnk, int DialogId, int TitleId);
    ~CBasePropertyPage() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPropertyPage
    STDMETHODIMP SetPageSite(LPPROPERTYPAGESITE pPageSite) override;
    STDMETHODIMP Activate(HWND hwndParent, LPCRECT prect, BOOL fModal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(LPPROPPAGEINFO pPageInfo) override;
    STDMETHODIMP SetObjects(ULONG cObjects, LPUNKNOWN* ppUnk) override;
    STDMETHODIMP Show(UINT nCmdShow) override;
    STDMETHODIMP Move(LPCRECT prect) override;
    STDMETHODIMP IsPageDirty() override { return m_bDirty ? S_OK : S_FALSE; }
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG) override { return E_NOTIMPL; }

    // What a page may override.
    virtual HRESULT OnConnect(IUnknown*) { return NOERROR; }
    virtual HRESULT OnDisconnect() { return NOERROR; }
    virtual HRESULT OnActivate() { return NOERROR; }
    virtual HRESULT OnDeactivate() { return NOERROR; }
    virtual HRESULT OnApplyChanges() { return NOERROR; }
    virtual INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    void LastRelease() override;

    HWND m_hwnd = nullptr;                   // the dialog while active (set once it exists)
    HWND m_Dlg = nullptr;                    // the dialog, from its WM_INITDIALOG on
    LPPROPERTYPAGESITE m_pPageSite = nullptr; // the frame's site, with a reference
    BOOL m_bObjectSet = FALSE;               // SetObjects(1, ...) has been called
    BOOL m_bDirty = FALSE;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    int m_TitleId;
    int m_DialogId;
};
