#include "DatabaseTestSupport.h"

#include "Database/CustomerModel.h"
#include "Platform/Base/Date.h"
#include "tests/Support/DatabaseRows.h"

#include <functional>
#include <span>

namespace {

class CustomerModelTest : public dbtest::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        logIn("AcMe");
        base::Date::setFixedNow(base::Date(1367937000));
        m_manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_manager->hasModels());
        model = m_manager->customerModel();
        ASSERT_TRUE(model);
        db = BRDatabase::sharedDataBase();
    }
    void TearDown() override
    {
        model.reset();
        db.reset();
        m_manager.reset();
        base::Date::setFixedNow(std::nullopt);
        DatabaseTest::TearDown();
    }

    static brivanta_customer_Entity customer(int id, std::optional<std::string> name, int publish = 1)
    {
        brivanta_customer_Entity c;
        c.customer_id = id;
        c.customer_name = std::move(name);
        c.customer_publish = publish;
        return c;
    }
    static brivanta_customer_address_Entity address(int id, int customerId)
    {
        brivanta_customer_address_Entity a;
        a.indexId = id;
        a.customerId = customerId;
        a.customerAddress = "Street " + std::to_string(id);
        return a;
    }
    static brivanta_customer_contact_entity contact(int id, int customerId)
    {
        brivanta_customer_contact_entity c;
        c.contactID = id;
        c.customerID = customerId;
        c.first_name = "First " + std::to_string(id);
        return c;
    }
    static brivanta_customer_attribute_Entity attribute(int id, int customerId, int field,
                                                        std::optional<std::string> value)
    {
        brivanta_customer_attribute_Entity a;
        a.attribute_id = id;
        a.customer_id = customerId;
        a.attribute_fields_id = field;
        a.attribute_value = std::move(value);
        return a;
    }
    static brivanta_fields_customer_attribute_Entity field(int id, std::string name, int display = 1)
    {
        brivanta_fields_customer_attribute_Entity f;
        f.field_id = id;
        f.field_name = std::move(name);
        f.display = display;
        f.published = 1;
        return f;
    }
    int count(const std::string& sql) { return db->intForQuery(sql); }
    // Every row of the four customer tables, for "nothing changed" checks.
    std::string snapshot()
    {
        std::string text;
        for (const char* table : {"brivanta_customer", "brivanta_customer_address",
                                  "brivanta_customer_attribute", "brivanta_customer_contact",
                                  "brivanta_fields_customer_attribute"}) {
            text += testsupport::rowsText(*db, std::string("select * from ") + table + " order by 1");
        }
        return text;
    }

    std::shared_ptr<CustomerModel> model;
    std::shared_ptr<BRDatabase> db;

private:
    std::shared_ptr<DataAccessManager> m_manager;
};

TEST_F(CustomerModelTest, HiddenCustomersStayHiddenAcrossASync)
{
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(1, "Alpha"), customer(2, "Beta")}));
    ASSERT_TRUE(model->updateCustomerTableHiddenWithCustomerIdWithHidden(2, true));
    ASSERT_TRUE(model->saveToDatabaseCustomerAttribute(std::vector{attribute(7, 2, 1, "x")}));

    EXPECT_EQ(model->getAllCustomers(false).count(2), 0u);
    auto all = model->getAllCustomers(true);
    ASSERT_EQ(all.count(2), 1u);
    EXPECT_TRUE(all[2].hidden);
    EXPECT_FALSE(all[1].hidden);

    // Sync sends the customer again: the row is updated, the flag stays, the children go.
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(2, "Beta Ltd")}));
    EXPECT_EQ(model->getAllCustomers(false).count(2), 0u);
    all = model->getAllCustomers(true);
    EXPECT_TRUE(all[2].hidden);
    EXPECT_EQ(all[2].customer_name, "Beta Ltd");
    EXPECT_TRUE(model->getCustomerAttributes(2).empty());

    ASSERT_TRUE(model->updateCustomerTableHiddenWithCustomerIdWithHidden(2, false));
    EXPECT_EQ(model->getAllCustomers(false).count(2), 1u);
}

