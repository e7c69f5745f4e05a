// The order store against the loopback back end: the client database from the template,
// account "alice" of fixture S, the clock fixed, replies through the real dispatcher and
// transport on the manual run-loop clock.
#include "App/BrivantaAppDelegate.h"
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Order/OrderPDFCreater.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/Language.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderModel.h"
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRResultSet.h"
#include "Database/UnsentWork.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/ScrollView.h"
#include "Protocol/RequestLogin.h"
#include "tests/Platform/Graphics/TestSupport.h"
#include "tests/Protocol/ProtocolTestSupport.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace {

using protocoltest::ProtocolTest;
using protocoltest::localTime;
using Text = std::optional<std::string>;

class Listener : public QuoteOrderStoreDelegate {
public:
    struct Heard {
        std::string kind;
        Text status;
        Text message;
    };
    std::vector<Heard> heard;
    std::vector<std::pair<int, int>> customerMoves;
    int pops = 0;

    void finishedUploadQuoteOrdersMessage(const Text& status, const Text& message) override
    {
        heard.push_back({"upload", status, message});
    }
    void finishedSyncHistoryQuoteOrdersMessage(const Text& status, const Text& message) override
    {
        heard.push_back({"history", status, message});
    }
    void popSelfView() override { ++pops; }
    void updateCustomerIdNewId(int oldId, int newId) override { customerMoves.emplace_back(oldId, newId); }
};

class QuoteOrderStoreTest : public ProtocolTest {
protected:
    void SetUp() override
    {
        ProtocolTest::SetUp();
        if (HasFatalFailure())
            return;
        base::RunLoop::main().setManualClock(true);
        base::Date::setFixedNow(localTime("01/15/2026 10:20:08"));
        auto login = LoginMode::sharedInstance();
        login->setLoginType(1);
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        login->setDeviceID("dev-1");
        DataAccessManager::releaseDataModel();
        m_manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_manager->hasModels());
        m_db = BRDatabase::sharedDataBase();
        brivanta_product_price_Entity usd;
        usd.price_id = 1;
        usd.product_id = 101;
        usd.price = 12.5;
        usd.currency = "USD";
        brivanta_product_price_Entity eur;
        eur.price_id = 2;
        eur.product_id = 102;
        eur.price = 30;
        eur.currency = "EUR";
        ASSERT_TRUE(m_manager->saveToDatabasePrice(std::vector{usd, eur}));
        QuoteOrderStore::freeInstance();
        m_store = QuoteOrderStore::sharedQuoteOrderStore();
        m_store->setDelegate(m_listener);
    }
    void TearDown() override
    {
        m_store.reset();
        QuoteOrderStore::freeInstance();
        QuoteOrderStore::setPreUploadHook({});
        m_db.reset();
        m_manager.reset();
        // The base's last turns run on the real clock: a manual one would idle for a second.
        base::RunLoop::main().setManualClock(false);
        ProtocolTest::TearDown();
        DataAccessManager::releaseDataModel();
        base::Date::setFixedNow(std::nullopt);
    }

    static brivanta_product_Entity product(int id, int count, Text attributes = {})
    {
        brivanta_product_Entity p;
        p.product_id = id;
        p.product_sku = "SKU-" + std::to_string(id);
        p.product_name = "Product " + std::to_string(id);
        p.count = count;
        p.attributes = std::move(attributes);
        return p;
    }
    // A stored unsent order with that many lines of product 101.
    QuoteOrderStore::Order storedOrder(int lines, int customerId = 3)
    {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName("Acme Buyer");
        order->setCustomerId(customerId);
        order->setCurrency("USD");
        for (int i = 0; i < lines; ++i) {
            auto line = std::make_shared<QuoteOrderItemEntity>();
            line->setProduct(product(101, 1));
            line->setQuantity(i + 1);
            line->setCurrency("USD");
            order->items().push_back(line);
        }
        EXPECT_NE(m_manager->saveQuoteOrder(order), 0);
        // The next order is made one second later: numbers stay apart without the save's help.
        base::Date::setFixedNow(base::Date::now().addingTimeInterval(1));
        return order;
    }
    int count(const std::string& sql) { return m_db->intForQuery(sql); }
    std::vector<int> lineIds(int orderId)
    {
        std::vector<int> ids;
        auto rs = m_db->executeQuery(
            "select order_item_id from brivanta_quote_order_item where order_id = ? order by order_item_id desc",
            orderId);
        while (rs && rs->next())
            ids.push_back(rs->intForColumnIndex(0));
        return ids;
    }
    std::string rowsText(const std::string& sql)
    {
        std::string text;
        auto rs = m_db->executeQuery(sql);
        while (rs && rs->next())
            for (int i = 0; i < rs->columnCount(); ++i)
                text += rs->stringForColumnIndex(i).value_or("NULL") + "|";
        return text;
    }
    bool uploaded(int orderId)
    {
        return m_db->intForQuery("select uploaded from brivanta_quote_order where order_id = ?", orderId) == 1;
    }
    // Lets anything already sent reach the back end and any answer come back.
    static void settle()
    {
        auto& loop = base::RunLoop::main();
        loop.setManualClock(false);
        loop.runUntil([] { return false; }, 0.1);
        loop.setManualClock(true);
    }
    bool heardSomething(size_t n = 1) { return runUntil([&] { return m_listener->heard.size() >= n; }); }

    std::shared_ptr<DataAccessManager> m_manager;
    std::shared_ptr<BRDatabase> m_db;
    std::shared_ptr<QuoteOrderStore> m_store;
    std::shared_ptr<Listener> m_listener = std::make_shared<Listener>();
};

