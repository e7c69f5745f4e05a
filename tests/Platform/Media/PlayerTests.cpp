#include "Platform/Base/RunLoop.h"
#include "Platform/Media/Player.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Slider.h"
#include "Platform/UI/Window.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/PdfFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

// Clips made once for the suite with GStreamer's own command-line tool.
class PlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        media::Player::setAudioEnabled(false);
        dir = new basetest::TempDir();
        webm = (dir->path() / "clip.webm").string();
        mp4 = (dir->path() / "clip.mp4").string();
        webmMade = pdffix::run({"gst-launch-1.0", "-q", "webmmux", "name=mux", "!", "filesink", "location=" + webm,
                                "videotestsrc", "num-buffers=30", "!", "video/x-raw,width=160,height=120,framerate=30/1",
                                "!", "vp8enc", "!", "mux.", "audiotestsrc", "num-buffers=44", "!", "audioconvert", "!",
                                "vorbisenc", "!", "mux."});
        // Ten seconds: long enough to pause, move about in and let the controls hide over.
        longWebm = (dir->path() / "long.webm").string();
        longMade = pdffix::run({"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=100", "!",
                                "video/x-raw,width=160,height=120,framerate=10/1", "!", "vp8enc", "!", "webmmux",
                                "!", "filesink", "location=" + longWebm});
        mp4Made = pdffix::run({"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=30", "!",
                               "video/x-raw,width=160,height=120,framerate=30/1", "!", "avenc_mpeg4", "!", "mp4mux",
                               "!", "filesink", "location=" + mp4});
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    // Playback runs on GStreamer's clock: wait in real time, serving the main loop.
    static bool waitFor(const std::function<bool()>& done, double seconds = 10)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done() && std::chrono::steady_clock::now() < until) {
            base::RunLoop::main().runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    static basetest::TempDir* dir;
    static std::string webm, mp4, longWebm;
    static bool webmMade, mp4Made, longMade;
};
basetest::TempDir* PlayerTest::dir = nullptr;
std::string PlayerTest::webm, PlayerTest::mp4, PlayerTest::longWebm;
bool PlayerTest::webmMade = false, PlayerTest::mp4Made = false, PlayerTest::longMade = false;

TEST_F(PlayerTest, ClipsPlayToTheirEndAndFramesAreDrawn)
{
    ASSERT_TRUE(webmMade && mp4Made) << "gst-launch-1.0 could not make the clips";
    ui::Window window;
    for (const std::string& clip : {webm, mp4}) {
        SCOPED_TRACE(clip);
        auto view = ui::View::make<media::PlayerView>(gfx::Rect(50, 94, 924, 604));
        window.addSubview(view);
        auto player = media::Player::create();
        view->setPlayer(player);
        ASSERT_TRUE(player->play(clip));
        EXPECT_EQ(player->state(), media::Player::State::Playing);
        ASSERT_TRUE(waitFor([&] {
            window.snapshot();
            return player->endOfStreamCount() > 0;
        }));
        EXPECT_EQ(player->state(), media::Player::State::Stopped);
        EXPECT_GT(player->framesDrawn(), 0u);
        // The last frame stays: test-pattern colours inside the view.
        gfx::Image shot = window.snapshot();
        EXPECT_GT(shot.colorAt(512, 396).r + shot.colorAt(512, 396).g + shot.colorAt(512, 396).b, 0.1);
        view->removeFromSuperview();
    }
    auto seconds = media::durationOfFile(webm);
    ASSERT_TRUE(seconds);
    EXPECT_NEAR(*seconds, 1.0, 0.1);
    EXPECT_FALSE(media::durationOfFile((dir->path() / "none.webm").string()));
}

TEST_F(PlayerTest, RepeatingRestartsAndStopIsImmediate)
{
    ASSERT_TRUE(webmMade);
    auto player = media::Player::create();
    player->setRepeats(true);
    ASSERT_TRUE(player->play(webm));
    ASSERT_TRUE(waitFor([&] { return player->endOfStreamCount() >= 2; }, 15));
    EXPECT_EQ(player->state(), media::Player::State::Playing);
    player->stop();
    EXPECT_EQ(player->state(), media::Player::State::Stopped);
}

