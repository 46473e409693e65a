// Unfold mode 2: the ring of the fisheye picture unrolled into a flat 360-degree strip, azimuth across
// and the polar angle from the lens axis up the height. At zoom 1 one full turn fills the output width;
// the view pans round without end, tilts within the strip's height and zooms up to 4x.
//
// The strip is the base's panorama mesh with radiusScale 0.8: two turns from x = -2 to +2, y from -a to
// +a with a = radiusScale / pi. pan is in mesh units in [-1, 1) (one unit is 180 degrees), tilt in mesh
// units, zoom 1 to 4.
#pragma once

#include "engine/base_expander.h"

// The viewport that fits the strip of a mode with this radiusScale into a width x height target: full
// height, and the width narrowed (and centred) when the target is wider than the strip's own aspect
// pi / radiusScale. d is the target's aspect and e the width's narrowing factor (1 when not narrowed).
struct ViewFit {
    float d, e;
    D3D10_VIEWPORT viewport;
};
ViewFit ComputeViewFit(uint16_t width, uint16_t height, float radiusScale);

class CPanoramaExpander : public CBaseExpander {
public:
    CPanoramaExpander();
    ~CPanoramaExpander() override;

    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;
    HRESULT renderOverlay(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass,
                          const uint16_t* size) override;

    // The largest tilt magnitude that keeps the strip's upper and lower edges outside the view; 0 when
    // the whole strip height is visible (or the output size is not known yet).
    float verticalTravel() const;
    // The preview outline: 65 points (x, y pairs) in the unit-circle coordinates of the fisheye picture.
    void previewOutline(float points[130]) const;

protected:
    void clampTilt();
};
