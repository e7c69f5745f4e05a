#include "Network/BRDataDecompressor.h"
#include "Network/BRHTTPRequest.h"
#include "Network/BRHTTPRequestShared.h"
#include "Network/BRInputStream.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/TemporaryFiles.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {
constexpr uint64_t kPauseReadingAbove = 4u << 20;

base::ErrorPtr posixError(int err) { return base::Error::make("posix", err, std::strerror(err)); }

// Makes room for `needed` bytes in an answer held in memory. A large buffer asks for huge
// pages before it is first written: filling 100 MiB a 4 KiB page fault at a time costs more
// than receiving it.
void reserveAnswer(base::Bytes& data, size_t needed, uint64_t limit)
{
    if (needed <= data.capacity())
        return;
    data.reserve(size_t(std::max<uint64_t>(needed, std::min<uint64_t>(data.capacity() * 2, limit))));
    constexpr size_t kHugePage = 2u << 20;
    if (data.capacity() < 2 * kHugePage)
        return;
    auto first = (reinterpret_cast<uintptr_t>(data.data()) + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    auto last = (reinterpret_cast<uintptr_t>(data.data()) + data.capacity()) & ~uintptr_t(kHugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE); // a hint; refusal is harmless
}

base::ErrorPtr connectionFailure(base::ErrorPtr cause, bool tls = false)
{
    std::string text = "A connection failure occurred";
    if (tls)
        text += ": SSL problem (Possible causes may include a bad/expired/self-signed certificate, clock set to wrong date)";
    return brRequestError(BRConnectionFailureErrorType, text, std::move(cause));
}

std::optional<uint64_t> parseDecimal(std::string_view text)
{
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > uint64_t(INT64_MAX))
        return std::nullopt;
    return value;
}

// "bytes S-E/T" continuing a part of `start` bytes to the end: the length of the rest.
std::optional<uint64_t> contentRangeRest(const std::string& value, uint64_t start)
{
    uint64_t s = 0, e = 0, t = 0;
    int used = 0;
    if (std::sscanf(value.c_str(), "bytes %" SCNu64 "-%" SCNu64 "/%" SCNu64 "%n", &s, &e, &t, &used) != 3 ||
        used != int(value.size()))
        return std::nullopt;
    if (s != start || t == 0 || e != t - 1 || s > e)
        return std::nullopt;
    return e - s + 1;
}

// A named file a rename puts onto `destination` at once. Among the engine's own temporaries
// (which go at the next launch, whatever killed the program) when they are on the
// destination's file system; only otherwise beside the destination.
std::optional<std::string> renamableTemporary(const std::string& destination)
{
    auto folder = std::filesystem::path(destination).parent_path();
    struct stat home{}, there{};
    if (::stat(base::Paths::tmp().c_str(), &home) == 0 && ::stat(folder.empty() ? "." : folder.c_str(), &there) == 0 &&
        home.st_dev == there.st_dev) {
        if (auto path = base::createTemporaryFile(kTemporaryInflatedPrefix))
            return path;
    }
    std::string pattern = destination + ".partXXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return std::nullopt;
    ::close(fd);
    return pattern;
}

// A name of the engine's own temporaries, or beside `path` when `own` is false.
std::optional<std::string> randomName(const std::string& path, bool own)
{
    unsigned char random[12];
    if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random))
        return std::nullopt;
    std::string name = own ? base::Paths::tmp() + "/" + kTemporaryDownloadPrefix : path + ".part";
    for (unsigned char r : random)
        name += "0123456789abcdefghijklmnopqrstuvwxyz"[r % 36];
    return name;
}

// Replaces `to` with `from` in one step; across file systems through a synced sibling copy.
bool moveIntoPlace(const std::string& from, const std::string& to, int& err)
{
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    err = errno;
    if (err != EXDEV)
        return false;
    if (!base::FileManager::copyFileAtomically(from, to, 0644))
        return false;
    ::unlink(from.c_str());
    return true;
}
} // namespace

// ---- Output files

std::unique_ptr<BRHTTPRequest::OutputFile> BRHTTPRequest::OutputFile::open(const std::string& path, bool append)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0644);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<OutputFile>(new OutputFile(fd));
}

std::unique_ptr<BRHTTPRequest::OutputFile> BRHTTPRequest::OutputFile::openUnnamed(const std::string& folder)
{
    // Named later through /proc; without it the file could never be named.
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (!canName)
        return nullptr;
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<OutputFile>(new OutputFile(fd));
}

bool BRHTTPRequest::OutputFile::linkInto(const std::string& path)
{
    std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno != EEXIST)
        return false;
    // A file is there: named first among the engine's temporaries (or, on another file
    // system, beside it), then renamed over it, so it is replaced whole and a kill between
    // the two leaves nothing where the documents are.
    bool own = true;
    for (int attempt = 0; attempt < 16; ++attempt) {
        auto named = randomName(path, own);
        if (!named)
            return false;
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named->c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST)
                continue;
            if (own && (errno == EXDEV || errno == ENOENT)) {
                own = false;
                continue;
            }
            return false;
        }
        if (::rename(named->c_str(), path.c_str()) == 0)
            return true;
        int err = errno;
        ::unlink(named->c_str());
        errno = err;
        return false;
    }
    errno = EEXIST;
    return false;
}

BRHTTPRequest::OutputFile::~OutputFile() { close(); }

bool BRHTTPRequest::OutputFile::write(const uint8_t* bytes, size_t length)
{
    while (length > 0) {
        ssize_t n = ::write(m_fd, bytes, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        length -= size_t(n);
    }
    return true;
}

bool BRHTTPRequest::OutputFile::close()
{
    if (m_fd < 0)
        return true;
    int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0;
}

// ---- Answer access

bool BRHTTPRequest::isResponseCompressed() const
{
    if (!m_responseHeaders)
        return false;
    auto encoding = m_responseHeaders->combined("Content-Encoding");
    return encoding && encoding->find("gzip") != std::string::npos;
}

std::optional<base::Bytes> BRHTTPRequest::responseData() const
{
    if (isResponseCompressed() && waitsToInflate()) {
        if (m_inflatedResponseData)
            return m_inflatedResponseData;
        base::ErrorPtr error;
        bool tooLarge = false;
        return BRDataDecompressor::uncompressDataLimitError(m_rawResponseData, m_maximumInMemoryResponseSize, &tooLarge,
                                                            &error);
    }
    return m_rawResponseData;
}

std::optional<base::Bytes> BRHTTPRequest::takeResponseData()
{
    if (isResponseCompressed() && waitsToInflate()) {
        auto data = m_inflatedResponseData ? std::move(m_inflatedResponseData) : responseData();
        m_inflatedResponseData.reset();
        m_rawResponseData = base::Bytes{};
        return data;
    }
    return std::exchange(m_rawResponseData, base::Bytes{});
}

std::optional<std::string> BRHTTPRequest::responseString() const
{
    auto data = responseData();
    if (!data)
        return std::nullopt;
    return net::decodeToUTF8(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()),
                             m_responseEncoding);
}

