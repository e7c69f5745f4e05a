#include "Platform/Base/DeferredCall.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"

#include <algorithm>
#include <cassert>
#include <list>

namespace base {

namespace {

struct Pending {
    std::weak_ptr<const void> owner;
    std::string key;
    std::shared_ptr<Timer> timer;
};

// Main thread only, so no lock.
std::list<Pending>& pendingCalls()
{
    static std::list<Pending> calls;
    return calls;
}

bool sameOwner(const std::weak_ptr<const void>& a, const std::weak_ptr<const void>& b)
{
    return !a.owner_before(b) && !b.owner_before(a);
}

template <typename Match>
void cancelWhere(Match match)
{
    auto& calls = pendingCalls();
    for (auto it = calls.begin(); it != calls.end();) {
        if (match(*it)) {
            it->timer->invalidate();
            it = calls.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

void performAfterDelay(const std::weak_ptr<const void>& owner, const std::string& key, double seconds,
                       std::function<void()> call)
{
    assert(RunLoop::isMainThread());
    auto& calls = pendingCalls();
    auto entry = calls.insert(calls.end(), Pending{owner, key, nullptr});
    // The timer's callback finds its entry by the timer itself, so erasing others is safe.
    entry->timer = Timer::scheduled(std::max(0.0, seconds), false, [call = std::move(call)](Timer& timer) {
        auto& list = pendingCalls();
        auto it = std::find_if(list.begin(), list.end(), [&](const Pending& p) { return p.timer.get() == &timer; });
        if (it == list.end())
            return;
        bool alive = !it->owner.expired();
        list.erase(it);
        if (alive)
            call();
    });
}

void cancelPerforms(const std::weak_ptr<const void>& owner)
{
    cancelWhere([&](const Pending& p) { return sameOwner(p.owner, owner); });
}

void cancelPerforms(const std::weak_ptr<const void>& owner, const std::string& key)
{
    cancelWhere([&](const Pending& p) { return sameOwner(p.owner, owner) && p.key == key; });
}

size_t pendingPerforms(const std::weak_ptr<const void>& owner, const std::string& key)
{
    auto& calls = pendingCalls();
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const Pending& p) {
        return sameOwner(p.owner, owner) && (key.empty() || p.key == key) && !p.owner.expired();
    }));
}

} // namespace base
