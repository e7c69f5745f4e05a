#include "Platform/Net/CookieStorage.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Base/Value.h"

#include <arpa/inet.h>
#include <libpsl.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <unordered_map>

namespace net {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Names compared without the dots a fully qualified name may end in: "example.co.uk." and
// "example.co.uk.." are "example.co.uk", for the public suffix list as for matching. Left
// one dot, "co.uk.." would pass for a name the list does not know.
std::string_view withoutTrailingDot(std::string_view name)
{
    while (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    return name;
}

bool isIpAddress(const std::string& host)
{
    in6_addr v6;
    in_addr v4;
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 || inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

// Names under which many owners register (co.uk, github.io, a bare top-level name) may not
// carry a cookie for all of them; the public suffix list tells them.
bool isPublicSuffix(const std::string& domain)
{
    static const psl_ctx_t* const list = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    if (!list) // no list at all: at least a bare top-level name
        return domain.find('.') == std::string::npos;
    return psl_is_public_suffix2(list, domain.c_str(), PSL_TYPE_ANY) != 0;
}

bool domainMatches(const std::string& host, const std::string& domain)
{
    if (host == domain)
        return true;
    return !isIpAddress(host) && host.size() > domain.size() && host.ends_with(domain)
           && host[host.size() - domain.size() - 1] == '.';
}

bool pathMatches(const std::string& requestPath, const std::string& cookiePath)
{
    if (requestPath == cookiePath)
        return true;
    if (!requestPath.starts_with(cookiePath))
        return false;
    return cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/';
}

std::string defaultPath(const URL& url)
{
    const std::string& path = url.path();
    if (path.empty() || path[0] != '/')
        return "/";
    size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool isCookieDateDelimiter(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u == 0x09 || (u >= 0x20 && u <= 0x2F) || (u >= 0x3B && u <= 0x40) || (u >= 0x5B && u <= 0x60)
           || (u >= 0x7B && u <= 0x7E);
}

// 1 to maxDigits digits, then nothing or a non-digit; answers the value and the digit count.
std::optional<std::pair<int, size_t>> leadingNumber(std::string_view s, size_t minDigits, size_t maxDigits)
{
    size_t n = 0;
    int value = 0;
    while (n < s.size() && std::isdigit(static_cast<unsigned char>(s[n]))) {
        if (n == maxDigits)
            return std::nullopt;
        value = value * 10 + (s[n] - '0');
        ++n;
    }
    if (n < minDigits)
        return std::nullopt;
    return std::make_pair(value, n);
}

bool isSplitPoint(std::string_view rest)
{
    // A folded header continues with "name=" right after the comma; an Expires date does not.
    rest = trim(rest);
    size_t eq = rest.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return false;
    for (char c : rest.substr(0, eq))
        if (c == ' ' || c == '\t' || c == ';' || c == ',')
            return false;
    return true;
}

} // namespace

std::optional<base::Date> parseCookieDate(std::string_view text)
{
    std::optional<int> hour, minute, second, day, month, year;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isCookieDateDelimiter(text[i]))
            ++i;
        size_t start = i;
        while (i < text.size() && !isCookieDateDelimiter(text[i]))
            ++i;
        std::string_view token = text.substr(start, i - start);
        if (token.empty())
            continue;
        if (!hour) {
            auto h = leadingNumber(token, 1, 2);
            if (h && h->second < token.size() && token[h->second] == ':') {
                auto rest = token.substr(h->second + 1);
                auto m = leadingNumber(rest, 1, 2);
                if (m && m->second < rest.size() && rest[m->second] == ':') {
                    auto s = leadingNumber(rest.substr(m->second + 1), 1, 2);
                    if (s) {
                        hour = h->first;
                        minute = m->first;
                        second = s->first;
                        continue;
                    }
                }
            }
        }
        if (!day) {
            if (auto d = leadingNumber(token, 1, 2)) {
                day = d->first;
                continue;
            }
        }
        if (!month && token.size() >= 3) {
            static constexpr std::string_view names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                         "jul", "aug", "sep", "oct", "nov", "dec"};
            std::string prefix = lower(token.substr(0, 3));
            auto found = std::find(std::begin(names), std::end(names), prefix);
            if (found != std::end(names)) {
                month = static_cast<int>(found - std::begin(names)) + 1;
                continue;
            }
        }
        if (!year) {
            if (auto y = leadingNumber(token, 2, 4)) {
                year = y->first;
                continue;
            }
        }
    }
    if (!hour || !day || !month || !year)
        return std::nullopt;
    int y = *year;
    if (y >= 70 && y <= 99)
        y += 1900;
    else if (y >= 0 && y <= 69)
        y += 2000;
    if (*day < 1 || *day > 31 || y < 1601 || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    std::tm tm {};
    tm.tm_year = y - 1900;
    tm.tm_mon = *month - 1;
    tm.tm_mday = *day;
    tm.tm_hour = *hour;
    tm.tm_min = *minute;
    tm.tm_sec = *second;
    time_t t = timegm(&tm);
    if (tm.tm_mday != *day) // 31 April and the like roll over; they are not dates
        return std::nullopt;
    return base::Date(static_cast<double>(t));
}

namespace {

// What a cookie is matched against, worked out once for a whole jar.
struct Destination {
    std::string host;
    bool hostIsIp = false;
    std::string path;
    bool secure = false;

