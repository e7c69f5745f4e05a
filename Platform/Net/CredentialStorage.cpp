#include "Platform/Net/CredentialStorage.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Base/Value.h"

namespace net {

ProtectionSpace ProtectionSpace::server(std::string host, int port, std::string protocol, std::string realm,
                                        std::string method)
{
    ProtectionSpace space;
    space.host = std::move(host);
    space.port = port;
    space.protocol = std::move(protocol);
    space.realm = std::move(realm);
    space.authenticationMethod = std::move(method);
    return space;
}

ProtectionSpace ProtectionSpace::proxy(std::string host, int port, std::string type, std::string realm,
                                       std::string method)
{
    ProtectionSpace space;
    space.host = std::move(host);
    space.port = port;
    space.realm = std::move(realm);
    space.authenticationMethod = std::move(method);
    space.isProxy = true;
    space.proxyType = std::move(type);
    return space;
}

CredentialStorage::CredentialStorage(std::filesystem::path file) : m_file(std::move(file))
{
    reload();
}

CredentialStorage& CredentialStorage::shared()
{
    static auto* storage = new CredentialStorage(std::filesystem::path(base::Paths::library()) / "Credentials.plist");
    return *storage;
}

void CredentialStorage::storeLocked(const Credential& credential, const ProtectionSpace& space, bool makeDefault)
{
    if (credential.persistence == Credential::Persistence::None)
        return;
    auto& entry = m_spaces[space];
    auto old = entry.byUser.find(credential.user);
    bool touchesFile = credential.persistence == Credential::Persistence::Permanent
                       || (old != entry.byUser.end() && old->second.persistence == Credential::Persistence::Permanent);
    entry.byUser[credential.user] = credential;
    if (makeDefault && entry.defaultUser != credential.user) {
        entry.defaultUser = credential.user;
        touchesFile = true;
    }
    if (touchesFile)
        saveLocked();
}

void CredentialStorage::setCredential(const Credential& credential, const ProtectionSpace& space)
{
    std::lock_guard lock(m_mutex);
    storeLocked(credential, space, false);
}

void CredentialStorage::setDefaultCredential(const Credential& credential, const ProtectionSpace& space)
{
    std::lock_guard lock(m_mutex);
    storeLocked(credential, space, true);
}

std::optional<Credential> CredentialStorage::defaultCredential(const ProtectionSpace& space) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_spaces.find(space);
    if (it == m_spaces.end() || !it->second.defaultUser)
        return std::nullopt;
    auto cred = it->second.byUser.find(*it->second.defaultUser);
    if (cred == it->second.byUser.end())
        return std::nullopt;
    return cred->second;
}

std::map<std::string, Credential> CredentialStorage::credentials(const ProtectionSpace& space) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_spaces.find(space);
    return it == m_spaces.end() ? std::map<std::string, Credential>() : it->second.byUser;
}

void CredentialStorage::removeCredential(const Credential& credential, const ProtectionSpace& space)
{
    std::lock_guard lock(m_mutex);
    auto it = m_spaces.find(space);
    if (it == m_spaces.end())
        return;
    auto& entry = it->second;
    auto cred = entry.byUser.find(credential.user);
    if (cred == entry.byUser.end())
        return;
    bool permanent = cred->second.persistence == Credential::Persistence::Permanent;
    entry.byUser.erase(cred);
    if (entry.defaultUser == credential.user)
        entry.defaultUser.reset();
    if (entry.byUser.empty())
        m_spaces.erase(it);
    if (permanent)
        saveLocked();
}

std::vector<ProtectionSpace> CredentialStorage::spaces() const
{
    std::lock_guard lock(m_mutex);
    std::vector<ProtectionSpace> out;
    for (auto& [space, entry] : m_spaces)
        out.push_back(space);
    return out;
}

void CredentialStorage::saveLocked() const
{
    if (!m_file)
        return;
    base::Array list;
    for (auto& [space, entry] : m_spaces) {
        for (auto& [user, credential] : entry.byUser) {
            if (credential.persistence != Credential::Persistence::Permanent)
                continue;
            list.push_back(base::Dictionary{{"Host", space.host},
                                            {"Port", space.port},
                                            {"Protocol", space.protocol},
                                            {"Realm", space.realm},
                                            {"Method", space.authenticationMethod},
                                            {"Proxy", space.isProxy},
                                            {"ProxyType", space.proxyType},
                                            {"User", user},
                                            {"Password", credential.password},
                                            {"Default", entry.defaultUser == user}});
        }
    }
    base::FileManager::createDirectories(m_file->parent_path(), 0700);
    if (!base::PropertyList::writeFile(*m_file, base::Value(std::move(list)), 0600))
        base::log("CredentialStorage: cannot save " + m_file->string());
}

bool CredentialStorage::reload()
{
    std::lock_guard lock(m_mutex);
    m_spaces.clear();
    if (!m_file || !base::FileManager::exists(*m_file))
        return true;
    auto list = base::PropertyList::readFile(*m_file);
    if (!list || !list->isArray())
        return false;
    for (auto& item : list->asArray()) {
        ProtectionSpace space;
        space.host = item["Host"].toString();
        space.port = static_cast<int>(item["Port"].toInt());
        space.protocol = item["Protocol"].toString();
        space.realm = item["Realm"].toString();
        space.authenticationMethod = item["Method"].toString();
        space.isProxy = item["Proxy"].toBool();
        space.proxyType = item["ProxyType"].toString();
        if (!item["User"].isString())
            continue;
        Credential credential{item["User"].asString(), item["Password"].toString(), Credential::Persistence::Permanent};
        auto& entry = m_spaces[space];
        entry.byUser[credential.user] = credential;
        if (item["Default"].toBool())
            entry.defaultUser = credential.user;
    }
    return true;
}

} // namespace net
