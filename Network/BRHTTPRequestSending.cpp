#include "Network/BRDataCompressor.h"
#include "Network/BRHTTPRequest.h"
#include "Network/BRHTTPRequestShared.h"
#include "Network/BRInputStream.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/TemporaryFiles.h"
#include "Platform/Net/PacScript.h"
#include "Platform/Net/Proxy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {
base::ErrorPtr posixError(int err) { return base::Error::make("posix", err, std::strerror(err)); }

bool writeAll(int fd, const uint8_t* bytes, size_t length)
{
    while (length > 0) {
        ssize_t n = ::write(fd, bytes, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        length -= size_t(n);
    }
    return true;
}
} // namespace

// ---- Headers

void BRHTTPRequest::addRequestHeader(const std::string& name, const std::string& value)
{
    for (auto& field : m_requestHeaders) {
        if (net::HttpHeaders::equalsIgnoringCase(field.first, name)) {
            field.second = value;
            return;
        }
    }
    m_requestHeaders.emplace_back(name, value);
}

std::optional<std::string> BRHTTPRequest::requestHeader(const std::string& name) const
{
    for (const auto& field : m_requestHeaders)
        if (net::HttpHeaders::equalsIgnoringCase(field.first, name))
            return field.second;
    return std::nullopt;
}

void BRHTTPRequest::buildRequestHeaders()
{
    if (m_haveBuiltRequestHeaders)
        return;
    m_haveBuiltRequestHeaders = true;
    if (auto mainRequest = m_mainRequest.lock()) {
        for (const auto& [name, value] : mainRequest->requestHeaders())
            addRequestHeader(name, value);
        return;
    }
    applyCookieHeader();
    if (!requestHeader("User-Agent")) {
        auto ua = m_userAgentString ? m_userAgentString : defaultUserAgentString();
        if (ua)
            addRequestHeader("User-Agent", *ua);
    }
    if (m_allowCompressedResponse)
        addRequestHeader("Accept-Encoding", "gzip");
    if (m_shouldCompressRequestBody)
        addRequestHeader("Content-Encoding", "gzip");
    prepareResume();
}

void BRHTTPRequest::setResumeHeader(const char* name, const std::optional<std::string>& value)
{
    if (value) {
        addRequestHeader(name, *value);
        if (m_request)
            m_request->setHeader(name, *value);
        return;
    }
    std::erase_if(m_requestHeaders,
                  [&](const auto& field) { return net::HttpHeaders::equalsIgnoringCase(field.first, name); });
    if (m_request)
        m_request->headers().remove(name);
}

bool BRHTTPRequest::prepareResume()
{
    m_partialDownloadSize = 0;
    if (!m_allowResumeForFileDownloads || m_downloadDestinationPath.empty() || m_temporaryFileDownloadPath.empty())
        return true;
    if (!updatePartialDownloadSize())
        return false;
    std::optional<std::string> validator;
    if (m_partialDownloadSize > 0) {
        validator = downloadValidatorOf(m_temporaryFileDownloadPath);
        if (!validator) {
            // Nothing shows which version of the document the part holds: it starts again.
            base::ErrorPtr error;
            if (!removeFileAtPathError(m_temporaryFileDownloadPath, &error)) {
                failWithError(error);
                return false;
            }
            m_partialDownloadSize = 0;
        }
    }
    // A document changed since the part was fetched comes whole (200), never spliced.
    setResumeHeader("Range", validator ? std::optional("bytes=" + std::to_string(m_partialDownloadSize) + "-")
                                       : std::nullopt);
    setResumeHeader("If-Range", validator);
    return true;
}

std::optional<std::string> BRHTTPRequest::downloadValidatorOf(const std::string& path)
{
    char validator[512];
    ssize_t n = ::getxattr(path.c_str(), kDownloadValidatorAttribute, validator, sizeof validator);
    if (n <= 0)
        return std::nullopt;
    return std::string(validator, size_t(n));
}

