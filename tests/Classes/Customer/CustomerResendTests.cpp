// A new customer sent again after its upload's answer was lost, against the loopback back end:
// the re-send is the same customer whatever the office and the user changed meanwhile, and
// only when it comes from the device that made it and still shows that customer.
#include "tests/Classes/Customer/CustomerEditSyncSupport.h"
#include "Database/QuoteOrderEntity.h"
#include "Network/BRHTTPRequest.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace customerresend {

class CustomerResendTest : public customersync::CustomerEditSyncTest {
protected:
    // A tablet of that id after its first full sync, as a login that uploads its orders; its
    // new customers numbered from -1 again, as two tablets that started counting together.
    void freshDevice(const std::string& device)
    {
        dropScreen();
        // Another tablet holds none of this one's session cookies.
        BRHTTPRequest::clearSession();
        LoginMode::sharedInstance()->setDeviceID(device);
        ASSERT_TRUE(m_db->executeUpdate("DROP TABLE IF EXISTS brivanta_local_id_mark"));
        ASSERT_TRUE(m_data->customerModel()->keepLocalCustomerIdMark(0));
        wipeCustomers();
        // Its sync logs in, so that the tablet holds a session of its own.
        LoginMode::sharedInstance()->setLoginType(-1);
        sync();
        LoginMode::sharedInstance()->setLoginType(1);
        CustomerDataModel::installOrderUploadHook();
    }
    // A customer made on the device with its street and phone, and an order for it; the
    // customer's local id.
    int newCustomerWithOrder(const std::string& name, const std::string& street, const std::string& phone,
                             bool addressAndContact)
    {
        const int local = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode(name, street);
        EXPECT_LT(local, 0);
        screen().settingsSwitchChanged();
        edit(local, [&](CustomerInfoView& pane, CustomerInfoGroupData& groups) {
            set(groups.customerCompanyData()[0], "Phone", phone);
            if (!addressAndContact)
                return;
            pane.addAddress();
            set(groups.customerCompanyData().back(), "address", "1 First Street");
            set(groups.customerCompanyData().back(), "zip_code", "62701");
            pane.addConctact();
            set(groups.customerContactData().back(), "first_name", "Bill");
            set(groups.customerContactData().back(), "last_name", "Lumbergh");
            set(groups.customerContactData().back(), "mobile_phone", "555-0100");
        });
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerId(local);
        order->setCurrency("USD");
        EXPECT_NE(m_data->saveQuoteOrder(order), 0);
        // Order numbers are made from the second.
        base::RunLoop::main().runUntil([] { return false; }, 1.05);
        return local;
    }
    // The customer as the device holds it, ids left out.
    std::string onDevice(int id)
    {
        std::string key = std::to_string(id);
        return rows("select customer_info_id, customer_name from brivanta_customer where customer_id = " + key)
            + rows("select a.attribute_fields_id, a.attribute_value from brivanta_customer_attribute a where "
                   "a.customer_id = " + key + " order by 1, 2")
            + rows("select address, city, state, zip_code from brivanta_customer_address where customer_id = " + key
                   + " order by 1")
            + rows("select first_name, last_name, mobile_phone from brivanta_customer_contact where customer_id = "
                   + key + " order by 1, 2");
    }
    base::Value serverState() { return JSONValue(backend().state()).value_or(base::Value()); }
    // The back end's customer in brief, one line per row, ids included: number and name; attribute id,
    // field and value; address id, street and zip; contact id, names and mobile.
    std::string serverBrief(int customerId)
    {
        const base::Value c = onServer(customerId);
        std::string text = c["customerInfoId"].toString() + "|" + c["customerName"].toString() + "|\n";
        for (const auto& a : c["attributes"].asArray())
            text += a["attributeId"].toString() + "|" + a["attributeFieldsId"].toString() + "|"
                + a["attributeValue"].toString() + "|\n";
        for (const auto& a : c["addresses"].asArray())
            text += a["id"].toString() + "|" + a["address"].toString() + "|" + a["zip_code"].toString() + "|\n";
        for (const auto& k : c["contacts"].asArray())
            text += k["contactId"].toString() + "|" + k["firstName"].toString() + "|" + k["lastName"].toString() + "|"
                + k["mobilePhone"].toString() + "|\n";
        return text;
    }
    // A command sent as another program would, without this process's cookies, with the session
    // cookie given if any; its answer. `setCookie` gets the answer's session cookie.
    base::Value post(const std::string& head, base::Dictionary parameters, const std::string& cookie = {},
                     std::string* setCookie = nullptr)
    {
        auto body = BRJsonWriter().stringWithObject(
            base::Value(base::Dictionary{{"root", base::Dictionary{{"parameters", std::move(parameters)}}}}));
        std::vector<std::pair<std::string, std::string>> headers{{"Content-Type", "application/json"}};
        if (!cookie.empty())
            headers.emplace_back("Cookie", cookie);
        auto answer = testsupport::httpExchange(backend().commandPort(), "POST",
                                                std::string("/") + testsupport::TestBackend::kPath + "/" + head,
                                                body.value_or(""), headers);
        EXPECT_TRUE(answer && answer->status == 200);
        if (setCookie && answer) {
            const std::string set = answer->header("Set-Cookie").value_or("");
            *setCookie = set.substr(0, set.find(';'));
        }
        return JSONValue(answer ? answer->body : "").value_or(base::Value());
    }
    // A customer upload document sent with that session cookie (none: a request that shows no
    // device); the server id of its customer.
    int uploadWith(const std::string& cookie, const base::Value& document)
    {
        const std::string syncData = BRJsonWriter().stringWithObject(document).value_or("");
        base::Value answer = post("SyncClient;",
                                  base::Dictionary{{"methodName", "syncData"},
                                                   {"accountId", "alice"},
                                                   {"clientId", "AcmeCo"},
                                                   {"syncData", syncData}},
                                  cookie);
        const base::Value& made = answer["content"]["brivanta_customer"];
        return made.isArray() && !made.asArray().empty() ? int(made.asArray()[0]["customerId"].toInt()) : 0;
    }
    // This process's session cookie, as its next request sends it.
    static std::string thisDevicesSession()
    {
        for (const auto& cookie : BRHTTPRequest::sessionCookies())
            if (cookie.name == "brivanta_session")
                return cookie.name + "=" + cookie.value;
        return {};
    }
    static base::Array phoneAndStreet(int local, const std::string& phone, const std::string& street)
    {
        base::Array attributes;
        int row = local * 10;
        for (const auto& [field, value] : std::vector<std::pair<int, std::string>>{{11, phone}, {14, street}})
            attributes.push_back(base::Dictionary{{"attribute_id", row--},
                                                  {"customer_id", local},
                                                  {"attribute_fields_id", field},
                                                  {"attribute_value", value}});
        return attributes;
    }
    // Another tablet of the same account logs in and, with its session, uploads its own new
    // customer at that local id, with its street and phone; the id the server gave it.
    int otherTabletUploads(const std::string& name, const std::string& street, const std::string& phone, int local = -1)
    {
        std::string session;
        base::Value login = post("Vendor?", base::Dictionary{{"methodName", "login"},
                                                             {"version", "1.0"},
                                                             {"accountId", "alice"},
                                                             {"deviceId", "dev-2"},
                                                             {"password", RequestLogin::passwordDigest("s3cret!")},
                                                             {"clientId", "AcmeCo"},
                                                             {"firstLogin", "YES"}},
                                 {}, &session);
        const base::Value& results = login["results"];
        EXPECT_EQ(results.isArray() && !results.asArray().empty() ? results.asArray()[0]["status"].toString() : "",
                  "200");
        EXPECT_FALSE(session.empty());
        return uploadWith(session, customerUpload(local, name, phoneAndStreet(local, phone, street)));
    }

};

