#include "Network/BRHTTPRequestShared.h"

#include "Network/MBBase64.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Device.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/Thread.h"
#include "Platform/Base/Timer.h"
#include "Platform/Net/MimeTypes.h"
#include "Platform/UI/Application.h"

#include <algorithm>
#include <unordered_map>
#include <chrono>
#include <cctype>
#include <cstring>
#include <ctime>
#include <strings.h>
#include <numeric>

base::ErrorPtr brRequestError(int code, std::string description, base::ErrorPtr underlying)
{
    return base::Error::make(BRHTTPRequestErrorDomain, code, std::move(description), std::move(underlying));
}

BRHTTPRequest::Shared::Shared()
{
    requestTimedOutError = brRequestError(BRRequestTimedOutErrorType, "The request timed out");
    authenticationError = brRequestError(BRAuthenticationErrorType, "Authentication needed");
    requestCancelledError = brRequestError(BRRequestCancelledErrorType, "The request was cancelled");
    unableToCreateRequestError = brRequestError(BRUnableToCreateRequestErrorType, "Unable to create request (bad url?)");
    tooMuchRedirectionError = brRequestError(BRTooMuchRedirectionErrorType,
                                             "The request failed because it redirected too many times");
    // The jar paces its writes; a program sent to the background may not come back to them.
    backgroundObserver = base::NotificationCenter::defaultCenter().addObserver(
        ui::Application::kDidEnterBackgroundNotification, nullptr,
        [](const base::Notification&) { net::CookieStorage::shared().saveSoon(); });
}

BRHTTPRequest::Shared& BRHTTPRequest::Shared::get()
{
    // Lives for the whole process: requests may still run while static objects go away.
    static Shared* shared = new Shared;
    return *shared;
}

// ---- Left-overs

void BRHTTPRequest::removeLeftoverTemporaryFiles()
{
    // The prefixes of createTemporaryFile calls of the engine's own; nothing else in the
    // folder is touched.
    const std::string folder = base::Paths::tmp();
    for (const auto& name : base::FileManager::contentsOfDirectory(folder))
        if (name.starts_with(kTemporaryDownloadPrefix) || name.starts_with(kTemporaryInflatedPrefix) ||
            name.starts_with(kTemporaryBodyPrefix) || name.starts_with(kTemporaryAnswerPrefix))
            base::FileManager::removeItem(folder + "/" + name);
    net::CookieStorage::removeLeftovers(net::CookieStorage::sharedFile());
}

// ---- Time-out and user agent

double BRHTTPRequest::defaultTimeOutSeconds() { return Shared::get().defaultTimeOutSeconds; }
void BRHTTPRequest::setDefaultTimeOutSeconds(double seconds) { Shared::get().defaultTimeOutSeconds = seconds; }

std::optional<std::string> BRHTTPRequest::buildUserAgentString(const std::string& name, const std::string& shortVersion,
                                                              const std::string& buildVersion, const std::string& model,
                                                              const std::string& osName, const std::string& osVersion,
                                                              const std::string& locale)
{
    if (name.empty())
        return std::nullopt;
    std::string version;
    if (!shortVersion.empty() && !buildVersion.empty())
        version = shortVersion == buildVersion ? shortVersion : shortVersion + " rv:" + buildVersion;
    else
        version = shortVersion.empty() ? buildVersion : shortVersion;
    return name + " " + version + " (" + model + "; " + osName + " " + osVersion + "; " + locale + ")";
}

std::optional<std::string> BRHTTPRequest::defaultUserAgentString()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.classMonitor);
    // Built once: a bundle without a name gives none, and is not read again for every request.
    if (!shared.defaultUserAgent && !shared.defaultUserAgentTried) {
        shared.defaultUserAgentTried = true;
        base::Device device = base::Device::current();
        // The name's UTF-8 bytes go on the wire as they are.
        shared.defaultUserAgent =
            buildUserAgentString(base::Bundle::displayName(), base::Bundle::shortVersion(), base::Bundle::buildVersion(),
                                 device.machineName, device.osName, device.osVersion, base::Device::localeIdentifier());
    }
    return shared.defaultUserAgent;
}

