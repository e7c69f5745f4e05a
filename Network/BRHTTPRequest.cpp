#include "Network/BRHTTPRequest.h"

#include "Network/BRDataDecompressor.h"
#include "Network/BRHTTPRequestShared.h"
#include "Network/BRInputStream.h"
#include "Platform/UI/Application.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// ---- Creation and copying

BRHTTPRequest::BRHTTPRequest(std::optional<net::URL> url)
    : m_url(std::move(url)), m_timeOutSeconds(defaultTimeOutSeconds()), m_downloadCache(defaultCache())
{
}

BRHTTPRequest::Ptr BRHTTPRequest::requestWithURL(std::optional<net::URL> url)
{
    return Ptr(new BRHTTPRequest(std::move(url)));
}

BRHTTPRequest::Ptr BRHTTPRequest::requestWithURLUsingCache(std::optional<net::URL> url,
                                                           std::shared_ptr<BRCacheDelegate> cache)
{
    return requestWithURLUsingCacheAndCachePolicy(std::move(url), std::move(cache), BRUseDefaultCachePolicy);
}

BRHTTPRequest::Ptr BRHTTPRequest::requestWithURLUsingCacheAndCachePolicy(std::optional<net::URL> url,
                                                                         std::shared_ptr<BRCacheDelegate> cache,
                                                                         int policy)
{
    auto request = requestWithURL(std::move(url));
    request->setDownloadCache(std::move(cache));
    request->setCachePolicy(policy);
    return request;
}

BRHTTPRequest::Ptr BRHTTPRequest::makeEmptyCopy() const { return Ptr(new BRHTTPRequest(m_url)); }

BRHTTPRequest::~BRHTTPRequest()
{
    // What cancelLoad() does, without reporting anything: nobody is left to tell.
    if (m_readStream) {
        m_readStream->setClient(nullptr);
        m_readStream->unschedule();
        if (!m_connectionCanBeReused)
            m_readStream->close();
    }
    if (m_readStreamIsScheduled) {
        std::lock_guard pool(Shared::get().connectionsLock);
        --Shared::get().runningRequestCount;
    }
    if (m_postBodyReadStream)
        m_postBodyReadStream->close();
    m_fileDownloadOutputStream.reset();
    m_inflatedFileDownloadOutputStream.reset();
    if (!m_complete && !m_downloadDestinationPath.empty()) {
        if (!m_allowResumeForFileDownloads && !m_temporaryFileDownloadPath.empty())
            ::unlink(m_temporaryFileDownloadPath.c_str());
        if (!m_temporaryUncompressedDataDownloadPath.empty())
            ::unlink(m_temporaryUncompressedDataDownloadPath.c_str());
    }
    if (m_didCreateTemporaryPostDataFile) {
        if (!m_postBodyFilePath.empty())
            ::unlink(m_postBodyFilePath.c_str());
        if (!m_compressedPostBodyFilePath.empty())
            ::unlink(m_compressedPostBodyFilePath.c_str());
    }
    if (m_statusTimer)
        m_statusTimer->invalidate();
    if (m_postBodyWriteFd >= 0)
        ::close(m_postBodyWriteFd);
}

