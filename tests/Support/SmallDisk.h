#pragma once
// The running test again, in a child of its own over a small memory disk mounted on a folder of
// the test's in a private mount namespace: what fills the disk fills only that one.
#include "tests/Support/TestCertificates.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

// The child's exit status when no private mount namespace may be made here.
inline constexpr int kNoSmallDisk = 77;

// Runs the current test in a child with `size` (a tmpfs size option, "size=16m") mounted on a
// new folder, named to the child in `variable`; with `temporariesThere`, TMPDIR points there
// too, so the child's own temporary folders (its home) lie on the small disk. The child's exit
// status, kNoSmallDisk when the disk could not be had, or -1 when the child ended by a signal.
inline int runThisTestOnASmallDisk(const char* variable, const char* size, bool temporariesThere = true)
{
    std::string point = makeTemporaryFolder("small-disk");
    char self[PATH_MAX] = {};
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return -1;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    std::string marker = std::string(variable) + "=" + point;
    std::string temporary = "TMPDIR=" + point;
    std::vector<char*> environment;
    for (char** e = environ; *e; ++e)
        if (!temporariesThere || std::string_view(*e).rfind("TMPDIR=", 0) != 0)
            environment.push_back(*e);
    environment.push_back(marker.data());
    if (temporariesThere)
        environment.push_back(temporary.data());
    environment.push_back(nullptr);
    char* arguments[] = {self, filter.data(), nullptr};
    std::string uidMap = "0 " + std::to_string(::geteuid()) + " 1";
    std::string gidMap = "0 " + std::to_string(::getegid()) + " 1";
    // After the fork only system calls: the test runner has threads.
    pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        auto put = [](const char* path, const std::string& text) {
            int fd = ::open(path, O_WRONLY);
            bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
            if (fd >= 0)
                ::close(fd);
            return ok;
        };
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !put("/proc/self/setgroups", "deny") ||
            !put("/proc/self/uid_map", uidMap) || !put("/proc/self/gid_map", gidMap) ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", point.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size) != 0)
            ::_exit(kNoSmallDisk);
        ::execve(self, arguments, environment.data());
        ::_exit(kNoSmallDisk + 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace testsupport
