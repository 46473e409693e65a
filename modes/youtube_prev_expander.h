// Unfold modes 12 and 13: perspective views from the centre of the dome, as the inverted dome gives,
// but neither limited to the lens's coverage nor wrapped, and with a position mapping of their own.
// Variant 0 (mode 12) turns the camera like the inverted dome: pan about the vertical axis, then tilt.
// Variant 1 (mode 13) starts from a camera aimed along the lens axis, at the centre of the picture,
// and applies the tilt (offset by 90 degrees) before the pan.
//
// pan and tilt are in degrees, unbounded; zoom 1 to 2 narrows the field of view as in the inverted
// dome. The position and zoom are not reported back: GetPosition and GetZoom leave their outputs.
#pragma once

#include <cstdint>

#include "modes/indome_expander.h"

class CYouTubePrevExpander : public CInDomeExpander {
public:
    explicit CYouTubePrevExpander(uint8_t variant);
    ~CYouTubePrevExpander() override;

    // The base's: the view is not clamped to the lens.
    HRESULT SetOutBufSize(ID3D10Device* device, uint16_t width, uint16_t height) override;
    void SetFlip(bool horizontal, bool vertical) override;
    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
    // The dome's outline: the picture circle.
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;

    // The camera turn of this variant (world to view), without the flip or the projection.
    CMatrix viewMatrix() const;

    uint8_t getVariant() const { return variant; }

private:
    uint8_t variant;
};
