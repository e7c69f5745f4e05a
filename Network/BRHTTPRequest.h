#pragma once
#include "Network/BRCacheDelegate.h"
#include "Network/BRHTTPRequestDelegate.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/Error.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/SpoolFile.h"
#include "Platform/Base/Timer.h"
#include "Platform/Base/Value.h"
#include "Platform/Net/CookieStorage.h"
#include "Platform/Net/CredentialStorage.h"
#include "Platform/Net/HttpAuthentication.h"
#include "Platform/Net/HttpReadStream.h"
#include "Platform/Net/StringEncoding.h"
#include "Platform/Net/Tls.h"
#include "Platform/Net/URL.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class BRDataDecompressor;
class BRInputStream;

inline constexpr char BRHTTPRequestErrorDomain[] = "BRHTTPRequestErrorDomain";
inline constexpr char BRHTTPRequestRunLoopMode[] = "BRHTTPRequestRunLoopMode";

enum BRNetworkErrorType : int {
    BRConnectionFailureErrorType = 1,
    BRRequestTimedOutErrorType = 2,
    BRAuthenticationErrorType = 3,
    BRRequestCancelledErrorType = 4,
    BRUnableToCreateRequestErrorType = 5,
    BRInternalErrorWhileBuildingRequestType = 6,
    BRInternalErrorWhileApplyingCredentialsType = 7,
    BRFileManagementError = 8,
    BRTooMuchRedirectionErrorType = 9,
    BRUnhandledExceptionError = 10,
    BRCompressionError = 11,
};

// Header fields of a request as the owner set them: insertion order, one value per name
// (names compared without regard to case). Values are checked only when the message is made.
using BRHeaderList = std::vector<std::pair<std::string, std::string>>;

// Credentials as applied to a request; records of the session stores refer to them by identity.
struct BRCredentials {
    std::string username;
    std::string password;
    std::string domain;
};
using BRCredentialsPtr = std::shared_ptr<const BRCredentials>;

// A record of the session credential stores.
struct BRCredentialRecord {
    BRCredentialsPtr credentials;
    // The challenge object they were applied with; none after a pre-emptive Basic success.
    std::shared_ptr<net::HttpAuthentication> authentication;
    std::optional<net::URL> url;
    std::optional<std::string> authenticationRealm;
    std::optional<std::string> authenticationScheme;
    // Proxy records.
    std::string host;
    int port = 0;
};

// One HTTP request: built and sent on the network thread, answered on the main thread, into
// memory or into a file. Keeps itself alive while it runs. Callbacks reach the delegate, the
// blocks and the queue on the main thread, in the order they happened.
class BRHTTPRequest : public base::Operation {
public:
    using Ptr = std::shared_ptr<BRHTTPRequest>;
    using RequestSelector = std::function<void(BRHTTPRequestDelegate&, BRHTTPRequest&)>;
    using HeadersSelector = std::function<void(BRHTTPRequestDelegate&, BRHTTPRequest&, const net::HttpHeaders&)>;
    using RedirectSelector = std::function<void(BRHTTPRequestDelegate&, BRHTTPRequest&, const net::URL&)>;
    using DataSelector = std::function<void(BRHTTPRequestDelegate&, BRHTTPRequest&, const BRData&)>;
    using BasicBlock = std::function<void()>;
    using HeadersBlock = std::function<void(const net::HttpHeaders&)>;
    using DataBlock = std::function<void(const BRData&)>;
    // The amount is negative when progress is taken back (a retried upload).
    using ProgressBlock = std::function<void(int64_t amount, uint64_t total)>;
    using SizeBlock = std::function<void(int64_t)>;
    using BackgroundTaskId = uint32_t;

    static Ptr requestWithURL(std::optional<net::URL> url);
    static Ptr requestWithURLUsingCache(std::optional<net::URL> url, std::shared_ptr<BRCacheDelegate> cache);
    static Ptr requestWithURLUsingCacheAndCachePolicy(std::optional<net::URL> url,
                                                      std::shared_ptr<BRCacheDelegate> cache, int policy);
    ~BRHTTPRequest() override;

    // A new request of the same kind for the same URL with the owner's settings (not the
    // queue, the blocks, three of the selectors or the cache settings).
    Ptr copy() const;
    // A HEAD request for the same URL with this one's connection settings; it reports nothing
    // of its own and passes its content length and failure on to this request.
    Ptr HEADRequest();
    Ptr mainRequest() const { return m_mainRequest.lock(); }
    // Set on a HEAD request made for another one, even once that one is gone.
    bool hasMainRequest() const;
    void setMainRequest(const Ptr& request) { m_mainRequest = request; }

    // ---- Starting and ending
    void startAsynchronous();
    void startSynchronous();
    bool isConcurrent() const override { return true; }
    bool isExecuting() const { return m_inProgress; }
    void cancel() override;
    void clearDelegatesAndCancel();
    // Continues a redirect the owner was asked to confirm.
    void redirectToURL(const net::URL& url);

    // ---- Settings (before start)
    std::optional<net::URL> url() const;
    void setURL(std::optional<net::URL> url);
    std::optional<net::URL> originalURL() const;
    std::string requestMethod() const;
    void setRequestMethod(const std::string& method);
    std::shared_ptr<BRHTTPRequestDelegate> delegate() const;
    void setDelegate(std::weak_ptr<BRHTTPRequestDelegate> delegate);
    std::shared_ptr<BRHTTPRequestDelegate> queue() const;
    void setQueue(std::shared_ptr<BRHTTPRequestDelegate> queue);
    std::shared_ptr<BRProgressDelegate> uploadProgressDelegate() const;
    void setUploadProgressDelegate(std::weak_ptr<BRProgressDelegate> receiver);
    std::shared_ptr<BRProgressDelegate> downloadProgressDelegate() const;
    void setDownloadProgressDelegate(std::weak_ptr<BRProgressDelegate> receiver);

    void addRequestHeader(const std::string& name, const std::string& value);
    const BRHeaderList& requestHeaders() const { return m_requestHeaders; }
    void setRequestHeaders(BRHeaderList headers) { m_requestHeaders = std::move(headers); }
    std::optional<std::string> requestHeader(const std::string& name) const;