// A new customer with an order, its upload stored but its answer lost; the office changes the
// stored copy in what tells customers apart, so the device cannot take the copy for its own and
// sends the customer again, renamed by the user meanwhile. The back end holds one customer: the
// office's change with the user's name, and the order on it.
TEST_F(CustomerResendTest, ARenamedResendAfterTheOfficesChangeIsOneCustomer)
{
    struct Edit {
        const char* name;
        const char* edit;  // the office's customer edit, ADDRESS and CONTACT standing for the rows' ids
        const char* holds; // what the stored customer holds after the re-send
        const char* gone;  // what it no longer holds, or nothing
    } edits[] = {
        {"the office renames it", R"({"fields": {"customerName": "Initech Holdings"}})", "|Initech Inc|\n",
         "Initech Holdings"},
        {"the office gives it a number", R"({"fields": {"customerInfoId": "C-77"}})", "C-77|Initech Inc|\n", nullptr},
        {"the office changes its address row's street",
         R"({"addresses": {"ADDRESS": {"address": "1 First Street, Suite 5"}}})", "|1 First Street, Suite 5|62701|",
         nullptr},
        {"the office changes its address row's zip", R"({"addresses": {"ADDRESS": {"zip_code": "62799"}}})",
         "|1 First Street|62799|", nullptr},
        {"the office changes its contact", R"({"contacts": {"CONTACT": {"mobilePhone": "555-0199"}}})",
         "|Bill|Lumbergh|555-0199|", nullptr},
        {"the office changes its street", R"({"attributes": {"14": "9 Other Way"}})", "|14|9 Other Way|", "2 Side St"},
        {"the office deletes its address row", R"({"addresses": {"ADDRESS": null}})", "|Initech Inc|\n",
         "1 First Street"},
        {"the office deletes its contact", R"({"contacts": {"CONTACT": null}})", "|Initech Inc|\n", "Lumbergh"},
    };
    for (const auto& e : edits) {
        for (bool syncBefore : {false, true}) {
            SCOPED_TRACE(std::string(e.name) + (syncBefore ? ", a sync before the retry" : ", no sync"));
            ASSERT_TRUE(backend().reset());
            freshDevice("dev-1");
            const int local = newCustomerWithOrder("Initech", "2 Side St", "555-USER", true);
            ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
            EXPECT_EQ(submitOrders(), "999");
            ASSERT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Initech"}));
            const base::Value copy = onServer(9002);
            ASSERT_EQ(copy["addresses"].asArray().size(), 1u);
            ASSERT_EQ(copy["contacts"].asArray().size(), 1u);
            std::string office = e.edit;
            for (const auto& [key, id] : {std::pair{"ADDRESS", copy["addresses"].asArray()[0]["id"].toString()},
                                   std::pair{"CONTACT", copy["contacts"].asArray()[0]["contactId"].toString()}})
                if (auto at = office.find(key); at != std::string::npos)
                    office.replace(at, std::string(key).size(), id);
            office.insert(1, R"("customerId": 9002, )");
            ASSERT_TRUE(backend().control(R"({"customerEdits": [)" + office + "]}"));
            if (syncBefore)
                sync();
            edit(local, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
                groups.customerCompanyData()[0].customerAttributes[0].value = "Initech Inc";
            });
            EXPECT_EQ(submitOrders(), "200");

            EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Initech Inc"}));
            EXPECT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9002});
            const std::string stored = serverBrief(9002);
            EXPECT_NE(stored.find(e.holds), std::string::npos) << stored;
            if (e.gone) {
                EXPECT_EQ(stored.find(e.gone), std::string::npos) << stored;
            }
            EXPECT_EQ(serverValue(9002, 11), "555-USER");
            EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), "9002|1|\n");
            EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id < 0"), 0);

            // After a sync, this device holds the customer as a fresh device does.
            sync();
            const std::string held = onDevice(9002);
            EXPECT_NE(held.find("|Initech Inc|"), std::string::npos) << held;
            freshDevice("dev-3");
            EXPECT_EQ(onDevice(9002), held);
        }
    }
}

