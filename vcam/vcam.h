// CVCam: the virtual camera "TELMAR ZK900 4K UVC", a DirectShow video source filter that applications
// open like a webcam. Its one pin (COutPushPin) delivers the frames of the private graph
// (CInternalGraph), which the first CVCam of a process creates and the last one deletes, whatever the
// application's own graph does meanwhile. The user's settings (vcam_settings.h) are read when a
// camera is made, applied to the private graph, changed through IORBE_SrcGen, and saved when the
// camera is destroyed.
//
// A missing camera or expansion filter does not fail construction: the camera is made and delivers
// grey frames. Construction can take several seconds (building the private graph and waiting for its
// first frame) and is serialised across processes by a named mutex.
#pragma once

#include <streams.h>

#include "filter/orb_source_view.h"
#include "vcam/orbe_src_gen.h"
#include "vcam/vcam_settings.h"

class CInternalGraph;

class CVCam : public CSource,
              public ISpecifyPropertyPages,
              public IPersistPropertyBag,
              public IORBE_SrcGen,
              public IOrbSourceView {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);
    ~CVCam() override;

    // The filter's own IUnknown: IAMStreamConfig and IKsPropertySet are the pin's, so that applications
    // can ask the filter for them as they ask a webcam.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist (of IBaseFilter and IPersistPropertyBag)
    STDMETHODIMP GetClassID(CLSID* pClsID) override;
    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pPages) override;
    // IPersistPropertyBag: nothing is kept in the bag; the settings live in the registry.
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) override;
    STDMETHODIMP Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) override;

    // IORBE_SrcGen (orbe_src_gen.h)
    STDMETHODIMP GetResolutionList(ResolutionEntry** ppList, int* pCount, int* pCurrent) override;
    STDMETHODIMP SetResolution(int formatIndex) override;
    STDMETHODIMP GetUnfoldMode(int* pMode) override;
    STDMETHODIMP SetUnfoldMode(int mode) override;
    STDMETHODIMP GetViewPos(int* pHorizontal, int* pVertical) override;
    STDMETHODIMP SetViewPos(int horizontal, int vertical) override;
    STDMETHODIMP GetScale(int* pZoom) override;
    STDMETHODIMP SetScale(int zoom) override;
    STDMETHODIMP GetLensDirection(int* pDirection) override;
    STDMETHODIMP SetLensDirection(int direction) override;
    // IOrbSourceView: the expansion filter's, in the private graph.
    STDMETHODIMP DrawSourceView(LONG width, LONG height, BYTE* pPicture, LONG overviewWidth,
                                LONG overviewHeight, BYTE* pOverview) override;

    // The process's private graph (null before the first and after the last camera) and the number of
    // cameras alive in the process.
    static CInternalGraph* PrivateGraph();
    static int InstanceCount();

private:
    CVCam(LPUNKNOWN pUnk, HRESULT* phr);
    void readDefaultValues();
    // Index of the camera capability with the settings' MJPG resolution and rate, or -1.
    int findCameraFormat(const std::vector<CMediaType>& formats) const;
    void applyViewSettings(CInternalGraph* graph) const;
    VCamSettings settings() const;

    VCamSettings m_settings;
    mutable CCritSec m_settingsLock; // the settings change on application threads
};