TEST_F(QuoteOrderStoreTest, AddingMergesByProductAndAttributesAndResetsTheDiscount)
{
    struct Case {
        brivanta_product_Entity product;
        bool accepted;
        std::vector<int> quantities;
    } cases[] = {
        {product(101, 2, "Colour:Red"), true, {2}},
        {product(101, 3, "Colour:Red"), true, {5}},
        {product(101, 1, " Colour:Red"), true, {5, 1}},   // no trimming on comparison
        {product(102, 4, {}), true, {5, 1, 4}},
        {product(102, 1, "Size:L"), true, {5, 1, 5}},     // a blank line takes any choice
        {product(101, 0, "Colour:Red"), false, {5, 1, 5}}, // below 1
        {product(101, INT_MAX - 4, "Colour:Red"), false, {5, 1, 5}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(m_store->addToOrder(c.product), c.accepted);
        std::vector<int> quantities;
        for (const auto& line : m_store->curQuoteOrder()->items())
            quantities.push_back(line->quantity());
        EXPECT_EQ(quantities, c.quantities);
    }
    auto order = m_store->curQuoteOrder();
    EXPECT_EQ(order, m_store->addQuoteOrder());
    EXPECT_EQ(m_listener->pops, 1); // only when no order was current
    EXPECT_EQ(order->storedDiscount(), -1.0);
    EXPECT_EQ(order->currency(), Text("EUR"));
    EXPECT_EQ(order->items()[0]->finalPrice(), 12.5);
    EXPECT_EQ(order->items()[0]->serial(), 0);
    EXPECT_EQ(m_store->getCurrentQuoteOrderItemsCount(), 3u);

    auto asked = product(101, 1);
    m_store->getItemNumberInOrder(asked);
    EXPECT_EQ(asked.itemNumberInOrder, 6);
    EXPECT_TRUE(m_store->diffItemCYExist(product(101, 1)));
    order->items().erase(order->items().begin() + 2);
    order->items().back()->setCurrency("USD");
    EXPECT_FALSE(m_store->diffItemCYExist(product(101, 1)));
    EXPECT_TRUE(m_store->diffItemCYExist(product(999, 1))); // no price record: no currency
}

TEST_F(QuoteOrderStoreTest, SavingKeepsTheEditorsLinesAndAFailedSaveLosesNothing)
{
    auto other = storedOrder(2);
    ASSERT_TRUE(m_store->addToOrder(product(101, 1, "Colour:Red")));
    ASSERT_TRUE(m_store->addToOrder(product(102, 2)));
    auto held = m_store->curQuoteOrder(); // as an open editor holds it
    EXPECT_TRUE(m_store->saveCurrentQuoteOrder());
    EXPECT_EQ(m_store->curQuoteOrder(), nullptr);
    EXPECT_EQ(m_store->addQuoteOrder(), nullptr);
    ASSERT_EQ(held->items().size(), 2u);
    EXPECT_EQ(held->serial(), -2);
    EXPECT_EQ(lineIds(held->serial()), (std::vector<int>{-3, -4}));
    std::string otherLines = rowsText("select * from brivanta_quote_order_item where order_id = " +
                                      std::to_string(other->serial()));

    // Reopened, a line added with the order's own next index, saved: ids stay unique.
    m_store->setCurQuoteOrder(held);
    ASSERT_TRUE(m_store->addToOrder(product(101, 1, "Colour:Blue")));
    EXPECT_EQ(held->items().back()->serial(), 1);
    EXPECT_EQ(held->items().back()->orderID(), -2);
    EXPECT_TRUE(m_store->saveCurrentQuoteOrder());
    EXPECT_EQ(m_listener->pops, 2); // once on the first add, once here: no new order was open
    EXPECT_EQ(lineIds(held->serial()).size(), 3u);
    EXPECT_EQ(count("select count(distinct order_item_id) from brivanta_quote_order_item"),
              count("select count(*) from brivanta_quote_order_item"));
    EXPECT_EQ(otherLines, rowsText("select * from brivanta_quote_order_item where order_id = " +
                                   std::to_string(other->serial())));

    // A refused save: the stored rows as they were, the record with its lines.
    std::string before = rowsText("select * from brivanta_quote_order_item order by order_item_id") +
                         rowsText("select * from brivanta_quote_order order by order_id");
    ASSERT_TRUE(m_db->executeUpdate("create trigger refuse before insert on brivanta_quote_order_item "
                                    "begin select raise(abort, 'refused'); end"));
    m_store->setCurQuoteOrder(held);
    held->items().front()->setQuantity(9);
    EXPECT_FALSE(m_store->saveCurrentQuoteOrder());
    EXPECT_EQ(held->items().size(), 3u);
    EXPECT_EQ(held->serial(), -2);
    EXPECT_EQ(before, rowsText("select * from brivanta_quote_order_item order by order_item_id") +
                          rowsText("select * from brivanta_quote_order order by order_id"));
}

// The program ends with products added from the catalogue and no editor ever opened: the store
// keeps the open order itself, once, unsent; an empty one writes nothing.
TEST_F(QuoteOrderStoreTest, TheProgramsEndKeepsTheLinesAddedFromTheCatalogue)
{
    struct Case {
        const char* name;
        std::vector<brivanta_product_Entity> added;
        int orders;
        std::string lines;
    };
    for (const Case& c : {Case{"nothing added", {}, 0, ""},
                          Case{"products added", {product(101, 3, "Colour:Red"), product(101, 1, "Colour:Red"), product(102, 2)},
                               1, "SKU-101|4|12.5|Colour:Red|SKU-102|2|30.0||"}}) {
        SCOPED_TRACE(c.name);
        QuoteOrderStore::freeInstance();
        m_store = QuoteOrderStore::sharedQuoteOrderStore();
        for (const auto& p : c.added)
            ASSERT_TRUE(m_store->addToOrder(p));
        QuoteOrderStore::keepOpenOrder();
        EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded = 0"), c.orders);
        EXPECT_EQ(rowsText("select order_item_sku, product_quantity, product_final_price, product_attribute"
                           " from brivanta_quote_order_item order by order_item_id desc"),
                  c.lines);
        // Kept once: a second end stores nothing more.
        QuoteOrderStore::keepOpenOrder();
        EXPECT_EQ(count("select count(*) from brivanta_quote_order"), c.orders);
    }
}

TEST_F(QuoteOrderStoreTest, CopiesMadeInOneSecondGetNumbersOfTheirOwn)
{
    auto order = std::make_shared<QuoteOrderEntity>();
    order->setCustomerName("Acme Buyer");
    ASSERT_NE(m_manager->saveQuoteOrder(order), 0);
    EXPECT_EQ(order->number(), Text("alice_260115102008"));
    EXPECT_TRUE(m_store->copyQuoteOrderEntity(order));
    EXPECT_TRUE(m_store->copyQuoteOrderEntity(order));
    auto rs = m_db->executeQuery("select order_number from brivanta_quote_order order by order_id desc");
    std::vector<std::string> numbers;
    while (rs && rs->next())
        numbers.push_back(rs->stringForColumnIndex(0).value_or(""));
    EXPECT_EQ(numbers, (std::vector<std::string>{"alice_260115102008", "alice_260115102009", "alice_260115102010"}));
    EXPECT_FALSE(m_store->copyQuoteOrderEntity(nullptr));
}

TEST_F(QuoteOrderStoreTest, SubmitOnlineAppliesTheIdsOfWellShapedEntriesOnly)
{
    auto first = storedOrder(2);
    auto second = storedOrder(1);
    std::string body = R"({"content":{"orders":[{"id":")" + *first->number() +
                       R"(","generateId":7001}, 5, {"id":3,"generateId":1}, {"id":")" + *second->number() +
                       R"("}]},"results":[{"status":"200","detail":"","message":""}]})";
    auto escaped = JSONFragment(base::Value(body));
    ASSERT_TRUE(escaped);
    ASSERT_TRUE(backend().setFault("518", "raw", 1, R"("body": )" + *escaped));

    EXPECT_TRUE(m_store->startUploadQuoteOrder(0));
    EXPECT_TRUE(m_store->submitting());
    // A second submit while the first is under way sends nothing.
    EXPECT_FALSE(m_store->startUploadQuoteOrder(0));
    ASSERT_TRUE(heardSomething());
    EXPECT_FALSE(m_store->submitting());
    EXPECT_EQ(m_store->currentQuoteOrderId(), -1);
    ASSERT_EQ(m_listener->heard.size(), 1u);
    EXPECT_EQ(m_listener->heard[0].kind, "upload");
    EXPECT_EQ(m_listener->heard[0].status, Text("200"));

    auto sent = logged("518");
    ASSERT_EQ(sent.size(), 1u);
    std::string document = JSONFragment(sent[0]["syncData"]).value_or("");
    EXPECT_NE(document.find(*first->number()), std::string::npos) << document;
    EXPECT_NE(document.find(*second->number()), std::string::npos) << document;

    EXPECT_TRUE(uploaded(7001));
    EXPECT_EQ(lineIds(7001).size(), 2u);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where order_id = 1"), 0);
    EXPECT_TRUE(uploaded(second->serial()));
}

