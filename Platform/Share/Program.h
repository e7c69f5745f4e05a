#pragma once
#include <functional>
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
// the whole group is killed (helpers it started included) and `timedOut` is set.
ProgramResult runProgramWithTimeout(const std::vector<std::string>& argv, double timeoutSeconds,
                                    const Environment& environment = {}, const MemoryLimit& memory = {});
// The resident memory of every process in the group, in bytes.
size_t groupResidentBytes(pid_t group);
// Starts a program and leaves it running (a desktop helper); false when it could not start.
// `ended`, when given, is told on the main loop how it ended: its exit code, or -1 when it did
// not exit by itself.
bool startProgram(const std::vector<std::string>& argv, std::function<void(int exitCode)> ended = {});

} // namespace share
