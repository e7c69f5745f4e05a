// The customer model against a client database from the template and the loopback back end
// (account "alice" of fixture S): searches, local customers, the upload document, and the
// server's answer applied to the tables and orders.
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Window.h"
#include "Protocol/RequestLogin.h"
#include "tests/Database/FoldedSearchCases.h"

#include <functional>
#include <map>
#include "tests/Protocol/ProtocolTestSupport.h"
#include "tests/Support/DatabaseRows.h"

namespace {

using protocoltest::ProtocolTest;
using Text = std::optional<std::string>;

class OrderListener : public QuoteOrderStoreDelegate {
public:
    std::vector<Text> statuses;
    void finishedUploadQuoteOrdersMessage(const Text& status, const Text&) override { statuses.push_back(status); }
};

class CustomerDataModelTest : public ProtocolTest {
protected:
    static constexpr int kActiveField = 5;
    void SetUp() override
    {
        ProtocolTest::SetUp();
        if (HasFatalFailure())
            return;
        base::RunLoop::main().setManualClock(true);
        m_window = std::make_shared<ui::Window>();
        m_window->makeKeyAndVisible();
        auto login = LoginMode::sharedInstance();
        login->setLoginType(1);
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        login->setDeviceID("dev-1");
        DataAccessManager::releaseDataModel();
        m_data = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_data->hasModels());
        m_db = BRDatabase::sharedDataBase();
        std::vector<brivanta_fields_customer_attribute_Entity> fields;
        int id = 10;
        for (const char* name : {"Phone", "Bank Account", "Active", "Address", "City", "State/Province/Region", "Zip Code"}) {
            brivanta_fields_customer_attribute_Entity field;
            // The back end's own ids: it refuses a value of a field it does not define.
            field.field_id = ++id == 13 ? kActiveField : id;
            field.field_name = name;
            field.display = 1;
            field.published = 1;
            fields.push_back(field);
        }
        ASSERT_TRUE(m_data->saveToDatabaseFieldsCustomerAttribute(fields));
        // The cases name their local customers -1, -2...: counted from a mark of none handed out.
        ASSERT_TRUE(m_data->customerModel()->keepLocalCustomerIdMark(0));
        CustomerDataModel::freeInstance();
        QuoteOrderStore::freeInstance();
        m_model = CustomerDataModel::sharedInstance();
        m_observer = base::NotificationCenter::defaultCenter().addObserver(
            CustomerDataModel::kUploadNotification, nullptr,
            [this](const base::Notification& note) { m_posted.push_back(note.userInfo.toBool()); });
    }
    void TearDown() override
    {
        m_observer = {};
        QuoteOrderStore::setPreUploadHook({});
        QuoteOrderStore::freeInstance();
        CustomerDataModel::freeInstance();
        m_model.reset();
        ui::AlertView::dismissAllForTesting();
        m_window.reset();
        m_db.reset();
        m_data.reset();
        base::RunLoop::main().setManualClock(false);
        ProtocolTest::TearDown();
        DataAccessManager::releaseDataModel();
    }

    // A synced customer with its child rows, stored as the sync stores them.
    void storeCustomer(int id, const std::string& name, std::vector<brivanta_customer_contact_entity> contacts = {},
                       std::vector<brivanta_customer_address_Entity> addresses = {},
                       std::vector<std::pair<int, std::string>> attributes = {}, bool hidden = false)
    {
        brivanta_customer_Entity customer;
        customer.customer_id = id;
        customer.customer_info_id = id > 0 ? "C-" + std::to_string(id) : "";
        customer.customer_name = name;
        customer.customer_publish = 1;
        ASSERT_TRUE(m_data->saveToDatabaseCustomer(std::vector{customer}));
        for (auto& contact : contacts) {
            contact.customerID = id;
            contact.contactID = m_nextChild++ * (id < 0 ? -1 : 1);
        }
        if (!contacts.empty()) {
            ASSERT_TRUE(m_data->saveToDatabaseCustomerContact(contacts));
        }
        for (auto& address : addresses) {
            address.customerId = id;
            address.indexId = m_nextChild++ * (id < 0 ? -1 : 1);
        }
        if (!addresses.empty()) {
            ASSERT_TRUE(m_data->saveToDatabaseCustomerAddress(addresses));
        }
        std::vector<brivanta_customer_attribute_Entity> rows;
        for (const auto& [field, value] : attributes) {
            brivanta_customer_attribute_Entity row;
            row.attribute_id = m_nextChild++ * (id < 0 ? -1 : 1);
            row.customer_id = id;
            row.attribute_fields_id = field;
            row.attribute_value = value;
            rows.push_back(row);
        }
        if (!rows.empty()) {
            ASSERT_TRUE(m_data->saveToDatabaseCustomerAttribute(rows));
        }
        if (hidden) {
            ASSERT_TRUE(m_data->updateCustomerTableHiddenWithCustomerIdWithHidden(id, true));
        }
    }
    static brivanta_customer_contact_entity contact(Text first, Text last, Text email = {})
    {
        brivanta_customer_contact_entity c;
        c.first_name = std::move(first);
        c.last_name = std::move(last);
        c.email = std::move(email);
        return c;
    }
    static brivanta_customer_address_Entity address(const std::string& street, bool isDefault)
    {
        brivanta_customer_address_Entity a;
        a.customerAddress = street;
        a.customerCity = street + " City";
        a.customerState = "ST";
        a.customerZipCode = "0000";
        a.isDefault = isDefault;
        return a;
    }
    int count(const std::string& sql) { return m_db->intForQuery(sql); }
    std::string rows(const std::string& sql)
    {
        return testsupport::rowsText(*m_db, sql);
    }
    std::string allCustomerRows()
    {
        return rows("select * from brivanta_customer order by customer_id")
            + rows("select * from brivanta_customer_address order by id")
            + rows("select * from brivanta_customer_attribute order by attribute_id")
            + rows("select * from brivanta_customer_contact order by contact_id")
            + rows("select order_id, customer_id, customer_name from brivanta_quote_order order by order_id");
    }
    // An unsent stored order for that customer.
    int storedOrder(int customerId, const std::string& name)
    {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerId(customerId);
        order->setCurrency("USD");
        int id = m_data->saveQuoteOrder(order);
        EXPECT_NE(id, 0);
        return id;
    }
    static std::vector<std::string> names(const std::vector<PersonInfo>& people)
    {
        std::vector<std::string> out;
        for (const auto& p : people)
            out.push_back(p.name);
        return out;
    }
    bool posted(size_t n = 1) { return runUntil([&] { return m_posted.size() >= n; }); }
    void setRawAnswer(const std::string& body)
    {
        auto escaped = JSONFragment(base::Value(body));
        ASSERT_TRUE(escaped);
        ASSERT_TRUE(backend().setFault("520", "raw", 1, R"("body": )" + *escaped));
    }