TEST_F(QuoteOrderStoreTest, UploadRepliesOfOtherShapes)
{
    struct Case {
        const char* name;
        const char* fault;
        const char* extra;
        bool saveMeanwhile;
        const char* status;
        bool marked;
    } cases[] = {
        {"failure status", "status", R"("status": "500")", false, "500", false},
        {"no orders array", "raw",
         R"("body": "{\"content\":{},\"results\":[{\"status\":\"200\",\"detail\":\"\",\"message\":\"\"}]}")", false,
         "200", true},
        {"saved while held back", "delay", R"("seconds": 0.2)", true, "200", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(backend().setFault("518", c.fault, 1, c.extra));
        auto order = storedOrder(1);
        m_listener->heard.clear();
        ASSERT_TRUE(m_store->startUploadQuoteOrder(0));
        if (c.saveMeanwhile) {
            order->items().front()->setQuantity(40);
            ASSERT_NE(m_manager->saveQuoteOrder(order), 0);
        }
        ASSERT_TRUE(heardSomething());
        EXPECT_EQ(m_listener->heard[0].status, Text(c.status));
        int stored = m_manager->getLocalOrderIdWithOrderNumber(order->number());
        EXPECT_EQ(uploaded(stored), c.marked);
        EXPECT_EQ(lineIds(stored).size(), 1u);
        // The next case starts clean.
        ASSERT_TRUE(m_store->removeQuoteOrder(stored));
        ASSERT_TRUE(backend().reset());
    }
}

// The order editor and the history screen submit one order, the order list all of them; an
// edit saved while the answer is late must reach the server with the next upload.
TEST_F(QuoteOrderStoreTest, AnEditSavedWhileTheAnswerIsLateGoesWithTheNextUpload)
{
    for (bool single : {true, false}) {
        SCOPED_TRACE(single ? "one order" : "every order");
        ASSERT_TRUE(backend().reset());
        auto order = storedOrder(1);
        auto untouched = storedOrder(1);
        size_t before = logged("518").size();
        ASSERT_TRUE(backend().setFault("518", "delay", 1, R"("seconds": 0.3)"));
        m_listener->heard.clear();
        ASSERT_TRUE(m_store->startUploadQuoteOrder(single ? order->serial() : 0));
        order->items().front()->setQuantity(40);
        ASSERT_NE(m_manager->saveQuoteOrder(order), 0);
        ASSERT_TRUE(heardSomething());
        ASSERT_EQ(m_listener->heard[0].status, Text("200"));

        int stored = m_manager->getLocalOrderIdWithOrderNumber(order->number());
        EXPECT_GT(stored, 0) << "the server's id is taken all the same";
        EXPECT_FALSE(uploaded(stored)) << "the server holds quantity 1";
        EXPECT_EQ(uploaded(m_manager->getLocalOrderIdWithOrderNumber(untouched->number())), !single);

        m_listener->heard.clear();
        ASSERT_TRUE(m_store->startUploadQuoteOrder(single ? stored : 0));
        ASSERT_TRUE(heardSomething());
        EXPECT_TRUE(uploaded(stored));
        auto sent = logged("518");
        ASSERT_EQ(sent.size(), before + 2);
        const auto& orders = sent.back()["syncData"]["order"].asArray();
        ASSERT_EQ(orders.size(), 1u);
        EXPECT_EQ(orders[0]["order_number"], base::Value(*order->number()));
        EXPECT_EQ(orders[0]["order_item"]["order_items"].asArray()[0]["product_quantity"].toString(), "40");
        for (int id : {stored, m_manager->getLocalOrderIdWithOrderNumber(untouched->number())})
            ASSERT_TRUE(m_store->removeQuoteOrder(id));
    }
}

// An edit saved while the upload's answer was late leaves the order unsent under the server's
// id; older orders fetched before the next upload bring the server's copy of it too.
TEST_F(QuoteOrderStoreTest, OlderOrdersKeepAnEditTheServerHasNotSeen)
{
    for (bool single : {true, false}) {
        SCOPED_TRACE(single ? "one order" : "every order");
        ASSERT_TRUE(backend().reset());
        ASSERT_TRUE(m_db->executeUpdate("delete from brivanta_quote_order"));
        ASSERT_TRUE(m_db->executeUpdate("delete from brivanta_quote_order_item"));
        auto order = storedOrder(1);
        ASSERT_TRUE(backend().setFault("518", "delay", 1, R"("seconds": 0.3)"));
        m_listener->heard.clear();
        ASSERT_TRUE(m_store->startUploadQuoteOrder(single ? order->serial() : 0));
        order->items().front()->setQuantity(40);
        ASSERT_NE(m_manager->saveQuoteOrder(order), 0);
        ASSERT_TRUE(heardSomething());
        int stored = m_manager->getLocalOrderIdWithOrderNumber(order->number());
        ASSERT_GT(stored, 0);
        ASSERT_FALSE(uploaded(stored));

        // The device holds no submitted order: the newest page holds this one.
        m_listener->heard.clear();
        m_store->getLastTenOrderHistory();
        ASSERT_TRUE(heardSomething());
        ASSERT_EQ(m_listener->heard[0].status, Text("200"));
        EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 10) << "the rest of the page is stored";
        EXPECT_EQ(count("select count(*) from brivanta_quote_order where order_number = '" + *order->number() + "'"), 1);
        EXPECT_EQ(m_manager->getLocalOrderIdWithOrderNumber(order->number()), stored);
        EXPECT_FALSE(uploaded(stored));
        EXPECT_EQ(rowsText("select product_quantity from brivanta_quote_order_item where order_id = " +
                           std::to_string(stored)),
                  "40|")
            << "the device's line alone, not the server's beside it";

        m_listener->heard.clear();
        ASSERT_TRUE(m_store->startUploadQuoteOrder(single ? stored : 0));
        ASSERT_TRUE(heardSomething());
        EXPECT_TRUE(uploaded(stored));
        auto sent = logged("518");
        const auto& orders = sent.back()["syncData"]["order"].asArray();
        ASSERT_EQ(orders.size(), 1u);
        EXPECT_EQ(orders[0]["order_number"], base::Value(*order->number()));
        EXPECT_EQ(orders[0]["order_item"]["order_items"].asArray()[0]["product_quantity"].toString(), "40");
    }
}

