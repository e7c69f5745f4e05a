// The shared test catalogue: the same plan gives the same rows, the small one holds what the
// catalogue's tests rely on, and the large one opens and decodes.
#include "CatalogTestSupport.h"

#include "Common/PublicFunction.h"
#include "Database/SQLite/BRResultSet.h"

#include <filesystem>

namespace {

using catalogtest::CatalogTest;
namespace fx = catalogfixture::small;

const char* const kTables[] = {"brivanta_product", "brivanta_category", "brivanta_product_category_xref",
                               "brivanta_product_price", "brivanta_product_attribute",
                               "brivanta_fields_product_attribute", "brivanta_image", "brivanta_product_tag",
                               "brivanta_product_related_tag", "brivanta_product_related"};

std::string dump()
{
    std::string text;
    auto db = BRDatabase::sharedDataBase();
    for (const char* table : kTables) {
        auto rs = db->executeQuery(std::string("select * from ") + table + " order by 1, 2");
        while (rs && rs->next())
            for (int i = 0; i < rs->columnCount(); ++i)
                text += rs->stringForColumnIndex(i).value_or("NULL") + "|";
        text += "\n";
    }
    return text;
}

class CatalogFixtureTest : public CatalogTest {};

TEST_F(CatalogFixtureTest, SmallFixtureRowsTreeAndPictures)
{
    // Each run into a database of its own: the same seed gives the same rows.
    std::string first = dump();
    auto runInto = [&](const std::string& client, uint32_t seed) {
        data.reset();
        DataAccessManager::releaseDataModel();
        catalogfixture::build({.seed = seed}, client);
        std::string rows = dump();
        DataAccessManager::releaseDataModel();
        return rows;
    };
    EXPECT_EQ(first, runInto("again", 1)) << "a second run gives the same rows";
    EXPECT_NE(first, runInto("other", 2)) << "another seed moves plain prices";
    LoginMode::sharedInstance()->setClientID("fixture");
    data = DataAccessManager::sharedDataModel();

    EXPECT_EQ(count("select count(*) from brivanta_product where product_publish = 1"), 15);
    EXPECT_EQ(count("select category_parent_id from brivanta_category where category_id = 30"), 30);
    struct Filed {
        int category;
        int products;
    } filed[] = {{fx::kCategoryA, 2}, {fx::kCategoryB, 4}, {fx::kCategoryB1, 3}, {fx::kCategoryB2, 1}, {0, 5}};
    for (auto f : filed)
        EXPECT_EQ(count("select count(*) from brivanta_product_category_xref where category_id = " +
                        std::to_string(f.category)),
                  f.products)
            << f.category;
    // Two tags named "Zebra": the panel lists the name once over both tags' products.
    EXPECT_EQ(count("select count(*) from brivanta_product_related_tag where tag_id in (1, 3)"), 3);

    auto p7 = data->getPriceEntityByProductId(fx::kActiveDiscount);
    EXPECT_TRUE(p7.discount_flag);
    EXPECT_FALSE(data->getPriceEntityByProductId(fx::kExpiredDiscount).discount_flag);
    EXPECT_TRUE(data->getPriceEntityByProductId(fx::kNegativePrice).isHidden());
    EXPECT_EQ(data->getPriceEntityByProductId(fx::kSecondCurrency).currency, std::optional<std::string>("EUR"));
    EXPECT_EQ(data->getProductByProductId(fx::kAbsentList)->product_name, std::optional<std::string>("O'Neil Lamp"));

    struct Attributes {
        int product;
        size_t count;
        std::optional<std::string> firstList;
    } attributes[] = {{fx::kNoAttributes, 0, std::nullopt}, {fx::kSingleValue, 1, "Red"},
                      {fx::kTwoValues, 1, "Red,Blue"},     {fx::kBlankList, 1, ""},
                      {fx::kAbsentList, 1, std::nullopt},  {fx::kSixAttributes, 6, "Red,Blue"}};
    for (auto& a : attributes) {
        auto rows = data->getProductAttributeByProductId(a.product);
        ASSERT_EQ(rows.size(), a.count) << a.product;
        if (a.count) {
            EXPECT_EQ(rows.front().attributeList, a.firstList) << a.product;
        }
    }

    struct Pictures {
        int product;
        size_t images;
        bool thumbnailOnDisk;
    } pictures[] = {{fx::kNoImages, 0, false}, {fx::kTwoValues, 1, true}, {fx::kSixAttributes, 3, true},
                    {fx::kBlanksList, 1, false}};
    for (auto& p : pictures) {
        auto rows = data->getManyImageByKeyId(p.product);
        ASSERT_EQ(rows.size(), p.images) << p.product;
        if (!p.images)
            continue;
        auto path = PublicFunction::filePathWithNameFiletype(rows.front().image_thumb_address, 1);
        ASSERT_TRUE(path);
        EXPECT_EQ(std::filesystem::exists(*path), p.thumbnailOnDisk) << *path;
        if (!p.thumbnailOnDisk)
            continue;
        gfx::Image thumb = gfx::Image::fromFile(*path);
        EXPECT_EQ(thumb.size(), (gfx::Size{160, 110}));
        gfx::Color c = thumb.colorAt(10, 55);
        Rgb rgb{static_cast<int>(c.r * 255 + 0.5), static_cast<int>(c.g * 255 + 0.5), static_cast<int>(c.b * 255 + 0.5)};
        EXPECT_TRUE(near(rgb, catalogfixture::colorOfProduct(p.product), 6)) << p.product;
        gfx::Image full = gfx::Image::fromFile(*PublicFunction::filePathWithNameFiletype(rows.front().image_full_address, 1));
        EXPECT_EQ(full.size(), (gfx::Size{1024, 748}));
    }
    EXPECT_TRUE(catalogfixture::thumbnailName(fx::kTwoValues).ends_with(".jpg"));
    EXPECT_TRUE(catalogfixture::thumbnailName(fx::kSixAttributes).ends_with(".png"));
}

TEST_F(CatalogFixtureTest, LargeFixtureOpensAndItsThumbnailsDecode)
{
    data.reset();
    DataAccessManager::releaseDataModel();
    auto built = catalogfixture::build({.seed = 7, .products = 5000}, "large");
    EXPECT_EQ(built.productIds.size(), 5000u);
    DataAccessManager::releaseDataModel();
    data = DataAccessManager::sharedDataModel();
    ASSERT_TRUE(data->hasModels());
    EXPECT_EQ(count("select count(*) from brivanta_product"), 5000);
    EXPECT_EQ(count("select count(*) from brivanta_category"), 500);
    EXPECT_EQ(count("select count(*) from brivanta_product_tag"), 300);
    int running = 0;
    for (int id = 1; id <= 5000; id += 50)
        running += data->getPriceEntityByProductId(id).discount_flag ? 1 : 0;
    EXPECT_GT(running, 8);
    EXPECT_LT(running, 35);
    for (int id : {1, 2500, 5000}) {
        auto image = data->getImageByKeyId(id);
        ASSERT_TRUE(image) << id;
        EXPECT_FALSE(PublicFunction::getLocalImageFiletype(image->image_thumb_address, 1).isNull()) << id;
        EXPECT_EQ(PublicFunction::getLocalImageFiletype(image->image_thumb_address, 1).size(), (gfx::Size{160, 110}));
    }
}

} // namespace
