#pragma once
#include "Database/ConfigEntity.h"
#include "Platform/Base/Value.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The client's module switches and runtime settings, read from the configuration rows the
// server sends at login, plus the per-user show-all-customers choice and the reload flags the
// screens share. One instance per login.
class ConfigManager {
public:
    static std::shared_ptr<ConfigManager> sharedInstance();
    static void freeInstance();

    ConfigManager();

    // Stores the rows, then reads the module switches back from the "configuration" row.
    // Answers NO in every case; callers do not rely on it.
    bool syncConfigData(const std::optional<std::vector<ConfigEntity>>& configs);
    std::optional<ConfigEntity> queryConfig();
    std::optional<ConfigEntity> queryDateFormat();
    void deleteConfig();
    // Drops the data manager and closes the shared database connection.
    void resetUserData();

    // Module index as the main tab bar numbers them; 7 (settings) is always on.
    bool isOnShow(int index) const;
    std::optional<std::string> leftPanelType();
    int orderMethodType();
    bool couldModifyPrice();

    bool isShowAllCustomer() const;
    void setIsShowAllCustomer(bool show);

    const std::optional<std::vector<std::string>>& modelDescArray() const { return m_modelDescArray; }
    void setModelDescArray(std::optional<std::vector<std::string>> switches) { m_modelDescArray = std::move(switches); }
    // Reload flags: "Needreloadcatelog", "Needreloadlibrary", "Needreloadcustomer" -> "YES"/"NO".
    std::map<std::string, std::string>& flagDic() { return m_flagDic; }
    base::Dictionary& configDic() { return m_configDic; }

    static constexpr int kSettingsModule = 7;

private:
    static std::string showAllCustomerKey();
    std::optional<std::string> descOf(const char* type);

    base::Dictionary m_configDic;
    std::optional<std::vector<std::string>> m_modelDescArray;
    std::map<std::string, std::string> m_flagDic;
};
