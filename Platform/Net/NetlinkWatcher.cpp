#include "Platform/Net/NetlinkWatcher.h"

#include "Platform/Base/Log.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

namespace net {

std::unique_ptr<NetlinkWatcher> NetlinkWatcher::start(Handler onChange)
{
    UniqueFd socketFd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
    if (!socketFd) {
        base::logf("netlink: socket: %s", std::strerror(errno));
        return nullptr;
    }
    sockaddr_nl address {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(socketFd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        base::logf("netlink: bind: %s", std::strerror(errno));
        return nullptr;
    }
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake)
        return nullptr;
    return std::unique_ptr<NetlinkWatcher>(new NetlinkWatcher(std::move(socketFd), std::move(wake), std::move(onChange)));
}

NetlinkWatcher::NetlinkWatcher(UniqueFd socket, UniqueFd wake, Handler onChange)
    : m_socket(std::move(socket))
    , m_wake(std::move(wake))
    , m_onChange(std::move(onChange))
{
    m_thread = std::thread([this] { loop(); });
}

NetlinkWatcher::~NetlinkWatcher()
{
    uint64_t one = 1;
    while (::write(m_wake.get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
    if (m_thread.joinable())
        m_thread.join();
}

void NetlinkWatcher::loop()
{
    pollfd fds[2] = {{m_socket.get(), POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            base::logf("netlink: poll: %s", std::strerror(errno));
            return;
        }
        if (fds[1].revents)
            return;
        if (!fds[0].revents)
            continue;
        Drain result = drain();
        if (result != Drain::Quiet)
            m_onChange();
        if (result == Drain::Broken)
            return;
    }
}

NetlinkWatcher::Drain NetlinkWatcher::drain()
{
    alignas(nlmsghdr) char buffer[16384];
    Drain result = Drain::Quiet;
    for (;;) {
        ssize_t got = ::recv(m_socket.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            result = Drain::Changed;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // The kernel dropped messages because we fell behind: something changed.
        if (got < 0 && errno == ENOBUFS) {
            result = Drain::Changed;
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return result;
        base::logf("netlink: recv: %s", got < 0 ? std::strerror(errno) : "closed");
        return Drain::Broken;
    }
}

} // namespace net
