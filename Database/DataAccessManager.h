#pragma once
#include "Database/ConfigEntity.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class BaseDataModel;
class ConfigMode;

// The single door to the logged-in client's database: makes the client's file from the
// template, opens the shared connection on it and owns one model per group of tables.
// Main thread only.
class DataAccessManager {
public:
    // The instance for the client LoginMode holds now; made on first use, and made again
    // while the last attempt failed to open.
    static std::shared_ptr<DataAccessManager> sharedDataModel();
    // Drops the instance and, in every case, the shared connection.
    static void releaseDataModel();
    // Drops the instance and leaves the shared connection as it is.
    static void destoryDataModel();
    // Documents/<client id in lower case>/brivanta_lite.sqlite; nothing for an unsafe id.
    static std::optional<std::string> dataFilePath();

    DataAccessManager();
    ~DataAccessManager();
    DataAccessManager(const DataAccessManager&) = delete;
    DataAccessManager& operator=(const DataAccessManager&) = delete;

    // Makes the client folder (0700) and copies the template to the file (0600) when missing;
    // NO when the id is unsafe, the template is missing or the copy fails.
    bool createEditableDatabaseOfDataCacheStoreIfNeeded();
    // Runs every model's upgrade hook in creation order.
    void updateVersion();
    bool hasModels() const { return !m_dataModelList.empty(); }

    const std::shared_ptr<ConfigMode>& configMode() const { return m_configMode; }

    // The configuration operations; without models they answer NO and the empty record.
    bool syncConfigData(const std::optional<std::vector<ConfigEntity>>& configs);
    std::optional<ConfigEntity> queryConfig(const std::optional<std::string>& type);
    void deleteConfig();

private:
    bool openDatabase();
    void createModels();
    template <typename Model>
    std::shared_ptr<Model> adopt(std::shared_ptr<Model> model);

    std::shared_ptr<ConfigMode> m_configMode;
    std::vector<std::shared_ptr<BaseDataModel>> m_dataModelList; // in creation order
};
