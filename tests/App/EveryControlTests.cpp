// Every control a person can reach, tapped: each screen of the table is opened, each control
// shown on it tapped in turn through the window's own hit testing, and the screen is brought
// back before the next one. Under the sanitizers this finds a control that crashes or touches
// freed memory, however rarely it is used.
#include "ControlWalkSupport.h"

namespace {

using controlwalk::EveryControlTest;
using controlwalk::Screen;

TEST_P(EveryControlTest, IsTappedAndTheScreenComesBack)
{
    int tapped = walkAfterDemoLogin(GetParam(), false);
    std::printf("%s: %d controls tapped\n", GetParam().name, tapped);
    EXPECT_GT(tapped, 0) << GetParam().name << " showed no control";
}

// The same walk with a skin whose every picture is one pixel: stretched buttons, bars and
// backgrounds draw as flat fills, never reading past their pictures.
TEST_P(EveryControlTest, IsTappedWithASkinOfOnePixelPictures)
{
    EXPECT_GT(walkAfterDemoLogin(GetParam(), true), 0) << GetParam().name << " showed no control";
}

INSTANTIATE_TEST_SUITE_P(OnScreen, EveryControlTest, ::testing::ValuesIn(controlwalk::kScreens),
                         [](const ::testing::TestParamInfo<Screen>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

} // namespace
