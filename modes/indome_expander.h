// Unfold mode 9: a perspective camera at the centre of the dome looking outward, an undistorted view
// that pans all the way round and tilts between the lens rim and the lens axis. Angles in degrees;
// zoom 1 to 2 narrows the field of view.
#pragma once

#include "modes/dome_expander.h"

class CInDomeExpander : public CDomeExpander {
public:
    CInDomeExpander();
    ~CInDomeExpander() override;

    HRESULT SetOutBufSize(ID3D10Device* device, uint16_t width, uint16_t height) override;
    void SetFlip(bool horizontal, bool vertical) override;
    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;

    // Horizontal and vertical field of view (degrees) and the lowest tilt that keeps the view inside
    // the lens's coverage.
    float horizontalField() const;
    float verticalField() const;
    float lowTilt() const;

protected:
    void clampTilt();
};
