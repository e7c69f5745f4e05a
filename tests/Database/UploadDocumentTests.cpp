#include "OrderTestSupport.h"

#include "App/BrivantaAppDelegate.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Network/BRJsonParser.h"
#include "Platform/UI/Application.h"

namespace {

using ordertest::OrderTest;

base::Value parsed(const std::optional<std::string>& text)
{
    EXPECT_TRUE(text);
    auto value = BRJsonParser().objectWithString(text.value_or(""));
    EXPECT_TRUE(value);
    return value.value_or(base::Value());
}

double number(const base::Value& value)
{
    EXPECT_TRUE(value.isNumber()) << base::Value::typeName(value.type());
    return value.toDouble(-12345);
}

class UploadDocumentTest : public OrderTest {
protected:
    // The orders of the document, by order id.
    std::map<int64_t, base::Value> sent(int orderId)
    {
        std::map<int64_t, base::Value> orders;
        base::Value document = parsed(m_model->fetchQuoteOrdersDicString(orderId));
        for (const auto& order : document["order"].asArray())
            orders[order["order_id"].toInt()] = order;
        return orders;
    }
    int uploaded(int orderId)
    {
        return m_db->intForQuery("select uploaded from brivanta_quote_order where order_id = ?", orderId);
    }
};

TEST_F(UploadDocumentTest, TheDocumentCarriesTheServersKeysAndTypes)
{
    EXPECT_EQ(m_model->fetchQuoteOrdersDicString(0), "{\"order\":[]}");

    auto o = order("Acme", 0);
    o->setCustomerId(-4);
    o->setDiscountRat(10);
    o->setShipping(0.1);
    o->items().push_back(line(7, 100, 75, 2, "Color:Red"));
    ASSERT_EQ(m_model->saveQuoteOrder(o), -1);
    ASSERT_TRUE(m_db->executeUpdate("update brivanta_quote_order set signature = NULL, order_tax_details = NULL"));

    auto orders = sent(0);
    ASSERT_EQ(orders.size(), 1u);
    const base::Value& doc = orders[-1];
    EXPECT_EQ(doc["order_number"], base::Value("bob_130507143000"));
    EXPECT_EQ(number(doc["customer_id"]), 0);
    EXPECT_EQ(number(doc["vendor_id"]), 12);
    EXPECT_EQ(doc["signature"], base::Value(""));
    EXPECT_EQ(doc["order_tax_details"], base::Value(""));
    EXPECT_EQ(doc["uploaded"], base::Value(false));
    EXPECT_EQ(number(doc["order_total"]), 150);
    EXPECT_EQ(number(doc["order_subtotal"]), 200);
    EXPECT_EQ(number(doc["discount_rats"]), 90);
    EXPECT_EQ(number(doc["order_discount"]), 135);
    EXPECT_EQ(number(doc["order_shipping"]), 0.1);
    EXPECT_FALSE(doc.asDictionary().contains("discount_rat"));
    EXPECT_EQ(doc.asDictionary().size(), 32u);

    const base::Value& lines = doc["order_item"]["order_items"];
    ASSERT_TRUE(lines.isArray());
    ASSERT_EQ(lines.asArray().size(), 1u);
    const base::Value& item = lines.asArray()[0];
    EXPECT_EQ(number(item["vendor_id"]), 0);
    EXPECT_EQ(number(item["discount_rat"]), 75);
    EXPECT_EQ(number(item["order_item_subtotal"]), 150);
    EXPECT_EQ(number(item["product_id"]), 7);
    EXPECT_EQ(item["product_attribute"], base::Value("Color:Red"));
    EXPECT_FALSE(item.asDictionary().contains("discount_rats"));
    EXPECT_EQ(item.asDictionary().size(), 17u);

    EXPECT_TRUE(m_model->fetchQuoteOrderItemsDicWithQuoteOrder(0).isNull());
    EXPECT_TRUE(sent(-7).empty());
}

// The order store builds the text for 0, uploads it and, on "200", marks 0 through the
// manager: what is marked is what the server received.
TEST_F(UploadDocumentTest, OnlyWhatWasSentIsMarkedSent)
{
    ASSERT_EQ(m_manager->saveQuoteOrder(order("Acme", 1)), -1);
    auto edited = order("Beta", 2);
    ASSERT_EQ(m_manager->saveQuoteOrder(edited), -2);
    auto lineEdited = order("Gamma", 1);
    ASSERT_EQ(m_manager->saveQuoteOrder(lineEdited), -3);
    ASSERT_EQ(m_manager->saveQuoteOrder(order("  ", 1)), -4);

    auto document = parsed(m_manager->fetchQuoteOrdersDicString(0));
    EXPECT_EQ(document["order"].asArray().size(), 3u); // the blank customer waits while customers are shown

    // While the upload is under way: a new order, the same second's edit of an order, an
    // edit of a line alone, and other readers of the document.
    ASSERT_EQ(m_manager->saveQuoteOrder(order("Late", 1)), -5);
    edited->setCustomerNote("ring first");
    ASSERT_EQ(m_manager->saveQuoteOrder(edited), -2);
    lineEdited->items().front()->setQuantity(40);
    ASSERT_EQ(m_manager->saveQuoteOrder(lineEdited), -3);
    EXPECT_EQ(m_manager->fetchUnsubmittedQuoteOrdersDic(0)["order"].asArray().size(), 4u);
    EXPECT_EQ(m_model->fetchUnsubmittedQuoteOrdersDic(0)["order"].asArray().size(), 4u);

    m_manager->setQuoteOrdersToUploaded(0);
    EXPECT_EQ(uploaded(-1), 1);
    EXPECT_EQ(uploaded(-2), 0) << "its note never reached the server";
    EXPECT_EQ(uploaded(-3), 0) << "its line never reached the server";
    EXPECT_EQ(uploaded(-4), 0);
    EXPECT_EQ(uploaded(-5), 0);

    // The next upload carries the edits and marks them; marking again marks nothing more.
    auto next = sent(0);
    ASSERT_EQ(next.size(), 3u);
    EXPECT_EQ(next[-2]["customer_note"], base::Value("ring first"));
    ASSERT_TRUE(m_manager->fetchQuoteOrdersDicString(0));
    m_manager->setQuoteOrdersToUploaded(0);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded = 1"), 4);
    ASSERT_EQ(m_manager->saveQuoteOrder(order("After", 1)), -6);
    m_manager->setQuoteOrdersToUploaded(0);
    EXPECT_EQ(uploaded(-6), 0);

    m_manager->setQuoteOrdersUploadedWithOrderNumber("");
    m_manager->setQuoteOrdersUploadedWithOrderNumber(std::nullopt);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded = 1"), 4);

    // With the switch off the blank customer's order goes too; a single order marks itself.
    m_customerOnShow = false;
    auto orders = sent(-4);
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders.begin()->second["customer_name"], base::Value("  "));
    m_manager->setQuoteOrdersToUploaded(-4);
    EXPECT_EQ(uploaded(-4), 1);
    EXPECT_EQ(uploaded(-6), 0);
}

