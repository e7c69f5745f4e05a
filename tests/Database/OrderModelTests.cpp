#include "OrderTestSupport.h"

#include "Database/brivanta_customer_Entity.h"
#include "Protocol/LoginMode.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

using ordertest::OrderTest;

class OrderModelTest : public OrderTest {};

TEST_F(OrderModelTest, NewOrdersAndLinesTakeNegativeIdsAndReadBackNewestFirst)
{
    auto first = order("Acme", 2);
    first->setDiscountRat(10);
    first->items()[0]->setAttributes("Color:Red");
    EXPECT_EQ(m_model->saveQuoteOrder(first), -1);
    EXPECT_EQ(first->serial(), -1);
    EXPECT_EQ(lineIds(-1), (std::vector<int>{-2, -1}));
    EXPECT_EQ(first->items()[0]->serial(), -1);
    EXPECT_EQ(first->items()[1]->serial(), -2);
    EXPECT_EQ(first->items()[1]->orderID(), -1);

    base::Date::advanceFixedNow(60);
    auto second = order("Beta", 1);
    EXPECT_EQ(m_model->saveQuoteOrder(second), -2);
    EXPECT_EQ(lineIds(-2), std::vector<int>{-3});

    // Money goes in as the getters give it, the rate as the absolute one, nil texts as "".
    EXPECT_EQ(m_db->doubleForQuery("select order_subtotal from brivanta_quote_order where order_id = -1"), 30);
    EXPECT_DOUBLE_EQ(m_db->doubleForQuery("select order_discount from brivanta_quote_order where order_id = -1"),
                     24.3);
    EXPECT_EQ(m_db->doubleForQuery("select discount_rat from brivanta_quote_order where order_id = -1"), 90);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where coupon_code = '' and signature = '' "
                    "and customer_note = '' and address = ''"),
              2);

    auto orders = m_model->fetchQuoteOrdersCondition(0, std::nullopt);
    ASSERT_EQ(orders.size(), 2u);
    EXPECT_EQ(orders[0]->serial(), -2);
    EXPECT_EQ(orders[1]->serial(), -1);
    const auto& read = orders[1];
    EXPECT_FALSE(read->unsaved());
    EXPECT_EQ(read->subtotal(), 30);
    EXPECT_DOUBLE_EQ(read->discountRat(), 10);
    EXPECT_DOUBLE_EQ(read->discount(), 24.3);
    ASSERT_EQ(read->items().size(), 2u);
    std::map<int, std::shared_ptr<QuoteOrderItemEntity>> bySerial;
    for (const auto& item : read->items())
        bySerial[item->serial()] = item;
    ASSERT_TRUE(bySerial[-1] && bySerial[-2]);
    // Products come from the catalogue, a withdrawn one included, carrying the line's choice.
    ASSERT_TRUE(bySerial[-1]->product());
    EXPECT_EQ(bySerial[-1]->product()->product_name, "Chair");
    EXPECT_EQ(bySerial[-1]->product()->attributes, "Color:Red");
    ASSERT_TRUE(bySerial[-2]->product());
    EXPECT_EQ(bySerial[-2]->product()->product_id, 8);
    EXPECT_EQ(bySerial[-2]->product()->product_name, "Desk");
    EXPECT_EQ(bySerial[-2]->orderID(), -1);
    EXPECT_EQ(orders[0]->items().size(), 1u);
    EXPECT_TRUE(m_model->fetchQuoteOrderItemsWithQuoteOrder(0).empty());
    EXPECT_EQ(m_model->saveQuoteOrder(nullptr), 0);
}

