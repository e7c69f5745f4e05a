#pragma once
// A scripted HTTP/1.x server on a loopback address for the network tests. Each accepted
// connection has its own thread; the test's handler turns every request into a Reply that says
// exactly what goes on the wire (framing, chunk sizes, gzip, pauses at gates the test opens,
// a close or reset at byte N, no answer at all). Requests are captured raw.
#include <openssl/ssl.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// A latch the test opens; the server waits at it and says when it got there.
class Gate {
public:
    void open();
    bool isOpen() const;
    // Test side: waits until the server stands at the gate.
    bool waitReached(double timeoutSeconds);
    // Server side: marks the arrival and waits for the test (or until `stop` is set).
    void pass(const std::atomic<bool>& stop);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
    bool m_reached = false;
};

struct Request {
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Head and body exactly as received.
    std::string raw;
    // 1 for the first accepted connection, and so on.
    int connection = 0;

    std::optional<std::string> header(const std::string& name) const;
};

struct Reply {
    enum class Framing { Length, Chunked, Close };

    int status = 200;
    std::string reason = "OK";
    std::string version = "HTTP/1.1";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    Framing framing = Framing::Length;
    // Chunked: the sizes of the chunks in turn; the last one repeats.
    std::vector<size_t> chunkSizes;
    // Chunked: trailer lines, each ending in CRLF.
    std::string trailers;
    // Compress the body with gzip and say so in Content-Encoding.
    bool gzip = false;
    // Answer "Range: bytes=N-" with 206 (or 416 past the end), unless an If-Range names
    // another version than the reply's ETag or Last-Modified (or the reply shows neither).
    bool honourRange = false;
    // Sent before the answer, verbatim (e.g. "HTTP/1.1 100 Continue\r\n\r\n").
    std::vector<std::string> interim;
    // Sent verbatim in place of everything above.
    std::optional<std::string> raw;
    // Stop after this many bytes of the wire answer (or of the body, for stopAfterBody).
    std::optional<size_t> stopAfter;
    std::optional<size_t> stopAfterBody;
    // Stop with a reset instead of a close.
    bool reset = false;
    // Pauses: after that many wire bytes, wait at the gate.
    std::vector<std::pair<size_t, std::shared_ptr<Gate>>> pauses;
    // Read the request, then hold the connection without a byte until the client leaves.
    bool neverAnswer = false;
    // Close the connection after this answer.
    bool close = false;
    // After everything above, this many more body bytes of `fillerByte`, made as they are sent
    // (an answer far larger than the test would hold); sending stops when the client leaves.
    uint64_t fillerBytes = 0;
    char fillerByte = 'z';
    // When above 0, the filler trickles at about this many bytes a second.
    uint64_t fillerBytesPerSecond = 0;
    // With a pace: the filler goes in bursts of this many bytes, each followed by the pause
    // that keeps the pace (0: a tenth of a second's worth).
    uint64_t fillerBurstBytes = 0;

    static Reply text(int status, std::string body);
};

struct ServerOptions {
    std::string address = "127.0.0.1";
    // TLS when set (PEM files).
    std::string certificateFile;
    std::string keyFile;
    // Ask for a client certificate and refuse the handshake without one this CA signed.
    std::string clientCAFile;

    static ServerOptions on(std::string address)
    {
        ServerOptions o;
        o.address = std::move(address);
        return o;
    }
};

class LoopbackServer {
public:
    using Handler = std::function<Reply(const Request&)>;

    explicit LoopbackServer(Handler handler, ServerOptions options = {});
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    const std::string& host() const { return m_options.address; }
    uint16_t port() const { return m_port; }
    // "http://127.0.0.1:port" + path (https with TLS).
    std::string url(const std::string& path = "/") const;

    int acceptCount() const;
    std::vector<Request> requests() const;
    // Connections the client closed (the server read their end).
    int closedByClient() const;
    bool waitForRequests(size_t count, double timeoutSeconds) const;
    bool waitForClosedByClient(int count, double timeoutSeconds) const;
    // TLS handshakes that failed on the server's side.
    int failedHandshakes() const;
    // Closes every connection that waits for its next request (not counted as the client's).
    void closeIdleConnections();

    // Wire helpers, also used by the proxy.
    static std::string gzip(const std::string& data);
    // A gzip member of `size` zero bytes (a whole number of MiB) about a thousand times smaller,
    // made from one compressed MiB repeated, with the true CRC and length.
    static std::string gzipOfZeros(uint64_t size);
    static std::string buildWire(const Request& request, Reply& reply, std::optional<size_t>* stopAt);

private:
    void acceptLoop();
    void serve(int fd, int connection);

    Handler m_handler;
    ServerOptions m_options;
    SSL_CTX* m_ctx = nullptr;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::vector<std::thread> m_threads;
    std::set<int> m_open;
    std::set<int> m_idle;
    int m_answering = 0; // connections between reading a request and waiting for the next
    std::set<int> m_closingIdle;
    std::vector<Request> m_requests;
    int m_accepts = 0;
    int m_closedByClient = 0;
    int m_failedHandshakes = 0;
};

// A forward proxy on loopback: HTTP (absolute-form requests and CONNECT) and SOCKS5 without
// authentication on the same port. It records what it was asked and relays to loopback only.
class LoopbackProxy {
public:
    explicit LoopbackProxy(std::string address = "127.0.0.1");
    ~LoopbackProxy();
    LoopbackProxy(const LoopbackProxy&) = delete;
    LoopbackProxy& operator=(const LoopbackProxy&) = delete;

    uint16_t port() const { return m_port; }
    const std::string& host() const { return m_address; }
    // First lines of the HTTP requests ("GET http://... HTTP/1.1", "CONNECT host:port HTTP/1.1")
    // and, for SOCKS5, "SOCKS5 host:port".
    std::vector<std::string> requestLines() const;
    // Whole heads of the HTTP requests, as received.
    std::vector<std::string> requestHeads() const;
    int acceptCount() const;

private:
    void acceptLoop();
    void serve(int fd);

    std::string m_address;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_threads;
    std::set<int> m_open;
    std::vector<std::string> m_lines;
    std::vector<std::string> m_heads;
    int m_accepts = 0;
};

} // namespace testsupport
