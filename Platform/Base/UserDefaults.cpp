#include "Platform/Base/UserDefaults.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/PropertyList.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

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

// "zh_TW.UTF-8" -> "zh-Hant", "de_AT@euro" -> "de"; "" for C, POSIX and anything unnamed.
std::string languageTag(std::string_view locale)
{
    locale = locale.substr(0, locale.find_first_of(".@"));
    size_t split = locale.find_first_of("_-");
    std::string language(locale.substr(0, split));
    std::string region(split == std::string_view::npos ? std::string_view() : locale.substr(split + 1));
    if (language.size() < 2 || language.size() > 3)
        return {};
    for (char& c : language) {
        if (!std::isalpha(static_cast<unsigned char>(c)))
            return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (char& c : region)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (language == "zh") {
        if (region == "CN" || region == "SG")
            return "zh-Hans";
        if (region == "TW" || region == "HK" || region == "MO")
            return "zh-Hant";
    }
    return language;
}

} // namespace

std::vector<std::string> UserDefaults::preferredLanguagesFromEnvironment()
{
    std::vector<std::string> tags;
    auto add = [&](std::string_view locale) {
        std::string tag = languageTag(locale);
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end())
            tags.push_back(std::move(tag));
    };
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string_view rest(list);
        while (!rest.empty()) {
            size_t colon = rest.find(':');
            add(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* locale = std::getenv(name))
            add(locale);
    }
    if (tags.empty())
        tags.push_back("en");
    return tags;
}

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
    loadLocked();
}

std::optional<UserDefaults::FileStamp> UserDefaults::stampOf(const std::filesystem::path& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                     static_cast<int64_t>(st.st_size),
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void UserDefaults::loadLocked()
{
    m_values.clear();
    m_stamp = stampOf(m_file);
    if (!m_stamp)
        return;
    auto loaded = PropertyList::readFile(m_file);
    if (loaded && loaded->isDictionary())
        m_values = std::move(loaded->asDictionary());
    else
        logf("UserDefaults: %s is unreadable or corrupt; starting empty", m_file.c_str());
}

void UserDefaults::postChange()
{
    // Observers of a store that no shared_ptr owns still see which store it was.
    std::shared_ptr<void> self = weak_from_this().lock();
    if (!self)
        self = std::shared_ptr<void>(std::shared_ptr<void>(), this);
    NotificationCenter::defaultCenter().post(kDidChangeNotification, std::move(self));
}

std::optional<Value> UserDefaults::objectForKey(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    if (const Value* v = m_values.find(key))
        return *v;
    if (key == kPreferredLanguagesKey) {
        Array tags;
        for (auto& tag : preferredLanguagesFromEnvironment())
            tags.emplace_back(tag);
        return Value(std::move(tags));
    }
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
    bool written;
    {
        std::lock_guard lock(m_mutex);
        m_values.set(key, value);
        written = writeLocked();
    }
    postChange();
    return written;
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
    bool written;
    {
        std::lock_guard lock(m_mutex);
        m_values.remove(key);
        written = writeLocked();
    }
    postChange();
    return written;
}

bool UserDefaults::removeAll()
{
    bool written;
    {
        std::lock_guard lock(m_mutex);
        m_values.clear();
        written = writeLocked();
    }
    postChange();
    return written;
}

bool UserDefaults::synchronize()
{
    {
        std::lock_guard lock(m_mutex);
        if (stampOf(m_file) == m_stamp)
            return writeLocked();
        loadLocked();
    }
    postChange();
    return true;
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
    m_stamp = stampOf(m_file);
    return true;
}

} // namespace base