BRHTTPRequest::Ptr BRHTTPRequest::copy() const
{
    std::lock_guard lock(m_cancelledLock);
    Ptr c = makeEmptyCopy();
    c->m_delegate = m_delegate;
    c->m_requestMethod = m_requestMethod;
    c->m_postBody = m_postBody;
    c->m_hasPostBody = m_hasPostBody;
    c->m_shouldStreamPostDataFromDisk = m_shouldStreamPostDataFromDisk;
    c->m_postBodyFilePath = m_postBodyFilePath;
    c->m_requestHeaders = m_requestHeaders;
    c->m_requestCookies = m_requestCookies;
    c->m_useCookiePersistence = m_useCookiePersistence;
    c->m_useKeychainPersistence = m_useKeychainPersistence;
    c->m_useSessionPersistence = m_useSessionPersistence;
    c->m_allowCompressedResponse = m_allowCompressedResponse;
    c->m_downloadDestinationPath = m_downloadDestinationPath;
    c->m_temporaryFileDownloadPath = m_temporaryFileDownloadPath;
    c->m_username = m_username;
    c->m_password = m_password;
    c->m_domain = m_domain;
    c->m_proxyUsername = m_proxyUsername;
    c->m_proxyPassword = m_proxyPassword;
    c->m_proxyDomain = m_proxyDomain;
    c->m_proxyHost = m_proxyHost;
    c->m_proxyPort = m_proxyPort;
    c->m_proxyType = m_proxyType;
    c->m_uploadProgressDelegate = m_uploadProgressDelegate;
    c->m_downloadProgressDelegate = m_downloadProgressDelegate;
    c->m_shouldPresentAuthenticationDialog = m_shouldPresentAuthenticationDialog;
    c->m_shouldPresentProxyAuthenticationDialog = m_shouldPresentProxyAuthenticationDialog;
    c->m_postLength = m_postLength.load();
    c->m_haveBuiltPostBody = m_haveBuiltPostBody;
    c->m_didStartSelector = m_didStartSelector;
    c->m_didFinishSelector = m_didFinishSelector;
    c->m_didFailSelector = m_didFailSelector;
    c->m_timeOutSeconds = m_timeOutSeconds.load();
    c->m_shouldResetUploadProgress = m_shouldResetUploadProgress.load();
    c->m_shouldResetDownloadProgress = m_shouldResetDownloadProgress.load();
    c->m_showAccurateProgress = m_showAccurateProgress.load();
    c->m_defaultResponseEncoding = m_defaultResponseEncoding;
    c->m_allowResumeForFileDownloads = m_allowResumeForFileDownloads;
    c->m_userInfo = m_userInfo;
    c->m_tag = m_tag.load();
    c->m_useHTTPVersionOne = m_useHTTPVersionOne;
    c->m_shouldRedirect = m_shouldRedirect;
    c->m_validatesSecureCertificate = m_validatesSecureCertificate;
    c->m_clientCertificateIdentity = m_clientCertificateIdentity;
    c->m_PACurl = m_PACurl;
    c->m_shouldPresentCredentialsBeforeChallenge = m_shouldPresentCredentialsBeforeChallenge;
    c->m_numberOfTimesToRetryOnTimeout = m_numberOfTimesToRetryOnTimeout.load();
    c->m_shouldUseRFC2616RedirectBehaviour = m_shouldUseRFC2616RedirectBehaviour;
    c->m_shouldAttemptPersistentConnection = m_shouldAttemptPersistentConnection;
    c->m_persistentConnectionTimeoutSeconds = m_persistentConnectionTimeoutSeconds.load();
    c->m_maximumInMemoryResponseSize = m_maximumInMemoryResponseSize.load();
    c->m_keepsAnswerInFile = m_keepsAnswerInFile;
    c->m_authenticationScheme = m_authenticationScheme;
    // The cache settings are the new request's own.
    c->m_downloadCache = defaultCache();
    copyExtraFieldsTo(*c);
    return c;
}

BRHTTPRequest::Ptr BRHTTPRequest::HEADRequest()
{
    std::lock_guard lock(m_cancelledLock);
    Ptr head = makeEmptyCopy();
    head->m_requestHeaders = m_requestHeaders;
    head->m_requestCookies = m_requestCookies;
    head->m_useCookiePersistence = m_useCookiePersistence;
    head->m_useKeychainPersistence = m_useKeychainPersistence;
    head->m_useSessionPersistence = m_useSessionPersistence;
    head->m_allowCompressedResponse = m_allowCompressedResponse;
    head->m_username = m_username;
    head->m_password = m_password;
    head->m_domain = m_domain;
    head->m_proxyUsername = m_proxyUsername;
    head->m_proxyPassword = m_proxyPassword;
    head->m_proxyDomain = m_proxyDomain;
    head->m_proxyHost = m_proxyHost;
    head->m_proxyPort = m_proxyPort;
    head->m_proxyType = m_proxyType;
    head->m_shouldPresentAuthenticationDialog = m_shouldPresentAuthenticationDialog;
    head->m_shouldPresentProxyAuthenticationDialog = m_shouldPresentProxyAuthenticationDialog;
    head->m_timeOutSeconds = m_timeOutSeconds.load();
    head->m_useHTTPVersionOne = m_useHTTPVersionOne;
    head->m_validatesSecureCertificate = m_validatesSecureCertificate;
    head->m_clientCertificateIdentity = m_clientCertificateIdentity;
    head->m_PACurl = m_PACurl;
    head->m_shouldPresentCredentialsBeforeChallenge = m_shouldPresentCredentialsBeforeChallenge;
    head->m_numberOfTimesToRetryOnTimeout = m_numberOfTimesToRetryOnTimeout.load();
    head->m_shouldUseRFC2616RedirectBehaviour = m_shouldUseRFC2616RedirectBehaviour;
    head->m_shouldAttemptPersistentConnection = m_shouldAttemptPersistentConnection;
    head->m_persistentConnectionTimeoutSeconds = m_persistentConnectionTimeoutSeconds.load();
    head->m_mainRequest = self();
    head->m_requestMethod = "HEAD";
    return head;
}

