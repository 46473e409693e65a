// The table of modes: each id creates its own mode's expander, and the facade prints the table's names.
#include <cmath>
#include <memory>
#include <typeinfo>

#include <gtest/gtest.h>

#include "engine/orb_expander.h"
#include "modes/adjust_expander.h"
#include "modes/dome_expander.h"
#include "modes/eq_rect2_expander.h"
#include "modes/equirect_expander.h"
#include "modes/ext_expander.h"
#include "modes/front_expander.h"
#include "modes/indome_expander.h"
#include "modes/mode_table.h"
#include "modes/panorama_expander.h"
#include "modes/quad_expander.h"
#include "modes/ring_expander.h"
#include "modes/seg_expander.h"
#include "modes/throw_out_expander10.h"
#include "modes/youtube_prev_expander.h"

namespace {

std::unique_ptr<CBaseExpander> create(int32_t id, ModeCreateArgs args = {1, 1}) {
    const ExpanderFactory factory = kUnfoldModes[size_t(id)].create;
    return std::unique_ptr<CBaseExpander>(factory ? factory(args) : nullptr);
}

TEST(ModeTable, EachIdCreatesItsModesExpander) {
    const std::type_info* expected[kModeCount] = {
        &typeid(CFrontExpander),       &typeid(CAdjustExpander),      &typeid(CPanoramaExpander),
        &typeid(CEquirectExpander),    &typeid(CEqRect2Expander),     &typeid(CSegExpander),
        &typeid(CQuadExpander),        &typeid(CRingExpander),        &typeid(CDomeExpander),
        &typeid(CInDomeExpander),      &typeid(CThrowOutExpander10),  &typeid(CExtExpander),
        &typeid(CYouTubePrevExpander), &typeid(CYouTubePrevExpander), nullptr,
        &typeid(CFrontExpander)};
    for (int32_t id = 0; id < kModeCount; ++id) {
        std::unique_ptr<CBaseExpander> e = create(id);
        if (!expected[id]) {
            EXPECT_EQ(e, nullptr) << id;
            continue;
        }
        ASSERT_NE(e, nullptr) << id;
        EXPECT_EQ(typeid(*e), *expected[id]) << id;
    }
    EXPECT_EQ(static_cast<CYouTubePrevExpander&>(*create(kModeYtPrev1)).getVariant(), 0);
    EXPECT_EQ(static_cast<CYouTubePrevExpander&>(*create(kModeYtPrev2)).getVariant(), 1);
}

TEST(ModeTable, FrontViewsTakeTheFacadesPairOrSixteenByNine) {
    auto front = create(kModeNone, {0.5f, 0.25f});
    EXPECT_TRUE(static_cast<CFrontExpander&>(*front).cropping()); // the pair given
    auto whole = create(kModeNone, {1, 1});
    EXPECT_FALSE(static_cast<CFrontExpander&>(*whole).cropping());
    // Mode 15 ignores the pair: 16:9 as the unit vector (16, 9) / sqrt(337), in floats.
    auto wide = create(kModeFront16x9, {1, 1});
    ASSERT_TRUE(static_cast<CFrontExpander&>(*wide).cropping());
    wide->SetZoom(0);
    wide->SetPosition(50, 50);
    float h = -1;
    wide->GetPosition(&h, nullptr);
    EXPECT_NEAR(h, 50, 1e-4);
}

TEST(ModeTable, TheFacadePrintsTheTablesNames) {
    const char* names[] = {"NONE", "NONE_ADJ", "PANORAMA", "EQRECT",   "EQRECT2", "SEG",     "QUAD",
                           "RING", "DOME",     "INDOME",   "THROWOUT", "EXTRACT", "YTPREV1", "YTPREV2"};
    for (int32_t id = 0; id < 14; ++id) EXPECT_STREQ(COrbExpander::GetModeName(id), names[id]);
    for (int32_t id : {14, 15, 16, -1, 1000}) EXPECT_STREQ(COrbExpander::GetModeName(id), "UNKNOWN");
    EXPECT_STREQ(kModeLabels[kModeFront16x9], "16:9");
}

} // namespace
