#include "Classes/Library/LibraryFileOpener.h"
#include "Classes/Library/VideoViewController.h"
#include "Common/Language.h"
#include "Platform/Media/Player.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "tests/Classes/Library/ReaderTestSupport.h"

#include <chrono>
#include <thread>

namespace {

using readertest::ReaderWindowTest;

class VideoTest : public ReaderWindowTest {
protected:
    void SetUp() override
    {
        ReaderWindowTest::SetUp();
        media::Player::setAudioEnabled(false);
        clip = (home() / "Documents/acme/Video/clip.webm").string();
        std::filesystem::create_directories(home() / "Documents/acme/Video");
        made = pdffix::run({"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=30", "!",
                            "video/x-raw,width=320,height=240,framerate=30/1", "!", "vp8enc", "!", "webmmux", "!",
                            "filesink", "location=" + clip});
        stops = base::NotificationCenter::defaultCenter().addObserver(
            VideoViewController::kStopNotification, nullptr, [this](const base::Notification&) { ++stopCount; });
    }
    bool waitFor(const std::function<bool()>& done)
    {
        for (int i = 0; i < 2000 && !done(); ++i) {
            base::RunLoop::main().runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    std::string clip;
    bool made = false;
    int stopCount = 0;
    base::ObserverToken stops;
};

TEST_F(VideoTest, PlaysTogglesRepeatAndGoesBack)
{
    ASSERT_TRUE(made);
    auto root = std::make_shared<ui::ViewController>();
    auto nav = std::make_shared<ui::NavigationController>(root);
    window->setRootViewController(nav);
    auto opener = std::make_shared<LibraryFileOpener>();
    opener->openPath(clip, 6, "Product film");
    auto video = opener->video();
    ASSERT_TRUE(video);
    EXPECT_EQ(video->view()->superview(), nav->view().get());
    EXPECT_EQ(video->view()->frame(), gfx::Rect(0, 0, 1024, 768)) << "the whole window, no band";
    EXPECT_EQ(video->titleLabel()->text(), "Product film");
    auto player = video->player();
    ASSERT_TRUE(waitFor([&] {
        window->snapshot();
        return player->framesDrawn() > 2;
    }));
    gfx::Image shot = window->snapshot();
    shot.writePng(reviewPath("video-player.png"));
    // Test-pattern colours inside the player's area.
    int coloured = 0;
    for (int y = 20 + 94 + 10; y < 20 + 94 + 604; y += 40)
        for (int x = 60; x < 960; x += 40) {
            gfx::Color c = shot.colorAt(x, y);
            coloured += std::abs(c.r - c.g) + std::abs(c.g - c.b) > 0.3;
        }
    EXPECT_GT(coloured, 10);

    // The repeat toggle, on then off.
    driver->tap(video->loopButton().get());
    EXPECT_TRUE(video->loopButton()->isSelected());
    EXPECT_TRUE(player->repeats());
    EXPECT_TRUE(driver->findByText(Language::stringWithName("LOOPPLAYENABLED")));
    driver->tap(video->loopButton().get());
    EXPECT_FALSE(player->repeats());
    EXPECT_TRUE(driver->findByText(Language::stringWithName("LOOPPLAYDISABLED")));

    // Back while playing: silent at once, one notice, and the opener lets the screen go.
    driver->tap(video->backButton().get());
    EXPECT_NE(player->state(), media::Player::State::Playing);
    EXPECT_EQ(stopCount, 1);
    EXPECT_FALSE(opener->video());
    EXPECT_FALSE(video->view()->superview());
    video->btnbackClicked();
    EXPECT_EQ(stopCount, 1);
}

TEST_F(VideoTest, AMissingFileStillBuildsTheScreen)
{
    auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    auto video = std::make_shared<VideoViewController>();
    video->createWithFilenameAndFilePath("Gone", (home() / "gone.mp4").string());
    root->view()->addSubview(video->view());
    EXPECT_EQ(video->player()->state(), media::Player::State::Error);
    EXPECT_TRUE(driver->findByText(Language::stringWithName("VIDEOFILEMISSING")));
    driver->tap(video->backButton().get());
    EXPECT_EQ(stopCount, 1);
}

} // namespace