// Rows added on the device wait for their upload with negative ids; a sync of their
// customer replaces only what the server gave.
TEST_F(CustomerModelTest, ASyncKeepsTheChildRowsNotYetUploaded)
{
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(9001, "Northwind"), customer(9002, "Other")}));
    ASSERT_TRUE(model->saveToDatabaseCustomerAddress(std::vector{address(5, 9001), address(-7, 9001), address(6, 9002)}));
    ASSERT_TRUE(model->saveToDatabaseCustomerContact(std::vector{contact(3, 9001), contact(-2, 9001)}));
    ASSERT_TRUE(model->saveToDatabaseCustomerAttribute(
        std::vector{attribute(11, 9001, 1, "server"), attribute(-4, 9001, 1, "device")}));

    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(9001, "Northwind Ltd")}));
    ASSERT_TRUE(model->saveToDatabaseCustomerAddress(std::vector{address(8, 9001)}));
    ASSERT_TRUE(model->saveToDatabaseCustomerContact(std::vector{contact(4, 9001)}));
    ASSERT_TRUE(model->saveToDatabaseCustomerAttribute(std::vector{attribute(12, 9001, 1, "again")}));

    auto ids = [&](const char* sql) {
        std::string text;
        auto rs = db->executeQuery(sql);
        while (rs && rs->next())
            text += std::to_string(rs->intForColumnIndex(0)) + " ";
        return text;
    };
    EXPECT_EQ(ids("select id from brivanta_customer_address where customer_id = 9001 order by id"), "-7 8 ");
    EXPECT_EQ(ids("select contact_id from brivanta_customer_contact where customer_id = 9001 order by 1"), "-2 4 ");
    EXPECT_EQ(ids("select attribute_id from brivanta_customer_attribute where customer_id = 9001 order by 1"),
              "-4 12 ");
    // Another customer's rows are not touched by this one's sync.
    EXPECT_EQ(ids("select id from brivanta_customer_address where customer_id = 9002"), "6 ");
    EXPECT_EQ(model->getCustomerAddress(9001).size(), 2u);
    EXPECT_EQ(model->getCustomerContact(9001).front().first_name, "First -2");
}

