// Unfold mode 11: the panorama with its zoom starting where the strip's height exactly fills a 16:9
// frame; the zoom percentage runs from there to 4. Everything else is the panorama's.
#pragma once

#include "modes/panorama_expander.h"

class CExtExpander : public CPanoramaExpander {
public:
    CExtExpander();
    ~CExtExpander() override;

    void SetZoom(float percent) override;

    float getMinZoom() const { return minZoom; }

protected:
    float minZoom; // the zoom at which the strip fills a 16:9 frame vertically
};
