#include "UITestSupport.h"

#include "Platform/UI/Application.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/TerminateHook.h"

#include <cstdio>
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

TEST_F(ApplicationTest, StateChangesReachTheDelegateInOrderOnce)
{
    auto log = std::make_shared<StateLog>();
    Application& app = Application::shared();
    ASSERT_TRUE(app.launch(log));
    Driver driver(*window);
    driver.enterForeground(); // not in the background: nothing
    driver.enterBackground();
    driver.enterBackground();
    driver.enterForeground();
    app.terminate();
    EXPECT_EQ(log->events, (std::vector<std::string>{"launch", "active", "resign", "background", "foreground", "active",
                                                     "terminate"}));
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