// Every text column a user changes on an address or a contact is remembered as changed, and a
// sync's office version takes it back: over a row the office changed, only that column; over a
// row the office deleted, the whole row as the user had it, not as the primary one.
TEST_F(CustomerModelTest, EveryTextColumnAUserChangedOutlivesTheOfficeVersion)
{
    using Address = brivanta_customer_address_Entity;
    using Contact = brivanta_customer_contact_entity;
    struct Case {
        const char* kind;
        const char* column;
        std::function<void(CustomerRecord&, const std::string&)> set;
    };
    auto onAddress = [](std::optional<std::string> Address::*member) {
        return [member](CustomerRecord& r, const std::string& v) { r.addresses.front().*member = v; };
    };
    auto onContact = [](std::optional<std::string> Contact::*member) {
        return [member](CustomerRecord& r, const std::string& v) { r.contacts.front().*member = v; };
    };
    const Case cases[] = {
        {"address", "address", onAddress(&Address::customerAddress)},
        {"address", "city", onAddress(&Address::customerCity)},
        {"address", "state", onAddress(&Address::customerState)},
        {"address", "zip_code", onAddress(&Address::customerZipCode)},
        {"contact", "first_name", onContact(&Contact::first_name)},
        {"contact", "last_name", onContact(&Contact::last_name)},
        {"contact", "job_title", onContact(&Contact::job_title)},
        {"contact", "work_phone", onContact(&Contact::work_phone)},
        {"contact", "mobile_phone", onContact(&Contact::mobile_phone)},
        {"contact", "email", onContact(&Contact::email)},
        {"contact", "im", onContact(&Contact::im)},
        {"contact", "note", onContact(&Contact::note)},
    };
    const char* const addressColumns[] = {"address", "city", "state", "zip_code"};
    const char* const contactColumns[] = {"first_name", "last_name", "job_title", "work_phone",
                                          "mobile_phone", "email", "im", "note"};
    // The customer's two rows with every text column `value`, as the office would send them.
    auto store = [&](const std::string& value) {
        CustomerRecord r;
        r.addresses = {address(5, 9001)};
        r.contacts = {contact(3, 9001)};
        for (const auto& c : cases)
            c.set(r, value);
        r.addresses.front().isDefault = true;
        ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(9001, "Northwind")}));
        ASSERT_TRUE(model->saveToDatabaseCustomerAddress(r.addresses));
        ASSERT_TRUE(model->saveToDatabaseCustomerContact(r.contacts));
    };
    auto texts = [&](const char* kind) {
        bool isAddress = std::string(kind) == "address";
        std::string text;
        for (const char* column : isAddress ? std::span<const char* const>(addressColumns)
                                            : std::span<const char* const>(contactColumns)) {
            auto rs = db->executeQuery(std::string("select ") + column + ",isDefault from "
                                       + (isAddress ? "brivanta_customer_address" : "brivanta_customer_contact")
                                       + " where customer_id = 9001");
            text += rs && rs->next() ? rs->stringForColumnIndex(0).value_or("NULL") + (rs->boolForColumnIndex(1) ? "*" : "")
                                     : "none";
            text += " ";
        }
        return text;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + "." + c.column);
        for (bool officeDeleted : {false, true}) {
            store("stored");
            auto before = model->readCustomerRecord(9001);
            auto mine = before;
            c.set(mine, "mine");
            ASSERT_TRUE(model->forgetChangedFields(9001));
            ASSERT_TRUE(model->recordChangedFields(9001, before, mine));
            auto fields = model->changedFields(9001);
            int row = std::string(c.kind) == "address" ? 5 : 3;
            ASSERT_EQ(fields, (std::vector<ChangedField>{{c.kind, row, c.column}}));

            store("office");
            if (officeDeleted) {
                ASSERT_TRUE(db->executeUpdate(std::string("delete from brivanta_customer_") + c.kind
                                              + " where customer_id = 9001"));
            }
            ASSERT_TRUE(model->reapplyChangedFields(9001, mine, fields));
            std::string expected;
            bool isAddress = std::string(c.kind) == "address";
            for (const char* column : isAddress ? std::span<const char* const>(addressColumns)
                                                : std::span<const char* const>(contactColumns)) {
                std::string value = column == std::string(c.column) ? "mine" : officeDeleted ? "stored" : "office";
                expected += value + (isAddress && !officeDeleted ? "*" : "") + " ";
            }
            EXPECT_EQ(texts(c.kind), expected) << (officeDeleted ? "over a deleted row" : "over a changed row");
        }
    }
}

TEST_F(CustomerModelTest, CustomerEntriesCarryDisplayedAttributesAndExactDiscounts)
{
    ASSERT_TRUE(model->saveToDatabaseFieldsCustomerAttribute(
        std::vector{field(2, "Phone"), field(1, "City"), field(3, "Internal", 0)}));
    auto withDiscount = customer(1, std::nullopt);
    withDiscount.discount = 0.1;
    withDiscount.customer_info_id = "C-1";
    ASSERT_TRUE(model->saveToDatabaseCustomer(
        std::vector{withDiscount, customer(2, "Plain"), customer(3, "Withdrawn", 0)}));
    ASSERT_TRUE(model->saveToDatabaseCustomerAttribute(std::vector{
        attribute(10, 1, 2, "555"), attribute(11, 1, 1, std::nullopt), attribute(12, 1, 3, "no")}));

    auto all = model->getAllCustomers(true);
    ASSERT_EQ(all.size(), 2u) << "unpublished customers are left out";
    const auto& first = all[1];
    EXPECT_EQ(first.discount, 0.1);
    EXPECT_EQ(first.customer_name, "");
    EXPECT_EQ(first.customer_info_id, "C-1");
    ASSERT_EQ(first.attribute.size(), 2u) << "only displayed fields, by field id";
    EXPECT_EQ(first.attribute[0].fieldName, "City");
    EXPECT_EQ(first.attribute[0].attributeValue, "");
    EXPECT_EQ(first.attribute[1].fieldName, "Phone");
    EXPECT_EQ(first.attribute[1].attributeValue, "555");

    const auto& plain = all[2];
    EXPECT_FALSE(plain.customer_info_id);
    ASSERT_EQ(plain.attribute.size(), 1u);
    EXPECT_EQ(plain.attribute[0].fieldName, "");
    EXPECT_EQ(plain.attribute[0].attributeValue, "");

    EXPECT_EQ(model->getCustomerByCustomerId(1).discount, 0.1);
    auto fields = model->getAllAttributes();
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].field_id, 1);
}