    const base::Bytes& postBody() const { return m_postBody; }
    void setPostBody(base::Bytes body);
    void appendPostData(const base::Bytes& data);
    void appendPostDataFromFile(const std::string& path);
    bool shouldStreamPostDataFromDisk() const { return m_shouldStreamPostDataFromDisk; }
    void setShouldStreamPostDataFromDisk(bool v) { m_shouldStreamPostDataFromDisk = v; }
    const std::string& postBodyFilePath() const { return m_postBodyFilePath; }
    void setPostBodyFilePath(std::string path) { m_postBodyFilePath = std::move(path); }
    bool shouldCompressRequestBody() const { return m_shouldCompressRequestBody; }
    void setShouldCompressRequestBody(bool v) { m_shouldCompressRequestBody = v; }
    uint64_t postLength() const { return m_postLength; }
    virtual void buildPostBody();
    bool haveBuiltPostBody() const { return m_haveBuiltPostBody; }

    std::vector<net::Cookie>& requestCookies() { return m_requestCookies; }
    void setRequestCookies(std::vector<net::Cookie> cookies) { m_requestCookies = std::move(cookies); }
    std::vector<net::Cookie> responseCookies() const;
    bool useCookiePersistence() const { return m_useCookiePersistence; }
    void setUseCookiePersistence(bool v) { m_useCookiePersistence = v; }
    bool useKeychainPersistence() const { return m_useKeychainPersistence; }
    void setUseKeychainPersistence(bool v) { m_useKeychainPersistence = v; }
    bool useSessionPersistence() const { return m_useSessionPersistence; }
    void setUseSessionPersistence(bool v) { m_useSessionPersistence = v; }

    bool allowCompressedResponse() const { return m_allowCompressedResponse; }
    void setAllowCompressedResponse(bool v) { m_allowCompressedResponse = v; }
    bool shouldWaitToInflateCompressedResponses() const { return m_shouldWaitToInflateCompressedResponses; }
    void setShouldWaitToInflateCompressedResponses(bool v) { m_shouldWaitToInflateCompressedResponses = v; }
    // An answer with no destination file goes into a temporary file of its own rather than
    // into memory: within maximumInMemoryResponseSize all the same, inflated as it arrives when
    // gzipped (it never waits to be inflated), and taken whole with takeResponseFile. The file
    // has no name, so nothing of it is left behind, however the request ends.
    bool keepsAnswerInFile() const { return m_keepsAnswerInFile; }
    void setKeepsAnswerInFile(bool v) { m_keepsAnswerInFile = v; }
    // An answer held in memory (no destination file) that is larger than this once inflated
    // fails (code 1) and keeps nothing; far above what the application's commands receive.
    static constexpr uint64_t kDefaultMaximumInMemoryResponseSize = uint64_t(64) << 20;
    uint64_t maximumInMemoryResponseSize() const { return m_maximumInMemoryResponseSize; }
    // The failure of an answer refused for passing maximumInMemoryResponseSize (its cause).
    static constexpr const char* kAnswerTooLargeDomain = "BRHTTPRequestAnswerTooLarge";
    // Whether a failure is an answer too large to take: past maximumInMemoryResponseSize, or
    // stopped by inflation's size or ratio brake, in memory, on the fly or into a file.
    static bool isAnswerTooLarge(const base::ErrorPtr& error);
    void setMaximumInMemoryResponseSize(uint64_t bytes) { m_maximumInMemoryResponseSize = bytes; }
    // A download whose file (what an earlier attempt left included) would pass this many bytes
    // fails as an answer too large and keeps nothing of it; 0 for none. The one who lists the
    // file knows its size; a stated Content-Length bounds the body in any case.
    uint64_t maximumDownloadSize() const { return m_maximumDownloadSize; }
    void setMaximumDownloadSize(uint64_t bytes) { m_maximumDownloadSize = bytes; }
    // A request whose answer is slower than this fails as timed out (code 2), whatever
    // trickles in: its body's average since the last arrival at least `seconds` ago (that
    // arrival counted) below `bytes` per `seconds` while the stream is read, so a link whose
    // bursts keep the pace on average goes on. The window opens with the body's first byte
    // (the wait before it is the idle time-out's) and starts afresh while this side holds
    // reading back. 0 for no such limit.
    uint64_t lowSpeedBytes() const { return m_lowSpeedBytes; }
    double lowSpeedSeconds() const { return m_lowSpeedSeconds; }
    void setLowSpeedLimit(uint64_t bytes, double seconds)
    {
        m_lowSpeedBytes = bytes;
        m_lowSpeedSeconds = seconds;
    }
    // An attempt whose body has not ended this many seconds after it started fails as timed
    // out (code 2), its part removed: an endless body at any pace ends. 0 for no such bound.
    double maximumDownloadSeconds() const { return m_maximumDownloadSeconds; }
    void setMaximumDownloadSeconds(double seconds) { m_maximumDownloadSeconds = seconds; }
    // The cause of a failure past maximumDownloadSeconds.
    static constexpr const char* kTimeBoundDomain = "BRHTTPRequestTimeBound";
    static bool isPastTimeBound(const base::ErrorPtr& error);
    // A download file written while its disk keeps less free than this fails (code 8) and
    // keeps nothing, before the disk is full; 0 for no check.
    uint64_t minimumFreeDiskSpace() const { return m_minimumFreeDiskSpace; }
    void setMinimumFreeDiskSpace(uint64_t bytes) { m_minimumFreeDiskSpace = bytes; }
    // The cause of a download that failed for want of room on its disk: its reserve met, or
    // the disk (or the user's quota) full. Its code is the errno.
    static constexpr const char* kDiskFullDomain = "BRHTTPRequestDiskFull";
    // Whether a failure is such a download: another attempt in the same run meets the same disk.
    static bool isDiskFull(const base::ErrorPtr& error);
    // Bytes free for us on the disk of the folder holding `path`; nothing when it cannot be asked.
    static std::optional<uint64_t> freeDiskBytes(const std::string& path);