    std::shared_ptr<ui::Window> m_window;
    std::shared_ptr<DataAccessManager> m_data;
    std::shared_ptr<BRDatabase> m_db;
    std::shared_ptr<CustomerDataModel> m_model;
    base::ObserverToken m_observer;
    std::vector<bool> m_posted;
    int m_nextChild = 1;
};

TEST_F(CustomerDataModelTest, SearchesByAnyTextAndByContact)
{
    storeCustomer(1, "ACME Ltd", {contact("John", "Smith"), contact("Solo", "")});
    storeCustomer(2, "Sales Co", {contact("Ann", "Lee", "sales@Acme.com")});
    storeCustomer(3, "ärzte GmbH", {}, {address("Hauptstraße 1", false)});
    storeCustomer(4, "张记茶庄", {contact("伟", "张")});
    storeCustomer(5, "Hidden Acme", {}, {}, {}, true);
    m_model->reloadCustomerData();

    struct Case {
        Text key;
        std::vector<std::string> found;
    } searches[] = {
        {"acme", {"ACME Ltd", "Sales Co", "Hidden Acme"}},
        {"ÄRZTE", {"ärzte GmbH"}},
        {"HAUPTSTRASSE", {}},
        {"hauptstraße", {"ärzte GmbH"}},
        {"", {}},
        {"   ", {}},
        {"\t", {}},
        {std::nullopt, {}},
        {"smith", {"ACME Ltd"}},
    };
    for (const auto& c : searches) {
        SCOPED_TRACE(c.key.value_or("(none)"));
        EXPECT_EQ(names(m_model->customerSearch(c.key)), c.found);
    }

    struct ContactCase {
        Text key;
        std::vector<std::pair<std::string, std::string>> hits;
    } contactSearches[] = {
        {"John Smith", {{"John", "Smith"}}},
        {"Smith John", {{"John", "Smith"}}},
        {"johnsmith", {{"John", "Smith"}}},
        {"Solo", {{"Solo", ""}}},
        {"Solo ", {}}, // an empty last name forms no joined name
        {"ACME", {{"John", "Smith"}, {"Solo", ""}, {"Ann", "Lee"}}},
        {"张伟", {{"伟", "张"}}},
        {"张 伟", {{"伟", "张"}}},
        {"hauptstraße", {}}, // a customer without contacts yields nothing
        {" ", {}},
    };
    for (const auto& c : contactSearches) {
        SCOPED_TRACE(c.key.value_or("(none)"));
        std::vector<std::pair<std::string, std::string>> hits;
        for (const auto& hit : m_model->customerSearchByContact(c.key))
            hits.emplace_back(hit.fristName, hit.lastName);
        EXPECT_EQ(hits, c.hits);
    }

    // Show-all off: the hidden customer is not loaded, so no search finds it.
    ConfigManager::sharedInstance()->setIsShowAllCustomer(false);
    m_model->reloadCustomerData();
    EXPECT_EQ(names(m_model->customerSearch("acme")), (std::vector<std::string>{"ACME Ltd", "Sales Co"}));
    EXPECT_EQ(m_model->getNoHiddenCustomerData(false).size(), 4u);
    m_model->updateCustomerInfoDicWithHidden(1, true);
    m_model->updateCustomerInfoDicWithHidden(777, true);
    EXPECT_EQ(m_model->getNoHiddenCustomerData(false).size(), 3u);
    EXPECT_FALSE(m_model->allSearchPersonList().front().hidden); // the list is left alone
}

