#pragma once
#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace base {

// Values by key, each with a cost; when the total passes the limit the least recently used
// entries go first (the newest one stays even when it alone passes the limit). Every call
// holds the cache's lock, so it may be shared between threads.
template <typename Value>
class MemoryCache {
public:
    explicit MemoryCache(std::string name = {}, size_t totalCostLimit = 0)
        : m_name(std::move(name))
        , m_limit(totalCostLimit)
    {
    }

    const std::string& name() const { return m_name; }
    // 0 is no limit.
    void setTotalCostLimit(size_t limit)
    {
        std::lock_guard lock(m_mutex);
        m_limit = limit;
        evict();
    }
    size_t totalCostLimit() const
    {
        std::lock_guard lock(m_mutex);
        return m_limit;
    }

    // Found values count as used.
    std::optional<Value> objectForKey(const std::string& key)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_index.find(key);
        if (it == m_index.end())
            return std::nullopt;
        m_order.splice(m_order.begin(), m_order, it->second);
        return it->second->value;
    }
    // Whether the key is held, without counting as a use.
    bool containsKey(const std::string& key) const
    {
        std::lock_guard lock(m_mutex);
        return m_index.count(key) > 0;
    }
    void setObject(const std::string& key, Value value, size_t cost = 0)
    {
        std::lock_guard lock(m_mutex);
        eraseLocked(key);
        m_order.push_front(Entry{key, std::move(value), cost});
        m_index[key] = m_order.begin();
        m_total += cost;
        evict();
    }
    void removeObjectForKey(const std::string& key)
    {
        std::lock_guard lock(m_mutex);
        eraseLocked(key);
    }
    // Removes the entry only when the predicate holds for its value; true when removed.
    template <typename Predicate>
    bool removeObjectForKeyIf(const std::string& key, Predicate predicate)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_index.find(key);
        if (it == m_index.end() || !predicate(it->second->value))
            return false;
        eraseLocked(key);
        return true;
    }
    void removeAllObjects()
    {
        std::lock_guard lock(m_mutex);
        m_order.clear();
        m_index.clear();
        m_total = 0;
    }
    size_t count() const
    {
        std::lock_guard lock(m_mutex);
        return m_index.size();
    }
    size_t totalCost() const
    {
        std::lock_guard lock(m_mutex);
        return m_total;
    }
    // The cache's lock, for a caller that makes several calls one step (it is recursive).
    std::recursive_mutex& mutex() const { return m_mutex; }

private:
    struct Entry {
        std::string key;
        Value value;
        size_t cost = 0;
    };
    void eraseLocked(const std::string& key)
    {
        auto it = m_index.find(key);
        if (it == m_index.end())
            return;
        m_total -= it->second->cost;
        m_order.erase(it->second);
        m_index.erase(it);
    }
    void evict()
    {
        while (m_limit && m_total > m_limit && m_order.size() > 1) {
            const Entry& oldest = m_order.back();
            m_total -= oldest.cost;
            m_index.erase(oldest.key);
            m_order.pop_back();
        }
    }

    std::string m_name;
    mutable std::recursive_mutex m_mutex;
    std::list<Entry> m_order; // most recently used first
    std::unordered_map<std::string, typename std::list<Entry>::iterator> m_index;
    size_t m_limit = 0;
    size_t m_total = 0;
};

} // namespace base