void BRHTTPRequest::setDefaultUserAgentString(std::optional<std::string> ua)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.classMonitor);
    if (ua)
        shared.defaultUserAgent = std::move(ua);
}

// ---- MIME types and content types

std::optional<std::string> BRHTTPRequest::mimeTypeForFileAtPath(const std::string& path)
{
    if (!base::FileManager::exists(path))
        return std::nullopt;
    return net::MimeTypes::system().typeForPath(path);
}

namespace {
std::string trimmed(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (auto& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
} // namespace

void BRHTTPRequest::parseMimeTypeAndResponseEncodingFromContentType(std::string* mimeType,
                                                                    net::StringEncoding* encoding,
                                                                    const std::optional<std::string>& contentType)
{
    if (!contentType)
        return;
    const std::string& value = *contentType;
    size_t semi = value.find(';');
    if (semi == 0 || semi == std::string::npos) {
        if (mimeType)
            *mimeType = trimmed(value);
        return;
    }
    if (mimeType)
        *mimeType = trimmed(std::string_view(value).substr(0, semi));
    std::string lower = lowered(value);
    size_t charset = lower.find("charset=", semi);
    if (charset == std::string::npos || charset + 8 >= value.size())
        return;
    size_t start = charset + 8;
    size_t end = value.find(';', start);
    std::string name = trimmed(std::string_view(value).substr(start, end == std::string::npos ? end : end - start));
    if (name.empty())
        return;
    if (auto known = net::encodingForCharset(name); known && encoding)
        *encoding = *known;
}

// ---- Session cookies

namespace {
std::string sessionCookieKey(const net::Cookie& c)
{
    return c.name + '\0' + c.domain + '\0' + c.path;
}
} // namespace

std::vector<net::Cookie> BRHTTPRequest::sessionCookies()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCookiesLock);
    return {shared.sessionCookies.begin(), shared.sessionCookies.end()};
}

void BRHTTPRequest::setSessionCookies(std::vector<net::Cookie> cookies)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCookiesLock);
    for (const auto& cookie : shared.sessionCookies)
        net::CookieStorage::shared().deleteCookie(cookie);
    shared.sessionCookies.clear();
    shared.sessionCookieIndex.clear();
    addSessionCookies(cookies);
}

void BRHTTPRequest::addSessionCookie(const net::Cookie& cookie)
{
    addSessionCookies({cookie});
}

void BRHTTPRequest::addSessionCookies(const std::vector<net::Cookie>& cookies)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCookiesLock);
    auto& list = shared.sessionCookies;
    auto& index = shared.sessionCookieIndex;
    for (const auto& cookie : cookies) {
        auto [at, fresh] = index.try_emplace(sessionCookieKey(cookie));
        if (!fresh)
            list.erase(at->second);
        at->second = list.insert(list.end(), cookie);
    }
    // No longer than the jar it mirrors can be.
    while (list.size() > net::CookieStorage::kMaxCookies) {
        index.erase(sessionCookieKey(list.front()));
        list.pop_front();
    }
}

// ---- Session credentials

std::vector<BRCredentialRecord> BRHTTPRequest::sessionCredentialsStore()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCredentialsLock);
    return shared.sessionCredentials;
}

std::vector<BRCredentialRecord> BRHTTPRequest::sessionProxyCredentialsStore()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCredentialsLock);
    return shared.sessionProxyCredentials;
}

namespace {
void storeRecord(std::vector<BRCredentialRecord>& list, BRCredentialRecord record)
{
    auto same = std::find_if(list.begin(), list.end(),
                             [&](const BRCredentialRecord& r) { return r.credentials == record.credentials; });
    if (same != list.end())
        list.erase(same);
    list.push_back(std::move(record));
}

void removeRecord(std::vector<BRCredentialRecord>& list, const BRCredentialsPtr& credentials)
{
    auto same = std::find_if(list.begin(), list.end(),
                             [&](const BRCredentialRecord& r) { return r.credentials == credentials; });
    if (same != list.end())
        list.erase(same);
}
} // namespace

