// Unfold mode 6: four undistorted (rectilinear) views from the centre of the sphere the lens sees, in
// the four quarters of the output, 90 degrees of azimuth apart. They share one elevation and one zoom;
// panning turns all four together.
//
// The sphere mesh has the lens axis on +y and spans elevations -17 (the picture rim) to 90 (the picture
// centre) degrees. pan is the azimuth of the first view in degrees, [0, 360]; tilt the elevation of the
// view direction in degrees, kept in [F, 90] ([-90, -F] while the vertical flip flag is set) with F the
// tilt floor; zoom 0.6 to 3, the vertical field of view being 90/zoom degrees.
#pragma once

#include <memory>

#include "engine/base_expander.h"

class CQuadExpander : public CBaseExpander {
public:
    CQuadExpander();
    ~CQuadExpander() override;

    void SetFlip(bool horizontal, bool vertical) override;
    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;

    // The sphere mesh, 8256 vertices (null when it cannot be allocated).
    virtual std::unique_ptr<VERTEX[]> createQuadVtx();

    // Half the vertical field of view less the 17 degrees the mesh reaches below the horizon: the
    // lowest tilt at which the lower edge of the view stays on the mesh.
    float tiltFloor() const;
    // The four view outlines, 33 points (x, y pairs) each, in the unit-circle coordinates of the
    // fisheye picture.
    void previewOutlines(float outlines[4][66]) const;

protected:
    void clampTilt();
};
