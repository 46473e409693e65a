// The filter's control interfaces: every call reaches the engine or its current mode under the engine
// lock, so it takes effect from the next frame drawn.
#include "engine/orb_expander.h"
#include "filter/expansion_filter.h"

namespace {

// Unfold-mode index to engine mode, for IORBE_General (index 9 selects no mode) and IOrbExpFilter.
constexpr int32_t kGeneralModes[] = {0, 2, 5, 6, 7, 8, 9, 10, 11, 14, 15};
constexpr int32_t kFilterModes[] = {0, 2, 5, 6, 7, 8, 9, 10, 11, 15};

} // namespace

STDMETHODIMP CExpansionFilter::GetUnfoldMode(int* pIndex) {
    if (!pIndex) return E_POINTER;
    CAutoLock lock(&m_engineLock);
    if (!m_engine) return S_OK;
    const int32_t mode = m_engine->ModeId();
    for (int i = 0; i < int(std::size(kGeneralModes)); ++i)
        if (kGeneralModes[i] == mode) *pIndex = i;
    return S_OK;
}

HRESULT CExpansionFilter::SetGeneralUnfoldMode(int index) {
    CAutoLock lock(&m_engineLock);
    const int32_t mode = index >= 0 && index < int(std::size(kGeneralModes)) ? kGeneralModes[index] : -1;
    if (m_engine) m_engine->SetExpMode(mode);
    return S_OK;
}

HRESULT CExpansionFilter::SetFilterUnfoldMode(int index) {
    CAutoLock lock(&m_engineLock);
    if (index < 0 || index >= int(std::size(kFilterModes)) || !m_engine) return E_FAIL;
    return m_engine->SetExpMode(kFilterModes[index]) ? S_OK : E_FAIL;
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
