#include "Common/SkinManager.h"

#include <mutex>

std::shared_ptr<SkinManager> SkinManager::sharedInstance()
{
    static std::mutex lock;
    static std::shared_ptr<SkinManager> instance;
    std::lock_guard guard(lock);
    if (!instance)
        instance = std::make_shared<SkinManager>();
    return instance;
}