// An order sent again after its first upload reached the server: the server keeps the latest
// upload of the order number, and older orders fetched on a device that has none bring it back.
TEST_F(QuoteOrderStoreTest, AnOrderSentAgainIsWhatTheServerKeeps)
{
    enum class Road { AnswerLost, LogoutDuringUpload, EditedWhileLate };
    struct Case {
        const char* name;
        Road road;
    } cases[] = {
        {"the answer lost after the server stored the order", Road::AnswerLost},
        {"logout while the upload was under way", Road::LogoutDuringUpload},
        {"an edit saved while the answer was late", Road::EditedWhileLate},
    };
    // The back end's copy of the order: its lines' quantities and how many orders bear the number.
    auto onServer = [&](const std::string& number) {
        std::vector<int> quantities;
        int copies = 0;
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& order : state["orders"].asArray()) {
            if (order["order_number"] != base::Value(number))
                continue;
            ++copies;
            for (const auto& quantity : order["quantities"].asArray())
                quantities.push_back(static_cast<int>(quantity.toInt()));
        }
        return std::make_pair(copies, quantities);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(backend().reset());
        ASSERT_TRUE(m_db->executeUpdate("delete from brivanta_quote_order"));
        ASSERT_TRUE(m_db->executeUpdate("delete from brivanta_quote_order_item"));
        auto order = storedOrder(1);
        const std::string number = *order->number();
        m_listener->heard.clear();
        switch (c.road) {
        case Road::AnswerLost:
            ASSERT_TRUE(backend().setFault("518", "truncate", 0, R"("fraction": 0.3)"));
            ASSERT_TRUE(m_store->startUploadQuoteOrder(order->serial()));
            ASSERT_TRUE(heardSomething());
            EXPECT_NE(m_listener->heard[0].status, Text("200"));
            ASSERT_TRUE(backend().control(R"({"clearFaults": true})"));
            break;
        case Road::LogoutDuringUpload:
            ASSERT_TRUE(backend().setFault("518", "delay", 1, R"("seconds": 0.5)"));
            ASSERT_TRUE(m_store->startUploadQuoteOrder(order->serial()));
            // The server has the request (its delay has begun) and has not answered yet.
            ASSERT_TRUE(runUntil([&] {
                auto state = JSONValue(backend().state()).value_or(base::Value());
                return state["faults"].asArray().size() == 1 && state["faults"].asArray()[0]["used"].toInt() == 1;
            }));
            // What logout does to the upload: the requests dropped, the store forgotten.
            NetworkModel::sharedInstance()->cancelAllRequests();
            m_store.reset();
            QuoteOrderStore::freeInstance();
            m_store = QuoteOrderStore::sharedQuoteOrderStore();
            m_store->setDelegate(m_listener);
            break;
        case Road::EditedWhileLate:
            ASSERT_TRUE(backend().setFault("518", "delay", 1, R"("seconds": 0.3)"));
            ASSERT_TRUE(m_store->startUploadQuoteOrder(order->serial()));
            order->items().front()->setQuantity(40);
            ASSERT_NE(m_manager->saveQuoteOrder(order), 0);
            ASSERT_TRUE(heardSomething());
            break;
        }
        ASSERT_TRUE(runUntil([&] { return onServer(number).first == 1; })) << "the server stored the first upload";
        EXPECT_EQ(onServer(number).second, std::vector<int>{1});
        int stored = m_manager->getLocalOrderIdWithOrderNumber(order->number());
        ASSERT_FALSE(uploaded(stored));

        // The user makes it 40 (already done on the third road) and submits again.
        if (c.road != Road::EditedWhileLate) {
            EXPECT_EQ(stored, order->serial()) << "no answer reached the device";
            order->items().front()->setQuantity(40);
            ASSERT_NE(m_manager->saveQuoteOrder(order), 0);
        }
        m_listener->heard.clear();
        ASSERT_TRUE(m_store->startUploadQuoteOrder(stored));
        ASSERT_TRUE(heardSomething());
        ASSERT_EQ(m_listener->heard[0].status, Text("200"));
        stored = m_manager->getLocalOrderIdWithOrderNumber(order->number());
        EXPECT_TRUE(uploaded(stored));
        EXPECT_EQ(onServer(number), std::make_pair(1, std::vector<int>{40})) << "one order, the latest upload";

        // A device without the order fetches the newest history page: 40 comes back.
        ASSERT_TRUE(m_db->executeUpdate("delete from brivanta_quote_order"));
        ASSERT_TRUE(m_db->executeUpdate("delete from brivanta_quote_order_item"));
        m_listener->heard.clear();
        m_store->getLastTenOrderHistory();
        ASSERT_TRUE(heardSomething());
        ASSERT_EQ(m_listener->heard[0].status, Text("200"));
        stored = m_manager->getLocalOrderIdWithOrderNumber(order->number());
        ASSERT_GT(stored, 0);
        EXPECT_EQ(rowsText("select product_quantity from brivanta_quote_order_item where order_id = " +
                           std::to_string(stored)),
                  "40|");
    }
}

