#include "Network/BRDownloadCache.h"

#include "Network/BRHTTPRequest.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/PropertyList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char kSessionStore[] = "SessionStore";
const char kPermanentStore[] = "PermanentStore";
const char kHeadersExtension[] = "cachedheaders";
const char kExpiresKey[] = "X-BRHTTPRequest-Expires";
const char kStatusKey[] = "X-BRHTTPRequest-Response-Status-Code";

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Whether a comma-separated header value holds the token (directive names only).
bool hasToken(const std::optional<std::string>& value, const std::string& token)
{
    if (!value)
        return false;
    std::string text = lowered(*value);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        part = part.substr(0, part.find('='));
        size_t first = part.find_first_not_of(" \t");
        size_t last = part.find_last_not_of(" \t");
        if (first != std::string::npos && part.substr(first, last - first + 1) == token)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

net::HttpHeaders headersFromDictionary(const base::Dictionary& dictionary)
{
    net::HttpHeaders headers;
    for (const auto& [name, value] : dictionary) {
        if (value.isString())
            headers.add(name, value.asString());
        else if (value.isDouble())
            headers.add(name, std::to_string(value.asDouble()));
        else
            headers.add(name, value.toString());
    }
    return headers;
}

} // namespace

BRDownloadCache::BRDownloadCache() : m_accessLock(std::make_shared<std::recursive_mutex>()) {}

BRDownloadCache::Ptr BRDownloadCache::sharedCache()
{
    static const Ptr shared = [] {
        auto cache = std::make_shared<BRDownloadCache>();
        cache->setStoragePath((fs::path(base::Paths::libraryCaches()) / "BRHTTPRequestCache").string());
        return cache;
    }();
    return shared;
}

// ---- Settings

std::shared_ptr<std::recursive_mutex> BRDownloadCache::accessLock() const
{
    std::lock_guard guard(m_lockGuard);
    return m_accessLock;
}

void BRDownloadCache::setAccessLock(std::shared_ptr<std::recursive_mutex> lock)
{
    std::lock_guard guard(m_lockGuard);
    m_accessLock = std::move(lock);
}

std::optional<std::string> BRDownloadCache::storagePath() const
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    return m_storagePath;
}

void BRDownloadCache::setStoragePath(const std::string& path)
{
    std::optional<BRDownloadCacheException> problem;
    {
        auto lock = accessLock();
        std::lock_guard access(*lock);
        problem = clearLocked(BRCacheForSessionDurationCacheStoragePolicy);
        if (!problem) {
            m_storagePath = path;
            for (const fs::path& folder : {fs::path(path), fs::path(path) / kSessionStore, fs::path(path) / kPermanentStore}) {
                std::error_code ec;
                auto status = fs::status(folder, ec);
                if (fs::is_directory(status))
                    continue;
                if (fs::exists(status)) {
                    problem.emplace("FileExistsAtCachePath", "Cannot create a directory for the cache at '" +
                                                                 folder.string() + "', because a file already exists");
                    break;
                }
                base::FileManager::createDirectories(folder);
                if (!base::FileManager::isDirectory(folder)) {
                    problem.emplace("FailedToCreateCacheDirectory",
                                    "Failed to create a directory for the cache at '" + folder.string() + "'");
                    break;
                }
            }
        }
        if (!problem)
            problem = clearLocked(BRCacheForSessionDurationCacheStoragePolicy);
    }
    if (problem)
        throw *problem;
}

int BRDownloadCache::defaultCachePolicy() { return m_defaultCachePolicy; }

void BRDownloadCache::setDefaultCachePolicy(int policy)
{
    m_defaultCachePolicy = policy == BRUseDefaultCachePolicy ? int(BRAskServerIfModifiedCachePolicy) : policy;
}

// ---- Keys and paths

std::optional<std::string> BRDownloadCache::keyForURL(const net::URL& url)
{
    std::string text = url.string();
    if (!text.empty() && text.back() == '/')
        text.pop_back();
    if (text.empty())
        return std::nullopt;
    std::string key = base::Digest::md5Hex(text);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return key;
}

const std::vector<std::string>& BRDownloadCache::fileExtensionsToHandleAsHTML()
{
    static const std::vector<std::string> extensions = {"asp", "aspx", "jsp", "php", "rb", "py", "pl", "cgi"};
    return extensions;
}

std::string BRDownloadCache::bodyExtensionForURL(const net::URL& url)
{
    const std::string& path = url.path();
    std::string last = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    size_t dot = last.find_last_of('.');
    std::string extension = dot == std::string::npos ? std::string() : last.substr(dot + 1);
    const auto& html = fileExtensionsToHandleAsHTML();
    if (extension.empty() || std::find(html.begin(), html.end(), lowered(extension)) != html.end())
        return "html";
    return extension;
}

std::optional<std::string> BRDownloadCache::headersFileName(const net::URL& url) const
{
    auto key = keyForURL(url);
    return key ? std::optional(*key + "." + kHeadersExtension) : std::nullopt;
}