TEST_F(OrderModelTest, LinesAddedToSavedOrdersNeverOverwriteAnotherOrdersLine)
{
    ASSERT_EQ(m_model->saveQuoteOrder(order("Acme", 2)), -1);
    ASSERT_EQ(m_model->saveQuoteOrder(order("Beta", 1)), -2);
    auto orders = m_model->fetchQuoteOrdersCondition(0, std::nullopt);
    ASSERT_EQ(orders.size(), 2u);

    std::vector<std::shared_ptr<QuoteOrderItemEntity>> added;
    for (const auto& stored : orders) {
        auto extra = line(7, 5, 5, 1);
        extra->setSerial(stored->newItemIndex()); // 1 in both orders
        extra->setOrderID(stored->serial());
        EXPECT_EQ(extra->serial(), 1);
        stored->items().push_back(extra);
        added.push_back(extra);
        ASSERT_TRUE(m_model->removeQuoteOrderItemsByQuoteOrderID(stored->serial()));
        EXPECT_EQ(m_model->saveQuoteOrder(stored), stored->serial());
    }
    EXPECT_EQ(lineIds(-1).size(), 3u);
    EXPECT_EQ(lineIds(-2).size(), 2u);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order_item where order_item_id >= 0"), 0);
    EXPECT_EQ(count("select count(distinct order_item_id) from brivanta_quote_order_item"), 5);
    for (const auto& extra : added) {
        EXPECT_LT(extra->serial(), 0);
        EXPECT_EQ(count("select count(*) from brivanta_quote_order_item where order_item_id = " +
                        std::to_string(extra->serial()) + " and order_id = " + std::to_string(extra->orderID())),
                  1);
    }

    // A line carried over from another order under its id gets one of its own.
    auto thief = order("Gamma", 0);
    auto borrowed = line(8, 1, 1, 1);
    borrowed->setSerial(-3);
    thief->items().push_back(borrowed);
    ASSERT_EQ(m_model->saveQuoteOrder(thief), -3);
    EXPECT_EQ(lineIds(-2).size(), 2u);
    EXPECT_NE(borrowed->serial(), -3);
    EXPECT_EQ(borrowed->orderID(), -3);
}

TEST_F(OrderModelTest, NewOrdersMadeInOneSecondTakeTheNextFreeSecond)
{
    struct Case {
        std::optional<std::string> number;
        std::optional<std::string> stored;
    } cases[] = {
        {"bob_130507143000", "bob_130507143000"},
        {"bob_130507143000", "bob_130507143001"},
        {"bob_130507143001", "bob_130507143002"},
        {"bob_130507143059", "bob_130507143059"},
        {"bob_130507143059", "bob_130507143100"}, // across the minute
        {"H-7", "H-7"},
        {"H-7", "H-7"}, // not a number of the device's own shape: left as it is
        {std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        auto o = order("Acme", 1);
        o->setNumber(c.number);
        ASSERT_NE(m_model->saveQuoteOrder(o), 0);
        EXPECT_EQ(o->number(), c.stored);
        EXPECT_EQ(m_db->stringForQuery("select order_number from brivanta_quote_order where order_id = ?", o->serial()),
                  c.stored.value_or("")); // nil goes in as ""
    }
    // Saving a stored order again keeps its number.
    auto again = m_model->fetchQuoteOrdersCondition(0, std::nullopt);
    auto first = std::find_if(again.begin(), again.end(), [](const auto& o) { return o->serial() == -1; });
    ASSERT_NE(first, again.end());
    ASSERT_NE(m_model->saveQuoteOrder(*first), 0);
    EXPECT_EQ((*first)->number(), std::optional<std::string>("bob_130507143000"));
}

TEST_F(OrderModelTest, FailedSavesAndDeletesChangeNothing)
{
    auto stored = order("Acme", 2);
    ASSERT_EQ(m_model->saveQuoteOrder(stored), -1);
    std::string rowBefore = orderRow(-1);
    std::string linesBefore = linesText(-1);
    ASSERT_TRUE(m_db->executeUpdate("CREATE TRIGGER refuse_line BEFORE INSERT ON brivanta_quote_order_item "
                                    "WHEN NEW.order_item_sku = 'REFUSED' BEGIN SELECT RAISE(ABORT, 'no'); END"));

    stored->setCustomerName("Changed");
    stored->items()[1]->setSku("REFUSED");
    stored->items().push_back(line(7, 1, 1, 1));
    EXPECT_EQ(m_model->saveQuoteOrder(stored), 0);
    EXPECT_EQ(orderRow(-1), rowBefore);
    EXPECT_EQ(linesText(-1), linesBefore);
    EXPECT_EQ(stored->items()[2]->serial(), 0); // the id it was offered is given back

    // A brand-new order that fails leaves no row and keeps serial 0 and its number (made in
    // the stored order's second, the save had moved it on).
    auto fresh = order("Beta", 1);
    auto freshNumber = fresh->number();
    fresh->items()[0]->setSku("REFUSED");
    EXPECT_EQ(m_model->saveQuoteOrder(fresh), 0);
    EXPECT_EQ(fresh->serial(), 0);
    EXPECT_EQ(fresh->number(), freshNumber);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 1);

    ASSERT_TRUE(m_db->executeUpdate("CREATE TRIGGER refuse_delete BEFORE DELETE ON brivanta_quote_order_item "
                                    "BEGIN SELECT RAISE(ABORT, 'no'); END"));
    EXPECT_FALSE(m_model->removeQuoteOrder(-1));
    EXPECT_EQ(orderRow(-1), rowBefore);
    ASSERT_TRUE(m_db->executeUpdate("DROP TRIGGER refuse_delete"));
    EXPECT_TRUE(m_model->removeQuoteOrder(-1));
    EXPECT_EQ(count("select count(*) from brivanta_quote_order_item"), 0);
}

