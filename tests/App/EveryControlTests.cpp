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
    const Screen& screen = GetParam();
    media::Player::setAudioEnabled(false);
    std::filesystem::create_directories(documents());
    // Mail and printing end in a saved file, never in a program of the machine's.
    basetest::ScopedEnv path("PATH", (m_home.path() / "no-programs").string());
    ui::Application::shared().setRecordsOpenedURLs(true);
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    loginAsDemo();
    ASSERT_TRUE(showMain());
    int tapped = walk(screen);
    std::printf("%s: %d controls tapped\n", screen.name, tapped);
    EXPECT_GT(tapped, 0) << screen.name << " showed no control";
    backToMain();
    ui::Application::shared().setRecordsOpenedURLs(false);
}

// The same walk with a skin whose every picture is one pixel: stretched buttons, bars and
// backgrounds draw as flat fills, never reading past their pictures.
TEST_P(EveryControlTest, IsTappedWithASkinOfOnePixelPictures)
{
    const Screen& screen = GetParam();
    media::Player::setAudioEnabled(false);
    std::filesystem::create_directories(documents());
    basetest::ScopedEnv path("PATH", (m_home.path() / "no-programs").string());
    ui::Application::shared().setRecordsOpenedURLs(true);
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    ASSERT_GT(controlwalk::makeSkinsOnePixel(documents()), 20);
    loginAsDemo();
    ASSERT_TRUE(showMain());
    EXPECT_GT(walk(screen), 0) << screen.name << " showed no control";
    backToMain();
    ui::Application::shared().setRecordsOpenedURLs(false);
}

INSTANTIATE_TEST_SUITE_P(OnScreen, EveryControlTest, ::testing::ValuesIn(controlwalk::kScreens),
                         [](const ::testing::TestParamInfo<Screen>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

} // namespace
