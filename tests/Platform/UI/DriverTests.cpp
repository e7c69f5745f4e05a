#include "UITestSupport.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include "tests/Platform/Base/FileTestSupport.h"

#include <cstdio>
#include <filesystem>
#include <functional>

using namespace ui;
using uitest::RecordingView;
using uitest::WindowTest;

namespace {

class TextBox : public RecordingView {
public:
    TextBox(const gfx::Rect& frame, std::string text) : RecordingView(frame), m_text(std::move(text)) {}
    std::string accessibilityText() const override { return m_text; }

private:
    std::string m_text;
};

using DriverTest = WindowTest;

// Puts its child in place only when laid out, as a grid places its cells.
class LaysOutItsChild : public ui::View {
public:
    using View::View;
    std::shared_ptr<RecordingView> child = std::make_shared<RecordingView>(gfx::Rect(0, 0, 0, 0));
    void layoutSubviews() override
    {
        if (!child->superview())
            addSubview(child);
        child->setFrame(gfx::Rect(20, 20, 60, 60));
    }
};

TEST_F(DriverTest, FindsWhatIsOnScreenAndTapsThroughHitTesting)
{
    auto ok = std::make_shared<TextBox>(gfx::Rect(10, 10, 100, 40), "OK");
    auto okay = std::make_shared<TextBox>(gfx::Rect(10, 60, 100, 40), "Okay then");
    auto hidden = std::make_shared<TextBox>(gfx::Rect(10, 110, 100, 40), "Hidden");
    hidden->setHidden(true);
    auto offscreen = std::make_shared<TextBox>(gfx::Rect(2000, 10, 100, 40), "Far");
    okay->setTag(7);
    for (auto& v : {ok, okay, hidden, offscreen})
        window->addSubview(v);
    Driver driver(*window);
    EXPECT_EQ(driver.findByText("OK"), ok.get());
    EXPECT_EQ(driver.findByText("then"), okay.get());
    EXPECT_EQ(driver.findByText("Hidden"), nullptr);
    EXPECT_EQ(driver.findByText("Far"), nullptr);
    EXPECT_EQ(driver.findByTag(7), okay.get());

    // A cover over the button takes the tap: the driver goes through hit testing.
    auto cover = std::make_shared<RecordingView>(gfx::Rect(0, 0, 80, 60));
    window->addSubview(cover);
    EXPECT_TRUE(driver.tap(ok.get()));
    EXPECT_TRUE(ok->log.empty());
    EXPECT_EQ(cover->log, (std::vector<std::string>{"began", "ended"}));
    EXPECT_FALSE(driver.tap(hidden.get()));
}

TEST_F(DriverTest, TouchesMeetTheLaidOutViewsThoughNothingDrewInBetween)
{
    // Layouts left pending, as after a reload with no frame drawn since.
    auto host = std::make_shared<LaysOutItsChild>(gfx::Rect(0, 0, 200, 200));
    window->addSubview(host);
    window->touchDown(1, {50, 50});
    window->touchUp(1, {50, 50});
    EXPECT_EQ(host->child->log, (std::vector<std::string>{"began", "ended"}));
}

// Reads its picture off the main thread once laid out, as a grid's tile does.
class ReadsWhenLaidOut : public ui::View {
public:
    using View::View;
    std::atomic<bool> shown{false};
    void layoutSubviews() override
    {
        base::dispatchBackground([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            base::performOnMain([this] { shown = true; });
        });
    }
};

TEST_F(DriverTest, AScriptedWaitLaysOutAndLetsBackgroundWorkComeBack)
{
    auto tile = std::make_shared<ReadsWhenLaidOut>(gfx::Rect(0, 0, 100, 100));
    window->addSubview(tile);
    Driver driver(*window);
    ScriptRunner runner(driver);
    ASSERT_TRUE(runner.runText("wait 0.2\n")) << runner.error();
    EXPECT_TRUE(tile->shown);
}

// Work of another thread that reports back when it ends, as a transfer does: its answer goes
// to the main loop, and only then does it stop counting as under way.
class TransferUnderWay {
public:
    explicit TransferUnderWay(std::chrono::milliseconds takes)
    {
        base::beginOutsideWork();
        m_thread = std::thread([this, takes] {
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, takes, [this] { return m_release; });
            lock.unlock();
            base::RunLoop::main().post([this] { answered = true; });
            base::endOutsideWork();
        });
    }
    ~TransferUnderWay()
    {
        {
            std::lock_guard lock(m_mutex);
            m_release = true;
        }
        m_changed.notify_all();
        m_thread.join();
        // Its answer, if still queued, runs while this is alive.
        base::RunLoop::main().runPending();
    }
    bool answered = false;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_release = false;
    std::thread m_thread;
};

