#include "Platform/Base/Pasteboard.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/PropertyList.h"

#include <map>
#include <mutex>

namespace base {

namespace {

constexpr const char* kGeneralName = "general";

std::mutex s_mutex;
std::optional<Pasteboard::Clipboard> s_clipboard;
// Items of the pasteboards that are not persistent, by name.
std::map<std::string, Dictionary> s_transient;

bool isSafeName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".."
        && name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

std::string filePath(const std::string& name)
{
    return Paths::library() + "/Pasteboards/" + name + ".plist";
}

std::optional<Dictionary> readItems(const std::string& path)
{
    if (!FileManager::exists(path))
        return std::nullopt;
    auto items = PropertyList::readFile(path);
    // A damaged file still names an existing pasteboard, with no items.
    if (!items || !items->isDictionary())
        return Dictionary();
    return items->asDictionary();
}

bool writeItems(const std::string& path, const Dictionary& items)
{
    std::string folder = path.substr(0, path.rfind('/'));
    if (!FileManager::createDirectories(folder, 0700))
        return false;
    return PropertyList::writeFile(path, Value(items), 0600);
}

} // namespace

std::shared_ptr<Pasteboard> Pasteboard::general()
{
    return withName(kGeneralName, true);
}

void Pasteboard::setSystemClipboard(std::optional<Clipboard> clipboard)
{
    std::lock_guard lock(s_mutex);
    s_clipboard = std::move(clipboard);
}

std::shared_ptr<Pasteboard> Pasteboard::withName(const std::string& name, bool create)
{
    if (!isSafeName(name))
        return nullptr;
    std::lock_guard lock(s_mutex);
    if (!s_transient.contains(name) && !FileManager::exists(filePath(name))) {
        if (!create)
            return nullptr;
        s_transient.emplace(name, Dictionary());
    }
    return std::make_shared<Pasteboard>(name);
}

bool Pasteboard::isPersistent() const
{
    std::lock_guard lock(s_mutex);
    return FileManager::exists(filePath(m_name));
}

bool Pasteboard::setPersistent(bool persistent)
{
    std::lock_guard lock(s_mutex);
    std::string path = filePath(m_name);
    auto transient = s_transient.find(m_name);
    if (persistent) {
        if (transient == s_transient.end())
            return FileManager::exists(path) || writeItems(path, {});
        if (!writeItems(path, transient->second))
            return false;
        s_transient.erase(transient);
        return true;
    }
    if (transient != s_transient.end())
        return true;
    auto items = readItems(path);
    if (!items)
        return false;
    s_transient[m_name] = std::move(*items);
    FileManager::removeItem(path);
    return true;
}

std::optional<Value> Pasteboard::valueForType(const std::string& type) const
{
    if (m_name == kGeneralName && type == kTextType) {
        std::unique_lock lock(s_mutex);
        if (auto clipboard = s_clipboard) {
            // The desktop may take a while to answer: not under the lock.
            lock.unlock();
            auto text = clipboard->readText();
            return text ? std::optional<Value>(Value(*text)) : std::nullopt;
        }
    }
    std::lock_guard lock(s_mutex);
    std::optional<Dictionary> items;
    if (auto transient = s_transient.find(m_name); transient != s_transient.end())
        items = transient->second;
    else
        items = readItems(filePath(m_name));
    if (!items)
        return std::nullopt;
    const Value* value = items->find(type);
    return value ? std::optional<Value>(*value) : std::nullopt;
}

bool Pasteboard::setValueForType(const Value& value, const std::string& type)
{
    if (m_name == kGeneralName && type == kTextType && value.isString()) {
        std::unique_lock lock(s_mutex);
        if (auto clipboard = s_clipboard) {
            lock.unlock();
            return clipboard->writeText(value.asString());
        }
    }
    std::lock_guard lock(s_mutex);
    if (auto transient = s_transient.find(m_name); transient != s_transient.end()) {
        transient->second.set(type, value);
        return true;
    }
    std::string path = filePath(m_name);
    auto items = readItems(path);
    if (!items)
        return false;
    items->set(type, value);
    return writeItems(path, *items);
}

} // namespace base