void BRHTTPRequest::applyCookieHeader()
{
    if (!m_url)
        return;
    if (m_useCookiePersistence) {
        for (auto& cookie : net::CookieStorage::shared().cookiesForURL(*m_url)) {
            auto same = std::find_if(m_requestCookies.begin(), m_requestCookies.end(),
                                     [&](const net::Cookie& c) { return c.sameIdentity(cookie); });
            if (same == m_requestCookies.end())
                m_requestCookies.push_back(std::move(cookie));
        }
    }
    if (!m_requestCookies.empty()) {
        m_cookieHeaderFromCookies = net::Cookie::requestHeaderValue(m_requestCookies);
        addRequestHeader("Cookie", *m_cookieHeaderFromCookies);
    }
}

void BRHTTPRequest::addBasicAuthenticationHeaderWithUsernameAndPassword(const std::string& username,
                                                                        const std::string& password)
{
    std::string pair = username + ":" + password;
    addRequestHeader("Authorization", "Basic " + base64forData(base::Bytes(pair.begin(), pair.end())));
    m_authenticationScheme = "Basic";
}

void BRHTTPRequest::applyAuthorizationHeader()
{
    if (!m_shouldPresentCredentialsBeforeChallenge)
        return;
    auto basic = [](const BRCredentials& c) {
        std::string pair = c.username + ":" + c.password;
        return "Basic " + base64forData(base::Bytes(pair.begin(), pair.end()));
    };
    // A record's own challenge object answers for it; a record without one gives Basic.
    auto applyRecord = [&](const BRCredentialRecord& record, const char* header) {
        if (!record.authentication)
            return m_request->setHeader(header, basic(*record.credentials));
        const auto& c = *record.credentials;
        return record.authentication->applyCredentials({c.username, c.password, c.domain}, *m_request);
    };
    if (!requestHeader("Authorization")) {
        if (!m_username.empty() && !m_password.empty() && m_authenticationScheme == "Basic") {
            addBasicAuthenticationHeaderWithUsernameAndPassword(m_username, m_password);
        } else if (m_useSessionPersistence && m_request) {
            if (auto record = findSessionAuthenticationCredentials(); record && record->credentials) {
                if (applyRecord(*record, "Authorization")) {
                    if (record->authenticationScheme)
                        m_authenticationScheme = *record->authenticationScheme;
                } else {
                    removeAuthenticationCredentialsFromSessionStore(record->credentials);
                }
            }
        }
    }
    if (m_useSessionPersistence && m_request && !requestHeader("Proxy-Authorization")) {
        if (auto record = findSessionProxyAuthenticationCredentials(); record && record->credentials)
            if (!applyRecord(*record, "Proxy-Authorization"))
                removeProxyAuthenticationCredentialsFromSessionStore(record->credentials);
    }
}

