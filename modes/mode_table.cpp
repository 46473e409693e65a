#include "modes/mode_table.h"

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

CBaseExpander* NewFrontExpander(const ModeCreateArgs& args) {
    return new (std::nothrow) CFrontExpander(args.aspectX, args.aspectY);
}

// The unit vector of 16:9: s = sqrt(337) as a float, each component narrowed to a float.
CBaseExpander* NewFront16x9Expander(const ModeCreateArgs&) {
    const float s = float(std::sqrt(337.0));
    return new (std::nothrow) CFrontExpander(float(16 / s), float(9 / s));
}

CBaseExpander* NewAdjustExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CAdjustExpander();
}
CBaseExpander* NewPanoramaExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CPanoramaExpander();
}
CBaseExpander* NewEquirectExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CEquirectExpander();
}
CBaseExpander* NewEqRect2Expander(const ModeCreateArgs&) {
    return new (std::nothrow) CEqRect2Expander();
}
CBaseExpander* NewSegExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CSegExpander();
}
CBaseExpander* NewQuadExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CQuadExpander();
}
CBaseExpander* NewRingExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CRingExpander();
}
CBaseExpander* NewDomeExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CDomeExpander();
}
CBaseExpander* NewInDomeExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CInDomeExpander();
}
CBaseExpander* NewThrowOutExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CThrowOutExpander10();
}
CBaseExpander* NewExtExpander(const ModeCreateArgs&) {
    return new (std::nothrow) CExtExpander();
}
CBaseExpander* NewYouTubePrev1Expander(const ModeCreateArgs&) {
    return new (std::nothrow) CYouTubePrevExpander(0);
}
CBaseExpander* NewYouTubePrev2Expander(const ModeCreateArgs&) {
    return new (std::nothrow) CYouTubePrevExpander(1);
}
