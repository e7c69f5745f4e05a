#pragma once
#include "Platform/Net/NetError.h"

#include <sys/socket.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace net {

struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    int family() const { return storage.ss_family; }
    std::string toString() const;
};

// Name look-ups off the caller's thread: a few resolver threads that live for the process run
// the system's blocking look-up, so no run loop ever waits on DNS.
class Resolver {
public:
    using Callback = std::function<void(std::vector<SocketAddress>, StreamError)>;

    // A numeric host answers at once, on the caller's thread; a name answers on a resolver
    // thread. The callback runs once, unless the returned handle is cancelled first.
    class Lookup {
    public:
        void cancel();

    private:
        friend class Resolver;
        std::mutex m_mutex;
        Callback m_callback;
    };

    static std::shared_ptr<Lookup> resolve(const std::string& host, int port, Callback callback);
    // For numeric hosts only; nothing for a name.
    static std::vector<SocketAddress> numeric(const std::string& host, int port);
};

} // namespace net