void BRHTTPRequest::storeAuthenticationCredentialsInSessionStore(BRCredentialRecord record)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCredentialsLock);
    storeRecord(shared.sessionCredentials, std::move(record));
}

void BRHTTPRequest::storeProxyAuthenticationCredentialsInSessionStore(BRCredentialRecord record)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCredentialsLock);
    storeRecord(shared.sessionProxyCredentials, std::move(record));
}

void BRHTTPRequest::removeAuthenticationCredentialsFromSessionStore(const BRCredentialsPtr& credentials)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCredentialsLock);
    removeRecord(shared.sessionCredentials, credentials);
}

void BRHTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(const BRCredentialsPtr& credentials)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCredentialsLock);
    removeRecord(shared.sessionProxyCredentials, credentials);
}

std::optional<BRCredentialRecord> BRHTTPRequest::findSessionAuthenticationCredentials() const
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCredentialsLock);
    if (!m_url)
        return std::nullopt;
    auto rejected = [&](const BRCredentialRecord& r) {
        if (m_authenticationRealm && r.authenticationRealm && *m_authenticationRealm != *r.authenticationRealm)
            return true;
        if (!m_username.empty() && !m_password.empty() && r.credentials &&
            (r.credentials->username != m_username || r.credentials->password != m_password))
            return true;
        return false;
    };
    const BRCredentialRecord* fallback = nullptr;
    bool haveCandidate = false;
    for (const auto& record : shared.sessionCredentials) {
        if (!record.url)
            continue;
        if (*record.url == *m_url) {
            if (!rejected(record))
                return record;
            continue;
        }
        if (!haveCandidate && record.url->host() == m_url->host() && record.url->port() == m_url->port() &&
            record.url->scheme() == m_url->scheme()) {
            haveCandidate = true;
            if (!rejected(record))
                fallback = &record;
        }
    }
    if (fallback)
        return *fallback;
    return std::nullopt;
}

std::optional<BRCredentialRecord> BRHTTPRequest::findSessionProxyAuthenticationCredentials() const
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.sessionCredentialsLock);
    for (const auto& record : shared.sessionProxyCredentials)
        if (record.host == m_proxyHost && record.port == m_proxyPort)
            return record;
    return std::nullopt;
}

// ---- Saved credentials

void BRHTTPRequest::saveCredentialsForHostPortProtocolRealm(const net::Credential& credential, const std::string& host,
                                                            int port, const std::string& protocol,
                                                            const std::string& realm)
{
    net::CredentialStorage::shared().setDefaultCredential(credential,
                                                          net::ProtectionSpace::server(host, port, protocol, realm));
}

void BRHTTPRequest::saveCredentialsForProxyPortRealm(const net::Credential& credential, const std::string& host,
                                                     int port, const std::string& realm)
{
    net::CredentialStorage::shared().setDefaultCredential(
        credential, net::ProtectionSpace::proxy(host, port, net::ProtectionSpace::kProxyHTTP, realm));
}

std::optional<net::Credential> BRHTTPRequest::savedCredentialsForHostPortProtocolRealm(const std::string& host,
                                                                                     int port,
                                                                                     const std::string& protocol,
                                                                                     const std::string& realm)
{
    return net::CredentialStorage::shared().defaultCredential(net::ProtectionSpace::server(host, port, protocol, realm));
}

std::optional<net::Credential> BRHTTPRequest::savedCredentialsForProxyPortProtocolRealm(const std::string& host,
                                                                                      int port, const std::string&,
                                                                                      const std::string& realm)
{
    return net::CredentialStorage::shared().defaultCredential(
        net::ProtectionSpace::proxy(host, port, net::ProtectionSpace::kProxyHTTP, realm));
}

void BRHTTPRequest::removeCredentialsForHostPortProtocolRealm(const std::string& host, int port,
                                                              const std::string& protocol, const std::string& realm)
{
    auto space = net::ProtectionSpace::server(host, port, protocol, realm);
    if (auto credential = net::CredentialStorage::shared().defaultCredential(space))
        net::CredentialStorage::shared().removeCredential(*credential, space);
}