// ---- Locked accessors

std::optional<net::URL> BRHTTPRequest::url() const
{
    std::lock_guard lock(m_cancelledLock);
    return m_url;
}

void BRHTTPRequest::setURL(std::optional<net::URL> url)
{
    std::lock_guard lock(m_cancelledLock);
    if (url == m_url)
        return;
    m_url = std::move(url);
    m_request.reset();
    m_redirectURL.reset();
}

std::string BRHTTPRequest::requestMethod() const
{
    std::lock_guard lock(m_cancelledLock);
    return m_requestMethod;
}

void BRHTTPRequest::setRequestMethod(const std::string& method)
{
    std::lock_guard lock(m_cancelledLock);
    if (method == m_requestMethod)
        return;
    m_requestMethod = method;
    if (method == "POST" || method == "PUT" || !m_postBody.empty() || !m_postBodyFilePath.empty())
        m_shouldAttemptPersistentConnection = false;
}

std::shared_ptr<BRHTTPRequestDelegate> BRHTTPRequest::delegate() const
{
    std::lock_guard lock(m_cancelledLock);
    return m_delegate.lock();
}

void BRHTTPRequest::setDelegate(std::weak_ptr<BRHTTPRequestDelegate> delegate)
{
    std::lock_guard lock(m_cancelledLock);
    m_delegate = std::move(delegate);
}

std::shared_ptr<BRHTTPRequestDelegate> BRHTTPRequest::queue() const
{
    std::lock_guard lock(m_cancelledLock);
    return m_queue;
}

void BRHTTPRequest::setQueue(std::shared_ptr<BRHTTPRequestDelegate> queue)
{
    std::lock_guard lock(m_cancelledLock);
    m_queue = std::move(queue);
}

std::shared_ptr<BRProgressDelegate> BRHTTPRequest::uploadProgressDelegate() const
{
    std::lock_guard lock(m_cancelledLock);
    return m_uploadProgressDelegate.lock();
}

void BRHTTPRequest::setUploadProgressDelegate(std::weak_ptr<BRProgressDelegate> receiver)
{
    std::lock_guard lock(m_cancelledLock);
    m_uploadProgressDelegate = std::move(receiver);
}

std::shared_ptr<BRProgressDelegate> BRHTTPRequest::downloadProgressDelegate() const
{
    std::lock_guard lock(m_cancelledLock);
    return m_downloadProgressDelegate.lock();
}

void BRHTTPRequest::setDownloadProgressDelegate(std::weak_ptr<BRProgressDelegate> receiver)
{
    std::lock_guard lock(m_cancelledLock);
    m_downloadProgressDelegate = std::move(receiver);
}

base::ErrorPtr BRHTTPRequest::error() const
{
    std::lock_guard lock(m_cancelledLock);
    return m_error;
}

std::optional<net::HttpHeaders> BRHTTPRequest::responseHeaders() const
{
    std::lock_guard lock(m_propertyLock);
    return m_responseHeaders;
}

std::optional<net::URL> BRHTTPRequest::originalURL() const
{
    std::lock_guard lock(m_propertyLock);
    return m_originalURL;
}

std::string BRHTTPRequest::responseStatusMessage() const
{
    std::lock_guard lock(m_propertyLock);
    return m_responseStatusMessage;
}