// The same names and typed texts as the database's searches: one rule for every search.
TEST_F(CustomerDataModelTest, SearchFindsNamesWhateverTheirCase)
{
    int id = 0;
    for (const auto& name : searchtest::storedNames())
        storeCustomer(++id, name);
    m_model->reloadCustomerData();
    for (const auto& c : searchtest::foldedSearchCases()) {
        SCOPED_TRACE(c.typed);
        auto found = names(m_model->customerSearch(c.typed));
        EXPECT_EQ(std::set<std::string>(found.begin(), found.end()), c.found);
    }
}

// The same table over every text the search reads, one field at a time: a field lowered
// rather than folded would miss names with capitals outside ASCII.
TEST_F(CustomerDataModelTest, EverySearchedFieldFindsNamesWhateverTheirCase)
{
    using Contact = brivanta_customer_contact_entity;
    using Address = brivanta_customer_address_Entity;
    struct Field {
        const char* name;
        std::function<void(int id, const std::string& text)> store;
    };
    auto withContact = [&](void (*set)(Contact&, const std::string&)) {
        return [this, set](int id, const std::string& text) {
            Contact c = contact("Ann", "Lee");
            set(c, text);
            storeCustomer(id, "Customer " + std::to_string(id), {c});
        };
    };
    auto withAddress = [&](void (*set)(Address&, const std::string&)) {
        return [this, set](int id, const std::string& text) {
            Address a = address("Road", true);
            set(a, text);
            storeCustomer(id, "Customer " + std::to_string(id), {}, {a});
        };
    };
    const Field fields[] = {
        {"attribute value", [&](int id, const std::string& text) {
             storeCustomer(id, "Customer " + std::to_string(id), {}, {}, {{11, text}});
         }},
        {"first name", withContact([](Contact& c, const std::string& t) { c.first_name = t; })},
        {"last name", withContact([](Contact& c, const std::string& t) { c.last_name = t; })},
        {"job title", withContact([](Contact& c, const std::string& t) { c.job_title = t; })},
        {"work phone", withContact([](Contact& c, const std::string& t) { c.work_phone = t; })},
        {"mobile phone", withContact([](Contact& c, const std::string& t) { c.mobile_phone = t; })},
        {"email", withContact([](Contact& c, const std::string& t) { c.email = t; })},
        {"im", withContact([](Contact& c, const std::string& t) { c.im = t; })},
        {"note", withContact([](Contact& c, const std::string& t) { c.note = t; })},
        {"street", withAddress([](Address& a, const std::string& t) { a.customerAddress = t; })},
        {"city", withAddress([](Address& a, const std::string& t) { a.customerCity = t; })},
        {"state", withAddress([](Address& a, const std::string& t) { a.customerState = t; })},
        {"zip code", withAddress([](Address& a, const std::string& t) { a.customerZipCode = t; })},
    };
    for (const auto& field : fields) {
        SCOPED_TRACE(field.name);
        for (const char* table : {"brivanta_customer", "brivanta_customer_contact", "brivanta_customer_address",
                                  "brivanta_customer_attribute"}) {
            ASSERT_TRUE(m_db->executeUpdate(std::string("delete from ") + table));
        }
        std::map<int, std::string> stored;
        int id = 0;
        for (const auto& name : searchtest::storedNames()) {
            stored[++id] = name;
            field.store(id, name);
        }
        m_model->reloadCustomerData();
        for (const auto& c : searchtest::foldedSearchCases()) {
            SCOPED_TRACE(c.typed);
            std::set<std::string> found;
            for (const auto& person : m_model->customerSearch(c.typed))
                found.insert(stored[person.pid]);
            EXPECT_EQ(found, c.found);
        }
    }
}

