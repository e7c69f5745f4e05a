#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ui {

class Application;
class Window;

// The application's answers to launch and state changes.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual bool didFinishLaunching(Application&) { return true; }
    virtual void willResignActive(Application&) {}
    virtual void didBecomeActive(Application&) {}
    virtual void didEnterBackground(Application&) {}
    virtual void willEnterForeground(Application&) {}
    virtual void willTerminate(Application&) {}
};

// The process-wide application: starts a back end (a real window, or headless for tests and
// scripted runs), launches the delegate and forwards state changes to it.
class Application {
public:
    enum class State { NotRunning, Active, Inactive, Background };
    // Posted through the default notification centre after the delegate hears of it.
    static constexpr const char* kWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
    static constexpr const char* kWillTerminateNotification = "UIApplicationWillTerminateNotification";
    static constexpr const char* kDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
    static constexpr const char* kDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";

    struct Options {
        bool headless = false;
        std::string script;     // commands to run, one a line
        std::string screenshot; // headless: a PNG of the window after launch
        double scale = 1;
        std::vector<std::string> arguments;
    };
    // Reads --headless, --script FILE, --screenshot FILE and --scale N; nothing when malformed
    // (the message says why).
    static bool parseArguments(int argc, char** argv, Options& options, std::string& message);

    static Application& shared();
    // The body of a program's main: reads the arguments, then runs; the exit status.
    static int main(int argc, char** argv, std::shared_ptr<ApplicationDelegate> delegate);

    // Runs until the script ends or the user closes the window; the process exit code.
    int run(const Options& options, std::shared_ptr<ApplicationDelegate> delegate);
    // Launches without a back end's loop (tests drive the window themselves).
    bool launch(std::shared_ptr<ApplicationDelegate> delegate);

    State state() const { return m_state; }
    std::shared_ptr<ApplicationDelegate> delegate() const { return m_delegate; }
    Window* keyWindow() const;

    // Hands the address to the desktop's opener (xdg-open) as one argument, with no shell.
    // Refuses an empty text and one starting with "-", which the opener would take as an option.
    // When no opener can be started, or it ends in failure, the failure handler is told on the
    // main thread (at once when the opener is missing).
    bool openURL(const std::string& url);
    void setOpenURLFailureHandler(std::function<void(const std::string& url)> handler)
    {
        m_openFailureHandler = std::move(handler);
    }
    // Tests record what would be opened instead of starting a program.
    void setURLRecorder(std::function<void(const std::string&)> recorder) { m_urlRecorder = std::move(recorder); }
    // Headless runs keep the addresses, oldest first, instead of starting an opener.
    void setRecordsOpenedURLs(bool records) { m_recordsOpenedURLs = records; }
    bool recordsOpenedURLs() const { return m_recordsOpenedURLs; }
    const std::vector<std::string>& recordedURLs() const { return m_recordedURLs; }

    // The window lost the user's attention (another window came forward) and got it back.
    void resignActive();
    void becomeActive();
    void enterBackground();
    void enterForeground();
    // Tells the delegate and observers, then stops and joins every background worker.
    void terminate();

    // Asks the run to end the way closing the window does: the back end leaves its loop, a
    // script stops at its next step, and terminate() runs. Any thread; SIGTERM asks it once
    // run() has started.
    void requestTermination();
    bool isTerminationRequested() const { return m_terminationRequested; }
    // The back end's part of a request, run on the main thread.
    void setTerminationHandler(std::function<void()> handler) { m_terminationHandler = std::move(handler); }

    // The network activity indicator: a flag only, a desktop has no status bar. Any thread.
    void setNetworkActivityIndicatorVisible(bool visible) { m_networkActivity = visible; }
    bool isNetworkActivityIndicatorVisible() const { return m_networkActivity; }
    // Work may go on in the background.
    bool isMultitaskingSupported() const { return true; }

    // Background tasks (any thread). A desktop never stops a program in the background, so a
    // task only ends when ended; expireBackgroundTasksForTesting() makes them expire.
    using BackgroundTaskId = uint32_t;
    static constexpr BackgroundTaskId kInvalidBackgroundTask = 0;
    BackgroundTaskId beginBackgroundTask(std::function<void()> expirationHandler);
    void endBackgroundTask(BackgroundTaskId task);
    size_t backgroundTaskCount() const;
    // Ends every running task after running its expiration handler on the main thread.
    void expireBackgroundTasksForTesting();

    // Tests start again from a clean state.
    void resetForTesting();

private:
    std::shared_ptr<ApplicationDelegate> m_delegate;
    State m_state = State::NotRunning;
    std::function<void(const std::string&)> m_urlRecorder;
    std::function<void(const std::string&)> m_openFailureHandler;
    bool m_recordsOpenedURLs = false;
    std::vector<std::string> m_recordedURLs;
    std::atomic<bool> m_networkActivity{false};
    std::atomic<bool> m_terminationRequested{false};
    std::function<void()> m_terminationHandler;
    mutable std::mutex m_tasksMutex;
    std::map<BackgroundTaskId, std::function<void()>> m_backgroundTasks;
    BackgroundTaskId m_lastTask = kInvalidBackgroundTask;
};

} // namespace ui
