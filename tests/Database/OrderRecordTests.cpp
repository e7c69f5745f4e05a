#include "Common/IdentifierAddition.h"
#include "Common/LanguageManager.h"
#include "Database/QuoteOrderEntity.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/LoginMode.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>

namespace {

class OrderRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base::UserDefaults::resetStandard();
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        LoginMode::freeInstance();
        LoginMode::sharedInstance()->setAcountID("bob");
        base::Date::setFixedNow(*base::DateFormatter("MM/dd/yyyy HH:mm:ss").dateFromString("05/07/2013 14:30:00"));
    }
    void TearDown() override
    {
        base::Date::setFixedNow(std::nullopt);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        LoginMode::freeInstance();
        base::UserDefaults::resetStandard();
    }

    static std::shared_ptr<QuoteOrderItemEntity> line(int serial, double price, double finalPrice, int quantity)
    {
        auto item = std::make_shared<QuoteOrderItemEntity>();
        item->setSerial(serial);
        item->setPrice(price);
        item->setFinalPrice(finalPrice);
        item->setQuantity(quantity);
        item->setCurrency("USD");
        return item;
    }

    basetest::TempHome m_home;
};

TEST_F(OrderRecordTest, ANewOrderTakesItsPresets)
{
    QuoteOrderEntity order;
    EXPECT_EQ(order.number(), "bob_130507143000");
    EXPECT_EQ(order.cdate(), "05/07/2013 14:30:00");
    EXPECT_EQ(order.mdate(), "05/07/2013 14:30:00");
    EXPECT_EQ(order.ipAddress(), IdentifierAddition::uniqueGlobalDeviceIdentifier());
    EXPECT_TRUE(order.unsaved());
    EXPECT_EQ(order.storedDiscount(), -1);
    EXPECT_EQ(order.discount(), 0);

    order.setCustomerNote(" \t ");
    EXPECT_EQ(order.customerNote(), "");
}

TEST_F(OrderRecordTest, HiddenPricesCountInNeitherTotalAndShowADash)
{
    QuoteOrderEntity order;
    order.setCurrency("USD");
    order.items() = {line(1, 100, 80, 2), line(2, -1, 50, 1), line(3, 40, -1, 3)};
    EXPECT_EQ(order.total(), 210);
    EXPECT_EQ(order.originalTotal(), 320);
    EXPECT_EQ(order.strTotal(), "$210.00");
    EXPECT_EQ(order.strPrice(), "210.00");

    const auto& hiddenList = order.items()[1];
    EXPECT_EQ(hiddenList->strPrice(), "-");
    EXPECT_EQ(hiddenList->strFinalPrice(), "-");
    EXPECT_EQ(hiddenList->discontRat(), -1);
    EXPECT_EQ(order.items()[2]->strSubtotal(), "-");
    order.setDiscount(1234.5);
    order.setCurrency("CNY");
    EXPECT_EQ(order.strDiscount(), "¥1,234.50");
}

TEST_F(OrderRecordTest, LineRatesAndAttributes)
{
    auto item = line(1, 200, 150, 1);
    EXPECT_FLOAT_EQ(item->discontRat(), 25);
    item->setDiscontRat(0.1);
    EXPECT_EQ(item->discontRat(), static_cast<double>(0.1f)); // shown in single precision
    item->setDiscontRat(0);
    item->setPrice(0);
    EXPECT_EQ(item->discontRat(), 0);
    item->setPrice(300);
    item->setFinalPrice(330);
    EXPECT_EQ(item->discontRat(), 0); // a rise shows no rate, never a negative one
    EXPECT_EQ(item->subtotal(), 330);

    item->setAttributes("Color:Red,Size");
    EXPECT_EQ(item->attributesShow(), "Color:Red\nSize\n");
    auto cells = item->attributesArray();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].fieldName, "Color");
    EXPECT_EQ(cells[0].attributeValue, "Red");
}

TEST_F(OrderRecordTest, NewItemIndexCountsOnlyPositiveSerials)
{
    QuoteOrderEntity order;
    order.items() = {line(-3, 1, 1, 1), line(-7, 1, 1, 1)};
    EXPECT_EQ(order.newItemIndex(), 1);
    order.items() = {line(1, 1, 1, 1), line(2, 1, 1, 1)};
    EXPECT_EQ(order.newItemIndex(), 3);
}

TEST_F(OrderRecordTest, DuplicateTakesTheComputedDiscountAndFreshLines)
{
    QuoteOrderEntity order;
    order.setSerial(-4);
    order.setCustomerId(-2);
    order.setCustomerName("Acme");
    order.setCustomerAddress("1 High St");
    order.setCurrency("USD");
    order.setDiscountRat(20);
    order.setSignature("c2lnbg==");
    order.items() = {line(-1, 50, 50, 2)};
    order.items()[0]->setSerial(-1);
    order.items()[0]->setOrderID(-4);
    order.items()[0]->setAttributes("Color:Red");
    ASSERT_EQ(order.total(), 100);

    base::Date::advanceFixedNow(65);
    auto copy = order.duplicateOrder();
    EXPECT_EQ(copy->storedDiscount(), 80);
    EXPECT_EQ(copy->discountRat(), 0);
    EXPECT_EQ(copy->serial(), 0);
    EXPECT_FALSE(copy->signature());
    EXPECT_EQ(copy->number(), "bob_130507143105");
    EXPECT_EQ(copy->customerAddress(), "1 High St");
    ASSERT_EQ(copy->items().size(), 1u);
    const auto& copied = copy->items()[0];
    EXPECT_NE(copied, order.items()[0]);
    EXPECT_EQ(copied->serial(), 0);
    EXPECT_EQ(copied->orderID(), 0);
    EXPECT_EQ(copied->cdate(), "05/07/2013 14:31:05");
    EXPECT_EQ(copied->attributes(), "Color:Red");
}

TEST_F(OrderRecordTest, ModificationTimeInTheLanguagesShortDate)
{
    QuoteOrderEntity order;
    order.setMdate("05/07/2013 14:35:10");
    EXPECT_EQ(order.mdateShow(), "14:35 05/07/13");
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    EXPECT_EQ(order.mdateShow(), "14:35 13/05/07");
    order.setMdate("2013-05-07 14:35:10");
    EXPECT_EQ(order.mdateShow(), "");
}

} // namespace