TEST_F(OrderModelTest, CustomerIdsMoveTogetherOrNotAtAll)
{
    for (int customer : {-1, -1, -2}) {
        auto o = order("Local", 0);
        o->setCustomerId(customer);
        ASSERT_NE(m_model->saveQuoteOrder(o), 0);
    }
    brivanta_customer_Entity uploaded;
    uploaded.pid = -1;
    uploaded.customer_id = 42;
    EXPECT_TRUE(m_model->updateOrderTable(std::vector{uploaded}));
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where customer_id = 42"), 2);

    ASSERT_TRUE(m_db->executeUpdate("CREATE TRIGGER refuse BEFORE UPDATE OF customer_id ON brivanta_quote_order "
                                    "WHEN NEW.customer_id = 99 BEGIN SELECT RAISE(ABORT, 'no'); END"));
    brivanta_customer_Entity other = uploaded;
    other.pid = -2;
    other.customer_id = 50;
    uploaded.pid = 42;
    uploaded.customer_id = 99;
    EXPECT_FALSE(m_model->updateOrderTable(std::vector{other, uploaded}));
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where customer_id = -2"), 1);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where customer_id = 42"), 2);
    EXPECT_FALSE(m_model->updateOrderTable(std::nullopt));
}

TEST_F(OrderModelTest, StatisticsCountTheAccountsOrdersByDate)
{
    auto submitted = [&](const std::string& number, const std::string& cdate, bool uploaded) {
        auto o = order("Acme", 0);
        o->setNumber(number);
        o->setCdate(cdate);
        o->setUploaded(uploaded);
        ASSERT_NE(m_model->saveQuoteOrder(o), 0);
    };
    EXPECT_EQ(m_model->timeDurationOfAllSubmittedOrder(), 0);
    EXPECT_FALSE(m_model->retriveEarliestSubmittedOrderTime());
    EXPECT_EQ(m_model->numberOfAllSubmittedlOrder(), 0);

    submitted("bob_121201100000", "12/01/2012 10:00:00", true);
    submitted("bob_130105100000", "01/05/2013 10:00:00", true);
    submitted("bob2_121101100000", "11/01/2012 10:00:00", true);
    submitted("Bob_130301100000", "03/01/2013 10:00:00", true);
    submitted("bob_130401100000", "04/01/2013 10:00:00", false);
    for (const char* zone : {"Asia/Shanghai", "America/New_York"}) {
        basetest::ScopedEnv tz("TZ", zone);
        EXPECT_EQ(m_model->numberOfAllSubmittedlOrder(), 2) << zone;
        EXPECT_EQ(m_model->retriveEarliestSubmittedOrderTime(), "12/01/2012 10:00:00") << zone;
        EXPECT_EQ(m_model->retriveLatestSubmittedOrderTime(), "01/05/2013 10:00:00") << zone;
        EXPECT_EQ(m_model->timeDurationOfAllSubmittedOrder(), 3024000) << zone;
    }
    auto newest = m_model->fetchQuoteOrdersCondition(1, std::nullopt);
    ASSERT_EQ(newest.size(), 4u);
    EXPECT_EQ(newest[0]->number(), "Bob_130301100000");
    EXPECT_EQ(newest[3]->number(), "bob2_121101100000");
}

