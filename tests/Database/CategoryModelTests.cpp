#include "CatalogTestSupport.h"

#include "Database/CategoryModel.h"
#include "Database/productAndcategoryXrefModel.h"

namespace {

using cattest::CatalogTest;

brivanta_category_Entity category(int id, std::string name, int parent, int publish = 1)
{
    brivanta_category_Entity c;
    c.category_id = id;
    c.category_name = std::move(name);
    c.category_parent_id = parent;
    c.category_publish = publish;
    return c;
}

brivanta_product_category_xref_Entity link(int category, int product)
{
    return {category, product};
}

class CategoryModelTest : public CatalogTest {};

TEST_F(CategoryModelTest, TreeReadsShowPublishedCategoriesByName)
{
    auto model = m_manager->categorymodel();
    ASSERT_TRUE(model->saveToDatabaseCategory(std::vector{
        category(0, "Root itself", 1), category(-3, "Negative", 1), category(4, "Pumps", 1),
        category(2, "Hoses", 1), category(5, "Hidden", 1, 0), category(6, "Valves", 4)}));

    auto children = model->getCategoryWithParentCategoryid(1);
    EXPECT_EQ(cattest::pluck(children, [](auto& c) { return c.category_id; }), (std::vector{2, 4}));
    EXPECT_EQ(model->getCategoryCountUnderCategoryid(1), 4); // the count keeps ids of 0 and below
    EXPECT_EQ(model->getAllCategory().size(), 5u);

    auto hidden = model->getCategoryWithCategoryid(5);
    EXPECT_EQ(hidden.category_id, 0);
    EXPECT_FALSE(hidden.category_name);
    EXPECT_EQ(model->getParentCategoryId(5), 1);
    EXPECT_EQ(model->getParentCategoryId(99), 0);
    EXPECT_EQ(model->getCategoryWithCategoryid(6).category_name, "Valves");

    ASSERT_TRUE(m_manager->pacmodel()->saveToDatabasePxrefC(
        std::vector{link(4, 10), link(4, 11), link(2, 12), link(5, 13)}));
    EXPECT_EQ(model->getProductCountUnderCategoryid(1), 3);

    EXPECT_FALSE(model->saveToDatabaseCategory(std::nullopt));
}

TEST_F(CategoryModelTest, LinkSaveReplacesOnlyTheListedProductsLinks)
{
    auto model = m_manager->pacmodel();
    ASSERT_TRUE(model->saveToDatabasePxrefC(std::vector{link(5, 7), link(6, 7), link(5, 8)}));
    EXPECT_EQ(model->getCategoryIDsByProductid(7), (std::vector<std::string>{"5", "6"}));

    ASSERT_TRUE(model->saveToDatabasePxrefC(std::vector{link(9, 8)}));
    EXPECT_EQ(model->getCategoryIDsByProductid(7), (std::vector<std::string>{"5", "6"}));
    EXPECT_EQ(model->getCategoryIDsByProductid(8), (std::vector<std::string>{"9"}));

    EXPECT_FALSE(model->saveToDatabasePxrefC(std::nullopt));
    EXPECT_EQ(count("brivanta_product_category_xref"), 3);
}

TEST_F(CategoryModelTest, ARefusedLinkKeepsEveryStoredLink)
{
    auto model = m_manager->pacmodel();
    ASSERT_TRUE(model->saveToDatabasePxrefC(std::vector{link(5, 7), link(6, 8)}));
    refuseInsert("brivanta_product_category_xref", "new.category_id = 13");
    m_expectDBError = true;
    EXPECT_FALSE(model->saveToDatabasePxrefC(std::vector{link(1, 7), link(13, 8)}));
    EXPECT_EQ(model->getCategoryIDsByProductid(7), (std::vector<std::string>{"5"}));
    EXPECT_EQ(model->getCategoryIDsByProductid(8), (std::vector<std::string>{"6"}));
    EXPECT_TRUE(m_log.contains("saveToDatabasePxrefC: refused"));
}

} // namespace