// The sent set is the caller's: another document built in between changes nothing of it.
TEST_F(UploadDocumentTest, TheModelMarksTheSetItIsHanded)
{
    ASSERT_EQ(m_model->saveQuoteOrder(order("Acme", 1)), -1);
    auto first = m_model->buildUploadText(0);
    ASSERT_EQ(first.sent.size(), 1u);
    ASSERT_EQ(m_model->saveQuoteOrder(order("Beta", 1)), -2);
    auto second = m_model->buildUploadDocument(0);
    EXPECT_EQ(second.sent.size(), 2u);
    m_model->setQuoteOrdersToUploaded(0);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded = 1"), 0);
    EXPECT_EQ(m_model->setQuoteOrdersToUploaded(first.sent), 1);
    EXPECT_EQ(uploaded(-1), 1);
    EXPECT_EQ(uploaded(-2), 0);
    // An order already marked is not marked twice.
    EXPECT_EQ(m_model->setQuoteOrdersToUploaded(second.sent), 1);
    EXPECT_EQ(uploaded(-2), 1);
}

// A mark the database refuses (here a trigger standing for a full disk) is logged and leaves
// the order waiting: the next upload carries it again, and the mark then holds.
TEST_F(UploadDocumentTest, AMarkThatIsNotStoredIsLoggedAndTheOrderGoesAgain)
{
    ASSERT_EQ(m_manager->saveQuoteOrder(order("Acme", 1)), -1);
    ASSERT_TRUE(m_db->executeUpdate("create trigger refuse_mark before update of uploaded on brivanta_quote_order "
                                    "begin select raise(abort, 'disk full'); end"));
    struct Case {
        const char* name;
        std::function<void()> mark;
    } cases[] = {
        {"one order by id, no document", [&] { EXPECT_FALSE(m_model->setQuoteOrdersToUploaded(-1)); }},
        {"the orders a document carried",
         [&] {
             ASSERT_TRUE(m_manager->fetchQuoteOrdersDicString(0));
             m_manager->setQuoteOrdersToUploaded(0);
         }},
        {"by order number",
         [&] {
             m_manager->setQuoteOrdersUploadedWithOrderNumber(
                 m_db->stringForQuery("select order_number from brivanta_quote_order where order_id = -1"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        base::ScopedLogCapture log;
        c.mark();
        EXPECT_TRUE(log.contains("not marked uploaded")) << "the failure is told";
        EXPECT_EQ(uploaded(-1), 0);
        EXPECT_EQ(sent(0).size(), 1u) << "the next upload carries it";
    }
    ASSERT_TRUE(m_db->executeUpdate("drop trigger refuse_mark"));
    ASSERT_TRUE(m_manager->fetchQuoteOrdersDicString(0));
    m_manager->setQuoteOrdersToUploaded(0);
    EXPECT_EQ(uploaded(-1), 1);
}

TEST_F(UploadDocumentTest, HistoryReplacesLocalCopiesAndTakesFreshLineIds)
{
    auto local = order("Local", 2);
    local->setNumber("bob_130101090000");
    ASSERT_EQ(m_model->saveQuoteOrder(local), -1);

    BRJsonParser parser;
    auto history = parser.objectWithString(R"({"orders": [
        {"order_id": 2001, "order_number": "bob_130101090000", "customer_name": "Acme", "cdate": "01/01/2013 09:00:00",
         "order_total": 12.5, "discountRate": 85, "uploaded": 0, "orderItemList": [1, 2], "clientId": "acme"},
        {"order_id": 2002, "order_number": "bob_130102090000", "cdate": "01/02/2013 09:00:00"}],
      "items": [
        {"order_item_id": 9, "order_id": 2001, "product_id": 7, "order_item_sku": "SKU-7", "discountRate": "70"},
        {"order_item_id": 9, "order_id": 2001, "product_id": 8, "discountRate": "n/a"},
        {"order_item_id": 9, "order_id": 2002, "product_id": 7}]})");
    ASSERT_TRUE(history);
    for (int round = 0; round < 2; ++round) {
        for (const auto& o : (*history)["orders"].asArray())
            EXPECT_TRUE(m_model->updateLocalHistoryOrderFromServer(o));
        for (const auto& l : (*history)["items"].asArray())
            EXPECT_TRUE(m_model->updateLocalHistoryOrderItemFromServer(l));
    }
    EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 2);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded = 1"), 2);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order_item"), 3);
    EXPECT_EQ(count("select count(distinct order_item_id) from brivanta_quote_order_item where order_item_id < 0"), 3);
    EXPECT_EQ(lineIds(2001).size(), 2u);
    EXPECT_EQ(m_db->doubleForQuery("select discount_rat from brivanta_quote_order where order_id = 2001"), 85);
    EXPECT_EQ(m_db->doubleForQuery("select discount_rat from brivanta_quote_order where order_id = 2002"), 0);
    EXPECT_EQ(m_db->doubleForQuery("select order_total from brivanta_quote_order where order_id = 2001"), 12.5);
    EXPECT_EQ(m_db->stringForQuery("select group_concat(discount_rat) from (select discount_rat from "
                                   "brivanta_quote_order_item where order_id = 2001 order by product_id)"),
              "70.0,0.0");
    EXPECT_EQ(m_db->stringForQuery("select customer_name from brivanta_quote_order where order_id = 2002"), "");

    // Without a usable id the server's copy cannot be stored, so the local one stays.
    auto unsent = order("Kept", 1);
    unsent->setNumber("bob_130103090000");
    ASSERT_NE(m_model->saveQuoteOrder(unsent), 0);
    auto broken = parser.objectWithString(R"({"order_number": "bob_130103090000", "customer_name": "Server"})");
    EXPECT_FALSE(m_model->updateLocalHistoryOrderFromServer(*broken));
    EXPECT_EQ(m_db->stringForQuery("select customer_name from brivanta_quote_order where order_number = "
                                   "'bob_130103090000'"),
              "Kept");
    EXPECT_EQ(lineIds(unsent->serial()).size(), 1u);
    EXPECT_FALSE(m_model->updateLocalHistoryOrderFromServer(base::Value(base::Array{})));
    EXPECT_FALSE(m_model->updateLocalHistoryOrderItemFromServer(base::Value()));
}