// Two tablets of one account each make a customer of the same name, both numbered -1: each is a
// customer of its own with its own values, and each tablet's order is on its own customer, also
// when the other tablet's upload comes between one's lost answer and its re-send.
TEST_F(CustomerResendTest, TwoTabletsOfOneAccountKeepTheirCustomersApart)
{
    for (bool lostBetween : {false, true}) {
        SCOPED_TRACE(lostBetween ? "the other tablet uploads between a lost answer and its re-send"
                                 : "one tablet after the other");
        ASSERT_TRUE(backend().reset());
        freshDevice("dev-1");
        ASSERT_EQ(newCustomerWithOrder("Initech", "1 One St", "555-ONE", false), -1);
        int other = 0;
        if (lostBetween) {
            ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
            EXPECT_EQ(submitOrders(), "999");
            other = otherTabletUploads("Initech", "2 Two St", "555-TWO");
            // A number from the office keeps the first tablet from taking the stored copy as it is.
            ASSERT_TRUE(backend().control(R"({"customerEdits": [{"customerId": 9002, "fields": {"customerInfoId": "C-1"}}]})"));
        }
        EXPECT_EQ(submitOrders(), "200");
        EXPECT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9002});
        if (!lostBetween) {
            freshDevice("dev-2");
            ASSERT_EQ(newCustomerWithOrder("Initech", "2 Two St", "555-TWO", false), -1);
            EXPECT_EQ(submitOrders(), "200");
            other = count("select customer_id from brivanta_quote_order");
            EXPECT_EQ(orderCustomersOnServer(), (std::vector<int64_t>{9002, other}));
        }

        EXPECT_EQ(other, 9003);
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Initech", "Initech"}));
        EXPECT_EQ(serverValue(9002, 11) + "|" + serverValue(9002, 14), "555-ONE|1 One St");
        EXPECT_EQ(serverValue(other, 11) + "|" + serverValue(other, 14), "555-TWO|2 Two St");
    }
}

