// Unfold mode 7: the panoramic band of the fisheye picture wrapped round the outside of a cylinder,
// shown as a solid ring turned about its axis by the pan and leaned towards the viewer by the tilt,
// drawn flat (orthographic) into a square viewport so it keeps its proportions on any output.
//
// The cylinder has radius 1 about the y axis, from y = -0.5 (the picture rim, t = 1) to y = +0.5
// (t = 1 - radiusScale). pan and tilt are in degrees, pan kept in [0, 360] and tilt in [-60, 60] by
// dragging; zoom is the cylinder's scale, 0.5 to 3.
#pragma once

#include <memory>

#include "engine/base_expander.h"

class CRingExpander : public CBaseExpander {
public:
    CRingExpander();
    ~CRingExpander() override;

    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;

    // The cylinder mesh, 8256 vertices (null when it cannot be allocated).
    virtual std::unique_ptr<VERTEX[]> createRingVtx();
};
