#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Base/Thread.h"
#include "Platform/Net/URL.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace net {

// One HTTP cookie as a server set it.
struct Cookie {
    std::string name;
    std::string value;
    // Lower-case, without a leading dot.
    std::string domain;
    // Sent only to exactly `domain`, not to its subdomains (no Domain attribute was given).
    bool hostOnly = true;
    std::string path = "/";
    // Nothing for a session cookie, which is never written to disk.
    std::optional<base::Date> expires;
    bool secure = false;
    bool httpOnly = false;
    base::Date created;

    bool isSession() const { return !expires; }
    bool isExpired(base::Date now) const { return expires && *expires <= now; }
    // Domain, path and scheme rules for sending it to `url` (expiry aside).
    bool matches(const URL& url) const;
    bool sameIdentity(const Cookie& other) const
    {
        return name == other.name && domain == other.domain && path == other.path;
    }

    // One "Set-Cookie" value received from `url`; nothing when it is malformed or names a
    // domain the URL's host does not belong to.
    static std::optional<Cookie> fromSetCookie(std::string_view header, const URL& url, base::Date now);
    // Every cookie of a response's header fields ("Set-Cookie" in any case, several fields or
    // one field folded with commas).
    static std::vector<Cookie> fromResponseHeaders(const std::vector<std::pair<std::string, std::string>>& headers,
                                                   const URL& url, base::Date now);
    // The value of a "Cookie" request header: "a=1; b=2".
    static std::string requestHeaderValue(const std::vector<Cookie>& cookies);
};

// A date in any form a cookie's Expires attribute uses; nothing when it is not one.
std::optional<base::Date> parseCookieDate(std::string_view text);

// The cookie jar shared by every request. Thread-safe. It keeps at most kMaxCookiesPerDomain
// cookies of one domain and kMaxCookies in all. Past a limit, expired cookies go first, then
// those not Secure, then Secure ones, each least recently used first: sent with a request or
// taken again from a server counts as a use. An answer over plain http, which cannot set a
// Secure cookie, always has a plain one of its own to drop first.
// Every step of an answer or a request costs the same however full the jar. Persistent cookies
// of a store with a file are written to it (atomically, private to the user) on a thread of
// the store's own, never under the lock that reading cookies takes: when their content
// changed, at most once per kWritePace. A cookie taken again unchanged but for its expiry
// causes no write; its new expiry goes out with the next one (flush, saveSoon, the end). Nor
// does a use (sent, or taken again): the use times go out with the next write made anyway,
// and at the program's end, so that the order of use outlives a restart.
class CookieStorage {
public:
    static constexpr size_t kMaxCookiesPerDomain = 50;
    static constexpr size_t kMaxCookies = 3000;
    // A longer Set-Cookie value (name, value and attributes) is refused; so is a longer name
    // and value of a cookie made otherwise.
    static constexpr size_t kMaxCookieBytes = 4096;
    static constexpr std::chrono::milliseconds kWritePace{1000};

    // In memory only.
    CookieStorage() = default;
    explicit CookieStorage(std::filesystem::path file);
    ~CookieStorage();
    CookieStorage(const CookieStorage&) = delete;
    CookieStorage& operator=(const CookieStorage&) = delete;

    // Persistent cookies in Library/Cookies.plist under the home folder when first used.
    static CookieStorage& shared();
    static std::filesystem::path sharedFile();
    // Removes what writes of `file` cut short left beside it; made jars do so themselves.
    static void removeLeftovers(const std::filesystem::path& file);

