#include "Classes/Customer/CustomerDataModel.h"

#include <mutex>

namespace {
std::mutex g_lock;
std::shared_ptr<CustomerDataModel> g_instance;
}

std::shared_ptr<CustomerDataModel> CustomerDataModel::sharedInstance()
{
    std::lock_guard guard(g_lock);
    if (!g_instance)
        g_instance = std::make_shared<CustomerDataModel>();
    return g_instance;
}

void CustomerDataModel::freeInstance()
{
    std::shared_ptr<CustomerDataModel> dropped;
    std::lock_guard guard(g_lock);
    dropped = std::move(g_instance);
}