TEST_F(CustomerModelTest, AddressesAndContactsAreOrderedByTheSignOfTheCustomer)
{
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(-1, "Local"), customer(5, "Server")}));
    ASSERT_TRUE(model->saveToDatabaseCustomerAddress(
        std::vector{address(-2, -1), address(-1, -1), address(-3, -1), address(30, 5), address(10, 5),
                    address(20, 5)}));
    ASSERT_TRUE(model->saveToDatabaseCustomerContact(
        std::vector{contact(-3, -1), contact(-1, -1), contact(-2, -1), contact(8, 5), contact(4, 5)}));

    auto ids = [](const auto& rows, auto member) {
        std::vector<int> out;
        for (const auto& row : rows)
            out.push_back(row.*member);
        return out;
    };
    auto all = model->getAllCustomers(false);
    EXPECT_EQ(ids(all[-1].address, &brivanta_customer_address_Entity::indexId), (std::vector{-1, -2, -3}));
    EXPECT_EQ(ids(all[5].address, &brivanta_customer_address_Entity::indexId), (std::vector{10, 20, 30}));
    EXPECT_EQ(ids(all[-1].contact, &brivanta_customer_contact_entity::contactID), (std::vector{-1, -2, -3}));
    EXPECT_EQ(ids(all[5].contact, &brivanta_customer_contact_entity::contactID), (std::vector{4, 8}));
    EXPECT_EQ(all[5].address[0].customerAddress, "Street 10");

    EXPECT_FALSE(model->saveToDatabaseCustomerAddress(std::vector<brivanta_customer_address_Entity>{}));

    ASSERT_TRUE(model->updateAddressToDefaultIndexId(5, 20));
    ASSERT_TRUE(model->updateContactToDefaultContact(5, 8));
    EXPECT_EQ(count("select count(*) from brivanta_customer_address where isDefault = 1"), 1);
    EXPECT_TRUE(model->getCustomerAddress(5)[1].isDefault);
    EXPECT_TRUE(model->getCustomerContact(5)[1].isDeful);
    ASSERT_TRUE(model->updateAddressToDefaultIndexId(5, 0));
    EXPECT_EQ(count("select count(*) from brivanta_customer_address where isDefault = 1"), 0);
}