// alice's order whose upload answer was lost at logout, then bob of the same company signs
// in on the device: it is neither his to see nor his to send; alice sends it once, as hers.
TEST_F(QuoteOrderStoreTest, AnOrderWaitsForTheAccountThatMadeIt)
{
    // Every order the back end holds under that number: (account, times received).
    auto onServer = [&](const std::string& number) {
        std::vector<std::pair<std::string, int>> held;
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& order : state["orders"].asArray())
            if (order["order_number"] == base::Value(number))
                held.emplace_back(order["account"].asString(), static_cast<int>(order["received"].toInt()));
        return held;
    };
    auto listed = [&](int kind) {
        std::vector<std::string> numbers;
        for (const auto& order : m_store->fetchQuoteOrdersCondition(kind, std::nullopt))
            numbers.push_back(order->number().value_or(""));
        return numbers;
    };
    auto submitAll = [&] {
        m_listener->heard.clear();
        EXPECT_TRUE(m_store->startUploadQuoteOrder(0));
        EXPECT_TRUE(heardSomething());
        return m_listener->heard.empty() ? Text() : m_listener->heard[0].status;
    };
    auto signIn = [&](const char* account, int vendor) {
        auto login = LoginMode::sharedInstance();
        login->setAcountID(account);
        login->setVendorId(vendor);
    };
    auto order = storedOrder(2);
    const std::string number = *order->number();
    ASSERT_TRUE(backend().setFault("518", "delay", 1, R"("seconds": 0.5)"));
    ASSERT_TRUE(m_store->startUploadQuoteOrder(order->serial()));
    ASSERT_TRUE(runUntil([&] {
        auto state = JSONValue(backend().state()).value_or(base::Value());
        return state["faults"].asArray().size() == 1 && state["faults"].asArray()[0]["used"].toInt() == 1;
    }));
    // Logout: the requests dropped, the store forgotten; the server stores it all the same.
    NetworkModel::sharedInstance()->cancelAllRequests();
    m_store.reset();
    QuoteOrderStore::freeInstance();
    ASSERT_TRUE(runUntil([&] { return !onServer(number).empty(); }));
    settle();
    ASSERT_FALSE(uploaded(order->serial())) << "no answer reached the device";

    signIn("bob", 18);
    m_store = QuoteOrderStore::sharedQuoteOrderStore();
    m_store->setDelegate(m_listener);
    const auto bobs = storedOrder(1);
    struct Case {
        const char* what;
        int kind;
    } lists[] = {{"all orders", 0}, {"unsubmitted", 2}, {"submitted", 1}};
    for (const auto& list : lists) {
        auto numbers = listed(list.kind);
        EXPECT_EQ(std::count(numbers.begin(), numbers.end(), number), 0) << "bob's " << list.what;
    }
    EXPECT_EQ(listed(2), std::vector<std::string>{*bobs->number()});
    EXPECT_EQ(submitAll(), Text("200"));
    EXPECT_EQ(onServer(number), (std::vector<std::pair<std::string, int>>{{"alice", 1}})) << "bob sent it not";
    EXPECT_EQ(onServer(*bobs->number()), (std::vector<std::pair<std::string, int>>{{"bob", 1}}));
    EXPECT_FALSE(uploaded(order->serial()));

    signIn("alice", 17);
    EXPECT_EQ(listed(2), std::vector<std::string>{number});
    EXPECT_EQ(submitAll(), Text("200"));
    EXPECT_EQ(onServer(number), (std::vector<std::pair<std::string, int>>{{"alice", 2}})) << "once, under alice";
    int stored = m_manager->getLocalOrderIdWithOrderNumber(number);
    EXPECT_TRUE(uploaded(stored));
    EXPECT_GT(stored, 0) << "the server's id";
    auto state = JSONValue(backend().state()).value_or(base::Value());
    for (const auto& held : state["orders"].asArray()) {
        if (held["order_number"] == base::Value(number)) {
            EXPECT_EQ(held["lines"].toInt(), 2);
        }
    }
}

