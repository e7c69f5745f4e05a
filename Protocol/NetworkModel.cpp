#include "Protocol/NetworkModel.h"

std::shared_ptr<NetworkModel> NetworkModel::sharedInstance()
{
    static const std::shared_ptr<NetworkModel> instance = std::make_shared<NetworkModel>();
    return instance;
}

void NetworkModel::cancelAllRequests()
{
    std::map<int, std::shared_ptr<RequestInterfaceBase>> dropped;
    {
        std::lock_guard guard(lock_);
        dropped.swap(dicRequestList_);
    }
    // Released outside the lock: a command's destructor may call back in.
}

size_t NetworkModel::pendingRequestCount() const
{
    std::lock_guard guard(lock_);
    return dicRequestList_.size();
}