std::vector<net::Cookie> BRHTTPRequest::responseCookies() const
{
    std::lock_guard lock(m_propertyLock);
    return m_responseCookies;
}

void BRHTTPRequest::setResponseHead(std::optional<net::HttpHeaders> headers, std::string statusMessage)
{
    std::lock_guard lock(m_propertyLock);
    m_responseHeaders = std::move(headers);
    m_responseStatusMessage = std::move(statusMessage);
}

uint64_t BRHTTPRequest::connectionID() const
{
    std::lock_guard lock(Shared::get().connectionsLock);
    return m_connectionInfo ? m_connectionInfo->id : 0;
}

// ---- Starting

void BRHTTPRequest::startAsynchronous() { sharedQueue().addOperation(self()); }

void BRHTTPRequest::start()
{
    m_keepAlive = self();
    m_started = true;
    m_inProgress = true;
    setExecuting(true);
    auto me = self();
    threadForRequest(this).post([me] {
        base::RunLoop::PostBatch batch(base::RunLoop::main());
        me->main();
    });
}

void BRHTTPRequest::startSynchronous()
{
    m_keepAlive = self();
    m_started = true;
    m_isSynchronous = true;
    m_runLoopMode = BRHTTPRequestRunLoopMode;
    m_inProgress = true;
    if (!m_cancelled && !m_complete) {
        main();
        base::RunLoop::current().runUntil([this] { return m_complete.load(); }, 1e9, m_runLoopMode);
    }
    m_inProgress = false;
    m_keepAlive.reset();
}

void BRHTTPRequest::beginBackgroundTaskIfNeeded()
{
    if (!isMultitaskingSupported() || !m_shouldContinueWhenAppEntersBackground ||
        m_backgroundTask != ui::Application::kInvalidBackgroundTask)
        return;
    std::weak_ptr<BRHTTPRequest> weak = self();
    m_backgroundTask = ui::Application::shared().beginBackgroundTask([weak] {
        auto request = weak.lock();
        if (!request)
            return;
        auto task = request->m_backgroundTask.exchange(ui::Application::kInvalidBackgroundTask);
        if (task != ui::Application::kInvalidBackgroundTask) {
            ui::Application::shared().endBackgroundTask(task);
            request->cancel();
        }
    });
}

void BRHTTPRequest::main()
{
    auto me = self();
    std::lock_guard lock(m_cancelledLock);
    beginBackgroundTaskIfNeeded();
    if (m_error) {
        m_complete = true;
        // An error recorded before the start (a missing file part) is told once, now.
        if (!m_failureReported)
            reportFailure();
        markAsFinished();
        return;
    }
    m_complete = false;
    m_didUseCachedResponse = false;
    auto& shared = Shared::get();
    if (!m_url) {
        failWithError(shared.unableToCreateRequestError);
        return;
    }
    auto mainRequest = m_mainRequest.lock();
    if (!mainRequest) {
        buildPostBody();
        if (m_error)
            return;
    }
    if (m_requestMethod != "GET")
        m_downloadCache.reset();

    m_request = net::HttpRequestHead::make(m_requestMethod, *m_url, m_useHTTPVersionOne);
    if (!m_request) {
        failWithError(shared.unableToCreateRequestError);
        return;
    }
    if (mainRequest) {
        std::lock_guard mainLock(mainRequest->m_cancelledLock);
        mainRequest->buildRequestHeaders();
    }
    buildRequestHeaders();
    if (m_error)
        return;

    if (auto cache = m_downloadCache.lock()) {
        if (m_cachePolicy == BRUseDefaultCachePolicy)
            m_cachePolicy = cache->defaultCachePolicy();
        if (cache->canUseCachedDataForRequest(*this)) {
            useDataFromCache();
            return;
        }
        if (m_cachePolicy & (BRAskServerIfModifiedCachePolicy | BRAskServerIfModifiedWhenStaleCachePolicy)) {
            if (auto cached = cache->cachedResponseHeadersForURL(*m_url)) {
                if (auto etag = cached->first("Etag"))
                    addRequestHeader("If-None-Match", *etag);
                if (auto modified = cached->first("Last-Modified"))
                    addRequestHeader("If-Modified-Since", *modified);
            }
        }
    }

    applyAuthorizationHeader();

    // A name or value that would split the message is refused here, not sent.
    for (const auto& [name, value] : m_requestHeaders) {
        if (!m_request->setHeader(name, value)) {
            failWithError(shared.unableToCreateRequestError);
            return;
        }
    }

    if (!configureProxies())
        return;
    startRequest();
}

