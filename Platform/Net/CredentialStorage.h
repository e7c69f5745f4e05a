#pragma once
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace net {

// Where a credential applies: a server (host, port, protocol, realm, authentication method)
// or a proxy (its host, port and type instead of the protocol).
struct ProtectionSpace {
    static constexpr const char* kMethodDefault = "Default";
    static constexpr const char* kProxyHTTP = "http";

    std::string host;
    int port = 0;
    std::string protocol; // "http", "https"; empty for a proxy
    std::string realm;
    std::string authenticationMethod = kMethodDefault;
    bool isProxy = false;
    std::string proxyType; // set for a proxy

    static ProtectionSpace server(std::string host, int port, std::string protocol, std::string realm,
                                  std::string method = kMethodDefault);
    static ProtectionSpace proxy(std::string host, int port, std::string type, std::string realm,
                                 std::string method = kMethodDefault);
    auto operator<=>(const ProtectionSpace&) const = default;
};

struct Credential {
    enum class Persistence { None, Session, Permanent };
    std::string user;
    std::string password;
    Persistence persistence = Persistence::Session;
    bool operator==(const Credential&) const = default;
};

// Credentials by protection space and user, each space with an optional default. Thread-safe.
// A credential with no persistence is never kept; permanent ones are written (atomically,
// mode 0600) to the store's file.
class CredentialStorage {
public:
    CredentialStorage() = default;
    explicit CredentialStorage(std::filesystem::path file);
    CredentialStorage(const CredentialStorage&) = delete;
    CredentialStorage& operator=(const CredentialStorage&) = delete;

    // Permanent credentials in Library/Credentials.plist under the home folder when first used.
    static CredentialStorage& shared();

    void setCredential(const Credential& credential, const ProtectionSpace& space);
    void setDefaultCredential(const Credential& credential, const ProtectionSpace& space);
    std::optional<Credential> defaultCredential(const ProtectionSpace& space) const;
    // By user name.
    std::map<std::string, Credential> credentials(const ProtectionSpace& space) const;
    void removeCredential(const Credential& credential, const ProtectionSpace& space);
    std::vector<ProtectionSpace> spaces() const;
    // Reads the file again, dropping what is in memory (session credentials included).
    bool reload();

private:
    struct Entry {
        std::map<std::string, Credential> byUser;
        std::optional<std::string> defaultUser;
    };
    void storeLocked(const Credential& credential, const ProtectionSpace& space, bool makeDefault);
    void saveLocked() const;

    std::optional<std::filesystem::path> m_file;
    mutable std::mutex m_mutex;
    std::map<ProtectionSpace, Entry> m_spaces;
};

} // namespace net