TEST_F(OrderModelTest, SearchKindAndSignatureTakeTextLiterally)
{
    for (const char* name : {"O'Neil Ltd", "100% Cotton", "Plain Co"}) {
        auto o = order(name, 0);
        o->setUploaded(std::string(name) == "Plain Co");
        ASSERT_NE(m_model->saveQuoteOrder(o), 0);
    }
    auto names = [&](int kind, std::optional<std::string> search) {
        std::set<std::string> found;
        for (const auto& o : m_model->fetchQuoteOrdersCondition(kind, search))
            found.insert(o->customerName().value_or("?"));
        return found;
    };
    EXPECT_EQ(names(0, "o'neil"), std::set<std::string>{"O'Neil Ltd"});
    EXPECT_EQ(names(0, "%"), std::set<std::string>{"100% Cotton"});
    EXPECT_EQ(names(0, "BOB_13"), (std::set<std::string>{"O'Neil Ltd", "100% Cotton", "Plain Co"}));
    EXPECT_EQ(names(1, std::nullopt), std::set<std::string>{"Plain Co"});
    EXPECT_EQ(names(2, " \t"), (std::set<std::string>{"O'Neil Ltd", "100% Cotton"}));
    EXPECT_EQ(names(2, "plain"), std::set<std::string>{});

    std::string signature;
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < 40 * 1024; ++i)
        signature += alphabet[(i * 7 + i / 64) % alphabet.size()];
    signature += "'==";
    EXPECT_TRUE(m_model->updateOrderSignatureWithOrderId(signature, -2));
    auto read = m_model->fetchQuoteOrdersCondition(0, "cotton");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0]->signature(), signature);
}

// The list reads every listed order's lines at once: each order must get exactly its own
// lines, in the order its own reader gives them, whatever the kind and the search.
TEST_F(OrderModelTest, ListedOrdersCarryExactlyTheirOwnLines)
{
    const std::pair<const char*, int> stored[] = {{"O'Neil Ltd", 3}, {"Acme", 0}, {"O'Neil Sons", 1}, {"Beta", 2}};
    for (const auto& [name, lines] : stored) {
        auto o = order(name, lines);
        o->setUploaded(std::string(name) == "Beta");
        ASSERT_NE(m_model->saveQuoteOrder(o), 0);
    }
    // A server order whose lines arrived out of id order, and a line of no listed order.
    ASSERT_TRUE(m_db->executeUpdate("insert into brivanta_quote_order (order_id, customer_name, uploaded) "
                                    "values (70, 'O''Neil Server', 1)"));
    for (int id : {95, 91, 93})
        ASSERT_TRUE(m_db->executeUpdate("insert into brivanta_quote_order_item (order_item_id, order_id, product_id, "
                                        "product_quantity) values (?, 70, 8, ?)", id, id));
    ASSERT_TRUE(m_db->executeUpdate("insert into brivanta_quote_order_item (order_item_id, order_id, product_id) "
                                    "values (99, 71, 7)"));
    struct Case {
        int kind;
        std::optional<std::string> search;
        size_t orders;
        size_t lines;
    } cases[] = {
        {0, std::nullopt, 5, 9}, {1, std::nullopt, 2, 5}, {2, std::nullopt, 3, 4},
        {0, "o'neil", 3, 7},     {2, "o'neil", 2, 4},     {1, "zzz", 0, 0},
    };
    for (const auto& c : cases) {
        auto orders = m_model->fetchQuoteOrdersCondition(c.kind, c.search);
        EXPECT_EQ(orders.size(), c.orders) << c.kind << " " << c.search.value_or("-");
        size_t lines = 0;
        for (const auto& o : orders) {
            auto own = m_model->fetchQuoteOrderItemsWithQuoteOrder(o->serial());
            ASSERT_EQ(o->items().size(), own.size()) << o->customerName().value_or("");
            for (size_t i = 0; i < own.size(); ++i) {
                EXPECT_EQ(o->items()[i]->serial(), own[i]->serial());
                EXPECT_EQ(o->items()[i]->orderID(), o->serial());
                ASSERT_TRUE(o->items()[i]->product());
                EXPECT_EQ(o->items()[i]->product()->product_id, own[i]->product()->product_id);
            }
            lines += own.size();
        }
        EXPECT_EQ(lines, c.lines) << c.kind << " " << c.search.value_or("-");
    }
    auto server = m_model->fetchQuoteOrdersCondition(1, "server");
    ASSERT_EQ(server.size(), 1u);
    std::vector<int> serials;
    for (const auto& item : server[0]->items())
        serials.push_back(item->serial());
    EXPECT_EQ(serials, (std::vector<int>{91, 93, 95}));
}

