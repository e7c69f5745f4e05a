#pragma once
// The catalogue benchmarks' data: a temporary home with one client per size of the large test
// catalogue, built on first use, the panel beside the grid.
#include "CatalogFixture.h"

#include "Common/ConfigManager.h"
#include "Common/LanguageManager.h"
#include "Database/DataAccessManager.h"
#include "Protocol/LoginMode.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace catalogbench {

struct Home {
    std::filesystem::path folder;
    Home()
    {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "brcatalog-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
    }
    ~Home() { std::filesystem::remove_all(folder); }
};

// The shared data model on the client holding `products` products.
inline void useCatalogue(int products)
{
    static Home home;
    static std::map<int, bool> built;
    std::string client = "bench" + std::to_string(products);
    DataAccessManager::releaseDataModel();
    ConfigManager::freeInstance();
    LoginMode::sharedInstance()->setClientID(client);
    if (!built[products]) {
        catalogfixture::build({.seed = 11, .products = products}, client);
        built[products] = true;
    }
    if (!DataAccessManager::sharedDataModel()->hasModels())
        std::abort();
    ConfigEntity modules;
    modules.clientid = client;
    modules.configType = "configuration";
    modules.desc = "1,1,1,1,1,1,1";
    ConfigEntity panel = modules;
    panel.configType = "left_panel";
    panel.desc = "normal";
    ConfigManager::sharedInstance()->syncConfigData(std::vector<ConfigEntity>{modules, panel});
}

} // namespace catalogbench
