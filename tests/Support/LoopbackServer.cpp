#include "tests/Support/LoopbackServer.h"

#include <arpa/inet.h>
#include <csignal>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <openssl/err.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

std::string lowerCase(std::string s)
{
    for (auto& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int listenOn(const std::string& address, uint16_t& port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1 || !address.starts_with("127."))
        throw std::runtime_error("loopback addresses only");
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 64) != 0)
        throw std::runtime_error("bind/listen " + address);
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    return fd;
}

// Connects to a loopback address only: nothing in the tests may leave the machine.
int connectLoopback(const std::string& host, uint16_t port)
{
    std::string address = host == "localhost" ? "127.0.0.1" : host;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1 || !address.starts_with("127."))
        return -1;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void resetClose(int fd)
{
    linger lg{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    ::close(fd);
}

// One side of a connection, plain or TLS, with blocking I/O.
struct Io {
    int fd = -1;
    SSL* ssl = nullptr;

    ssize_t read(char* buf, size_t len)
    {
        if (ssl) {
            int n = SSL_read(ssl, buf, int(len));
            return n > 0 ? n : (SSL_get_error(ssl, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1);
        }
        ssize_t n;
        do
            n = ::recv(fd, buf, len, 0);
        while (n < 0 && errno == EINTR);
        return n;
    }
    bool writeAll(const char* data, size_t len)
    {
        while (len > 0) {
            ssize_t n = ssl ? SSL_write(ssl, data, int(len)) : ::send(fd, data, len, MSG_NOSIGNAL);
            if (n <= 0) {
                if (!ssl && n < 0 && errno == EINTR)
                    continue;
                return false;
            }
            data += n;
            len -= size_t(n);
        }
        return true;
    }
};

// Reads until `buffer` holds "\r\n\r\n"; false on end or error.
bool readHead(Io& io, std::string& buffer, size_t& headEnd)
{
    char chunk[16384];
    for (;;) {
        size_t pos = buffer.find("\r\n\r\n");
        if (pos != std::string::npos) {
            headEnd = pos + 4;
            return true;
        }
        ssize_t n = io.read(chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffer.append(chunk, size_t(n));
    }
}

bool fill(Io& io, std::string& buffer, size_t need)
{
    char chunk[16384];
    while (buffer.size() < need) {
        ssize_t n = io.read(chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffer.append(chunk, size_t(n));
    }
    return true;
}

bool readRequest(Io& io, std::string& buffer, Request& req)
{
    size_t headEnd = 0;
    if (!readHead(io, buffer, headEnd))
        return false;
    std::string head = buffer.substr(0, headEnd);
    size_t lineEnd = head.find("\r\n");
    std::string line = head.substr(0, lineEnd);
    size_t s1 = line.find(' '), s2 = line.rfind(' ');
    if (s1 == std::string::npos || s2 == s1)
        return false;
    req.method = line.substr(0, s1);
    req.target = line.substr(s1 + 1, s2 - s1 - 1);
    req.version = line.substr(s2 + 1);
    size_t pos = lineEnd + 2;
    while (pos < headEnd - 2) {
        size_t end = head.find("\r\n", pos);
        std::string field = head.substr(pos, end - pos);
        size_t colon = field.find(':');
        std::string value = colon == std::string::npos ? "" : field.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        req.headers.emplace_back(field.substr(0, colon), value);
        pos = end + 2;
    }
    buffer.erase(0, headEnd);
    req.raw = head;
    if (auto length = req.header("Content-Length")) {
        size_t n = std::stoul(*length);
        if (!fill(io, buffer, n))
            return false;
        req.body = buffer.substr(0, n);
        req.raw += req.body;
        buffer.erase(0, n);
    } else if (auto te = req.header("Transfer-Encoding"); te && lowerCase(*te).find("chunked") != std::string::npos) {
        for (;;) {
            size_t eol;
            while ((eol = buffer.find("\r\n")) == std::string::npos)
                if (!fill(io, buffer, buffer.size() + 1))
                    return false;
            size_t size = std::stoul(buffer.substr(0, eol), nullptr, 16);
            if (!fill(io, buffer, eol + 2 + size + 2))
                return false;
            req.raw += buffer.substr(0, eol + 2 + size + 2);
            req.body += buffer.substr(eol + 2, size);
            buffer.erase(0, eol + 2 + size + 2);
            if (size == 0)
                break;
        }
    }
    return true;
}

bool hasHeader(const std::vector<std::pair<std::string, std::string>>& headers, const std::string& name)
{
    for (const auto& [n, v] : headers)
        if (lowerCase(n) == lowerCase(name))
            return true;
    return false;
}

} // namespace

void Gate::open()
{
    std::lock_guard lock(m_mutex);
    m_open = true;
    m_cv.notify_all();
}

bool Gate::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool Gate::waitReached(double timeoutSeconds)
{
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), [&] { return m_reached; });
}

void Gate::pass(const std::atomic<bool>& stop)
{
    std::unique_lock lock(m_mutex);
    m_reached = true;
    m_cv.notify_all();
    // Wakes now and then to notice a server shutting down.
    while (!m_open && !stop)
        m_cv.wait_for(lock, std::chrono::milliseconds(50));
}

std::optional<std::string> Request::header(const std::string& name) const
{
    for (const auto& [n, v] : headers)
        if (lowerCase(n) == lowerCase(name))
            return v;
    return std::nullopt;
}

Reply Reply::text(int status, std::string body)
{
    Reply r;
    r.status = status;
    r.reason = status == 200 ? "OK" : "Status";
    r.body = std::move(body);
    return r;
}

std::string LoopbackServer::gzip(const std::string& data)
{
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&zs, uLong(data.size())) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

std::string LoopbackServer::gzipOfZeros(uint64_t size)
{
    const size_t piece = size_t(1) << 20;
    if (size == 0 || size % piece != 0)
        throw std::runtime_error("gzipOfZeros: a whole number of MiB");
    std::string zeros(piece, '\0');
    // A fully flushed raw deflate block owes nothing to what came before, so copies of it
    // follow one another as they are.
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string block(deflateBound(&zs, uLong(piece)) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(zeros.data());
    zs.avail_in = uInt(piece);
    zs.next_out = reinterpret_cast<Bytef*>(block.data());
    zs.avail_out = uInt(block.size());
    int rc = deflate(&zs, Z_FULL_FLUSH);
    block.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_OK || zs.avail_in != 0)
        throw std::runtime_error("deflate");
    uLong pieceCrc = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), uInt(piece));
    uLong crc = pieceCrc;
    uint64_t pieces = size / piece;
    for (uint64_t i = 1; i < pieces; ++i)
        crc = crc32_combine(crc, pieceCrc, z_off_t(piece));
    std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    out.reserve(out.size() + block.size() * pieces + 10);
    for (uint64_t i = 0; i < pieces; ++i)
        out += block;
    out += std::string("\x03\x00", 2); // the final, empty block
    auto little = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out += char((v >> (8 * i)) & 0xff);
    };
    little(uint32_t(crc));
    little(uint32_t(size & 0xffffffffu));
    return out;
}