void BRHTTPRequest::removeCredentialsForProxyPortRealm(const std::string& host, int port, const std::string& realm)
{
    auto space = net::ProtectionSpace::proxy(host, port, net::ProtectionSpace::kProxyHTTP, realm);
    if (auto credential = net::CredentialStorage::shared().defaultCredential(space))
        net::CredentialStorage::shared().removeCredential(*credential, space);
}

void BRHTTPRequest::clearSession()
{
    auto& shared = Shared::get();
    {
        std::lock_guard lock(shared.sessionCredentialsLock);
        shared.sessionCredentials.clear();
    }
    setSessionCookies({});
    if (auto cache = defaultCache())
        cache->clearCachedResponsesForStoragePolicy(BRCacheForSessionDurationCacheStoragePolicy);
}

// ---- Bandwidth

bool BRHTTPRequest::Shared::isBandwidthThrottledLocked() const
{
    if (isBandwidthThrottled)
        return true;
    if (shouldThrottleBandwidthForWWANOnly)
        return false;
    return maxBandwidthPerSecond > 0;
}

void BRHTTPRequest::Shared::recordBandwidthUsageLocked()
{
    base::Date now = base::Date::now();
    if (bandwidthUsedInLastSecond == 0) {
        bandwidthUsageTracker.clear();
    } else {
        double t = bandwidthMeasurementDate ? bandwidthMeasurementDate->timeIntervalSince(now) : -1;
        while (!bandwidthUsageTracker.empty() && (t < 0 || bandwidthUsageTracker.size() >= 6)) {
            bandwidthUsageTracker.pop_front();
            t += 1;
        }
    }
    bandwidthUsageTracker.push_back(bandwidthUsedInLastSecond);
    bandwidthMeasurementDate = now.addingTimeInterval(1.0);
    bandwidthUsedInLastSecond = 0;
    uint64_t sum = std::accumulate(bandwidthUsageTracker.begin(), bandwidthUsageTracker.end(), uint64_t(0));
    averageBandwidthUsedPerSecond = uint32_t(sum / bandwidthUsageTracker.size());
}

void BRHTTPRequest::Shared::measureBandwidthUsageLocked()
{
    auto now = base::Date::now();
    // A clock set back starts a new second too, instead of throttling until the old one ends.
    if (!bandwidthMeasurementDate || *bandwidthMeasurementDate <= now
        || *bandwidthMeasurementDate > now.addingTimeInterval(1.0))
        recordBandwidthUsageLocked();
    if (isBandwidthThrottledLocked() && maxBandwidthPerSecond > 0 && bandwidthUsedInLastSecond > maxBandwidthPerSecond) {
        double over = double(bandwidthUsedInLastSecond - maxBandwidthPerSecond) / maxBandwidthPerSecond;
        throttleWakeUpTime = bandwidthMeasurementDate->addingTimeInterval(over);
    }
}

bool BRHTTPRequest::isBandwidthThrottled()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    return shared.isBandwidthThrottledLocked();
}

bool BRHTTPRequest::isHoldingRequestsForThrottle()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    return shared.isBandwidthThrottledLocked() && shared.throttleWakeUpTime &&
           *shared.throttleWakeUpTime > base::Date::now();
}

uint32_t BRHTTPRequest::maxBandwidthPerSecond()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    return shared.maxBandwidthPerSecond;
}

void BRHTTPRequest::setMaxBandwidthPerSecond(uint32_t bytes)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    shared.maxBandwidthPerSecond = bytes;
    // A hold measured against the old limit is not this one's.
    shared.throttleWakeUpTime.reset();
}

void BRHTTPRequest::incrementBandwidthUsedInLastSecond(uint64_t bytes)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    shared.bandwidthUsedInLastSecond += bytes;
}

uint32_t BRHTTPRequest::averageBandwidthUsedPerSecond()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    return shared.averageBandwidthUsedPerSecond;
}

