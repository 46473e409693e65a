// Unfold mode 3: the fisheye picture as an equirectangular map, azimuth linear across the full width
// (one turn), the angle from the lens axis linear down the height, square degrees. On a 2:1 output the
// lens axis lies on the top edge and the horizon across the middle; the picture ends 17 degrees below
// the horizon. The view only pans: no zoom, no tilt.
//
// It draws the base's panorama mesh with radiusScale 1, which spans the whole polar range of the lens
// (y from -1/pi at the rim to +1/pi at the axis). pan is in mesh units in [-1, 1), as the panorama's.
#pragma once

#include "engine/base_expander.h"

class CEquirectExpander : public CBaseExpander {
public:
    CEquirectExpander();
    ~CEquirectExpander() override;

    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
};
