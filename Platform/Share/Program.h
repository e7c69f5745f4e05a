#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <cstddef>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace share {

// The full path of a program found on $PATH; nothing when absent.
std::optional<std::string> findProgram(const std::string& name);

struct ProgramResult {
    bool started = false;
    int exitCode = -1;
    std::string output; // standard output, when asked for
    bool timedOut = false;
    bool overMemory = false; // ended for passing its memory limit
    // Ended because this application ends: neither a time-out nor a fault of the program's.
    bool stopped = false;
};

// What a program and every process it starts may take together: their resident memory, watched
// while they run (past it the whole group is ended), and each one's address space, held by the
// system so that no single allocation outruns the watch. Zero: unbounded.
struct MemoryLimit {
    size_t residentBytes = 0;
    size_t addressSpaceBytes = 0;
};

// Runs a program with an argument list (never through a shell) and waits for it.
ProgramResult runProgram(const std::vector<std::string>& argv, bool captureOutput = false);
// Variables given to a program on top of (or instead of) this process's environment.
using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs a program in a process group of its own, its output discarded; past `timeoutSeconds`
// the whole group is killed (helpers it started included) and `timedOut` is set. When the
// application ends meanwhile the group is killed at once and `stopped` is set instead; and
// should this process die without ending it (killed outright), the group is killed then.
ProgramResult runProgramWithTimeout(const std::vector<std::string>& argv, double timeoutSeconds,
                                    const Environment& environment = {}, const MemoryLimit& memory = {});
// The resident memory of every process in the group, in bytes.
size_t groupResidentBytes(pid_t group);

// The same, looked at again and again while the group runs, at a cost that does not grow with
// the machine's other processes: the members found are read again each look, the processes
// started since (when any was) are checked for newcomers every kNewcomerLookInterval, and every
// process only every kFullLookInterval (a process that joined the group late, or process
// numbers that wrapped). Each member's address space is held by the system meanwhile.
// The first kMembersKeptOpen members keep their status file open between looks; the others'
// are opened and closed at each look, so a group of any size is counted whole and the rest of
// the program keeps its files.
class GroupMemoryWatch {
public:
    static constexpr std::chrono::milliseconds kNewcomerLookInterval{100};
    static constexpr std::chrono::milliseconds kFullLookInterval{2000};
    static constexpr size_t kMembersKeptOpen = 16;

    explicit GroupMemoryWatch(pid_t group, std::chrono::milliseconds newcomerLook = kNewcomerLookInterval,
                              std::chrono::milliseconds fullLook = kFullLookInterval)
        : m_group(group), m_newcomerLook(newcomerLook), m_fullLook(fullLook)
    {
    }
    ~GroupMemoryWatch();
    GroupMemoryWatch(const GroupMemoryWatch&) = delete;
    GroupMemoryWatch& operator=(const GroupMemoryWatch&) = delete;
    size_t residentBytes();
    // A member whose memory is not counted: a keeper forked from this process holds this
    // process's pages, not new ones.
    void leaveUncounted(pid_t pid) { m_uncounted = pid; }
    // Process statuses read so far: the work of the looks.
    size_t statusesRead() const { return m_statusesRead; }

private:
    // A process's resident pages, when it is of the group.
    std::optional<long> readMember(int statusFile);
    // The same for the process of that number, which becomes a member when it is of the group
    // (a member that ended, or left, gives way to whatever took its number).
    std::optional<long> lookAt(pid_t pid);
    void forget(std::map<pid_t, int>::iterator member);

    pid_t m_group;
    pid_t m_uncounted = 0;
    std::chrono::milliseconds m_newcomerLook, m_fullLook;
    size_t m_statusesRead = 0;
    // Each member's status file while kept open, else -1.
    std::map<pid_t, int> m_members;
    size_t m_keptOpen = 0;
    long m_latestStarted = -1;
    std::chrono::steady_clock::time_point m_nextNewcomerLook{};
    std::chrono::steady_clock::time_point m_nextFullLook{};
};
// Starts a program and leaves it running (a desktop helper); false when it could not start.
// `ended`, when given, is told on the main loop how it ended: its exit code, or -1 when it did
// not exit by itself.
bool startProgram(const std::vector<std::string>& argv, std::function<void(int exitCode)> ended = {});

} // namespace share