bool BRHTTPRequest::updatePartialDownloadSize()
{
    if (!m_allowResumeForFileDownloads || m_downloadDestinationPath.empty() || m_temporaryFileDownloadPath.empty())
        return true;
    struct stat st;
    if (::stat(m_temporaryFileDownloadPath.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        failWithError(brRequestError(BRFileManagementError,
                                     "Failed to get attributes for file at path '" + m_temporaryFileDownloadPath + "'",
                                     posixError(errno)));
        return false;
    }
    m_partialDownloadSize = uint64_t(st.st_size);
    return true;
}

// ---- Body

void BRHTTPRequest::setPostBody(base::Bytes body)
{
    m_postBody = std::move(body);
    m_hasPostBody = true;
}

void BRHTTPRequest::setupPostBody()
{
    if (m_shouldStreamPostDataFromDisk) {
        if (m_postBodyFilePath.empty()) {
            if (auto path = base::createTemporaryFile(kTemporaryBodyPrefix)) {
                m_postBodyFilePath = *path;
                m_didCreateTemporaryPostDataFile = true;
            }
        }
        if (m_postBodyWriteFd < 0 && !m_postBodyFilePath.empty())
            m_postBodyWriteFd = ::open(m_postBodyFilePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    } else {
        m_hasPostBody = true;
    }
}

void BRHTTPRequest::appendPostData(const base::Bytes& data)
{
    setupPostBody();
    if (data.empty())
        return;
    if (m_shouldStreamPostDataFromDisk)
        writeAll(m_postBodyWriteFd, data.data(), data.size());
    else
        m_postBody.insert(m_postBody.end(), data.begin(), data.end());
}

void BRHTTPRequest::appendPostDataFromFile(const std::string& path)
{
    setupPostBody();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    std::vector<uint8_t> chunk(262144);
    for (;;) {
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (m_shouldStreamPostDataFromDisk)
            writeAll(m_postBodyWriteFd, chunk.data(), size_t(n));
        else
            m_postBody.insert(m_postBody.end(), chunk.data(), chunk.data() + n);
    }
    ::close(fd);
}

void BRHTTPRequest::buildPostBody()
{
    if (m_haveBuiltPostBody)
        return;
    if (!m_postBodyFilePath.empty()) {
        if (m_postBodyWriteFd >= 0) {
            ::close(m_postBodyWriteFd);
            m_postBodyWriteFd = -1;
        }
        if (m_shouldCompressRequestBody && m_compressedPostBodyFilePath.empty()) {
            auto path = base::createTemporaryFile(kTemporaryBodyPrefix, ".gz");
            if (!path) {
                failWithError(brRequestError(BRFileManagementError, "Failed to create a temporary file"));
                return;
            }
            m_compressedPostBodyFilePath = *path;
            base::ErrorPtr error;
            if (!BRDataCompressor::compressDataFromFileToFileError(m_postBodyFilePath, m_compressedPostBodyFilePath,
                                                                   &error)) {
                failWithError(error);
                return;
            }
        }
        const std::string& sent = m_shouldCompressRequestBody ? m_compressedPostBodyFilePath : m_postBodyFilePath;
        struct stat st;
        if (::stat(sent.c_str(), &st) != 0) {
            failWithError(brRequestError(BRFileManagementError,
                                         "Failed to get attributes for file at path '" + sent + "'", posixError(errno)));
            return;
        }
        m_postLength = uint64_t(st.st_size);
    } else {
        if (m_shouldCompressRequestBody && !m_postBody.empty()) {
            base::ErrorPtr error;
            m_compressedPostBody = BRDataCompressor::compressDataError(m_postBody, &error);
            if (!m_compressedPostBody) {
                failWithError(error);
                return;
            }
        }
        m_postLength = m_shouldCompressRequestBody && m_compressedPostBody ? m_compressedPostBody->size()
                                                                            : m_postBody.size();
    }
    if (m_postLength > 0) {
        if (m_requestMethod == "GET" || m_requestMethod == "DELETE" || m_requestMethod == "HEAD")
            setRequestMethod("POST");
        addRequestHeader("Content-Length", std::to_string(m_postLength));
    }
    m_haveBuiltPostBody = true;
}

// ---- Proxies

namespace {
// A script on disk, read at once: opened non-blocking, so a FIFO cannot stall the thread.
std::optional<std::string> readPACFile(const net::URL& url)
{
    constexpr size_t kLargestScript = 4 << 20;
    auto path = net::percentDecode(url.path());
    if (!path)
        return std::nullopt;
    int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::string data;
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || data.size() + size_t(n) > kLargestScript) {
            ::close(fd);
            return n == 0 ? std::optional(data) : std::nullopt;
        }
        data.append(buffer, size_t(n));
    }
}
} // namespace