    const std::string& downloadDestinationPath() const { return m_downloadDestinationPath; }
    void setDownloadDestinationPath(std::string path) { m_downloadDestinationPath = std::move(path); }
    const std::string& temporaryFileDownloadPath() const { return m_temporaryFileDownloadPath; }
    void setTemporaryFileDownloadPath(std::string path)
    {
        m_temporaryFileDownloadPath = std::move(path);
        m_ownTemporaryDownloadFile = false;
    }
    const std::string& temporaryUncompressedDataDownloadPath() const { return m_temporaryUncompressedDataDownloadPath; }
    bool allowResumeForFileDownloads() const { return m_allowResumeForFileDownloads; }
    void setAllowResumeForFileDownloads(bool v) { m_allowResumeForFileDownloads = v; }

    double timeOutSeconds() const { return m_timeOutSeconds; }
    void setTimeOutSeconds(double s) { m_timeOutSeconds = s; }
    int numberOfTimesToRetryOnTimeout() const { return m_numberOfTimesToRetryOnTimeout; }
    void setNumberOfTimesToRetryOnTimeout(int n) { m_numberOfTimesToRetryOnTimeout = n; }
    // Time-out retries and the fresh-connection retry made so far.
    int retryCount() const { return m_retryCount; }
    bool showAccurateProgress() const { return m_showAccurateProgress; }
    void setShowAccurateProgress(bool v) { m_showAccurateProgress = v; }
    bool shouldResetUploadProgress() const { return m_shouldResetUploadProgress; }
    void setShouldResetUploadProgress(bool v) { m_shouldResetUploadProgress = v; }
    bool shouldResetDownloadProgress() const { return m_shouldResetDownloadProgress; }
    void setShouldResetDownloadProgress(bool v) { m_shouldResetDownloadProgress = v; }

    bool shouldRedirect() const { return m_shouldRedirect; }
    void setShouldRedirect(bool v) { m_shouldRedirect = v; }
    bool shouldUseRFC2616RedirectBehaviour() const { return m_shouldUseRFC2616RedirectBehaviour; }
    void setShouldUseRFC2616RedirectBehaviour(bool v) { m_shouldUseRFC2616RedirectBehaviour = v; }
    int redirectCount() const { return m_redirectCount; }
    bool useHTTPVersionOne() const { return m_useHTTPVersionOne; }
    void setUseHTTPVersionOne(bool v) { m_useHTTPVersionOne = v; }

    bool validatesSecureCertificate() const { return m_validatesSecureCertificate; }
    void setValidatesSecureCertificate(bool v) { m_validatesSecureCertificate = v; }
    std::shared_ptr<const net::TlsIdentity> clientCertificateIdentity() const { return m_clientCertificateIdentity; }
    void setClientCertificateIdentity(std::shared_ptr<const net::TlsIdentity> identity)
    {
        m_clientCertificateIdentity = std::move(identity);
    }

    const std::string& proxyHost() const { return m_proxyHost; }
    void setProxyHost(std::string host) { m_proxyHost = std::move(host); }
    int proxyPort() const { return m_proxyPort; }
    void setProxyPort(int port) { m_proxyPort = port; }
    // "HTTP", "HTTPS" or "SOCKS".
    const std::string& proxyType() const { return m_proxyType; }
    void setProxyType(std::string type) { m_proxyType = std::move(type); }
    const std::optional<net::URL>& PACurl() const { return m_PACurl; }
    void setPACurl(std::optional<net::URL> url) { m_PACurl = std::move(url); }

    bool shouldAttemptPersistentConnection() const { return m_shouldAttemptPersistentConnection; }
    void setShouldAttemptPersistentConnection(bool v) { m_shouldAttemptPersistentConnection = v; }
    double persistentConnectionTimeoutSeconds() const { return m_persistentConnectionTimeoutSeconds; }
    void setPersistentConnectionTimeoutSeconds(double s) { m_persistentConnectionTimeoutSeconds = s; }
    bool connectionCanBeReused() const { return m_connectionCanBeReused; }
    // The pooled connection's serial, 0 when none.
    uint64_t connectionID() const;
    uint64_t requestID() const { return m_requestID; }

    const std::string& username() const { return m_username; }
    void setUsername(std::string v) { m_username = std::move(v); }
    const std::string& password() const { return m_password; }
    void setPassword(std::string v) { m_password = std::move(v); }
    const std::string& domain() const { return m_domain; }
    void setDomain(std::string v) { m_domain = std::move(v); }
    const std::string& proxyUsername() const { return m_proxyUsername; }
    void setProxyUsername(std::string v) { m_proxyUsername = std::move(v); }
    const std::string& proxyPassword() const { return m_proxyPassword; }
    void setProxyPassword(std::string v) { m_proxyPassword = std::move(v); }
    const std::string& proxyDomain() const { return m_proxyDomain; }
    void setProxyDomain(std::string v) { m_proxyDomain = std::move(v); }
    const std::string& authenticationScheme() const { return m_authenticationScheme; }
    void setAuthenticationScheme(std::string v) { m_authenticationScheme = std::move(v); }
    const std::optional<std::string>& authenticationRealm() const { return m_authenticationRealm; }
    bool shouldPresentCredentialsBeforeChallenge() const { return m_shouldPresentCredentialsBeforeChallenge; }
    void setShouldPresentCredentialsBeforeChallenge(bool v) { m_shouldPresentCredentialsBeforeChallenge = v; }
    bool shouldPresentAuthenticationDialog() const { return m_shouldPresentAuthenticationDialog; }
    void setShouldPresentAuthenticationDialog(bool v) { m_shouldPresentAuthenticationDialog = v; }
    bool shouldPresentProxyAuthenticationDialog() const { return m_shouldPresentProxyAuthenticationDialog; }
    void setShouldPresentProxyAuthenticationDialog(bool v) { m_shouldPresentProxyAuthenticationDialog = v; }
    int authenticationNeeded() const { return m_authenticationNeeded; }
    const std::string& proxyAuthenticationScheme() const { return m_proxyAuthenticationScheme; }
    const std::optional<std::string>& proxyAuthenticationRealm() const { return m_proxyAuthenticationRealm; }
    int authenticationRetryCount() const { return m_authenticationRetryCount; }
    int proxyAuthenticationRetryCount() const { return m_proxyAuthenticationRetryCount; }
    // The answers to a credential question, from any thread; they continue on the network thread.
    void retryUsingSuppliedCredentials();
    void cancelAuthentication();
    // "Authorization: Basic ..." from the user and the password.
    void addBasicAuthenticationHeaderWithUsernameAndPassword(const std::string& username, const std::string& password);
    std::optional<BRCredentialRecord> findSessionAuthenticationCredentials() const;
    std::optional<BRCredentialRecord> findSessionProxyAuthenticationCredentials() const;