void BRHTTPRequest::measureBandwidthUsage()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    shared.measureBandwidthUsageLocked();
}

uint32_t BRHTTPRequest::maxUploadReadLength()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    uint64_t limit = shared.maxBandwidthPerSecond;
    uint64_t used = shared.bandwidthUsedInLastSecond;
    uint64_t length = limit / 4;
    if (limit > 0 && used + length > limit)
        length = used > limit ? 0 : limit - used;
    if (length == 0 || !shared.bandwidthMeasurementDate || *shared.bandwidthMeasurementDate <= base::Date::now())
        shared.throttleWakeUpTime = shared.bandwidthMeasurementDate;
    return uint32_t(length);
}

std::optional<base::Date> BRHTTPRequest::throttleWakeUpTime()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    return shared.throttleWakeUpTime;
}

bool BRHTTPRequest::isNetworkReachableViaWWAN()
{
    auto reachability = Reachability::reachabilityForInternetConnection();
    return reachability && reachability->currentReachabilityStatus() == ReachableViaWWAN;
}

namespace {
void reachabilityChanged()
{
    bool wwan = BRHTTPRequest::isNetworkReachableViaWWAN();
    auto& shared = BRHTTPRequest::Shared::get();
    std::lock_guard lock(shared.bandwidthLock);
    shared.isBandwidthThrottled = wwan;
}
} // namespace

void BRHTTPRequest::throttleBandwidthForWWANUsingLimit(uint32_t limit)
{
    auto& shared = Shared::get();
    {
        std::lock_guard lock(shared.bandwidthLock);
        shared.maxBandwidthPerSecond = limit;
        // A hold measured against the old limit is not this one's.
        shared.throttleWakeUpTime.reset();
        shared.shouldThrottleBandwidthForWWANOnly = true;
        if (!shared.reachabilityObserver.isActive()) {
            shared.reachability = Reachability::reachabilityForInternetConnection();
            if (shared.reachability)
                shared.reachability->startNotifier();
            shared.reachabilityObserver = base::NotificationCenter::defaultCenter().addObserver(
                kReachabilityChangedNotification, nullptr, [](const base::Notification&) { reachabilityChanged(); });
        }
    }
    reachabilityChanged();
}

void BRHTTPRequest::setShouldThrottleBandwidthForWWAN(bool throttle)
{
    if (throttle) {
        throttleBandwidthForWWANUsingLimit(14800);
        return;
    }
    auto& shared = Shared::get();
    std::shared_ptr<Reachability> reachability;
    base::ObserverToken observer;
    {
        std::lock_guard lock(shared.bandwidthLock);
        observer = std::move(shared.reachabilityObserver);
        reachability = std::move(shared.reachability);
        shared.maxBandwidthPerSecond = 0;
        shared.shouldThrottleBandwidthForWWANOnly = false;
        shared.isBandwidthThrottled = false;
    }
    if (reachability)
        reachability->stopNotifier();
}

// ---- Network activity indicator

bool BRHTTPRequest::isNetworkInUse()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.connectionsLock);
    return shared.runningRequestCount > 0;
}

void BRHTTPRequest::setShouldUpdateNetworkActivityIndicator(bool update)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.connectionsLock);
    shared.shouldUpdateNetworkActivityIndicator = update;
}

void BRHTTPRequest::showNetworkActivityIndicator() { ui::Application::shared().setNetworkActivityIndicatorVisible(true); }

void BRHTTPRequest::hideNetworkActivityIndicator() { ui::Application::shared().setNetworkActivityIndicatorVisible(false); }

void BRHTTPRequest::hideNetworkActivityIndicatorAfterDelay()
{
    // Short gaps between requests do not make the indicator flicker.
    base::performOnMain([] { base::Timer::scheduled(0.5, false, [](base::Timer&) { hideNetworkActivityIndicatorIfNeeeded(); }); });
}

void BRHTTPRequest::hideNetworkActivityIndicatorIfNeeeded()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.connectionsLock);
    if (shared.runningRequestCount == 0)
        hideNetworkActivityIndicator();
}

