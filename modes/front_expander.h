// Unfold modes 0 (front view of the whole circle) and 15 (a 16:9 window inscribed in the circle): the
// fisheye picture drawn flat, turned about its centre by the pan angle, scaled and masked to the circle.
#pragma once

#include "engine/base_expander.h"

class CFrontExpander : public CBaseExpander {
public:
    // (ax, ay): the aspect pair. Equal components fit the whole circle (zoom stays 1); unequal ones
    // crop a window of that aspect, zoom 1 to 4.
    CFrontExpander(float ax, float ay);
    ~CFrontExpander() override;

    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;
    virtual void SetAspect(float ax, float ay);

    bool cropping() const { return aspectX != aspectY; }

protected:
    float aspectX;
    float aspectY;
};
