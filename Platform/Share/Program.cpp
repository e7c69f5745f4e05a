#include "Platform/Share/Program.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <string_view>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace share {

std::optional<std::string> findProgram(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? std::optional<std::string>(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + name;
            struct stat st{};
            if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

namespace {

// This process's environment with the given variables put in place of their namesakes.
std::vector<std::string> mergedEnvironment(const Environment& overrides)
{
    std::vector<std::string> merged;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string_view text(*entry);
        std::string_view name = text.substr(0, text.find('='));
        bool replaced = std::any_of(overrides.begin(), overrides.end(), [&](const auto& o) { return o.first == name; });
        if (!replaced)
            merged.emplace_back(text);
    }
    for (const auto& [name, value] : overrides)
        merged.push_back(name + "=" + value);
    return merged;
}

pid_t spawn(const std::vector<std::string>& argv, int stdoutFd, bool ownGroup = false,
            const Environment& environment = {})
{
    auto program = findProgram(argv.empty() ? std::string() : argv.front());
    if (!program)
        return -1;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (ownGroup) {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    }
    std::vector<std::string> merged = mergedEnvironment(environment);
    std::vector<char*> envp;
    for (auto& entry : merged)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program->c_str(), &actions, &attributes, args.data(),
                         environment.empty() ? environ : envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

} // namespace

ProgramResult runProgram(const std::vector<std::string>& argv, bool captureOutput)
{
    ProgramResult result;
    int fds[2] = {-1, -1};
    if (captureOutput && pipe2(fds, O_CLOEXEC) != 0)
        return result;
    pid_t pid = spawn(argv, captureOutput ? fds[1] : -1);
    if (captureOutput)
        close(fds[1]);
    if (pid < 0) {
        if (captureOutput)
            close(fds[0]);
        return result;
    }
    result.started = true;
    if (captureOutput) {
        char buffer[4096];
        ssize_t got;
        while ((got = read(fds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
            if (got > 0)
                result.output.append(buffer, size_t(got));
        close(fds[0]);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ProgramResult runProgramWithTimeout(const std::vector<std::string>& argv, double timeoutSeconds,
                                    const Environment& environment)
{
    ProgramResult result;
    pid_t pid = spawn(argv, -1, true, environment);
    if (pid < 0)
        return result;
    result.started = true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::max(0.0, timeoutSeconds));
    int status = 0;
    // Polled: a child of another thread's spawn must not be reaped here by a blocking wait.
    for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (done < 0 && errno != EINTR)
            break;
        // The application is ending: the program goes now rather than at its deadline.
        if (std::chrono::steady_clock::now() >= deadline || base::BackgroundWork::isStopping()) {
            result.timedOut = true;
            // The leader is not reaped yet, so the group id still names its group.
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(pause);
    }
    return result;
}

bool startProgram(const std::vector<std::string>& argv, std::function<void(int exitCode)> ended)
{
    pid_t pid = spawn(argv, -1);
    if (pid < 0)
        return false;
    // Someone waits for the answer: a wait on the main loop waits for it too.
    if (ended)
        base::beginOutsideWork();
    // Reaped when it ends, so no zombie is left behind; the main loop lives for the whole
    // process, so the report may reach it late.
    std::thread([pid, ended = std::move(ended)] {
        int status = 0;
        pid_t reaped;
        while ((reaped = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        if (!ended)
            return;
        int code = reaped == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        base::performOnMain([ended, code] {
            base::endOutsideWork();
            ended(code);
        });
    }).detach();
    return true;
}

} // namespace share
