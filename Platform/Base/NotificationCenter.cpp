#include "Platform/Base/NotificationCenter.h"

#include <algorithm>

namespace base {

ObserverToken::ObserverToken(ObserverToken&& other) noexcept : m_center(other.m_center), m_id(other.m_id)
{
    other.m_center = nullptr;
    other.m_id = 0;
}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept
{
    if (this != &other) {
        reset();
        m_center = other.m_center;
        m_id = other.m_id;
        other.m_center = nullptr;
        other.m_id = 0;
    }
    return *this;
}

void ObserverToken::reset()
{
    if (m_center && m_id)
        m_center->remove(m_id);
    m_center = nullptr;
    m_id = 0;
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = new NotificationCenter(); // tokens may outlive statics
    return *center;
}

ObserverToken NotificationCenter::addObserver(std::string name, const void* object, Handler handler)
{
    std::lock_guard lock(m_mutex);
    uint64_t id = m_nextId++;
    m_observers.push_back({id, std::move(name), object, std::make_shared<Handler>(std::move(handler))});
    return ObserverToken(this, id);
}

void NotificationCenter::remove(uint64_t id)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(std::remove_if(m_observers.begin(), m_observers.end(),
                                     [id](const Observer& o) { return o.id == id; }),
                      m_observers.end());
}

void NotificationCenter::post(const std::string& name, std::shared_ptr<void> object, Value userInfo)
{
    std::vector<std::pair<uint64_t, std::shared_ptr<Handler>>> targets;
    {
        std::lock_guard lock(m_mutex);
        for (auto& o : m_observers)
            if (o.name == name && (!o.object || o.object == object.get()))
                targets.emplace_back(o.id, o.handler);
    }
    Notification note{name, std::move(object), std::move(userInfo)};
    for (auto& [id, handler] : targets) {
        // An earlier observer may have removed this one while handling the notification.
        bool stillThere;
        {
            std::lock_guard lock(m_mutex);
            stillThere = std::any_of(m_observers.begin(), m_observers.end(),
                                     [id = id](const Observer& o) { return o.id == id; });
        }
        if (stillThere)
            (*handler)(note);
    }
}

size_t NotificationCenter::observerCount(const std::string& name) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(std::count_if(m_observers.begin(), m_observers.end(),
                                             [&](const Observer& o) { return o.name == name; }));
}

} // namespace base