// ---- Events

void BRHTTPRequest::handleNetworkEvent(net::StreamEvent event)
{
    auto me = self();
    // The reports of one event (headers, data, progress, the end) reach the main thread together.
    base::RunLoop::PostBatch batch(base::RunLoop::main());
    {
        std::lock_guard lock(m_cancelledLock);
        if (m_complete || m_cancelled)
            return;
        switch (event) {
        case net::StreamEvent::BytesAvailable: handleBytesAvailable(); break;
        case net::StreamEvent::ErrorOccurred: handleStreamError(); break;
        case net::StreamEvent::EndEncountered: handleStreamComplete(); break;
        }
        performThrottling();
    }
    if (m_downloadComplete && m_needsRedirect) {
        if (!willAskDelegateToConfirmRedirect())
            performRedirect();
    } else if (m_downloadComplete && m_authenticationNeeded) {
        attemptToApplyCredentialsAndResume();
    }
}

void BRHTTPRequest::handleStreamError()
{
    if (!m_readStream)
        return;
    net::StreamError streamError = m_readStream->error();
    if (!m_error) {
        // Only a kept-alive connection that died before any byte of the answer is retried:
        // the server cannot have acted on the request then, so nothing is sent twice.
        bool dropped = streamError.kind == net::ErrorKind::ConnectionLost ||
                       streamError.kind == net::ErrorKind::BrokenPipe;
        if (dropped && m_readStream->reusedConnection() && !m_responseHeaders && m_totalBytesRead == 0 &&
            retryUsingNewConnection())
            return;
        cancelLoad();
        failWithError(connectionFailure(streamError.toError(), streamError.kind == net::ErrorKind::Tls));
    } else {
        cancelLoad();
    }
}

// ---- Headers

