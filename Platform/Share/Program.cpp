#include "Platform/Share/Program.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"

#include <algorithm>
#include <map>
#include <optional>
#include <cerrno>
#include <pthread.h>
#include <chrono>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

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

// The keeper's signals: its program ended, or it should end everything at once.
void keeperSignals(sigset_t& set)
{
    sigemptyset(&set);
    for (int each : {SIGCHLD, SIGHUP, SIGTERM, SIGINT, SIGQUIT})
        sigaddset(&set, each);
}

// Starts the program under a keeper: a small process of ours that leads a process group of its
// own, starts the program in it, passes on how the program ended, and kills the whole group
// (the program's own helpers included) once this process is gone, however it went. The
// program is held to `addressSpaceBytes` when given, which everything it starts inherits.
// Forked by hand: only system calls run after the fork, everything they need made before, and
// every signal stays blocked until the keeper has made its own handling of them.
pid_t spawnKept(const std::string& program, const std::vector<std::string>& argv, const Environment& environment,
                size_t addressSpaceBytes)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> merged = mergedEnvironment(environment);
    std::vector<char*> envp;
    for (auto& entry : merged)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    rlimit space{rlim_t(addressSpaceBytes), rlim_t(addressSpaceBytes)};
    sigset_t all, before, watched;
    sigfillset(&all);
    keeperSignals(watched);
    const pid_t parent = getpid();
    pthread_sigmask(SIG_SETMASK, &all, &before);
    pid_t pid = fork();
    if (pid != 0) {
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        return pid;
    }
    // The keeper. This process's handlers would act for it (a SIGTERM ending the program):
    // every signal it or the program may see is back to the system's own handling.
    struct sigaction plain{};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    for (int each = 1; each < NSIG; ++each)
        if (each != SIGKILL && each != SIGSTOP)
            sigaction(each, &plain, nullptr);
    setpgid(0, 0);
    // Told when the thread that started it goes, which is when this process dies: that thread
    // waits for the keeper for as long as it runs.
    prctl(PR_SET_PDEATHSIG, SIGHUP);
    if (getppid() != parent)
        _exit(127);
    const pid_t keeper = getpid();
    pid_t child = _Fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != keeper)
            _exit(127);
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        if (addressSpaceBytes > 0 && setrlimit(RLIMIT_AS, &space) != 0)
            _exit(127);
        sigprocmask(SIG_SETMASK, &before, nullptr);
        execve(program.c_str(), args.data(), envp.data());
        _exit(127);
    }
    if (child < 0)
        _exit(127);
    const timespec look{0, 200'000'000};
    for (;;) {
        int status = 0;
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            if (WIFEXITED(status))
                _exit(WEXITSTATUS(status));
            // Ended by a signal: so is the keeper, which the caller reads as no exit of its own.
            kill(keeper, SIGKILL);
        }
        int heard = sigtimedwait(&watched, nullptr, &look);
        if ((heard > 0 && heard != SIGCHLD) || getppid() != parent)
            kill(0, SIGKILL);
    }
}

pid_t spawn(const std::vector<std::string>& argv, int stdoutFd)
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
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program->c_str(), &actions, &attributes, args.data(), environ);
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

namespace {

struct ProcessStat {
    pid_t group = 0;
    long residentPages = 0;
};

// One read of a process's status file from its start (kept open, it is read again so).
std::optional<ProcessStat> readProcessStat(int fd)
{
    char text[1024];
    ssize_t got = pread(fd, text, sizeof text - 1, 0);
    if (got <= 0)
        return std::nullopt;
    text[got] = 0;
    // After the name (which may hold anything) come state, parent, group, ... and, 21 fields
    // on, the resident pages.
    const char* at = std::strrchr(text, ')');
    if (!at)
        return std::nullopt;
    char state = 0;
    long parent = 0, group = 0;
    if (std::sscanf(at + 1, " %c %ld %ld", &state, &parent, &group) != 3)
        return std::nullopt;
    ProcessStat stat;
    stat.group = pid_t(group);
    // From the space before the state (the third field) to the one before the 24th.
    const char* p = at + 1;
    for (int skipped = 0; skipped < 21 && p; ++skipped)
        p = std::strchr(p + 1, ' ');
    if (p)
        std::sscanf(p, " %ld", &stat.residentPages);
    return stat;
}

} // namespace

GroupMemoryWatch::~GroupMemoryWatch()
{
    for (const auto& [pid, fd] : m_members)
        if (fd >= 0)
            close(fd);
}

std::optional<long> GroupMemoryWatch::readMember(int fd)
{
    ++m_statusesRead;
    auto stat = readProcessStat(fd);
    if (!stat || stat->group != m_group)
        return std::nullopt;
    return stat->residentPages;
}

void GroupMemoryWatch::forget(std::map<pid_t, int>::iterator member)
{
    if (member->second >= 0) {
        close(member->second);
        --m_keptOpen;
    }
    m_members.erase(member);
}