TEST_F(DriverTest, AScriptedWaitGivesATransferUnderWayRealTime)
{
    using Clock = std::chrono::steady_clock;
    struct Case {
        const char* name;
        std::chrono::milliseconds takes;
        const char* script;
        bool answered;
        double atLeast; // real seconds the wait holds
        double atMost;
    };
    const Case cases[] = {
        // A user waiting ten seconds sees a quick answer come in; the rest of the wait costs
        // no real time once nothing is under way.
        {"quick answer", std::chrono::milliseconds(300), "wait 10\n", true, 0.3, 8},
        // An answer slower than the wait has not come when it ends: the wait is a user's, not a
        // wait for the answer.
        {"slow answer", std::chrono::milliseconds(60000), "wait 0.5\n", false, 0.5, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Driver driver(*window);
        ScriptRunner runner(driver);
        // Real time counts from the transfer's start: its answer comes that long after it.
        auto realBefore = Clock::now();
        TransferUnderWay transfer(c.takes);
        double before = base::RunLoop::main().now();
        ASSERT_TRUE(runner.runText(c.script)) << runner.error();
        double real = std::chrono::duration<double>(Clock::now() - realBefore).count();
        EXPECT_EQ(transfer.answered, c.answered);
        EXPECT_GE(base::RunLoop::main().now() - before, c.atLeast);
        EXPECT_GE(real, c.atLeast);
        EXPECT_LE(real, c.atMost);
    }
}

TEST_F(DriverTest, AQuickTapStaysATapWhenTheLoopIsBusyOnTheRealClock)
{
    // A window's real clock: a turn of the loop slower than a long press is, as on a loaded
    // machine, must not make the scripted finger's quick tap one.
    base::RunLoop::main().setManualClock(false);
    struct Case {
        const char* name;
        std::function<void(double)> waitHandler; // none: the loop is run directly
    };
    const Case cases[] = {
        {"run loop", {}},
        {"window's pump", [](double seconds) { base::RunLoop::main().runFor(seconds); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto tile = std::make_shared<RecordingView>(gfx::Rect(100, 100, 200, 100));
        window->addSubview(tile);
        int pressed = 0;
        auto press = std::make_shared<LongPressGestureRecognizer>();
        press->addTarget([&](GestureRecognizer& r) { pressed += r.state() == GestureRecognizer::State::Began; });
        tile->addGestureRecognizer(press);
        Driver driver(*window);
        driver.setWaitHandler(c.waitHandler);
        bool slowTurnRan = false;
        // The slow turn itself, not a wait: it lasts past the long press's duration.
        const double turn = press->minimumPressDuration() + 0.3;
        base::RunLoop::main().post([&] {
            std::this_thread::sleep_for(std::chrono::duration<double>(turn));
            slowTurnRan = true;
        });
        driver.tap(gfx::Point{200, 150});
        EXPECT_TRUE(slowTurnRan);
        EXPECT_EQ(pressed, 0);
        EXPECT_EQ(tile->log, (std::vector<std::string>{"began", "ended"}));
        tile->removeFromSuperview();
    }
    base::RunLoop::main().setManualClock(true);
}

TEST_F(DriverTest, ScriptsDriveTheWindowAndStopAtTheFirstBadLine)
{
    auto button = std::make_shared<TextBox>(gfx::Rect(100, 100, 200, 50), "Start");
    button->setBackgroundColor(gfx::Color::blue());
    window->addSubview(button);
    Driver driver(*window);
    ScriptRunner runner(driver);
    basetest::TempDir folder; // its own: runs side by side never share a file
    auto png = folder / "driver-test.png";
    double before = base::RunLoop::main().now();
    std::string script = "# a comment\n"
                         "tap \"Start\"\n"
                         "wait 2.5\n"
                         "drag 150 125 400 400\n"
                         "expect \"Start\"\n"
                         "screenshot " + png.string() + "\n";
    ASSERT_TRUE(runner.runText(script)) << runner.error();
    EXPECT_GE(base::RunLoop::main().now() - before, 2.5);
    EXPECT_EQ(button->log, (std::vector<std::string>{"began", "ended", "began", "moved", "moved", "moved", "moved", "moved",
                                                     "moved", "moved", "moved", "moved", "moved", "moved", "moved",
                                                     "ended"}));
    ASSERT_TRUE(std::filesystem::exists(png));
    gfx::Image shot = gfx::Image::fromFile(png.string());
    EXPECT_EQ(shot.size(), (gfx::Size{1024, 768}));
    EXPECT_NEAR(shot.colorAt(200, 125).b, 1, 0.01);

    ScriptRunner failing(driver);
    EXPECT_FALSE(failing.runText("tap 1 1\nexpect \"Nothing\"\ntap 2 2\n"));
    EXPECT_EQ(failing.error(), "line 2: expected to see \"Nothing\"");
    EXPECT_FALSE(failing.runText("frobnicate\n"));
    EXPECT_EQ(failing.error(), "line 1: unknown command: frobnicate");
    EXPECT_FALSE(failing.runText("tap \"open quote\n"));
}

} // namespace
