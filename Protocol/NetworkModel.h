#pragma once
#include <map>
#include <memory>
#include <mutex>

class RequestInterfaceBase;

// The front end of the server commands: the commands waiting for their answers, by request
// code. Never destroyed.
class NetworkModel {
public:
    static std::shared_ptr<NetworkModel> sharedInstance();

    // Drops every pending command (logout, a broken-off sync); late answers find nothing.
    void cancelAllRequests();
    size_t pendingRequestCount() const;

private:
    mutable std::mutex lock_;
    std::map<int, std::shared_ptr<RequestInterfaceBase>> dicRequestList_;
};
