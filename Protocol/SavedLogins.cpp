#include "Protocol/SavedLogins.h"

#include "Platform/Base/Text.h"
#include "Platform/Base/UserDefaults.h"

#include <algorithm>

namespace {

std::string textOf(const base::Value& entry, const char* key)
{
    const base::Value& value = entry[key];
    return value.isString() ? value.asString() : std::string();
}

bool has(const base::Value& entry, const char* key)
{
    return entry[key].isString();
}

bool isBlank(const std::string& text)
{
    return base::trimmingWhitespace(text).empty();
}

std::string asciiLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void addOnce(std::vector<std::string>& list, const std::string& text)
{
    if (std::find(list.begin(), list.end(), text) == list.end())
        list.push_back(text);
}

} // namespace

base::Array SavedLogins::stored()
{
    return base::UserDefaults::standard()->arrayForKey(kKey).value_or(base::Array());
}

void SavedLogins::store(const base::Array& list)
{
    auto defaults = base::UserDefaults::standard();
    defaults->setObject(base::Value(list), kKey);
    defaults->synchronize();
}

base::Array SavedLogins::afterLogin(const base::Array& list, const Login& login, bool askedShortcut,
                                    bool renewCredential)
{
    base::Array result;
    bool found = false;
    for (const base::Value& original : list) {
        base::Value entry = original;
        if (!entry.isDictionary()) {
            result.push_back(std::move(entry));
            continue;
        }
        base::Dictionary& fields = entry.asDictionary();
        bool sameClient = textOf(entry, kClient) == login.client;
        bool sameUser = textOf(entry, kUser) == login.user;
        if (sameClient && sameUser) {
            if (askedShortcut)
                fields.set(kShortcut, "YES");
            // A password changed on the server must not leave the tile with a dead credential.
            if (renewCredential) {
                fields.set(kCredential, login.credential);
                fields.set(kDevice, login.device);
            }
            result.insert(result.begin(), std::move(entry));
            found = true;
        } else {
            if (sameClient && askedShortcut)
                fields.set(kShortcut, "NO");
            result.push_back(std::move(entry));
        }
    }
    if (!found && !isBlank(login.client)) {
        base::Dictionary fresh{{kUser, login.user}, {kCredential, login.credential}, {kClient, login.client},
                               {kDevice, login.device}};
        if (askedShortcut)
            fresh.set(kShortcut, "YES");
        result.insert(result.begin(), base::Value(std::move(fresh)));
    }
    return result;
}

base::Array SavedLogins::afterRemoval(const base::Array& list, const std::string& user, const std::string& client)
{
    base::Array result = list;
    for (auto it = result.begin(); it != result.end(); ++it) {
        std::string saved = textOf(*it, kUser);
        if (!isBlank(saved) && saved == user && has(*it, kClient) && textOf(*it, kClient) == client) {
            result.erase(it);
            break;
        }
    }
    return result;
}

std::optional<base::Array> SavedLogins::afterTileDeletion(const base::Array& list, const std::string& user,
                                                          const std::string& credential, const std::string& client)
{
    base::Array result = list;
    for (auto it = result.begin(); it != result.end(); ++it) {
        if (it->isDictionary() && has(*it, kClient) && has(*it, kUser) && textOf(*it, kClient) == client
            && textOf(*it, kUser) == user) {
            result.erase(it);
            result.push_back(base::Value(base::Dictionary{
                {kUser, user}, {kCredential, credential}, {kClient, client}, {kShortcut, "NO"}}));
            return result;
        }
    }
    return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> SavedLogins::prefill(const base::Array& list)
{
    if (list.empty() || !list.front().isDictionary())
        return std::nullopt;
    return std::make_pair(textOf(list.front(), kUser), textOf(list.front(), kClient));
}

std::vector<base::Dictionary> SavedLogins::shortcutEntries(const base::Array& list)
{
    std::vector<base::Dictionary> tiles;
    for (const base::Value& entry : list) {
        if (!entry.isDictionary() || !has(entry, kShortcut))
            continue;
        std::string flag = textOf(entry, kShortcut);
        if (!isBlank(flag) && flag != "NO")
            tiles.push_back(entry.asDictionary());
    }
    return tiles;
}

bool SavedLogins::isShortcutTaken(const base::Array& list, const std::string& client, const std::string& user)
{
    return std::any_of(list.begin(), list.end(), [&](const base::Value& entry) {
        return has(entry, kClient) && textOf(entry, kClient) == client && textOf(entry, kUser) != user
            && textOf(entry, kShortcut) == "YES";
    });
}

std::vector<std::string> SavedLogins::clientIdsForUser(const base::Array& list, const std::string& user,
                                                       const std::string& credential)
{
    std::vector<std::string> clients;
    for (const base::Value& entry : list) {
        if (has(entry, kUser) && has(entry, kCredential) && has(entry, kClient) && textOf(entry, kUser) == user
            && textOf(entry, kCredential) == credential)
            addOnce(clients, textOf(entry, kClient));
    }
    return clients;
}

std::vector<std::string> SavedLogins::userNameCandidates(const base::Array& list, const std::string& typed)
{
    std::vector<std::string> names;
    if (typed.empty())
        return names;
    for (const base::Value& entry : list) {
        std::string name = textOf(entry, kUser);
        if (name.size() > typed.size() && name.compare(0, typed.size(), typed) == 0)
            addOnce(names, name);
    }
    return names;
}

std::vector<std::string> SavedLogins::clientIdCandidates(const base::Array& list, const std::string& typed)
{
    std::vector<std::string> clients;
    if (typed.empty())
        return clients;
    std::string lowered = asciiLower(typed);
    for (const base::Value& entry : list) {
        std::string client = textOf(entry, kClient);
        std::string folded = asciiLower(client);
        if (folded.size() > lowered.size() && folded.compare(0, lowered.size(), lowered) == 0)
            addOnce(clients, client);
    }
    return clients;
}
