// Unfold mode 10: the segment mode's mesh and view controls with the two half-height panels showing
// two adjacent pieces of the panorama instead of two opposite ones: the first piece in the lower half
// of the target, the one just before it in the upper half, so that together they make one continuous
// strip. At zoom 1 on a wide output this is the segment split with the halves swapped.
//
// It also carries an overview drawing (the whole panorama strip with the two pieces marked) built on the
// base's panorama mesh.
#pragma once

#include "modes/seg_expander.h"

class CThrowOutExpander10 : public CSegExpander {
public:
    CThrowOutExpander10();
    ~CThrowOutExpander10() override;

    // The segment mesh, then the overview's panorama mesh.
    HRESULT initialize(ID3D10Device* device) override;
    HRESULT renderPreviewLine(ID3D10Device* device, ID3D10Effect* effect, int32_t a, int32_t b) override;
    HRESULT renderOverlay(ID3D10Device* device, ID3D10Effect* effect, uint32_t pass,
                          const uint16_t* size) override;

    // Translation along x of piece i (0: lower half, 1: upper half) in mesh units.
    float panelOffset(int i) override;
    UINT panelTop(int i) override;
    // The outlines of the two pieces, 65 points (x, y pairs) each, in the unit-circle coordinates of
    // the fisheye picture.
    void pieceOutlines(float first[130], float second[130]);

    bool hasOverview() const { return overviewVB != nullptr; }

protected:
    ID3D10Buffer* overviewVB;
};
