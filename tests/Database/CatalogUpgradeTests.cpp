#include "CatalogTestSupport.h"

#include "Database/PriceModel.h"
#include "Database/ProductModel.h"
#include "Database/productAndcategoryXrefModel.h"

#include <map>

namespace {

using cattest::CatalogTest;

const char* const kCatalogTables[] = {
    "brivanta_category", "brivanta_product_category_xref", "brivanta_product", "brivanta_product_attribute",
    "brivanta_fields_product_attribute", "brivanta_product_tag", "brivanta_product_related_tag",
    "brivanta_product_related", "brivanta_product_price", "brivanta_image", "brivanta_icon",
    "brivanta_compare", "brivanta_favorite"};

// Columns (name, type, not null, default, key) and index names of a table.
std::string shape(BRDatabase& db, const std::string& table)
{
    std::string text;
    auto rs = db.executeQuery("select name, type, \"notnull\", dflt_value, pk from pragma_table_info(?)", table);
    while (rs && rs->next()) {
        for (int i = 0; i < 5; ++i)
            text += rs->stringForColumnIndex(i).value_or("NULL") + " ";
        text += "\n";
    }
    rs = db.executeQuery("select name from sqlite_master where type = 'index' and tbl_name = ? and "
                         "name not like 'sqlite_%' order by name",
                         table);
    while (rs && rs->next())
        text += "index " + rs->stringForColumnIndex(0).value_or("") + "\n";
    return text;
}

class CatalogUpgradeTest : public CatalogTest {
protected:
    // Puts the file in place of the client's database and opens it again.
    void reopenWith(const std::filesystem::path& file)
    {
        m_manager.reset();
        DataAccessManager::releaseDataModel();
        auto target = documents() / "acme/brivanta_lite.sqlite";
        ASSERT_TRUE(base::FileManager::removeItem(target));
        ASSERT_TRUE(base::FileManager::copyItem(file, target));
        m_manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_manager->hasModels());
        db()->setLogsErrors(true);
    }
    std::string dumpAll()
    {
        std::string text;
        for (const char* table : kCatalogTables)
            text += std::string(table) + ":\n" + dump(table);
        return text;
    }
    // A price table from before price_id became its key.
    void makeUnkeyedPriceTable(bool withRate)
    {
        ASSERT_TRUE(db()->executeUpdate("drop table brivanta_product_price"));
        ASSERT_TRUE(db()->executeUpdate(std::string(
            "create table brivanta_product_price (price_id integer, product_id integer, vendor_group_id_list "
            "Varchar, vendor_state_id_list Varchar, vendor_id_list Varchar, customer_id_list Varchar, price "
            "double, currency Varchar, discount_price double, discount_identifier Varchar, discount_start_date "
            "Date, discount_end_date Date, discount_publish integer, tier_start_date Date, tier_end_date Date, "
            "tier_quantity_price Varchar, tier_publish integer")
            + (withRate ? ", discount_rat double)" : ")")));
    }
};

TEST_F(CatalogUpgradeTest, LegacyDatabaseGetsTheTemplatesShapeAndDerivedTags)
{
    reopenWith(dbtest::binaryFolder() / "fixtures/brivanta_lite_legacy.sqlite");
    ASSERT_TRUE(db()->executeUpdate("insert into brivanta_product(product_id,product_name,product_publish,"
                                    "product_tags) values (1,'Cup',1,'red, Blue'), (2,'Board',1,'bored'), "
                                    "(3,'Mug',1,'RED,,red'), (4,'Old',0,'green')"));
    ASSERT_TRUE(db()->executeUpdate("insert into brivanta_product_attribute values (10, 1, 1, 'Red')"));
    ASSERT_TRUE(db()->executeUpdate("insert into brivanta_product_price(price_id,product_id,price) values (5,1,9.5)"));

    m_manager->updateVersion();
    auto afterFirst = dumpAll();
    m_manager->updateVersion();
    EXPECT_EQ(dumpAll(), afterFirst);

    BRDatabase fresh(templatePath().string());
    ASSERT_TRUE(fresh.openWithFlags(SQLITE_OPEN_READONLY));
    for (const char* table : kCatalogTables)
        EXPECT_EQ(shape(*db(), table), shape(fresh, table)) << table;

    EXPECT_EQ(count("brivanta_product"), 4);
    EXPECT_EQ(db()->stringForQuery("select attribute_value from brivanta_product_attribute"), "Red");
    EXPECT_EQ(m_manager->pricemodel()->getPriceByProductId(1), 9.5);

    auto tags = m_manager->productmodel()->getAllProductTags();
    std::map<std::string, std::vector<int>> byName;
    for (const auto& tag : tags)
        byName[tag.tag_name.value_or("?")] = tag.products;
    EXPECT_EQ(byName, (std::map<std::string, std::vector<int>>{
                          {"red", {1, 3}}, {"Blue", {1}}, {"bored", {2}}}));
}