// ---- Ending

void BRHTTPRequest::requestFinished()
{
    if (m_error || hasMainRequest())
        return;
    onMain([](BRHTTPRequest& r) {
        if (auto d = r.delegate()) {
            if (r.m_didFinishSelector)
                r.m_didFinishSelector(*d, r);
            else
                d->requestFinished(r);
        }
        if (r.m_completionBlock)
            r.m_completionBlock();
        if (auto q = r.queue())
            q->requestFinished(r);
    });
}

void BRHTTPRequest::reportFailure()
{
    m_failureReported = true;
    onMain([](BRHTTPRequest& r) {
        if (auto d = r.delegate()) {
            if (r.m_didFailSelector)
                r.m_didFailSelector(*d, r);
            else
                d->requestFailed(r);
        }
        if (r.m_failureBlock)
            r.m_failureBlock();
        if (auto q = r.queue())
            q->requestFailed(r);
    });
}

void BRHTTPRequest::failWithError(base::ErrorPtr error)
{
    auto me = self();
    std::lock_guard lock(m_cancelledLock);
    m_complete = true;
    auto& shared = Shared::get();
    if (error && error->code != BRAuthenticationErrorType && error->code != BRTooMuchRedirectionErrorType) {
        {
            std::lock_guard pool(shared.connectionsLock);
            if (m_connectionInfo) {
                m_connectionInfo->request.reset();
                std::erase(shared.connectionPool, m_connectionInfo);
                m_connectionInfo.reset();
            }
        }
        // The record is gone, so nothing could take the connection over.
        m_connectionCanBeReused = false;
        destroyReadStream();
    }
    if (m_connectionCanBeReused && m_connectionInfo) {
        {
            std::lock_guard pool(shared.connectionsLock);
            m_connectionInfo->expires = ConnectionRecord::monotonicNow() + m_persistentConnectionTimeoutSeconds;
        }
        watchIdleConnections();
    }
    if (m_cancelled || m_error)
        return;
    auto cache = m_downloadCache.lock();
    if (cache && (m_cachePolicy & BRFallbackToCacheIfLoadFailsCachePolicy) && cache->canUseCachedDataForRequest(*this)) {
        useDataFromCache();
        return;
    }
    m_error = error;
    // Before the start nobody is told yet: the start reports it (to the queue as well).
    if (!m_started && (!error || error->code != BRRequestCancelledErrorType))
        return;
    if (auto mainRequest = m_mainRequest.lock()) {
        std::lock_guard mainLock(mainRequest->m_cancelledLock);
        if (!mainRequest->m_error) {
            mainRequest->m_error = error;
            mainRequest->reportFailure();
        }
    } else {
        reportFailure();
    }
    if (m_inProgress)
        markAsFinished();
}


void BRHTTPRequest::markAsFinished()
{
    auto me = self();
    m_request.reset();
    if (m_finishedOnce.exchange(true))
        return;
    m_inProgress = false;
    if (isMultitaskingSupported() && m_shouldContinueWhenAppEntersBackground) {
        std::weak_ptr<BRHTTPRequest> weak = me;
        base::RunLoop::main().post([weak] {
            if (auto request = weak.lock()) {
                auto task = request->m_backgroundTask.exchange(ui::Application::kInvalidBackgroundTask);
                if (task != ui::Application::kInvalidBackgroundTask)
                    ui::Application::shared().endBackgroundTask(task);
            }
        });
    }
    // Whoever waits for the operation finds its reports already on their way; the main thread
    // is woken for them when this turn of the network thread ends.
    base::RunLoop::PostBatch::handOverHeld();
    base::Operation::markFinished();
    m_keepAlive.reset();
}

void BRHTTPRequest::cancel()
{
    auto me = self();
    threadForRequest(this).post([me] { me->cancelOnRequestThread(); });
}

