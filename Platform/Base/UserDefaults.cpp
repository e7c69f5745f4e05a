#include "Platform/Base/UserDefaults.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/PropertyList.h"

namespace base {

namespace {

std::mutex g_standardMutex;
std::shared_ptr<UserDefaults> g_standard;

bool isStorable(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Null: return false;
    case Value::Type::Array:
        for (auto& item : value.asArray())
            if (!isStorable(item))
                return false;
        return true;
    case Value::Type::Dictionary:
        for (auto& [key, item] : value.asDictionary())
            if (!isStorable(item))
                return false;
        return true;
    default: return true;
    }
}

} // namespace

std::shared_ptr<UserDefaults> UserDefaults::standard()
{
    std::lock_guard lock(g_standardMutex);
    if (!g_standard)
        g_standard = std::make_shared<UserDefaults>(
            std::filesystem::path(Paths::library()) / "Preferences" / "brivanta.plist");
    return g_standard;
}

void UserDefaults::resetStandard()
{
    std::lock_guard lock(g_standardMutex);
    g_standard.reset();
}

UserDefaults::UserDefaults(std::filesystem::path file) : m_file(std::move(file))
{
    if (!FileManager::exists(m_file))
        return;
    auto loaded = PropertyList::readFile(m_file);
    if (loaded && loaded->isDictionary())
        m_values = std::move(loaded->asDictionary());
    else
        logf("UserDefaults: %s is unreadable or corrupt; starting empty", m_file.c_str());
}

std::optional<Value> UserDefaults::objectForKey(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    if (const Value* v = m_values.find(key))
        return *v;
    return std::nullopt;
}

bool UserDefaults::boolForKey(const std::string& key) const
{
    auto v = objectForKey(key);
    return v ? v->toBool(false) : false;
}

int64_t UserDefaults::integerForKey(const std::string& key) const
{
    auto v = objectForKey(key);
    return v ? v->toInt(0) : 0;
}

double UserDefaults::doubleForKey(const std::string& key) const
{
    auto v = objectForKey(key);
    return v ? v->toDouble(0) : 0;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const
{
    auto v = objectForKey(key);
    if (!v || !(v->isString() || v->isNumber()))
        return std::nullopt;
    return v->toString();
}

std::optional<Date> UserDefaults::dateForKey(const std::string& key) const
{
    auto v = objectForKey(key);
    if (!v || !v->isDate())
        return std::nullopt;
    return v->asDate();
}

std::optional<Array> UserDefaults::arrayForKey(const std::string& key) const
{
    auto v = objectForKey(key);
    if (!v || !v->isArray())
        return std::nullopt;
    return std::move(v->asArray());
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(const std::string& key) const
{
    auto v = objectForKey(key);
    if (!v || !v->isDictionary())
        return std::nullopt;
    return std::move(v->asDictionary());
}

bool UserDefaults::setObject(const Value& value, const std::string& key)
{
    if (value.isNull())
        return removeObjectForKey(key);
    if (!isStorable(value)) {
        logf("UserDefaults: refusing to store a null inside the value for %s", key.c_str());
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_values.set(key, value);
    return writeLocked();
}

bool UserDefaults::setBool(bool value, const std::string& key)
{
    return setObject(Value(value), key);
}

bool UserDefaults::setInteger(int64_t value, const std::string& key)
{
    return setObject(Value(static_cast<long long>(value)), key);
}

bool UserDefaults::setDouble(double value, const std::string& key)
{
    return setObject(Value(value), key);
}

bool UserDefaults::setString(const std::string& value, const std::string& key)
{
    return setObject(Value(value), key);
}

bool UserDefaults::removeObjectForKey(const std::string& key)
{
    std::lock_guard lock(m_mutex);
    m_values.remove(key);
    return writeLocked();
}

bool UserDefaults::removeAll()
{
    std::lock_guard lock(m_mutex);
    m_values.clear();
    return writeLocked();
}

bool UserDefaults::synchronize()
{
    std::lock_guard lock(m_mutex);
    return writeLocked();
}

bool UserDefaults::writeLocked()
{
    if (!FileManager::createDirectories(m_file.parent_path(), 0700)) {
        logf("UserDefaults: cannot create %s", m_file.parent_path().c_str());
        return false;
    }
    if (!PropertyList::writeFile(m_file, Value(m_values), 0600)) {
        logf("UserDefaults: cannot save %s", m_file.c_str());
        return false;
    }
    return true;
}

} // namespace base
