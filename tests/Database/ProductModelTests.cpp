#include "CatalogTestSupport.h"

#include "Database/ProductModel.h"
#include "Database/ProductRelatedModel.h"
#include "Database/productAndcategoryXrefModel.h"

namespace {

using cattest::CatalogTest;
using cattest::ids;
using Strings = std::vector<std::string>;

brivanta_product_attribute_Entity attribute(int id, int product, int field, std::string choices)
{
    brivanta_product_attribute_Entity a;
    a.attribute_id = id;
    a.product_id = product;
    a.attribute_fields_id = field;
    a.attribute_value = std::move(choices);
    a.default_value = "Red";
    return a;
}

brivanta_fields_product_attribute_Entity field(int id, std::string name, int display, int published)
{
    brivanta_fields_product_attribute_Entity f;
    f.field_id = id;
    f.field_name = std::move(name);
    f.display = display;
    f.published = published;
    return f;
}

brivanta_tag_entity tag(int id, std::string name)
{
    brivanta_tag_entity t;
    t.tag_id = id;
    t.tag_name = std::move(name);
    return t;
}

class ProductModelTest : public CatalogTest {
protected:
    std::shared_ptr<ProductModel> model() { return m_manager->productmodel(); }
};

TEST_F(ProductModelTest, BulkSaveIsAllOrNothing)
{
    std::vector<brivanta_product_Entity> products;
    for (int id = 1; id <= 1000; ++id)
        products.push_back(product(id, "Product " + std::to_string(id)));
    ASSERT_TRUE(model()->saveToDatabaseProduct(products));
    EXPECT_EQ(count("brivanta_product"), 1000);
    auto before = dump("brivanta_product");

    refuseInsert("brivanta_product", "new.product_name = 'REFUSE'");
    m_expectDBError = true;
    for (auto& p : products)
        p.product_name = "Renamed";
    products[700].product_name = "REFUSE";
    products.push_back(product(1001, "New"));
    EXPECT_FALSE(model()->saveToDatabaseProduct(products));
    EXPECT_EQ(dump("brivanta_product"), before);
    EXPECT_TRUE(m_log.contains("saveToDatabaseProduct: refused"));
    EXPECT_TRUE(m_log.contains("'REFUSE'"));
    EXPECT_TRUE(sqlite3_get_autocommit(db()->sqliteHandle()));

    EXPECT_FALSE(model()->saveToDatabaseProduct(std::nullopt));
}

TEST_F(ProductModelTest, SavingAProductDropsItsAttributes)
{
    ASSERT_TRUE(model()->saveToDatabaseProduct(std::vector{product(1, "Chair"), product(2, "Desk")}));
    ASSERT_TRUE(model()->saveToDatabaseFieldsProductAttribute(std::vector{
        field(1, "Colour", 1, 1), field(2, "Hidden", 0, 1), field(3, "Draft", 1, 0)}));
    ASSERT_TRUE(model()->saveToDatabaseProductAttribute(std::vector{
        attribute(10, 1, 1, "Red,Blue"), attribute(11, 1, 2, "x"), attribute(12, 1, 3, "y"),
        attribute(13, 2, 1, "Oak")}));

    auto cells = model()->getProductAttributeByProductId(1);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].fieldName, "Colour");
    EXPECT_EQ(cells[0].attributeList, "Red,Blue");
    // The default value is what the attribute row stores as its value.
    EXPECT_EQ(db()->stringForQuery("select attribute_value from brivanta_product_attribute where attribute_id = 10"),
              "Red");

    ASSERT_TRUE(model()->saveToDatabaseProduct(std::vector{product(1, "Chair")}));
    EXPECT_TRUE(model()->getProductAttributeByProductId(1).empty());
    EXPECT_EQ(model()->getProductAttributeByProductId(2).size(), 1u);
}

TEST_F(ProductModelTest, PlaceholderSkusReadBlankForTheClientInAnyCase)
{
    ASSERT_TRUE(model()->saveToDatabaseProduct(std::vector{
        product(7, "Placeholder", "AcMe_7"), product(8, "Other id", "AcMe_7"), product(9, "Hidden", "AcMe_9", {}, 0)}));
    EXPECT_EQ(model()->getProductByProductId(7)->product_sku, "");
    EXPECT_EQ(model()->getProductByProductId(8)->product_sku, "AcMe_7");
    EXPECT_EQ(model()->getAllProductByProductId(9)->product_sku, "");
    EXPECT_FALSE(model()->getProductByProductId(9));
    EXPECT_EQ(model()->getProductByProductSKU("AcMe_7")->product_sku, "AcMe_7");

    logIn("acme");
    EXPECT_EQ(model()->getAllProducts().front().product_sku, "");
    logIn("Other");
    EXPECT_EQ(model()->getAllProducts().front().product_sku, "AcMe_7");
}

TEST_F(ProductModelTest, CategoryMinusOneListsTheUncategorised)
{
    ASSERT_TRUE(model()->saveToDatabaseProduct(std::vector{
        product(1, "A"), product(2, "B"), product(3, "C", {}, {}, 0)}));
    ASSERT_TRUE(m_manager->pacmodel()->saveToDatabasePxrefC(std::vector<brivanta_product_category_xref_Entity>{
        {0, 1}, {0, 3}, {4, 2}, {4, 2}, {4, 1}}));
    EXPECT_EQ(ids(model()->getProductsByCategory_id(-1)), (std::vector{1}));
    EXPECT_TRUE(model()->getProductsByCategory_id(0).empty());
    auto four = ids(model()->getProductsByCategory_id(4));
    std::sort(four.begin(), four.end());
    EXPECT_EQ(four, (std::vector{1, 2, 2}));
}

