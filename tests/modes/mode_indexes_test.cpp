// The control interfaces' mode indexes, read from the table of modes by a program that links no engine
// and no mode: the virtual camera includes the table the same way.
#include <gtest/gtest.h>

#include "modes/mode_table.h"

namespace {

TEST(ModeIndexes, GeneralInterface) {
    const int32_t modes[] = {0, 2, 5, 6, 7, 8, 9, 10, 11, 14, 15};
    for (int index = 0; index < 11; ++index) {
        EXPECT_EQ(ModeOfGeneralIndex(index), modes[index]) << index;
        EXPECT_EQ(GeneralIndexOfMode(modes[index]), index) << index;
    }
    for (int index : {-1, 11, 100}) EXPECT_EQ(ModeOfGeneralIndex(index), -1) << index;
    // Modes without an index, and no mode at all.
    for (int32_t mode : {1, 3, 4, 12, 13, -1, 16}) EXPECT_EQ(GeneralIndexOfMode(mode), kNoIndex) << mode;
}

TEST(ModeIndexes, FilterInterface) {
    const int32_t modes[] = {0, 2, 5, 6, 7, 8, 9, 10, 11, 15};
    for (int index = 0; index < 10; ++index) {
        EXPECT_EQ(ModeOfFilterIndex(index), modes[index]) << index;
        EXPECT_EQ(FilterIndexOfMode(modes[index]), index) << index;
    }
    for (int32_t mode : {1, 3, 4, 12, 13, 14, -1}) EXPECT_EQ(FilterIndexOfMode(mode), kNoIndex) << mode;
    for (int index : {-3, -1, 10, 11}) EXPECT_EQ(ModeOfFilterIndex(index), -1) << index;
}

TEST(ModeIndexes, VirtualCameraSettings) {
    const int indexes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 6, 9};
    for (int32_t mode = 0; mode < 11; ++mode) EXPECT_EQ(FilterIndexOfVCamMode(mode), indexes[mode]) << mode;
    // Any other setting selects INDOME, as an unsigned comparison would see negative ones.
    for (int32_t mode : {11, 12, 1000, -1, INT32_MIN}) EXPECT_EQ(FilterIndexOfVCamMode(mode), 6) << mode;
    EXPECT_EQ(ModeOfFilterIndex(FilterIndexOfVCamMode(10)), kModeFront16x9);
}

TEST(ModeIndexes, NamesWithoutTheEngine) {
    EXPECT_STREQ(ModeName(kDefaultMode), "INDOME");
    EXPECT_STREQ(ModeName(kModeFront16x9), "UNKNOWN");
    EXPECT_STREQ(ModeName(-7), "UNKNOWN");
}

} // namespace
