#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace base {

// Every owner of work off the main thread (queues, worker threads, players) registers how to
// stop and join it; the application stops them all when it terminates, before the program's
// static objects go away, so no worker outlives what it uses.
class BackgroundWork {
public:
    using Id = uint64_t;
    // Stops the work and waits for it; answers how many pieces of work it dropped unfinished.
    using Stop = std::function<size_t()>;

    // Work that others' work calls on (a pool of drawing processes) serves them.
    enum class Role { Own, ServesOthers };

    // Registered while stopAll() runs (a thread it joins making a shared object on its way
    // out), the work is the newest, so stopAll() stops it next, before the older entries still
    // waiting (work that serves others still last); registered after stopAll() has ended, it
    // is stopped at once. Any thread.
    static Id add(std::string name, Stop stop, Role role = Role::Own);
    // The owner went first; nothing is stopped. Any thread.
    static void remove(Id id);
    // Stops every registered worker, newest first, each once, those that serve others last,
    // so that their users drop what waits instead of seeing it fail; logs the ones that dropped
    // work.
    // From the main thread; later calls do nothing.
    static void stopAll();
    // True once stopAll() has begun: long waits (a running converter) end early.
    static bool isStopping();
    // The application was asked to quit (SIGTERM): waits the main thread may be in (a page
    // drawn for a screenshot) end early, so that quitting is not held up. Any thread.
    static void quitRequested();
    static bool isQuitting();

    // Tests start again: forgets the registrations and the stopped state.
    static void resetForTesting();
};

} // namespace base
