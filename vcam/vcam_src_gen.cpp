// CVCam's control interface IORBE_SrcGen: each change is kept in the settings (saved when the camera is
// destroyed) and passed on at once to the private graph.
#include "vcam/camera_format.h"
#include "vcam/internal_graph.h"
#include "vcam/vcam.h"
#include "vcam/vcam_exception.h"
#include "vcam/vcam_log.h"

namespace {

constexpr int32_t kSquareSide = 1440;
constexpr int32_t kWideWidth = 1280, kWideHeight = 720;

// The virtual camera unfolds the square fisheye picture, or shows the camera's own 16:9 picture.
bool OfferedResolution(const CameraFormat& f) {
    return (f.width == kSquareSide && f.height == kSquareSide) ||
           (f.width == kWideWidth && f.height == kWideHeight);
}

} // namespace

STDMETHODIMP CVCam::GetResolutionList(ResolutionEntry** ppList, int* pCount, int* pCurrent) {
    if (!ppList || !pCount || !pCurrent) return E_POINTER;
    CAutoLock lock(&m_cStateLock);
    CInternalGraph* graph = PrivateGraph();
    const std::vector<CMediaType> formats = graph ? graph->Formats() : std::vector<CMediaType>();
    // Room for every capability, and never a zero-sized block.
    auto* list = static_cast<ResolutionEntry*>(
        CoTaskMemAlloc((formats.empty() ? 1 : formats.size()) * sizeof(ResolutionEntry)));
    if (!list) return E_OUTOFMEMORY;
    const VCamSettings s = settings();
    // The current entry is the one of the settings' size and rate; only when the camera offers that
    // size at another rate alone, the last entry of the size. The property page sends the entry back
    // on closing, so an entry of the same size at another rate would change the camera's rate (and
    // rebuild the graph) when the user cancels.
    int count = 0, sameSize = -1, sameRate = -1;
    for (size_t i = 0; i < formats.size(); ++i) {
        const CameraFormat f = CameraFormat::Of(formats[i]);
        if (!f.usable() || !OfferedResolution(f)) continue;
        if (f.width == s.width && f.height == s.height) {
            sameSize = count;
            if (f.frameRate == s.frameRate) sameRate = count;
        }
        list[count++] = {f.width, f.height, f.frameRate, int32_t(i)};
    }
    if (sameRate >= 0)
        *pCurrent = sameRate;
    else if (sameSize >= 0)
        *pCurrent = sameSize;
    *ppList = list;
    *pCount = count;
    return S_OK;
}

STDMETHODIMP CVCam::SetResolution(int formatIndex) {
    static constexpr char kTag[] = "CVCam::SetResolution";
    CAutoLock lock(&m_cStateLock);
    CInternalGraph* graph = PrivateGraph();
    if (!graph) return E_FAIL;
    std::vector<CMediaType> formats = graph->Formats();
    // Only a capability of the camera with a frame time can be chosen; the graph is left alone otherwise.
    if (formatIndex < 0 || size_t(formatIndex) >= formats.size()) return E_INVALIDARG;
    const CameraFormat f = CameraFormat::Of(formats[formatIndex]);
    if (!f.usable()) return E_INVALIDARG;
    const VCamSettings s = settings();
    if (f.width == s.width && f.height == s.height && f.frameRate == s.frameRate) return S_OK;
    try {
        // The format is this call's own copy: rebuilding the graph frees the graph's list.
        ThrowIfFailed(graph->CreateGraph(), kTag, 740);
        ThrowIfFailed(graph->StartGraph(&formats[formatIndex]), kTag, 745);
    } catch (const CVCamException& e) {
        e.Print();
        return e.hr;
    }
    {
        CAutoLock settingsLock(&m_settingsLock);
        m_settings.width = f.width;
        m_settings.height = f.height;
        m_settings.frameRate = f.frameRate;
    }
    VCamLog(kTag, 749, "DefVal(%d,%d,%d)\r\n", f.width, f.height, f.frameRate);
    return S_OK;
}

STDMETHODIMP CVCam::GetUnfoldMode(int* pMode) {
    if (!pMode) return E_POINTER;
    *pMode = settings().unfoldMode;
    return S_OK;
}

STDMETHODIMP CVCam::SetUnfoldMode(int mode) {
    {
        CAutoLock lock(&m_settingsLock);
        m_settings.unfoldMode = mode;
    }
    CInternalGraph* graph = PrivateGraph();
    return graph ? graph->SetUnfoldMode(mode) : E_FAIL;
}

STDMETHODIMP CVCam::GetViewPos(int* pHorizontal, int* pVertical) {
    if (!pHorizontal || !pVertical) return E_POINTER;
    const VCamSettings s = settings();
    *pHorizontal = s.horizontal;
    *pVertical = s.vertical;
    return S_OK;
}

// Negative values go on as huge unsigned ones, outside every mode's range, so the mode keeps its view.
STDMETHODIMP CVCam::SetViewPos(int horizontal, int vertical) {
    {
        CAutoLock lock(&m_settingsLock);
        m_settings.horizontal = horizontal;
        m_settings.vertical = vertical;
    }
    CInternalGraph* graph = PrivateGraph();
    return graph ? graph->SetViewPosABS(float(uint32_t(horizontal)), float(uint32_t(vertical))) : E_FAIL;
}

STDMETHODIMP CVCam::GetScale(int* pZoom) {
    if (!pZoom) return E_POINTER;
    *pZoom = settings().zoom;
    return S_OK;
}

STDMETHODIMP CVCam::SetScale(int zoom) {
    {
        CAutoLock lock(&m_settingsLock);
        m_settings.zoom = zoom;
    }
    CInternalGraph* graph = PrivateGraph();
    return graph ? graph->SetScaleABS(float(uint32_t(zoom))) : E_FAIL;
}

STDMETHODIMP CVCam::GetLensDirection(int* pDirection) {
    if (!pDirection) return E_POINTER;
    *pDirection = settings().lensDir;
    return S_OK;
}

STDMETHODIMP CVCam::SetLensDirection(int direction) {
    {
        CAutoLock lock(&m_settingsLock);
        m_settings.lensDir = direction;
    }
    CInternalGraph* graph = PrivateGraph();
    return graph ? graph->SetLensDirection(direction) : E_FAIL;
}

STDMETHODIMP CVCam::DrawSourceView(LONG width, LONG height, BYTE* pPicture, LONG overviewWidth,
                                   LONG overviewHeight, BYTE* pOverview) {
    CInternalGraph* graph = PrivateGraph();
    return graph ? graph->DrawSourceView(width, height, pPicture, overviewWidth, overviewHeight, pOverview)
                 : E_FAIL;
}