    // Replaces the cookie of the same name, domain and path (keeping its creation time); an
    // expired cookie only deletes that one.
    void setCookie(const Cookie& cookie);
    // The same for several, with one write of the file. Cookies from a non-secure origin
    // (`secureOrigin` false) never replace, shadow or delete a Secure cookie of the same name
    // whose domain and path cover theirs; such cookies are left out. Answers those taken.
    std::vector<Cookie> setCookies(const std::vector<Cookie>& cookies, bool secureOrigin);
    void deleteCookie(const Cookie& cookie);
    void removeAll();
    std::vector<Cookie> cookies() const;
    // What to send to `url`: longest path first, then oldest first.
    std::vector<Cookie> cookiesForURL(const URL& url) const;
    // Stores every cookie of a response and answers those taken.
    std::vector<Cookie> setCookiesFromResponseHeaders(const std::vector<std::pair<std::string, std::string>>& headers,
                                                      const URL& url);
    // Returns once the file holds every change made before the call.
    void flush();
    // Has the writer thread write what is pending now, without waiting for its pace; returns
    // at once (the application going to the background).
    void saveSoon();
    // Reads the file again, dropping what is in memory (session cookies included).
    bool reload();

private:
    // One cookie and its places in the jar's orders. Entries never move in memory.
    struct Entry;
    using UseOrder = std::list<Entry*>;
    struct Entry {
        Cookie cookie;
        // Order of arrival (a replacement arrives anew): the jar's order and the tie-break of
        // cookies sent together.
        uint64_t serial = 0;
        base::Date lastUsed;
        // Least recently used first: among its domain's and the jar's cookies of its kind.
        UseOrder::iterator inDomain, inJar;
        std::multimap<base::Date, Entry*>::iterator expiry;
        std::unordered_multimap<std::string, Entry*>::iterator secureName;
    };
    struct DomainCookies {
        UseOrder plain, secure;
        size_t size() const { return plain.size() + secure.size(); }
    };

    // Ends the writer thread, then writes what it had not written yet.
    void stopWriter();
    Entry& insertLocked(Cookie cookie, base::Date used) const;
    void removeLocked(Entry& entry) const;
    // Empties the jar and every index over it.
    void clearLocked();
    void useLocked(Entry& entry, base::Date now) const;
    // Drops cookies of `domain` and of the jar past the limits. Answers whether any went.
    bool enforceLimitsLocked(const std::string& domain);
    bool purgeExpiredLocked(base::Date now) const;
    std::vector<Entry*> inArrivalOrderLocked() const;
    // After a change of persistent cookies, with m_mutex held: the writer thread takes it.
    // True when it is stopped and the caller must write, once the lock is let go.
    bool scheduleSaveLocked();
    // On the writer thread: waits for the pace (or saveSoon), then writes.
    void writeWhenDue();
    // Writes what changed; with `withUses`, also when only uses are unwritten.
    void writePending(bool withUses = false);
    bool readFile();

    std::optional<std::filesystem::path> m_file;
    mutable std::mutex m_mutex;
    // By name, domain and path; a request uses cookies (a const look-up), hence mutable.
    mutable std::unordered_map<std::string, Entry> m_jar;
    mutable std::unordered_map<std::string, DomainCookies> m_domains;
    mutable UseOrder m_plainByUse, m_secureByUse;
    mutable std::multimap<base::Date, Entry*> m_expiries;
    mutable std::unordered_multimap<std::string, Entry*> m_secureByName;
    mutable uint64_t m_serial = 0;
    // Changes of persistent cookies made and written, and whether a write is queued.
    uint64_t m_changes = 0;
    bool m_writeQueued = false;
    // A new expiry of a cookie otherwise unchanged waits for the next write.
    bool m_expiryChanged = false;
    // A persistent cookie used (sent, or taken again) since the last write: the uses go out
    // with the next write, or at the end. A request's look-up is const, hence mutable.
    mutable bool m_usesUnwritten = false;
    bool m_writeAtOnce = false;
    std::chrono::steady_clock::time_point m_nextWrite;
    std::condition_variable m_paceChanged;
    std::unique_ptr<base::WorkerThread> m_writer;
    uint64_t m_backgroundWork = 0;
    // Held while the file is written; m_written is guarded by it.
    std::mutex m_fileMutex;
    uint64_t m_written = 0;
};

} // namespace net