// The dictionary and the search list hold each customer's rows once; a customer changed in one
// list (a screen filling in a new contact, a hit edited before an order) changes no other.
TEST_F(CustomerDataModelTest, ACustomerChangedInOneListLeavesTheOthersAlone)
{
    storeCustomer(1, "ACME Ltd", {contact("John", "Smith")}, {address("Main", true)}, {{11, "555"}});
    storeCustomer(2, "Other Co", {contact("Ann", "Lee")}, {address("Side", false)}, {{11, "777"}});
    m_model->reloadCustomerData();

    for (const auto& person : m_model->allSearchPersonList()) {
        const auto& entry = m_model->customerInfoDic().at(person.pid);
        EXPECT_TRUE(person.attribute.sharesWith(entry.attribute)) << person.pid;
        EXPECT_TRUE(person.address.sharesWith(entry.address)) << person.pid;
        EXPECT_TRUE(person.contact.sharesWith(entry.contact)) << person.pid;
    }

    // What the model shows of customer 1, whichever way it is read.
    auto seen = [&] {
        const auto& entry = m_model->customerInfoDic().at(1);
        const PersonInfo listed = m_model->allSearchPersonList().front();
        auto hits = m_model->customerSearch("acme");
        auto byContact = m_model->customerSearchByContact("john");
        std::string text;
        const PersonInfo* hit = hits.empty() ? nullptr : &hits[0];
        const PersonInfo* contactHit = byContact.empty() ? nullptr : &byContact[0].personInfo;
        for (const PersonInfo* p : {&listed, hit, contactHit}) {
            if (!p) {
                text += "missing;";
                continue;
            }
            text += p->attribute[0].attributeValue.value_or("-") + "," + p->address[0].customerAddress.value_or("-")
                + "," + p->contact[0].first_name.value_or("-") + "," + std::to_string(p->contact.size()) + ";";
        }
        return text + entry.attribute[0].attributeValue.value_or("-") + "," + entry.address[0].customerAddress.value_or("-")
            + "," + entry.contact[0].first_name.value_or("-") + "," + std::to_string(entry.contact.size());
    };
    const std::string before = seen();
    ASSERT_EQ(before, "555,Main,John,1;555,Main,John,1;555,Main,John,1;555,Main,John,1");

    struct Case {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"a search hit's contact renamed",
         [&] {
             auto hit = m_model->customerSearch("acme").at(0);
             hit.contact.edit([](auto& rows) { rows[0].first_name = "Changed"; });
             EXPECT_EQ(hit.contact[0].first_name, "Changed");
         }},
        {"a contact hit given one more contact",
         [&] {
             auto hit = m_model->customerSearchByContact("john").at(0);
             hit.personInfo.contact.push_back(contact("New", "One"));
             EXPECT_EQ(hit.personInfo.contact.size(), 2u);
         }},
        {"a copy of the list's person readdressed",
         [&] {
             PersonInfo copy = m_model->allSearchPersonList().front();
             copy.address.edit([](auto& rows) { rows[0].customerAddress = "Elsewhere"; });
             copy.attribute.clear();
             EXPECT_TRUE(copy.attribute.empty());
         }},
        {"a copy of the dictionary's entry changed",
         [&] {
             CustomerInfoDictionary copy = m_model->customerInfoDic();
             copy.at(1).attribute.edit([](auto& rows) { rows[0].attributeValue = "000"; });
             copy.at(1).contact.edit([](auto& rows) { rows.clear(); });
             EXPECT_EQ(copy.at(1).attribute[0].attributeValue, "000");
         }},
        {"the shown customers changed",
         [&] {
             auto shown = m_model->getNoHiddenCustomerData(false);
             shown.at(1).address.push_back(address("Extra", false));
             EXPECT_EQ(shown.at(1).address.size(), 2u);
         }},
        {"a person made from the entry changed",
         [&] {
             auto person = CustomerDataModel::personInfoFromEntry(1, m_model->customerInfoDic().at(1));
             person.contact.edit([](auto& rows) { rows[0].first_name = "Other"; });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        EXPECT_EQ(seen(), before);
    }
    // The other customer's rows were never touched either.
    const auto& other = m_model->customerInfoDic().at(2);
    EXPECT_EQ(other.contact[0].first_name, "Ann");
    EXPECT_EQ(other.address[0].customerAddress, "Side");
}

TEST_F(CustomerDataModelTest, DefaultAddressFromTheDefaultRowOrTheAttributes)
{
    storeCustomer(1, "Two addresses", {}, {address("First", false), address("Second", true)},
                  {{11, "555"}, {14, "Attr street"}, {kActiveField, "NO"}});
    storeCustomer(2, "No default", {}, {address("First", false)},
                  {{14, "Attr street"}, {15, "Attr city"}, {16, "Attr state"}, {17, "Attr zip"}, {11, "777"}});
    m_model->reloadCustomerData();
    using Map = std::map<std::string, std::string>;
    struct Case {
        int id;
        Map expected;
    } cases[] = {
        {1, {{"Address", "Second"}, {"City", "Second City"}, {"State/Province/Region", "ST"}, {"Zip Code", "0000"},
             {"Phone", "555"}, {"Active", "NO"}}},
        {2, {{"Address", "Attr street"}, {"City", "Attr city"}, {"State/Province/Region", "Attr state"},
             {"Zip Code", "Attr zip"}, {"Phone", "777"}}},
        {404, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(m_model->getDefaultAddressByCustomer(c.id), c.expected) << c.id;
}

TEST_F(CustomerDataModelTest, LocalCustomersGetFreshIdsAllOrNothing)
{
    EXPECT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("First", "1 Road"), -1);
    EXPECT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Second"), -2);
    EXPECT_EQ(rows("select attribute_id, attribute_fields_id, attribute_value from brivanta_customer_attribute "
                   "where customer_id = -1 order by attribute_id desc"),
              "-1|11||\n-2|12||\n-3|5|YES|\n-4|14|1 Road|\n-5|15||\n-6|16||\n-7|17||\n");
    EXPECT_EQ(count("select min(attribute_id) from brivanta_customer_attribute where customer_id = -2"), -14);
    EXPECT_EQ(m_model->customerInfoDic().count(-2), 1u); // reloaded

    // The fourth attribute row refused: nothing of the customer stays.
    ASSERT_TRUE(m_db->executeUpdate("CREATE TRIGGER refuse BEFORE INSERT ON brivanta_customer_attribute "
                                    "WHEN NEW.attribute_fields_id = 14 BEGIN SELECT RAISE(ABORT, 'no'); END"));
    std::string before = allCustomerRows();
    EXPECT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Third"), 0);
    EXPECT_EQ(allCustomerRows(), before);
    ASSERT_TRUE(m_db->executeUpdate("DROP TRIGGER refuse"));

    // Ids once handed out never come back, after an upload or a delete.
    brivanta_customer_Entity uploaded;
    uploaded.pid = -1;
    uploaded.customer_id = 501;
    ASSERT_TRUE(m_data->updateCustomerTable(std::vector{uploaded}));
    ASSERT_TRUE(m_data->deleteCustomerTableWithID(-2));
    EXPECT_EQ(m_data->getLastLocalCustomerId(), 0);
    // The refused one left nothing behind, its id included.
    EXPECT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Fourth"), -3);
}

// A new local id starts below the lowest of the mark the database keeps, its stored local
// customers and the mark an older program kept in the preferences; where the database keeps no
// mark (a wiped device, an older program's database), below the clock's count too. The id handed
// out becomes the kept mark.
TEST_F(CustomerDataModelTest, ANewLocalIdIsBelowEveryMarkThereIs)
{
    constexpr int kCountingStart = 1704067200;
    const struct Case {
        const char* name;
        std::optional<int> kept;
        int preferences;
        int stored;
        double now;
        int expected;
    } cases[] = {
        {"the kept mark", -5, 0, 0, kCountingStart + 1e6, -6},
        {"a stored customer below the kept mark", -5, 0, -9, kCountingStart + 1e6, -10},
        {"an older program's mark below the kept one", -5, -20, -3, kCountingStart + 1e6, -21},
        {"no kept mark: the clock", std::nullopt, 0, 0, kCountingStart + 1e6, -1000001},
        {"no kept mark, an older program's mark and customers", std::nullopt, -20, -3, kCountingStart + 1e6, -1000001},
        {"no kept mark, a stored customer below the clock", std::nullopt, 0, -2000000, kCountingStart + 1e6, -2000001},
        {"no kept mark, a clock before the counting start", std::nullopt, -20, -3, kCountingStart - 5, -21},
    };
    auto defaults = base::UserDefaults::standard();
    struct Restore {
        ~Restore()
        {
            base::Date::setFixedNow(std::nullopt);
            base::UserDefaults::standard()->removeObjectForKey("AcmeCo-LocalCustomerIdMark");
        }
    } restore;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        base::Date::setFixedNow(base::Date(c.now));
        ASSERT_TRUE(m_db->executeUpdate("DROP TABLE IF EXISTS brivanta_local_id_mark"));
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_customer"));
        if (c.kept) {
            ASSERT_TRUE(m_data->customerModel()->keepLocalCustomerIdMark(*c.kept));
        }
        defaults->setInteger(c.preferences, "AcmeCo-LocalCustomerIdMark");
        if (c.stored)
            storeCustomer(c.stored, "Stored");
        EXPECT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("New"), c.expected);
        EXPECT_EQ(m_data->customerModel()->localCustomerIdMark(), c.expected);
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_customer WHERE customer_id = ?", c.expected));
        EXPECT_EQ(m_model->nextLocalCustomerId(), c.expected - 1) << "kept after the customer is gone";
    }
}

