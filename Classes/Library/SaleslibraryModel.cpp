#include "Classes/Library/SaleslibraryModel.h"

#include <mutex>

namespace {
std::mutex g_lock;
std::shared_ptr<SaleslibraryModel> g_instance;
}

std::shared_ptr<SaleslibraryModel> SaleslibraryModel::sharedInstance()
{
    std::lock_guard guard(g_lock);
    if (!g_instance)
        g_instance = std::make_shared<SaleslibraryModel>();
    return g_instance;
}

void SaleslibraryModel::freeInstance()
{
    std::shared_ptr<SaleslibraryModel> dropped;
    {
        std::lock_guard guard(g_lock);
        dropped = std::move(g_instance);
    }
    if (dropped)
        dropped->cancelAllUncompleteFiles();
}

void SaleslibraryModel::cancelAllUncompleteFiles()
{
    // Downloads start with the library screens; until then the list stays empty.
    m_uncompleteFiles.clear();
}