    // Not kept alive by the request.
    std::shared_ptr<BRCacheDelegate> downloadCache() const { return m_downloadCache.lock(); }
    void setDownloadCache(const std::shared_ptr<BRCacheDelegate>& cache) { m_downloadCache = cache; }
    int cachePolicy() const { return m_cachePolicy; }
    void setCachePolicy(int p) { m_cachePolicy = p; }
    int cacheStoragePolicy() const { return m_cacheStoragePolicy; }
    void setCacheStoragePolicy(int p) { m_cacheStoragePolicy = p; }
    double secondsToCache() const { return m_secondsToCache; }
    void setSecondsToCache(double s) { m_secondsToCache = s; }
    bool didUseCachedResponse() const { return m_didUseCachedResponse; }

    bool shouldContinueWhenAppEntersBackground() const { return m_shouldContinueWhenAppEntersBackground; }
    void setShouldContinueWhenAppEntersBackground(bool v) { m_shouldContinueWhenAppEntersBackground = v; }

    const std::optional<std::string>& userAgentString() const { return m_userAgentString; }
    void setUserAgentString(std::optional<std::string> ua) { m_userAgentString = std::move(ua); }
    net::StringEncoding defaultResponseEncoding() const { return m_defaultResponseEncoding; }
    void setDefaultResponseEncoding(net::StringEncoding e) { m_defaultResponseEncoding = e; }
    const base::Value& userInfo() const { return m_userInfo; }
    void setUserInfo(base::Value info) { m_userInfo = std::move(info); }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    void setDidStartSelector(RequestSelector s) { m_didStartSelector = std::move(s); }
    void setDidReceiveResponseHeadersSelector(HeadersSelector s) { m_didReceiveResponseHeadersSelector = std::move(s); }
    // A set selector counts as answered; none restores the delegate's own operation.
    void setWillRedirectSelector(RedirectSelector s) { m_willRedirectSelector = std::move(s); }
    void setDidFinishSelector(RequestSelector s) { m_didFinishSelector = std::move(s); }
    void setDidFailSelector(RequestSelector s) { m_didFailSelector = std::move(s); }
    void setDidReceiveDataSelector(DataSelector s) { m_didReceiveDataSelector = std::move(s); }

    void setStartedBlock(BasicBlock b) { m_startedBlock = std::move(b); }
    void setHeadersReceivedBlock(HeadersBlock b) { m_headersReceivedBlock = std::move(b); }
    void setCompletionBlock(BasicBlock b) { m_completionBlock = std::move(b); }
    void setFailedBlock(BasicBlock b) { m_failureBlock = std::move(b); }
    void setBytesReceivedBlock(ProgressBlock b)
    {
        m_hasBytesReceivedBlock = bool(b);
        m_bytesReceivedBlock = std::move(b);
    }
    void setBytesSentBlock(ProgressBlock b)
    {
        m_hasBytesSentBlock = bool(b);
        m_bytesSentBlock = std::move(b);
    }
    void setDownloadSizeIncrementedBlock(SizeBlock b)
    {
        m_hasDownloadSizeIncrementedBlock = bool(b);
        m_downloadSizeIncrementedBlock = std::move(b);
    }
    void setUploadSizeIncrementedBlock(SizeBlock b)
    {
        m_hasUploadSizeIncrementedBlock = bool(b);
        m_uploadSizeIncrementedBlock = std::move(b);
    }
    void setDataReceivedBlock(DataBlock b) { m_dataReceivedBlock = std::move(b); }
    void setAuthenticationNeededBlock(BasicBlock b) { m_authenticationNeededBlock = std::move(b); }
    void setProxyAuthenticationNeededBlock(BasicBlock b) { m_proxyAuthenticationNeededBlock = std::move(b); }
    void setRequestRedirectedBlock(BasicBlock b) { m_requestRedirectedBlock = std::move(b); }

    // ---- The answer (read on the main thread once told)
    int responseStatusCode() const { return m_responseStatusCode; }
    std::string responseStatusMessage() const;
    std::optional<net::HttpHeaders> responseHeaders() const;
    net::StringEncoding responseEncoding() const { return m_responseEncoding; }
    uint64_t contentLength() const { return m_contentLength; }
    uint64_t partialDownloadSize() const { return m_partialDownloadSize; }
    uint64_t totalBytesRead() const { return m_totalBytesRead; }
    uint64_t totalBytesSent() const { return m_totalBytesSent; }
    // The body as held in memory; inflated when it came gzipped and inflation waited (nothing
    // when that fails).
    std::optional<base::Bytes> responseData() const;
    // The same, moved out rather than copied: a finished request's reader takes a large body
    // without holding it twice. The request keeps no body afterwards.
    std::optional<base::Bytes> takeResponseData();
    // The body kept in a file (keepsAnswerInFile); nothing when none came. The request keeps
    // it no longer.
    std::shared_ptr<base::SpoolFile> takeResponseFile() { return std::exchange(m_responseFile, nullptr); }
    const base::Bytes& rawResponseData() const { return m_rawResponseData; }
    std::optional<std::string> responseString() const;
    bool isResponseCompressed() const;
    base::ErrorPtr error() const;
    bool complete() const { return m_complete; }
    bool isSynchronous() const { return m_isSynchronous; }
    BackgroundTaskId backgroundTask() const { return m_backgroundTask; }