TEST_F(CustomerDataModelTest, UploadSendsTheDocumentAndAppliesTheServerIds)
{
    int id = m_model->saveCustomerWithNameStreetCityStateZipCode("ACME Ltd");
    ASSERT_EQ(id, -1);
    ASSERT_TRUE(m_db->executeUpdate("UPDATE brivanta_customer_attribute SET attribute_value = 'NO' "
                                    "WHERE attribute_fields_id = ?", kActiveField));
    auto john = contact("John", "Smith");
    john.customerID = -1;
    john.contactID = -1;
    ASSERT_TRUE(m_data->saveToDatabaseCustomerContact(std::vector{john}));
    auto street = address("Main", true);
    street.customerId = -1;
    street.indexId = -1;
    ASSERT_TRUE(m_data->saveToDatabaseCustomerAddress(std::vector{street}));
    int orderId = storedOrder(-1, "ACME Ltd");
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    store->createNewQuoteOrder();
    store->addQuoteOrder()->setCustomerId(-1);
    m_model->reloadCustomerData();

    m_model->submitCustomer(-1);
    ASSERT_TRUE(posted());
    EXPECT_EQ(m_posted, std::vector<bool>{true});

    auto sent = logged("520");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0]["request"].toString().find("/SyncClient; "), std::string::npos);
    EXPECT_EQ(sent[0]["parameters"]["methodName"].toString(), "syncData");
    std::string text = sent[0]["parameters"]["syncData"].toString();
    EXPECT_EQ(text.find_first_of(" \n\t"), text.find("ACME Ltd") + 4) << text; // the only blank is in the name
    auto document = JSONValue(text);
    ASSERT_TRUE(document && document->isDictionary());
    EXPECT_EQ(document->asDictionary().size(), 4u);
    const auto& customer = (*document)["brivanta_customer"].asArray().at(0);
    EXPECT_EQ(JSONFragment(customer).value_or(""),
              JSONFragment(base::Value(base::Dictionary{{"customer_id", -1},
                                                        {"customer_info_id", ""},
                                                        {"customer_name", "ACME Ltd"},
                                                        {"customer_publish", 1},
                                                        {"customer_ordering", 0},
                                                        {"discount", 0}})));
    for (const auto& attribute : (*document)["brivanta_customer_attribute"].asArray()) {
        if (attribute["attribute_fields_id"].toInt() == kActiveField)
            EXPECT_TRUE(attribute["attribute_value"].isNumber() && attribute["attribute_value"].toInt() == 0);
        else
            EXPECT_TRUE(attribute["attribute_value"].isString());
    }
    // The primary choices are the device's own: neither flag goes up.
    const auto& sentAddress = (*document)["brivanta_customer_address"].asArray().at(0);
    EXPECT_EQ(sentAddress.asDictionary().size(), 6u) << text;
    EXPECT_EQ(text.find("isDefault"), std::string::npos) << text;
    EXPECT_EQ(text.find("isDeful"), std::string::npos);

    // The server's ids everywhere, nothing left on -1.
    for (const char* sql : {"select count(*) from brivanta_customer where customer_id < 0",
                            "select count(*) from brivanta_customer_address where id < 0 or customer_id < 0",
                            "select count(*) from brivanta_customer_attribute where attribute_id < 0 or customer_id < 0",
                            "select count(*) from brivanta_customer_contact where contact_id < 0 or customer_id < 0",
                            "select count(*) from brivanta_quote_order where customer_id < 0"})
        EXPECT_EQ(count(sql), 0) << sql;
    int serverId = count("select customer_id from brivanta_customer where customer_name = 'ACME Ltd'");
    EXPECT_GT(serverId, 9001);
    EXPECT_EQ(count("select customer_id from brivanta_quote_order where order_id = " + std::to_string(orderId)), serverId);
    EXPECT_EQ(store->addQuoteOrder()->customerId(), serverId);
    EXPECT_EQ(m_model->customerInfoDic().count(serverId), 1u);
}

