// The sync engine's download folders under the client folder.
#include "Protocol/LoginMode.h"
#include "Protocol/SyncModel.h"
#include "tests/App/AppTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class SyncFoldersTest : public apptest::AppServiceTest {
protected:
    ~SyncFoldersTest() override
    {
        LoginMode::freeInstance();
        SyncModel::freeInstance();
    }
    std::vector<std::string> entries(const fs::path& folder) const
    {
        std::vector<std::string> names;
        std::error_code error;
        for (auto& entry : fs::directory_iterator(folder, error))
            names.push_back(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SyncFoldersTest, TenFoldersUnderTheLowerCaseClientFolderOnly)
{
    const std::vector<std::string> ten{"CatalogImages/", "ConfigImages/", "Excel/", "Keynote/", "LibraryImages/",
                                       "Pdf/", "ProductImages/", "Video/", "Word/", "tempDownload/"};
    struct Case {
        const char* client;
        std::vector<std::string> documents;
    } cases[] = {
        {"AcmeCo", {"acmeco/"}},
        {"", {}},
        {"..", {}},
        {".", {}},
        {"a/b", {}},
    };
    for (const auto& c : cases) {
        fs::remove_all(m_home.path() / "Documents");
        fs::create_directories(m_home.path() / "Documents");
        LoginMode::sharedInstance()->setClientID(c.client);
        SyncModel::sharedInstance()->createAllDirectorys();
        EXPECT_EQ(entries(m_home.path() / "Documents"), c.documents) << c.client;
        EXPECT_FALSE(fs::exists(m_home.path() / "ProductImages")) << "nothing beside Documents: " << c.client;
        EXPECT_FALSE(fs::exists(m_home.path() / "Documents/ProductImages")) << c.client;
    }
    auto client = m_home.path() / "Documents/acmeco";
    fs::remove_all(m_home.path() / "Documents");
    fs::create_directories(client / "Pdf");
    std::ofstream(client / "Pdf/kept.pdf") << "%PDF";
    LoginMode::sharedInstance()->setClientID("AcmeCo");
    SyncModel::sharedInstance()->createAllDirectorys();
    EXPECT_EQ(entries(client), ten);
    EXPECT_EQ(entries(client / "Pdf"), std::vector<std::string>{"kept.pdf"});
}

} // namespace