void BRHTTPRequest::cancelOnRequestThread()
{
    auto me = self();
    std::lock_guard lock(m_cancelledLock);
    if (m_cancelled || m_complete)
        return;
    failWithError(Shared::get().requestCancelledError);
    m_complete = true;
    cancelLoad();
    // A cancel keeps the part to be continued; one with nothing in it, or with no validator to
    // continue it under, is no start for anything.
    struct stat part {};
    if (!m_temporaryFileDownloadPath.empty() && ::stat(m_temporaryFileDownloadPath.c_str(), &part) == 0 &&
        (part.st_size == 0 || !downloadValidatorOf(m_temporaryFileDownloadPath)))
        removeTemporaryDownloadFile();
    m_cancelled = true;
    base::Operation::cancel();
}

void BRHTTPRequest::clearDelegatesAndCancel()
{
    {
        std::lock_guard lock(m_cancelledLock);
        m_delegate.reset();
        m_queue.reset();
        m_uploadProgressDelegate.reset();
        m_downloadProgressDelegate.reset();
        auto me = self();
        base::performOnMain([me] { me->releaseBlocks(); });
    }
    cancel();
}

void BRHTTPRequest::releaseBlocks()
{
    m_completionBlock = nullptr;
    m_failureBlock = nullptr;
    m_startedBlock = nullptr;
    m_headersReceivedBlock = nullptr;
    m_hasBytesReceivedBlock = m_hasBytesSentBlock = false;
    m_hasDownloadSizeIncrementedBlock = m_hasUploadSizeIncrementedBlock = false;
    m_bytesReceivedBlock = nullptr;
    m_bytesSentBlock = nullptr;
    m_downloadSizeIncrementedBlock = nullptr;
    m_uploadSizeIncrementedBlock = nullptr;
    m_dataReceivedBlock = nullptr;
    m_proxyAuthenticationNeededBlock = nullptr;
    m_authenticationNeededBlock = nullptr;
    m_requestRedirectedBlock = nullptr;
}

void BRHTTPRequest::cancelLoad()
{
    std::lock_guard lock(m_cancelledLock);
    destroyReadStream();
    if (m_postBodyReadStream) {
        m_postBodyReadStream->close();
        m_postBodyReadStream.reset();
    }
    if (m_downloadDestinationPath.empty()) {
        if (!m_complete) {
            base::Bytes().swap(m_rawResponseData);
            m_inflatedResponseData.reset();
            m_responseFile.reset();
        }
    } else if (!m_temporaryFileDownloadPath.empty() || m_unnamedDownloadFile) {
        // An unnamed file goes with its writer.
        m_unnamedDownloadFile = false;
        m_fileDownloadOutputStream.reset();
        m_inflatedFileDownloadOutputStream.reset();
        if (!m_complete) {
            if (!m_allowResumeForFileDownloads)
                removeTemporaryDownloadFile();
            removeTemporaryUncompressedDownloadFile();
        }
    }
    m_dataDecompressor.reset();
    if (!m_authenticationNeeded && !m_willRetryRequest && m_didCreateTemporaryPostDataFile) {
        removeTemporaryUploadFile();
        removeTemporaryCompressedUploadFile();
        m_didCreateTemporaryPostDataFile = false;
    }
}

// ---- Delivery on the main thread

void BRHTTPRequest::onMain(std::function<void(BRHTTPRequest&)> work)
{
    auto me = self();
    // One FIFO for every poster: the main loop's queue. A request run on the main thread
    // itself (synchronously) is already in order.
    if (base::RunLoop::isMainThread())
        work(*me);
    else
        base::RunLoop::main().post([me, work = std::move(work)] { work(*me); });
}

void BRHTTPRequest::requestStarted()
{
    if (m_error || hasMainRequest())
        return;
    auto d = delegate();
    auto q = queue();
    if (!m_startedBlock && !m_didStartSelector && !(d && d->answersRequestStarted()) &&
        !(q && q->answersRequestStarted()))
        return;
    onMain([](BRHTTPRequest& r) {
        if (auto d = r.delegate()) {
            if (r.m_didStartSelector)
                r.m_didStartSelector(*d, r);
            else
                d->requestStarted(r);
        }
        if (r.m_startedBlock)
            r.m_startedBlock();
        if (auto q = r.queue())
            q->requestStarted(r);
    });
}