TEST_F(CustomerDataModelTest, FailedUploadsChangeNothing)
{
    struct Case {
        const char* name;
        std::function<void()> prepare;
        bool accepted;
        bool changed;
    } cases[] = {
        {"contact rewrite refused",
         [&] {
             ASSERT_TRUE(m_db->executeUpdate("CREATE TRIGGER refuse BEFORE UPDATE ON brivanta_customer_contact "
                                             "BEGIN SELECT RAISE(ABORT, 'no'); END"));
         },
         false, false},
        {"failure status", [&] { ASSERT_TRUE(backend().setFault("520", "status", 1, R"("status": "500")")); }, false,
         false},
        {"connection closed after the upload was read",
         [&] { ASSERT_TRUE(backend().setFault("520", "drop", 1)); }, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_db->executeUpdate("DROP TRIGGER IF EXISTS refuse"));
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_customer WHERE customer_id < 0"));
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_customer_contact"));
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_quote_order"));
        ASSERT_TRUE(backend().reset());
        m_logStart = backend().logLines().size();
        ASSERT_TRUE(m_db->executeUpdate("UPDATE brivanta_local_id_mark SET lowest = 0"));
        ASSERT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Local Globex"), -1);
        auto c1 = contact("Hank", "Local");
        c1.customerID = -1;
        c1.contactID = -1;
        ASSERT_TRUE(m_data->saveToDatabaseCustomerContact(std::vector{c1}));
        storedOrder(-1, "Local Globex");
        c.prepare();
        std::string before = allCustomerRows();
        m_posted.clear();
        m_model->submitCustomer(-1);
        ASSERT_TRUE(posted());
        EXPECT_EQ(m_posted, std::vector<bool>{c.accepted});
        EXPECT_EQ(logged("520").size(), 1u); // never sent again by itself
        if (!c.changed) {
            EXPECT_EQ(allCustomerRows(), before);
        }
        ui::AlertView::dismissAllForTesting();
    }
}

TEST_F(CustomerDataModelTest, MergeIntoSyncedCustomerKeepsTheSyncedRow)
{
    storeCustomer(9001, "Globex", {contact("Hank", "Scorpio")});
    ASSERT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Local Globex"), -1);
    int orderId = storedOrder(-1, "Local Globex");
    setRawAnswer(R"({"content":{"brivanta_customer":[{"preId":-1,"customerId":9001}]},)"
                 R"("results":[{"status":"200","detail":"","message":""}]})");
    m_model->submitCustomer(-1);
    ASSERT_TRUE(posted());
    EXPECT_EQ(m_posted, std::vector<bool>{true});
    EXPECT_EQ(rows("select customer_id, customer_name from brivanta_customer"), "9001|Globex|\n");
    EXPECT_EQ(count("select count(*) from brivanta_customer_attribute where customer_id = -1"), 0);
    EXPECT_EQ(count("select count(*) from brivanta_customer_contact where customer_id = 9001"), 1);
    EXPECT_EQ(count("select customer_id from brivanta_quote_order where order_id = " + std::to_string(orderId)), 9001);
}

