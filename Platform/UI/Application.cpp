#include "Platform/UI/Application.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Backend.h"
#include "Platform/UI/Window.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <cstring>

namespace ui {

namespace {

int g_termPipe[2] = {-1, -1};

void onTermSignal(int)
{
    // Only what is safe in a signal handler: one byte to the watching thread.
    int saved = errno;
    if (g_termPipe[1] >= 0) {
        char byte = 't';
        [[maybe_unused]] ssize_t n = ::write(g_termPipe[1], &byte, 1);
    }
    errno = saved;
}

// SIGTERM (a session ending, `kill`) ends the run as closing the window does, so the
// application hears that it terminates and saves what it holds.
void watchTermSignal()
{
    static bool installed = false;
    if (installed || ::pipe2(g_termPipe, O_CLOEXEC) != 0)
        return;
    installed = true;
    std::thread([fd = g_termPipe[0]] {
        char byte;
        for (;;) {
            ssize_t n = ::read(fd, &byte, 1);
            if (n == 1) {
                Application::shared().requestTermination();
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                return;
            }
        }
    }).detach();
    struct sigaction action {};
    action.sa_handler = onTermSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace

bool Application::parseArguments(int argc, char** argv, Options& options, std::string& message)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                message = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--script") {
            const char* v = value("--script");
            if (!v)
                return false;
            options.script = v;
        } else if (arg == "--screenshot") {
            const char* v = value("--screenshot");
            if (!v)
                return false;
            options.screenshot = v;
        } else if (arg == "--scale") {
            const char* v = value("--scale");
            if (!v)
                return false;
            double s = std::atof(v);
            if (s != 1 && s != 2) {
                message = "--scale must be 1 or 2";
                return false;
            }
            options.scale = s;
        } else if (arg == "--help" || arg == "-h") {
            message = "usage: brivanta [--headless] [--script FILE] [--screenshot FILE] [--scale 1|2]";
            return false;
        } else {
            options.arguments.push_back(arg);
        }
    }
    return true;
}

int Application::main(int argc, char** argv, std::shared_ptr<ApplicationDelegate> delegate)
{
    Options options;
    std::string message;
    if (!parseArguments(argc, argv, options, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 2;
    }
    return shared().run(options, std::move(delegate));
}

Application& Application::shared()
{
    static Application* app = new Application();
    return *app;
}

Window* Application::keyWindow() const
{
    return Window::keyWindow();
}

bool Application::launch(std::shared_ptr<ApplicationDelegate> delegate)
{
    m_delegate = std::move(delegate);
    m_state = State::Inactive;
    bool ok = m_delegate ? m_delegate->didFinishLaunching(*this) : true;
    m_state = State::Active;
    if (m_delegate)
        m_delegate->didBecomeActive(*this);
    return ok;
}

int Application::run(const Options& options, std::shared_ptr<ApplicationDelegate> delegate)
{
    std::unique_ptr<Backend> backend = options.headless ? Backend::makeHeadless() : Backend::makeWindowed();
    if (!backend) {
        base::log("Cannot open a window here; use --headless.");
        return 2;
    }
    watchTermSignal();
    return backend->run(*this, options, std::move(delegate));
}

bool Application::openURL(const std::string& url)
{
    if (url.empty() || url[0] == '-' || url.find('\0') != std::string::npos)
        return false;
    if (m_urlRecorder) {
        m_urlRecorder(url);
        return true;
    }
    if (m_recordsOpenedURLs) {
        base::log("opened (recorded) " + url);
        m_recordedURLs.push_back(url);
        return true;
    }
    pid_t pid = 0;
    const char* argv[] = {"xdg-open", url.c_str(), nullptr};
    int rc = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ);
    if (rc != 0) {
        base::logf("cannot open %s: %s", url.c_str(), std::strerror(rc));
        if (m_openFailureHandler)
            m_openFailureHandler(url);
        return false;
    }
    // The opener returns at once; reap it without blocking the loop for long. The application
    // is never destroyed, so the report may reach it late.
    std::thread([pid, url] {
        int status = 0;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            base::logf("the opener could not open %s", url.c_str());
            base::performOnMain([url] {
                if (auto handler = shared().m_openFailureHandler)
                    handler(url);
            });
        }
    }).detach();
    return true;
}

void Application::resignActive()
{
    if (m_state != State::Active)
        return;
    m_state = State::Inactive;
    if (m_delegate)
        m_delegate->willResignActive(*this);
    base::NotificationCenter::defaultCenter().post(kWillResignActiveNotification);
}

void Application::becomeActive()
{
    if (m_state != State::Inactive)
        return;
    m_state = State::Active;
    if (m_delegate)
        m_delegate->didBecomeActive(*this);
    base::NotificationCenter::defaultCenter().post(kDidBecomeActiveNotification);
}

void Application::enterBackground()
{
    // A window loses focus before it is minimised: it has resigned already.
    resignActive();
    if (m_state != State::Inactive)
        return;
    m_state = State::Background;
    if (m_delegate)
        m_delegate->didEnterBackground(*this);
    base::NotificationCenter::defaultCenter().post(kDidEnterBackgroundNotification);
}

void Application::enterForeground()
{
    if (m_state != State::Background)
        return;
    m_state = State::Inactive;
    if (m_delegate)
        m_delegate->willEnterForeground(*this);
    becomeActive();
}

void Application::requestTermination()
{
    if (m_terminationRequested.exchange(true))
        return;
    base::BackgroundWork::quitRequested();
    base::performOnMain([] {
        base::log("termination requested");
        if (auto handler = shared().m_terminationHandler)
            handler();
    });
}

void Application::terminate()
{
    if (m_state == State::NotRunning)
        return;
    if (m_delegate)
        m_delegate->willTerminate(*this);
    base::NotificationCenter::defaultCenter().post(kWillTerminateNotification);
    m_state = State::NotRunning;
    // After everyone has saved: no worker may still run when static objects go away.
    base::BackgroundWork::stopAll();
}

Application::BackgroundTaskId Application::beginBackgroundTask(std::function<void()> expirationHandler)
{
    std::lock_guard lock(m_tasksMutex);
    if (++m_lastTask == kInvalidBackgroundTask) // wrapped: never hand out the invalid id
        ++m_lastTask;
    m_backgroundTasks[m_lastTask] = std::move(expirationHandler);
    return m_lastTask;
}

void Application::endBackgroundTask(BackgroundTaskId task)
{
    std::lock_guard lock(m_tasksMutex);
    m_backgroundTasks.erase(task);
}

size_t Application::backgroundTaskCount() const
{
    std::lock_guard lock(m_tasksMutex);
    return m_backgroundTasks.size();
}

void Application::expireBackgroundTasksForTesting()
{
    std::map<BackgroundTaskId, std::function<void()>> expiring;
    {
        std::lock_guard lock(m_tasksMutex);
        expiring.swap(m_backgroundTasks);
    }
    // Handlers run unlocked: they usually end their own task.
    base::performOnMain([expiring = std::move(expiring)] {
        for (auto& [id, handler] : expiring)
            if (handler)
                handler();
    }, true);
}

void Application::resetForTesting()
{
    m_delegate.reset();
    m_state = State::NotRunning;
    m_networkActivity = false;
    m_openFailureHandler = {};
    m_recordsOpenedURLs = false;
    m_recordedURLs.clear();
    m_terminationRequested = false;
    m_terminationHandler = {};
    base::BackgroundWork::resetForTesting();
    std::lock_guard lock(m_tasksMutex);
    m_backgroundTasks.clear();
}

} // namespace ui