bool BRHTTPRequest::configureProxies()
{
    if (m_isPACFileRequest || !m_proxyHost.empty() || m_proxyPort != 0)
        return true;
    if (!m_PACurl) {
        net::Proxy proxy = net::SystemProxySettings::fromEnvironment().proxyFor(*m_url);
        if (proxy.type == net::Proxy::Type::Direct)
            return true;
        m_proxyHost = proxy.host;
        m_proxyPort = proxy.port;
        m_proxyType = proxy.type == net::Proxy::Type::Socks5 ? "SOCKS" : "HTTP";
        return true;
    }
    fetchPACFile();
    return false;
}

void BRHTTPRequest::fetchPACFile()
{
    const std::string& scheme = m_PACurl->scheme();
    if (scheme == "file") {
        if (auto bytes = readPACFile(*m_PACurl))
            runPACScript(net::PacScript::decode(*bytes));
        startRequest();
        return;
    }
    if (scheme != "http" && scheme != "https") {
        startRequest();
        return;
    }
    auto fetch = requestWithURL(m_PACurl);
    fetch->m_isPACFileRequest = true;
    fetch->setTimeOutSeconds(m_timeOutSeconds);
    auto scriptOf = [](BRHTTPRequest& done) -> std::optional<std::string> {
        if (done.error())
            return std::nullopt;
        return done.responseString();
    };
    if (m_isSynchronous) {
        fetch->startSynchronous();
        finishedDownloadingPACFile(scriptOf(*fetch));
        return;
    }
    {
        // A slot of its own, so requests waiting for scripts cannot starve their fetches.
        std::lock_guard pool(Shared::get().connectionsLock);
        sharedQueue().setMaxConcurrentOperationCount(sharedQueue().maxConcurrentOperationCount() + 1);
    }
    auto me = self();
    std::weak_ptr<BRHTTPRequest> weakFetch = fetch;
    // Runs on the network thread once the fetch has ended either way.
    fetch->setCompletion([me, weakFetch, scriptOf] {
        std::optional<std::string> script;
        if (auto done = weakFetch.lock())
            script = scriptOf(*done);
        threadForRequest(me.get()).post([me, script = std::move(script)] { me->finishedDownloadingPACFile(script); });
    });
    fetch->startAsynchronous();
}

void BRHTTPRequest::finishedDownloadingPACFile(std::optional<std::string> script)
{
    auto me = self();
    std::lock_guard lock(m_cancelledLock);
    if (!m_isSynchronous) {
        std::lock_guard pool(Shared::get().connectionsLock);
        sharedQueue().setMaxConcurrentOperationCount(sharedQueue().maxConcurrentOperationCount() - 1);
    }
    if (m_cancelled || m_error)
        return;
    if (script)
        runPACScript(*script);
    startRequest();
}

void BRHTTPRequest::runPACScript(const std::string& script)
{
    auto proxies = net::PacScript(script).proxiesFor(*m_url);
    if (!proxies || proxies->empty() || proxies->front().type == net::Proxy::Type::Direct)
        return;
    const net::Proxy& first = proxies->front();
    m_proxyHost = first.host;
    m_proxyPort = first.port;
    m_proxyType = first.type == net::Proxy::Type::Socks5 ? "SOCKS" : "HTTP";
}

// ---- The connection pool

void BRHTTPRequest::expirePersistentConnections()
{
    auto& shared = Shared::get();
    std::lock_guard lock(shared.connectionsLock);
    double now = ConnectionRecord::monotonicNow();
    std::vector<ConnectionRecord*> idle;
    std::erase_if(shared.connectionPool, [&](const std::shared_ptr<ConnectionRecord>& record) {
        if (record->request)
            return false;
        if (record->expires > now) {
            idle.push_back(record.get());
            return false;
        }
        if (record->stream)
            record->stream->close();
        return true;
    });
    if (idle.size() <= kMaxIdleConnections)
        return;
    // Requests to many hosts would keep a socket for each: those due to close first go now.
    std::sort(idle.begin(), idle.end(), [](auto* a, auto* b) { return a->expires < b->expires; });
    idle.resize(idle.size() - kMaxIdleConnections);
    std::erase_if(shared.connectionPool, [&](const std::shared_ptr<ConnectionRecord>& record) {
        if (std::find(idle.begin(), idle.end(), record.get()) == idle.end())
            return false;
        if (record->stream)
            record->stream->close();
        return true;
    });
}