std::string LoopbackServer::buildWire(const Request& request, Reply& reply, std::optional<size_t>* stopAt)
{
    if (reply.raw) {
        *stopAt = reply.stopAfter;
        return *reply.raw;
    }
    std::string body = reply.body;
    auto headers = reply.headers;
    int status = reply.status;
    std::string reason = reply.reason;
    if (reply.honourRange) {
        auto range = request.header("Range");
        // As servers that honour ranges do: an If-Range naming another version (or a reply
        // without validators) gets the whole body.
        if (auto ifRange = request.header("If-Range")) {
            auto shown = [&](const char* name) -> std::optional<std::string> {
                for (const auto& [n, v] : headers)
                    if (strcasecmp(n.c_str(), name) == 0)
                        return v;
                return std::nullopt;
            };
            bool tag = ifRange->starts_with('"') || ifRange->starts_with("W/");
            auto validator = shown(tag ? "ETag" : "Last-Modified");
            if (!validator || *validator != *ifRange || ifRange->starts_with("W/"))
                range.reset();
        }
        if (range && range->starts_with("bytes=") && range->back() == '-') {
            size_t from = std::stoul(range->substr(6));
            size_t total = body.size();
            if (from < total) {
                status = 206;
                reason = "Partial Content";
                headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                          std::to_string(total - 1) + "/" + std::to_string(total));
                body = body.substr(from);
            } else {
                status = 416;
                reason = "Range Not Satisfiable";
                headers.emplace_back("Content-Range", "bytes */" + std::to_string(total));
                body.clear();
            }
        }
    }
    if (reply.gzip) {
        body = gzip(body);
        headers.emplace_back("Content-Encoding", "gzip");
    }
    if (reply.framing == Reply::Framing::Length && !hasHeader(headers, "Content-Length"))
        headers.emplace_back("Content-Length", std::to_string(body.size()));
    if (reply.framing == Reply::Framing::Chunked)
        headers.emplace_back("Transfer-Encoding", "chunked");

    std::string wire;
    for (const auto& i : reply.interim)
        wire += i;
    wire += reply.version + " " + std::to_string(status) + " " + reason + "\r\n";
    for (const auto& [n, v] : headers)
        wire += n + ": " + v + "\r\n";
    wire += "\r\n";
    *stopAt = reply.stopAfter;
    if (reply.framing != Reply::Framing::Chunked) {
        if (reply.stopAfterBody)
            *stopAt = wire.size() + *reply.stopAfterBody;
        return wire + body;
    }
    size_t sent = 0, index = 0;
    while (sent < body.size()) {
        size_t size = reply.chunkSizes.empty() ? body.size()
                                               : reply.chunkSizes[std::min(index, reply.chunkSizes.size() - 1)];
        size = std::min(std::max<size_t>(size, 1), body.size() - sent);
        char sizeLine[32];
        std::snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", size);
        wire += sizeLine;
        if (reply.stopAfterBody && !stopAt->has_value() && *reply.stopAfterBody < sent + size)
            *stopAt = wire.size() + (*reply.stopAfterBody - sent);
        wire += body.substr(sent, size) + "\r\n";
        sent += size;
        ++index;
    }
    wire += "0\r\n" + reply.trailers + "\r\n";
    return wire;
}