TEST_F(CatalogUpgradeTest, UpgradingTheCurrentShapeChangesNoRow)
{
    auto products = m_manager->productmodel();
    ASSERT_TRUE(products->saveToDatabaseProduct(std::vector{product(1, "Cup", {}, "red")}));
    brivanta_tag_entity red;
    red.tag_id = 50;
    red.tag_name = "red";
    ASSERT_TRUE(products->saveToDatabaseProductTag(std::vector{red}));
    ASSERT_TRUE(products->saveToDatabaseProductRelatedTag(std::vector<brivanta_product_related_tag_Entity>{{1, 50}}));
    brivanta_product_price_Entity price;
    price.price_id = 3;
    price.product_id = 1;
    price.price = 12.25;
    price.discontRat = 85;
    ASSERT_TRUE(m_manager->pricemodel()->saveToDatabasePrice(std::vector{price}));
    ASSERT_TRUE(m_manager->pacmodel()->saveToDatabasePxrefC(std::vector<brivanta_product_category_xref_Entity>{{4, 1}}));

    auto before = dumpAll();
    m_manager->updateVersion();
    m_manager->updateVersion();
    EXPECT_EQ(dumpAll(), before);
    EXPECT_DOUBLE_EQ(m_manager->pricemodel()->getPriceEntityByProductId(1).discontRat, 15);
}

TEST_F(CatalogUpgradeTest, PriceRebuildKeysThePriceIdAndKeepsTheRate)
{
    makeUnkeyedPriceTable(true);
    ASSERT_TRUE(db()->executeUpdate("insert into brivanta_product_price(price_id,product_id,price,discount_rat) "
                                    "values (1,7,10,85), (2,8,20,NULL)"));
    auto model = m_manager->pricemodel();
    EXPECT_TRUE(model->updateVersion());
    EXPECT_EQ(db()->intForQuery("select pk from pragma_table_info('brivanta_product_price') where name = 'price_id'"), 1);
    EXPECT_DOUBLE_EQ(model->getPriceEntityByProductId(7).discontRat, 15);
    EXPECT_DOUBLE_EQ(model->getPriceByProductId(8), 20);
    EXPECT_EQ(db()->intForQuery("select count(*) from sqlite_master where name = 'idx_price_product'"), 1);
    EXPECT_FALSE(db()->tableExists("temp_brivanta_product_price"));
}

TEST_F(CatalogUpgradeTest, AFailedPriceRebuildKeepsEveryRow)
{
    makeUnkeyedPriceTable(false);
    ASSERT_TRUE(db()->executeUpdate("insert into brivanta_product_price(price_id,product_id,price) "
                                    "values (1,7,10), (1,8,20)"));
    auto before = dump("brivanta_product_price");
    m_expectDBError = true;
    EXPECT_FALSE(m_manager->pricemodel()->alterProductPriceTable());
    EXPECT_EQ(dump("brivanta_product_price"), before);
    EXPECT_FALSE(db()->tableExists("temp_brivanta_product_price"));
    EXPECT_TRUE(sqlite3_get_autocommit(db()->sqliteHandle()));
    // The rate still comes, independently of the failed rebuild.
    EXPECT_TRUE(m_manager->pricemodel()->alterProductPriceTableAddDiscountRat());
    EXPECT_EQ(count("brivanta_product_price"), 2);
}

} // namespace
