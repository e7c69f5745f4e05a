#pragma once
#include "Platform/Base/Value.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace base {

struct Notification {
    std::string name;
    std::shared_ptr<void> object; // the sender, when it has one
    Value userInfo;
};

// Keeps an observation alive; destroying or resetting it unregisters the observer.
class ObserverToken {
public:
    ObserverToken() = default;
    ~ObserverToken() { reset(); }
    ObserverToken(ObserverToken&& other) noexcept;
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;
    void reset();
    bool isActive() const { return m_id != 0; }

private:
    friend class NotificationCenter;
    ObserverToken(class NotificationCenter* center, uint64_t id) : m_center(center), m_id(id) {}
    class NotificationCenter* m_center = nullptr;
    uint64_t m_id = 0;
};

// Delivers named notifications synchronously, on the posting thread, to the observers
// registered for that name and (when they gave one) that sender.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // `object` filters by sender; nullptr observes every sender.
    [[nodiscard]] ObserverToken addObserver(std::string name, const void* object, Handler handler);
    void post(const std::string& name, std::shared_ptr<void> object = nullptr, Value userInfo = {});
    size_t observerCount(const std::string& name) const;

private:
    friend class ObserverToken;
    struct Observer {
        uint64_t id;
        std::string name;
        const void* object;
        std::shared_ptr<Handler> handler;
    };
    void remove(uint64_t id);

    mutable std::mutex m_mutex;
    std::vector<Observer> m_observers;
    uint64_t m_nextId = 1;
};

} // namespace base
