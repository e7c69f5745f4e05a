#pragma once
// The engine's class-level state, shared by the request's source files.
#include "Network/BRHTTPRequest.h"
#include "Network/Reachability.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Timer.h"

#include <deque>
#include <list>
#include <unordered_map>

// Extended attribute of a partial download: the validator of the answer it began, so that a
// later attempt asks for the rest of that version only.
inline constexpr const char* kDownloadValidatorAttribute = "user.download.validator";

// Names of the engine's own temporary files (base::createTemporaryFile prefixes).
inline constexpr const char* kTemporaryDownloadPrefix = "download-";
inline constexpr const char* kTemporaryInflatedPrefix = "inflated-";
inline constexpr const char* kTemporaryBodyPrefix = "body-";
inline constexpr const char* kTemporaryAnswerPrefix = "answer-";

struct BRHTTPRequest::ConnectionRecord {
    uint64_t id = 0;
    std::string host;
    int port = 0;
    std::string scheme;
    // The request using the connection now.
    std::optional<uint64_t> request;
    // The stream last opened on it.
    std::shared_ptr<net::HttpReadStream> stream;
    // When an idle connection may no longer be reused, on the monotonic clock: a step of the
    // wall clock neither keeps a dead socket nor drops a live one.
    double expires = 0;

    static double monotonicNow();
};

class BRHTTPRequest::Shared {
public:
    static Shared& get();

    // Made in this order; never two held at once, and each request's own lock comes first.
    std::recursive_mutex connectionsLock;
    std::recursive_mutex progressLock;
    std::mutex bandwidthLock;
    std::recursive_mutex sessionCookiesLock;
    std::recursive_mutex sessionCredentialsLock;
    std::recursive_mutex delegateAuthenticationLock;
    std::mutex classMonitor;

    // Guarded by connectionsLock.
    std::vector<std::shared_ptr<ConnectionRecord>> connectionPool;
    uint64_t nextConnectionNumberToCreate = 0;
    uint64_t nextRequestID = 0;
    int runningRequestCount = 0;
    // When the check of idle connections is due (monotonic clock); none while none is idle.
    std::optional<double> idleCheckAt;
    // The network thread's own.
    std::shared_ptr<base::Timer> idleTimer;
    bool shouldUpdateNetworkActivityIndicator = true;

    // Guarded by the session locks.
    // In the order added, and where each stands by name, domain and path: an answer's cookies
    // cost a look-up each, however many the list holds.
    std::list<net::Cookie> sessionCookies;
    std::unordered_map<std::string, std::list<net::Cookie>::iterator> sessionCookieIndex;
    std::vector<BRCredentialRecord> sessionCredentials;
    std::vector<BRCredentialRecord> sessionProxyCredentials;

    // Guarded by bandwidthLock.
    uint32_t maxBandwidthPerSecond = 0;
    uint64_t bandwidthUsedInLastSecond = 0;
    std::optional<base::Date> bandwidthMeasurementDate;
    std::deque<uint64_t> bandwidthUsageTracker;
    uint32_t averageBandwidthUsedPerSecond = 0;
    std::optional<base::Date> throttleWakeUpTime;
    bool isBandwidthThrottled = false;
    bool shouldThrottleBandwidthForWWANOnly = false;
    std::shared_ptr<Reachability> reachability;
    base::ObserverToken reachabilityObserver;
    base::ObserverToken backgroundObserver;

    // Guarded by classMonitor.
    std::optional<std::string> defaultUserAgent;
    bool defaultUserAgentTried = false;
    std::shared_ptr<BRCacheDelegate> defaultCache;

    std::atomic<double> defaultTimeOutSeconds{10.0};

    // Shared errors.
    base::ErrorPtr requestTimedOutError, authenticationError, requestCancelledError, unableToCreateRequestError,
        tooMuchRedirectionError;

    // Called with bandwidthLock held.
    void recordBandwidthUsageLocked();
    void measureBandwidthUsageLocked();
    bool isBandwidthThrottledLocked() const;

private:
    Shared();
};

base::ErrorPtr brRequestError(int code, std::string description, base::ErrorPtr underlying = nullptr);

// A file the answer is written to, opened for appending or from the start.
class BRHTTPRequest::OutputFile {
public:
    static std::unique_ptr<OutputFile> open(const std::string& path, bool append);
    // A file in `folder` with no name yet: nothing of it stays unless linkInto() names it.
    // Nothing when the file system cannot make one.
    static std::unique_ptr<OutputFile> openUnnamed(const std::string& folder);
    // Names the unnamed file `path`, replacing what is there in one step; false with errno.
    bool linkInto(const std::string& path);
    ~OutputFile();
    bool write(const uint8_t* bytes, size_t length);
    bool close();
    int fd() const { return m_fd; }

private:
    explicit OutputFile(int fd) : m_fd(fd) {}
    int m_fd = -1;
};