void BRHTTPRequest::watchIdleConnections()
{
    auto& shared = Shared::get();
    std::optional<double> due;
    expirePersistentConnections();
    {
        std::lock_guard lock(shared.connectionsLock);
        for (auto& record : shared.connectionPool)
            if (!record->request && (!due || record->expires < *due))
                due = record->expires;
        // Checked already no later than this one needs: nothing to arrange, and nothing
        // for the network thread to wake for.
        if (!due || (shared.idleCheckAt && *shared.idleCheckAt <= *due))
            return;
        shared.idleCheckAt = due;
    }
    base::RunLoop& loop = threadForRequest(nullptr);
    loop.post([at = *due, &loop] {
        auto& shared = Shared::get();
        {
            std::lock_guard lock(shared.connectionsLock);
            if (shared.idleCheckAt != at) // a sooner check took its place
                return;
        }
        if (shared.idleTimer)
            shared.idleTimer->invalidate();
        // A little after the expiry, so that the record is past it when looked at.
        double wait = std::max(0.0, at - ConnectionRecord::monotonicNow()) + 0.01;
        shared.idleTimer = base::Timer::scheduledOn(loop, wait, false, [](base::Timer&) {
            auto& shared = Shared::get();
            {
                std::lock_guard lock(shared.connectionsLock);
                shared.idleCheckAt.reset();
            }
            expirePersistentConnections();
            watchIdleConnections();
        });
    });
}

// ---- Sending

base::RunLoop& BRHTTPRequest::streamLoop() const { return m_streamLoop ? *m_streamLoop : base::RunLoop::current(); }

