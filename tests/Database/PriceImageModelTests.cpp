#include "CatalogTestSupport.h"

#include "Database/IconModel.h"
#include "Database/ImageModel.h"
#include "Database/PriceModel.h"

namespace {

using cattest::CatalogTest;
using cattest::kNow;

brivanta_product_price_Entity price(int id, int product, double amount, std::optional<double> start,
                                    std::optional<double> end)
{
    brivanta_product_price_Entity p;
    p.price_id = id;
    p.product_id = product;
    p.price = amount;
    p.discount_price = amount / 2;
    p.currency = "USD";
    if (start)
        p.discount_start_date = base::Date(*start);
    if (end)
        p.discount_end_date = base::Date(*end);
    return p;
}

brivanta_image_Entity image(int id, int product, std::optional<std::string> full, int isDefault, int publish = 1)
{
    brivanta_image_Entity i;
    i.image_id = id;
    i.key_id = product;
    i.image_full_address = std::move(full);
    i.image_thumb_address = "thumb" + std::to_string(id) + ".jpg";
    i.image_isdault = isDefault;
    i.image_publis = publish;
    return i;
}

brivanta_icon_Entity icon(int id, std::string title, std::optional<std::string> name, int publish)
{
    brivanta_icon_Entity i;
    i._id = id;
    i.title = std::move(title);
    i.name = std::move(name);
    i.publish = publish;
    return i;
}

class PriceModelTest : public CatalogTest {};

TEST_F(PriceModelTest, DiscountFlagNeedsAnOpenWindowAndAShownPrice)
{
    auto model = m_manager->pricemodel();
    auto inWindow = price(1, 1, 100, kNow - 10, kNow);
    inWindow.discontRat = 85;
    ASSERT_TRUE(model->saveToDatabasePrice(std::vector{
        inWindow, price(2, 2, 100, std::nullopt, std::nullopt), price(3, 3, -1, kNow - 10, kNow + 10),
        price(4, 4, 100, kNow + 1, kNow + 10)}));

    auto open = model->getPriceEntityByProductId(1);
    EXPECT_TRUE(open.discount_flag);
    EXPECT_DOUBLE_EQ(open.price, 100);
    EXPECT_DOUBLE_EQ(open.discount_price, 50);
    EXPECT_DOUBLE_EQ(open.discontRat, 15);
    EXPECT_EQ(open.discount_end_date, base::Date(kNow));
    EXPECT_EQ(open.currency, "USD");
    EXPECT_FALSE(model->getPriceEntityByProductId(2).discount_flag);
    EXPECT_FALSE(model->getPriceEntityByProductId(3).discount_flag);
    EXPECT_FALSE(model->getPriceEntityByProductId(4).discount_flag);
    base::Date::advanceFixedNow(1);
    EXPECT_FALSE(model->getPriceEntityByProductId(1).discount_flag);

    auto none = model->getPriceEntityByProductId(9);
    EXPECT_EQ(none.price_id, 0);
    EXPECT_DOUBLE_EQ(none.price, 0);
    EXPECT_FALSE(none.discount_flag);
    EXPECT_EQ(model->getpriceCurrencyByProductId(9), "");
    EXPECT_DOUBLE_EQ(model->getPriceByProductId(9), 0);
}

TEST_F(PriceModelTest, ReadsTakeTheLastRowAndKeepDoublePrecision)
{
    auto model = m_manager->pricemodel();
    auto second = price(6, 5, 1234567.891, std::nullopt, std::nullopt);
    second.currency = "CNY";
    ASSERT_TRUE(model->saveToDatabasePrice(std::vector{price(5, 5, 10, std::nullopt, std::nullopt), second}));
    EXPECT_EQ(model->getPriceByProductId(5), 1234567.891);
    EXPECT_EQ(model->getpriceCurrencyByProductId(5), "CNY");
    EXPECT_EQ(model->getPriceEntityByProductId(5).price_id, 6);
    // Rows are replaced by their price id.
    ASSERT_TRUE(model->saveToDatabasePrice(std::vector{price(6, 7, 3, std::nullopt, std::nullopt)}));
    EXPECT_EQ(model->getPriceEntityByProductId(5).price_id, 5);
}

class ImageModelTest : public CatalogTest {};

TEST_F(ImageModelTest, DefaultImagesComeFirstAndOnlyPublishedOnes)
{
    auto model = m_manager->imagemodel();
    ASSERT_TRUE(model->saveToDatabaseImage(std::vector{
        image(1, 7, "a.jpg", 0), image(2, 7, "b.jpg", 1), image(3, 7, "c.jpg", 0, 0), image(4, 7, "d.jpg", 1),
        image(5, 8, "e.jpg", 1, 0)}));
    auto many = model->getManyImageByKeyId(7);
    ASSERT_EQ(many.size(), 3u);
    EXPECT_EQ(many[0].image_isdault, 1);
    EXPECT_EQ(many[1].image_isdault, 1);
    EXPECT_EQ(many[2].image_id, 1);
    auto first = model->getImageByKeyId(7);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->image_id == 2 || first->image_id == 4);
    EXPECT_FALSE(model->getImageByKeyId(8));
}

TEST_F(ImageModelTest, AddressListsNameFilesOnly)
{
    auto model = m_manager->imagemodel();
    auto noThumb = image(3, 7, "c.jpg", 0);
    noThumb.image_thumb_address.reset();
    ASSERT_TRUE(model->saveToDatabaseImage(std::vector{
        image(1, 7, std::nullopt, 0), image(2, 7, "", 0), noThumb, image(4, 7, "d.jpg", 0, 0)}));
    auto published = model->getPublishImages(true);
    ASSERT_EQ(published.size(), 3u);
    EXPECT_FALSE(published[0].imageFull);
    EXPECT_EQ(published[0].imageThumb, "thumb1.jpg");
    EXPECT_FALSE(published[1].imageFull);
    EXPECT_EQ(published[2].imageFull, "c.jpg");
    EXPECT_FALSE(published[2].imageThumb);
    ASSERT_EQ(model->getPublishImages(false).size(), 1u);
    EXPECT_EQ(model->getFullImages(), (std::vector<std::string>{"c.jpg", "d.jpg"}));
    EXPECT_EQ(model->getThumbImages(), (std::vector<std::string>{"thumb1.jpg", "thumb2.jpg", "thumb4.jpg"}));
}

TEST_F(ImageModelTest, IconsByTitleAndById)
{
    auto images = m_manager->imagemodel();
    auto icons = m_manager->iconmodel();
    ASSERT_TRUE(icons->saveToDatabaseIcon(std::vector{
        icon(1, "top bar", "bar.png", 1), icon(2, "it's", "quote.png", 1), icon(3, "draft", "", 0)}));
    EXPECT_EQ(images->getFullImagePathByName("top bar"), "bar.png");
    EXPECT_EQ(images->getFullImagePathByName("it's"), "quote.png");
    EXPECT_FALSE(images->getFullImagePathByName("draft"));
    EXPECT_FALSE(images->getFullImagePathByName(""));
    EXPECT_FALSE(images->getFullImagePathByName(std::nullopt));

    ASSERT_TRUE(icons->saveToDatabaseIcon(std::vector{icon(1, "top bar", "bar.png", 0)}));
    EXPECT_FALSE(images->getFullImagePathByName("top bar"));
    EXPECT_EQ(icons->getIconByIconId(1).name, "bar.png");
    EXPECT_EQ(icons->getIconByIconId(9)._id, 0);
    EXPECT_EQ(icons->getAllIconAddress(), (std::vector<std::string>{"bar.png", "quote.png"}));
}

} // namespace
