// CSource: a filter whose output pins push samples, each from its own worker thread (CSourceStream).
//
// How to derive: construct CSource, then create the pins; each CSourceStream adds itself to the pin
// array (m_paStreams, m_iPins) in its constructor and takes itself out in its destructor. The
// destructor of CSource deletes every pin still in the array. pStateLock() is the filter lock: the
// state machine, connections and the pin array run under it, and a worker never takes it.
//
// A source whose pins include a capture pin (one answering PIN_CATEGORY_CAPTURE through
// IKsPropertySet) is live: it produces no data while paused, so Pause and GetState answer
// VFW_S_CANT_CUE in that state, as capture filters do.
#pragma once

#include "platform/dshow/base_filter.h"

class CSourceStream;

class CSource : public CBaseFilter {
public:
    CSource(LPCWSTR pName, LPUNKNOWN lpunk, CLSID clsid, HRESULT* phr);
    CSource(LPCWSTR pName, LPUNKNOWN lpunk, CLSID clsid);
    ~CSource() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    CCritSec* pStateLock() { return &m_cStateLock; }

    // Called by CSourceStream's constructor and destructor.
    HRESULT AddPin(CSourceStream* pStream);
    HRESULT RemovePin(CSourceStream* pStream);
    // The index of the pin in the array, or -1.
    virtual int FindPinNumber(IPin* iPin);

protected:
    HRESULT WaitForState(DWORD dwMilliSecsTimeout) override;
    // True when a pin is a capture pin (see above).
    virtual BOOL IsLiveSource();

    int m_iPins = 0;
    CSourceStream** m_paStreams = nullptr; // allocated with new[], m_iPins entries
    CCritSec m_cStateLock;
};