    static bool removeFileAtPathError(const std::string& path, base::ErrorPtr* error);

    // ---- Progress delivery (main thread)
    using ReceiverGetter = std::function<std::shared_ptr<BRProgressDelegate>()>;
    // Calls `selector` on the main thread (at once when already there) with the receiver
    // `target` answers then; none, no call. `caller` stays alive until then.
    static void performSelectorOnTargetWithObjectAmountCallerToRetain(ReceiverGetter target,
                                                                     std::function<void(BRProgressDelegate&)> selector,
                                                                     std::shared_ptr<const void> caller);
    // `setProgress` with progress / total, 0 for a total of 0, kept within 0..1.
    static void updateProgressIndicatorWithProgressOfTotal(ReceiverGetter receiver, uint64_t progress, uint64_t total,
                                                           std::shared_ptr<const void> caller);
    static float progressFraction(uint64_t progress, uint64_t total);

    // ---- Class-level settings and shared state
    static double defaultTimeOutSeconds();
    static void setDefaultTimeOutSeconds(double seconds);
    static std::optional<std::string> defaultUserAgentString();
    static void setDefaultUserAgentString(std::optional<std::string> ua);
    // The layout the server logs: name, version, device, system, system version, locale.
    static std::optional<std::string> buildUserAgentString(const std::string& name, const std::string& shortVersion,
                                                           const std::string& buildVersion, const std::string& model,
                                                           const std::string& osName, const std::string& osVersion,
                                                           const std::string& locale);
    static std::optional<std::string> mimeTypeForFileAtPath(const std::string& path);
    static void parseMimeTypeAndResponseEncodingFromContentType(std::string* mimeType, net::StringEncoding* encoding,
                                                                const std::optional<std::string>& contentType);

    static std::vector<net::Cookie> sessionCookies();
    static void setSessionCookies(std::vector<net::Cookie> cookies);
    static void addSessionCookie(const net::Cookie& cookie);
    // The same for a response's cookies, in one pass over the session's list.
    static void addSessionCookies(const std::vector<net::Cookie>& cookies);

    static std::vector<BRCredentialRecord> sessionCredentialsStore();
    static std::vector<BRCredentialRecord> sessionProxyCredentialsStore();
    static void storeAuthenticationCredentialsInSessionStore(BRCredentialRecord record);
    static void storeProxyAuthenticationCredentialsInSessionStore(BRCredentialRecord record);
    static void removeAuthenticationCredentialsFromSessionStore(const BRCredentialsPtr& credentials);
    static void removeProxyAuthenticationCredentialsFromSessionStore(const BRCredentialsPtr& credentials);
    static void saveCredentialsForHostPortProtocolRealm(const net::Credential& credential, const std::string& host,
                                                        int port, const std::string& protocol, const std::string& realm);
    static void saveCredentialsForProxyPortRealm(const net::Credential& credential, const std::string& host, int port,
                                                 const std::string& realm);
    static std::optional<net::Credential> savedCredentialsForHostPortProtocolRealm(const std::string& host, int port,
                                                                                 const std::string& protocol,
                                                                                 const std::string& realm);
    static std::optional<net::Credential> savedCredentialsForProxyPortProtocolRealm(const std::string& host, int port,
                                                                                  const std::string& protocol,
                                                                                  const std::string& realm);
    static void removeCredentialsForHostPortProtocolRealm(const std::string& host, int port,
                                                          const std::string& protocol, const std::string& realm);
    static void removeCredentialsForProxyPortRealm(const std::string& host, int port, const std::string& realm);
    static void clearSession();

    // A throttle is configured: reads are sized to the room left in the second, and requests
    // are held once it is used up. Not whether any request is held now.
    static bool isBandwidthThrottled();
    // The throttle holds every request now: its second's allowance is used up and its wake-up
    // time has not come.
    static bool isHoldingRequestsForThrottle();
    static uint32_t maxBandwidthPerSecond();
    static void setMaxBandwidthPerSecond(uint32_t bytes);
    static void incrementBandwidthUsedInLastSecond(uint64_t bytes);
    static uint32_t averageBandwidthUsedPerSecond();
    static void measureBandwidthUsage();
    static uint32_t maxUploadReadLength();
    static void setShouldThrottleBandwidthForWWAN(bool throttle);
    static void throttleBandwidthForWWANUsingLimit(uint32_t limit);
    static bool isNetworkReachableViaWWAN();
    // When the throttled request may read again; nothing when it need not wait.
    static std::optional<base::Date> throttleWakeUpTime();
    void performThrottling();

    static bool isNetworkInUse();
    static void setShouldUpdateNetworkActivityIndicator(bool update);
    static void showNetworkActivityIndicator();
    static void hideNetworkActivityIndicator();
    static void hideNetworkActivityIndicatorAfterDelay();
    static void hideNetworkActivityIndicatorIfNeeeded();

    static base::RunLoop& threadForRequest(const BRHTTPRequest* request);
    static bool isMultitaskingSupported();
    static std::string base64forData(const base::Bytes& data);
    static std::optional<base::Date> expiryDateForRequestMaxAge(const BRHTTPRequest& request, double maxAge);
    // HTTP dates in the three standard forms.
    static std::optional<base::Date> dateFromRFC1123String(const std::string& text);
    static std::shared_ptr<BRCacheDelegate> defaultCache();
    static void setDefaultCache(std::shared_ptr<BRCacheDelegate> cache);
    static base::OperationQueue& sharedQueue();

    static void expirePersistentConnections();
    // After a connection went idle: its close is due when its idle time is up.
    static void watchIdleConnections();
    // Pool records (tests).
    static size_t connectionPoolSize();
    // At most this many idle connections are kept; an idle one closes when its idle time is
    // up, whether or not another request comes.
    static constexpr size_t kMaxIdleConnections = 32;

