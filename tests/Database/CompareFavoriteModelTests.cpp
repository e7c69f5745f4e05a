#include "CatalogTestSupport.h"

#include "Database/CompareModel.h"
#include "Database/FavoriteModel.h"
#include "Database/ProductModel.h"

namespace {

using cattest::CatalogTest;

class CompareFavoriteModelTest : public CatalogTest {
protected:
    void SetUp() override
    {
        CatalogTest::SetUp();
        ASSERT_TRUE(m_manager->productmodel()->saveToDatabaseProduct(std::vector{
            product(1, "One", "AcMe_1"), product(2, "Two", {}, {}, -1), product(3, "Three"),
            product(4, "Four"), product(5, "Five", {}, {}, 0)}));
    }
};

TEST_F(CompareFavoriteModelTest, ASecondSaveOfAProductIsRefused)
{
    auto compare = m_manager->comparemodel();
    auto favorite = m_manager->favoritemodel();
    m_expectDBError = true;
    EXPECT_TRUE(compare->saveToDatabaseCompareSkuName(7, "S7", "Seven"));
    EXPECT_FALSE(compare->saveToDatabaseCompareSkuName(7, "S7", "Seven again"));
    EXPECT_EQ(compare->getCompareByCompareId(7)->product_name, "Seven");
    EXPECT_TRUE(favorite->saveToDatabaseFavoriteSkuName(7, "S7", "Seven"));
    EXPECT_FALSE(favorite->saveToDatabaseFavoriteSkuName(7, std::nullopt, std::nullopt));
    EXPECT_FALSE(compare->getCompareByCompareId(8));
    EXPECT_FALSE(favorite->getFavoriteByFavoriteId(8));
}

TEST_F(CompareFavoriteModelTest, CompareListSkipsWithdrawnButKeepsVanishedProducts)
{
    auto compare = m_manager->comparemodel();
    for (int id : {1, 2, 3, 4, 5})
        ASSERT_TRUE(compare->saveToDatabaseCompareSkuName(id, id == 1 ? "AcMe_1" : "S", "N"));
    ASSERT_TRUE(db()->executeUpdate("delete from brivanta_product where product_id = 4"));
    auto list = compare->getCompares();
    EXPECT_EQ(cattest::pluck(list, [](auto& c) { return c.product_id; }), (std::vector{1, 3, 4, 5}));
    EXPECT_EQ(list[0].product_sku, "");
    EXPECT_EQ(compare->getCompareByCompareId(1)->product_sku, "AcMe_1");
    EXPECT_EQ(compare->getPublishByCompareId(2), -1);
    EXPECT_EQ(compare->getPublishByCompareId(4), 0);
}

TEST_F(CompareFavoriteModelTest, FavouritesDropWithdrawnAndVanishedProducts)
{
    auto favorite = m_manager->favoritemodel();
    for (int id : {1, 2, 3, 4, 5})
        ASSERT_TRUE(favorite->saveToDatabaseFavoriteSkuName(id, id == 1 ? "AcMe_1" : "S", "N"));
    ASSERT_TRUE(db()->executeUpdate("delete from brivanta_product where product_id = 4"));
    auto list = favorite->getFavorites();
    EXPECT_EQ(cattest::pluck(list, [](auto& f) { return f.product_id; }), (std::vector{1, 3, 5}));
    EXPECT_EQ(list[0].product_sku, "");
    EXPECT_EQ(favorite->getFavoriteByFavoriteId(1)->product_sku, "AcMe_1");
}

TEST_F(CompareFavoriteModelTest, OnlyTheCompareDeleteIsLogged)
{
    auto compare = m_manager->comparemodel();
    auto favorite = m_manager->favoritemodel();
    for (int id : {3, 4}) {
        ASSERT_TRUE(compare->saveToDatabaseCompareSkuName(id, "S", "N"));
        ASSERT_TRUE(favorite->saveToDatabaseFavoriteSkuName(id, "S", "N"));
    }
    size_t before = m_log.lines().size();
    favorite->deleteSingleFavoriteByFavoriteId(3);
    EXPECT_EQ(m_log.lines().size(), before);
    compare->deleteSingleCompareByCompareId(3);
    EXPECT_TRUE(m_log.contains("delete from brivanta_compare where product_id =3"));
    EXPECT_FALSE(compare->getCompareByCompareId(3));
    EXPECT_FALSE(favorite->getFavoriteByFavoriteId(3));
    EXPECT_TRUE(compare->getCompareByCompareId(4));

    compare->deleteAllCompare();
    favorite->deleteAllFavorites();
    EXPECT_EQ(count("brivanta_compare"), 0);
    EXPECT_EQ(count("brivanta_favorite"), 0);
}

} // namespace