// Three folders full resyncs cut short left aside, their local ids colliding, the newest left
// by a build that wrote no origin file: at launch each is recovered, then one Submit sends it
// all. Every order and customer is on the device once and on the server once.
TEST_F(QuoteOrderStoreTest, LeftoverResyncFoldersAreRecoveredOnceEachAndSentOnce)
{
    const std::string documents = base::Paths::documents();
    const std::string client = documents + "/acmeco/brivanta_lite.sqlite";
    m_store.reset();
    QuoteOrderStore::freeInstance();
    m_db.reset();
    m_manager.reset();
    DataAccessManager::releaseDataModel();
    struct Folder {
        const char* name;
        bool originFile;
        int hoursAgo;
        const char* sql;
    } folders[] = {
        {".resync-older", true, 3,
         "insert into brivanta_customer(customer_id, customer_name) values (-1, 'Alpha Ltd');"
         "insert into brivanta_customer_address(id, customer_id, address, city) values (-1, -1, '1 Alpha Rd', 'A');"
         "insert into brivanta_customer_contact(contact_id, customer_id, first_name) values (-1, -1, 'Ann');"
         "insert into brivanta_quote_order(order_id, customer_id, customer_name, order_number, uploaded, cdate) values"
         " (-1, -1, 'Alpha Ltd', 'alice_251201100000', 0, '12/01/2025 10:00:00'),"
         " (-2, 9001, 'Globex', 'alice_251201100100', 0, '12/01/2025 10:01:00');"
         "insert into brivanta_quote_order_item(order_item_id, order_id, product_id, product_quantity) values"
         " (-1, -1, 101, 1), (-2, -1, 101, 2), (-3, -2, 101, 3);"},
        {".resync-newer", true, 2,
         "insert into brivanta_customer(customer_id, customer_name) values (-1, 'Beta Ltd');"
         "insert into brivanta_customer_address(id, customer_id, address, city) values (-1, -1, '2 Beta Rd', 'B');"
         "insert into brivanta_customer_contact(contact_id, customer_id, first_name) values (-1, -1, 'Ben');"
         "insert into brivanta_quote_order(order_id, customer_id, customer_name, order_number, uploaded, cdate) values"
         " (-1, -1, 'Beta Ltd', 'alice_251202100000', 0, '12/02/2025 10:00:00');"
         "insert into brivanta_quote_order_item(order_item_id, order_id, product_id, product_quantity) values"
         " (-1, -1, 101, 4), (-2, -1, 101, 5);"},
        // An older build: no origin file, and no account column. It is the newest, so its copy of
        // the Globex order, changed since the oldest folder's, is the one that stays.
        {".resync-nameless", false, 1,
         "insert into brivanta_login_user(useName, password, clientId, deviceId) values ('alice', 'x', 'AcmeCo', 'dev-1');"
         "insert into brivanta_customer(customer_id, customer_name) values (-1, 'Gamma Ltd');"
         "insert into brivanta_customer_address(id, customer_id, address, city) values (-1, -1, '3 Gamma Rd', 'C');"
         "insert into brivanta_quote_order(order_id, customer_id, customer_name, order_number, uploaded, cdate) values"
         " (-1, -1, 'Gamma Ltd', 'alice_251203100000', 0, '12/03/2025 10:00:00'),"
         " (-2, 9001, 'Globex', 'alice_251201100100', 0, '12/01/2025 10:01:00');"
         "insert into brivanta_quote_order_item(order_item_id, order_id, product_id, product_quantity) values"
         " (-1, -1, 101, 6), (-2, -2, 101, 7);"},
    };
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& folder : folders) {
        const std::string aside = documents + "/" + folder.name;
        ASSERT_TRUE(base::FileManager::createDirectories(aside));
        ASSERT_TRUE(base::FileManager::copyItem(client, aside + "/brivanta_lite.sqlite"));
        BRDatabase db(aside + "/brivanta_lite.sqlite");
        ASSERT_TRUE(db.open());
        if (!folder.originFile && db.columnExistsColumnName("brivanta_quote_order", "account_id")) {
            ASSERT_TRUE(db.executeUpdate("alter table brivanta_quote_order drop column account_id"));
        }
        std::string statements = folder.sql;
        for (size_t from = 0, end; (end = statements.find(';', from)) != std::string::npos; from = end + 1)
            ASSERT_TRUE(db.executeUpdate(statements.substr(from, end - from))) << statements.substr(from, end - from);
        db.close();
        if (folder.originFile) {
            ASSERT_TRUE(base::FileManager::writeAtomically(aside + "/.resync-origin", std::string_view("acmeco\n")));
        }
        std::filesystem::last_write_time(aside, now - std::chrono::hours(folder.hoursAgo));
    }
    // The resync that left the newest folder never made a database.
    ASSERT_TRUE(base::FileManager::removeRecursively(documents + "/acmeco", documents));

    EXPECT_EQ(UnsentWork::recoverAsideFolders(), 3);
    EXPECT_EQ(UnsentWork::recoverAsideFolders(), 0);
    for (const auto& folder : folders)
        EXPECT_FALSE(base::FileManager::exists(documents + "/" + folder.name)) << folder.name;

    m_manager = DataAccessManager::sharedDataModel();
    ASSERT_TRUE(m_manager->hasModels());
    m_db = BRDatabase::sharedDataBase();
    // Each order once, with its lines and the customer it was made for, and each customer
    // once with its own address and contact.
    const std::string expected = "alice_251201100000|Alpha Ltd|1,2|Alpha Ltd|1 Alpha Rd|Ann|\n"
                                 "alice_251201100100|Globex|7|NULL|NULL|NULL|\n"
                                 "alice_251202100000|Beta Ltd|4,5|Beta Ltd|2 Beta Rd|Ben|\n"
                                 "alice_251203100000|Gamma Ltd|6|Gamma Ltd|3 Gamma Rd|NULL|\n";
    auto device = [&] {
        std::string text;
        auto rs = m_db->executeQuery(
            "select o.order_number, o.customer_name, (select group_concat(product_quantity) from (select "
            "product_quantity from brivanta_quote_order_item i where i.order_id = o.order_id order by 1)), "
            "c.customer_name, (select group_concat(address) from brivanta_customer_address a where a.customer_id = "
            "c.customer_id), (select group_concat(first_name) from brivanta_customer_contact t where t.customer_id = "
            "c.customer_id) from brivanta_quote_order o left join brivanta_customer c on c.customer_id = "
            "o.customer_id and c.customer_id < 0 where o.account_id = 'alice' order by o.order_number");
        while (rs && rs->next()) {
            for (int i = 0; i < rs->columnCount(); ++i)
                text += rs->stringForColumnIndex(i).value_or("NULL") + "|";
            text += "\n";
        }
        return text;
    };
    EXPECT_EQ(device(), expected);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 4);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order_item"), 6);
    EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id < 0"), 3);
    EXPECT_EQ(count("select count(*) from brivanta_customer_address where customer_id < 0"), 3);
    EXPECT_EQ(count("select count(*) from brivanta_customer_contact where customer_id < 0"), 2);

    // One Submit: the customers first, then the orders.
    CustomerDataModel::installOrderUploadHook();
    m_store = QuoteOrderStore::sharedQuoteOrderStore();
    m_store->setDelegate(m_listener);
    ASSERT_TRUE(m_store->startUploadQuoteOrder(0));
    ASSERT_TRUE(heardSomething());
    EXPECT_EQ(m_listener->heard[0].status, Text("200"));
    base::Value state = JSONValue(backend().state()).value_or(base::Value());
    std::map<std::string, int> customers, orders;
    for (const auto& customer : state["serverCustomers"].asArray())
        ++customers[customer["customerName"].asString()];
    for (const auto& order : state["orders"].asArray())
        if (order["source"].asString() == "upload")
            ++orders[order["order_number"].asString() + " " + order["account"].asString() + " " +
                     std::to_string(order["lines"].toInt())];
    EXPECT_EQ(customers, (std::map<std::string, int>{{"Alpha Ltd", 1}, {"Beta Ltd", 1}, {"Gamma Ltd", 1},
                                                     {"Globex", 1}}));
    EXPECT_EQ(orders, (std::map<std::string, int>{{"alice_251201100000 alice 2", 1},
                                                  {"alice_251201100100 alice 1", 1},
                                                  {"alice_251202100000 alice 2", 1},
                                                  {"alice_251203100000 alice 1", 1}}));
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded = 0"), 0);
    for (const auto& order : state["orders"].asArray()) {
        if (order["order_number"].asString() == "alice_251201100100") {
            ASSERT_EQ(order["quantities"].asArray().size(), 1u);
            EXPECT_EQ(order["quantities"].asArray()[0].toInt(), 7) << "the newest folder's copy";
        }
    }
}

TEST_F(QuoteOrderStoreTest, SubmitOfflineLogsInFirstAndSendsOnlyThatOrder)
{
    storedOrder(1);
    auto wanted = storedOrder(2);
    ASSERT_EQ(wanted->serial(), -2);
    auto login = LoginMode::sharedInstance();
    login->setLoginType(2);
    // The server finds the client ignoring case and names it in its own.
    login->setClientID("acmeco");
    ASSERT_TRUE(m_store->startUploadQuoteOrder(-2));
    EXPECT_FALSE(m_store->startUploadQuoteOrder(-1)); // its login is on the way
    EXPECT_EQ(m_store->needWork(), 2);
    ASSERT_TRUE(heardSomething());
    EXPECT_EQ(m_listener->heard[0].status, Text("200"));
    auto requests = logged();
    std::vector<std::string> commands;
    for (const auto& r : requests)
        if (r["command"].toString() != "__control" && r["command"].toString() != "__log")
            commands.push_back(r["command"].toString());
    EXPECT_EQ(commands, (std::vector<std::string>{"258", "518"}));
    auto sent = logged("518");
    ASSERT_EQ(sent.size(), 1u);
    std::string document = JSONFragment(sent[0]["syncData"]).value_or("");
    EXPECT_NE(document.find(*wanted->number()), std::string::npos);
    EXPECT_EQ(document.find("\"order_number\"", document.find("\"order_number\"") + 1), std::string::npos)
        << "one order only: " << document;
    EXPECT_EQ(login->loginType(), 1);
    EXPECT_EQ(login->clientID(), "AcmeCo");
    EXPECT_TRUE(uploaded(m_manager->getLocalOrderIdWithOrderNumber(wanted->number())));

    // The server unreachable: still offline, the screen hears why.
    m_listener->heard.clear();
    login->setLoginType(2);
    defaults()->setInteger(1, "Port");
    defaults()->synchronize();
    ASSERT_TRUE(m_store->startUploadQuoteOrder(0));
    ASSERT_TRUE(heardSomething());
    EXPECT_EQ(m_listener->heard[0].kind, "upload");
    EXPECT_EQ(m_listener->heard[0].status, Text("999"));
    EXPECT_EQ(login->loginType(), 2);
    EXPECT_FALSE(m_store->submitting());
}

