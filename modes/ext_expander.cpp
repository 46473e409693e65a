#include "modes/ext_expander.h"

// At zoom z the visible half-height on a 16:9 output is 1 / (z 16/9) mesh units; it equals the strip's
// half-height radiusScale / pi at z = 2 / (radiusScale 2/pi 16/9).
CExtExpander::CExtExpander() {
    minZoom = 2 / (radiusScale * 2 / kPi * 1.7777778f);
    zoom = minZoom;
}

CExtExpander::~CExtExpander() = default;

void CExtExpander::SetZoom(float p) {
    if (p >= 0 && p <= 100) {
        const float step = (4 - minZoom) / 100;
        zoom = minZoom + p * step;
    }
}
