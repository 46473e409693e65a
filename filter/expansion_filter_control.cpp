// The filter's control interfaces: every call reaches the engine or its current mode under the engine
// lock, so it takes effect from the next frame drawn. Mode indexes translate through the table of modes.
#include <cstring>
#include <vector>

#include "engine/orb_expander.h"
#include "filter/expansion_filter.h"
#include "modes/mode_table.h"

STDMETHODIMP CExpansionFilter::GetUnfoldMode(int* pIndex) {
    if (!pIndex) return E_POINTER;
    CAutoLock lock(&engineLock);
    if (!engine) return S_OK;
    if (const int index = GeneralIndexOfMode(engine->ModeId()); index != kNoIndex) *pIndex = index;
    return S_OK;
}

HRESULT CExpansionFilter::SetGeneralUnfoldMode(int index) {
    CAutoLock lock(&engineLock);
    if (engine) engine->SetExpMode(ModeOfGeneralIndex(index));
    return S_OK;
}

HRESULT CExpansionFilter::SetFilterUnfoldMode(int index) {
    CAutoLock lock(&engineLock);
    const int32_t mode = ModeOfFilterIndex(index);
    if (mode < 0 || !engine) return E_FAIL;
    return engine->SetExpMode(mode) ? S_OK : E_FAIL;
}

STDMETHODIMP CExpansionFilter::GetViewPos(float* pHorizontal, float* pVertical) {
    CAutoLock lock(&engineLock);
    if (CBaseExpander* current = engine ? engine->Current() : nullptr)
        current->GetPosition(pHorizontal, pVertical);
    return S_OK;
}

STDMETHODIMP CExpansionFilter::SetViewPosABS(float horizontal, float vertical) {
    CAutoLock lock(&engineLock);
    if (CBaseExpander* current = engine ? engine->Current() : nullptr)
        current->SetPosition(horizontal, vertical);
    return S_OK;
}

STDMETHODIMP CExpansionFilter::SetScaleABS(float scale) {
    CAutoLock lock(&engineLock);
    if (CBaseExpander* current = engine ? engine->Current() : nullptr) current->SetZoom(scale);
    return S_OK;
}

STDMETHODIMP CExpansionFilter::SetLensDirection(BOOL up) {
    CAutoLock lock(&engineLock);
    const bool flag = (up & 0xFF) != 0;
    if (CBaseExpander* current = engine ? engine->Current() : nullptr) current->SetFlip(flag, flag);
    return S_OK;
}

namespace {

void FlipRows(BYTE* pixels, LONG width, LONG height) {
    const size_t stride = size_t(width) * 4;
    std::vector<BYTE> row(stride);
    for (LONG top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        BYTE* a = pixels + size_t(top) * stride;
        BYTE* b = pixels + size_t(bottom) * stride;
        std::memcpy(row.data(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, row.data(), stride);
    }
}

bool SideInRange(LONG side) {
    return side >= 1 && side <= IOrbSourceView::kMaxSide;
}

} // namespace

STDMETHODIMP CExpansionFilter::DrawSourceView(LONG width, LONG height, BYTE* pPicture, LONG overviewWidth,
                                              LONG overviewHeight, BYTE* pOverview) {
    if (!pPicture) return E_POINTER;
    if (!SideInRange(width) || !SideInRange(height) ||
        (pOverview && (!SideInRange(overviewWidth) || !SideInRange(overviewHeight))))
        return E_INVALIDARG;
    CAutoLock lock(&engineLock);
    if (!engine || !m_pInput || !m_pInput->IsConnected()) return VFW_E_NOT_CONNECTED;
    bool overviewDrawn = false;
    const HRESULT hr =
        engine->RenderSource(uint16_t(width), uint16_t(height), pPicture, uint16_t(overviewWidth),
                             uint16_t(overviewHeight), pOverview, pOverview ? &overviewDrawn : nullptr);
    if (hr == D3DERR_INVALIDCALL) return VFW_E_NOT_CONNECTED;
    if (FAILED(hr)) return hr;
    // The engine keeps the input's row order, as it does for the output frames; a top-down input is
    // turned over here.
    if (inputHeader.bmiHeader.biHeight < 0) {
        FlipRows(pPicture, width, height);
        if (pOverview) FlipRows(pOverview, overviewWidth, overviewHeight);
    }
    return pOverview && !overviewDrawn ? S_FALSE : S_OK;
}