TEST_F(ProductModelTest, SearchMatchesTheTextLiterally)
{
    ASSERT_TRUE(model()->saveToDatabaseProduct(std::vector{
        product(1, "O'Neil Chair"), product(2, "Sale 50% off"), product(3, "Sale 500 units"),
        product(4, "under_score"), product(5, "underXscore"), product(6, "Beach towel", "BT-6"),
        product(7, "Lamp", "CH-7"), product(8, "Parasol", "P-8", "summer,beach"),
        product(9, "Chest", "X-9", {}, 0), product(10, "back\\slash")}));
    EXPECT_EQ(ids(model()->getProductsBySearchString("O'Neil")), (std::vector{1}));
    EXPECT_EQ(ids(model()->getProductsBySearchString("50%")), (std::vector{2}));
    EXPECT_EQ(ids(model()->getProductsBySearchString("_")), (std::vector{4}));
    EXPECT_EQ(ids(model()->getProductsBySearchString("k\\s")), (std::vector{10}));
    // SKU, name and tag matches, any ASCII case, by name; the unpublished one is left out.
    EXPECT_EQ(ids(model()->getProductsBySearchString("ch")), (std::vector{6, 7, 1, 8}));
}

TEST_F(ProductModelTest, RelatedProductsComeFromTheSkuList)
{
    ASSERT_TRUE(model()->saveToDatabaseProduct(std::vector{
        product(1, "Zeta", "CH-7"), product(2, "Alpha", "CH-8"), product(3, "Spaced", " CH-9"),
        product(4, "Hidden", "CH-10", {}, 0)}));
    auto related = m_manager->productrelatedmodel();
    ASSERT_TRUE(related->saveToDatabaseProductrelated(std::vector<brivanta_product_related_Entity>{
        {10, "CH-7,CH-8"}, {11, "A"}, {12, "CH-7, CH-9,CH-10,O'Neil"}}));
    auto list = related->getrelatedProductIDsByProductid(10);
    ASSERT_TRUE(list);
    EXPECT_EQ(ids(*list), (std::vector{2, 1}));
    EXPECT_FALSE(related->getrelatedProductIDsByProductid(11));
    EXPECT_FALSE(related->getrelatedProductIDsByProductid(99));
    // Blanks around the commas belong to the SKUs.
    EXPECT_EQ(ids(*related->getrelatedProductIDsByProductid(12)), (std::vector{3, 1}));
}

TEST_F(ProductModelTest, TagListKeepsEveryTagAndOnlyPublishedProducts)
{
    ASSERT_TRUE(model()->saveToDatabaseProduct(std::vector{
        product(1, "A"), product(2, "B"), product(3, "C", {}, {}, 0)}));
    ASSERT_TRUE(model()->saveToDatabaseProductTag(std::vector{tag(1, "red"), tag(2, "lonely"), tag(3, "blue")}));
    ASSERT_TRUE(model()->saveToDatabaseProductRelatedTag(std::vector<brivanta_product_related_tag_Entity>{
        {2, 1}, {1, 1}, {3, 1}, {2, 3}, {99, 3}}));

    auto tags = model()->getAllProductTags();
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(tags[0].tag_name, "red");
    EXPECT_EQ(tags[0].products, (std::vector{1, 2}));
    EXPECT_EQ(tags[1].tag_name, "lonely");
    EXPECT_TRUE(tags[1].products.empty());
    EXPECT_EQ(tags[2].products, (std::vector{2}));

    ASSERT_TRUE(model()->saveToDatabaseProductRelatedTag(std::vector<brivanta_product_related_tag_Entity>{
        {2, 1}, {2, 1}, {2, 3}, {1, 3}}));
    auto mine = model()->getTagsByProductID(2);
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_EQ(mine[0].tag_id, 1);
    EXPECT_EQ(mine[0].products, (std::vector{2, 2}));
    EXPECT_EQ(mine[1].tag_name, "blue");

    // The tag saves replace their whole tables.
    ASSERT_TRUE(model()->saveToDatabaseProductTag(std::vector{tag(5, "green")}));
    EXPECT_EQ(count("brivanta_product_tag"), 1);
    EXPECT_EQ(count("brivanta_product_related_tag"), 4);
}

TEST_F(ProductModelTest, TagTextSplitsAtCommasKeepingEmptyPieces)
{
    ASSERT_TRUE(model()->saveToDatabaseProduct(std::vector{
        product(1, "A", {}, "red,,blue"), product(2, "B"), product(3, "C", {}, " x ,y", 0)}));
    EXPECT_EQ(model()->getAllTagsByProduct_id(1), (Strings{"red", "", "blue"}));
    EXPECT_TRUE(model()->getAllTagsByProduct_id(2).empty());
    EXPECT_EQ(model()->getAllTagsByProduct_id(3), Strings{""});
    EXPECT_EQ(model()->getAllTagsByProduct_id(99), Strings{""});
}

} // namespace
