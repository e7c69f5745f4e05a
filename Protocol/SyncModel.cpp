#include "Protocol/SyncModel.h"

#include <mutex>

namespace {
std::mutex g_lock;
std::shared_ptr<SyncModel> g_instance;
}

std::shared_ptr<SyncModel> SyncModel::sharedInstance()
{
    std::lock_guard guard(g_lock);
    if (!g_instance)
        g_instance = std::make_shared<SyncModel>();
    return g_instance;
}

void SyncModel::freeInstance()
{
    std::shared_ptr<SyncModel> dropped;
    std::lock_guard guard(g_lock);
    dropped = std::move(g_instance);
}

void SyncModel::startSyncData()
{
    if (auto screen = delegate())
        screen->startSyncData();
}
