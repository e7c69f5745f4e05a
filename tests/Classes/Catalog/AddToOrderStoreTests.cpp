// The order store as the catalogue uses it, over the catalogue fixture's real database.
#include "CatalogTestSupport.h"

#include "Database/QuoteOrderModel.h"

#include <algorithm>
#include <climits>

namespace {

using catalogtest::CatalogTest;
namespace fx = catalogfixture::small;

class AddToOrderStoreTest : public CatalogTest {
protected:
    std::vector<std::string> lines()
    {
        std::vector<std::string> shown;
        if (auto order = store->curQuoteOrder())
            for (const auto& l : order->items())
                shown.push_back(std::to_string(l->product()->product_id) + " " + l->attributes().value_or("") + " x" +
                                std::to_string(l->quantity()));
        return shown;
    }
};

TEST_F(AddToOrderStoreTest, AddsMergesRefusesAndCountsWithTheOrdersBadge)
{
    withMainBar();
    ASSERT_TRUE(store->addToOrder(product(fx::kActiveDiscount, 1)));
    EXPECT_EQ(storeDelegate->pops, 1);
    auto order = store->curQuoteOrder();
    ASSERT_TRUE(order);
    auto line = order->items().front();
    EXPECT_EQ(line->currency(), std::optional<std::string>("USD"));
    EXPECT_EQ(line->price(), 100);
    EXPECT_EQ(line->finalPrice(), 80) << "the running discount";
    EXPECT_EQ(ordersBadge(), "1");

    order->setDiscount(55);
    order->setDiscountRat(12);
    app->tabBarController()->setBadgeValueTabBarItemTagAnimated("7", 5, false);
    struct Step {
        brivanta_product_Entity product;
        bool accepted;
        std::vector<std::string> lines;
        std::string badge;
    } steps[] = {
        {product(fx::kActiveDiscount, 1), true, {"7  x2"}, "7"}, // merged: the badge is left alone
        {product(fx::kTwoValues, 1, ""), true, {"7  x2", "3  x1"}, "2"},
        {product(fx::kTwoValues, 2, "Colour:Red"), true, {"7  x2", "3  x3"}, "2"}, // blank absorbs
        {product(fx::kExpiredDiscount, 1, "Colour:Red"), true, {"7  x2", "3  x3", "8 Colour:Red x1"}, "3"},
        {product(fx::kExpiredDiscount, 0, "Colour:Red"), false, {"7  x2", "3  x3", "8 Colour:Red x1"}, "3"},
        {product(fx::kExpiredDiscount, -1, "Colour:Red"), false, {"7  x2", "3  x3", "8 Colour:Red x1"}, "3"},
        {product(fx::kExpiredDiscount, INT_MAX, "Colour:Red"), false, {"7  x2", "3  x3", "8 Colour:Red x1"}, "3"},
        {product(fx::kExpiredDiscount, INT_MAX - 1, "Colour:Red"), true,
         {"7  x2", "3  x3", "8 Colour:Red x2147483647"}, "3"},
    };
    for (auto& s : steps) {
        order->setDiscount(55);
        EXPECT_EQ(store->addToOrder(s.product), s.accepted) << s.product.product_id;
        EXPECT_EQ(lines(), s.lines);
        EXPECT_EQ(ordersBadge(), s.badge);
        EXPECT_EQ(order->storedDiscount(), s.accepted ? -1.0 : 55.0);
        if (s.accepted) {
            EXPECT_EQ(order->discountRat(), 0);
        }
    }
    EXPECT_EQ(order->items()[2]->finalPrice(), 50) << "an expired discount is not applied";
    EXPECT_EQ(storeDelegate->pops, 1);

    auto asked = product(fx::kTwoValues);
    store->addToOrder(product(fx::kTwoValues, 2, "Colour:Blue"));
    store->getItemNumberInOrder(asked);
    EXPECT_EQ(asked.itemNumberInOrder, 5);
    EXPECT_FALSE(store->diffItemCYExist(product(fx::kTwoValues)));
    EXPECT_TRUE(store->diffItemCYExist(product(fx::kSecondCurrency)));
    EXPECT_TRUE(store->diffItemCYExist(product(fx::kNoPriceRow)));
}

TEST_F(AddToOrderStoreTest, SavingDroppingAndTheOrderModule)
{
    EXPECT_FALSE(store->diffItemCYExist(product(fx::kSecondCurrency))) << "no order";
    ASSERT_TRUE(store->addToOrder(product(fx::kTwoValues, 2, "Colour:Red")));
    ASSERT_TRUE(store->addToOrder(product(fx::kSingleValue, 1, "Colour:Red")));
    auto order = store->curQuoteOrder();

    // Dropping writes nothing.
    store->removeCurrentQuoteOrder();
    EXPECT_EQ(store->curQuoteOrder(), nullptr);
    EXPECT_EQ(store->addQuoteOrder(), nullptr);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 0);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order_item"), 0);

    // A refused save loses nothing and keeps the order open.
    ASSERT_TRUE(store->addToOrder(product(fx::kTwoValues, 2, "Colour:Red")));
    ASSERT_TRUE(store->addToOrder(product(fx::kSingleValue, 1, "Colour:Red")));
    order = store->curQuoteOrder();
    ASSERT_TRUE(BRDatabase::sharedDataBase()->executeUpdate(
        "create trigger refuse before insert on brivanta_quote_order_item begin select raise(abort, 'refused'); end"));
    int popsBefore = storeDelegate->pops;
    EXPECT_FALSE(store->saveCurrentQuoteOrder());
    EXPECT_EQ(store->curQuoteOrder(), order);
    EXPECT_EQ(store->addQuoteOrder(), order);
    EXPECT_EQ(order->items().size(), 2u);
    EXPECT_EQ(storeDelegate->pops, popsBefore);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order_item"), 0);

    ASSERT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("drop trigger refuse"));
    EXPECT_TRUE(store->saveCurrentQuoteOrder());
    EXPECT_EQ(store->curQuoteOrder(), nullptr);
    EXPECT_EQ(store->addQuoteOrder(), nullptr);
    ASSERT_NE(order->serial(), 0);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 1);
    std::vector<std::string> storedLines;
    for (const auto& l : data->quoteOrderModel()->fetchQuoteOrderItemsWithQuoteOrder(order->serial()))
        storedLines.push_back(l->sku().value_or("") + " " + l->attributes().value_or("") + " x" + std::to_string(l->quantity()));
    std::sort(storedLines.begin(), storedLines.end());
    EXPECT_EQ(storedLines, (std::vector<std::string>{"SKU-2 Colour:Red x1", "SKU-3 Colour:Red x2"}));

    // Module 5 switches the catalogue's add buttons.
    auto config = ConfigManager::sharedInstance();
    config->setModelDescArray(std::vector<std::string>{"1", "1", "1", "1", "1", "0", "1"});
    store->loadByConfig();
    EXPECT_FALSE(store->isOrderOnShow());
    config->setModelDescArray(std::vector<std::string>{"1", "1", "1", "1", "1", "1", "1"});
    store->loadByConfig();
    EXPECT_TRUE(store->isOrderOnShow());
}

} // namespace