    // At launch, before any request: the temporary files of downloads, inflations and bodies
    // and of the cookie jar's writes that a program ended mid-way left behind.
    static void removeLeftoverTemporaryFiles();

protected:
    explicit BRHTTPRequest(std::optional<net::URL> url);
    // Makes a request of the same kind (copies run it).
    virtual Ptr makeEmptyCopy() const;
    // A kind's own fields, taken over by copy() after the engine's.
    virtual void copyExtraFieldsTo(BRHTTPRequest&) const {}
    // Ends the attempt with `error`, reported once; before the start it is only recorded, and
    // the start reports it.
    void failWithError(base::ErrorPtr error);
    void start() override;
    void main() override;

public:
    // Engine internals, for its own source files.
    struct ConnectionRecord;
    class Shared;
    class OutputFile;

private:

    Ptr self() { return std::static_pointer_cast<BRHTTPRequest>(shared_from_this()); }

    // Life cycle (network thread unless said).
    void requestFinished();
    void markAsFinished();
    void cancelOnRequestThread();
    void cancelLoad();
    void beginBackgroundTaskIfNeeded();

    // Building and sending.
    void setupPostBody();
    void buildRequestHeaders();
    void applyCookieHeader();
    void applyAuthorizationHeader();
    bool updatePartialDownloadSize();
    // Before each attempt of a resumable download: a kept part goes on only with "If-Range"
    // naming the validator of the answer that began it (kept on the part); a part without one
    // is removed and the document asked for whole. False when the request failed.
    bool prepareResume();
    void setResumeHeader(const char* name, const std::optional<std::string>& value);
    static std::optional<std::string> downloadValidatorOf(const std::string& path);
    // A whole answer (200) begins the part afresh, marked with its validator: a strong ETag,
    // else Last-Modified, else none (a compressed answer's part is never continued).
    void rememberDownloadValidator();
    // Whether a 206 answer shows the validator the part was kept under.
    bool rangeIsOfThePartsVersion() const;
    // A 206 that cannot continue the part fails (code 8) and the part goes with it.
    void refuseContinuation(const std::string& what);
    // False when the request failed or the rest of the piece waits in the backlog.
    bool inflateReceived(const uint8_t* data, size_t size);
    // False while part of it still waits.
    bool inflateBacklog();
    // A 206 whose length or body does not match its range: fails (code 8), dropping the part.
    void failRangeMismatch(const char* what);
    // The file would pass maximumDownloadSize: fails as an answer too large, keeping no part.
    void failPastDownloadBound();
    // A download file that did not take what was written (errno `err`) fails (code 8); at
    // the disk's reserve, or on a full disk, keeping no part.
    void failFileWrite(int err);
    bool configureProxies();
    void fetchPACFile();
    void finishedDownloadingPACFile(std::optional<std::string> script);
    void runPACScript(const std::string& script);
    void startRequest();
    void scheduleReadStream();
    void unscheduleReadStream();
    void destroyReadStream();
    void setStatusTimer(std::shared_ptr<base::Timer> timer);
    void updateStatus();
    base::RunLoop& streamLoop() const;
    void touchActivity();

    // Time-outs, retries and progress.
    void checkRequestStatus();
    bool shouldTimeOut();
    bool retryUsingNewConnection();
    void dropConnectionRecord();
    void updateProgressIndicators();
    void updateUploadProgress();
    void updateDownloadProgress();
    void incrementUploadSizeBy(int64_t amount);
    void incrementDownloadSizeBy(int64_t amount);
    void removeUploadProgressSoFar();
    void performBlockOnMainThread(std::function<void(BRHTTPRequest&)> block);
    void sendToQueueAndReceiver(bool upload, std::function<void(BRProgressDelegate&)> call);
    void setResponseHead(std::optional<net::HttpHeaders> headers, std::string statusMessage);
    void announceDownloadSize();

    // Receiving.
    void handleNetworkEvent(net::StreamEvent event);
    void readResponseHeaders();
    bool readContentLength();
    void parseStringEncodingFromHeaders();
    bool willRedirect();
    bool willAskDelegateToConfirmRedirect();
    void performRedirect();
    void handleBytesAvailable();
    void handleStreamComplete();
    void handleStreamError();
    bool writeRawChunkToFile(const BRData& raw);
    bool writeInflatedToFile(const uint8_t* bytes, size_t length);
    // Whether `length` more bytes fit beside the reserve on the disk of `path`; errno ENOSPC
    // when not.
    bool diskHasRoomFor(const std::string& path, size_t length);
    // Whether the answer's stated length fits beside the reserve; marks the reserve met when not.
    bool statedLengthHasRoom();
    // A read of `bytes` of body has just been counted: the pace's record of arrivals.
    void notePaceArrival(uint64_t bytes);
    bool slowerThanLowSpeedLimit();
    bool pastTimeBound();
    void failPastTimeBound();
    // Whether a gzip answer is held whole before it is inflated.
    bool waitsToInflate() const
    {
        return m_shouldWaitToInflateCompressedResponses && !(m_keepsAnswerInFile && m_downloadDestinationPath.empty());
    }
    enum class Appended { Taken, TooLarge, FileFailed };
    // Appends to the answer held in memory, or in its file; nothing when that would pass the
    // limit or the file did not take it (errno says why).
    Appended appendToResponseData(const uint8_t* bytes, size_t length);
    base::ErrorPtr answerFileError(int err) const;
    void failAnswerTooLarge();
    base::ErrorPtr answerTooLargeError() const;
    // A waiting gzip answer held in memory, inflated as it ends: what makes it fail, if anything.
    base::ErrorPtr inflateResponseData();
    base::ErrorPtr finishFileDownload();
    base::ErrorPtr finishUnnamedDownload();
    bool removeTemporaryDownloadFile();
    bool removeTemporaryUncompressedDownloadFile();
    bool removeTemporaryUploadFile();
    bool removeTemporaryCompressedUploadFile();
    void useDataFromCache();
    void attemptToApplyCredentialsAndResume();
    void attemptToApplyProxyCredentialsAndResume();
    // Both directions of the challenge handling, told apart by `proxy`.
    void handleChallenge(bool proxy);
    bool applyCredentials(const BRCredentialsPtr& credentials);
    bool applyProxyCredentials(const BRCredentialsPtr& credentials);
    BRCredentialsPtr findCredentials();
    // NTLM authenticates the connection: its legs share one, even for a POST.
    bool inConnectionHandshake() const;
    BRCredentialsPtr findProxyCredentials();
    void saveCredentialsToKeychain(const BRCredentials& credentials);
    void saveProxyCredentialsToKeychain(const BRCredentials& credentials);
    bool willAskDelegateForCredentials();
    bool willAskDelegateForProxyCredentials();
    bool askPartyForCredentials(bool proxy);
    bool showAuthenticationDialog();
    bool showProxyAuthenticationDialog();
    void failAuthentication();
    void resumeReadingIfDrained();

