#pragma once
#include "Platform/Base/RunLoop.h"
#include "Platform/Net/BodyStream.h"
#include "Platform/Net/HttpMessage.h"
#include "Platform/Net/HttpResponseParser.h"
#include "Platform/Net/NetError.h"
#include "Platform/Net/Proxy.h"
#include "Platform/Net/Resolver.h"
#include "Platform/Net/Tls.h"

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace net {

class Connection;

enum class StreamEvent { BytesAvailable = 2, ErrorOccurred = 8, EndEncountered = 16 };

enum class StreamStatus { NotOpen, Opening, Open, AtEnd, Closed, Error };

// A read stream for one HTTP exchange: it sends the request head and body and yields the
// answer's decoded body. Events come in order on the loop it is scheduled on, never while
// unscheduled: "bytes available" again while decoded bytes remain and the client keeps
// reading, then exactly one of "error" or "end" once the buffered bytes are read.
//
// With a stream ID and persistence on, a complete answer on a connection that may carry
// another one parks the connection under that ID; a later stream opened with the same ID for
// the same scheme, host, port (and proxy and TLS settings) takes the socket over when it is
// still idle and open. Closing the parking stream closes a connection nobody took.
class HttpReadStream : public std::enable_shared_from_this<HttpReadStream> {
public:
    using Client = std::function<void(StreamEvent)>;

    static std::shared_ptr<HttpReadStream> create(HttpRequestHead request, std::shared_ptr<InputStream> body = nullptr);
    ~HttpReadStream();
    HttpReadStream(const HttpReadStream&) = delete;
    HttpReadStream& operator=(const HttpReadStream&) = delete;

    // Settings, before open().
    void setPersistent(bool persistent);
    void setStreamID(std::string id);
    void setProxy(Proxy proxy);
    void setTlsOptions(TlsOptions options);
    void setLimits(HttpResponseParser::Limits limits);

    // The client gets the events; none after it is cleared.
    void setClient(Client client);
    void schedule(base::RunLoop& loop, const base::RunLoop::Mode& mode = base::RunLoop::kDefaultMode);
    void unschedule();
    bool isScheduled() const;

    // Starts the exchange; false when it cannot start (a URL without host, a scheme other than
    // http and https, a body that cannot be opened), with error() set.
    bool open();
    // Stops everything; a connection parked by this stream and not taken over is closed.
    void close();

    // Decoded body bytes: > 0, 0 when none are buffered now (the end comes as its own event),
    // -1 after an error.
    ssize_t read(uint8_t* buffer, size_t length);
    bool hasBytesAvailable() const;
    // How many decoded body bytes a read could take now.
    size_t bytesAvailable() const;

    StreamStatus status() const;
    StreamError error() const;
    // Set once the final answer's head is read.
    std::shared_ptr<const HttpResponseHead> responseHead() const;
    HttpHeaders trailers() const;
    // Bytes of the request body sent so far (the head not counted). Any thread.
    uint64_t bodyBytesWritten() const { return m_bodyBytesWritten.load(); }
    // The exchange ran on a connection taken over from a parked one.
    bool reusedConnection() const;
    const HttpRequestHead& request() const { return m_request; }

    // Parked connections (for tests and diagnostics).
    static size_t parkedConnectionCount();

private:
    enum class Phase { Idle, Resolving, Connecting, Socks, Tunnel, Handshake, Exchange, Done, Failed };
    struct Segment {
        std::string bytes;
        size_t bodyBegin = 0, bodyEnd = 0;
        size_t sent = 0;
    };

    HttpReadStream(HttpRequestHead request, std::shared_ptr<InputStream> body);

    // All below run on the scheduled loop's thread with m_mutex held, unless noted.
    void startConnectLocked();
    void onResolved(std::vector<SocketAddress> addresses, StreamError error);
    void connectNextLocked();
    void startTransportLocked();
    void startExchangeLocked();
    void driveLocked();
    bool driveConnectLocked();
    bool driveSocksLocked();
    bool driveTunnelLocked();
    bool driveHandshakeLocked();
    bool driveExchangeLocked();
    bool flushLocked(bool& blocked);
    bool fillBodyLocked();
    // After bytes were read: the peer is acknowledged without delay.
    void acknowledgeAtOnce();
    ssize_t transportRead(char* buffer, size_t length, bool& wouldBlock);
    ssize_t transportWrite(const char* buffer, size_t length, bool& wouldBlock);
    void failLocked(StreamError error);
    void finishMessageLocked(bool noReuse);
    void updateWatchLocked();
    void removeWatchLocked();
    void requestDeliveryLocked();
    void postDriveLocked();
    bool hasBytesLocked() const { return m_decoded.size() > m_decodedPos; }
    void deliver();
    bool takeParkedLocked();
    void releaseConnectionLocked(bool closeSocket);
    std::string connectionKeyLocked() const;

    // Recursive: a body source may call back into the stream (to unschedule it) while it is read.
    mutable std::recursive_mutex m_mutex;
    HttpRequestHead m_request;
    std::shared_ptr<InputStream> m_body;
    bool m_persistent = false;
    std::string m_streamID;
    Proxy m_proxy;
    TlsOptions m_tls;
    HttpResponseParser::Limits m_limits;
    HttpHeaders m_framing;
    Client m_client;

    std::shared_ptr<base::RunLoop> m_loop;
    base::RunLoop::Mode m_mode;
    base::RunLoop::WatchId m_watch = 0;
    unsigned m_watchEvents = 0;
    bool m_deliveryPosted = false;
    bool m_drivePosted = false;
    uint64_t m_scheduleGeneration = 0;
    uint64_t m_watchGeneration = 0;

    Phase m_phase = Phase::Idle;
    bool m_opened = false;
    bool m_closed = false;
    std::shared_ptr<Resolver::Lookup> m_lookup;
    std::vector<SocketAddress> m_addresses;
    size_t m_nextAddress = 0;
    StreamError m_connectError;
    std::shared_ptr<Connection> m_conn;
    bool m_reused = false;
    bool m_wantWrite = false; // the transport waits for writability
    bool m_wantRead = true;

    // Proxy handshakes.
    std::string m_handshakeIn;
    int m_socksStep = 0;
    std::unique_ptr<HttpResponseParser> m_tunnelParser;

    // Request bytes.
    std::deque<Segment> m_out;
    bool m_bodyDone = true;
    bool m_chunkedBody = false;
    std::optional<uint64_t> m_bodyLimit;
    uint64_t m_bodyPulled = 0;
    std::atomic<uint64_t> m_bodyBytesWritten{0};
    StreamError m_writeError;

    // Answer.
    std::unique_ptr<HttpResponseParser> m_parser;
    std::string m_decoded;
    size_t m_decodedPos = 0;
    bool m_bytesArmed = false;
    bool m_headSignal = false;
    bool m_atEnd = false;
    bool m_endDelivered = false;
    StreamError m_error;
    bool m_errorDelivered = false;
};

} // namespace net