void BRHTTPRequest::requestReceivedResponseHeaders(net::HttpHeaders headers)
{
    if (m_error || hasMainRequest())
        return;
    auto d = delegate();
    auto q = queue();
    if (!m_headersReceivedBlock && !m_didReceiveResponseHeadersSelector && !(d && d->answersResponseHeaders()) &&
        !(q && q->answersResponseHeaders()))
        return;
    onMain([headers = std::move(headers)](BRHTTPRequest& r) {
        if (auto d = r.delegate()) {
            if (r.m_didReceiveResponseHeadersSelector)
                r.m_didReceiveResponseHeadersSelector(*d, r, headers);
            else
                d->requestDidReceiveResponseHeaders(r, headers);
        }
        if (r.m_headersReceivedBlock)
            r.m_headersReceivedBlock(headers);
        if (auto q = r.queue())
            q->requestDidReceiveResponseHeaders(r, headers);
    });
}

void BRHTTPRequest::requestWillRedirectToURL(net::URL url)
{
    if (m_error || hasMainRequest())
        return;
    onMain([url = std::move(url)](BRHTTPRequest& r) {
        if (auto d = r.delegate()) {
            if (r.m_willRedirectSelector)
                r.m_willRedirectSelector(*d, r, url);
            else
                d->requestWillRedirectToURL(r, url);
        }
        if (auto q = r.queue())
            q->requestWillRedirectToURL(r, url);
    });
}

void BRHTTPRequest::requestRedirected()
{
    if (m_error || hasMainRequest())
        return;
    onMain([](BRHTTPRequest& r) {
        if (auto d = r.delegate())
            d->requestRedirected(r);
        if (r.m_requestRedirectedBlock)
            r.m_requestRedirectedBlock();
    });
}

void BRHTTPRequest::passOnReceivedData(BRData data)
{
    size_t size = data->size();
    m_bytesAwaitingDelivery += size;
    onMain([data = std::move(data)](BRHTTPRequest& r) {
        if (auto d = r.delegate()) {
            if (r.m_didReceiveDataSelector)
                r.m_didReceiveDataSelector(*d, r, data);
            else
                d->requestDidReceiveData(r, data);
        }
        if (r.m_dataReceivedBlock)
            r.m_dataReceivedBlock(data);
        uint64_t before = r.m_bytesAwaitingDelivery.fetch_sub(data->size());
        uint64_t after = before - data->size();
        constexpr uint64_t kResumeBelow = 1 << 20;
        if (before >= kResumeBelow && after < kResumeBelow) {
            auto me = r.self();
            auto loop = [&] {
                std::lock_guard lock(r.m_cancelledLock);
                return r.m_streamLoop;
            }();
            if (loop)
                loop->post([me] { me->resumeReadingIfDrained(); }, base::RunLoop::kCommonModes);
        }
    });
}

// ---- Files

bool BRHTTPRequest::removeFileAtPathError(const std::string& path, base::ErrorPtr* error)
{
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return true;
    if (error)
        *error = brRequestError(BRFileManagementError, "Failed to delete file at path '" + path + "'",
                                base::Error::make("posix", errno, std::strerror(errno)));
    return false;
}

namespace {
template <typename Fail>
bool removeAndClear(std::string& path, Fail fail)
{
    if (path.empty())
        return true;
    base::ErrorPtr error;
    bool ok = BRHTTPRequest::removeFileAtPathError(path, &error);
    if (!ok)
        fail(error);
    path.clear();
    return ok;
}
} // namespace

bool BRHTTPRequest::removeTemporaryDownloadFile()
{
    return removeAndClear(m_temporaryFileDownloadPath, [this](auto e) { failWithError(e); });
}

bool BRHTTPRequest::removeTemporaryUncompressedDownloadFile()
{
    return removeAndClear(m_temporaryUncompressedDataDownloadPath, [this](auto e) { failWithError(e); });
}

bool BRHTTPRequest::removeTemporaryUploadFile()
{
    return removeAndClear(m_postBodyFilePath, [this](auto e) { failWithError(e); });
}

bool BRHTTPRequest::removeTemporaryCompressedUploadFile()
{
    return removeAndClear(m_compressedPostBodyFilePath, [this](auto e) { failWithError(e); });
}
