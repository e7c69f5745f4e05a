#include "Platform/Net/NetError.h"

#include <system_error>

namespace net {

const char* errorKindName(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::None: return "none";
    case ErrorKind::ConnectionLost: return "connection lost";
    case ErrorKind::Truncated: return "truncated";
    case ErrorKind::BrokenPipe: return "broken pipe";
    case ErrorKind::Refused: return "refused";
    case ErrorKind::Dns: return "dns";
    case ErrorKind::Tls: return "tls";
    case ErrorKind::Protocol: return "protocol";
    case ErrorKind::Timeout: return "timeout";
    case ErrorKind::Other: return "other";
    }
    return "other";
}

base::ErrorPtr StreamError::toError() const
{
    return base::Error::make(kStreamErrorDomain, static_cast<int>(kind), message);
}

StreamError errnoError(ErrorKind kind, int err, const std::string& what)
{
    return StreamError{kind, err, what + ": " + std::system_category().message(err)};
}

} // namespace net
