#include "Platform/Net/HttpReadStream.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace net {

namespace {

constexpr size_t kReadChunk = 64 * 1024;
// Decoded bytes held before the socket is left unread until the client catches up.
constexpr size_t kHighWater = 1024 * 1024;
constexpr size_t kLowWater = 256 * 1024;
constexpr size_t kBodyChunk = 64 * 1024;

bool isDigits(const std::string& s)
{
    return !s.empty() && s.size() <= 19 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

// One socket (with its TLS session), used by one stream at a time; `owner` is the stream that
// may close it, changed only under the pool's lock.
class Connection {
public:
    ~Connection() { closeSocket(); }
    void closeSocket()
    {
        tls.reset();
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    // An idle socket is live when nothing at all is waiting on it: data would be out of turn,
    // and end-of-file or an error means the peer left.
    bool idleAndLive()
    {
        if (fd < 0)
            return false;
        pollfd p{fd, POLLIN | POLLRDHUP, 0};
        if (::poll(&p, 1, 0) < 0)
            return false;
        if (p.revents == 0)
            return !(tls && tls->hasBufferedBytes());
        if (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))
            return false;
        return tls && tls->idleAndLive();
    }
    // Kept with the socket: each answer on a kept connection reads into the same bytes
    // instead of making and clearing a buffer of its own.
    char* readBuffer()
    {
        if (!m_readBuffer)
            m_readBuffer.reset(new char[kReadChunk]);
        return m_readBuffer.get();
    }

    int fd = -1;
    std::unique_ptr<TlsSession> tls;
    std::string key;
    const void* owner = nullptr;

private:
    std::unique_ptr<char[]> m_readBuffer;
};

namespace {

std::mutex& poolMutex()
{
    static std::mutex* m = new std::mutex;
    return *m;
}

std::map<std::string, std::shared_ptr<Connection>>& parkedPool()
{
    static auto* pool = new std::map<std::string, std::shared_ptr<Connection>>;
    return *pool;
}

} // namespace

size_t HttpReadStream::parkedConnectionCount()
{
    std::lock_guard lock(poolMutex());
    return parkedPool().size();
}

std::shared_ptr<HttpReadStream> HttpReadStream::create(HttpRequestHead request, std::shared_ptr<InputStream> body)
{
    return std::shared_ptr<HttpReadStream>(new HttpReadStream(std::move(request), std::move(body)));
}

HttpReadStream::HttpReadStream(HttpRequestHead request, std::shared_ptr<InputStream> body)
    : m_request(std::move(request))
    , m_body(std::move(body))
{
}

HttpReadStream::~HttpReadStream() { close(); }

void HttpReadStream::setPersistent(bool persistent)
{
    std::lock_guard lock(m_mutex);
    m_persistent = persistent;
}

void HttpReadStream::setStreamID(std::string id)
{
    std::lock_guard lock(m_mutex);
    m_streamID = std::move(id);
}

void HttpReadStream::setProxy(Proxy proxy)
{
    std::lock_guard lock(m_mutex);
    m_proxy = std::move(proxy);
}

void HttpReadStream::setTlsOptions(TlsOptions options)
{
    std::lock_guard lock(m_mutex);
    m_tls = std::move(options);
}

void HttpReadStream::setLimits(HttpResponseParser::Limits limits)
{
    std::lock_guard lock(m_mutex);
    m_limits = limits;
}

void HttpReadStream::setClient(Client client)
{
    std::lock_guard lock(m_mutex);
    m_client = std::move(client);
}

bool HttpReadStream::isScheduled() const
{
    std::lock_guard lock(m_mutex);
    return m_loop != nullptr;
}

void HttpReadStream::schedule(base::RunLoop& loop, const base::RunLoop::Mode& mode)
{
    std::lock_guard lock(m_mutex);
    if (m_closed || (m_loop.get() == &loop && m_mode == mode))
        return;
    removeWatchLocked();
    m_loop = loop.shared();
    m_mode = mode;
    ++m_scheduleGeneration;
    m_deliveryPosted = false;
    m_drivePosted = false;
    updateWatchLocked();
    requestDeliveryLocked();
    if (m_phase == Phase::Exchange)
        postDriveLocked();
}

void HttpReadStream::unschedule()
{
    std::lock_guard lock(m_mutex);
    removeWatchLocked();
    m_loop.reset();
    ++m_scheduleGeneration;
}

std::string HttpReadStream::connectionKeyLocked() const
{
    const URL& url = m_request.url();
    return url.scheme() + "://" + url.host() + ":" + std::to_string(url.effectivePort()) + " via " +
           m_proxy.description() + (url.scheme() == "https" ? (m_tls.validatesCertificate ? " tls" : " tls-lax") : "") +
           " id=" + std::to_string(reinterpret_cast<uintptr_t>(m_tls.identity.get())) + " trust=" + m_tls.extraTrustFile;
}

bool HttpReadStream::open()
{
    std::lock_guard lock(m_mutex);
    if (m_opened || m_closed)
        return false;
    m_opened = true;
    const URL& url = m_request.url();
    auto refuse = [&](std::string message) {
        m_error = StreamError{ErrorKind::Other, 0, std::move(message)};
        m_errorDelivered = true; // refused at open: reported by the answer, not by an event
        m_phase = Phase::Failed;
        return false;
    };
    if ((url.scheme() != "http" && url.scheme() != "https") || url.host().empty() || url.effectivePort() <= 0)
        return refuse("cannot send a request to \"" + url.string() + "\"");

    // Body framing: the caller's Content-Length, the source's length, or chunks.
    m_framing = HttpHeaders();
    if (auto length = m_request.headers().first("Content-Length")) {
        if (!isDigits(*length))
            return refuse("bad Content-Length in the request");
        m_bodyLimit = std::stoull(*length);
        if (*m_bodyLimit > 0 && !m_body)
            return refuse("Content-Length without a body");
    }
    if (m_body) {
        if (!m_body->open())
            return refuse("cannot open the request body");
        if (!m_bodyLimit) {
            if (auto known = m_body->length()) {
                m_bodyLimit = *known;
                m_framing.set("Content-Length", std::to_string(*known));
            } else if (m_request.isHttp10()) {
                return refuse("a body of unknown length cannot be sent with HTTP/1.0");
            } else {
                m_chunkedBody = true;
                m_framing.set("Transfer-Encoding", "chunked");
            }
        }
        m_bodyDone = false;
    } else if (!m_bodyLimit && (m_request.method() == "POST" || m_request.method() == "PUT")) {
        // Some servers answer 411 to a body-less POST without a length.
        m_framing.set("Content-Length", "0");
    }

    m_parser = std::make_unique<HttpResponseParser>(m_limits);
    m_parser->setRequestMethod(m_request.method());
    if (m_persistent && !m_streamID.empty() && takeParkedLocked()) {
        m_reused = true;
        startExchangeLocked();
        postDriveLocked();
        return true;
    }
    startConnectLocked();
    return true;
}

bool HttpReadStream::takeParkedLocked()
{
    std::shared_ptr<Connection> conn;
    {
        std::lock_guard pool(poolMutex());
        auto it = parkedPool().find(m_streamID);
        if (it == parkedPool().end())
            return false;
        if (it->second->key != connectionKeyLocked())
            return false;
        conn = it->second;
        parkedPool().erase(it);
        conn->owner = this;
    }
    if (!conn->idleAndLive()) {
        // The parking stream no longer owns it, so it is closed here.
        conn->closeSocket();
        return false;
    }
    m_conn = std::move(conn);
    return true;
}

void HttpReadStream::releaseConnectionLocked(bool closeSocket)
{
    if (!m_conn)
        return;
    {
        std::lock_guard pool(poolMutex());
        if (m_conn->owner == this) {
            auto& parked = parkedPool();
            for (auto it = parked.begin(); it != parked.end(); ++it)
                if (it->second == m_conn) {
                    parked.erase(it);
                    break;
                }
            if (closeSocket)
                m_conn->closeSocket();
        }
    }
    m_conn.reset();
}

void HttpReadStream::startConnectLocked()
{
    const URL& url = m_request.url();
    bool viaProxy = m_proxy.type != Proxy::Type::Direct;
    std::string host = viaProxy ? m_proxy.host : url.host();
    int port = viaProxy ? m_proxy.port : url.effectivePort();
    m_phase = Phase::Resolving;
    if (auto addresses = Resolver::numeric(host, port); !addresses.empty()) {
        m_addresses = std::move(addresses);
        connectNextLocked();
        return;
    }
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    m_lookup = Resolver::resolve(host, port, [weak](std::vector<SocketAddress> addresses, StreamError error) {
        if (auto self = weak.lock())
            self->onResolved(std::move(addresses), std::move(error));
    });
}

void HttpReadStream::onResolved(std::vector<SocketAddress> addresses, StreamError error)
{
    std::lock_guard lock(m_mutex);
    m_lookup.reset();
    if (m_closed || m_phase != Phase::Resolving)
        return;
    if (error) {
        failLocked(std::move(error));
        return;
    }
    m_addresses = std::move(addresses);
    // A non-blocking connect is safe from the resolver thread; its progress runs on the loop.
    connectNextLocked();
}

void HttpReadStream::connectNextLocked()
{
    while (m_nextAddress < m_addresses.size()) {
        const SocketAddress& address = m_addresses[m_nextAddress++];
        int fd = ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd < 0) {
            m_connectError = errnoError(ErrorKind::Other, errno, "socket");
            continue;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto conn = std::make_shared<Connection>();
        conn->fd = fd;
        conn->owner = this;
        conn->key = connectionKeyLocked();
        int rc;
        do
            rc = ::connect(fd, address.get(), address.length);
        while (rc < 0 && errno == EINTR);
        if (rc < 0 && errno != EINPROGRESS) {
            int e = errno;
            m_connectError = errnoError(e == ECONNREFUSED ? ErrorKind::Refused : ErrorKind::Other, e,
                                        "connect to " + address.toString());
            continue;
        }
        m_conn = std::move(conn);
        m_phase = Phase::Connecting;
        m_wantWrite = true;
        m_wantRead = false;
        updateWatchLocked();
        return;
    }
    failLocked(m_connectError ? m_connectError : StreamError{ErrorKind::Dns, 0, "no address to connect to"});
}

bool HttpReadStream::driveConnectLocked()
{
    pollfd p{m_conn->fd, POLLOUT, 0};
    if (::poll(&p, 1, 0) <= 0 || p.revents == 0) {
        m_wantWrite = true;
        return false;
    }
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(m_conn->fd, SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0) {
        ErrorKind kind = err == ECONNREFUSED ? ErrorKind::Refused
                         : err == ETIMEDOUT  ? ErrorKind::Timeout
                                             : ErrorKind::Other;
        m_connectError = errnoError(kind, err, "connect to " + m_addresses[m_nextAddress - 1].toString());
        removeWatchLocked();
        m_conn.reset();
        connectNextLocked();
        return m_phase != Phase::Connecting || m_conn != nullptr;
    }
    startTransportLocked();
    return true;
}

void HttpReadStream::startTransportLocked()
{
    const URL& url = m_request.url();
    bool https = url.scheme() == "https";
    m_wantWrite = false;
    m_wantRead = true;
    if (m_proxy.type == Proxy::Type::Socks5) {
        m_phase = Phase::Socks;
        m_socksStep = 0;
        m_out.push_back(Segment{socks5::greeting()});
        return;
    }
    if (m_proxy.type == Proxy::Type::Http && https) {
        m_phase = Phase::Tunnel;
        std::string authority = url.hostAndPort();
        if (!url.port())
            authority += ":" + std::to_string(url.effectivePort());
        std::string head = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
        if (auto auth = m_request.headers().first("Proxy-Authorization"))
            head += "Proxy-Authorization: " + *auth + "\r\n";
        m_out.push_back(Segment{head + "\r\n"});
        m_tunnelParser = std::make_unique<HttpResponseParser>(m_limits);
        m_tunnelParser->setRequestMethod("CONNECT");
        return;
    }
    if (https) {
        StreamError error;
        m_conn->tls = TlsSession::make(m_conn->fd, url.host(), m_tls, error);
        if (!m_conn->tls) {
            failLocked(error);
            return;
        }
        m_phase = Phase::Handshake;
        return;
    }
    startExchangeLocked();
}

void HttpReadStream::startExchangeLocked()
{
    bool absoluteForm = m_proxy.type == Proxy::Type::Http && m_request.url().scheme() == "http";
    std::string head;
    if (absoluteForm || !m_request.headers().has("Proxy-Authorization")) {
        head = m_request.serialize(absoluteForm, m_framing);
    } else {
        // Proxy credentials go to the proxy only (in CONNECT), never to the origin server.
        auto copy = m_request;
        copy.headers().remove("Proxy-Authorization");
        head = copy.serialize(false, m_framing);
    }
    m_out.push_back(Segment{std::move(head)});
    m_phase = Phase::Exchange;
    m_wantRead = true;
}

void HttpReadStream::acknowledgeAtOnce()
{
    // On a kept connection the kernel soon delays its acknowledgements; a server that sends
    // its head and body in two writes with Nagle's algorithm on would hold the body until the
    // head's acknowledgement came, some 40 ms later. The setting lasts only a while, so it is
    // made again after each read.
    if (m_persistent) {
        int one = 1;
        ::setsockopt(m_conn->fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    }
}

ssize_t HttpReadStream::transportRead(char* buffer, size_t length, bool& wouldBlock)
{
    wouldBlock = false;
    if (m_conn->tls) {
        TlsSession::Want want;
        StreamError error;
        ssize_t n = m_conn->tls->read(buffer, length, want, error);
        if (n < 0)
            m_connectError = error;
        if (n == 0 && want != TlsSession::Want::None) {
            wouldBlock = true;
            m_wantWrite = m_wantWrite || want == TlsSession::Want::Write;
        }
        if (n > 0)
            acknowledgeAtOnce();
        return n;
    }
    ssize_t n;
    do
        n = ::recv(m_conn->fd, buffer, length, 0);
    while (n < 0 && errno == EINTR);
    // An answer's reads acknowledge at once only while more of it is awaited (see
    // driveExchangeLocked): the next request carries the acknowledgement of a whole one.
    if (n > 0 && m_phase != Phase::Exchange)
        acknowledgeAtOnce();
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            wouldBlock = true;
            return 0;
        }
        m_connectError = errnoError(ErrorKind::ConnectionLost, errno, "read");
    }
    return n;
}

ssize_t HttpReadStream::transportWrite(const char* buffer, size_t length, bool& wouldBlock)
{
    wouldBlock = false;
    if (m_conn->tls) {
        TlsSession::Want want;
        StreamError error;
        ssize_t n = m_conn->tls->write(buffer, length, want, error);
        if (n < 0)
            m_writeError = error;
        if (n == 0) {
            wouldBlock = true;
            if (want == TlsSession::Want::Read)
                m_wantRead = true;
        }
        return n;
    }
    ssize_t n;
    do
        n = ::send(m_conn->fd, buffer, length, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        int e = errno;
        if (e == EAGAIN || e == EWOULDBLOCK) {
            wouldBlock = true;
            return 0;
        }
        m_writeError = errnoError(e == EPIPE || e == ENOTCONN ? ErrorKind::BrokenPipe : ErrorKind::ConnectionLost, e, "write");
    }
    return n;
}

bool HttpReadStream::flushLocked(bool& blocked)
{
    blocked = false;
    while (!m_out.empty()) {
        Segment& seg = m_out.front();
        bool wouldBlock = false;
        ssize_t n = transportWrite(seg.bytes.data() + seg.sent, seg.bytes.size() - seg.sent, wouldBlock);
        if (n < 0)
            return false;
        if (wouldBlock) {
            blocked = true;
            m_wantWrite = true;
            return true;
        }
        size_t from = seg.sent, to = seg.sent + size_t(n);
        size_t lo = std::max(from, seg.bodyBegin), hi = std::min(to, seg.bodyEnd);
        if (hi > lo)
            m_bodyBytesWritten += hi - lo;
        seg.sent = to;
        if (seg.sent == seg.bytes.size())
            m_out.pop_front();
    }
    m_wantWrite = false;
    return true;
}

bool HttpReadStream::fillBodyLocked()
{
    uint64_t room = m_bodyLimit ? *m_bodyLimit - m_bodyPulled : kBodyChunk;
    if (room == 0) {
        m_bodyDone = true;
        return true;
    }
    std::string data(std::min<uint64_t>(room, kBodyChunk), '\0');
    ssize_t n = m_body->read(reinterpret_cast<uint8_t*>(data.data()), data.size());
    if (n < 0) {
        failLocked(StreamError{ErrorKind::Other, 0, "the request body could not be read"});
        return false;
    }
    if (n == 0) {
        if (m_bodyLimit && m_bodyPulled < *m_bodyLimit) {
            failLocked(StreamError{ErrorKind::Other, 0, "the request body is shorter than its Content-Length"});
            return false;
        }
        if (m_chunkedBody)
            m_out.push_back(Segment{"0\r\n\r\n"});
        m_bodyDone = true;
        return true;
    }
    data.resize(size_t(n));
    m_bodyPulled += uint64_t(n);
    Segment seg;
    if (m_chunkedBody) {
        char line[24];
        int len = std::snprintf(line, sizeof line, "%zx\r\n", size_t(n));
        seg.bytes.assign(line, size_t(len));
        seg.bodyBegin = seg.bytes.size();
        seg.bytes += data;
        seg.bodyEnd = seg.bytes.size();
        seg.bytes += "\r\n";
    } else {
        seg.bytes = std::move(data);
        seg.bodyBegin = 0;
        seg.bodyEnd = seg.bytes.size();
    }
    m_out.push_back(std::move(seg));
    if (m_bodyLimit && m_bodyPulled == *m_bodyLimit)
        m_bodyDone = true;
    return true;
}

bool HttpReadStream::driveSocksLocked()
{
    bool blocked;
    if (!flushLocked(blocked)) {
        failLocked(m_writeError);
        return true;
    }
    for (;;) {
        bool wouldBlock;
        char buf[512];
        ssize_t n = transportRead(buf, sizeof buf, wouldBlock);
        if (wouldBlock)
            return false;
        if (n <= 0) {
            failLocked(StreamError{ErrorKind::Protocol, 0, "the SOCKS proxy closed the connection"});
            return true;
        }
        m_handshakeIn.append(buf, size_t(n));
        if (m_socksStep == 0 && m_handshakeIn.size() >= 2) {
            if (m_handshakeIn[0] != 5 || m_handshakeIn[1] != 0) {
                failLocked(StreamError{ErrorKind::Protocol, 0, "the SOCKS proxy wants authentication"});
                return true;
            }
            m_handshakeIn.erase(0, 2);
            m_socksStep = 1;
            m_out.push_back(Segment{socks5::connectRequest(m_request.url().host(), m_request.url().effectivePort())});
            if (!flushLocked(blocked)) {
                failLocked(m_writeError);
                return true;
            }
        }
        if (m_socksStep == 1 && m_handshakeIn.size() >= 5) {
            auto* bytes = reinterpret_cast<const uint8_t*>(m_handshakeIn.data());
            if (bytes[0] != 5 || bytes[1] != 0) {
                failLocked(StreamError{bytes[1] == 5 ? ErrorKind::Refused : ErrorKind::Other, bytes[1],
                                       "SOCKS proxy: " + socks5::replyText(bytes[1])});
                return true;
            }
            size_t need = socks5::replyLength(bytes);
            if (need == 0) {
                failLocked(StreamError{ErrorKind::Protocol, 0, "malformed SOCKS reply"});
                return true;
            }
            if (m_handshakeIn.size() < need)
                continue;
            if (m_handshakeIn.size() > need) {
                failLocked(StreamError{ErrorKind::Protocol, 0, "the SOCKS proxy sent bytes out of turn"});
                return true;
            }
            m_handshakeIn.clear();
            if (m_request.url().scheme() == "https") {
                StreamError error;
                m_conn->tls = TlsSession::make(m_conn->fd, m_request.url().host(), m_tls, error);
                if (!m_conn->tls) {
                    failLocked(error);
                    return true;
                }
                m_phase = Phase::Handshake;
            } else {
                startExchangeLocked();
            }
            return true;
        }
    }
}

bool HttpReadStream::driveTunnelLocked()
{
    bool blocked;
    if (!flushLocked(blocked)) {
        failLocked(m_writeError);
        return true;
    }
    for (;;) {
        bool wouldBlock;
        ssize_t n = transportRead(m_conn->readBuffer(), kReadChunk, wouldBlock);
        if (wouldBlock)
            return false;
        std::string body;
        size_t used = 0;
        if (n > 0)
            used = m_tunnelParser->feed(m_conn->readBuffer(), size_t(n), body);
        else
            m_tunnelParser->finish();
        if (m_tunnelParser->failed()) {
            StreamError e = m_tunnelParser->error();
            if (e.kind == ErrorKind::ConnectionLost || e.kind == ErrorKind::Truncated)
                e = StreamError{ErrorKind::Protocol, 0, "the proxy closed the connection during CONNECT"};
            failLocked(e);
            return true;
        }
        if (!m_tunnelParser->headComplete())
            continue;
        int status = m_tunnelParser->head()->status;
        if (status / 100 == 2) {
            if (!m_tunnelParser->complete())
                continue;
            if (used < size_t(n)) {
                failLocked(StreamError{ErrorKind::Protocol, 0, "the proxy sent bytes out of turn"});
                return true;
            }
            m_tunnelParser.reset();
            StreamError error;
            m_conn->tls = TlsSession::make(m_conn->fd, m_request.url().host(), m_tls, error);
            if (!m_conn->tls) {
                failLocked(error);
                return true;
            }
            m_phase = Phase::Handshake;
            return true;
        }
        // The proxy refused (407, 502, ...): its answer is the answer.
        m_parser = std::move(m_tunnelParser);
        m_bodyDone = true;
        m_out.clear();
        m_phase = Phase::Exchange;
        m_headSignal = true;
        m_bytesArmed = true;
        m_decoded += body;
        if (m_parser->complete())
            finishMessageLocked(true);
        requestDeliveryLocked();
        return true;
    }
}

bool HttpReadStream::driveHandshakeLocked()
{
    TlsSession::Want want;
    StreamError error;
    if (m_conn->tls->handshake(want, error)) {
        startExchangeLocked();
        return true;
    }
    if (error) {
        failLocked(error);
        return true;
    }
    m_wantRead = want == TlsSession::Want::Read;
    m_wantWrite = want == TlsSession::Want::Write;
    return false;
}

bool HttpReadStream::driveExchangeLocked()
{
    // Send while the answer is not complete; a peer may answer (and close) before the body.
    bool sent = false;
    while (!m_writeError && !m_parser->complete()) {
        if (m_out.empty() && !m_bodyDone && !fillBodyLocked())
            return true;
        if (m_out.empty())
            break;
        bool blocked;
        size_t before = m_out.size();
        if (!flushLocked(blocked)) {
            m_out.clear();
            m_bodyDone = true;
            break;
        }
        sent = sent || m_out.size() < before || blocked;
        if (blocked)
            break;
    }
    m_wantRead = true;
    // A plain socket that was just written to has no answer yet: the watch says when it has,
    // without a read that could only find nothing.
    if (sent && !m_conn->tls && !m_parser->sawAnyByte() && !m_writeError)
        return false;
    while (m_decoded.size() - m_decodedPos < kHighWater) {
        bool wouldBlock;
        ssize_t n = transportRead(m_conn->readBuffer(), kReadChunk, wouldBlock);
        if (wouldBlock)
            return false;
        if (n <= 0) {
            if (n == 0)
                m_parser->finish();
            if (m_parser->complete()) {
                finishMessageLocked(true);
                return true;
            }
            StreamError error = n < 0 ? m_connectError : m_parser->error();
            if (n < 0 && error.kind != ErrorKind::Tls)
                error.kind = m_parser->sawAnyByte() ? ErrorKind::Truncated : ErrorKind::ConnectionLost;
            // Nothing came back after a failed write: the write's failure says more.
            if (m_writeError && !m_parser->sawAnyByte())
                error = m_writeError;
            failLocked(error);
            return true;
        }
        if (m_decodedPos == m_decoded.size()) {
            m_decoded.clear();
            m_decodedPos = 0;
        }
        bool hadHead = m_parser->headComplete();
        size_t before = m_decoded.size();
        size_t used = m_parser->feed(m_conn->readBuffer(), size_t(n), m_decoded);
        if (!m_conn->tls && !m_parser->complete())
            acknowledgeAtOnce();
        // What arrived ahead of a fault (a whole head, body bytes) is announced before it.
        if (m_decoded.size() > before || (!hadHead && m_parser->headComplete())) {
            m_headSignal = m_headSignal || !hadHead;
            m_bytesArmed = true;
            requestDeliveryLocked();
        }
        if (m_parser->failed()) {
            failLocked(m_parser->error());
            return true;
        }
        if (m_parser->complete()) {
            // Bytes after the answer: the connection carries nothing more that is ours.
            finishMessageLocked(used < size_t(n));
            return true;
        }
    }
    // Enough is buffered: the socket waits until the client reads.
    m_wantRead = false;
    return false;
}

void HttpReadStream::driveLocked()
{
    if (m_closed)
        return;
    for (int rounds = 0; rounds < 16; ++rounds) {
        Phase before = m_phase;
        bool again = false;
        switch (m_phase) {
        case Phase::Connecting: again = driveConnectLocked(); break;
        case Phase::Socks: again = driveSocksLocked(); break;
        case Phase::Tunnel: again = driveTunnelLocked(); break;
        case Phase::Handshake: again = driveHandshakeLocked(); break;
        case Phase::Exchange: again = driveExchangeLocked(); break;
        default: break;
        }
        if (!again || (m_phase == before && m_phase != Phase::Exchange))
            break;
        if (m_phase == Phase::Done || m_phase == Phase::Failed)
            break;
    }
    updateWatchLocked();
}

void HttpReadStream::finishMessageLocked(bool noReuse)
{
    m_phase = Phase::Done;
    m_atEnd = true;
    removeWatchLocked();
    if (m_body)
        m_body->close();
    bool reusable = m_conn && !noReuse && m_parser->keepAlive() && m_bodyDone && m_out.empty() && !m_writeError &&
                    !(m_conn->tls && m_conn->tls->hasBufferedBytes());
    if (reusable && m_persistent && !m_streamID.empty()) {
        std::lock_guard pool(poolMutex());
        auto& parked = parkedPool();
        // A connection parked earlier under the same ID (and never taken) is replaced and closed.
        if (auto it = parked.find(m_streamID); it != parked.end() && it->second != m_conn) {
            it->second->closeSocket();
            parked.erase(it);
        }
        parked[m_streamID] = m_conn;
    } else {
        releaseConnectionLocked(true);
    }
    requestDeliveryLocked();
}

void HttpReadStream::failLocked(StreamError error)
{
    if (m_phase == Phase::Done || m_phase == Phase::Failed)
        return;
    if (!error)
        error = StreamError{ErrorKind::Other, 0, "the exchange failed"};
    m_error = std::move(error);
    m_phase = Phase::Failed;
    if (m_lookup) {
        m_lookup->cancel();
        m_lookup.reset();
    }
    removeWatchLocked();
    releaseConnectionLocked(true);
    if (m_body)
        m_body->close();
    requestDeliveryLocked();
}

void HttpReadStream::updateWatchLocked()
{
    unsigned events = 0;
    bool active = m_phase == Phase::Connecting || m_phase == Phase::Socks || m_phase == Phase::Tunnel ||
                  m_phase == Phase::Handshake || m_phase == Phase::Exchange;
    if (active && m_conn && m_conn->fd >= 0) {
        if (m_wantRead)
            events |= base::RunLoop::Readable;
        if (m_wantWrite)
            events |= base::RunLoop::Writable;
    }
    // No interest: no watch at all, so a hung-up socket cannot spin the loop.
    if (!m_loop || events == 0) {
        removeWatchLocked();
        return;
    }
    if (m_watch) {
        if (events != m_watchEvents)
            m_loop->updateWatch(m_watch, events);
        m_watchEvents = events;
        return;
    }
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    uint64_t generation = ++m_watchGeneration;
    m_watchEvents = events;
    m_watch = m_loop->addWatch(m_conn->fd, events,
                               [weak, generation](int, unsigned) {
                                   auto self = weak.lock();
                                   if (!self)
                                       return;
                                   std::lock_guard lock(self->m_mutex);
                                   if (self->m_watchGeneration != generation || !self->m_watch)
                                       return;
                                   self->driveLocked();
                               },
                               m_mode);
}

void HttpReadStream::removeWatchLocked()
{
    if (m_watch && m_loop)
        m_loop->removeWatch(m_watch);
    m_watch = 0;
    m_watchEvents = 0;
    ++m_watchGeneration;
}

void HttpReadStream::postDriveLocked()
{
    if (!m_loop || m_drivePosted || m_closed)
        return;
    m_drivePosted = true;
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    uint64_t generation = m_scheduleGeneration;
    m_loop->post(
        [weak, generation] {
            auto self = weak.lock();
            if (!self)
                return;
            std::lock_guard lock(self->m_mutex);
            if (self->m_scheduleGeneration != generation)
                return;
            self->m_drivePosted = false;
            self->driveLocked();
        },
        m_mode);
}

void HttpReadStream::requestDeliveryLocked()
{
    if (!m_loop || m_deliveryPosted || m_closed)
        return;
    m_deliveryPosted = true;
    std::weak_ptr<HttpReadStream> weak = weak_from_this();
    uint64_t generation = m_scheduleGeneration;
    m_loop->post(
        [weak, generation] {
            if (auto self = weak.lock()) {
                {
                    std::lock_guard lock(self->m_mutex);
                    if (self->m_scheduleGeneration != generation)
                        return;
                    self->m_deliveryPosted = false;
                }
                self->deliver();
            }
        },
        m_mode);
}

void HttpReadStream::deliver()
{
    std::unique_lock lock(m_mutex);
    if (!m_loop || m_closed)
        return;
    bool hasBytes = hasBytesLocked();
    bool failed = m_phase == Phase::Failed;
    StreamEvent event;
    if (m_bytesArmed && (hasBytes || (m_headSignal && !m_atEnd))) {
        event = StreamEvent::BytesAvailable;
        m_bytesArmed = false;
        m_headSignal = false;
    } else if (!hasBytes && failed && !m_errorDelivered) {
        event = StreamEvent::ErrorOccurred;
        m_errorDelivered = true;
    } else if (!hasBytes && m_atEnd && !m_endDelivered) {
        event = StreamEvent::EndEncountered;
        m_endDelivered = true;
    } else {
        return;
    }
    Client client = m_client;
    uint64_t generation = m_scheduleGeneration;
    lock.unlock();
    auto keepAlive = shared_from_this();
    if (client)
        client(event);
    lock.lock();
    if (m_closed || m_scheduleGeneration != generation)
        return;
    hasBytes = hasBytesLocked();
    bool terminalDue = !hasBytes && ((m_phase == Phase::Failed && !m_errorDelivered) || (m_atEnd && !m_endDelivered));
    if ((hasBytes && m_bytesArmed) || terminalDue)
        requestDeliveryLocked();
}

ssize_t HttpReadStream::read(uint8_t* buffer, size_t length)
{
    std::lock_guard lock(m_mutex);
    size_t available = m_decoded.size() - m_decodedPos;
    if (available == 0)
        return m_phase == Phase::Failed ? -1 : 0;
    size_t n = std::min(length, available);
    std::memcpy(buffer, m_decoded.data() + m_decodedPos, n);
    m_decodedPos += n;
    if (m_decodedPos == m_decoded.size()) {
        m_decoded.clear();
        m_decodedPos = 0;
    } else if (m_decodedPos > kHighWater) {
        m_decoded.erase(0, m_decodedPos);
        m_decodedPos = 0;
    }
    // Level-triggered: what is left is announced again; the end or error follows the last byte.
    m_bytesArmed = hasBytesLocked();
    if (m_bytesArmed || m_atEnd || m_phase == Phase::Failed)
        requestDeliveryLocked();
    if (m_phase == Phase::Exchange && !m_wantRead && m_decoded.size() - m_decodedPos < kLowWater)
        postDriveLocked();
    return ssize_t(n);
}

bool HttpReadStream::hasBytesAvailable() const
{
    std::lock_guard lock(m_mutex);
    return hasBytesLocked();
}

size_t HttpReadStream::bytesAvailable() const
{
    std::lock_guard lock(m_mutex);
    return m_decoded.size() - m_decodedPos;
}

StreamStatus HttpReadStream::status() const
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return StreamStatus::Closed;
    if (!m_opened)
        return StreamStatus::NotOpen;
    switch (m_phase) {
    case Phase::Failed: return StreamStatus::Error;
    case Phase::Done: return hasBytesLocked() ? StreamStatus::Open : StreamStatus::AtEnd;
    case Phase::Exchange: return StreamStatus::Open;
    default: return StreamStatus::Opening;
    }
}

StreamError HttpReadStream::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

std::shared_ptr<const HttpResponseHead> HttpReadStream::responseHead() const
{
    std::lock_guard lock(m_mutex);
    return m_parser ? m_parser->head() : nullptr;
}

HttpHeaders HttpReadStream::trailers() const
{
    std::lock_guard lock(m_mutex);
    return m_parser ? m_parser->trailers() : HttpHeaders();
}

bool HttpReadStream::reusedConnection() const
{
    std::lock_guard lock(m_mutex);
    return m_reused;
}

void HttpReadStream::close()
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return;
    m_closed = true;
    if (m_lookup) {
        m_lookup->cancel();
        m_lookup.reset();
    }
    removeWatchLocked();
    releaseConnectionLocked(true);
    if (m_body && m_opened)
        m_body->close();
    m_client = nullptr;
    m_loop.reset();
    ++m_scheduleGeneration;
}

} // namespace net