// The template as shipped, holding orders written by an older version.
TEST_F(OrderModelTest, UpgradeKeepsSnapshotsAndRatesAndTurnsServerIdsLocal)
{
    ASSERT_TRUE(m_db->executeUpdate(
        "insert into brivanta_quote_order (order_id, customer_id, customer_name, address, order_number, uploaded) "
        "values (-5, 77, 'Walk-in Ltd', '1 High St', 'bob_1', 0), (1001, 0, 'Acme', NULL, 'bob_2', 1)"));
    ASSERT_TRUE(m_db->executeUpdate(
        "insert into brivanta_quote_order_item (order_item_id, order_id, discount_rat) "
        "values (-9, -5, 80), (501, 1001, 70), (502, 1001, 60)"));
    m_manager->updateVersion();
    m_manager->updateVersion();
    EXPECT_EQ(m_db->stringForQuery("select customer_name || '|' || address from brivanta_quote_order "
                                   "where order_id = -5"),
              "Walk-in Ltd|1 High St");
    EXPECT_EQ(m_db->doubleForQuery("select discount_rat from brivanta_quote_order_item where order_item_id = -9"), 80);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where order_id > 0"), 0);
    EXPECT_EQ(lineIds(-1001), (std::vector<int>{-502, -501}));
    EXPECT_EQ(count("select count(*) from sqlite_master where name = 'idx_item_order'"), 1);
}