TEST_F(QuoteOrderStoreTest, LoginTypesWithoutAServerAnswerAtOnce)
{
    storedOrder(1);
    for (int type : {3, -1}) {
        SCOPED_TRACE(type);
        LoginMode::sharedInstance()->setLoginType(type);
        m_listener->heard.clear();
        EXPECT_FALSE(m_store->startUploadQuoteOrder(0));
        m_store->getLastTenOrderHistory();
        ASSERT_EQ(m_listener->heard.size(), 2u);
        EXPECT_EQ(m_listener->heard[0].kind, "upload");
        EXPECT_EQ(m_listener->heard[1].kind, "history");
        for (const auto& h : m_listener->heard) {
            EXPECT_EQ(h.status, Text("999"));
            EXPECT_EQ(h.message, Text(Language::stringWithName("999")));
        }
        EXPECT_FALSE(m_store->submitting());
        EXPECT_FALSE(m_store->syncing());
    }
    settle();
    EXPECT_TRUE(logged("518").empty());
    EXPECT_TRUE(logged("265-history").empty());
}

TEST_F(QuoteOrderStoreTest, HistoryStopRuleCountsOrdersAndTheirSpan)
{
    struct Case {
        const char* name;
        int orders;
        const char* earliest;
        double span;
        bool sent;
    } cases[] = {
        {"59 over 200 days", 59, "12/20/2025 09:00:00", 200 * 86400.0, true},
        {"60 over 200 days", 60, "12/20/2025 09:00:00", 200 * 86400.0, false},
        {"60 over exactly 180 days", 60, "12/20/2025 09:00:00", 15552000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_db->executeUpdate("delete from brivanta_quote_order"));
        auto earliest = localTime(c.earliest);
        // The latest first, so that stored order does not follow the dates; one transaction.
        ASSERT_TRUE(m_db->executeUpdate("BEGIN"));
        for (int i = c.orders - 1; i >= 0; --i) {
            double at = i == c.orders - 1 ? c.span : c.span * i / c.orders;
            std::string cdate = base::DateFormatter("MM/dd/yyyy HH:mm:ss").stringFromDate(earliest.addingTimeInterval(at));
            ASSERT_TRUE(m_db->executeUpdate(
                "insert into brivanta_quote_order (order_id, order_number, uploaded, cdate) values (?, ?, 1, ?)",
                -1 - i, "alice_" + std::to_string(100 + i), cdate));
        }
        ASSERT_TRUE(m_db->executeUpdate("COMMIT"));
        m_listener->heard.clear();
        size_t before = logged("265-history").size();
        m_store->getLastTenOrderHistory();
        if (!c.sent) {
            ASSERT_EQ(m_listener->heard.size(), 1u);
            EXPECT_EQ(m_listener->heard[0].status, std::nullopt);
            EXPECT_EQ(m_listener->heard[0].message, std::nullopt);
            EXPECT_FALSE(m_store->syncing());
            continue;
        }
        EXPECT_TRUE(m_store->syncing());
        ASSERT_TRUE(heardSomething());
        auto sent = logged("265-history");
        ASSERT_EQ(sent.size(), before + 1);
        const auto& parameters = sent.back()["parameters"];
        EXPECT_EQ(parameters["numberOfOrder"].toString(), "10");
        EXPECT_EQ(parameters["baseTime"].toString(), "2025-12-20 09:00:00");
    }
}

TEST_F(QuoteOrderStoreTest, HistoryPagesUntilTheEndAndStoresOrdersAsUploaded)
{
    std::vector<size_t> pages;
    for (int i = 0; i < 4; ++i) {
        size_t before = static_cast<size_t>(count("select count(*) from brivanta_quote_order"));
        m_listener->heard.clear();
        m_store->getLastTenOrderHistory();
        ASSERT_TRUE(heardSomething());
        ASSERT_EQ(m_listener->heard[0].status, Text("200"));
        if (m_listener->heard[0].message == Text("reachEnd"))
            break;
        pages.push_back(static_cast<size_t>(count("select count(*) from brivanta_quote_order")) - before);
    }
    EXPECT_EQ(pages, (std::vector<size_t>{10, 2}));
    EXPECT_EQ(logged("265-history").size(), 3u);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded <> 1"), 0);
    EXPECT_GT(count("select count(*) from brivanta_quote_order_item"), 0);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order_item where order_item_id >= 0"), 0);

    // Offline: the login goes first, then the page.
    ASSERT_TRUE(m_db->executeUpdate("delete from brivanta_quote_order"));
    size_t start = logged().size();
    LoginMode::sharedInstance()->setLoginType(2);
    m_listener->heard.clear();
    m_store->getLastTenOrderHistory();
    EXPECT_EQ(m_store->needWork(), 1);
    ASSERT_TRUE(heardSomething());
    std::vector<std::string> commands;
    auto all = logged();
    for (size_t i = start; i < all.size(); ++i)
        if (all[i]["command"].toString() != "__control" && all[i]["command"].toString() != "__log")
            commands.push_back(all[i]["command"].toString());
    EXPECT_EQ(commands, (std::vector<std::string>{"258", "265-history"}));
    EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 10);
}

TEST_F(QuoteOrderStoreTest, HistoryEntriesThatAreNotOrdersStoreNothing)
{
    std::string body = R"({"content":{"orders":[5, "x", [1]],"items":[7]},"results":[{"status":"200","detail":"","message":""}]})";
    auto escaped = JSONFragment(base::Value(body));
    ASSERT_TRUE(escaped);
    ASSERT_TRUE(backend().setFault("265-history", "raw", 1, R"("body": )" + *escaped));
    m_store->getLastTenOrderHistory();
    m_store->getLastTenOrderHistory(); // one page at a time
    ASSERT_TRUE(heardSomething());
    settle();
    EXPECT_EQ(m_listener->heard.size(), 1u);
    EXPECT_EQ(logged("265-history").size(), 1u);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 0);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order_item"), 0);
}

TEST_F(QuoteOrderStoreTest, LockedStatusGoesToTheApplicationAlone)
{
    ui::Application::shared().resetForTesting();
    auto app = std::make_shared<BrivantaAppDelegate>();
    ASSERT_TRUE(ui::Application::shared().launch(app));
    // The launch resets the server settings of a new version.
    backend().writeServerSettings();
    m_store = QuoteOrderStore::sharedQuoteOrderStore();
    m_store->setDelegate(m_listener);
    auto order = storedOrder(1);
    ASSERT_TRUE(backend().setFault("518", "status", 1, R"("status": "207")"));
    ASSERT_TRUE(m_store->startUploadQuoteOrder(0));
    ASSERT_TRUE(runUntil([&] { return app->deviceStatus() == "207"; }));
    settle();
    EXPECT_TRUE(m_listener->heard.empty());
    EXPECT_FALSE(uploaded(order->serial()));
    ui::Application::shared().resetForTesting();
}

