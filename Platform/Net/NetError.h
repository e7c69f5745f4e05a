#pragma once
#include "Platform/Base/Error.h"

#include <string>

namespace net {

// What went wrong on a stream, as a stable kind the engine can test instead of errno numbers.
enum class ErrorKind {
    None,
    // Closed or reset by the peer before any byte of the answer (a stale kept-alive socket).
    ConnectionLost,
    // Closed or reset after the answer began but before its framed end.
    Truncated,
    // Writing failed because the peer is gone (EPIPE, ENOTCONN).
    BrokenPipe,
    Refused,
    Dns,
    Tls,
    // The peer's bytes break HTTP framing or our limits; also a bad proxy handshake.
    Protocol,
    Timeout,
    // Any other system failure (unreachable network, body source read error, ...).
    Other,
};

const char* errorKindName(ErrorKind kind);

struct StreamError {
    ErrorKind kind = ErrorKind::None;
    // errno, or the TLS library's verify result, when there is one.
    int code = 0;
    std::string message;

    explicit operator bool() const { return kind != ErrorKind::None; }
    // As a base error in the "net" domain; the code is the kind's number.
    base::ErrorPtr toError() const;
};

inline constexpr const char* kStreamErrorDomain = "net";

StreamError errnoError(ErrorKind kind, int err, const std::string& what);

} // namespace net