void BRHTTPRequest::startRequest()
{
    auto me = self();
    std::lock_guard lock(m_cancelledLock);
    if (m_cancelled)
        return;
    auto& shared = Shared::get();

    requestStarted();
    m_downloadComplete = false;
    m_complete = false;
    m_totalBytesRead = 0;
    m_lastBytesRead = 0;
    if (m_redirectCount == 0) {
        std::lock_guard lock(m_propertyLock);
        m_originalURL = m_url;
    }
    if (m_lastBytesSent > 0)
        removeUploadProgressSoFar();
    m_lastBytesSent = 0;
    m_totalBytesSent = 0;
    m_uploadBufferSize = 0;
    m_uploadProgressReported = 0;
    m_contentLength = 0;
    m_hasContentLength = false;
    setResponseHead(std::nullopt, {});
    m_authenticationNeeded = 0;
    m_needsRedirect = false;
    m_rejectedDownloadStatus.reset();
    m_appendToDownloadFile = false;
    m_rangeBodyLength.reset();
    m_connectionCanBeReused = false;
    if (m_downloadDestinationPath.empty()) {
        m_rawResponseData.clear();
        m_responseFile.reset();
    }
    m_inflatedResponseData.reset();
    m_readStreamIsScheduled = false;
    m_readPaused = false;
    m_inflateBacklog.clear();
    m_inflateBacklogPending = false;
    m_inflatedToFile = 0;
    m_endBehindBacklog = false;
    m_streamLoop = base::RunLoop::current().shared();

    std::weak_ptr<BRHTTPRequest> weak = me;
    if (m_shouldStreamPostDataFromDisk && !m_postBodyFilePath.empty() && base::FileManager::exists(m_postBodyFilePath)) {
        bool compressed = !m_compressedPostBodyFilePath.empty() && base::FileManager::exists(m_compressedPostBodyFilePath);
        m_postBodyReadStream = BRInputStream::inputStreamWithFileAtPathRequest(
            compressed ? m_compressedPostBodyFilePath : m_postBodyFilePath, weak);
    } else if (!m_postBody.empty()) {
        const base::Bytes& body = m_shouldCompressRequestBody && m_compressedPostBody ? *m_compressedPostBody : m_postBody;
        m_postBodyReadStream = BRInputStream::inputStreamWithDataRequest(
            std::make_shared<const std::string>(body.begin(), body.end()), weak);
    } else {
        m_postBodyReadStream.reset();
    }
    m_readStream = net::HttpReadStream::create(*m_request, m_postBodyReadStream);

    if (m_url->scheme() == "https") {
        net::TlsOptions tls;
        tls.validatesCertificate = m_validatesSecureCertificate;
        tls.identity = m_clientCertificateIdentity;
        m_readStream->setTlsOptions(tls);
    }

    if (!m_proxyHost.empty() && m_proxyPort != 0) {
        if (m_proxyType.empty())
            m_proxyType = "HTTP";
        net::Proxy proxy;
        proxy.type = m_proxyType == "SOCKS" ? net::Proxy::Type::Socks5 : net::Proxy::Type::Http;
        proxy.host = m_proxyHost;
        proxy.port = m_proxyPort;
        m_readStream->setProxy(proxy);
    }

    expirePersistentConnections();
    std::shared_ptr<net::HttpReadStream> oldStream;
    {
        std::lock_guard pool(shared.connectionsLock);
        const net::URL& url = *m_url;
        int port = url.port().value_or(0);
        if (url.host().empty() || url.scheme().empty()) {
            m_connectionInfo.reset();
            m_shouldAttemptPersistentConnection = false;
        }
        if (m_shouldAttemptPersistentConnection || (inConnectionHandshake() && !url.host().empty())) {
            if (m_connectionInfo) {
                auto& record = *m_connectionInfo;
                if (record.host != url.host() || record.scheme != url.scheme() || record.port != port) {
                    m_connectionInfo.reset();
                } else if (!record.request && record.expires <= ConnectionRecord::monotonicNow()) {
                    std::erase(shared.connectionPool, m_connectionInfo);
                    m_connectionInfo.reset();
                } else if (record.request && *record.request != m_requestID) {
                    m_connectionInfo.reset();
                }
            }
            if (!m_connectionInfo && !m_avoidPooledConnection) {
                for (auto& record : shared.connectionPool)
                    if (!record->request && record->host == url.host() && record->scheme == url.scheme() &&
                        record->port == port)
                        m_connectionInfo = record;
            }
            if (m_connectionInfo) {
                oldStream = m_connectionInfo->stream;
            } else {
                m_connectionInfo = std::make_shared<ConnectionRecord>();
                m_connectionInfo->id = ++shared.nextConnectionNumberToCreate;
                m_connectionInfo->host = url.host();
                m_connectionInfo->port = port;
                m_connectionInfo->scheme = url.scheme();
                shared.connectionPool.push_back(m_connectionInfo);
            }
            if (m_requestID == 0)
                m_requestID = ++shared.nextRequestID;
            m_connectionInfo->request = m_requestID;
            m_connectionInfo->stream = m_readStream;
            m_readStream->setPersistent(true);
            m_readStream->setStreamID(std::to_string(m_connectionInfo->id));
        }
    }

    if (!m_readStreamIsScheduled && !isHoldingRequestsForThrottle())
        scheduleReadStream();

    m_readStream->setClient([weak](net::StreamEvent event) {
        if (auto request = weak.lock())
            request->handleNetworkEvent(event);
    });
    bool opened = m_readStream->open();
    // The connection it stood for has been taken over, or is closed now.
    if (oldStream && oldStream != m_readStream)
        oldStream->close();
    if (!opened) {
        m_connectionCanBeReused = false;
        destroyReadStream();
        failWithError(brRequestError(BRInternalErrorWhileBuildingRequestType, "Unable to start HTTP connection"));
        return;
    }

    if (!hasMainRequest()) {
        if (m_shouldResetUploadProgress) {
            incrementUploadSizeBy(m_showAccurateProgress ? int64_t(m_postLength) : 1);
            updateProgressIndicatorWithProgressOfTotal([me] { return me->uploadProgressDelegate(); }, 0, 1, me);
        }
        if (m_shouldResetDownloadProgress && m_partialDownloadSize == 0)
            updateProgressIndicatorWithProgressOfTotal([me] { return me->downloadProgressDelegate(); }, 0, 1, me);
    }

    touchActivity();
    m_lowSpeedWindowStart = 0;
    m_attemptStart = streamLoop().now();
    setStatusTimer(base::Timer::scheduledOn(
        streamLoop(), 0.25, true,
        [weak](base::Timer&) {
            if (auto request = weak.lock())
                request->updateStatus();
        },
        m_runLoopMode));
}