// The server published the uploaded customer and a sync stored it before the upload's answer
// came; meanwhile the customer changed on the device.
TEST_F(CustomerDataModelTest, AnAnswerForASyncedCustomerKeepsWhatChangedDuringTheUpload)
{
    struct Case {
        const char* name;
        std::function<void()> meanwhile;
        const char* customer;
        const char* addresses;
        int changesLeft;
        const char* nextCarries;
    } cases[] = {
        {"an address added",
         [&] {
             auto added = address("Harbor", false);
             added.customerId = -1;
             added.indexId = -2;
             ASSERT_TRUE(m_data->saveToDatabaseCustomerAddress(std::vector{added}));
         },
         "9050|Local Globex|\n", "-2|9050|Harbor|\n300|9050|Main|\n", 0, "\"Harbor\""},
        {"renamed and counted as the customer screen does",
         [&] {
             ASSERT_TRUE(m_db->executeUpdate("UPDATE brivanta_customer SET customer_name = 'Globex Local' "
                                             "WHERE customer_id = -1"));
             ASSERT_TRUE(m_data->customerModel()->markCustomerChanged(-1));
         },
         "9050|Globex Local|\n", "300|9050|Main|\n", 1, "\"Globex Local\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* table : {"brivanta_customer", "brivanta_customer_address", "brivanta_customer_attribute",
                                  "brivanta_customer_contact", "brivanta_customer_unsent"})
            ASSERT_TRUE(m_db->executeUpdate(std::string("DELETE FROM ") + table));
        ASSERT_TRUE(backend().reset());
        m_logStart = backend().logLines().size();
        ASSERT_TRUE(m_db->executeUpdate("UPDATE brivanta_local_id_mark SET lowest = 0"));
        ASSERT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Local Globex"), -1);
        auto street = address("Main", true);
        street.customerId = -1;
        street.indexId = -1;
        ASSERT_TRUE(m_data->saveToDatabaseCustomerAddress(std::vector{street}));
        std::string answer = R"({"content":{"brivanta_customer":[{"preId":-1,"customerId":9050}],)"
                             R"("brivanta_customer_address":[{"preId":-1,"customerId":9050,"id":300}],)"
                             R"("brivanta_customer_attribute":[)";
        for (int local = -1; local >= -7; --local) {
            answer += (local == -1 ? "" : ",") + std::string(R"({"preId":)") + std::to_string(local)
                + R"(,"customerId":9050,"attributeId":)" + std::to_string(400 - local) + "}";
        }
        answer += R"(]},"results":[{"status":"200","detail":"","message":""}]})";
        setRawAnswer(answer);
        m_model->reloadCustomerData();
        m_posted.clear();
        m_model->submitCustomer(-1);
        // The upload goes out once the server's customers of its name are known.
        ASSERT_TRUE(runUntil([&] { return count("select count(*) from brivanta_customer_sent") == 1; }));

        // The sync's copy of what was sent, then the device's change before the answer.
        ASSERT_TRUE(m_db->executeUpdate("INSERT INTO brivanta_customer(customer_id,customer_info_id,customer_name,"
                                        "customer_publish) VALUES(9050,'C-9050','Local Globex',1)"));
        ASSERT_TRUE(m_db->executeUpdate("INSERT INTO brivanta_customer_address SELECT 300,9050,address,city,state,"
                                        "zip_code,isDefault FROM brivanta_customer_address WHERE id = -1"));
        ASSERT_TRUE(m_db->executeUpdate("INSERT INTO brivanta_customer_attribute SELECT 400 - attribute_id,9050,"
                                        "attribute_fields_id,attribute_value FROM brivanta_customer_attribute "
                                        "WHERE customer_id = -1"));
        c.meanwhile();

        ASSERT_TRUE(posted());
        EXPECT_EQ(m_posted, std::vector<bool>{true});
        EXPECT_EQ(rows("select customer_id, customer_name from brivanta_customer"), c.customer);
        EXPECT_EQ(rows("select id, customer_id, address from brivanta_customer_address order by id"), c.addresses);
        EXPECT_EQ(rows("select attribute_id from brivanta_customer_attribute order by attribute_id"),
                  "401|\n402|\n403|\n404|\n405|\n406|\n407|\n");
        EXPECT_EQ(m_data->customerModel()->customerChangeCount(-1), 0);
        EXPECT_EQ(m_data->customerModel()->customerChangeCount(9050), c.changesLeft) << "kept from the next sync";

        // What changed goes with the next upload of the customer.
        m_posted.clear();
        m_model->submitCustomer(9050);
        ASSERT_TRUE(posted());
        auto sent = logged("520");
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_NE(sent[1]["parameters"]["syncData"].toString().find(c.nextCarries), std::string::npos)
            << sent[1]["parameters"]["syncData"].toString();
    }
}

