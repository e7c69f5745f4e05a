#pragma once
#include <functional>
#include <memory>
#include <string>

namespace base {

// Calls on the main loop after a delay, filed under an owner and a key so that they can be
// cancelled before they run. A delay of 0 runs on the next turn of the loop, never inside
// the caller. A call whose owner is gone by then does not run. Main thread only.
void performAfterDelay(const std::weak_ptr<const void>& owner, const std::string& key, double seconds,
                       std::function<void()> call);
// Cancels every pending call of the owner, or only those filed under the key.
void cancelPerforms(const std::weak_ptr<const void>& owner);
void cancelPerforms(const std::weak_ptr<const void>& owner, const std::string& key);
// Pending calls of the owner under the key (all keys when empty).
size_t pendingPerforms(const std::weak_ptr<const void>& owner, const std::string& key = {});

} // namespace base
