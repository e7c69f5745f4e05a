#include "Network/Reachability.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/RunLoop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// The check runs in a child process of its own: a new user namespace needs a
// single-threaded process, and the new network namespace must not touch the machine's.
constexpr char kChildVariable[] = "BRIVANTA_REACHABILITY_NETNS_CHILD";
constexpr int kRefused = 77;

[[noreturn]] void refuse(const std::string& why)
{
    std::printf("namespace check refused: %s\n", why.c_str());
    std::fflush(stdout);
    _exit(kRefused);
}

bool writeFile(const char* path, const std::string& text)
{
    int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

void enterBareNamespace()
{
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        refuse(std::string("unshare: ") + std::strerror(errno));
    // Root inside, so that the tools we run keep the namespace's capabilities.
    writeFile("/proc/self/setgroups", "deny"); // absent on old kernels
    if (!writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1")
        || !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        refuse(std::string("identity maps: ") + std::strerror(errno));
}

void runInNamespace(const std::string& command)
{
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

void checkInsideNamespace()
{
    enterBareNamespace();
    unsetenv("BRIVANTA_NETWORK");

    auto monitor = Reachability::reachabilityWithHostName("sales.example.com");
    ASSERT_TRUE(monitor);
    std::vector<int> seen;
    auto token = base::NotificationCenter::defaultCenter().addObserver(
        kReachabilityChangedNotification, monitor.get(), [&](const base::Notification& note) {
            seen.push_back(std::static_pointer_cast<Reachability>(note.object)->currentReachabilityStatus());
        });
    ASSERT_TRUE(monitor->startNotifier());
    EXPECT_EQ(monitor->currentReachabilityStatus(), NotReachable);

    if (std::system("ip link add name brv0 type veth peer name brv1") != 0)
        refuse("could not add a veth pair (is iproute2 installed, is veth available?)");
    runInNamespace("ip link set brv0 up && ip link set brv1 up && ip addr add 10.77.0.1/24 dev brv0"
        " && ip route add default via 10.77.0.2 dev brv0");
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return !seen.empty() && seen.back() == 2; }, 10))
        << "reports: " << seen.size();
    EXPECT_EQ(monitor->currentReachabilityStatus(), ReachableViaWiFi);

    // The default route moves to a modem link.
    runInNamespace("ip link add name wwan0 type veth peer name brv2 && ip link set wwan0 up && ip link set brv2 up"
        " && ip addr add 10.78.0.1/24 dev wwan0 && ip route replace default via 10.78.0.2 dev wwan0");
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return seen.back() == 1; }, 10));

    runInNamespace("ip route del default");
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return seen.back() == 0; }, 10));
    monitor->stopNotifier();
}

TEST(ReachabilityNamespace, RouteChangesAreReportedAndRead)
{
    if (std::getenv(kChildVariable)) {
        checkInsideNamespace();
        return;
    }

    // The child's environment: ours, less anything that would make it write our reports.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string variable(*entry);
        if (!variable.starts_with("GTEST_") && !variable.starts_with("XML_OUTPUT_FILE=")
            && !variable.starts_with("TEST_PREMATURE_EXIT_FILE="))
            variables.push_back(variable);
    }
    variables.push_back(std::string(kChildVariable) + "=1");
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=ReachabilityNamespace.RouteChangesAreReportedAndRead";
    char* argv[] = {const_cast<char*>("reachability-netns"), filter.data(), nullptr};

    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(out[1], STDERR_FILENO);
        ::execve("/proc/self/exe", argv, envp.data());
        _exit(127);
    }
    ::close(out[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        output.append(buffer, static_cast<size_t>(got));
    }
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    if (WEXITSTATUS(status) == kRefused)
        GTEST_SKIP() << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

} // namespace
