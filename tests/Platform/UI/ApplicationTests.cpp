#include "UITestSupport.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/TerminateHook.h"
#include "Platform/UI/Window.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <filesystem>
#include <fstream>

#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <stdexcept>
#include <thread>

using namespace ui;

namespace {

struct StateLog : ApplicationDelegate {
    std::vector<std::string> events;
    bool didFinishLaunching(Application&) override
    {
        events.push_back("launch");
        return true;
    }
    void willResignActive(Application&) override { events.push_back("resign"); }
    void didBecomeActive(Application&) override { events.push_back("active"); }
    void didEnterBackground(Application&) override { events.push_back("background"); }
    void willEnterForeground(Application&) override { events.push_back("foreground"); }
    void willTerminate(Application&) override { events.push_back("terminate"); }
};

class ApplicationTest : public uitest::WindowTest {
protected:
    void TearDown() override
    {
        Application::shared().resetForTesting();
        Application::shared().setURLRecorder({});
        WindowTest::TearDown();
    }
};

TEST_F(ApplicationTest, StateChangesReachTheDelegateAndObserversInOrderOnce)
{
    auto log = std::make_shared<StateLog>();
    std::vector<base::ObserverToken> observers;
    for (const char* name : {Application::kWillResignActiveNotification, Application::kDidBecomeActiveNotification,
                             Application::kWillTerminateNotification})
        observers.push_back(base::NotificationCenter::defaultCenter().addObserver(
            name, nullptr, [log](const base::Notification& n) { log->events.push_back("posted " + n.name); }));
    Application& app = Application::shared();
    ASSERT_TRUE(app.launch(log));
    Driver driver(*window);
    driver.enterForeground(); // not in the background: nothing
    app.becomeActive();       // active already: nothing
    app.resignActive();       // the window lost focus
    app.resignActive();
    app.becomeActive();       // and got it back
    app.resignActive();       // lost focus, then minimised: one resign only
    driver.enterBackground();
    driver.enterBackground();
    app.becomeActive();       // focus comes back before the window is restored: nothing yet
    driver.enterForeground();
    app.terminate();
    app.terminate();
    const std::string resign = std::string("posted ") + Application::kWillResignActiveNotification;
    const std::string active = std::string("posted ") + Application::kDidBecomeActiveNotification;
    const std::string end = std::string("posted ") + Application::kWillTerminateNotification;
    EXPECT_EQ(log->events, (std::vector<std::string>{"launch", "active", "resign", resign, "active", active, "resign",
                                                     resign, "background", "foreground", "active", active, "terminate",
                                                     end}));
}

TEST_F(ApplicationTest, SigtermEndsAHeadlessRunAsClosingTheWindowDoes)
{
    // Launching starts a thread that sends the signal once the script waits (the handler is in
    // place before launch); the script would otherwise wait a minute, then fail on its next line.
    struct Killer : StateLog {
        std::shared_ptr<Window> window;
        std::thread thread;
        bool didFinishLaunching(Application& app) override
        {
            StateLog::didFinishLaunching(app);
            window = std::make_shared<Window>();
            window->makeKeyAndVisible();
            thread = std::thread([] { ::kill(::getpid(), SIGTERM); });
            return true;
        }
    };
    basetest::TempDir dir;
    std::ofstream(dir / "script.txt") << "waitfor \"never shown\" 60\nexpect \"never shown\"\n";
    Application::shared().resetForTesting();
    Application::Options options;
    options.headless = true;
    options.script = (dir / "script.txt").string();
    auto killer = std::make_shared<Killer>();
    EXPECT_EQ(Application::shared().run(options, killer), 0);
    killer->thread.join();
    EXPECT_TRUE(Application::shared().isTerminationRequested());
    ASSERT_FALSE(killer->events.empty());
    EXPECT_EQ(killer->events.back(), "terminate");
    base::RunLoop::main().setManualClock(true);
}

TEST_F(ApplicationTest, OpenURLRefusesWhatTheOpenerWouldMisreadAndRecordsTheRest)
{
    std::vector<std::string> opened;
    Application::shared().setURLRecorder([&](const std::string& u) { opened.push_back(u); });
    EXPECT_FALSE(Application::shared().openURL(""));
    EXPECT_FALSE(Application::shared().openURL("--help"));
    EXPECT_TRUE(Application::shared().openURL("mailto://support@example.com?subject=a%20b"));
    EXPECT_EQ(opened, (std::vector<std::string>{"mailto://support@example.com?subject=a%20b"}));
}

TEST_F(ApplicationTest, AnOpenerMissingOrFailingIsReportedOnTheMainThread)
{
    auto& app = Application::shared();
    std::vector<std::string> failed;
    app.setOpenURLFailureHandler([&](const std::string& url) {
        EXPECT_TRUE(base::RunLoop::isMainThread());
        failed.push_back(url);
    });
    basetest::TempDir bin;
    basetest::ScopedEnv path("PATH", bin.path().string());
    // None installed: told at once.
    EXPECT_FALSE(app.openURL("https://example.com/none"));
    EXPECT_EQ(failed, (std::vector<std::string>{"https://example.com/none"}));

    // An opener that writes what it was given, and fails for one address.
    std::string calls = (bin / "calls").string();
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> '" << calls
                                     << "'\ncase \"$1\" in *fail*) exit 4;; esac\n";
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    auto lines = [&] {
        std::ifstream in(calls);
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    };
    EXPECT_TRUE(app.openURL("https://example.com/ok?a=1&b=2 c;d"));
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return lines().size() == 1; }, 30));
    EXPECT_TRUE(app.openURL("https://example.com/fail"));
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return failed.size() == 2; }, 30));
    EXPECT_EQ(failed.back(), "https://example.com/fail");
    // Each address reached the opener as one argument, untouched by any shell.
    EXPECT_EQ(lines(), (std::vector<std::string>{"1|https://example.com/ok?a=1&b=2 c;d", "1|https://example.com/fail"}));
}

