#pragma once
#include "Network/BRCacheDelegate.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// What a cache raises when its folders cannot be made, listed or emptied. name() is the
// problem's established name; what() its reason.
class BRDownloadCacheException : public std::runtime_error {
public:
    BRDownloadCacheException(std::string name, const std::string& reason)
        : std::runtime_error(reason), m_name(std::move(name))
    {
    }
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};

// The engine's on-disk response cache: headers (a property list) and body of each answer,
// keyed by the URL, in a session store and a permanent store under one folder. Safe to use
// from any thread: one recursive lock serialises every operation.
class BRDownloadCache : public BRCacheDelegate {
public:
    using Ptr = std::shared_ptr<BRDownloadCache>;

    BRDownloadCache();
    // Under the user's caches folder, made on first use.
    static Ptr sharedCache();

    std::optional<std::string> storagePath() const;
    // Makes the root and both stores; raises when one cannot be a folder.
    void setStoragePath(const std::string& path);
    int defaultCachePolicy() override;
    // 0 stands for the default policy, bit 4.
    void setDefaultCachePolicy(int policy);
    std::shared_ptr<std::recursive_mutex> accessLock() const;
    void setAccessLock(std::shared_ptr<std::recursive_mutex> lock);
    bool shouldRespectCacheControlHeaders() const { return m_shouldRespectCacheControlHeaders; }
    void setShouldRespectCacheControlHeaders(bool v) { m_shouldRespectCacheControlHeaders = v; }

    void storeResponseForRequest(BRHTTPRequest& request, double maxAge) override;
    void updateExpiryForRequest(BRHTTPRequest& request, double maxAge) override;
    std::optional<base::Date> expiryDateForRequestMaxAge(const BRHTTPRequest& request, double maxAge);

    std::optional<net::HttpHeaders> cachedResponseHeadersForURL(const net::URL& url) override;
    std::optional<base::Bytes> cachedResponseDataForURL(const net::URL& url) override;
    std::optional<std::string> pathToCachedResponseDataForURL(const net::URL& url) override;
    std::optional<std::string> pathToCachedResponseHeadersForURL(const net::URL& url);
    // The session store's file of that name, else the permanent store's, when it exists.
    std::optional<std::string> pathToFile(const std::string& name);
    std::optional<std::string> pathToStoreCachedResponseDataForRequest(const BRHTTPRequest& request);
    std::optional<std::string> pathToStoreCachedResponseHeadersForRequest(const BRHTTPRequest& request);

    void removeCachedDataForURL(const net::URL& url);
    void removeCachedDataForRequest(BRHTTPRequest& request) override;
    void clearCachedResponsesForStoragePolicy(int storagePolicy) override;

    bool canUseCachedDataForRequest(BRHTTPRequest& request) override;
    bool isCachedDataCurrentForRequest(BRHTTPRequest& request);

    static bool serverAllowsResponseCachingForRequest(const BRHTTPRequest& request);
    // Upper-case hexadecimal MD5 of the URL text less one trailing "/"; nothing when empty.
    static std::optional<std::string> keyForURL(const net::URL& url);
    static const std::vector<std::string>& fileExtensionsToHandleAsHTML();
    // The body file's extension for a URL.
    static std::string bodyExtensionForURL(const net::URL& url);

private:
    std::optional<std::string> storeFolderLocked(int storagePolicy) const;
    std::optional<std::string> headersFileName(const net::URL& url) const;
    std::optional<std::string> bodyFileName(const net::URL& url) const;
    // Problems found under the lock are raised once it is released.
    std::optional<BRDownloadCacheException> clearLocked(int storagePolicy);
    std::optional<base::Dictionary> readHeadersFileLocked(const net::URL& url);

    mutable std::mutex m_lockGuard;
    std::shared_ptr<std::recursive_mutex> m_accessLock;
    std::optional<std::string> m_storagePath;
    std::atomic<int> m_defaultCachePolicy{BRAskServerIfModifiedCachePolicy};
    std::atomic<bool> m_shouldRespectCacheControlHeaders{true};
};