LoopbackServer::LoopbackServer(Handler handler, ServerOptions options)
    : m_handler(std::move(handler))
    , m_options(std::move(options))
{
    // TLS writes to a client that has gone away would raise SIGPIPE and end the test process.
    ::signal(SIGPIPE, SIG_IGN);
    if (!m_options.certificateFile.empty()) {
        m_ctx = SSL_CTX_new(TLS_server_method());
        if (SSL_CTX_use_certificate_chain_file(m_ctx, m_options.certificateFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(m_ctx, m_options.keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
            throw std::runtime_error("server certificate");
        if (!m_options.clientCAFile.empty()) {
            SSL_CTX_load_verify_locations(m_ctx, m_options.clientCAFile.c_str(), nullptr);
            SSL_CTX_set_verify(m_ctx, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
        }
    }
    m_listen = listenOn(m_options.address, m_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    m_stop = true;
    ::shutdown(m_listen, SHUT_RDWR);
    m_acceptThread.join();
    ::close(m_listen);
    {
        std::lock_guard lock(m_mutex);
        for (int fd : m_open)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& t : m_threads)
        t.join();
    if (m_ctx)
        SSL_CTX_free(m_ctx);
}

std::string LoopbackServer::url(const std::string& path) const
{
    return std::string(m_ctx ? "https" : "http") + "://" + m_options.address + ":" + std::to_string(m_port) + path;
}

int LoopbackServer::acceptCount() const
{
    std::lock_guard lock(m_mutex);
    return m_accepts;
}

std::vector<Request> LoopbackServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int LoopbackServer::closedByClient() const
{
    std::lock_guard lock(m_mutex);
    return m_closedByClient;
}

void LoopbackServer::closeIdleConnections()
{
    std::unique_lock lock(m_mutex);
    // A connection that has just answered becomes idle a moment later, on its own thread.
    m_cv.wait_for(lock, std::chrono::seconds(5), [this] { return m_answering == 0; });
    for (int fd : m_idle) {
        m_closingIdle.insert(fd);
        ::shutdown(fd, SHUT_RDWR);
    }
}

int LoopbackServer::failedHandshakes() const
{
    std::lock_guard lock(m_mutex);
    return m_failedHandshakes;
}

bool LoopbackServer::waitForRequests(size_t count, double timeoutSeconds) const
{
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                         [&] { return m_requests.size() >= count; });
}

bool LoopbackServer::waitForClosedByClient(int count, double timeoutSeconds) const
{
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                         [&] { return m_closedByClient >= count; });
}

void LoopbackServer::acceptLoop()
{
    for (;;) {
        int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stop)
                return;
            continue;
        }
        std::lock_guard lock(m_mutex);
        if (m_stop) {
            ::close(fd);
            return;
        }
        int number = ++m_accepts;
        m_open.insert(fd);
        m_threads.emplace_back([this, fd, number] { serve(fd, number); });
    }
}

void LoopbackServer::serve(int fd, int connection)
{
    Io io{fd, nullptr};
    auto finish = [&](bool reset) {
        {
            std::lock_guard lock(m_mutex);
            m_open.erase(fd);
            m_cv.notify_all();
        }
        if (io.ssl) {
            if (!reset)
                SSL_shutdown(io.ssl);
            SSL_free(io.ssl);
        }
        reset ? resetClose(fd) : (void)::close(fd);
    };
    if (m_ctx) {
        io.ssl = SSL_new(m_ctx);
        SSL_set_fd(io.ssl, fd);
        if (SSL_accept(io.ssl) != 1) {
            std::lock_guard lock(m_mutex);
            ++m_failedHandshakes;
            ERR_clear_error();
            m_open.erase(fd);
            SSL_free(io.ssl);
            ::close(fd);
            m_cv.notify_all();
            return;
        }
    }
    std::string buffer;
    bool answering = false;
    // However the connection ends, it no longer counts as answering.
    struct AnsweringGuard {
        LoopbackServer& server;
        bool& answering;
        ~AnsweringGuard()
        {
            if (!answering)
                return;
            std::lock_guard lock(server.m_mutex);
            --server.m_answering;
            server.m_cv.notify_all();
        }
    } guard{*this, answering};
    while (!m_stop) {
        Request req;
        req.connection = connection;
        {
            std::lock_guard lock(m_mutex);
            if (buffer.empty())
                m_idle.insert(fd);
            if (answering) {
                answering = false;
                --m_answering;
                m_cv.notify_all();
            }
        }
        bool got = readRequest(io, buffer, req);
        {
            std::lock_guard lock(m_mutex);
            m_idle.erase(fd);
            if (!got) {
                if (!m_stop && !m_closingIdle.count(fd))
                    ++m_closedByClient;
                m_closingIdle.erase(fd);
                m_cv.notify_all();
            }
        }
        if (!got)
            break;
        {
            std::lock_guard lock(m_mutex);
            answering = true;
            ++m_answering;
        }
        Reply reply = m_handler(req);
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(req);
            m_cv.notify_all();
        }
        if (reply.neverAnswer) {
            char byte;
            while (!m_stop) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 50) > 0 && ::recv(fd, &byte, 1, MSG_PEEK) <= 0)
                    break;
            }
            std::lock_guard lock(m_mutex);
            if (!m_stop)
                ++m_closedByClient;
            break;
        }
        std::optional<size_t> stopAt;
        std::string wire = buildWire(req, reply, &stopAt);
        size_t end = stopAt ? std::min(*stopAt, wire.size()) : wire.size();
        size_t pos = 0;
        bool ok = true;
        auto pauses = reply.pauses;
        std::sort(pauses.begin(), pauses.end(), [](auto& a, auto& b) { return a.first < b.first; });
        for (auto& [at, gate] : pauses) {
            if (at > end)
                break;
            ok = ok && io.writeAll(wire.data() + pos, at - pos);
            pos = at;
            gate->pass(m_stop);
        }
        ok = ok && io.writeAll(wire.data() + pos, end - pos);
        if (ok && reply.fillerBytes > 0 && !stopAt) {
            uint64_t rate = reply.fillerBytesPerSecond;
            uint64_t piece = !rate                   ? 1 << 16
                             : reply.fillerBurstBytes ? reply.fillerBurstBytes
                                                      : std::max<uint64_t>(1, rate / 10);
            std::string filler(std::min<uint64_t>(reply.fillerBytes, piece), reply.fillerByte);
            for (uint64_t left = reply.fillerBytes; ok && left > 0 && !m_stop;) {
                size_t n = size_t(std::min<uint64_t>(left, filler.size()));
                ok = io.writeAll(filler.data(), n);
                left -= n;
                if (!rate)
                    continue;
                // The pace is kept in short naps, so that stopping the server is not held up.
                auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(n * 1000000 / rate);
                while (!m_stop && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        if (stopAt) {
            finish(reply.reset);
            return;
        }
        bool http10 = !reply.raw && reply.version == "HTTP/1.0";
        bool connectionClose = false, connectionKeepAlive = false;
        for (const auto& [n, v] : reply.headers) {
            if (lowerCase(n) != "connection")
                continue;
            connectionClose = connectionClose || lowerCase(v) == "close";
            connectionKeepAlive = connectionKeepAlive || lowerCase(v) == "keep-alive";
        }
        if (!ok || reply.close || connectionClose || reply.framing == Reply::Framing::Close ||
            (http10 && !connectionKeepAlive))
            break;
    }
    finish(false);
}

// ---- proxy

namespace {

void tunnel(int a, int b)
{
    char buf[65536];
    bool aOpen = true, bOpen = true;
    while (aOpen || bOpen) {
        pollfd p[2] = {{a, short(aOpen ? POLLIN : 0), 0}, {b, short(bOpen ? POLLIN : 0), 0}};
        if (::poll(p, 2, 1000) < 0)
            return;
        for (int i = 0; i < 2; ++i) {
            if (!p[i].revents)
                continue;
            int from = i == 0 ? a : b, to = i == 0 ? b : a;
            ssize_t n = ::recv(from, buf, sizeof buf, 0);
            if (n <= 0) {
                (i == 0 ? aOpen : bOpen) = false;
                ::shutdown(to, SHUT_WR);
                if (n < 0)
                    return;
                continue;
            }
            if (::send(to, buf, size_t(n), MSG_NOSIGNAL) != n)
                return;
        }
    }
}

bool readExact(int fd, unsigned char* out, size_t len)
{
    while (len > 0) {
        ssize_t n = ::recv(fd, out, len, 0);
        if (n <= 0)
            return false;
        out += n;
        len -= size_t(n);
    }
    return true;
}

} // namespace

LoopbackProxy::LoopbackProxy(std::string address)
    : m_address(std::move(address))
{
    m_listen = listenOn(m_address, m_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

LoopbackProxy::~LoopbackProxy()
{
    m_stop = true;
    ::shutdown(m_listen, SHUT_RDWR);
    m_acceptThread.join();
    ::close(m_listen);
    {
        std::lock_guard lock(m_mutex);
        for (int fd : m_open)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& t : m_threads)
        t.join();
}

std::vector<std::string> LoopbackProxy::requestLines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::vector<std::string> LoopbackProxy::requestHeads() const
{
    std::lock_guard lock(m_mutex);
    return m_heads;
}

int LoopbackProxy::acceptCount() const
{
    std::lock_guard lock(m_mutex);
    return m_accepts;
}

void LoopbackProxy::acceptLoop()
{
    for (;;) {
        int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stop)
                return;
            continue;
        }
        std::lock_guard lock(m_mutex);
        ++m_accepts;
        m_open.insert(fd);
        m_threads.emplace_back([this, fd] { serve(fd); });
    }
}

void LoopbackProxy::serve(int fd)
{
    int upstream = -1;
    unsigned char first = 0;
    if (readExact(fd, &first, 1) && first == 5) {
        unsigned char n = 0, methods[255], req[4];
        bool ok = readExact(fd, &n, 1) && readExact(fd, methods, n) &&
                  std::find(methods, methods + n, 0) != methods + n;
        const unsigned char choice[2] = {5, static_cast<unsigned char>(ok ? 0 : 0xff)};
        ::send(fd, choice, 2, MSG_NOSIGNAL);
        std::string host;
        uint16_t port = 0;
        if (ok && readExact(fd, req, 4) && req[0] == 5 && req[1] == 1) {
            unsigned char addr[256], portBytes[2];
            if (req[3] == 1 && readExact(fd, addr, 4)) {
                char text[INET_ADDRSTRLEN];
                host = ::inet_ntop(AF_INET, addr, text, sizeof text);
            } else if (req[3] == 3 && readExact(fd, addr, 1) && readExact(fd, addr + 1, addr[0])) {
                host.assign(reinterpret_cast<char*>(addr + 1), addr[0]);
            }
            if (!host.empty() && readExact(fd, portBytes, 2)) {
                port = uint16_t(portBytes[0] << 8 | portBytes[1]);
                upstream = connectLoopback(host, port);
            }
        }
        {
            std::lock_guard lock(m_mutex);
            m_lines.push_back("SOCKS5 " + host + ":" + std::to_string(port));
        }
        const unsigned char reply[10] = {5, static_cast<unsigned char>(upstream >= 0 ? 0 : 5), 0, 1, 0, 0, 0, 0, 0, 0};
        if (ok)
            ::send(fd, reply, sizeof reply, MSG_NOSIGNAL);
        if (upstream >= 0)
            tunnel(fd, upstream);
    } else if (first) {
        std::string buffer(1, char(first));
        Io io{fd, nullptr};
        size_t headEnd = 0;
        if (readHead(io, buffer, headEnd)) {
            std::string head = buffer.substr(0, headEnd);
            std::string line = head.substr(0, head.find("\r\n"));
            {
                std::lock_guard lock(m_mutex);
                m_lines.push_back(line);
                m_heads.push_back(head);
            }
            size_t s1 = line.find(' '), s2 = line.rfind(' ');
            std::string method = line.substr(0, s1), target = line.substr(s1 + 1, s2 - s1 - 1);
            std::string authority;
            if (method == "CONNECT")
                authority = target;
            else if (target.starts_with("http://"))
                authority = target.substr(7, target.find('/', 7) - 7);
            size_t colon = authority.rfind(':');
            if (colon != std::string::npos)
                upstream = connectLoopback(authority.substr(0, colon), uint16_t(std::stoi(authority.substr(colon + 1))));
            else if (!authority.empty())
                upstream = connectLoopback(authority, 80);
            if (upstream < 0) {
                std::string answer = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
            } else if (method == "CONNECT") {
                std::string answer = "HTTP/1.1 200 Connection established\r\n\r\n";
                ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
                if (buffer.size() > headEnd)
                    ::send(upstream, buffer.data() + headEnd, buffer.size() - headEnd, MSG_NOSIGNAL);
                tunnel(fd, upstream);
            } else {
                // Passed on as received; the loopback server takes absolute-form targets.
                ::send(upstream, buffer.data(), buffer.size(), MSG_NOSIGNAL);
                tunnel(fd, upstream);
            }
        }
    }
    if (upstream >= 0)
        ::close(upstream);
    {
        std::lock_guard lock(m_mutex);
        m_open.erase(fd);
    }
    ::close(fd);
}

} // namespace testsupport