    // Delivery on the main thread.
    void onMain(std::function<void(BRHTTPRequest&)> work);
    void requestStarted();
    void requestReceivedResponseHeaders(net::HttpHeaders headers);
    void requestWillRedirectToURL(net::URL url);
    void requestRedirected();
    void reportFailure();
    void passOnReceivedData(BRData data);
    void releaseBlocks();

    // Owner's settings.
    std::optional<net::URL> m_url;
    std::optional<net::URL> m_originalURL;
    std::optional<net::URL> m_redirectURL;
    std::weak_ptr<BRHTTPRequestDelegate> m_delegate;
    std::shared_ptr<BRHTTPRequestDelegate> m_queue;
    std::weak_ptr<BRProgressDelegate> m_uploadProgressDelegate;
    std::weak_ptr<BRProgressDelegate> m_downloadProgressDelegate;
    std::weak_ptr<BRHTTPRequest> m_mainRequest;
    std::string m_requestMethod = "GET";
    base::Bytes m_postBody;
    bool m_hasPostBody = false;
    std::optional<base::Bytes> m_compressedPostBody;
    bool m_shouldStreamPostDataFromDisk = false;
    std::string m_postBodyFilePath;
    std::string m_compressedPostBodyFilePath;
    bool m_didCreateTemporaryPostDataFile = false;
    int m_postBodyWriteFd = -1;
    BRHeaderList m_requestHeaders;
    bool m_haveBuiltRequestHeaders = false;
    bool m_haveBuiltPostBody = false;
    std::vector<net::Cookie> m_requestCookies;
    std::vector<net::Cookie> m_responseCookies;
    bool m_useCookiePersistence = true;
    // The "Cookie" header as last built from cookies; any other value is the caller's own.
    std::optional<std::string> m_cookieHeaderFromCookies;
    bool m_useKeychainPersistence = false;
    bool m_useSessionPersistence = true;
    bool m_allowCompressedResponse = true;
    bool m_shouldWaitToInflateCompressedResponses = true;
    bool m_shouldCompressRequestBody = false;
    std::string m_downloadDestinationPath;
    std::string m_temporaryFileDownloadPath;
    std::string m_temporaryUncompressedDataDownloadPath;
    bool m_allowResumeForFileDownloads = false;
    std::atomic<double> m_timeOutSeconds;
    std::atomic<int> m_numberOfTimesToRetryOnTimeout{0};
    std::atomic<int> m_retryCount{0};
    std::atomic<bool> m_willRetryRequest{false};
    // The retry after a dropped connection takes no pooled one.
    bool m_avoidPooledConnection = false;
    std::atomic<bool> m_showAccurateProgress{true};
    std::atomic<bool> m_shouldResetUploadProgress{true};
    std::atomic<bool> m_shouldResetDownloadProgress{true};
    bool m_updatedProgress = false;
    uint64_t m_uploadBufferSize = 0;
    // Upload bytes reported to the receivers in this attempt.
    int64_t m_uploadProgressReported = 0;
    bool m_shouldRedirect = true;
    bool m_needsRedirect = false;
    int m_redirectCount = 0;
    bool m_shouldUseRFC2616RedirectBehaviour = false;
    bool m_useHTTPVersionOne = false;
    bool m_validatesSecureCertificate = true;
    std::shared_ptr<const net::TlsIdentity> m_clientCertificateIdentity;
    std::string m_proxyHost;
    int m_proxyPort = 0;
    std::string m_proxyType;
    std::optional<net::URL> m_PACurl;
    // Fetches a proxy auto-configuration script: never configured by a script itself.
    bool m_isPACFileRequest = false;
    bool m_shouldAttemptPersistentConnection = true;
    std::atomic<double> m_persistentConnectionTimeoutSeconds{60.0};
    std::string m_username, m_password, m_domain;
    std::string m_proxyUsername, m_proxyPassword, m_proxyDomain;
    std::string m_authenticationScheme;
    std::optional<std::string> m_authenticationRealm;
    std::string m_proxyAuthenticationScheme;
    std::optional<std::string> m_proxyAuthenticationRealm;
    std::shared_ptr<net::HttpAuthentication> m_requestAuthentication, m_proxyAuthentication;
    BRCredentialsPtr m_requestCredentials, m_proxyCredentials;
    int m_authenticationRetryCount = 0;
    int m_proxyAuthenticationRetryCount = 0;
    // The owner answered a credential question: its user and password count even when empty.
    bool m_credentialsSupplied = false;
    bool m_shouldPresentCredentialsBeforeChallenge = true;
    bool m_shouldPresentAuthenticationDialog = false;
    bool m_shouldPresentProxyAuthenticationDialog = true;
    std::weak_ptr<BRCacheDelegate> m_downloadCache;
    std::atomic<int> m_cachePolicy{0};
    int m_cacheStoragePolicy = 0;
    std::atomic<double> m_secondsToCache{0};
    std::atomic<bool> m_didUseCachedResponse{false};
    bool m_shouldContinueWhenAppEntersBackground = false;
    std::atomic<BackgroundTaskId> m_backgroundTask{0};
    std::optional<std::string> m_userAgentString;
    net::StringEncoding m_defaultResponseEncoding = net::encoding::ISOLatin1;
    base::Value m_userInfo;
    std::atomic<int> m_tag{0};