bool BRHTTPRequest::readContentLength()
{
    auto values = m_responseHeaders->all("Content-Length");
    if (values.empty())
        return true;
    std::optional<uint64_t> length;
    for (const auto& value : values) {
        // One field may carry a list of equal values.
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = value.find(',', start);
            std::string part(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            part.erase(0, part.find_first_not_of(" \t"));
            part.erase(part.find_last_not_of(" \t") + 1);
            auto parsed = parseDecimal(part);
            if (!parsed || (length && *length != *parsed))
                return false;
            length = parsed;
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    if (*length > uint64_t(INT64_MAX) - m_partialDownloadSize)
        return false;
    m_contentLength = *length;
    m_hasContentLength = true;
    return true;
}

void BRHTTPRequest::parseStringEncodingFromHeaders()
{
    net::StringEncoding parsed = 0;
    parseMimeTypeAndResponseEncodingFromContentType(nullptr, &parsed, m_responseHeaders->first("Content-Type"));
    m_responseEncoding = parsed != 0 ? parsed : m_defaultResponseEncoding;
}

void BRHTTPRequest::readResponseHeaders()
{
    m_authenticationNeeded = 0;
    auto head = m_readStream ? m_readStream->responseHead() : nullptr;
    if (!head)
        return;
    setResponseHead(head->headers, head->statusLine());
    m_responseStatusCode = head->status;

    if (auto cache = m_downloadCache.lock(); cache && cache->canUseCachedDataForRequest(*this)) {
        cache->updateExpiryForRequest(*this, m_secondsToCache);
        useDataFromCache();
        return;
    }
    if (m_responseStatusCode == 401)
        m_authenticationNeeded = 1;
    else if (m_responseStatusCode == 407)
        m_authenticationNeeded = 2;

    if (!m_authenticationNeeded && m_authenticationScheme == "Basic" && !m_username.empty() && !m_password.empty() &&
        m_useSessionPersistence) {
        BRCredentialRecord record;
        record.credentials = std::make_shared<const BRCredentials>(BRCredentials{m_username, m_password, {}});
        record.url = m_url;
        record.authenticationScheme = m_authenticationScheme;
        storeAuthenticationCredentialsInSessionStore(std::move(record));
    }

    parseStringEncodingFromHeaders();

    const auto& fields = m_responseHeaders->fields();
    std::vector<net::Cookie> cookies;
    if (m_useCookiePersistence) {
        cookies = net::CookieStorage::shared().setCookiesFromResponseHeaders(fields, *m_url);
        if (!cookies.empty())
            addSessionCookies(cookies);
    } else {
        cookies = net::Cookie::fromResponseHeaders(fields, *m_url, base::Date::now());
    }
    {
        std::lock_guard lock(m_propertyLock);
        m_responseCookies = std::move(cookies);
    }

    if (!willRedirect()) {
        if (!readContentLength()) {
            cancelLoad();
            failWithError(connectionFailure(
                base::Error::make(net::kStreamErrorDomain, int(net::ErrorKind::Protocol), "bad Content-Length")));
            return;
        }
        // A file gets only a whole answer or the continuation of the one it holds.
        if (!m_downloadDestinationPath.empty() && !m_authenticationNeeded) {
            int status = m_responseStatusCode;
            auto range = m_responseHeaders->first("Content-Range");
            auto rest = status == 206 && range ? contentRangeRest(*range, m_partialDownloadSize) : std::nullopt;
            // A stated length past the file's bound is refused before any of the body is read.
            uint64_t bound = m_maximumDownloadSize;
            if (status == 200) {
                if (bound && m_hasContentLength && m_contentLength > bound) {
                    failPastDownloadBound();
                    return;
                }
                m_appendToDownloadFile = false;
                m_partialDownloadSize = 0;
                rememberDownloadValidator();
            } else if (rest) {
                if (m_hasContentLength && m_contentLength != *rest) {
                    failRangeMismatch("length");
                    return;
                }
                if (bound && m_partialDownloadSize + *rest > bound) {
                    failPastDownloadBound();
                    return;
                }
                // A server that ignored If-Range, or answers for another version, or did not
                // say which: the part is of no use to any later attempt either.
                if (m_partialDownloadSize > 0 && !rangeIsOfThePartsVersion()) {
                    refuseContinuation("is of another version of the file at path '" + m_downloadDestinationPath +
                                       "'");
                    return;
                }
                // A range of a compressed body is no continuation of the plain bytes kept.
                if (m_partialDownloadSize > 0 && isResponseCompressed()) {
                    refuseContinuation("is compressed and cannot continue the file at path '" +
                                       m_downloadDestinationPath + "'");
                    return;
                }
                m_rangeBodyLength = rest;
                m_appendToDownloadFile = m_partialDownloadSize > 0;
            } else {
                m_rejectedDownloadStatus = status;
                // A range the server cannot give, or gives wrong: the part goes at once, so that
                // no later attempt asks for it again, however this one ends.
                if (status == 206 || status == 416)
                    removeTemporaryDownloadFile();
            }
        }
        announceDownloadSize();
        // A file whose stated length would take the disk past its reserve is refused before
        // any of it is read: the room is not there for it.
        if (!statedLengthHasRoom()) {
            failFileWrite(ENOSPC);
            return;
        }
    }

    if (m_shouldAttemptPersistentConnection || inConnectionHandshake()) {
        std::string connection;
        if (auto value = m_responseHeaders->first("Connection")) {
            connection = *value;
            for (auto& c : connection)
                c = char(std::tolower(static_cast<unsigned char>(c)));
        }
        if ((!head->isHttp10() || connection == "keep-alive") && connection != "close") {
            if (auto keepAlive = m_responseHeaders->first("Keep-Alive")) {
                int timeout = 0, max = 0;
                std::string lower = *keepAlive;
                for (auto& c : lower)
                    c = char(std::tolower(static_cast<unsigned char>(c)));
                if (size_t at = lower.find("timeout="); at != std::string::npos)
                    timeout = std::atoi(lower.c_str() + at + 8);
                if (size_t at = lower.find("max="); at != std::string::npos)
                    max = std::atoi(lower.c_str() + at + 4);
                if (max > 5) {
                    m_connectionCanBeReused = true;
                    m_persistentConnectionTimeoutSeconds = timeout;
                }
            } else {
                m_connectionCanBeReused = true;
            }
        }
    }

    requestReceivedResponseHeaders(*m_responseHeaders);
}

void BRHTTPRequest::rememberDownloadValidator()
{
    if (!m_allowResumeForFileDownloads || m_temporaryFileDownloadPath.empty())
        return;
    // A weak tag cannot ask for a range; the date is the fallback. The bytes of a compressed
    // answer are not the file's, so no range of the file continues them.
    std::optional<std::string> validator;
    if (isResponseCompressed())
        validator.reset();
    else if (auto tag = m_responseHeaders->first("ETag"); tag && tag->rfind("W/", 0) != 0)
        validator = tag;
    else
        validator = m_responseHeaders->first("Last-Modified");
    // The file is written afresh by this answer: made now, so the mark has a place to go.
    auto file = OutputFile::open(m_temporaryFileDownloadPath, false);
    if (!file)
        return;
    m_fileDownloadOutputStream = std::move(file);
    // A mark of an earlier version outlives the truncation: it goes unless this one replaces it.
    // A file system that keeps no mark leaves a part that is begun again, never continued.
    int fd = m_fileDownloadOutputStream->fd();
    if (!validator || validator->empty() || validator->size() >= 512 ||
        ::fsetxattr(fd, kDownloadValidatorAttribute, validator->data(), validator->size(), 0) != 0)
        ::fremovexattr(fd, kDownloadValidatorAttribute);
}

bool BRHTTPRequest::rangeIsOfThePartsVersion() const
{
    // Only the server's word that it is the same file continues a part: a 206 that shows no
    // validator has not said so.
    auto kept = downloadValidatorOf(m_temporaryFileDownloadPath);
    if (!kept)
        return false;
    // The validator the part was begun with is a quoted tag or a date.
    bool tag = kept->starts_with('"');
    auto shown = m_responseHeaders->first(tag ? "ETag" : "Last-Modified");
    return shown && *shown == *kept;
}

void BRHTTPRequest::refuseContinuation(const std::string& what)
{
    cancelLoad();
    removeTemporaryDownloadFile();
    failWithError(brRequestError(BRFileManagementError, "The partial answer " + what));
}

void BRHTTPRequest::failPastDownloadBound()
{
    // Nothing of it is kept to resume from: past its bound it is no such file.
    cancelLoad();
    removeTemporaryDownloadFile();
    std::string text = "answer larger than the " + std::to_string(m_maximumDownloadSize.load()) +
                       " bytes listed for the file at path '" + m_downloadDestinationPath + "'";
    failWithError(brRequestError(BRConnectionFailureErrorType, "The request failed: " + text,
                                 base::Error::make(kAnswerTooLargeDomain, 2, text)));
}

void BRHTTPRequest::failFileWrite(int err)
{
    // The file written, or where it was going when none was made yet (an unnamed one, or the
    // reserve met before the first write).
    std::string path = m_temporaryFileDownloadPath.empty() ? m_downloadDestinationPath : m_temporaryFileDownloadPath;
    bool full = m_diskReserveReached || err == ENOSPC || err == EDQUOT;
    cancelLoad();
    // Stopped short of a full disk: the part is no start for a later attempt.
    if (full)
        removeTemporaryDownloadFile();
    base::ErrorPtr cause = posixError(err);
    if (full)
        cause = base::Error::make(kDiskFullDomain, err, std::strerror(err));
    failWithError(brRequestError(BRFileManagementError, "Failed to write to file at path '" + path + "'", cause));
}

bool BRHTTPRequest::isDiskFull(const base::ErrorPtr& error)
{
    for (const base::Error* e = error.get(); e; e = e->underlying.get())
        if (e->domain == kDiskFullDomain)
            return true;
    return false;
}

void BRHTTPRequest::failRangeMismatch(const char* what)
{
    // A server that answers a range wrongly would answer the same range wrongly again: the part
    // goes, and the next attempt asks for the whole file.
    m_fileDownloadOutputStream.reset();
    cancelLoad();
    removeTemporaryDownloadFile();
    failWithError(brRequestError(BRFileManagementError,
                                 std::string("The partial answer's ") + what + " does not match its range"));
}

// ---- Redirects

bool BRHTTPRequest::willRedirect()
{
    int status = m_responseStatusCode;
    auto location = m_responseHeaders->first("Location");
    if (!m_shouldRedirect || !location || (status != 301 && status != 302 && status != 303 && status != 307))
        return false;
    auto target = m_url->resolve(*location);
    if (!target)
        return false;

    requestRedirected();

    bool keepsMethod = status == 307 || ((status == 301 || status == 302) && m_shouldUseRFC2616RedirectBehaviour);
    if (!keepsMethod) {
        m_requestMethod = "GET";
        m_postBody.clear();
        m_hasPostBody = false;
        m_compressedPostBody.reset();
        m_postLength = 0;
        BRHeaderList kept;
        for (const auto& field : m_requestHeaders)
            if (net::HttpHeaders::equalsIgnoringCase(field.first, "User-Agent") ||
                net::HttpHeaders::equalsIgnoringCase(field.first, "Accept"))
                kept.push_back(field);
        m_requestHeaders = std::move(kept);
        m_haveBuiltRequestHeaders = false;
    }

    // Credentials and a caller's own cookies stay with the origin they were given for; the
    // stored cookies are chosen again for the new address when it is sent to.
    bool crossOrigin = target->scheme() != m_url->scheme() || target->host() != m_url->host() ||
                       target->effectivePort() != m_url->effectivePort();
    auto cookieHeader = requestHeader("Cookie");
    bool builtCookieHeader = cookieHeader && cookieHeader == m_cookieHeaderFromCookies;
    std::erase_if(m_requestHeaders, [&](const auto& field) {
        if (net::HttpHeaders::equalsIgnoringCase(field.first, "Cookie"))
            return builtCookieHeader || crossOrigin;
        return crossOrigin && net::HttpHeaders::equalsIgnoringCase(field.first, "Authorization");
    });
    m_cookieHeaderFromCookies.reset();
    if (crossOrigin)
        *target = target->withoutUserInfo();
    m_redirectURL = target->withoutFragment();
    m_needsRedirect = true;
    m_requestCookies.clear();
    return true;
}

bool BRHTTPRequest::willAskDelegateToConfirmRedirect()
{
    std::optional<net::URL> url;
    {
        std::lock_guard lock(m_cancelledLock);
        auto d = m_delegate.lock();
        bool answers = (d && (m_willRedirectSelector || d->answersWillRedirect())) ||
                       (m_queue && m_queue->answersWillRedirect());
        if (!answers || !m_redirectURL)
            return false;
        url = std::move(m_redirectURL);
        m_redirectURL.reset();
    }
    requestWillRedirectToURL(*url);
    return true;
}

void BRHTTPRequest::redirectToURL(const net::URL& url)
{
    {
        std::lock_guard lock(m_cancelledLock);
        m_redirectURL = url;
    }
    auto me = self();
    threadForRequest(this).post([me] { me->performRedirect(); });
}

void BRHTTPRequest::performRedirect()
{
    auto me = self();
    std::lock_guard lock(m_cancelledLock);
    if (!m_redirectURL || m_error || m_cancelled)
        return;
    net::URL target = *m_redirectURL;
    setURL(target);
    // Headers kept for the new address take its cookies now; rebuilt ones take them when built.
    if (m_haveBuiltRequestHeaders)
        applyCookieHeader();
    m_complete = true;
    m_needsRedirect = false;
    ++m_redirectCount;
    if (target.scheme() != "http" && target.scheme() != "https") {
        failWithError(Shared::get().unableToCreateRequestError);
        return;
    }
    if (m_redirectCount < 6) {
        main();
    } else {
        failWithError(Shared::get().tooMuchRedirectionError);
        m_complete = true;
    }
}

// ---- Body

void BRHTTPRequest::handleBytesAvailable()
{
    if (!m_responseHeaders)
        readResponseHeaders();
    // Held-back bytes go first; reading resumes once they have.
    if (m_complete || m_inflateBacklogPending || !m_readStream)
        return;
    // What has arrived of a body of known length is taken in one piece (up to 256 KiB): a
    // small file is one read and one write, not a piece per turn of the loop.
    size_t size = std::min<size_t>(m_readStream->bytesAvailable(), m_hasContentLength ? 262144 : 16384);
    if (size == 0)
        return;
    if (isBandwidthThrottled()) {
        auto& shared = Shared::get();
        std::lock_guard lock(shared.bandwidthLock);
        if (shared.maxBandwidthPerSecond > 0) {
            int64_t room = int64_t(shared.maxBandwidthPerSecond) - int64_t(shared.bandwidthUsedInLastSecond);
            if (room < 0)
                size = 1;
            else if (room / 4 < int64_t(size))
                size = size_t(room / 4);
        }
        if (size < 1)
            size = 1;
    }

    auto buffer = std::make_shared<base::Bytes>(size);
    ssize_t n = m_readStream->read(buffer->data(), size);
    if (n < 0) {
        handleStreamError();
        return;
    }
    if (n == 0)
        return;
    buffer->resize(size_t(n));
    BRData raw = std::move(buffer);

    bool inflating = isResponseCompressed() && !waitsToInflate();
    if (inflating && !m_dataDecompressor)
        m_dataDecompressor = BRDataDecompressor::decompressor();

    m_totalBytesRead += uint64_t(n);
    touchActivity();
    // The pace is measured from the body's first byte.
    notePaceArrival(uint64_t(n));
    incrementBandwidthUsedInLastSecond(uint64_t(n));

    // The body of an answer that is followed elsewhere is nobody's.
    if (m_needsRedirect)
        return;

    auto d = m_delegate.lock();
    bool receivers = m_dataReceivedBlock || (d && (m_didReceiveDataSelector || d->answersDidReceiveData()));
    bool toFile = !m_downloadDestinationPath.empty();
    bool writeFile = toFile && !m_rejectedDownloadStatus && !m_authenticationNeeded;
    auto fileFailure = [&] { failFileWrite(errno); };
    if (m_rangeBodyLength && m_totalBytesRead > *m_rangeBodyLength) {
        failRangeMismatch("body");
        return;
    }
    // A body that never ends would fill the disk: past the size the file was listed with, it
    // is no such file. Nothing of it is kept to resume from.
    if (uint64_t bound = m_maximumDownloadSize; writeFile && bound && m_partialDownloadSize + m_totalBytesRead > bound) {
        failPastDownloadBound();
        return;
    }
    if (writeFile && !writeRawChunkToFile(raw)) {
        fileFailure();
        return;
    }

    if (!inflating) {
        if (receivers)
            passOnReceivedData(raw);
        switch (toFile ? Appended::Taken : appendToResponseData(raw->data(), raw->size())) {
        case Appended::Taken: break;
        case Appended::TooLarge: failAnswerTooLarge(); return;
        case Appended::FileFailed: {
            int err = errno;
            cancelLoad();
            failWithError(answerFileError(err));
            return;
        }
        }
    } else if (!inflateReceived(raw->data(), raw->size())) {
        return;
    }

    // Reading waits while the main thread has much to take in; every chunk still comes.
    if (receivers && m_bytesAwaitingDelivery > kPauseReadingAbove && !m_readPaused) {
        m_readPaused = true;
        m_readStream->unschedule();
    }
}

bool BRHTTPRequest::inflateReceived(const uint8_t* data, size_t size)
{
    // Inflated a buffer at a time: a small piece of a hostile body may inflate a thousandfold,
    // and none of it is held whole. While the main thread has much to take in, the rest of
    // the piece waits here and reading stops.
    auto d = m_delegate.lock();
    bool receivers = m_dataReceivedBlock || (d && (m_didReceiveDataSelector || d->answersDidReceiveData()));
    bool toFile = !m_downloadDestinationPath.empty();
    bool writeFile = toFile && !m_rejectedDownloadStatus && !m_authenticationNeeded;
    bool fileFailed = false, answerFileFailed = false, tooLarge = false, braked = false;
    base::ErrorPtr limitError;
    int fileErrno = 0;
    auto take = [&](const uint8_t* bytes, size_t length) {
        if (writeFile) {
            // The same brake as inflating a whole file afterwards: a size, and a ratio to the
            // compressed bytes read once much has been written.
            uint64_t total = m_inflatedToFile + length;
            const auto& d = *m_dataDecompressor;
            auto brake = [](std::string text) {
                return brRequestError(BRCompressionError, text, BRDataDecompressor::limitReached(text));
            };
            if (total > d.maxInflatedSize())
                limitError = brake("Decompression of the answer failed because it inflates to more than " +
                                   std::to_string(d.maxInflatedSize()) + " bytes");
            else if (total > BRDataDecompressor::kRatioCheckedFrom &&
                     double(total) > d.maxInflationRatio() * double(m_totalBytesRead.load()))
                limitError = brake("Decompression of the answer failed because it inflates to more than " +
                                   std::to_string(int64_t(d.maxInflationRatio())) + " times its size");
            if (limitError)
                return false;
            m_inflatedToFile = total;
        }
        if (receivers)
            passOnReceivedData(std::make_shared<const base::Bytes>(bytes, bytes + length));
        if (writeFile && !writeInflatedToFile(bytes, length)) {
            fileFailed = true;
            fileErrno = errno;
            return false;
        }
        if (!toFile) {
            Appended appended = appendToResponseData(bytes, length);
            tooLarge = appended == Appended::TooLarge;
            answerFileFailed = appended == Appended::FileFailed;
            fileErrno = errno;
            if (appended != Appended::Taken)
                return false;
        }
        if (receivers && m_bytesAwaitingDelivery > kPauseReadingAbove) {
            braked = true;
            return false;
        }
        return true;
    };
    base::ErrorPtr error;
    if (m_dataDecompressor->uncompressBytesLengthIntoError(data, size, take, &error))
        return true;
    if (braked) {
        size_t rest = m_dataDecompressor->unconsumedLength();
        m_inflateBacklog.assign(data + size - rest, data + size);
        m_inflateBacklogPending = true;
        if (!m_readPaused && m_readStream) {
            m_readPaused = true;
            m_readStream->unschedule();
        }
        return false;
    }
    // Failed only now: failing drops the decompressor, which must not go mid-call.
    if (limitError) {
        // Nothing of it stays: cancelling removes the inflated file, and the compressed one
        // is no part to resume from.
        cancelLoad();
        removeTemporaryDownloadFile();
        failWithError(limitError);
    } else if (fileFailed) {
        failFileWrite(fileErrno);
    } else if (answerFileFailed) {
        cancelLoad();
        failWithError(answerFileError(fileErrno));
    } else if (tooLarge) {
        failAnswerTooLarge();
    } else {
        cancelLoad();
        failWithError(error);
    }
    return false;
}

bool BRHTTPRequest::inflateBacklog()
{
    if (!m_inflateBacklogPending || !m_dataDecompressor)
        return true;
    m_inflateBacklogPending = false;
    base::Bytes backlog = std::move(m_inflateBacklog);
    m_inflateBacklog.clear();
    return inflateReceived(backlog.data(), backlog.size());
}

base::ErrorPtr BRHTTPRequest::answerTooLargeError() const
{
    std::string limit = std::to_string(m_maximumInMemoryResponseSize.load());
    return brRequestError(BRConnectionFailureErrorType, "The request failed: answer larger than " + limit + " bytes",
                          base::Error::make(kAnswerTooLargeDomain, 1, "answer larger than " + limit + " bytes"));
}

bool BRHTTPRequest::isAnswerTooLarge(const base::ErrorPtr& error)
{
    // Whichever brake stopped it: the size held in memory, or inflation's size or ratio.
    for (const base::Error* e = error.get(); e; e = e->underlying.get())
        if (e->domain == kAnswerTooLargeDomain || e->domain == BRDataDecompressor::kLimitDomain)
            return true;
    return false;
}

void BRHTTPRequest::failAnswerTooLarge()
{
    // Nothing of an answer too large to hold is kept.
    cancelLoad();
    failWithError(answerTooLargeError());
}

BRHTTPRequest::Appended BRHTTPRequest::appendToResponseData(const uint8_t* bytes, size_t length)
{
    uint64_t limit = m_maximumInMemoryResponseSize;
    if (m_keepsAnswerInFile) {
        uint64_t held = m_responseFile ? m_responseFile->size() : 0;
        if (held + length > limit)
            return Appended::TooLarge;
        if (length == 0)
            return Appended::Taken;
        if (!m_responseFile && !(m_responseFile = base::SpoolFile::create(kTemporaryAnswerPrefix)))
            return Appended::FileFailed;
        return m_responseFile->append(bytes, length) ? Appended::Taken : Appended::FileFailed;
    }
    if (uint64_t(m_rawResponseData.size()) + length > limit)
        return Appended::TooLarge;
    // An announced length within the limit is taken at once, not by doubling.
    if (m_rawResponseData.empty() && m_hasContentLength && m_contentLength <= limit &&
        !(isResponseCompressed() && !waitsToInflate()))
        reserveAnswer(m_rawResponseData, size_t(m_contentLength) + 1, limit); // room for a terminator
    reserveAnswer(m_rawResponseData, m_rawResponseData.size() + length, limit);
    m_rawResponseData.insert(m_rawResponseData.end(), bytes, bytes + length);
    return Appended::Taken;
}

base::ErrorPtr BRHTTPRequest::answerFileError(int err) const
{
    return brRequestError(BRFileManagementError, "Failed to write the answer to a temporary file", posixError(err));
}

base::ErrorPtr BRHTTPRequest::inflateResponseData()
{
    if (m_rawResponseData.empty()) {
        m_inflatedResponseData = base::Bytes{};
        return nullptr;
    }
    auto whole = BRDataDecompressor::inflateWholeWithin(m_rawResponseData.data(), m_rawResponseData.size(),
                                                        m_maximumInMemoryResponseSize);
    if (whole.tooLarge)
        return answerTooLargeError();
    // Held in memory, a cut answer would pass for a whole (empty) one: it fails as it does
    // when inflated on the fly or into a file.
    if (whole.endedEarly)
        return brRequestError(BRCompressionError, "Decompression of the answer failed: the data ended early");
    if (!whole.bytes)
        return whole.error;
    m_inflatedResponseData = std::move(whole.bytes);
    return nullptr;
}

std::optional<uint64_t> BRHTTPRequest::freeDiskBytes(const std::string& path)
{
    auto folder = std::filesystem::path(path).parent_path();
    struct statvfs disk {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) != 0)
        return std::nullopt;
    return uint64_t(disk.f_bavail) * uint64_t(disk.f_frsize);
}

bool BRHTTPRequest::statedLengthHasRoom()
{
    uint64_t reserve = m_minimumFreeDiskSpace;
    if (!reserve || m_downloadDestinationPath.empty() || m_authenticationNeeded || m_rejectedDownloadStatus ||
        !m_hasContentLength || m_contentLength == 0)
        return true;
    // A disk that cannot be asked is left to the writes to fail on.
    auto free = freeDiskBytes(m_temporaryFileDownloadPath.empty() ? m_downloadDestinationPath
                                                                   : m_temporaryFileDownloadPath);
    if (!free || (*free > reserve && *free - reserve >= m_contentLength))
        return true;
    m_diskReserveReached = true;
    return false;
}

bool BRHTTPRequest::diskHasRoomFor(const std::string& path, size_t length)
{
    uint64_t reserve = m_minimumFreeDiskSpace;
    if (!reserve || length == 0)
        return true;
    // The disk is looked at again every few MiB written: other writers share it.
    constexpr uint64_t kLookAgainAfter = uint64_t(4) << 20;
    if (m_diskRoomLeft < length) {
        // A disk that cannot be asked is left to the write to fail on.
        auto look = freeDiskBytes(path);
        if (!look)
            return true;
        uint64_t free = *look;
        m_diskRoomLeft = free > reserve ? std::min(free - reserve, kLookAgainAfter) : 0;
    }
    if (m_diskRoomLeft < length) {
        m_diskReserveReached = true;
        errno = ENOSPC;
        return false;
    }
    m_diskRoomLeft -= length;
    return true;
}

bool BRHTTPRequest::writeRawChunkToFile(const BRData& raw)
{
    if (!diskHasRoomFor(m_temporaryFileDownloadPath.empty() ? m_downloadDestinationPath : m_temporaryFileDownloadPath,
                        raw->size()))
        return false;
    if (!m_fileDownloadOutputStream) {
        // With no temporary file of the caller's and nothing to resume or inflate, the file is
        // made where it ends up with one open, unnamed until it is whole.
        if (m_temporaryFileDownloadPath.empty() && !m_allowResumeForFileDownloads && !isResponseCompressed()) {
            auto folder = std::filesystem::path(m_downloadDestinationPath).parent_path();
            m_fileDownloadOutputStream = OutputFile::openUnnamed(folder.empty() ? "." : folder.string());
            if (m_fileDownloadOutputStream) {
                m_unnamedDownloadFile = true;
                return m_fileDownloadOutputStream->write(raw->data(), raw->size());
            }
        }
        if (m_temporaryFileDownloadPath.empty()) {
            auto path = base::createTemporaryFile(kTemporaryDownloadPrefix);
            if (!path)
                return false;
            m_temporaryFileDownloadPath = *path;
            m_ownTemporaryDownloadFile = true;
        }
        m_fileDownloadOutputStream = OutputFile::open(m_temporaryFileDownloadPath, m_appendToDownloadFile);
        if (!m_fileDownloadOutputStream)
            return false;
    }
    return m_fileDownloadOutputStream->write(raw->data(), raw->size());
}

bool BRHTTPRequest::writeInflatedToFile(const uint8_t* bytes, size_t length)
{
    if (!diskHasRoomFor(m_temporaryUncompressedDataDownloadPath.empty() ? m_downloadDestinationPath
                                                                          : m_temporaryUncompressedDataDownloadPath,
                        length))
        return false;
    if (!m_inflatedFileDownloadOutputStream) {
        if (m_temporaryUncompressedDataDownloadPath.empty()) {
            auto path = base::createTemporaryFile(kTemporaryInflatedPrefix);
            if (!path)
                return false;
            m_temporaryUncompressedDataDownloadPath = *path;
        }
        m_inflatedFileDownloadOutputStream =
            OutputFile::open(m_temporaryUncompressedDataDownloadPath, m_appendToDownloadFile);
        if (!m_inflatedFileDownloadOutputStream)
            return false;
    }
    return m_inflatedFileDownloadOutputStream->write(bytes, length);
}

// ---- The end

base::ErrorPtr BRHTTPRequest::finishUnnamedDownload()
{
    m_unnamedDownloadFile = false;
    auto file = std::move(m_fileDownloadOutputStream);
    if (m_rejectedDownloadStatus) {
        char text[96];
        std::snprintf(text, sizeof text, "Unexpected HTTP status %d for file download", *m_rejectedDownloadStatus);
        return brRequestError(BRFileManagementError, text);
    }
    const std::string& destination = m_downloadDestinationPath;
    if (!file->linkInto(destination))
        return brRequestError(BRFileManagementError, "Failed to create file at path '" + destination + "'",
                              posixError(errno));
    if (!file->close()) {
        ::unlink(destination.c_str());
        return brRequestError(BRFileManagementError, "Failed to write to file at path '" + destination + "'",
                              posixError(EIO));
    }
    return nullptr;
}

base::ErrorPtr BRHTTPRequest::finishFileDownload()
{
    // An answer with no body bytes is an empty file, made the way any other is.
    if (!m_rejectedDownloadStatus && !m_fileDownloadOutputStream && m_temporaryFileDownloadPath.empty() &&
        !writeRawChunkToFile(std::make_shared<const base::Bytes>()))
        return brRequestError(BRFileManagementError, "Failed to create file at path '" + m_downloadDestinationPath + "'",
                              posixError(errno));
    if (m_unnamedDownloadFile && m_fileDownloadOutputStream)
        return finishUnnamedDownload();
    bool closed = true;
    const bool wroteFile = m_fileDownloadOutputStream != nullptr;
    if (m_fileDownloadOutputStream)
        closed = m_fileDownloadOutputStream->close();
    if (m_inflatedFileDownloadOutputStream)
        closed = m_inflatedFileDownloadOutputStream->close() && closed;
    m_fileDownloadOutputStream.reset();
    m_inflatedFileDownloadOutputStream.reset();

    if (m_rejectedDownloadStatus) {
        int status = *m_rejectedDownloadStatus;
        // What such an answer brought is not a part of the document; a resumable part stays.
        if (status == 404 || status == 410 || status == 416 || status == 206)
            removeTemporaryDownloadFile();
        removeTemporaryUncompressedDownloadFile();
        char text[96];
        std::snprintf(text, sizeof text, "Unexpected HTTP status %d for file download", status);
        return brRequestError(BRFileManagementError, text);
    }
    if (!closed)
        return brRequestError(BRFileManagementError,
                              "Failed to write to file at path '" +
                                  (m_temporaryFileDownloadPath.empty() ? m_downloadDestinationPath
                                                                       : m_temporaryFileDownloadPath) +
                                  "'",
                              posixError(EIO));
    // An empty answer still makes a file.
    if (!wroteFile && !m_temporaryFileDownloadPath.empty() && !base::FileManager::exists(m_temporaryFileDownloadPath)) {
        if (!OutputFile::open(m_temporaryFileDownloadPath, false))
            return brRequestError(BRFileManagementError,
                                  "Failed to create file at path '" + m_temporaryFileDownloadPath + "'",
                                  posixError(errno));
    }

    if (m_rangeBodyLength) {
        // The continued file is the whole document or nothing.
        struct stat st{};
        uint64_t expected = m_partialDownloadSize + *m_rangeBodyLength;
        if (::stat(m_temporaryFileDownloadPath.c_str(), &st) != 0 || uint64_t(st.st_size) != expected) {
            if (uint64_t(st.st_size) > m_partialDownloadSize)
                ::truncate(m_temporaryFileDownloadPath.c_str(), off_t(m_partialDownloadSize.load()));
            return brRequestError(BRFileManagementError, "The continued download is not the document's size");
        }
    }
    base::ErrorPtr fileError;
    const std::string& destination = m_downloadDestinationPath;
    if (isResponseCompressed() && waitsToInflate()) {
        // Inflated into a file of its own first: the destination is replaced only by a whole
        // document.
        auto inflated = renamableTemporary(destination);
        if (!inflated) {
            fileError = brRequestError(BRFileManagementError, "Failed to create file at path '" + destination + "'",
                                       posixError(errno));
        } else if (!BRDataDecompressor::uncompressDataFromFileToFileError(m_temporaryFileDownloadPath, *inflated,
                                                                          &fileError)) {
            ::unlink(inflated->c_str());
        } else {
            int err = 0;
            if (!moveIntoPlace(*inflated, destination, err)) {
                fileError = brRequestError(BRFileManagementError,
                                           "Failed to move file from '" + *inflated + "' to '" + destination + "'",
                                           posixError(err));
                ::unlink(inflated->c_str());
            }
        }
        removeTemporaryDownloadFile();
    } else if (isResponseCompressed()) {
        if (m_temporaryUncompressedDataDownloadPath.empty()) {
            auto path = base::createTemporaryFile(kTemporaryInflatedPrefix);
            if (path)
                m_temporaryUncompressedDataDownloadPath = *path;
        }
        int err = 0;
        if (!moveIntoPlace(m_temporaryUncompressedDataDownloadPath, destination, err)) {
            fileError = brRequestError(BRFileManagementError,
                                       "Failed to move file from '" + m_temporaryUncompressedDataDownloadPath +
                                           "' to '" + destination + "'",
                                       posixError(err));
            // Inflated for this answer only: nothing resumes from it.
            ::unlink(m_temporaryUncompressedDataDownloadPath.c_str());
        }
        m_temporaryUncompressedDataDownloadPath.clear();
        removeTemporaryDownloadFile();
    } else {
        int err = 0;
        if (!moveIntoPlace(m_temporaryFileDownloadPath, destination, err)) {
            fileError = brRequestError(BRFileManagementError,
                                       "Failed to move file from '" + m_temporaryFileDownloadPath + "' to '" +
                                           destination + "'",
                                       posixError(err));
            // A file with nowhere to go (its folder gone) is left nowhere either, unless it is
            // the caller's own part to resume from.
            if (m_ownTemporaryDownloadFile || !m_allowResumeForFileDownloads) {
                ::unlink(m_temporaryFileDownloadPath.c_str());
                m_temporaryFileDownloadPath.clear();
            }
        } else {
            m_temporaryFileDownloadPath.clear();
        }
    }
    return fileError;
}

void BRHTTPRequest::handleStreamComplete()
{
    // Bytes held back for the main thread still wait: the end comes once they have gone.
    if (m_inflateBacklogPending) {
        m_endBehindBacklog = true;
        return;
    }
    setStatusTimer(nullptr);
    m_downloadComplete = true;
    if (!m_responseHeaders)
        readResponseHeaders();
    if (m_error || m_didUseCachedResponse)
        return;

    auto& shared = Shared::get();
    base::ErrorPtr failure;
    bool shortRange = false;
    {
        std::lock_guard progress(shared.progressLock);
        m_lastBytesSent = m_totalBytesSent;
        if (m_readStream)
            m_totalBytesSent = m_readStream->bodyBytesWritten();
        m_complete = true;

        int status = m_responseStatusCode;
        bool bodyless = m_requestMethod == "HEAD" || status == 204 || status == 304 || (status >= 100 && status < 200);
        if (!m_responseHeaders)
            failure = connectionFailure(base::Error::make(net::kStreamErrorDomain, int(net::ErrorKind::Protocol),
                                                          "the answer ended before its head"));
        else if (m_hasContentLength && !bodyless && m_totalBytesRead != m_contentLength)
            failure = connectionFailure(base::Error::make(net::kStreamErrorDomain, int(net::ErrorKind::Truncated),
                                                          "the answer ended before its length"));
        else if (m_rangeBodyLength && m_totalBytesRead != *m_rangeBodyLength)
            shortRange = true;
        else if (m_dataDecompressor && !m_dataDecompressor->streamEnded())
            failure = brRequestError(BRCompressionError, "Decompression of the answer failed: the data ended early");
        else if (m_downloadDestinationPath.empty() && !bodyless && !m_needsRedirect && !m_authenticationNeeded &&
                 isResponseCompressed() && waitsToInflate())
            failure = inflateResponseData();
        if (!m_hasContentLength || m_contentLength == 0)
            m_contentLength = m_totalBytesRead.load();
        if (!failure)
            updateProgressIndicators();

        if (m_postBodyReadStream) {
            m_postBodyReadStream->close();
            m_postBodyReadStream.reset();
        }
        m_dataDecompressor.reset();
        if (m_didCreateTemporaryPostDataFile && !m_authenticationNeeded) {
            removeTemporaryUploadFile();
            removeTemporaryCompressedUploadFile();
        }
    }
    if (shortRange) {
        m_complete = false;
        failRangeMismatch("body");
        return;
    }
    if (failure) {
        m_complete = false;
        cancelLoad();
        failWithError(failure);
        return;
    }

    // Outside the progress lock: a failed delete reports through the connections lock.
    base::ErrorPtr fileError;
    if (!m_downloadDestinationPath.empty() && !m_needsRedirect && !m_authenticationNeeded)
        fileError = finishFileDownload();
    if (auto cache = m_downloadCache.lock(); cache && !m_didUseCachedResponse && !fileError && !m_error)
        cache->storeResponseForRequest(*this, m_secondsToCache);

    {
        std::lock_guard pool(shared.connectionsLock);
        if (m_connectionInfo) {
            m_connectionInfo->request.reset();
            m_connectionInfo->expires = ConnectionRecord::monotonicNow() + m_persistentConnectionTimeoutSeconds;
        }
    }
    if (!m_connectionCanBeReused)
        unscheduleReadStream();
    if (!m_authenticationNeeded)
        destroyReadStream();
    if (m_connectionCanBeReused && m_connectionInfo)
        watchIdleConnections();

    if (!m_needsRedirect && !m_authenticationNeeded && !m_didUseCachedResponse) {
        if (fileError)
            failWithError(fileError);
        else if (!m_error)
            requestFinished();
        markAsFinished();
    }
}

// ---- Cached answers

void BRHTTPRequest::useDataFromCache()
{
    auto cache = m_downloadCache.lock();
    if (!cache || !m_url)
        return;
    auto headers = cache->cachedResponseHeadersForURL(*m_url);
    auto dataPath = cache->pathToCachedResponseDataForURL(*m_url);
    if (!headers || !dataPath) {
        // A policy that forbids the network chose an empty cache: a failure, not an empty
        // success. Without the cache the failure cannot fall back on it again.
        m_downloadCache.reset();
        failWithError(brRequestError(BRConnectionFailureErrorType, "No cached response available"));
        return;
    }
    {
        if (auto status = headers->first("X-BRHTTPRequest-Response-Status-Code"))
            m_responseStatusCode = std::atoi(status->c_str());
        m_didUseCachedResponse = true;
        setResponseHead(*headers, m_responseStatusMessage);
        if (m_downloadDestinationPath.empty()) {
            auto data = cache->cachedResponseDataForURL(*m_url);
            m_rawResponseData = data ? std::move(*data) : base::Bytes{};
        } else {
            m_downloadDestinationPath = *dataPath;
        }
        if (auto length = headers->first("Content-Length"); length && parseDecimal(*length))
            m_contentLength = *parseDecimal(*length);
        m_totalBytesRead = m_contentLength.load();
        parseStringEncodingFromHeaders();
        auto cookies = net::Cookie::fromResponseHeaders(headers->fields(), *m_url, base::Date::now());
        {
            std::lock_guard lock(m_propertyLock);
            m_responseCookies = std::move(cookies);
        }
        if (willRedirect()) {
            if (!willAskDelegateToConfirmRedirect())
                performRedirect();
            return;
        }
    }
    m_didUseCachedResponse = true;
    m_complete = true;
    m_downloadComplete = true;
    if (std::lock_guard lock(m_propertyLock); !m_originalURL)
        m_originalURL = m_url;
    updateProgressIndicators();
    requestFinished();
    markAsFinished();
}