// The same device, session and all, uploads another customer at the local id its first one had:
// another customer in every field is a customer of its own, and the first keeps every value and
// its order.
TEST_F(CustomerResendTest, AnotherCustomerAtALocalIdItsDeviceUsedBeforeIsACustomerOfItsOwn)
{
    ASSERT_TRUE(backend().reset());
    freshDevice("dev-1");
    const int local = newCustomerWithOrder("Alpha", "1 Alpha Rd", "555-ALPHA", true);
    EXPECT_EQ(submitOrders(), "200");
    ASSERT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9002});
    const std::string alpha = serverBrief(9002);
    ASSERT_NE(alpha.find("|Alpha|"), std::string::npos) << alpha;
    ASSERT_FALSE(thisDevicesSession().empty());

    const base::Value beta = customerUpload(local, "Beta", phoneAndStreet(local, "555-BETA", "9 Beta Ave"));
    EXPECT_EQ(uploadWith(thisDevicesSession(), beta), 9003);
    EXPECT_EQ(serverBrief(9002), alpha);
    EXPECT_EQ(onServer(9003)["customerName"].toString(), "Beta");
    EXPECT_EQ(serverValue(9003, 11) + "|" + serverValue(9003, 14), "555-BETA|9 Beta Ave");
    EXPECT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9002});
}

// Tablets A and B of one account each upload a "Twin" at the same local id; A's answer is lost.
// A renames its Twin and, logged in offline with no session, sends it again from the customer
// pane, B's sync coming between A's and A's upload. Nothing A's upload shows names A, so it is
// stored as new: B's customer keeps its phone and street, A's first copy stays as it was, and
// A's order goes to the customer A sent.
TEST_F(CustomerResendTest, ATabletsResendWithoutASessionNeverLandsOnAnotherTabletsCustomer)
{
    ASSERT_TRUE(backend().reset());
    freshDevice("dev-1");
    const int local = newCustomerWithOrder("Twin", "1 One St", "555-A", false);
    ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
    EXPECT_EQ(submitOrders(), "999");
    EXPECT_EQ(otherTabletUploads("Twin", "2 Two St", "222", local), 9003);
    // A number from the office keeps tablet A from taking the stored copy as it is.
    ASSERT_TRUE(backend().control(R"({"customerEdits": [{"customerId": 9002, "fields": {"customerInfoId": "C-1"}}]})"));
    edit(local, [](CustomerInfoView&, CustomerInfoGroupData& groups) {
        groups.customerCompanyData()[0].customerAttributes[0].value = "Twin Renamed";
    });
    // A new run of tablet A, logged in offline: the session of its last online login is gone.
    BRHTTPRequest::clearSession();
    LoginMode::sharedInstance()->setLoginType(2);

    // A's upload held at the back end while tablet B syncs.
    const int held = faultUsed("520");
    ASSERT_TRUE(backend().setFault("520", "delay", 1, R"("seconds": 3)"));
    m_uploads.clear();
    CustomerDataModel::sharedInstance()->submitCustomer(local);
    ASSERT_TRUE(runUntil([&] { return faultUsed("520") > held; }));
    post("SyncServer;", base::Dictionary{{"methodName", "syncData"}, {"accountId", "alice"}, {"clientId", "AcmeCo"},
                                         {"deviceId", "dev-2"}, {"syncType", "customer"}, {"isFull", "false"}});
    ASSERT_TRUE(runUntil([&] { return !m_uploads.empty(); }));
    EXPECT_EQ(m_uploads, std::vector<bool>{true});
    EXPECT_EQ(submitOrders(), "200");

    EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Twin", "Twin", "Twin Renamed"}));
    EXPECT_EQ(onServer(9003)["customerName"].toString() + "|" + serverValue(9003, 11) + "|" + serverValue(9003, 14),
              "Twin|222|2 Two St");
    EXPECT_EQ(onServer(9002)["customerName"].toString() + "|" + serverValue(9002, 11) + "|" + serverValue(9002, 14),
              "Twin|555-A|1 One St");
    const std::vector<int64_t> orders = orderCustomersOnServer();
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(onServer(int(orders[0]))["customerName"].toString() + "|" + serverValue(int(orders[0]), 11),
              "Twin Renamed|555-A");
}

} // namespace customerresend
