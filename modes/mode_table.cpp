#include "engine/mode_table.h"

#include <cmath>
#include <new>

#include "modes/adjust_expander.h"
#include "modes/dome_expander.h"
#include "modes/eq_rect2_expander.h"
#include "modes/equirect_expander.h"
#include "modes/ext_expander.h"
#include "modes/front_expander.h"
#include "modes/indome_expander.h"
#include "modes/panorama_expander.h"
#include "modes/quad_expander.h"
#include "modes/ring_expander.h"
#include "modes/seg_expander.h"
#include "modes/throw_out_expander10.h"
#include "modes/youtube_prev_expander.h"

namespace {

// The unit vector of 16:9: s = sqrt(337) as a float, each component narrowed to a float.
CBaseExpander* sixteenByNine() {
    const float s = float(std::sqrt(337.0));
    return new (std::nothrow) CFrontExpander(float(16 / s), float(9 / s));
}

} // namespace

CBaseExpander* CreateModeExpander(int32_t id, float ax, float ay) {
    switch (id) {
    case 0:
        return new (std::nothrow) CFrontExpander(ax, ay);
    case 1:
        return new (std::nothrow) CAdjustExpander();
    case 2:
        return new (std::nothrow) CPanoramaExpander();
    case 3:
        return new (std::nothrow) CEquirectExpander();
    case 4:
        return new (std::nothrow) CEqRect2Expander();
    case 5:
        return new (std::nothrow) CSegExpander();
    case 6:
        return new (std::nothrow) CQuadExpander();
    case 7:
        return new (std::nothrow) CRingExpander();
    case 8:
        return new (std::nothrow) CDomeExpander();
    case 9:
        return new (std::nothrow) CInDomeExpander();
    case 10:
        return new (std::nothrow) CThrowOutExpander10();
    case 11:
        return new (std::nothrow) CExtExpander();
    case 12:
        return new (std::nothrow) CYouTubePrevExpander(0);
    case 13:
        return new (std::nothrow) CYouTubePrevExpander(1);
    case 15:
        return sixteenByNine();
    default:
        return nullptr;
    }
}

void SetModeAspect(CBaseExpander* expander, int32_t mode, float ax, float ay) {
    if (mode == 0 || mode == 15) static_cast<CFrontExpander*>(expander)->SetAspect(ax, ay);
}