std::optional<std::string> BRDownloadCache::bodyFileName(const net::URL& url) const
{
    auto key = keyForURL(url);
    return key ? std::optional(*key + "." + bodyExtensionForURL(url)) : std::nullopt;
}

std::optional<std::string> BRDownloadCache::storeFolderLocked(int storagePolicy) const
{
    if (!m_storagePath)
        return std::nullopt;
    return (fs::path(*m_storagePath) /
            (storagePolicy == BRCacheForSessionDurationCacheStoragePolicy ? kSessionStore : kPermanentStore))
        .string();
}

std::optional<std::string> BRDownloadCache::pathToFile(const std::string& name)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    for (int policy : {int(BRCacheForSessionDurationCacheStoragePolicy), int(BRCachePermanentlyCacheStoragePolicy)}) {
        auto folder = storeFolderLocked(policy);
        if (!folder)
            return std::nullopt;
        std::string path = (fs::path(*folder) / name).string();
        if (base::FileManager::exists(path))
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> BRDownloadCache::pathToCachedResponseDataForURL(const net::URL& url)
{
    auto name = bodyFileName(url);
    return name ? pathToFile(*name) : std::nullopt;
}

std::optional<std::string> BRDownloadCache::pathToCachedResponseHeadersForURL(const net::URL& url)
{
    auto name = headersFileName(url);
    return name ? pathToFile(*name) : std::nullopt;
}

std::optional<std::string> BRDownloadCache::pathToStoreCachedResponseDataForRequest(const BRHTTPRequest& request)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    auto url = request.url();
    auto folder = storeFolderLocked(request.cacheStoragePolicy());
    auto name = url ? bodyFileName(*url) : std::nullopt;
    if (!folder || !name)
        return std::nullopt;
    return (fs::path(*folder) / *name).string();
}

std::optional<std::string> BRDownloadCache::pathToStoreCachedResponseHeadersForRequest(const BRHTTPRequest& request)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    auto url = request.url();
    auto folder = storeFolderLocked(request.cacheStoragePolicy());
    auto name = url ? headersFileName(*url) : std::nullopt;
    if (!folder || !name)
        return std::nullopt;
    return (fs::path(*folder) / *name).string();
}

// ---- Reading

std::optional<base::Dictionary> BRDownloadCache::readHeadersFileLocked(const net::URL& url)
{
    auto path = pathToCachedResponseHeadersForURL(url);
    if (!path)
        return std::nullopt;
    auto value = base::PropertyList::readFile(*path);
    if (!value || !value->isDictionary())
        return std::nullopt;
    return value->asDictionary();
}

std::optional<net::HttpHeaders> BRDownloadCache::cachedResponseHeadersForURL(const net::URL& url)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    auto dictionary = readHeadersFileLocked(url);
    if (!dictionary)
        return std::nullopt;
    return headersFromDictionary(*dictionary);
}

std::optional<base::Bytes> BRDownloadCache::cachedResponseDataForURL(const net::URL& url)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    auto path = pathToCachedResponseDataForURL(url);
    return path ? base::FileManager::readFile(*path) : std::nullopt;
}

// ---- Storing

std::optional<base::Date> BRDownloadCache::expiryDateForRequestMaxAge(const BRHTTPRequest& request, double maxAge)
{
    return BRHTTPRequest::expiryDateForRequestMaxAge(request, maxAge);
}

bool BRDownloadCache::serverAllowsResponseCachingForRequest(const BRHTTPRequest& request)
{
    auto headers = request.responseHeaders();
    if (!headers)
        return true;
    // Directives are tokens in a list: "no-store, max-age=0" forbids as much as "no-store".
    auto cacheControl = headers->combined("Cache-Control");
    if (hasToken(cacheControl, "no-store") || hasToken(cacheControl, "no-cache"))
        return false;
    return !hasToken(headers->combined("Pragma"), "no-cache");
}

void BRDownloadCache::storeResponseForRequest(BRHTTPRequest& request, double maxAge)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    auto headers = request.responseHeaders();
    auto url = request.url();
    if (request.error() || !headers || !url || (request.cachePolicy() & BRDoNotWriteToCacheCachePolicy))
        return;
    int status = request.responseStatusCode();
    if (status != 200 && status != 301 && status != 302 && status != 303 && status != 307)
        return;
    if (m_shouldRespectCacheControlHeaders && !serverAllowsResponseCachingForRequest(request))
        return;
    auto headersPath = pathToStoreCachedResponseHeadersForRequest(request);
    auto dataPath = pathToStoreCachedResponseDataForRequest(request);
    if (!headersPath || !dataPath)
        return;

    base::Dictionary stored;
    for (const auto& field : headers->fields()) {
        if (stored.contains(field.first))
            continue;
        // The body is kept inflated.
        if (request.isResponseCompressed() && net::HttpHeaders::equalsIgnoringCase(field.first, "Content-Encoding"))
            continue;
        stored.set(field.first, headers->combined(field.first).value_or(field.second));
    }
    if (auto expires = expiryDateForRequestMaxAge(request, maxAge))
        stored.set(kExpiresKey, expires->timeIntervalSince1970());
    stored.set(kStatusKey, status);

    // Body first, then headers, each renamed into place: a crash never leaves headers that
    // vouch for a partial body.
    bool bodyWritten = false;
    if (request.downloadDestinationPath().empty()) {
        if (auto data = request.responseData())
            bodyWritten = base::FileManager::writeAtomically(*dataPath, *data);
    } else if (request.downloadDestinationPath() != *dataPath) {
        bodyWritten = base::FileManager::copyFileAtomically(request.downloadDestinationPath(), *dataPath);
    } else {
        bodyWritten = true;
    }
    if (bodyWritten)
        base::PropertyList::writeFile(*headersPath, base::Value(std::move(stored)));
}

