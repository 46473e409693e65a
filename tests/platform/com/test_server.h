// The test COM server module's classes, as its clients see them.
#pragma once

#include <unknwn.h>

// {7D3C1A52-3F0B-4E51-9A55-1C2B3D4E5F01}
DEFINE_GUID(CLSID_TestCounter, 0x7d3c1a52, 0x3f0b, 0x4e51, 0x9a, 0x55, 0x1c, 0x2b, 0x3d, 0x4e, 0x5f, 0x01);
// {7D3C1A52-3F0B-4E51-9A55-1C2B3D4E5F02}
DEFINE_GUID(IID_ITestCounter, 0x7d3c1a52, 0x3f0b, 0x4e51, 0x9a, 0x55, 0x1c, 0x2b, 0x3d, 0x4e, 0x5f, 0x02);

struct ITestCounter : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Increment(LONG* pValue) = 0;

protected:
    ~ITestCounter() = default;
};
