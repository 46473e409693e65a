// Unfold mode 8: the fisheye picture wrapped onto the spherical cap the lens sees (from the lens axis
// to 17 degrees below the horizon), shown from outside under the flat projection. Angles in degrees.
#pragma once

#include "engine/base_expander.h"

class CDomeExpander : public CBaseExpander {
public:
    CDomeExpander();
    ~CDomeExpander() override;

    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;

    // The dome mesh: 32 bands of 129 columns, two vertices each, latitude 90 - 107 t.
    void buildDomeMesh(VERTEX* out) const;
};