void BRDownloadCache::updateExpiryForRequest(BRHTTPRequest& request, double maxAge)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    auto url = request.url();
    auto path = url ? pathToCachedResponseHeadersForURL(*url) : std::nullopt;
    if (!path)
        return;
    auto value = base::PropertyList::readFile(*path);
    auto expires = expiryDateForRequestMaxAge(request, maxAge);
    if (!value || !value->isDictionary() || !expires)
        return;
    value->asDictionary().set(kExpiresKey, expires->timeIntervalSince1970());
    base::PropertyList::writeFile(*path, *value);
}

// ---- Removing

void BRDownloadCache::removeCachedDataForURL(const net::URL& url)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    if (auto path = pathToCachedResponseHeadersForURL(url))
        base::FileManager::removeItem(*path);
    if (auto path = pathToCachedResponseDataForURL(url))
        base::FileManager::removeItem(*path);
}

void BRDownloadCache::removeCachedDataForRequest(BRHTTPRequest& request)
{
    if (auto url = request.url())
        removeCachedDataForURL(*url);
}

std::optional<BRDownloadCacheException> BRDownloadCache::clearLocked(int storagePolicy)
{
    auto folder = storeFolderLocked(storagePolicy);
    if (!folder || !base::FileManager::isDirectory(*folder))
        return std::nullopt;
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    if (ec)
        return BRDownloadCacheException("FailedToTraverseCacheDirectory",
                                        "Listing cache directory failed at path '" + *folder + "'");
    for (const auto& entry : entries) {
        if (!base::FileManager::removeItem(entry))
            return BRDownloadCacheException("FailedToRemoveCacheFile",
                                            "Failed to remove cached data at path '" + *folder + "'");
    }
    return std::nullopt;
}

void BRDownloadCache::clearCachedResponsesForStoragePolicy(int storagePolicy)
{
    std::optional<BRDownloadCacheException> problem;
    {
        auto lock = accessLock();
        std::lock_guard access(*lock);
        problem = clearLocked(storagePolicy);
    }
    if (problem)
        throw *problem;
}

// ---- Deciding

bool BRDownloadCache::canUseCachedDataForRequest(BRHTTPRequest& request)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    int policy = request.cachePolicy();
    if (policy & BRDoNotReadFromCacheCachePolicy)
        return false;
    if (policy & BRDontLoadCachePolicy)
        return true;
    // Once an answer has arrived, only "not modified" sends the request to the stored copy: any
    // other answer is the document as it is now, and replaces what was stored.
    if (request.responseHeaders() && !request.complete() && request.responseStatusCode() != 304)
        return false;
    auto url = request.url();
    if (!url || !readHeadersFileLocked(*url) || !pathToCachedResponseDataForURL(*url))
        return false;
    if (policy & BROnlyLoadIfNotCachedCachePolicy)
        return true;
    if (request.complete() && (policy & BRFallbackToCacheIfLoadFailsCachePolicy))
        return true;
    if (!(policy & (BRAskServerIfModifiedCachePolicy | BRAskServerIfModifiedWhenStaleCachePolicy)))
        return false;
    if ((policy & BRAskServerIfModifiedWhenStaleCachePolicy) && !(policy & BRAskServerIfModifiedCachePolicy) &&
        !request.responseHeaders())
        return false;
    return isCachedDataCurrentForRequest(request);
}

bool BRDownloadCache::isCachedDataCurrentForRequest(BRHTTPRequest& request)
{
    auto lock = accessLock();
    std::lock_guard access(*lock);
    auto url = request.url();
    if (!m_storagePath || !url)
        return false;
    auto stored = readHeadersFileLocked(*url);
    if (!stored || !pathToCachedResponseDataForURL(*url))
        return false;
    if (request.responseStatusCode() == 304)
        return true;
    auto headers = request.responseHeaders();
    if (headers && request.complete()) {
        for (const char* name : {"Etag", "Last-Modified"}) {
            auto mine = headers->first(name);
            const base::Value* theirs = nullptr;
            for (const auto& [key, value] : *stored)
                if (net::HttpHeaders::equalsIgnoringCase(key, name))
                    theirs = &value;
            if (!mine || !theirs || theirs->toString() != *mine)
                return false;
        }
    }
    if (m_shouldRespectCacheControlHeaders) {
        const base::Value* expires = stored->find(kExpiresKey);
        if (!expires || !expires->isNumber() || expires->toDouble() < base::Date::now().timeIntervalSince1970())
            return false;
    }
    return true;
}