    RequestSelector m_didStartSelector, m_didFinishSelector, m_didFailSelector;
    HeadersSelector m_didReceiveResponseHeadersSelector;
    RedirectSelector m_willRedirectSelector;
    DataSelector m_didReceiveDataSelector;
    BasicBlock m_startedBlock, m_completionBlock, m_failureBlock, m_authenticationNeededBlock,
        m_proxyAuthenticationNeededBlock, m_requestRedirectedBlock;
    HeadersBlock m_headersReceivedBlock;
    DataBlock m_dataReceivedBlock;
    ProgressBlock m_bytesReceivedBlock, m_bytesSentBlock;
    SizeBlock m_downloadSizeIncrementedBlock, m_uploadSizeIncrementedBlock;
    // Whether each progress block is set, read on the network thread: a report nobody takes is
    // not sent to the main thread.
    std::atomic<bool> m_hasBytesReceivedBlock{false}, m_hasBytesSentBlock{false};
    std::atomic<bool> m_hasDownloadSizeIncrementedBlock{false}, m_hasUploadSizeIncrementedBlock{false};

    // Transfer state.
    mutable std::recursive_mutex m_cancelledLock;
    std::optional<net::HttpRequestHead> m_request;
    std::shared_ptr<net::HttpReadStream> m_readStream;
    std::shared_ptr<BRInputStream> m_postBodyReadStream;
    bool m_readStreamIsScheduled = false;
    bool m_readPaused = false;
    // Compressed bytes read but not yet inflated, held while the main thread catches up.
    base::Bytes m_inflateBacklog;
    bool m_inflateBacklogPending = false;
    // The stream ended while the backlog waited.
    bool m_endBehindBacklog = false;
    // Bytes of this attempt inflated into the file, held to the inflater's size and ratio.
    uint64_t m_inflatedToFile = 0;
    std::shared_ptr<base::RunLoop> m_streamLoop;
    std::string m_runLoopMode = base::RunLoop::kDefaultMode;
    std::shared_ptr<base::Timer> m_statusTimer;
    std::shared_ptr<ConnectionRecord> m_connectionInfo;
    uint64_t m_requestID = 0;
    std::atomic<bool> m_connectionCanBeReused{false};
    // The answer's head: written on the network thread, read anywhere under m_propertyLock.
    mutable std::mutex m_propertyLock;
    std::optional<net::HttpHeaders> m_responseHeaders;
    std::atomic<int> m_responseStatusCode{0};
    std::string m_responseStatusMessage;
    net::StringEncoding m_responseEncoding = net::encoding::ISOLatin1;
    std::atomic<uint64_t> m_contentLength{0};
    bool m_hasContentLength = false;
    std::atomic<uint64_t> m_partialDownloadSize{0};
    std::atomic<uint64_t> m_maximumDownloadSize{0};
    std::atomic<uint64_t> m_lowSpeedBytes{0};
    std::atomic<double> m_lowSpeedSeconds{0};
    // The pace being judged: its start on the stream loop's clock (0: none), and the body's
    // arrivals since, each the loop time of a read after a short pause and the body bytes read
    // before it; those older than one window are dropped as the pace is judged.
    struct PaceArrival {
        double time;
        uint64_t bytesBefore;
    };
    double m_lowSpeedWindowStart = 0;
    std::deque<PaceArrival> m_paceArrivals;
    std::atomic<double> m_maximumDownloadSeconds{0};
    // The attempt's start on the stream loop's clock.
    double m_attemptStart = 0;
    std::atomic<uint64_t> m_minimumFreeDiskSpace{0};
    // Bytes that may still be written before the disk is looked at again.
    uint64_t m_diskRoomLeft = 0;
    // A write stopped for the disk's reserve: nothing of the download is kept.
    bool m_diskReserveReached = false;
    std::atomic<uint64_t> m_postLength{0};
    std::atomic<uint64_t> m_totalBytesRead{0};
    std::atomic<uint64_t> m_totalBytesSent{0};
    uint64_t m_lastBytesRead = 0;
    uint64_t m_lastBytesSent = 0;
    base::Bytes m_rawResponseData;
    bool m_keepsAnswerInFile = false;
    // The answer kept in a file instead of m_rawResponseData.
    std::shared_ptr<base::SpoolFile> m_responseFile;
    std::atomic<uint64_t> m_maximumInMemoryResponseSize{kDefaultMaximumInMemoryResponseSize};
    // A waiting gzip answer held in memory, inflated once when it ended.
    std::optional<base::Bytes> m_inflatedResponseData;
    bool m_hasRawResponseData = false;
    std::unique_ptr<OutputFile> m_fileDownloadOutputStream;
    std::unique_ptr<OutputFile> m_inflatedFileDownloadOutputStream;
    std::unique_ptr<BRDataDecompressor> m_dataDecompressor;
    // A file download's answer that must not reach the destination (its status).
    std::optional<int> m_rejectedDownloadStatus;
    bool m_appendToDownloadFile = false;
    // The download file is written where it ends up, unnamed until it is whole.
    bool m_unnamedDownloadFile = false;
    // The temporary download file was named by the engine, not by the caller.
    bool m_ownTemporaryDownloadFile = false;
    // Body bytes a 206 answer must carry to complete the file it continues.
    std::optional<uint64_t> m_rangeBodyLength;
    // On the stream loop's monotonic clock; 0 when unset.
    double m_lastActivityTime = 0;
    std::atomic<int> m_authenticationNeeded{0};
    base::ErrorPtr m_error;
    // The failure was handed to the receivers (an error found before the start is not).
    std::atomic<bool> m_failureReported{false};
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_complete{false};
    std::atomic<bool> m_downloadComplete{false};
    std::atomic<bool> m_inProgress{false};
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_finishedOnce{false};
    bool m_isSynchronous = false;
    // Held while the request runs, so nobody else has to keep it.
    Ptr m_keepAlive;
    // Data chunks posted to the main thread and not yet delivered.
    std::atomic<uint64_t> m_bytesAwaitingDelivery{0};
};
