#include "Platform/Net/Resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <thread>

namespace net {

std::string SocketAddress::toString() const
{
    char text[INET6_ADDRSTRLEN] = {};
    if (family() == AF_INET) {
        auto* sa = reinterpret_cast<const sockaddr_in*>(&storage);
        ::inet_ntop(AF_INET, &sa->sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(sa->sin_port));
    }
    auto* sa = reinterpret_cast<const sockaddr_in6*>(&storage);
    ::inet_ntop(AF_INET6, &sa->sin6_addr, text, sizeof text);
    return "[" + std::string(text) + "]:" + std::to_string(ntohs(sa->sin6_port));
}

namespace {

std::vector<SocketAddress> lookup(const std::string& host, int port, int flags, int& rc)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc == EAI_BADFLAGS || (rc != 0 && (flags & AI_NUMERICHOST) == 0 && rc != EAI_NONAME && rc != EAI_AGAIN)) {
        // Without a configured address AI_ADDRCONFIG can refuse loopback names; ask again.
        hints.ai_flags = flags | AI_NUMERICSERV;
        rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    }
    std::vector<SocketAddress> out;
    if (rc != 0)
        return out;
    for (addrinfo* ai = found; ai; ai = ai->ai_next) {
        SocketAddress a;
        std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
        a.length = ai->ai_addrlen;
        out.push_back(a);
    }
    ::freeaddrinfo(found);
    return out;
}

// Process-lifetime workers: a slow look-up holds one thread, the others go on.
class Pool {
public:
    static Pool& shared()
    {
        static Pool* pool = new Pool;
        return *pool;
    }

    void post(std::function<void()> job)
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (m_idle == 0 && m_threads < kMaxThreads) {
            ++m_threads;
            std::thread([this] { work(); }).detach();
        } else {
            m_cv.notify_one();
        }
    }

private:
    static constexpr int kMaxThreads = 4;

    void work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            m_cv.wait(lock, [&] { return !m_jobs.empty(); });
            --m_idle;
            auto job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_jobs;
    int m_threads = 0;
    int m_idle = 0;
};

} // namespace

void Resolver::Lookup::cancel()
{
    std::lock_guard lock(m_mutex);
    m_callback = nullptr;
}

std::vector<SocketAddress> Resolver::numeric(const std::string& host, int port)
{
    // Plain addresses need neither the resolver nor its dump of the interfaces' addresses.
    SocketAddress address;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address.storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        address.length = sizeof(sockaddr_in);
        return {address};
    }
    if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        address.length = sizeof(sockaddr_in6);
        return {address};
    }
    if (host.find('%') == std::string::npos)
        return {};
    // A scoped IPv6 address ("fe80::1%eth0") needs the interface's index.
    int rc = 0;
    return lookup(host, port, AI_NUMERICHOST, rc);
}

std::shared_ptr<Resolver::Lookup> Resolver::resolve(const std::string& host, int port, Callback callback)
{
    auto handle = std::make_shared<Lookup>();
    if (auto addresses = numeric(host, port); !addresses.empty()) {
        callback(std::move(addresses), {});
        return handle;
    }
    handle->m_callback = std::move(callback);
    Pool::shared().post([handle, host, port] {
        int rc = 0;
        auto addresses = lookup(host, port, 0, rc);
        StreamError error;
        if (addresses.empty())
            error = StreamError{ErrorKind::Dns, rc, "cannot resolve host \"" + host + "\": " + ::gai_strerror(rc)};
        Callback cb;
        {
            std::lock_guard lock(handle->m_mutex);
            cb = std::move(handle->m_callback);
            handle->m_callback = nullptr;
        }
        if (cb)
            cb(std::move(addresses), std::move(error));
    });
    return handle;
}

} // namespace net
