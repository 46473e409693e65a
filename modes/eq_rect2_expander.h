// Unfold mode 4: a full 360 x 180 degree equirectangular frame for a lens looking forward (its axis
// horizontal, at the centre of the frame). Longitude runs linearly across the width from -180 to +180
// degrees, latitude up the height from -90 to +90; every vertex of the mesh is found by projecting its
// direction into the fisheye picture. A precomputed mask keeps the directions beyond the lens's reach
// black. The view is fixed, and the mesh fills the whole output.
//
// Mesh coordinates: a point (x, y) in [-1, 1]^2 stands for longitude x pi and latitude -y pi / 2.
#pragma once

#include <vector>

#include "engine/base_expander.h"

class CEqRect2Expander : public CBaseExpander {
public:
    CEqRect2Expander();
    ~CEqRect2Expander() override;

    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;

    // The point of the fisheye picture (unit-circle coordinates) that sees the direction of longitude
    // lambda and latitude phi (radians, the lens axis at 0, 0); returns its radius r, 1 for every
    // direction at or beyond the lens's reach (about 107.13 degrees off the axis, where the lens radius
    // function reaches 1). Null outputs are skipped.
    virtual float projectDirection(float lambda, float phi, float* u, float* v) const;
    virtual HRESULT createMainVtx(ID3D10Device* device);
    virtual HRESULT createMask(ID3D10Device* device);

    // The main mesh (8256 vertices) and the mask (coverMaskCount + 2 vertices, the last two unused) as
    // they are uploaded.
    void buildMainMesh(VERTEX* out) const;
    std::vector<VERTEX> buildMask() const;

    int32_t getCoverMaskCount() const { return coverMaskCount; }

protected:
    ID3D10Buffer* coverMaskVB; // the fan beyond the lens's reach on the right; drawn mirrored for the left
    int32_t coverMaskCount;    // vertices of it to draw
};
