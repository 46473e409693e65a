// The filter's control interfaces: every call reaches the engine or its current mode under the engine
// lock, so it takes effect from the next frame drawn. Mode indexes translate through the table of modes.
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