// The conversion of server ids to local ones is one piece: a failure in its middle (here the
// line table refusing its order ids) leaves every order and line as it was.
TEST_F(OrderModelTest, ARefusedIdConversionLeavesOrdersAndLinesAsTheyWere)
{
    ASSERT_TRUE(m_db->executeUpdate(
        "insert into brivanta_quote_order (order_id, customer_id, customer_name, order_number, uploaded, account_id) "
        "values (1001, 0, 'Acme', 'bob_1', 1, 'bob'), (1002, 0, 'Beta', 'bob_2', 1, 'bob'), "
        "(-3, 0, 'Local', 'bob_3', 0, 'bob')"));
    ASSERT_TRUE(m_db->executeUpdate("insert into brivanta_quote_order_item (order_item_id, order_id, discount_rat) "
                                    "values (501, 1001, 70), (502, 1002, 60), (-7, -3, 50)"));
    auto everything = [&] {
        return orderRow(1001) + orderRow(1002) + orderRow(-3) + linesText(1001) + linesText(1002) + linesText(-3);
    };
    std::string before = everything();
    ASSERT_TRUE(m_db->executeUpdate("CREATE TRIGGER refuse BEFORE UPDATE OF order_id ON brivanta_quote_order_item "
                                    "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    m_expectDBError = true;
    m_model->updateVersion();
    EXPECT_TRUE(m_log.contains("refused"));
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where order_id > 0"), 2);

    // Once the refusal goes, the next upgrade converts all of it.
    ASSERT_TRUE(m_db->executeUpdate("DROP TRIGGER refuse"));
    m_model->updateVersion();
    EXPECT_EQ(lineIds(-1001), (std::vector<int>{-501}));
    EXPECT_EQ(lineIds(-1002), (std::vector<int>{-502}));
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where order_id > 0"), 0);
}

// A line table of an older shape is rebuilt; the rates come along, and a copy that fails
// leaves the old table as it was.
TEST_F(OrderModelTest, LineTableRebuildCarriesRatesAndRollsBackOnFailure)
{
    auto oldTable = [&](const std::string& lastColumn) {
        ASSERT_TRUE(m_db->executeUpdate("DROP TABLE brivanta_quote_order_item"));
        ASSERT_TRUE(m_db->executeUpdate(
            "CREATE TABLE brivanta_quote_order_item (order_item_id integer, order_id integer, customer_info_id "
            "text, vendor_id integer, product_id integer, order_item_sku text, order_item_name text, "
            "product_quantity integer, product_item_price double, product_final_price double, order_item_currency "
            "text, order_item_subtotal double, order_status text, cdate text, mdate text, " +
            lastColumn + ", discount_rat double)"));
        ASSERT_TRUE(m_db->executeUpdate("insert into brivanta_quote_order_item (order_item_id, order_id, "
                                        "discount_rat) values (-4, -1, 80)"));
    };
    oldTable("product_attribute text");
    m_model->updateVersion();
    EXPECT_EQ(m_db->doubleForQuery("select discount_rat from brivanta_quote_order_item where order_item_id = -4"), 80);
    EXPECT_EQ(m_db->intForQuery("select pk from pragma_table_info('brivanta_quote_order_item') "
                                "where name = 'order_item_id'"),
              1);
    EXPECT_EQ(count("select count(*) from sqlite_master where name = 'idx_item_order'"), 1);
    EXPECT_EQ(count("select count(*) from sqlite_master where name like 'temp_%'"), 0);

    m_expectDBError = true; // the copy names a column the old table lacks
    oldTable("attributes text");
    m_model->updateVersion();
    EXPECT_EQ(m_db->intForQuery("select pk from pragma_table_info('brivanta_quote_order_item') "
                                "where name = 'order_item_id'"),
              0);
    EXPECT_EQ(m_db->doubleForQuery("select discount_rat from brivanta_quote_order_item where order_item_id = -4"), 80);
    EXPECT_EQ(count("select count(*) from sqlite_master where name like 'temp_%'"), 0);
}

} // namespace

namespace {

// name|type|notnull|default|pk of every column, and the view's column names.
std::string orderSchema(BRDatabase& db)
{
    std::string schema;
    for (const char* table : {"brivanta_quote_order", "brivanta_quote_order_item", "customerView"}) {
        auto rs = db.executeQuery(std::string("select * from pragma_table_info('") + table + "')");
        while (rs && rs->next()) {
            for (int i = 1; i < rs->columnCount(); ++i)
                schema += rs->stringForColumnIndex(i).value_or("NULL") + "|";
            schema += "\n";
        }
        schema += "--\n";
    }
    return schema;
}

TEST_F(OrderModelTest, LegacyDatabaseGetsTheTemplatesOrderSchemaAndSnapshots)
{
    std::string expected = orderSchema(*m_db);
    m_db.reset();
    m_model.reset();
    m_manager.reset();
    DataAccessManager::releaseDataModel();
    ASSERT_TRUE(base::FileManager::removeItem(documents() / "acme"));
    ASSERT_TRUE(base::FileManager::removeItem(templatePath()));
    ASSERT_TRUE(base::FileManager::copyItem(dbtest::binaryFolder() / "fixtures/brivanta_lite_legacy.sqlite",
                                            templatePath()));
    m_manager = DataAccessManager::sharedDataModel();
    m_db = BRDatabase::sharedDataBase();
    ASSERT_FALSE(m_db->columnExistsColumnName("brivanta_quote_order", "address"));
    for (const char* sql : {
             "insert into brivanta_customer (customer_id, customer_name) values (3, 'Acme'), (4, 'Beta')",
             "insert into brivanta_fields_customer_attribute (field_id, field_name) values "
             "(1, 'Address'), (2, 'City'), (3, 'State/Province/Region'), (4, 'Zip Code'), (5, 'Phone'), "
             "(6, 'Bank Account')",
             "insert into brivanta_customer_attribute (attribute_id, customer_id, attribute_fields_id, "
             "attribute_value) values (1, 3, 1, '9 Low Rd'), (2, 3, 2, 'Leeds'), (3, 3, 5, '0113'), "
             "(4, 4, 1, 'Beta Way')",
             "insert into brivanta_quote_order (order_id, customer_id, customer_name, order_number, uploaded) "
             "values (10, 3, 'Old name', 'bob_1', 1), (-2, 9, 'Gone Ltd', 'bob_2', 0)",
             "insert into brivanta_quote_order_item (order_item_id, order_id) values (20, 10), (-3, -2)"})
        ASSERT_TRUE(m_db->executeUpdate(sql)) << sql;

    m_manager->updateVersion();
    m_manager->updateVersion();
    EXPECT_EQ(orderSchema(*m_db), expected);
    EXPECT_EQ(m_db->stringForQuery("select customer_name || '|' || address || '|' || city || '|' || phone || '|' "
                                   "|| ifnull(state, 'NULL') from brivanta_quote_order where order_id = -10"),
              "Acme|9 Low Rd|Leeds|0113|NULL");
    EXPECT_EQ(m_db->stringForQuery("select customer_name || '|' || ifnull(address, 'NULL') from "
                                   "brivanta_quote_order where order_id = -2"),
              "Gone Ltd|NULL");
    EXPECT_EQ(lineIds(-10), std::vector<int>{-20});

    // An address taken at order time stays through the next upgrade.
    ASSERT_TRUE(m_db->executeUpdate("update brivanta_quote_order set address = '5 New St' where order_id = -10"));
    m_manager->updateVersion();
    EXPECT_EQ(m_db->stringForQuery("select address from brivanta_quote_order where order_id = -10"), "5 New St");
}

} // namespace

namespace {

using ordertest::OrderTest;

class OrderAccountTest : public OrderTest {};

// Orders stored before the account was: each takes the account its number was made with.
TEST_F(OrderAccountTest, UpgradeGivesOldOrdersTheAccountTheirNumberNames)
{
    m_db.reset();
    m_model.reset();
    m_manager.reset();
    DataAccessManager::releaseDataModel();
    ASSERT_TRUE(base::FileManager::removeItem(documents() / "acme"));
    ASSERT_TRUE(base::FileManager::removeItem(templatePath()));
    ASSERT_TRUE(base::FileManager::copyItem(dbtest::binaryFolder() / "fixtures/brivanta_lite_legacy.sqlite",
                                            templatePath()));
    m_manager = DataAccessManager::sharedDataModel();
    m_db = BRDatabase::sharedDataBase();
    ASSERT_FALSE(m_db->columnExistsColumnName("brivanta_quote_order", "account_id"));
    struct Case {
        int id;
        const char* number;
        const char* account; // after the upgrade; NULL names none
    } cases[] = {
        {-1, "alice_260115102008", "alice"},
        {-2, "bob_1", "bob"},
        {-3, "first_last_260115102008", "first_last"},
        {-4, "_260115102008", ""},
        {5, "DEV-0001", "NULL"},
        {-6, "", "NULL"},
    };
    for (const auto& c : cases)
        ASSERT_TRUE(m_db->executeUpdate("insert into brivanta_quote_order (order_id, order_number, uploaded) "
                                        "values (?, ?, 0)", c.id, c.number));
    m_manager->updateVersion();
    m_manager->updateVersion();
    m_model = m_manager->quoteOrderModel();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        int id = c.id > 0 ? -c.id : c.id; // the upgrade makes server ids local
        EXPECT_EQ(m_db->stringForQuery("select ifnull(account_id, 'NULL') from brivanta_quote_order "
                                       "where order_id = ?", id),
                  c.account);
    }
    // A save keeps the account an order has; a new order is the signed-in account's.
    auto orders = m_model->fetchQuoteOrdersCondition(0, std::nullopt);
    auto alices = std::find_if(orders.begin(), orders.end(), [](const auto& o) { return o->serial() == -1; });
    EXPECT_EQ(alices, orders.end()) << "bob is signed in: alice's order is not listed";
    auto bobs = std::find_if(orders.begin(), orders.end(), [](const auto& o) { return o->serial() == -2; });
    ASSERT_NE(bobs, orders.end());
    (*bobs)->setCustomerNote("edited");
    EXPECT_EQ(m_model->saveQuoteOrder(*bobs), -2);
    EXPECT_EQ(m_db->stringForQuery("select account_id from brivanta_quote_order where order_id = -2"), "bob");
    auto fresh = order("Acme", 1);
    ASSERT_NE(m_model->saveQuoteOrder(fresh), 0);
    EXPECT_EQ(m_db->stringForQuery("select account_id from brivanta_quote_order where order_id = ?", fresh->serial()),
              "bob");
}

// An order is listed and sent only while the account that made it is signed in.
TEST_F(OrderAccountTest, ListsAndUploadsHoldTheSignedInAccountsOrdersOnly)
{
    auto login = LoginMode::sharedInstance();
    std::map<std::string, int> ids;
    for (const char* account : {"alice", "bob"}) {
        login->setAcountID(account);
        auto unsent = order(std::string(account) + " unsent", 1);
        ASSERT_NE(m_model->saveQuoteOrder(unsent), 0);
        ids[std::string(account) + " unsent"] = unsent->serial();
        base::Date::advanceFixedNow(1);
        auto sent = order(std::string(account) + " sent", 1);
        sent->setUploaded(true);
        ASSERT_NE(m_model->saveQuoteOrder(sent), 0);
        ids[std::string(account) + " sent"] = sent->serial();
        base::Date::advanceFixedNow(1);
    }
    // A history order comes in under whoever fetched it.
    login->setAcountID("alice");
    base::Dictionary history{{"order_id", 7001}, {"order_number", "alice_120101090000"},
                             {"customer_name", "alice history"}, {"order_status", 1}};
    ASSERT_TRUE(m_model->updateLocalHistoryOrderFromServer(base::Value(history)));
    ASSERT_TRUE(m_db->executeUpdate("insert into brivanta_quote_order (order_id, customer_name, order_number, "
                                    "uploaded, customer_id) values (-90, 'nobody unsent', 'DEV-0001', 0, 3)"));

    auto names = [](const std::vector<QuoteOrderModel::Order>& orders) {
        std::set<std::string> out;
        for (const auto& o : orders)
            out.insert(o->customerName().value_or(""));
        return out;
    };
    auto sentNames = [](const base::Value& document) {
        std::set<std::string> out;
        for (const auto& o : document["order"].asArray())
            out.insert(o["customer_name"].asString());
        return out;
    };
    using Names = std::set<std::string>;
    struct Case {
        const char* account;
        Names all, unsent, sent, upload;
    } cases[] = {
        {"alice", {"alice unsent", "alice sent", "alice history", "nobody unsent"},
         {"alice unsent", "nobody unsent"}, {"alice sent", "alice history"}, {"alice unsent", "nobody unsent"}},
        {"bob", {"bob unsent", "bob sent", "nobody unsent"}, {"bob unsent", "nobody unsent"}, {"bob sent"},
         {"bob unsent", "nobody unsent"}},
        {"carol", {"nobody unsent"}, {"nobody unsent"}, {}, {"nobody unsent"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.account);
        login->setAcountID(c.account);
        EXPECT_EQ(names(m_model->fetchQuoteOrdersCondition(0, std::nullopt)), c.all);
        EXPECT_EQ(names(m_model->fetchQuoteOrdersCondition(2, std::nullopt)), c.unsent);
        EXPECT_EQ(names(m_model->fetchQuoteOrdersCondition(1, std::nullopt)), c.sent);
        EXPECT_EQ(names(m_model->fetchQuoteOrdersCondition(0, std::string("unsent"))), c.unsent) << "searched";
        EXPECT_EQ(sentNames(m_model->fetchUnsubmittedQuoteOrdersDic(0)), c.upload);
        // Sent by its id, another account's order is not in the document either.
        for (const auto& [name, id] : ids) {
            bool own = name.rfind(std::string(c.account) + " unsent", 0) == 0;
            EXPECT_EQ(m_model->fetchUnsubmittedQuoteOrdersDic(id)["order"].asArray().size(), own ? 1u : 0u) << name;
        }
    }
}

} // namespace