std::optional<long> GroupMemoryWatch::lookAt(pid_t pid)
{
    auto known = m_members.find(pid);
    if (known != m_members.end() && known->second >= 0) {
        if (auto pages = readMember(known->second))
            return pages;
        // That member has ended (or left): its number may be a newcomer's now.
        forget(known);
        known = m_members.end();
    }
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    std::optional<long> pages = fd >= 0 ? readMember(fd) : std::nullopt;
    if (!pages) {
        if (fd >= 0)
            close(fd);
        if (known != m_members.end())
            forget(known);
        return std::nullopt;
    }
    if (known == m_members.end())
        known = m_members.emplace(pid, -1).first;
    // A few members' files stay open: read again at each look without opening them again, and
    // made unreadable by the process's end, whatever later takes its number. The others are
    // opened by number each look, which finds whoever has the number then.
    if (m_keptOpen < kMembersKeptOpen) {
        known->second = fd;
        ++m_keptOpen;
    } else {
        close(fd);
    }
    return pages;
}

size_t GroupMemoryWatch::residentBytes()
{
    auto now = std::chrono::steady_clock::now();
    bool everyone = now >= m_nextFullLook;
    bool newcomers = everyone || now >= m_nextNewcomerLook;
    if (everyone)
        m_nextFullLook = now + m_fullLook;
    if (newcomers)
        m_nextNewcomerLook = now + m_newcomerLook;
    std::map<pid_t, long> found;
    if (!m_members.contains(m_group))
        if (auto pages = lookAt(m_group))
            found[m_group] = *pages;
    if (newcomers) {
        // The number the system gave its latest process: the processes started since the last
        // look are those numbered after the one it gave then (numbers wrap at their end).
        long latest = -1;
        if (FILE* load = std::fopen("/proc/loadavg", "re")) {
            if (std::fscanf(load, "%*s %*s %*s %*s %ld", &latest) != 1)
                latest = -1;
            std::fclose(load);
        }
        long since = m_latestStarted;
        m_latestStarted = latest;
        bool all = everyone || latest < 0 || since < 0;
        auto started = [&](long pid) {
            return latest >= since ? pid > since && pid <= latest : pid > since || pid <= latest;
        };
        // Every process's status costs the kernel a formatting: only those started since the
        // last look are read, and all of them only at the full look.
        if (all || latest != since) {
            if (DIR* proc = opendir("/proc")) {
                while (dirent* entry = readdir(proc)) {
                    if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
                        continue;
                    long pid = std::atol(entry->d_name);
                    if (!all && !started(pid))
                        continue;
                    if (auto pages = lookAt(pid_t(pid)))
                        found[pid_t(pid)] = *pages;
                }
                closedir(proc);
            }
        }
    }
    // Those found before: each read again, gone or moved out of the group dropped.
    std::vector<pid_t> members;
    members.reserve(m_members.size());
    for (const auto& [pid, fd] : m_members)
        members.push_back(pid);
    size_t total = 0;
    for (pid_t pid : members) {
        std::optional<long> pages;
        if (auto just = found.find(pid); just != found.end())
            pages = just->second;
        else
            pages = lookAt(pid);
        if (pages && pid != m_uncounted)
            total += size_t(std::max(0L, *pages));
    }
    return total * size_t(sysconf(_SC_PAGESIZE));
}

size_t groupResidentBytes(pid_t group)
{
    return GroupMemoryWatch(group).residentBytes();
}

ProgramResult runProgramWithTimeout(const std::vector<std::string>& argv, double timeoutSeconds,
                                    const Environment& environment, const MemoryLimit& memory)
{
    ProgramResult result;
    auto program = findProgram(argv.empty() ? std::string() : argv.front());
    pid_t pid = program ? spawnKept(*program, argv, environment, memory.addressSpaceBytes) : -1;
    if (pid < 0)
        return result;
    result.started = true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::max(0.0, timeoutSeconds));
    int status = 0;
    // Polled: a child of another thread's spawn must not be reaped here by a blocking wait.
    // Watched for memory often enough that growth between two looks stays small.
    auto longest = std::chrono::milliseconds(memory.residentBytes > 0 ? 10 : 50);
    GroupMemoryWatch watch(pid);
    watch.leaveUncounted(pid);
    for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, longest)) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (done < 0 && errno != EINTR)
            break;
        bool overMemory = memory.residentBytes > 0 && watch.residentBytes() > memory.residentBytes;
        // The application is ending: the program goes now rather than at its deadline, and
        // that is no fault of the program's.
        bool stopped = !overMemory && base::BackgroundWork::isStopping();
        if (overMemory || stopped || std::chrono::steady_clock::now() >= deadline) {
            result.overMemory = overMemory;
            result.stopped = stopped;
            result.timedOut = !overMemory && !stopped;
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
