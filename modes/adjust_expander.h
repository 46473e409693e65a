// Unfold mode 1: the calibration view. The whole input picture is shown undistorted in the centred
// square of the output, under a fixed red guide circle inscribed in that square. Dragging the picture
// moves the calibrated picture centre (centreOffsetU/V) and zooming it changes the calibrated circle
// radius (circleRadius); the user lines the fisheye circle up with the guide.
//
// The calibration is process-wide and this mode is its only writer; every other mode reads it when it
// builds its mesh, so a change shows there at that mode's next rebuild.
//
// pan and tilt are the picture's shift in quad units (the picture spans -1..1 before scaling), each kept
// within [-2, 2]; zoom is its magnification, 1 to 2.
#pragma once

#include "engine/base_expander.h"

class CAdjustExpander : public CBaseExpander {
public:
    CAdjustExpander();
    ~CAdjustExpander() override;

    // Rebuilds as the base does, then derives pan and tilt from the calibrated centre so that the view
    // shows the current calibration.
    HRESULT SetInputSize(ID3D10Device* device, uint16_t imgWidth, uint16_t imgHeight, uint16_t texWidth,
                         uint16_t texHeight) override;
    void MoveBy(float dx, float dy) override;
    void ZoomBy(float step) override;
    // The calibration is set by dragging and zooming only: the percentage operations do nothing.
    void SetPosition(float h, float v) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;

    // Aspect correction of the output: the smaller side over the larger on the larger side's axis.
    void aspectFactors(float& kx, float& ky) const;

private:
    // Texture extents of the valid picture: (imgWidth - 1) / texWidth and (imgHeight - 1) / texHeight.
    float extentU() const;
    float extentV() const;
};