TEST_F(ApplicationTest, HeadlessRunsRecordAddressesForTheScriptInsteadOfOpeningThem)
{
    struct Opener : ApplicationDelegate {
        std::shared_ptr<Window> window;
        bool didFinishLaunching(Application& app) override
        {
            window = std::make_shared<Window>();
            window->setBackgroundColor(gfx::Color::blue());
            window->makeKeyAndVisible();
            app.openURL("https://example.com/first");
            app.openURL("https://example.com/second");
            return true;
        }
    };
    basetest::TempDir dir;
    basetest::ScopedEnv path("PATH", dir.path().string()); // an opener started by mistake would fail
    auto run = [&](const std::string& script, double scale) {
        std::ofstream(dir / "script.txt") << script;
        Application::shared().resetForTesting();
        Application::Options options;
        options.headless = true;
        options.script = (dir / "script.txt").string();
        options.screenshot = (dir / "shot.png").string();
        options.scale = scale;
        return Application::shared().run(options, std::make_shared<Opener>());
    };
    EXPECT_EQ(run("expect-opened \"https://example.com/first\"\nexpect-opened \"https://example.com/second\"\n", 2), 0);
    EXPECT_EQ(Application::shared().recordedURLs(),
              (std::vector<std::string>{"https://example.com/first", "https://example.com/second"}));
    // --scale sets the pictures' resolution (read once the ended run is put away: after the
    // program's end no picture is decoded).
    Application::shared().resetForTesting();
    EXPECT_EQ(gfx::Image::fromFile((dir / "shot.png").string()).pixelWidth(), 2048);
    // A check finds only what was opened after the last address it found.
    EXPECT_NE(run("expect-opened \"https://example.com/second\"\nexpect-opened \"https://example.com/first\"\n", 1), 0);
    EXPECT_NE(run("expect-opened \"https://example.com/third\"\n", 1), 0);
    base::RunLoop::main().setManualClock(true);
}

TEST_F(ApplicationTest, BackgroundTasksLastUntilEndedOrMadeToExpire)
{
    auto& app = Application::shared();
    EXPECT_TRUE(app.isMultitaskingSupported());
    app.setNetworkActivityIndicatorVisible(true);
    EXPECT_TRUE(app.isNetworkActivityIndicatorVisible());
    app.setNetworkActivityIndicatorVisible(false);
    EXPECT_FALSE(app.isNetworkActivityIndicatorVisible());

    std::vector<std::string> expired;
    auto ended = app.beginBackgroundTask([&] { expired.push_back("ended"); });
    Application::BackgroundTaskId fromWorker = Application::kInvalidBackgroundTask;
    std::thread([&] {
        fromWorker = app.beginBackgroundTask([&] {
            EXPECT_TRUE(base::RunLoop::isMainThread());
            expired.push_back("worker");
            app.endBackgroundTask(fromWorker); // the usual answer: end it from the handler
        });
    }).join();
    EXPECT_NE(ended, Application::kInvalidBackgroundTask);
    EXPECT_NE(fromWorker, Application::kInvalidBackgroundTask);
    EXPECT_NE(ended, fromWorker);
    EXPECT_EQ(app.backgroundTaskCount(), 2u);

    app.enterBackground(); // nothing expires on its own
    base::RunLoop::main().advance(3600);
    EXPECT_TRUE(expired.empty());
    app.endBackgroundTask(ended);
    app.endBackgroundTask(ended); // twice is harmless

    app.expireBackgroundTasksForTesting();
    EXPECT_EQ(expired, (std::vector<std::string>{"worker"}));
    EXPECT_EQ(app.backgroundTaskCount(), 0u);
    app.expireBackgroundTasksForTesting();
    EXPECT_EQ(expired.size(), 1u); // a handler runs at most once
}

TEST(ApplicationArguments, HeadlessScriptAndErrors)
{
    Application::Options options;
    std::string message;
    const char* good[] = {"brivanta", "--headless", "--script", "run.txt", "--scale", "2"};
    ASSERT_TRUE(Application::parseArguments(6, const_cast<char**>(good), options, message));
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.script, "run.txt");
    EXPECT_EQ(options.scale, 2);
    Application::Options other;
    const char* missing[] = {"brivanta", "--script"};
    EXPECT_FALSE(Application::parseArguments(2, const_cast<char**>(missing), other, message));
    EXPECT_EQ(message, "--script needs a value");
}

TEST(TerminateHookDeathTest, UncaughtExceptionReportsTypeMessageAndStack)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            setUncaughtExceptionHandler([](const UncaughtException& e) {
                std::fprintf(stderr, "name=%s reason=%s frames=%zu\n", e.name.c_str(), e.reason.c_str(),
                             e.callStack.size());
            });
            // Thrown where nothing catches it (the test framework catches on its own thread).
            std::thread([] { throw std::runtime_error("boom"); }).join();
        },
        "name=std::runtime_error reason=boom frames=[1-9]");
}

} // namespace