// The list keeps each customer's rows packed: every member reads back as stored, missing
// texts apart from empty ones, long and non-ASCII texts whole, local ids negative.
TEST_F(CustomerModelTest, TheListReadsEveryMemberOfEveryRowAsStored)
{
    const std::optional<std::string> texts[] = {std::nullopt,
                                                "",
                                                "A",
                                                "fifteen chars!!",
                                                "sixteen chars!!!",
                                                std::string(300, 'x') + "end",
                                                "王小明 · Müller"};
    const int count = static_cast<int>(std::size(texts));
    auto text = [&](int i) { return texts[((i % count) + count) % count]; };
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(-1, "Local"), customer(5, "Server")}));
    std::vector<brivanta_customer_address_Entity> addresses;
    std::vector<brivanta_customer_contact_entity> contacts;
    for (int i = 1; i <= count; ++i) {
        for (int customerId : {-1, 5}) {
            const int id = customerId < 0 ? -i : 100 + i;
            auto a = address(id, customerId);
            a.customerAddress = text(i);
            a.customerCity = text(i + 1);
            a.customerState = text(i + 2);
            a.customerZipCode = text(i + 3);
            a.isDefault = i == 2;
            addresses.push_back(a);
            auto c = contact(id, customerId);
            c.first_name = text(i);
            c.last_name = text(i + 1);
            c.job_title = text(i + 2);
            c.work_phone = text(i + 3);
            c.mobile_phone = text(i + 4);
            c.email = text(i + 5);
            c.im = text(i + 6);
            c.note = text(i + 7);
            c.isDeful = i == 3;
            contacts.push_back(c);
        }
    }
    ASSERT_TRUE(model->saveToDatabaseCustomerAddress(addresses));
    ASSERT_TRUE(model->saveToDatabaseCustomerContact(contacts));

    auto shown = [](const std::optional<std::string>& t) { return t ? "[" + *t + "]" : std::string("null"); };
    auto addressText = [&](const brivanta_customer_address_Entity& a) {
        return std::to_string(a.pID) + " " + std::to_string(a.indexId) + " " + std::to_string(a.customerId) + " "
            + shown(a.customerAddress) + shown(a.customerCity) + shown(a.customerState) + shown(a.customerZipCode)
            + (a.isDefault ? " default" : "");
    };
    auto contactText = [&](const brivanta_customer_contact_entity& c) {
        return std::to_string(c.pID) + " " + std::to_string(c.customerID) + " " + std::to_string(c.contactID) + " "
            + shown(c.first_name) + shown(c.last_name) + shown(c.job_title) + shown(c.work_phone)
            + shown(c.mobile_phone) + shown(c.email) + shown(c.im) + shown(c.note) + (c.isDeful ? " default" : "");
    };
    auto all = model->getAllCustomers(false);
    for (int customerId : {-1, 5}) {
        SCOPED_TRACE(customerId);
        std::vector<std::string> listed, stored;
        for (const auto& a : all[customerId].address)
            listed.push_back(addressText(a));
        for (const auto& a : model->getCustomerAddress(customerId))
            stored.push_back(addressText(a));
        for (const auto& c : all[customerId].contact)
            listed.push_back(contactText(c));
        for (const auto& c : model->getCustomerContact(customerId))
            stored.push_back(contactText(c));
        ASSERT_EQ(stored.size(), 2u * count);
        EXPECT_EQ(listed, stored);
    }
    // A search reads the texts where they are packed: every present one in row order, or only
    // those of the members it names.
    auto visited = [](auto walk) {
        std::string seen;
        walk([&](std::string_view text) {
            seen.append(text).append("|");
            return false;
        });
        return seen;
    };
    std::string everyText, emails;
    for (const auto& c : model->getCustomerContact(5)) {
        for (const auto* t : {&c.first_name, &c.last_name, &c.job_title, &c.work_phone, &c.mobile_phone, &c.email,
                              &c.im, &c.note})
            everyText += *t ? **t + "|" : "";
        emails += c.email ? *c.email + "|" : "";
    }
    EXPECT_EQ(visited([&](auto test) { all[5].contact.anyText(test); }), everyText);
    EXPECT_EQ(visited([&](auto test) { all[5].contact.anyText<&brivanta_customer_contact_entity::email>(test); }),
              emails);
    EXPECT_TRUE(all[5].address.anyText([](std::string_view text) { return text == "王小明 · Müller"; }));

    // A text stored missing and one stored empty are told apart.
    EXPECT_EQ(all[5].contact[0].first_name, "");
    EXPECT_EQ(all[5].contact[count - 1].first_name, std::nullopt);

    // Equal rows compare equal however they were made; a change in one member does not.
    SharedRows<brivanta_customer_contact_entity> again(model->getCustomerContact(5));
    EXPECT_FALSE(again.sharesWith(all[5].contact));
    EXPECT_TRUE(again == all[5].contact);
    again.edit([](auto& rows) { rows.back().isDeful = !rows.back().isDeful; });
    EXPECT_FALSE(again == all[5].contact);
    EXPECT_EQ(again.size(), all[5].contact.size());
}

// A refused new primary leaves the old one, never a customer without any.
TEST_F(CustomerModelTest, APrimaryChoiceIsAllOrNothing)
{
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(5, "Server")}));
    auto first = address(10, 5);
    first.isDefault = true;
    auto firstContact = contact(4, 5);
    firstContact.isDeful = true;
    ASSERT_TRUE(model->saveToDatabaseCustomerAddress(std::vector{first, address(20, 5)}));
    ASSERT_TRUE(model->saveToDatabaseCustomerContact(std::vector{firstContact, contact(8, 5)}));
    struct Case {
        const char* table;
        std::function<bool()> choose;
        const char* defaults;
    } cases[] = {
        {"brivanta_customer_address", [&] { return model->updateAddressToDefaultIndexId(5, 20); },
         "select id from brivanta_customer_address where isDefault = 1"},
        {"brivanta_customer_contact", [&] { return model->updateContactToDefaultContact(5, 8); },
         "select contact_id from brivanta_customer_contact where isDefault = 1"},
    };
    m_expectDBError = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        ASSERT_TRUE(db->executeUpdate(std::string("create trigger refuse_default before update of isDefault on ")
                                      + c.table + " when new.isDefault = 1 begin select raise(abort, 'refused'); end"));
        const int before = count(c.defaults);
        EXPECT_FALSE(c.choose());
        EXPECT_EQ(count(c.defaults), before) << "the old primary stays";
        EXPECT_TRUE(sqlite3_get_autocommit(db->sqliteHandle()));
        ASSERT_TRUE(db->executeUpdate("drop trigger refuse_default"));
        EXPECT_TRUE(c.choose());
        EXPECT_NE(count(c.defaults), before);
    }
}