TEST_F(CustomerDataModelTest, AHiddenLocalCustomerIsSentFromTheDatabase)
{
    ASSERT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Quiet Buyer"), -1);
    ASSERT_TRUE(m_data->updateCustomerTableHiddenWithCustomerIdWithHidden(-1, true));
    ConfigManager::sharedInstance()->setIsShowAllCustomer(false);
    m_model->reloadCustomerData();
    ASSERT_EQ(m_model->customerInfoDic().count(-1), 0u);
    auto document = JSONValue(m_model->getCustomerInfoById({-1}).value_or(""));
    ASSERT_TRUE(document);
    EXPECT_EQ((*document)["brivanta_customer"].asArray().at(0)["customer_name"].toString(), "Quiet Buyer");
    EXPECT_EQ((*document)["brivanta_customer_attribute"].asArray().size(), 7u);
    EXPECT_FALSE(m_model->getCustomerInfoById({-5}));
}

TEST_F(CustomerDataModelTest, RefusalsPostNoAndExplain)
{
    ASSERT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Local"), -1);

    // An id stored nowhere: nothing goes out.
    m_model->submitCustomer(-42);
    ASSERT_EQ(m_posted, std::vector<bool>{false});
    ASSERT_TRUE(ui::AlertView::visibleAlert());
    EXPECT_EQ(ui::AlertView::visibleAlert()->message(), Language::stringWithName("FAILED"));
    ui::AlertView::dismissAllForTesting();

    // The login is no longer valid: the alert offers to log out.
    ASSERT_TRUE(backend().setFault("520", "status", 1, R"("status": "101")"));
    std::string before = allCustomerRows();
    m_model->submitCustomer(-1);
    ASSERT_TRUE(posted(2));
    EXPECT_FALSE(m_posted[1]);
    EXPECT_EQ(allCustomerRows(), before);
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->tag(), CustomerDataModel::kLoginBrokenAlertTag);
    EXPECT_EQ(alert->title(), Language::stringWithName("NOTIFICATION"));
    EXPECT_EQ(alert->buttonTitleAtIndex(0), Language::stringWithName("CANCEL"));
    EXPECT_EQ(alert->buttonTitleAtIndex(1), Language::stringWithName("LOGOUTSETTINGS"));
    ui::AlertView::dismissAllForTesting();

    // The user is locked: the lock handling, no notification.
    ASSERT_TRUE(backend().setFault("520", "status", 1, R"("status": "207")"));
    m_model->submitCustomer(-1);
    ASSERT_TRUE(runUntil([&] { return logged("520").size() == 2; }));
    base::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(m_posted.size(), 2u);
    ui::AlertView::dismissAllForTesting();
}

TEST_F(CustomerDataModelTest, OrdersWaitForTheirLocalCustomers)
{
    CustomerDataModel::installOrderUploadHook();
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    auto listener = std::make_shared<OrderListener>();
    store->setDelegate(listener);
    ASSERT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("ACME Ltd"), -1);
    ASSERT_EQ(m_model->saveCustomerWithNameStreetCityStateZipCode("Gone"), -2);
    ASSERT_TRUE(m_data->deleteCustomerTableWithID(-2));

    // The customer's upload refused: no order goes, the store hears the 520's status.
    int waiting = storedOrder(-1, "ACME Ltd");
    ASSERT_TRUE(backend().setFault("520", "status", 1, R"("status": "500")"));
    ASSERT_TRUE(store->startUploadQuoteOrder(waiting));
    ASSERT_TRUE(runUntil([&] { return !listener->statuses.empty(); }));
    EXPECT_EQ(listener->statuses, std::vector<Text>{Text("500")});
    EXPECT_FALSE(store->submitting());
    EXPECT_TRUE(logged("518").empty());
    EXPECT_FALSE(ui::AlertView::visibleAlert());

    // Accepted: the order goes after its customer, naming the server's id.
    listener->statuses.clear();
    ASSERT_TRUE(store->startUploadQuoteOrder(waiting));
    ASSERT_TRUE(runUntil([&] { return !listener->statuses.empty(); }));
    EXPECT_EQ(listener->statuses, std::vector<Text>{Text("200")});
    std::vector<base::Value> all;
    std::vector<std::string> commands;
    for (const auto& record : logged()) {
        std::string command = record["command"].toString();
        if (command == "518" || command == "520") {
            all.push_back(record);
            commands.push_back(command);
        }
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"520", "520", "518"}));
    int serverId = count("select customer_id from brivanta_customer where customer_name = 'ACME Ltd'");
    const base::Value& orders = all.back()["syncData"];
    EXPECT_EQ(orders["order"].asArray().at(0)["customer_id"].toInt(), serverId);

    // A local customer no longer stored: no 520, the order carries customer 0.
    int orphan = storedOrder(-2, "Gone");
    listener->statuses.clear();
    size_t before = logged("520").size();
    ASSERT_TRUE(store->startUploadQuoteOrder(orphan));
    ASSERT_TRUE(runUntil([&] { return !listener->statuses.empty(); }));
    EXPECT_EQ(logged("520").size(), before);
    const base::Value last = logged("518").back()["syncData"];
    EXPECT_EQ(last["order"].asArray().at(0)["customer_id"].toInt(), 0);
}

} // namespace
