#pragma once
#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/URL.h"
#include "Platform/Base/Value.h"

#include <optional>
#include <string>

class BRHTTPRequest;

// Cache policy bits of a request (several may be combined).
enum BRCachePolicy : int {
    BRUseDefaultCachePolicy = 0,
    BRDoNotReadFromCacheCachePolicy = 1,
    BRDoNotWriteToCacheCachePolicy = 2,
    BRAskServerIfModifiedCachePolicy = 4,
    BRAskServerIfModifiedWhenStaleCachePolicy = 8,
    BROnlyLoadIfNotCachedCachePolicy = 16,
    BRDontLoadCachePolicy = 32,
    BRFallbackToCacheIfLoadFailsCachePolicy = 64,
};

// 0 keeps answers for the session, anything else for good.
enum BRCacheStoragePolicy : int {
    BRCacheForSessionDurationCacheStoragePolicy = 0,
    BRCachePermanentlyCacheStoragePolicy = 1,
};

// What a request asks of a response cache.
class BRCacheDelegate {
public:
    virtual ~BRCacheDelegate() = default;

    virtual int defaultCachePolicy() = 0;
    virtual bool canUseCachedDataForRequest(BRHTTPRequest& request) = 0;
    virtual void storeResponseForRequest(BRHTTPRequest& request, double maxAge) = 0;
    virtual void updateExpiryForRequest(BRHTTPRequest& request, double maxAge) = 0;
    virtual std::optional<net::HttpHeaders> cachedResponseHeadersForURL(const net::URL& url) = 0;
    virtual std::optional<base::Bytes> cachedResponseDataForURL(const net::URL& url) = 0;
    virtual std::optional<std::string> pathToCachedResponseDataForURL(const net::URL& url) = 0;
    virtual void removeCachedDataForRequest(BRHTTPRequest& request) = 0;
    virtual void clearCachedResponsesForStoragePolicy(int storagePolicy) = 0;
};
