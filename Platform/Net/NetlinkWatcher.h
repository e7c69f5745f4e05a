#pragma once
#include "Platform/Net/UniqueFd.h"

#include <functional>
#include <memory>
#include <thread>

namespace net {

// Listens on a thread of its own for the kernel's link, address and route changes in this
// network namespace, and calls the handler (on that thread) once per burst of messages.
class NetlinkWatcher {
public:
    using Handler = std::function<void()>;

    // nullptr when the kernel refuses the socket.
    static std::unique_ptr<NetlinkWatcher> start(Handler onChange);
    // Wakes the thread and joins it; the handler is not called afterwards.
    ~NetlinkWatcher();
    NetlinkWatcher(const NetlinkWatcher&) = delete;
    NetlinkWatcher& operator=(const NetlinkWatcher&) = delete;

private:
    NetlinkWatcher(UniqueFd socket, UniqueFd wake, Handler onChange);
    void loop();
    enum class Drain { Quiet, Changed, Broken };
    Drain drain();

    UniqueFd m_socket;
    UniqueFd m_wake;
    Handler m_onChange;
    std::thread m_thread;
};

} // namespace net