TEST_F(QuoteOrderStoreTest, LateRepliesFindNobodyOnceTheListenerOrTheStoreIsGone)
{
    storedOrder(1);
    for (bool dropStore : {false, true}) {
        SCOPED_TRACE(dropStore);
        ASSERT_TRUE(backend().setFault("518", "delay", 1, R"("seconds": 0.1)"));
        auto listener = std::make_shared<Listener>();
        m_store->setDelegate(listener);
        ASSERT_TRUE(m_store->startUploadQuoteOrder(0));
        std::weak_ptr<QuoteOrderStore> weakStore = m_store;
        if (dropStore) {
            m_store.reset();
            QuoteOrderStore::freeInstance();
            EXPECT_TRUE(weakStore.expired());
        }
        std::weak_ptr<Listener> weakListener = listener;
        listener.reset();
        ASSERT_TRUE(runUntil([&] { return NetworkModel::sharedInstance()->pendingRequestCount() == 0; }));
        EXPECT_TRUE(weakListener.expired());
        if (!dropStore) {
            EXPECT_FALSE(m_store->submitting());
        }
    }
    m_store = QuoteOrderStore::sharedQuoteOrderStore();
}

TEST_F(QuoteOrderStoreTest, CustomerIdsMoveInStoredAndOpenOrders)
{
    auto stored = storedOrder(1, -1);
    auto kept = storedOrder(1, 4);
    m_store->createNewQuoteOrder()->setCustomerId(-1);
    auto open = std::make_shared<QuoteOrderEntity>();
    open->setCustomerId(-1);
    m_store->setCurQuoteOrder(open);
    brivanta_customer_Entity customer;
    customer.pid = -1;
    customer.customer_id = 5001;
    m_store->updateOrderTable({customer});
    EXPECT_EQ(m_store->addQuoteOrder()->customerId(), 5001);
    EXPECT_EQ(m_store->curQuoteOrder()->customerId(), 5001);
    EXPECT_EQ(count("select customer_id from brivanta_quote_order where order_id = " + std::to_string(stored->serial())),
              5001);
    EXPECT_EQ(count("select customer_id from brivanta_quote_order where order_id = " + std::to_string(kept->serial())),
              4);
    EXPECT_EQ(m_listener->customerMoves, (std::vector<std::pair<int, int>>{{-1, 5001}}));
}

TEST_F(QuoteOrderStoreTest, PreUploadHookRunsFirstAndCanStopTheUpload)
{
    storedOrder(1);
    std::vector<int> asked;
    QuoteOrderStore::setPreUploadHook([&](int orderId, std::function<void(QuoteOrderStore::PreUploadOutcome)> resume) {
        asked.push_back(orderId);
        resume({false, "101", "refused"});
    });
    ASSERT_TRUE(m_store->startUploadQuoteOrder(0));
    EXPECT_EQ(asked, (std::vector<int>{0}));
    ASSERT_EQ(m_listener->heard.size(), 1u);
    EXPECT_EQ(m_listener->heard[0].status, Text("101"));
    EXPECT_FALSE(m_store->submitting());
    settle();
    EXPECT_TRUE(logged("518").empty());
}

} // namespace

TEST_F(QuoteOrderStoreTest, LinesKeepTheOrderTheyWereAddedInEveryReading)
{
    auto names = [](const QuoteOrderStore::Order& order) {
        std::vector<std::string> shown;
        for (const auto& line : order->items())
            shown.push_back(line->name().value_or(""));
        return shown;
    };
    auto reloaded = [&](const Text& number) -> QuoteOrderStore::Order {
        for (auto& order : m_store->fetchQuoteOrdersCondition(0, std::nullopt))
            if (order->number() == number)
                return order;
        return nullptr;
    };
    // Where each name first stands in a text, in the order the names are given.
    auto positions = [](const std::string& text, const std::vector<std::string>& wanted) {
        std::vector<size_t> at;
        for (const auto& name : wanted)
            at.push_back(text.find(name));
        return at;
    };
    const std::vector<std::string> added = {"Product 10", "Product 20", "Product 30", "Product 40"};
    const std::vector<std::string> skus = {"SKU-10", "SKU-20", "SKU-30", "SKU-40"};

    for (int id : {10, 20, 30})
        ASSERT_TRUE(m_store->addToOrder(product(id, 1)));
    auto first = m_store->curQuoteOrder();
    first->setCustomerName("Acme Buyer");
    first->setCustomerId(3);
    ASSERT_TRUE(m_store->saveCurrentQuoteOrder());
    auto order = reloaded(first->number());
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(names(order), (std::vector<std::string>(added.begin(), added.begin() + 3)));

    // Opened again as the editor opens it, one more line, saved and read back.
    m_store->setCurQuoteOrder(order);
    ASSERT_TRUE(m_store->addToOrder(product(40, 1)));
    ASSERT_TRUE(m_store->saveCurrentQuoteOrder());
    order = reloaded(first->number());
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(names(order), added);
    std::vector<std::string> single;
    for (const auto& line : m_manager->fetchQuoteOrderItemsWithQuoteOrder(order->serial()))
        single.push_back(line->name().value_or(""));
    EXPECT_EQ(single, added);

    // The order form, read back from its PDF.
    gfx::test::TempDir dir;
    std::string path = dir.file("form.pdf");
    OrderPDFCreater form(order, {1024, 1448}, nullptr);
    auto preview = ui::View::make<ui::ScrollView>(gfx::Rect(0, 0, 1024, 724));
    form.generatePdfInScrollView(preview.get());
    base::Bytes pdf = form.generatePDFToData();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(pdf.data()),
                                                static_cast<std::streamsize>(pdf.size()));
    auto onForm = positions(gfx::test::commandOutput("pdftotext -layout '" + path + "' - 2>&1"), added);
    EXPECT_EQ(std::count(onForm.begin(), onForm.end(), std::string::npos), 0);
    EXPECT_TRUE(std::is_sorted(onForm.begin(), onForm.end()));

    // The upload document the back end receives.
    ASSERT_TRUE(m_store->startUploadQuoteOrder(order->serial()));
    ASSERT_TRUE(heardSomething());
    auto sent = logged("518");
    ASSERT_EQ(sent.size(), 1u);
    auto inDocument = positions(JSONFragment(sent[0]["syncData"]).value_or(""), skus);
    EXPECT_EQ(std::count(inDocument.begin(), inDocument.end(), std::string::npos), 0);
    EXPECT_TRUE(std::is_sorted(inDocument.begin(), inDocument.end()));
}