TEST_F(CustomerModelTest, NamesAreMatchedLiterally)
{
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{
        customer(1, "Smith \"Jr\" & Co"), customer(2, "O'Neil"), customer(3, "Hidden Name", 0)}));
    EXPECT_FALSE(model->getCustomerByCustomerName("customer_name"));
    auto quoted = model->getCustomerByCustomerName("Smith \"Jr\" & Co");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->customer_id, 1);
    ASSERT_TRUE(model->getCustomerByCustomerName("O'Neil"));
    EXPECT_FALSE(model->getCustomerByCustomerName("Hidden Name")) << "unpublished";
    EXPECT_EQ(model->getCustomerByCustomerId(99).customer_id, 0);
    EXPECT_FALSE(model->getCustomerByCustomerId(99).customer_name);
}

TEST_F(CustomerModelTest, LocalIdMinimaCountEveryLocalRow)
{
    EXPECT_EQ(model->getLastLocalCustomerId(), 0);
    EXPECT_EQ(model->getLastLocalCustomerAddressId(), 0);
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(-1, "A"), customer(-4, "Gone", 0), customer(9, "S")}));
    EXPECT_EQ(model->getLastLocalCustomerId(), -4) << "an unpublished local id is still taken";
    ASSERT_TRUE(model->saveToDatabaseCustomerAttribute(std::vector{attribute(-6, -1, 1, "v"), attribute(3, 9, 1, "w")}));
    ASSERT_TRUE(model->saveToDatabaseCustomerAddress(std::vector{address(-2, -1)}));
    ASSERT_TRUE(model->saveToDatabaseCustomerContact(std::vector{contact(-5, -1), contact(2, 9)}));
    EXPECT_EQ(model->getLastLocalCustomerAttributesId(), -6);
    EXPECT_EQ(model->getLastLocalCustomerAddressId(), -2);
    EXPECT_EQ(model->getLastLocalCustomerContactsId(), -5);
}

TEST_F(CustomerModelTest, AnyOrderRowCountsAsUnsubmitted)
{
    ASSERT_TRUE(db->executeUpdate("insert into brivanta_quote_order(order_id,customer_id,uploaded) values(-1,7,1)"));
    EXPECT_TRUE(model->isInUnsubmitOrder(7));
    EXPECT_FALSE(model->isInUnsubmitOrder(8));
}

class CustomerIdRewriteTest : public CustomerModelTest {
protected:
    void SetUp() override
    {
        CustomerModelTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(-1, "Local")}));
        ASSERT_TRUE(model->saveToDatabaseCustomerAddress(std::vector{address(-1, -1)}));
        ASSERT_TRUE(model->saveToDatabaseCustomerContact(std::vector{contact(-1, -1)}));
        ASSERT_TRUE(model->saveToDatabaseCustomerAttribute(std::vector{attribute(-1, -1, 1, "v")}));
    }
};