// The real store's switch, read through the hook the launch installs.
TEST_F(UploadDocumentTest, TheLaunchConnectsTheOrderStoresCustomerSwitch)
{
    for (const auto& entry : std::filesystem::directory_iterator(dbtest::binaryFolder() / "Resources"))
        if (entry.path().extension() == ".plist")
            std::filesystem::copy_file(entry.path(), m_bundle.path() / entry.path().filename());
    basetest::ScopedEnv network("BRIVANTA_NETWORK", "wifi");
    ASSERT_EQ(m_model->saveQuoteOrder(order(" ", 1)), -1);
    QuoteOrderModel::setCustomerOnShowHook({});
    QuoteOrderStore::freeInstance();
    EXPECT_TRUE(sent(0).empty()); // no hook: the value of a new store

    ui::Application::shared().resetForTesting();
    auto app = std::make_shared<BrivantaAppDelegate>();
    ASSERT_TRUE(ui::Application::shared().launch(app));
    EXPECT_TRUE(sent(0).empty());
    QuoteOrderStore::sharedQuoteOrderStore()->setIsCustomerOnShow(false);
    EXPECT_EQ(sent(0).size(), 1u);
    QuoteOrderStore::freeInstance();
    EXPECT_TRUE(sent(0).empty());

    ui::Application::shared().resetForTesting();
    QuoteOrderStore::freeInstance();
}

} // namespace
