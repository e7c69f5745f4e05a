#include "Database/brivanta_library_favorite_Entity.h"
#include "Database/brivanta_favorite_Entity.h"
#include "Database/brivanta_product_price_Entity.h"

#include <gtest/gtest.h>

namespace {

TEST(RecordTest, PriceTextsFollowTheCurrencyAndHideNegativePrices)
{
    brivanta_product_price_Entity price;
    price.price = -1;
    price.discount_price = 5;
    price.currency = "USD";
    EXPECT_TRUE(price.isHidden());
    EXPECT_EQ(price.strPrice(), "");
    EXPECT_EQ(price.strDiscountPrice(), "");

    price.price = 1234567.891;
    EXPECT_FALSE(price.isHidden());
    EXPECT_EQ(price.strPrice(), "$1,234,567.89");
    EXPECT_EQ(price.strDiscountPrice(), "$5.00");
    price.price = 5;
    price.currency = "CNY";
    EXPECT_EQ(price.strPrice(), "¥5.00");
    price.currency = "usd";
    EXPECT_EQ(price.strPrice(), "5.00");
    price.currency.reset();
    EXPECT_EQ(price.strPrice(), "5.00");
}

TEST(RecordTest, LibraryInfoSplitsIntoWhatIsShownAndTheDuration)
{
    brivanta_library_favorite_Entity file; // the favourite behaves as the file it derives from
    EXPECT_EQ(file.infoShow(), "");
    EXPECT_EQ(file.duration(), "");
    file.info = "PDF/2.5 M,03:25";
    EXPECT_EQ(file.infoShow(), "PDF/2.5 M");
    EXPECT_EQ(file.duration(), "03:25");
    file.info = "PDF/2.5 M,";
    EXPECT_EQ(file.infoShow(), "PDF/2.5 M");
    EXPECT_EQ(file.duration(), "");
    file.info = "PDF/2.5 M,5";
    EXPECT_EQ(file.duration(), "");
    file.info = "VEDIO/3 M,时长";
    EXPECT_EQ(file.duration(), "时长");
    file.info = "PDF/2.5 M";
    EXPECT_EQ(file.infoShow(), "PDF/2.5 M");
    EXPECT_EQ(file.duration(), "");
}

TEST(RecordTest, AttributesShowOneLinePerChoice)
{
    brivanta_favorite_Entity product;
    EXPECT_EQ(product.attributesShow(), "");
    product.attributes = "Color:Red,Size:L";
    EXPECT_EQ(product.attributesShow(), "Color:Red\nSize:L\n");
    product.attributes = " ";
    EXPECT_EQ(product.attributesShow(), "");
    product.attributes = " \t";
    EXPECT_EQ(product.attributesShow(), "");
    product.attributes = "Size:L";
    EXPECT_EQ(product.attributesShow(), "Size:L\n");
}

} // namespace
