#include "Platform/Base/BackgroundWork.h"

#include "Platform/Base/Log.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace base {

namespace {

struct Registered {
    BackgroundWork::Id id;
    std::string name;
    BackgroundWork::Stop stop;
    BackgroundWork::Role role = BackgroundWork::Role::Own;
};

struct Registry {
    std::mutex mutex;
    std::vector<Registered> entries;
    BackgroundWork::Id lastId = 0;
    // stopAll() is still taking entries: one added now is stopped by it, after its owner's
    // set-up has returned, never inside that set-up on the adding thread.
    bool draining = false;
    std::atomic<bool> stopping{false};
    std::atomic<bool> quitting{false};
};

Registry& registry()
{
    static auto* shared = new Registry(); // reached by workers' owners until the very end
    return *shared;
}

void runStop(const std::string& name, const BackgroundWork::Stop& stop)
{
    size_t dropped = stop ? stop() : 0;
    if (dropped)
        logf("stopped %s: %zu unfinished", name.c_str(), dropped);
}

} // namespace

BackgroundWork::Id BackgroundWork::add(std::string name, Stop stop, Role role)
{
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        if (!r.stopping || r.draining) {
            Id id = ++r.lastId;
            r.entries.push_back({id, std::move(name), std::move(stop), role});
            return id;
        }
    }
    runStop(name, stop);
    return 0;
}

void BackgroundWork::remove(Id id)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.entries, [id](const Registered& entry) { return entry.id == id; });
}

void BackgroundWork::stopAll()
{
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        if (r.stopping)
            return;
        r.draining = true;
        r.stopping = true;
    }
    // One at a time, newest first, unlocked: a stop may let go of owners that unregister, and
    // the threads it joins may register work of their own on the way out.
    for (;;) {
        Registered entry;
        {
            std::lock_guard lock(r.mutex);
            if (r.entries.empty()) {
                r.draining = false;
                return;
            }
            auto own = std::find_if(r.entries.rbegin(), r.entries.rend(),
                                    [](const Registered& e) { return e.role == Role::Own; });
            auto next = own != r.entries.rend() ? std::prev(own.base()) : std::prev(r.entries.end());
            entry = std::move(*next);
            r.entries.erase(next);
        }
        runStop(entry.name, entry.stop);
    }
}

bool BackgroundWork::isStopping()
{
    return registry().stopping;
}

void BackgroundWork::quitRequested()
{
    registry().quitting = true;
}

bool BackgroundWork::isQuitting()
{
    return registry().quitting || registry().stopping;
}

void BackgroundWork::resetForTesting()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.entries.clear();
    r.draining = false;
    r.stopping = false;
    r.quitting = false;
}

} // namespace base
