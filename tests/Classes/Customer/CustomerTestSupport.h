#pragma once
// A key window over a client database from the template with the standard customer fields and
// a client field named like the English NAME label, and helpers that store customers.
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TextView.h"
#include "tests/App/AppWindowTestSupport.h"
#include "tests/Support/DatabaseRows.h"

#include <string>
#include <vector>

namespace customertest {

class CustomerWindowTest : public apptest::AppWindowTest {
protected:
    static constexpr int kNameField = 18;

    CustomerWindowTest()
    {
        LoginMode::sharedInstance()->setClientID("AcmeCo");
        DataAccessManager::releaseDataModel();
        data = DataAccessManager::sharedDataModel();
        db = BRDatabase::sharedDataBase();
        std::vector<brivanta_fields_customer_attribute_Entity> fields;
        int id = 10;
        for (const char* name : {"Phone", "Bank Account", "Active", "Address", "City", "State/Province/Region",
                                 "Zip Code", "Name"}) {
            brivanta_fields_customer_attribute_Entity field;
            field.field_id = ++id;
            field.field_name = name;
            field.display = 1;
            field.published = 1;
            fields.push_back(field);
        }
        EXPECT_TRUE(data && data->saveToDatabaseFieldsCustomerAttribute(fields));
        CustomerDataModel::freeInstance();
        QuoteOrderStore::freeInstance();
    }
    ~CustomerWindowTest() override
    {
        QuoteOrderStore::freeInstance();
        CustomerDataModel::freeInstance();
        db.reset();
        data.reset();
        DataAccessManager::releaseDataModel();
    }

    // A customer with the given attribute values (field id, value), addresses and contacts.
    void storeCustomer(int id, const std::string& name, std::vector<std::pair<int, std::string>> attributes = {},
                       std::vector<brivanta_customer_address_Entity> addresses = {},
                       std::vector<brivanta_customer_contact_entity> contacts = {})
    {
        brivanta_customer_Entity customer;
        customer.customer_id = id;
        customer.customer_info_id = "";
        customer.customer_name = name;
        customer.customer_publish = 1;
        ASSERT_TRUE(data->saveToDatabaseCustomer(std::vector{customer}));
        const int sign = id < 0 ? -1 : 1;
        std::vector<brivanta_customer_attribute_Entity> rows;
        for (const auto& [field, value] : attributes)
            rows.push_back({0, sign * m_next++, id, field, value});
        if (!rows.empty()) {
            ASSERT_TRUE(data->saveToDatabaseCustomerAttribute(rows));
        }
        for (auto& address : addresses) {
            address.customerId = id;
            address.indexId = sign * m_next++;
        }
        if (!addresses.empty()) {
            ASSERT_TRUE(data->saveToDatabaseCustomerAddress(addresses));
        }
        for (auto& contact : contacts) {
            contact.customerID = id;
            contact.contactID = sign * m_next++;
        }
        if (!contacts.empty()) {
            ASSERT_TRUE(data->saveToDatabaseCustomerContact(contacts));
        }
    }
    static brivanta_customer_address_Entity address(const std::string& street, bool isDefault)
    {
        brivanta_customer_address_Entity a;
        a.customerAddress = street;
        a.customerCity = "City";
        a.customerState = "ST";
        a.customerZipCode = "0000";
        a.isDefault = isDefault;
        return a;
    }
    static brivanta_customer_contact_entity contact(const std::string& first, const std::string& last)
    {
        brivanta_customer_contact_entity c;
        c.first_name = first;
        c.last_name = last;
        return c;
    }
    PersonInfo person(int id)
    {
        auto model = CustomerDataModel::sharedInstance();
        model->reloadCustomerData();
        for (const auto& p : model->allSearchPersonList()) {
            if (p.pid == id)
                return p;
        }
        ADD_FAILURE() << "no customer " << id;
        return {};
    }
    std::string rows(const std::string& sql)
    {
        return testsupport::rowsText(*db, sql);
    }
    std::string customerRows(int id)
    {
        std::string key = std::to_string(id);
        return rows("select * from brivanta_customer where customer_id = " + key)
            + rows("select * from brivanta_customer_address where customer_id = " + key + " order by id")
            + rows("select * from brivanta_customer_attribute where customer_id = " + key + " order by attribute_id")
            + rows("select * from brivanta_customer_contact where customer_id = " + key + " order by contact_id");
    }
    // The toasts on the window, newest last.
    std::vector<std::string> toasts() const
    {
        std::vector<std::string> texts;
        for (const auto& view : window->subviews()) {
            if (std::string(view->className()) != "UIToast")
                continue;
            for (const auto& sub : view->subviews()) {
                if (auto* text = dynamic_cast<ui::TextView*>(sub.get()))
                    texts.push_back(text->text());
            }
        }
        return texts;
    }

    std::shared_ptr<DataAccessManager> data;
    std::shared_ptr<BRDatabase> db;

private:
    int m_next = 1;
};

} // namespace customertest