void BRHTTPRequest::scheduleReadStream()
{
    if (!m_readStream || m_readStreamIsScheduled)
        return;
    bool show = false;
    {
        auto& shared = Shared::get();
        std::lock_guard pool(shared.connectionsLock);
        ++shared.runningRequestCount;
        show = shared.shouldUpdateNetworkActivityIndicator;
    }
    if (show)
        showNetworkActivityIndicator();
    touchActivity();
    m_readStream->schedule(streamLoop(), m_runLoopMode);
    m_readStreamIsScheduled = true;
}

void BRHTTPRequest::unscheduleReadStream()
{
    if (!m_readStreamIsScheduled)
        return;
    bool hide = false;
    {
        auto& shared = Shared::get();
        std::lock_guard pool(shared.connectionsLock);
        hide = --shared.runningRequestCount == 0 && shared.shouldUpdateNetworkActivityIndicator;
    }
    if (hide)
        hideNetworkActivityIndicatorAfterDelay();
    if (m_readStream)
        m_readStream->unschedule();
    m_readStreamIsScheduled = false;
}

void BRHTTPRequest::destroyReadStream()
{
    if (!m_readStream)
        return;
    unscheduleReadStream();
    m_readStream->setClient(nullptr);
    m_readStream->unschedule();
    // A reusable stream stays open: its pool record refers to it.
    if (!m_connectionCanBeReused)
        m_readStream->close();
    m_readStream.reset();
}

void BRHTTPRequest::resumeReadingIfDrained()
{
    std::lock_guard lock(m_cancelledLock);
    if (!m_readPaused || m_complete || m_cancelled)
        return;
    if (!inflateBacklog())
        return;
    m_readPaused = false;
    if (m_endBehindBacklog) {
        m_endBehindBacklog = false;
        handleStreamComplete();
        return;
    }
    if (m_readStream && m_readStreamIsScheduled)
        m_readStream->schedule(streamLoop(), m_runLoopMode);
}

void BRHTTPRequest::performThrottling()
{
    if (!m_readStream)
        return;
    measureBandwidthUsage();
    if (isBandwidthThrottled()) {
        auto wake = throttleWakeUpTime();
        if (!wake)
            return;
        bool future = *wake > base::Date::now();
        if (future && m_readStreamIsScheduled)
            unscheduleReadStream();
        else if (!future && !m_readStreamIsScheduled)
            scheduleReadStream();
    } else if (!m_readStreamIsScheduled) {
        scheduleReadStream();
    }
}

// ---- The status timer (its checks: BRHTTPRequestProgress.cpp)

void BRHTTPRequest::setStatusTimer(std::shared_ptr<base::Timer> timer)
{
    if (m_statusTimer && m_statusTimer != timer)
        m_statusTimer->invalidate();
    m_statusTimer = std::move(timer);
}
