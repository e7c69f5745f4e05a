#include "SkinTestSupport.h"

namespace fs = std::filesystem;

namespace {

class DemoTest : public skintest::SkinTest {};

TEST_F(DemoTest, BundledDemoUnpacksIntoTwoWorkingTenants)
{
    std::string archive = base::Bundle::pathForResource("DEMO", "zip");
    ASSERT_FALSE(archive.empty()) << "the build makes DEMO.zip in the bundle";
    EXPECT_EQ(std::system(("unzip -tq '" + archive + "' >/dev/null").c_str()), 0);

    auto skins = SkinManager::sharedInstance();
    EXPECT_TRUE(skins->needInitializeDemo());
    bool unpacked = false;
    std::thread([&] { unpacked = skins->initializeDemoZip(); }).join();
    ASSERT_TRUE(unpacked);
    EXPECT_FALSE(skins->needInitializeDemo());
    skins->setNeedUpdateDemo(true);
    EXPECT_TRUE(skins->needInitializeDemo());
    skins->setNeedUpdateDemo(false);

    for (const char* tenant : SkinManager::kDemoTenants) {
        LoginMode::sharedInstance()->setClientID(tenant);
        auto manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(manager->hasModels()) << tenant;
        auto db = BRDatabase::sharedDataBase();
        // A category's products with their prices, the customers and the library files.
        auto rs = db->executeQuery("select count(*) from brivanta_product p join brivanta_product_price r on "
                                   "r.product_id = p.product_id join brivanta_product_category_xref x on "
                                   "x.product_id = p.product_id where p.product_publish = 1");
        ASSERT_TRUE(rs && rs->next());
        EXPECT_GE(rs->intForColumnIndex(0), 15) << tenant;
        rs->close();
        EXPECT_GE(db->intForQuery("select count(*) from brivanta_customer"), 5) << tenant;
        EXPECT_GE(db->intForQuery("select count(*) from brivanta_library_files"), 2) << tenant;
        // Every picture and document a row names is there.
        auto names = db->executeQuery("select image_full_address, 1 from brivanta_image union all "
                                      "select image_thumb_address, 1 from brivanta_image union all "
                                      "select cover_image, 4 from brivanta_library_files union all "
                                      "select file_name, 5 from brivanta_library_files");
        int checked = 0;
        while (names && names->next()) {
            auto path = PublicFunction::filePathWithNameFiletype(names->stringForColumnIndex(0),
                                                                 names->intForColumnIndex(1));
            ASSERT_TRUE(path);
            EXPECT_TRUE(fs::is_regular_file(*path)) << *path;
            ++checked;
        }
        EXPECT_GT(checked, 40);
        DataAccessManager::releaseDataModel();
        BRDatabase::releaseDataBase();
    }
}

TEST_F(DemoTest, ABrokenArchiveKeepsTheEarlierDemo)
{
    auto skins = SkinManager::sharedInstance();
    ASSERT_TRUE(skins->initializeDemoZip());
    fs::path db = m_home.path() / "Documents" / "tolbernix_" / "brivanta_lite.sqlite";
    auto before = fs::file_size(db);

    fs::path bundle = m_home.path() / "bundle";
    fs::create_directories(bundle);
    std::string real = base::Bundle::pathForResource("DEMO", "zip");
    fs::copy_file(real, bundle / "DEMO.zip");
    fs::resize_file(bundle / "DEMO.zip", fs::file_size(bundle / "DEMO.zip") / 3);
    basetest::ScopedEnv env("BRIVANTA_BUNDLE", bundle.string());
    skins->setNeedUpdateDemo(false);
    EXPECT_FALSE(skins->initializeDemoZip());
    EXPECT_TRUE(skins->needUpdateDemo());
    EXPECT_EQ(fs::file_size(db), before);
    EXPECT_TRUE(fs::is_directory(m_home.path() / "Documents" / "wendloft_" / "Pdf"));
    for (auto& entry : fs::directory_iterator(m_home.path() / "Documents"))
        EXPECT_NE(entry.path().filename().string().rfind(".demo-", 0), 0u) << "staging left behind";
}

} // namespace