// ---- Threads, encodings, dates, cache and queue

double BRHTTPRequest::ConnectionRecord::monotonicNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

base::RunLoop& BRHTTPRequest::threadForRequest(const BRHTTPRequest*) { return base::RunLoopThread::network().loop(); }

bool BRHTTPRequest::isMultitaskingSupported() { return ui::Application::shared().isMultitaskingSupported(); }

std::string BRHTTPRequest::base64forData(const base::Bytes& data) { return MBBase64::base64Encoding(data); }

std::optional<base::Date> BRHTTPRequest::expiryDateForRequestMaxAge(const BRHTTPRequest& request, double maxAge)
{
    const auto& headers = request.responseHeaders();
    if (maxAge == 0 && headers) {
        if (auto cacheControl = headers->first("Cache-Control")) {
            std::string lower = lowered(*cacheControl);
            size_t at = lower.find("max-age");
            if (at != std::string::npos) {
                at += 7;
                while (at < lower.size() && (lower[at] == ' ' || lower[at] == '='))
                    ++at;
                maxAge = std::atof(lower.c_str() + at);
            }
        }
    }
    if (maxAge != 0)
        return base::Date::now().addingTimeInterval(maxAge);
    if (headers)
        if (auto expires = headers->first("Expires"))
            return dateFromRFC1123String(*expires);
    return std::nullopt;
}

std::optional<base::Date> BRHTTPRequest::dateFromRFC1123String(const std::string& text)
{
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    auto monthIndex = [](const char* m) -> int {
        for (int i = 0; i < 12; ++i)
            if (strncasecmp(m, kMonths[i], 3) == 0 && m[3] == '\0')
                return i;
        return -1;
    };
    std::tm tm{};
    char month[8] = {0}, zone[8] = {0}, weekday[16] = {0};
    int day = 0, year = 0, hour = 0, minute = 0, second = 0, used = 0;
    const char* s = text.c_str();
    // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT"
    if (std::sscanf(s, "%3[A-Za-z], %2d %3s %4d %2d:%2d:%2d %3s%n", weekday, &day, month, &year, &hour, &minute, &second,
                    zone, &used) == 8 && used == int(text.size())) {
    }
    // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"
    else if (used = 0; std::sscanf(s, "%15[A-Za-z], %2d-%3[A-Za-z]-%4d %2d:%2d:%2d %3s%n", weekday, &day, month, &year,
                                   &hour, &minute, &second, zone, &used) == 8 && used == int(text.size())) {
        if (year < 100)
            year += year < 70 ? 2000 : 1900;
    }
    // asctime: "Sun Nov  6 08:49:37 1994"
    else if (used = 0; std::sscanf(s, "%3[A-Za-z] %3[A-Za-z] %2d %2d:%2d:%2d %4d%n", weekday, month, &day, &hour,
                                   &minute, &second, &year, &used) == 7 && used == int(text.size())) {
        std::strcpy(zone, "GMT");
    } else {
        return std::nullopt;
    }
    int mon = monthIndex(month);
    if (mon < 0 || std::strcmp(zone, "GMT") != 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    tm.tm_year = year - 1900;
    tm.tm_mon = mon;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return base::Date(double(timegm(&tm)));
}

std::shared_ptr<BRCacheDelegate> BRHTTPRequest::defaultCache()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.classMonitor);
    return shared.defaultCache;
}

void BRHTTPRequest::setDefaultCache(std::shared_ptr<BRCacheDelegate> cache)
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.classMonitor);
    shared.defaultCache = std::move(cache);
}

base::OperationQueue& BRHTTPRequest::sharedQueue()
{
    // Process-long, like the network thread: never torn down under a running request.
    static base::OperationQueue* queue = [] {
        auto* q = new base::OperationQueue;
        q->setMaxConcurrentOperationCount(4);
        return q;
    }();
    return *queue;
}

size_t BRHTTPRequest::connectionPoolSize()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.connectionsLock);
    return shared.connectionPool.size();
}
