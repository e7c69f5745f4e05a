#include "Common/ConfigManager.h"

#include "Common/AppSession.h"
#include "Common/BoolText.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/LoginMode.h"

#include <cstdlib>
#include <mutex>

namespace {
std::mutex g_lock;
std::shared_ptr<ConfigManager> g_instance;

std::vector<std::string> splitAtComma(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}
}

std::shared_ptr<ConfigManager> ConfigManager::sharedInstance()
{
    std::lock_guard guard(g_lock);
    if (!g_instance)
        g_instance = std::make_shared<ConfigManager>();
    return g_instance;
}

void ConfigManager::freeInstance()
{
    std::lock_guard guard(g_lock);
    g_instance.reset();
}

ConfigManager::ConfigManager()
{
    if (auto app = AppSession::shared())
        app->setIsFileDisPlayTwoColumn(false);
}

bool ConfigManager::syncConfigData(const std::optional<std::vector<ConfigEntity>>& configs)
{
    if (!configs)
        return false;
    auto manager = DataAccessManager::sharedDataModel();
    manager->syncConfigData(configs);
    auto row = manager->queryConfig(std::string("configuration"));
    if (row && row->desc)
        m_modelDescArray = splitAtComma(*row->desc);
    return false;
}

std::optional<ConfigEntity> ConfigManager::queryConfig()
{
    return DataAccessManager::sharedDataModel()->queryConfig(std::string("configuration"));
}

std::optional<ConfigEntity> ConfigManager::queryDateFormat()
{
    return DataAccessManager::sharedDataModel()->queryConfig(std::string("date_format"));
}

void ConfigManager::deleteConfig()
{
    DataAccessManager::sharedDataModel()->deleteConfig();
}

void ConfigManager::resetUserData()
{
    DataAccessManager::releaseDataModel();
    if (auto db = BRDatabase::sharedDataBase())
        db->close();
}

bool ConfigManager::isOnShow(int index) const
{
    if (index == kSettingsModule)
        return true;
    if (!m_modelDescArray || index < 0 || static_cast<size_t>(index) >= m_modelDescArray->size())
        return false;
    return boolValueOfText((*m_modelDescArray)[static_cast<size_t>(index)]);
}

std::optional<std::string> ConfigManager::descOf(const char* type)
{
    auto row = DataAccessManager::sharedDataModel()->queryConfig(std::string(type));
    return row ? row->desc : std::nullopt;
}

std::optional<std::string> ConfigManager::leftPanelType()
{
    return descOf("left_panel");
}

int ConfigManager::orderMethodType()
{
    auto desc = descOf("order_method");
    if (!desc)
        return 2;
    return std::atoi(desc->c_str());
}

bool ConfigManager::couldModifyPrice()
{
    auto desc = descOf("modify_price");
    if (!desc || base::trimmingWhitespace(*desc).empty())
        return false;
    // Any non-zero integer allows it (narrowing to a byte would make 256 read as NO).
    return std::strtoll(desc->c_str(), nullptr, 10) != 0;
}

std::string ConfigManager::showAllCustomerKey()
{
    auto login = LoginMode::sharedInstance();
    return login->acountID() + "_" + login->clientID() + "_showAllCustomer";
}

bool ConfigManager::isShowAllCustomer() const
{
    auto stored = base::UserDefaults::standard()->objectForKey(showAllCustomerKey());
    return stored ? stored->toBool(true) : true;
}

void ConfigManager::setIsShowAllCustomer(bool show)
{
    auto defaults = base::UserDefaults::standard();
    defaults->setBool(show, showAllCustomerKey());
    defaults->synchronize();
}
