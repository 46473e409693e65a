// Unfold mode 5: the ring of the fisheye picture unrolled and shown as two half-turn segments stacked in
// the output: the upper half centred on the pan position, the lower half 180 degrees further on. Both
// share one tilt and one zoom; the view pans without end, tilts within the strip and zooms up to 4x.
//
// Its own mesh covers two turns over x from -4 to +4 (a column at x shows the azimuth 180 - 90 x
// degrees) and the polar parameter from 1 at y = -1 (the rim) to 1 - radiusScale at y = +1. pan is in
// mesh units in [-3, 1] (one unit is 90 degrees), tilt in mesh units, zoom 1 to 4.
//
// A derived mode reuses the mesh and the view controls, and places the two panels its own way through
// panelOffset and panelTop.
#pragma once

#include <memory>

#include "engine/base_expander.h"

class CSegExpander : public CBaseExpander {
public:
    CSegExpander();
    ~CSegExpander() override;

    void MoveBy(float dx, float dy) override;
    void SetPosition(float h, float v) override;
    void ZoomBy(float step) override;
    void SetZoom(float percent) override;
    void GetPosition(float* h, float* v) override;
    void GetZoom(float* percent) override;
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderMain(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass) override;
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;

    // The segment mesh, 8256 vertices (null when it cannot be allocated).
    virtual std::unique_ptr<VERTEX[]> createSegVtx();
    // The largest tilt magnitude that keeps the mesh's upper and lower edges outside the view.
    virtual float tiltLimit();
    // Clamps tilt to the limit and wraps pan into [-3, 1].
    virtual void clampView();
    // One segment on the output: its width in pixels, its aspect (width / output height) and the x
    // scale that narrows it to the output width. Null outputs are skipped.
    virtual void getSegSize(uint32_t* width, float* aspect, float* xScale);
    // The two half-height panels renderMain draws: panel i's translation along x in mesh units, and
    // its top row in the output.
    virtual float panelOffset(int i);
    virtual UINT panelTop(int i);

    // The two preview outlines, 65 points (x, y pairs) each, in the unit-circle coordinates of the
    // fisheye picture.
    void previewOutlines(float first[130], float second[130]);

protected:
    // What the outlines of the two panels share: the radii of the strip's edges on the picture, a
    // panel's width in degrees and the outline's step, the x scale of getSegSize, and the pan and
    // flip as the picture sees them.
    struct PanelArc {
        float outerRadius, innerRadius, width, step, xScale, pan;
        bool flipped;
    };
    PanelArc panelArc();
    // Draws the two outlines (65 points each) in red; a failure is reported at site.
    HRESULT drawPanelOutlines(ID3D10Device* device, ID3D10Effect* effect, const float outlines[2][130],
                              const ReportSite& site);
};
