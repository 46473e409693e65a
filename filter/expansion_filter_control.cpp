// The filter's control interfaces: every call reaches the engine or its current mode under the engine
// lock, so it takes effect from the next frame drawn. Mode indexes translate through the table of modes.
#include "engine/orb_expander.h"
#include "filter/expansion_filter.h"
#include "modes/mode_table.h"

STDMETHODIMP CExpansionFilter::GetUnfoldMode(int* pIndex) {
    if (!pIndex) return E_POINTER;
    CAutoLock lock(&m_engineLock);
    if (!m_engine) return S_OK;
    if (const int index = GeneralIndexOfMode(m_engine->ModeId()); index != kNoIndex) *pIndex = index;
    return S_OK;
}

HRESULT CExpansionFilter::SetGeneralUnfoldMode(int index) {
    CAutoLock lock(&m_engineLock);
    if (m_engine) m_engine->SetExpMode(ModeOfGeneralIndex(index));
    return S_OK;
}

HRESULT CExpansionFilter::SetFilterUnfoldMode(int index) {
    CAutoLock lock(&m_engineLock);
    const int32_t mode = ModeOfFilterIndex(index);
    if (mode < 0 || !m_engine) return E_FAIL;
    return m_engine->SetExpMode(mode) ? S_OK : E_FAIL;
}

STDMETHODIMP CExpansionFilter::GetViewPos(float* pHorizontal, float* pVertical) {
    CAutoLock lock(&m_engineLock);
    if (CBaseExpander* current = m_engine ? m_engine->Current() : nullptr)
        current->GetPosition(pHorizontal, pVertical);
    return S_OK;
}

STDMETHODIMP CExpansionFilter::SetViewPosABS(float horizontal, float vertical) {
    CAutoLock lock(&m_engineLock);
    if (CBaseExpander* current = m_engine ? m_engine->Current() : nullptr)
        current->SetPosition(horizontal, vertical);
    return S_OK;
}

STDMETHODIMP CExpansionFilter::SetScaleABS(float scale) {
    CAutoLock lock(&m_engineLock);
    if (CBaseExpander* current = m_engine ? m_engine->Current() : nullptr) current->SetZoom(scale);
    return S_OK;
}

STDMETHODIMP CExpansionFilter::SetLensDirection(BOOL up) {
    CAutoLock lock(&m_engineLock);
    const bool flag = (up & 0xFF) != 0;
    if (CBaseExpander* current = m_engine ? m_engine->Current() : nullptr) current->SetFlip(flag, flag);
    return S_OK;
}