TEST_F(PlayerTest, MissingAndDamagedFilesShowAnError)
{
    std::string damaged = (dir->path() / "damaged.webm").string();
    pdffix::writeFile(damaged, std::string(5000, 'x'));
    for (const std::string& path : {(dir->path() / "none.webm").string(), damaged}) {
        SCOPED_TRACE(path);
        auto view = ui::View::make<media::PlayerView>(gfx::Rect(0, 0, 400, 300));
        auto player = media::Player::create();
        view->setPlayer(player);
        player->play(path);
        ASSERT_TRUE(waitFor([&] { return player->state() == media::Player::State::Error; }));
        EXPECT_FALSE(view->accessibilityText().empty());
        player->stop();
        EXPECT_EQ(player->state(), media::Player::State::Error);
    }
}

TEST_F(PlayerTest, ControlsPauseResumeSeekToADraggedTimeAndHideWhilePlaying)
{
    ASSERT_TRUE(longMade) << "gst-launch-1.0 could not make the clip";
    // The controls' own timing runs on the manual clock; the pictures on GStreamer's.
    struct ManualClock {
        ManualClock() { base::RunLoop::main().setManualClock(true); }
        ~ManualClock() { base::RunLoop::main().setManualClock(false); }
    } manual;
    using State = media::Player::State;
    ui::Window window;
    ui::Driver driver(window);
    auto view = ui::View::make<media::PlayerView>(gfx::Rect(50, 94, 924, 604));
    window.addSubview(view);
    auto player = media::Player::create();
    view->setPlayer(player);
    int dones = 0;
    view->setDoneHandler([&] { ++dones; });
    ASSERT_TRUE(player->play(longWebm));
    ASSERT_TRUE(view->becomeFirstResponder());
    ASSERT_TRUE(waitFor([&] { return player->duration() && player->position() > 0.3; }));
    EXPECT_NEAR(*player->duration(), 10, 0.2);
    window.layoutIfNeeded();
    ASSERT_TRUE(view->controlsShown());

    // The button pauses; Space goes on from the same place.
    ASSERT_TRUE(driver.tap(&view->playPauseButton()));
    EXPECT_EQ(player->state(), State::Paused);
    EXPECT_FALSE(view->playPauseButton().isSelected());
    double held = player->position();
    driver.type(" ");
    EXPECT_EQ(player->state(), State::Playing);
    ASSERT_TRUE(waitFor([&] { return player->position() > held + 0.3; }));
    EXPECT_LT(player->position(), held + 3);
    driver.type(" ");
    EXPECT_EQ(player->state(), State::Paused);

    // The bar dragged to about seven tenths: the time follows, the clip moves there.
    ui::Slider& bar = view->positionBar();
    gfx::Rect thumb = bar.convertRectToView(bar.thumbRect(), nullptr);
    gfx::Rect track = bar.convertRectToView(bar.trackRect(), nullptr);
    gfx::Point from{thumb.x() + thumb.width() / 2, thumb.y() + thumb.height() / 2};
    driver.drag(from, {track.x() + track.width() * 0.7, from.y});
    double target = bar.value();
    EXPECT_NEAR(target, 7, 1);
    EXPECT_EQ(view->elapsedLabel().text(), media::formatPlaybackTime(target));
    EXPECT_EQ(view->remainingLabel().text(), "-" + media::formatPlaybackTime(std::ceil(10 - target - 1e-6)));
    EXPECT_EQ(player->state(), State::Paused);
    driver.type(" ");
    ASSERT_TRUE(waitFor([&] { return player->position() > target + 0.2; }));
    EXPECT_LT(player->position(), target + 2.5) << "played on from the dragged place";

    // Out of the way while playing, back on a tap; Done goes to the owner.
    base::RunLoop::main().advance(media::PlayerView::kHideAfter + 0.5);
    EXPECT_FALSE(view->controlsShown());
    driver.tap(gfx::Point{512, 300});
    EXPECT_TRUE(view->controlsShown());
    window.layoutIfNeeded();
    ASSERT_TRUE(driver.tap(&view->doneButton()));
    EXPECT_EQ(dones, 1);

    // At the end the controls stay, at the whole length.
    player->seek(9.5);
    ASSERT_TRUE(waitFor([&] { return player->state() == State::Stopped; }, 15));
    base::RunLoop::main().advance(media::PlayerView::kHideAfter + 0.5);
    EXPECT_TRUE(view->controlsShown());
    EXPECT_EQ(view->remainingLabel().text(), "-0:00");
    EXPECT_EQ(view->elapsedLabel().text(), media::formatPlaybackTime(*player->duration()));
    view->removeFromSuperview();
}

} // namespace
