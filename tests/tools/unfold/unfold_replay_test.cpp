// Every mode's picture, through the engine as the virtual camera runs it: the interpreter's, the first
// frame of the specialised routines and the replayed ones (cached coverage), with AVX2 kernels and with
// the portable ones, are one picture.
#include <gtest/gtest.h>

#include "platform/d3d10/software_device.h"
#include "tests/tools/unfold/quick_scene.h"

namespace tools::unfold {
namespace {

TEST(UnfoldReplay, EveryModesPictureIsTheSameWhenReplayed) {
    const image::Image fisheye = testing::QuickFisheye();
    std::vector<image::Image> portable;
    for (bool avx2 : {false, true}) {
        UnfoldSettings s;
        s.width = 320, s.height = 180;
        std::string error;
        auto unfolder = testing::ConnectedUnfolder(fisheye, s, error);
        ASSERT_TRUE(unfolder) << error;
        image::Image picture;
        ID3D10Device* device = unfolder->engine().Device();
        if (avx2 && !platform::d3d10::SetDeviceAvx2(device, true))
            GTEST_SKIP() << "no AVX2 on this processor";
        if (!avx2) platform::d3d10::SetDeviceAvx2(device, false);
        size_t k = 0;
        for (int32_t mode = 0; mode < 16; ++mode) {
            if (mode == testing::kModeWithoutExpander) continue;
            // Unfiltered, then through the sharpen kernel, and in two modes the blur kernel.
            for (int filter : {0, 1, 2}) {
                if (filter == 2 && mode != 9 && mode != 6) continue;
                s.mode = mode;
                // The interpreter's picture, then the routines' from a cleared cache.
                platform::d3d10::SetDeviceInterpretsNewCoverage(device, true);
                platform::d3d10::ClearCoverageCache(device);
                if (filter == 1) unfolder->engine().Current()->SetSharpness(0.6f);
                if (filter == 2) unfolder->engine().Current()->SetBlur(1.2f);
                ASSERT_TRUE(unfolder->unfold(fisheye, s, picture));
                platform::d3d10::SetDeviceInterpretsNewCoverage(device, false);
                platform::d3d10::ClearCoverageCache(device);
                image::Image first, again;
                ASSERT_TRUE(unfolder->unfold(fisheye, s, first));
                EXPECT_EQ(first, picture) << ModeLabel(mode) << " filter " << filter << ": interpreted";
                for (int frame = 0; frame < 2; ++frame) {
                    ASSERT_TRUE(unfolder->unfold(fisheye, s, again));
                    EXPECT_EQ(again, first) << ModeLabel(mode) << " filter " << filter << " frame " << frame;
                }
                unfolder->engine().Current()->SetSharpness(0.0f);
                if (avx2)
                    EXPECT_EQ(first, portable[k++]) << ModeLabel(mode) << " filter " << filter << ": AVX2";
                else
                    portable.push_back(first);
            }
        }
        EXPECT_GT(platform::d3d10::GetCoverageCacheStats(device).hits, 30u);
    }
}

} // namespace
} // namespace tools::unfold