TEST_F(CustomerIdRewriteTest, ChildRowsFollowTheirCustomer)
{
    auto uploaded = customer(42, "Local");
    uploaded.pid = -1;
    ASSERT_TRUE(model->updateCustomerTable(std::vector{uploaded}));
    EXPECT_EQ(model->getCustomerByCustomerId(42).customer_name, "Local");
    EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id = -1"), 0);
    EXPECT_EQ(model->getCustomerAddress(42).size(), 1u);
    EXPECT_EQ(model->getCustomerContact(42).size(), 1u);
    EXPECT_EQ(model->getCustomerAttributes(42).size(), 1u);

    auto movedAddress = address(100, 42);
    movedAddress.pID = -1;
    brivanta_customer_attribute_Entity movedAttribute = attribute(200, 42, 1, std::nullopt);
    movedAttribute.pID = -1;
    auto movedContact = contact(300, 42);
    movedContact.pID = -1;
    ASSERT_TRUE(model->updateCustomerAddressTable(std::vector{movedAddress}));
    ASSERT_TRUE(model->updateCustomerAttributeTable(std::vector{movedAttribute}));
    ASSERT_TRUE(model->updateContactIdAfterUpload(std::vector{movedContact}));
    EXPECT_EQ(model->getCustomerAddress(42).at(0).indexId, 100);
    EXPECT_EQ(model->getCustomerAttributes(42).at(0).attribute_id, 200);
    EXPECT_EQ(model->getCustomerAttributes(42).at(0).attribute_value, "v");
    EXPECT_EQ(model->getCustomerContact(42).at(0).contactID, 300);
    EXPECT_FALSE(model->updateContactIdAfterUpload(std::nullopt));
}

TEST_F(CustomerIdRewriteTest, ARewriteOntoATakenIdChangesNothing)
{
    ASSERT_TRUE(model->saveToDatabaseCustomer(std::vector{customer(42, "Server")}));
    auto before = snapshot();
    auto clash = customer(42, "Local");
    clash.pid = -1;
    EXPECT_FALSE(model->updateCustomerTable(std::vector{clash}));
    EXPECT_EQ(snapshot(), before);

    // The same holds for a child row whose new id is taken, later in the list.
    ASSERT_TRUE(model->saveToDatabaseCustomerAddress(std::vector{address(5, 42)}));
    before = snapshot();
    auto fine = address(6, 42);
    fine.pID = -1;
    auto taken = address(6, 42);
    taken.pID = 5;
    EXPECT_FALSE(model->updateCustomerAddressTable(std::vector{fine, taken}));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(CustomerIdRewriteTest, DeletingACustomerIsAllOrNothing)
{
    ASSERT_TRUE(db->executeUpdate("create trigger refuse_contact_delete before delete on "
                                  "brivanta_customer_contact begin select raise(abort, 'refused'); end"));
    auto before = snapshot();
    EXPECT_FALSE(model->deleteCustomerTableWithID(-1));
    EXPECT_EQ(snapshot(), before);

    ASSERT_TRUE(db->executeUpdate("drop trigger refuse_contact_delete"));
    EXPECT_TRUE(model->deleteCustomerTableWithID(-1));
    EXPECT_EQ(count("select (select count(*) from brivanta_customer) + (select count(*) from "
                    "brivanta_customer_address) + (select count(*) from brivanta_customer_attribute) "
                    "+ (select count(*) from brivanta_customer_contact)"),
              0);
}

TEST_F(CustomerIdRewriteTest, RefusedSavesKeepWhatWasStored)
{
    ASSERT_TRUE(model->saveToDatabaseFieldsCustomerAttribute(std::vector{field(1, "Phone"), field(2, "City")}));
    ASSERT_TRUE(db->executeUpdate("create trigger refuse_marker before insert on "
                                  "brivanta_fields_customer_attribute when new.field_name = 'refuse' "
                                  "begin select raise(abort, 'refused'); end"));
    ASSERT_TRUE(db->executeUpdate("create trigger refuse_contact before insert on "
                                  "brivanta_customer_contact when new.first_name = 'refuse' "
                                  "begin select raise(abort, 'refused'); end"));
    auto before = snapshot();
    EXPECT_FALSE(model->saveToDatabaseFieldsCustomerAttribute(std::vector<brivanta_fields_customer_attribute_Entity>{}));
    EXPECT_FALSE(model->saveToDatabaseFieldsCustomerAttribute(std::vector{field(3, "Zip"), field(4, "refuse")}));
    EXPECT_FALSE(model->saveToDatabaseFieldsCustomerAttribute(std::nullopt));
    auto refused = contact(9, -1);
    refused.first_name = "refuse";
    EXPECT_FALSE(model->saveToDatabaseCustomerContact(std::vector{contact(8, -1), refused}));
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(m_log.contains("saveToDatabaseCustomerContact")) << "the refused row is logged";
}

} // namespace