    explicit Destination(const URL& url)
        : host(withoutTrailingDot(url.host())), hostIsIp(isIpAddress(host)),
          path(url.path().empty() ? "/" : url.path()), secure(url.scheme() == "https")
    {
    }
    bool takes(const Cookie& cookie) const
    {
        if (cookie.secure && !secure)
            return false;
        if (cookie.hostOnly || hostIsIp ? host != cookie.domain
                                        : !(host == cookie.domain || (host.size() > cookie.domain.size() &&
                                                                      host.ends_with(cookie.domain) &&
                                                                      host[host.size() - cookie.domain.size() - 1] == '.')))
            return false;
        return pathMatches(path, cookie.path);
    }
};

} // namespace

bool Cookie::matches(const URL& url) const
{
    return Destination(url).takes(*this);
}

std::optional<Cookie> Cookie::fromSetCookie(std::string_view header, const URL& url, base::Date now)
{
    // Name, value and attributes within the size every jar keeps.
    if (header.size() > CookieStorage::kMaxCookieBytes)
        return std::nullopt;
    size_t semicolon = header.find(';');
    std::string_view pair = header.substr(0, semicolon);
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    Cookie cookie;
    cookie.name = std::string(trim(pair.substr(0, eq)));
    cookie.value = std::string(trim(pair.substr(eq + 1)));
    if (cookie.name.empty())
        return std::nullopt;
    // Controls would split the request header they are sent back in.
    for (char c : cookie.name + cookie.value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return std::nullopt;
    cookie.created = now;

    std::optional<std::string> domainAttribute;
    std::optional<std::string> pathAttribute;
    std::optional<base::Date> expiresAttribute;
    std::optional<base::Date> maxAgeExpiry;
    std::string_view rest = semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
    while (!rest.empty()) {
        size_t end = rest.find(';');
        std::string_view attribute = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        size_t aeq = attribute.find('=');
        std::string_view key = trim(attribute.substr(0, aeq));
        std::string_view value = aeq == std::string_view::npos ? std::string_view() : trim(attribute.substr(aeq + 1));
        if (equalsIgnoringCase(key, "expires")) {
            if (auto date = parseCookieDate(value))
                expiresAttribute = date;
        } else if (equalsIgnoringCase(key, "max-age")) {
            if (value.empty() || !(std::isdigit(static_cast<unsigned char>(value[0])) || value[0] == '-'))
                continue;
            bool digits = std::all_of(value.begin() + 1, value.end(),
                                      [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
            if (!digits || value == "-")
                continue;
            // Huge values saturate instead of overflowing.
            double seconds = std::strtod(std::string(value).c_str(), nullptr);
            maxAgeExpiry = seconds <= 0 ? base::Date(0) : now.addingTimeInterval(std::min(seconds, 1e11));
        } else if (equalsIgnoringCase(key, "domain")) {
            if (value.empty())
                continue;
            if (value.front() == '.')
                value.remove_prefix(1);
            domainAttribute = lower(withoutTrailingDot(value));
        } else if (equalsIgnoringCase(key, "path")) {
            pathAttribute = (value.empty() || value.front() != '/') ? defaultPath(url) : std::string(value);
        } else if (equalsIgnoringCase(key, "secure")) {
            cookie.secure = true;
        } else if (equalsIgnoringCase(key, "httponly")) {
            cookie.httpOnly = true;
        }
    }
    cookie.expires = maxAgeExpiry ? maxAgeExpiry : expiresAttribute;

    const std::string host(withoutTrailingDot(url.host()));
    if (domainAttribute && !domainAttribute->empty()) {
        if (!domainMatches(host, *domainAttribute))
            return std::nullopt;
        cookie.domain = *domainAttribute;
        cookie.hostOnly = false;
        if (*domainAttribute == host && isIpAddress(host)) {
            cookie.hostOnly = true;
        } else if (isPublicSuffix(*domainAttribute)) {
            // A public suffix is only ever the host's own name, never a wider domain.
            if (*domainAttribute != host)
                return std::nullopt;
            cookie.hostOnly = true;
        }
    } else {
        cookie.domain = host;
        cookie.hostOnly = true;
    }
    if (cookie.domain.empty())
        return std::nullopt;
    // Planted over plain http, a Secure cookie would reach the secure site.
    if (cookie.secure && url.scheme() != "https")
        return std::nullopt;
    cookie.path = pathAttribute ? *pathAttribute : defaultPath(url);
    return cookie;
}

std::vector<Cookie> Cookie::fromResponseHeaders(const std::vector<std::pair<std::string, std::string>>& headers,
                                                const URL& url, base::Date now)
{
    std::vector<Cookie> cookies;
    for (auto& [name, value] : headers) {
        if (!equalsIgnoringCase(name, "set-cookie"))
            continue;
        std::string_view rest = value;
        size_t from = 0;
        for (size_t i = 0; i <= rest.size(); ++i) {
            if (i == rest.size() || (rest[i] == ',' && isSplitPoint(rest.substr(i + 1)))) {
                if (auto cookie = fromSetCookie(rest.substr(from, i - from), url, now))
                    cookies.push_back(std::move(*cookie));
                from = i + 1;
            }
        }
    }
    return cookies;
}

std::string Cookie::requestHeaderValue(const std::vector<Cookie>& cookies)
{
    std::string out;
    for (auto& cookie : cookies) {
        if (!out.empty())
            out += "; ";
        out += cookie.name + "=" + cookie.value;
    }
    return out;
}

CookieStorage::CookieStorage(std::filesystem::path file) : m_file(std::move(file))
{
    removeLeftovers(*m_file);
    readFile();
    m_writer = std::make_unique<base::WorkerThread>("cookie writer");
    // What is still to be written reaches the file before the program ends.
    m_backgroundWork = base::BackgroundWork::add("cookie writer", [this] {
        stopWriter();
        return size_t(0);
    });
}

void CookieStorage::removeLeftovers(const std::filesystem::path& file)
{
    // A write cut short (the program killed) leaves its temporary copy beside the file; only
    // one jar writes there, so whatever is found before it is made is left over.
    const std::string leftover = "." + file.filename().string() + ".tmp-";
    for (const auto& name : base::FileManager::contentsOfDirectory(file.parent_path()))
        if (name.starts_with(leftover))
            base::FileManager::removeItem(file.parent_path() / name);
}

std::filesystem::path CookieStorage::sharedFile()
{
    return std::filesystem::path(base::Paths::library()) / "Cookies.plist";
}

CookieStorage::~CookieStorage()
{
    if (!m_file)
        return;
    base::BackgroundWork::remove(m_backgroundWork);
    stopWriter();
}

void CookieStorage::stopWriter()
{
    std::unique_ptr<base::WorkerThread> writer;
    {
        std::lock_guard lock(m_mutex);
        writer = std::move(m_writer);
        // A write waiting for its turn goes now.
        m_writeAtOnce = true;
        m_paceChanged.notify_all();
    }
    if (writer)
        writer->stop();
    // The program's end: the uses since the last write go too.
    if (m_file)
        writePending(true);
}

CookieStorage& CookieStorage::shared()
{
    static auto* storage = new CookieStorage(sharedFile());
    return *storage;
}

namespace {

std::string identityKey(const Cookie& cookie)
{
    std::string key;
    key.reserve(cookie.name.size() + cookie.domain.size() + cookie.path.size() + 2);
    key.append(cookie.name).append(1, '\0').append(cookie.domain).append(1, '\0').append(cookie.path);
    return key;
}

// Same content, the expiry aside: taking it again changes nothing worth a write of its own.
bool sameButExpiry(const Cookie& a, const Cookie& b)
{
    return a.value == b.value && a.hostOnly == b.hostOnly && a.secure == b.secure && a.httpOnly == b.httpOnly &&
           a.isSession() == b.isSession();
}

} // namespace

CookieStorage::Entry& CookieStorage::insertLocked(Cookie cookie, base::Date used) const
{
    auto [at, fresh] = m_jar.try_emplace(identityKey(cookie));
    Entry& entry = at->second;
    entry.cookie = std::move(cookie);
    entry.serial = ++m_serial;
    entry.lastUsed = used;
    const Cookie& c = entry.cookie;
    auto& domain = m_domains[c.domain];
    auto& inDomain = c.secure ? domain.secure : domain.plain;
    auto& inJar = c.secure ? m_secureByUse : m_plainByUse;
    entry.inDomain = inDomain.insert(inDomain.end(), &entry);
    entry.inJar = inJar.insert(inJar.end(), &entry);
    if (c.expires)
        entry.expiry = m_expiries.emplace(*c.expires, &entry);
    if (c.secure)
        entry.secureName = m_secureByName.emplace(c.name, &entry);
    return entry;
}

void CookieStorage::removeLocked(Entry& entry) const
{
    const Cookie& c = entry.cookie;
    auto domain = m_domains.find(c.domain);
    (c.secure ? domain->second.secure : domain->second.plain).erase(entry.inDomain);
    if (domain->second.size() == 0)
        m_domains.erase(domain);
    (c.secure ? m_secureByUse : m_plainByUse).erase(entry.inJar);
    if (c.expires)
        m_expiries.erase(entry.expiry);
    if (c.secure)
        m_secureByName.erase(entry.secureName);
    m_jar.erase(identityKey(c));
}

void CookieStorage::useLocked(Entry& entry, base::Date now) const
{
    const Cookie& c = entry.cookie;
    auto& domain = m_domains.find(c.domain)->second;
    auto& inDomain = c.secure ? domain.secure : domain.plain;
    auto& inJar = c.secure ? m_secureByUse : m_plainByUse;
    inDomain.splice(inDomain.end(), inDomain, entry.inDomain);
    inJar.splice(inJar.end(), inJar, entry.inJar);
    entry.lastUsed = now;
    if (!c.isSession())
        m_usesUnwritten = true;
}

bool CookieStorage::purgeExpiredLocked(base::Date now) const
{
    bool purged = false;
    while (!m_expiries.empty() && m_expiries.begin()->first <= now) {
        removeLocked(*m_expiries.begin()->second);
        purged = true;
    }
    return purged;
}

std::vector<CookieStorage::Entry*> CookieStorage::inArrivalOrderLocked() const
{
    std::vector<Entry*> entries;
    entries.reserve(m_jar.size());
    for (auto& [key, entry] : m_jar)
        entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(), [](const Entry* a, const Entry* b) { return a->serial < b->serial; });
    return entries;
}

bool CookieStorage::scheduleSaveLocked()
{
    if (!m_file)
        return false;
    ++m_changes;
    if (!m_writer) // stopped at the program's end: the caller writes
        return true;
    if (!m_writeQueued) {
        m_writeQueued = true;
        m_writer->post([this] { writeWhenDue(); });
    }
    return false;
}

void CookieStorage::writeWhenDue()
{
    {
        // A server that changes a cookie with every answer costs one write a second at most.
        std::unique_lock lock(m_mutex);
        m_paceChanged.wait_until(lock, m_nextWrite, [this] { return m_writeAtOnce; });
        m_writeAtOnce = false;
    }
    writePending();
}

void CookieStorage::writePending(bool withUses)
{
    std::lock_guard fileLock(m_fileMutex);
    base::Array list;
    uint64_t changes = 0;
    {
        std::lock_guard lock(m_mutex);
        m_writeQueued = false;
        changes = m_changes;
        if (changes == m_written && !m_expiryChanged && !(withUses && m_usesUnwritten))
            return;
        m_expiryChanged = false;
        m_usesUnwritten = false;
        m_nextWrite = std::chrono::steady_clock::now() + kWritePace;
        for (const Entry* entry : inArrivalOrderLocked()) {
            const Cookie& c = entry->cookie;
            if (c.isSession())
                continue;
            // Expiry as plain seconds: property-list dates cannot hold far-future years.
            list.push_back(base::Dictionary{{"Name", c.name},
                                            {"Value", c.value},
                                            {"Domain", c.domain},
                                            {"HostOnly", c.hostOnly},
                                            {"Path", c.path},
                                            {"Expires", c.expires->timeIntervalSince1970()},
                                            {"Secure", c.secure},
                                            {"HttpOnly", c.httpOnly},
                                            {"Created", c.created.timeIntervalSince1970()},
                                            {"Used", entry->lastUsed.timeIntervalSince1970()}});
        }
    }
    m_written = changes;
    base::FileManager::createDirectories(m_file->parent_path(), 0700);
    if (!base::PropertyList::writeFile(*m_file, base::Value(std::move(list)), 0600))
        base::log("CookieStorage: cannot save " + m_file->string());
}

void CookieStorage::flush()
{
    if (m_file)
        writePending();
}

void CookieStorage::saveSoon()
{
    if (!m_file)
        return;
    std::lock_guard lock(m_mutex);
    if (!m_writer || (!m_writeQueued && !m_expiryChanged))
        return;
    m_writeAtOnce = true;
    m_paceChanged.notify_all();
    if (!m_writeQueued) {
        m_writeQueued = true;
        m_writer->post([this] { writeWhenDue(); });
    }
}

bool CookieStorage::reload()
{
    // Changes and uses not yet written are part of what the file holds.
    if (m_file)
        writePending(true);
    return readFile();
}

bool CookieStorage::readFile()
{
    std::lock_guard lock(m_mutex);
    clearLocked();
    if (!m_file || !base::FileManager::exists(*m_file))
        return true;
    auto list = base::PropertyList::readFile(*m_file);
    if (!list || !list->isArray())
        return false;
    std::vector<Entry*> loaded;
    for (auto& item : list->asArray()) {
        if (!item.isDictionary())
            continue;
        const auto& d = item.asDictionary();
        auto text = [&](const char* key) {
            auto* v = d.find(key);
            return v && v->isString() ? v->asString() : std::string();
        };
        auto flag = [&](const char* key) {
            auto* v = d.find(key);
            return v && v->isBool() && v->asBool();
        };
        auto* expires = d.find("Expires");
        Cookie c;
        c.name = text("Name");
        c.value = text("Value");
        c.domain = text("Domain");
        c.path = text("Path");
        if (c.name.empty() || c.domain.empty() || c.path.empty() || !expires || !expires->isNumber())
            continue;
        c.hostOnly = flag("HostOnly");
        c.secure = flag("Secure");
        c.httpOnly = flag("HttpOnly");
        c.expires = base::Date(expires->toDouble());
        c.created = base::Date(item["Created"].toDouble());
        // A file written before uses were kept: its cookies were last used when made.
        auto* used = d.find("Used");
        base::Date lastUsed = used && used->isNumber() ? base::Date(used->toDouble()) : c.created;
        // Written twice by hand: the later one counts.
        if (auto same = m_jar.find(identityKey(c)); same != m_jar.end()) {
            std::erase(loaded, &same->second);
            removeLocked(same->second);
        }
        loaded.push_back(&insertLocked(std::move(c), lastUsed));
    }
    // The orders of use as they were when written.
    std::stable_sort(loaded.begin(), loaded.end(), [](const Entry* a, const Entry* b) { return a->lastUsed < b->lastUsed; });
    for (Entry* entry : loaded)
        useLocked(*entry, entry->lastUsed);
    // Those uses are what the file holds.
    m_usesUnwritten = false;
    purgeExpiredLocked(base::Date::now());
    // A file written before the limits, or by hand, is brought within them.
    std::vector<std::string> domains;
    for (const auto& [domain, cookies] : m_domains)
        if (cookies.size() > kMaxCookiesPerDomain)
            domains.push_back(domain);
    for (const auto& domain : domains)
        enforceLimitsLocked(domain);
    enforceLimitsLocked(std::string());
    return true;
}

bool CookieStorage::enforceLimitsLocked(const std::string& domain)
{
    auto found = m_domains.find(domain);
    bool domainOver = found != m_domains.end() && found->second.size() > kMaxCookiesPerDomain;
    if (!domainOver && m_jar.size() <= kMaxCookies)
        return false;
    // Expired cookies go before any live one.
    bool dropped = purgeExpiredLocked(base::Date::now());
    found = m_domains.find(domain);
    // Within a domain, then in the whole jar: the least recently used that is not Secure, then
    // the least recently used Secure one. An answer over plain http brings no Secure cookie and
    // has just stored a plain one, which is always there to go first: it never costs a Secure
    // cookie its place.
    auto dropFrom = [&](UseOrder& plain, UseOrder& secure) {
        removeLocked(*(plain.empty() ? secure : plain).front());
        dropped = true;
    };
    while (found != m_domains.end() && found->second.size() > kMaxCookiesPerDomain)
        dropFrom(found->second.plain, found->second.secure);
    while (m_jar.size() > kMaxCookies)
        dropFrom(m_plainByUse, m_secureByUse);
    return dropped;
}

void CookieStorage::setCookie(const Cookie& cookie)
{
    setCookies({cookie}, true);
}

std::vector<Cookie> CookieStorage::setCookies(const std::vector<Cookie>& cookies, bool secureOrigin)
{
    std::vector<Cookie> taken;
    bool writeNow = false;
    {
        std::lock_guard lock(m_mutex);
        base::Date now = base::Date::now();
        // Plain http may not replace, shadow or delete what a secure origin set: a cookie of
        // the same name over the same domains, at or below its path, is left out entirely.
        auto guardedBySecure = [&](const Cookie& cookie) {
            if (secureOrigin || cookie.secure)
                return false;
            auto [from, to] = m_secureByName.equal_range(cookie.name);
            return std::any_of(from, to, [&](const auto& entry) {
                const Cookie& old = entry.second->cookie;
                return (domainMatches(old.domain, cookie.domain) || domainMatches(cookie.domain, old.domain)) &&
                       pathMatches(cookie.path, old.path);
            });
        };
        bool contentChange = false, expiryChange = false, dropped = false;
        for (const auto& cookie : cookies) {
            if (cookie.name.size() + cookie.value.size() > kMaxCookieBytes || guardedBySecure(cookie))
                continue;
            taken.push_back(cookie);
            bool persistent = !cookie.isSession();
            base::Date created = cookie.created;
            bool replacing = false;
            if (auto same = m_jar.find(identityKey(cookie)); same != m_jar.end()) {
                Entry& old = same->second;
                if (!cookie.isExpired(now) && sameButExpiry(old.cookie, cookie)) {
                    // Taken again as it was: a use, and a new expiry goes out with the next
                    // write rather than causing one.
                    if (old.cookie.expires != cookie.expires) {
                        m_expiries.erase(old.expiry);
                        old.cookie.expires = cookie.expires;
                        if (cookie.expires)
                            old.expiry = m_expiries.emplace(*cookie.expires, &old);
                        expiryChange = expiryChange || persistent;
                    }
                    useLocked(old, now);
                    continue;
                }
                // Replaced: it keeps its creation time and arrives anew.
                persistent = persistent || !old.cookie.isSession();
                created = old.cookie.created;
                removeLocked(old);
                replacing = true;
            }
            contentChange = contentChange || persistent;
            if (cookie.isExpired(now))
                continue;
            Cookie stored = cookie;
            stored.created = created;
            // A copy: the cookie itself may expire by the time the limits are enforced.
            const std::string domain = insertLocked(std::move(stored), now).cookie.domain;
            // A replacement keeps its domain's count; only a cookie new to the jar can pass a limit.
            if (!replacing && enforceLimitsLocked(domain))
                dropped = true;
        }
        if (expiryChange)
            m_expiryChanged = true;
        if (contentChange || dropped)
            writeNow = scheduleSaveLocked();
    }
    if (writeNow)
        writePending();
    return taken;
}

void CookieStorage::deleteCookie(const Cookie& cookie)
{
    bool writeNow = false;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_jar.find(identityKey(cookie));
        if (it == m_jar.end())
            return;
        bool persistent = !it->second.cookie.isSession();
        removeLocked(it->second);
        if (persistent)
            writeNow = scheduleSaveLocked();
    }
    if (writeNow)
        writePending();
}

void CookieStorage::clearLocked()
{
    m_jar.clear();
    m_domains.clear();
    m_plainByUse.clear();
    m_secureByUse.clear();
    m_expiries.clear();
    m_secureByName.clear();
}

void CookieStorage::removeAll()
{
    bool writeNow = false;
    {
        std::lock_guard lock(m_mutex);
        clearLocked();
        writeNow = scheduleSaveLocked();
    }
    if (writeNow)
        writePending();
}

std::vector<Cookie> CookieStorage::cookies() const
{
    std::lock_guard lock(m_mutex);
    purgeExpiredLocked(base::Date::now());
    std::vector<Cookie> all;
    all.reserve(m_jar.size());
    for (const Entry* entry : inArrivalOrderLocked())
        all.push_back(entry->cookie);
    return all;
}

std::vector<Cookie> CookieStorage::cookiesForURL(const URL& url) const
{
    std::vector<Cookie> found;
    const Destination destination(url);
    std::lock_guard lock(m_mutex);
    base::Date now = base::Date::now();
    purgeExpiredLocked(now);
    // Only the host's own domain and those above it can send anything: a full jar of other
    // sites costs nothing here.
    std::vector<Entry*> sent;
    std::string_view domain = destination.host;
    for (;;) {
        if (auto it = m_domains.find(std::string(domain)); it != m_domains.end())
            for (const UseOrder* kind : {&it->second.plain, &it->second.secure})
                for (Entry* entry : *kind)
                    if (destination.takes(entry->cookie))
                        sent.push_back(entry);
        size_t dot = domain.find('.');
        if (destination.hostIsIp || dot == std::string_view::npos)
            break;
        domain.remove_prefix(dot + 1);
    }
    // Longest path first, then oldest, then in the jar's order.
    std::sort(sent.begin(), sent.end(), [](const Entry* a, const Entry* b) {
        if (a->cookie.path.size() != b->cookie.path.size())
            return a->cookie.path.size() > b->cookie.path.size();
        if (a->cookie.created != b->cookie.created)
            return a->cookie.created < b->cookie.created;
        return a->serial < b->serial;
    });
    found.reserve(sent.size());
    for (Entry* entry : sent) {
        found.push_back(entry->cookie);
        useLocked(*entry, now);
    }
    return found;
}

std::vector<Cookie> CookieStorage::setCookiesFromResponseHeaders(
    const std::vector<std::pair<std::string, std::string>>& headers, const URL& url)
{
    auto cookies = Cookie::fromResponseHeaders(headers, url, base::Date::now());
    if (cookies.empty())
        return cookies;
    return setCookies(cookies, url.scheme() == "https");
}

} // namespace net
