// A customer upload whose answer was lost: the server's copy is found and taken with its orders,
// never another device's customer, and an upload whose record cannot be kept is not sent.
#include "tests/Classes/Customer/CustomerEditSyncSupport.h"

namespace {

using namespace customersync;

// A local customer's upload whose answer never came, then a rename, then the next Submit:
// the server holds the customer once, with the new name.
TEST_F(CustomerEditSyncTest, ACustomerSentAgainAfterALostAnswerIsStoredOnce)
{
    struct Case {
        const char* name;
        const char* fault;
        const char* detail;
        bool stored; // whether the server had stored the first upload
        bool restartBetween;
    } cases[] = {
        {"the answer held past the time-out", "delay", R"("seconds": 24)", true, false},
        {"the connection lost before the server read it, then a restart", "drop", "", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local =
            CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Initech", "2 Side St");
        ASSERT_LT(local, 0);
        storedOrder(local, "Initech");
        ASSERT_TRUE(backend().setFault("520", c.fault, 1, c.detail));
        EXPECT_EQ(submitOrders(), "999");
        if (c.stored) {
            ASSERT_TRUE(runUntil([&] { return serverNames().size() == 2; }, 60));
        }
        EXPECT_EQ(serverNames().size(), c.stored ? 2u : 1u);
        if (c.restartBetween) {
            restart();
            LoginMode::sharedInstance()->setLoginType(1);
            CustomerDataModel::installOrderUploadHook();
        }
        screen().settingsSwitchChanged();

        edit(local, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
            groups.customerCompanyData()[0].customerAttributes[0].value = "Initech Renamed";
        });
        EXPECT_EQ(submitOrders(), "200");
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Initech Renamed"}));
        const int server = count("select customer_id from brivanta_customer where customer_name = 'Initech Renamed'");
        EXPECT_GT(server, 9001);
        EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id < 0"), 0);
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), std::to_string(server) + "|1|\n");
        EXPECT_EQ(changes(server), 0);
        EXPECT_EQ(count("select count(*) from brivanta_customer_sent"), 0);
        const std::string onDevice = customer(server);

        secondDevice();
        EXPECT_EQ(rows("select customer_name from brivanta_customer order by customer_id"),
                  "Globex|\nInitech Renamed|\n");
        EXPECT_EQ(customer(server), onDevice);
        dropScreen();
    }
}

// A local customer's upload whose answer was lost, then a sync that brings the server's copy
// before the next Submit: the server and every device hold the customer once, with its latest
// name and its order.
TEST_F(CustomerEditSyncTest, ALostUploadThatASyncBroughtBackIsStoredOnce)
{
    struct Case {
        const char* name;
        bool fullSync;
        bool rename;
        bool restartBetween;
        bool twinBefore; // another customer of the same name and texts, uploaded before
    } cases[] = {
        {"a change-set sync", false, false, false, false},
        {"a rename and a change-set sync", false, true, false, false},
        {"a rename and a full sync", true, true, false, false},
        {"a restart, a change-set sync and a rename", false, true, true, false},
        {"a twin uploaded before, a change-set sync and a rename", false, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        std::vector<std::string> earlier{"Globex"};
        int twin = 0;
        if (c.twinBefore) {
            upload(CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Renco", "2 Side St"));
            twin = count("select customer_id from brivanta_customer where customer_name = 'Renco'");
            ASSERT_GT(twin, 9001);
            earlier.push_back("Renco");
        }
        auto withName = [&](const std::string& name) {
            auto names = earlier;
            names.push_back(name);
            std::sort(names.begin(), names.end());
            return names;
        };
        const auto uploadsBefore = logged("520").size();
        const int local =
            CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Renco", "2 Side St");
        ASSERT_LT(local, 0);
        storedOrder(local, "Renco");
        // The server stores the upload; its answer breaks off on the way.
        ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
        EXPECT_EQ(submitOrders(), "999");
        ASSERT_EQ(serverNames(), withName("Renco"));
        if (c.restartBetween) {
            restart();
            LoginMode::sharedInstance()->setLoginType(1);
            CustomerDataModel::installOrderUploadHook();
        }
        if (c.fullSync)
            base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
        sync();
        ASSERT_EQ(count("select count(*) from brivanta_customer where customer_name = 'Renco'"), int(earlier.size()) + 1)
            << "the server's copy beside the local customer";
        const std::string name = c.rename ? "Renco Renamed" : "Renco";
        if (c.rename) {
            screen().settingsSwitchChanged();
            edit(local, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
                groups.customerCompanyData()[0].customerAttributes[0].value = name;
            });
        }
        EXPECT_EQ(submitOrders(), "200");

        EXPECT_EQ(serverNames(), withName(name));
        // A server that keeps every copy it is sent would hold a second one of any new upload.
        int sentAsNew = 0;
        const auto uploads = logged("520");
        for (const auto& sent : std::vector(uploads.begin() + uploadsBefore, uploads.end()))
            for (const auto& row : sent["syncData"]["brivanta_customer"].asArray())
                sentAsNew += row["customer_id"].toInt() < 0;
        EXPECT_EQ(sentAsNew, 1) << "only the upload whose answer was lost";
        const int server = count("select customer_id from brivanta_customer where customer_name = '" + name
                                 + "' and customer_id != " + std::to_string(twin));
        EXPECT_GT(server, std::max(twin, 9001));
        // Listed by id: a twin made before keeps its own.
        const std::string listed = c.twinBefore ? "Globex|\nRenco|\n" : "Globex|\n";
        std::vector<int64_t> orderCustomers;
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& order : state["orders"].asArray())
            if (order["source"].toString() == "upload")
                orderCustomers.push_back(order["customerId"].toInt());
        EXPECT_EQ(orderCustomers, std::vector<int64_t>{server});
        EXPECT_EQ(rows("select customer_name from brivanta_customer order by customer_id"), listed + name + "|\n");
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), std::to_string(server) + "|1|\n");
        EXPECT_EQ(changes(server), 0);
        EXPECT_EQ(count("select count(*) from brivanta_customer_sent"), 0);
        const std::string onDevice = customer(server);
        EXPECT_NE(onDevice.find("2 Side St|"), std::string::npos) << onDevice;

        secondDevice();
        EXPECT_EQ(rows("select customer_name from brivanta_customer order by customer_id"), listed + name + "|\n");
        EXPECT_EQ(customer(server), onDevice);
        dropScreen();
    }
}

// The order editor's new customer, its upload stored by the server but its answer lost, beside
// customers of the same name that other devices send before and after it: the next Submit
// finds the copy this upload made and no other, whatever it differs in, and none is changed.
TEST_F(CustomerEditSyncTest, ALostUploadIsMatchedOnlyToItsOwnCopy)
{
    struct Case {
        const char* name;
        // Another device's Renco before the upload: its phone and street ("" for none).
        const char* olderPhone;
        const char* olderStreet;
        bool olderHeld; // this device synced it before making its own
        // Another device's Renco after the lost upload.
        const char* laterPhone;
        const char* laterStreet;
        bool syncBefore; // a sync between the lost upload and the Submit
        bool stored = true; // the server stored the upload before its answer was lost
    } cases[] = {
        {"another device's Renco after it, then a sync", "", "", false, "222", "99 Other Rd", true},
        {"another device's Renco after it, no sync", "", "", false, "222", "99 Other Rd", false},
        {"stored nowhere, another device's Renco after it, then a sync", "", "", false, "222", "99 Other Rd", true,
         false},
        {"an older Renco the device never held, alike in everything", "111", "7 Chain Ave", false, "", "", false},
        {"an older Renco the device never held, another phone, then a sync", "222", "7 Chain Ave", false, "", "",
         true},
        {"an older Renco alike in everything, held, and a later one alike", "111", "7 Chain Ave", true, "111",
         "7 Chain Ave", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        int older = 0, later = 0;
        if (*c.olderStreet) {
            older = otherDeviceUploads("Renco", c.olderPhone, c.olderStreet);
            if (c.olderHeld)
                sync();
        }
        const int local = newCustomerFromOrderEditor("Renco", "7 Chain Ave", "111");
        // The server stores the upload and its answer breaks off on the way, or the connection
        // is lost before the server reads it.
        ASSERT_TRUE(c.stored ? backend().setFault("520", "truncate", 1, R"("fraction": 0.5)")
                             : backend().setFault("520", "drop", 1));
        EXPECT_EQ(submitOrders(), "999");
        int mine = older ? older + 1 : 9002;
        if (c.stored) {
            ASSERT_EQ(onServer(mine)["customerName"], base::Value("Renco"));
        }
        if (*c.laterStreet)
            later = otherDeviceUploads("Renco", c.laterPhone, c.laterStreet);
        if (!c.stored)
            mine = later + 1; // sent again after the later one
        if (c.syncBefore)
            sync();
        EXPECT_EQ(submitOrders(), "200");

        // The server: each Renco as its own device sent it, the order on this device's.
        EXPECT_EQ(orderCustomersOnServer(), std::vector<int64_t>{mine});
        EXPECT_EQ(serverValue(mine, 11) + "|" + serverValue(mine, 14), "111|7 Chain Ave");
        for (auto [other, phone, street] : {std::tuple{older, c.olderPhone, c.olderStreet},
                                            std::tuple{later, c.laterPhone, c.laterStreet}}) {
            if (other) {
                EXPECT_EQ(onServer(other)["customerName"], base::Value("Renco"));
                EXPECT_EQ(serverValue(other, 11) + "|" + serverValue(other, 14), std::string(phone) + "|" + street);
            }
        }
        std::vector<std::string> names{"Globex", "Renco"};
        for (int other : {older, later})
            if (other)
                names.push_back("Renco");
        EXPECT_EQ(serverNames(), names);
        // The device: the local customer became this upload's copy, its order with it.
        EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id < 0"), 0);
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), std::to_string(mine) + "|1|\n");
        EXPECT_EQ(count("select count(*) from brivanta_customer_sent"), 0);
        EXPECT_NE(customer(mine).find("Phone|111|"), std::string::npos) << customer(mine);
        EXPECT_EQ(changes(mine), 0);
        (void)local;
        dropScreen();
    }
}

// The order editor's new customer, its upload stored as 9002 but its answer lost; the office then
// gives 9002 another phone and a level before the device tries again, with a sync in between or
// not. What the office changed stays, what the user changed since goes on top, the order goes on
// the customer, and no customer is ever overwritten: not when the device cannot tell its copy
// from another device's customer and sends it again, and not against a back end that stores
// every upload it is sent as a customer of its own.
TEST_F(CustomerEditSyncTest, AnOfficeChangeToALostUploadsCopyIsKept)
{
    struct Case {
        const char* name;
        bool syncBefore;
        bool storeEvery;       // the back end makes a customer of every upload, re-sends too
        bool twinAfter;        // another device's customer of that name and street, after the upload
        const char* userPhone; // the user's phone since the upload, or nothing
    } cases[] = {
        {"no sync before the retry", false, false, false, nullptr},
        {"a sync before the retry", true, false, false, nullptr},
        {"the user's phone since, no sync", false, false, false, "555-MINE"},
        {"the user's phone since, a sync", true, false, false, "555-MINE"},
        {"a back end that stores every upload, no sync", false, true, false, nullptr},
        {"a back end that stores every upload, a sync, the user's phone", true, true, false, "555-MINE"},
        {"sent again beside another device's twin", false, false, true, nullptr},
        {"sent again beside another device's twin, a sync, the user's phone", true, false, true, "555-MINE"},
        {"sent again to a back end that stores every upload", true, true, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        if (c.storeEvery) {
            ASSERT_TRUE(backend().setPerRun(R"("storeEveryUpload": true)"));
        }
        const int local = newCustomerFromOrderEditor("Initech", "2 Side St", "555-USER");
        ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
        EXPECT_EQ(submitOrders(), "999");
        ASSERT_EQ(onServer(9002)["customerName"], base::Value("Initech"));
        ASSERT_TRUE(backend().control(
            R"({"customerEdits": [{"customerId": 9002, "attributes": {"11": "555-OFFICE", "4": "Silver"}}]})"));
        const int twin = c.twinAfter ? otherDeviceUploads("Initech", "555-BOB", "2 Side St") : 0;
        if (c.syncBefore)
            sync();
        if (c.userPhone) {
            screen().settingsSwitchChanged();
            edit(local, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
                set(groups.customerCompanyData()[0], "Phone", c.userPhone);
            });
        }
        EXPECT_EQ(submitOrders(), "200");

        // Only a customer sent again to a back end that stores every upload is doubled; the order
        // is then on the new one, and the first keeps what the office gave it.
        const bool doubled = c.storeEvery && c.twinAfter;
        const std::string phone = c.userPhone ? c.userPhone : doubled ? "555-USER" : "555-OFFICE";
        const std::vector<int64_t> orders = orderCustomersOnServer();
        ASSERT_EQ(orders.size(), 1u);
        const int mine = int(orders[0]);
        EXPECT_EQ(mine, doubled ? twin + 1 : 9002);
        EXPECT_EQ(serverValue(9002, 11) + "|" + serverValue(9002, 4), (doubled ? "555-OFFICE" : phone) + "|Silver");
        if (doubled) {
            EXPECT_EQ(serverValue(mine, 11) + "|" + serverValue(mine, 4), phone + "|-");
        }
        if (twin) {
            EXPECT_EQ(serverValue(twin, 11) + "|" + serverValue(twin, 14), "555-BOB|2 Side St");
        }
        std::vector<std::string> names{"Globex", "Initech"};
        for (bool more : {twin != 0, doubled})
            if (more)
                names.push_back("Initech");
        EXPECT_EQ(serverNames(), names);
        EXPECT_EQ(serverValue(mine, 14), "2 Side St");

        // This device, and another one after a full sync, hold the customer as the server does.
        EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id < 0"), 0);
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), std::to_string(mine) + "|1|\n");
        EXPECT_EQ(count("select count(*) from brivanta_customer_sent"), 0);
        sync();
        const std::string onDevice = customer(mine);
        EXPECT_NE(onDevice.find("Phone|" + phone + "|"), std::string::npos) << onDevice;
        EXPECT_EQ(onDevice.find("Level|Silver|") != std::string::npos, !doubled) << onDevice;
        EXPECT_EQ(changes(mine), 0);
        secondDevice();
        EXPECT_EQ(customer(mine), onDevice);
        const std::string first = customer(9002);
        EXPECT_NE(first.find("Phone|" + (doubled ? std::string("555-OFFICE") : phone) + "|"), std::string::npos) << first;
        EXPECT_NE(first.find("Level|Silver|"), std::string::npos) << first;
        dropScreen();
    }
}

// A lost upload the server never stored, and another device's customer made after it that holds
// the same in every field but one that tells customers apart: that customer is never taken for
// the copy; the upload goes again and the other customer stays as its device sent it.
TEST_F(CustomerEditSyncTest, ALostUploadIsNotTakenForACustomerThatDiffersInWhatTellsThemApart)
{
    struct Case {
        const char* name;
        std::function<void(base::Dictionary& customer, base::Dictionary& address, base::Dictionary& contact)> differ;
        const char* field; // the other customer's differing value, as the server holds it
    } cases[] = {
        {"its customer number",
         [](base::Dictionary& customer, base::Dictionary&, base::Dictionary&) {
             customer.set("customer_info_id", base::Value("C-77"));
         },
         "C-77"},
        {"the zip of its address",
         [](base::Dictionary&, base::Dictionary& address, base::Dictionary&) {
             address.set("zip_code", base::Value("62702"));
         },
         "62702"},
        {"the street of its address",
         [](base::Dictionary&, base::Dictionary& address, base::Dictionary&) {
             address.set("address", base::Value("9 Other Way"));
         },
         "9 Other Way"},
        {"the e-mail of its contact",
         [](base::Dictionary&, base::Dictionary&, base::Dictionary& contact) {
             contact.set("email", base::Value("bob@other.test"));
         },
         "bob@other.test"},
        {"the name of its contact",
         [](base::Dictionary&, base::Dictionary&, base::Dictionary& contact) {
             contact.set("first_name", base::Value("Robert"));
         },
         "Robert"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local = newCustomerFromOrderEditor("Initech", "2 Side St", "555-USER");
        edit(local, [&](CustomerInfoView& pane, CustomerInfoGroupData& groups) {
            pane.addAddress();
            set(groups.customerCompanyData().back(), "address", "1 First Street");
            set(groups.customerCompanyData().back(), "zip_code", "62701");
            pane.addConctact();
            set(groups.customerContactData().back(), "first_name", "Ann");
            set(groups.customerContactData().back(), "last_name", "Lee");
            set(groups.customerContactData().back(), "email", "ann@initech.test");
        });
        ASSERT_TRUE(backend().setFault("520", "drop", 1));
        EXPECT_EQ(submitOrders(), "999");
        ASSERT_EQ(serverNames(), std::vector<std::string>{"Globex"});
        // The other device's upload: this one's as it went, with that one difference.
        const auto sent = logged("520");
        ASSERT_FALSE(sent.empty());
        base::Value document = sent.back()["syncData"];
        ASSERT_TRUE(document["brivanta_customer"].isArray());
        ASSERT_EQ(document["brivanta_customer"].asArray().size(), 1u);
        ASSERT_TRUE(document["brivanta_customer_address"].isArray());
        ASSERT_EQ(document["brivanta_customer_address"].asArray().size(), 1u);
        ASSERT_TRUE(document["brivanta_customer_contact"].isArray());
        ASSERT_EQ(document["brivanta_customer_contact"].asArray().size(), 1u);
        c.differ(document.asDictionary().find("brivanta_customer")->asArray()[0].asDictionary(),
                 document.asDictionary().find("brivanta_customer_address")->asArray()[0].asDictionary(),
                 document.asDictionary().find("brivanta_customer_contact")->asArray()[0].asDictionary());
        const int other = otherDeviceSends(document);
        ASSERT_EQ(other, 9002);
        const std::string othersBefore = serverCustomer(other);
        ASSERT_NE(othersBefore.find(c.field), std::string::npos) << othersBefore;
        sync();
        EXPECT_EQ(submitOrders(), "200");

        ASSERT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9003});
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Initech", "Initech"}));
        EXPECT_EQ(serverCustomer(other), othersBefore);
        EXPECT_EQ(serverCustomer(9003).find(c.field), std::string::npos) << serverCustomer(9003);
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), "9003|1|\n");
        EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id < 0"), 0);
        dropScreen();
    }
}

// The office changes the copy of a lost upload after a sync brought it, its name too; the next
// Submit finds it among the customers the device holds and sends nothing again. From then on
// the device shows what the server holds, with only what the user changed since the upload on
// top, at once and through the next sync.
TEST_F(CustomerEditSyncTest, AHeldCopyTakenForALostUploadShowsTheOfficesLaterValues)
{
    struct Case {
        const char* name;
        const char* renamedTo;  // the user's rename after the upload, or nothing
        const char* officeName; // the office's rename of the copy, or nothing
    } cases[] = {
        {"nothing changed since the upload", nullptr, nullptr},
        {"renamed since the upload", "Renco Works", nullptr},
        {"renamed by the office", nullptr, "Renco Holdings"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local = newCustomerFromOrderEditor("Renco", "7 Chain Ave", "111");
        ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
        EXPECT_EQ(submitOrders(), "999");
        sync();
        ASSERT_EQ(count("select count(*) from brivanta_customer where customer_id = 9002"), 1) << "held";
        const auto uploadsBefore = logged("520").size();
        // The office's later values: another phone and a Level, and the name it was given.
        std::string officeEdit = R"({"customerId": 9002, "attributes": {"11": "333", "4": "Gold"})";
        if (c.officeName)
            officeEdit += std::string(R"(, "customerName": ")") + c.officeName + '"';
        ASSERT_TRUE(backend().control(R"({"customerEdits": [)" + officeEdit + "}]}"));
        const std::string name = c.renamedTo ? c.renamedTo : c.officeName ? c.officeName : "Renco";
        if (c.renamedTo) {
            screen().settingsSwitchChanged();
            edit(local, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
                groups.customerCompanyData()[0].customerAttributes[0].value = name;
            });
        }
        EXPECT_EQ(submitOrders(), "200");
        EXPECT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9002});
        EXPECT_EQ(onServer(9002)["customerName"], base::Value(name));
        EXPECT_EQ(serverValue(9002, 11) + "|" + serverValue(9002, 4), "333|Gold");
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", name}));
        int sentAsNew = 0;
        const auto uploads = logged("520");
        for (const auto& sent : std::vector(uploads.begin() + uploadsBefore, uploads.end()))
            for (const auto& row : sent["syncData"]["brivanta_customer"].asArray())
                sentAsNew += row["customer_id"].toInt() < 0;
        EXPECT_EQ(sentAsNew, 0) << "the copy taken, not sent again";
        // Before any sync, the device holds the copy as the server does.
        EXPECT_EQ(rows("select customer_name from brivanta_customer where customer_id = 9002"), name + "|\n");
        EXPECT_NE(customer(9002).find("Phone|333|"), std::string::npos) << customer(9002);
        EXPECT_NE(customer(9002).find("Level|Gold|"), std::string::npos) << customer(9002);
        sync();

        // The customer as the screen shows it.
        screen().settingsSwitchChanged();
        screen().customerList()->selectedCustomer(9002);
        auto& pane = *screen().customerInfo();
        ASSERT_TRUE(pane.personInfo());
        ASSERT_EQ(pane.personInfo()->pid, 9002);
        std::map<std::string, std::string> shown;
        for (const auto& row : pane.customerInfoGroupData().customerCompanyData()[0].customerAttributes)
            shown[row.field] = row.value.value_or("");
        EXPECT_EQ(shown["Phone"], "333");
        EXPECT_EQ(shown["Level"], "Gold");
        EXPECT_NE(customer(9002).find("Address|7 Chain Ave|"), std::string::npos) << customer(9002);
        EXPECT_EQ(rows("select customer_name from brivanta_customer where customer_id = 9002"), name + "|\n");
        EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id < 0"), 0);
        EXPECT_EQ(changes(9002), 0);
        dropScreen();
    }
}

// Two alike customers of this device in one upload whose answer was lost, both stored: each takes
// a copy of its own with its order, whether a sync brought the copies in between or not.
TEST_F(CustomerEditSyncTest, AlikeCustomersOfOneLostUploadEachTakeACopyOfTheirOwn)
{
    for (bool syncBefore : {false, true}) {
        SCOPED_TRACE(syncBefore ? "a sync before the retry" : "no sync before the retry");
        startFreshUploading();
        std::vector<int> locals;
        for (int i = 0; i < 2; ++i) {
            locals.push_back(
                CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Renco", "2 Side St"));
            ASSERT_LT(locals.back(), 0);
            storedOrder(locals.back(), "Renco");
        }
        ASSERT_NE(locals[0], locals[1]);
        ASSERT_EQ(customer(locals[0]), customer(locals[1]));
        ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
        EXPECT_EQ(submitOrders(), "999");
        ASSERT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Renco", "Renco"}));
        if (syncBefore)
            sync();
        EXPECT_EQ(submitOrders(), "200");

        std::vector<int64_t> orders = orderCustomersOnServer();
        std::sort(orders.begin(), orders.end());
        EXPECT_EQ(orders, (std::vector<int64_t>{9002, 9003}));
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Renco", "Renco"}));
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order order by customer_id"),
                  "9002|1|\n9003|1|\n");
        EXPECT_EQ(rows("select customer_id from brivanta_customer where customer_name = 'Renco' order by 1"),
                  "9002|\n9003|\n");
        EXPECT_EQ(count("select count(*) from brivanta_customer_sent"), 0);
        dropScreen();
    }
}

// Rows the user adds to the customer after its upload was lost, with nothing else changed, go up
// on the copy that upload made, whether a sync brought the copy in between or not.
TEST_F(CustomerEditSyncTest, RowsAddedAfterALostUploadGoUpOnItsCopy)
{
    struct Case {
        const char* name;
        bool withAddress; // the customer went up with an address of its own
        bool syncBetween;
    } cases[] = {
        {"no address row sent, no sync in between", false, false},
        {"no address row sent, a sync in between", false, true},
        {"an address row sent, no sync in between", true, false},
        {"an address row sent, a sync in between", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local = newCustomerFromOrderEditor("Renco", "7 Chain Ave", "111");
        if (c.withAddress)
            edit(local, [&](CustomerInfoView& pane, CustomerInfoGroupData& groups) {
                pane.addAddress();
                set(groups.customerCompanyData().back(), "address", "1 First Street");
            });
        ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
        EXPECT_EQ(submitOrders(), "999");
        if (c.syncBetween)
            sync();
        screen().settingsSwitchChanged();
        edit(local, [&](CustomerInfoView& pane, CustomerInfoGroupData& groups) {
            pane.addAddress();
            set(groups.customerCompanyData().back(), "address", "2 Elm Street");
        });
        ASSERT_NE(customer(local).find("2 Elm Street|"), std::string::npos) << customer(local);
        EXPECT_EQ(submitOrders(), "200");

        EXPECT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9002});
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Renco"}));
        std::multiset<std::string> onTheServer;
        const base::Value copy = onServer(9002);
        for (const auto& a : copy["addresses"].asArray())
            onTheServer.insert(a["address"].toString());
        const std::multiset<std::string> wanted =
            c.withAddress ? std::multiset<std::string>{"1 First Street", "2 Elm Street"} : std::multiset<std::string>{"2 Elm Street"};
        EXPECT_EQ(onTheServer, wanted);
        EXPECT_EQ(changes(9002), 0);
        sync();
        EXPECT_EQ(count("select count(*) from brivanta_customer_address where customer_id = 9002"), int(wanted.size()))
            << customer(9002);
        EXPECT_NE(customer(9002).find("2 Elm Street|"), std::string::npos) << customer(9002);
        dropScreen();
    }
}

// The local customer becomes the copy its lost upload made, with its order, and its record of
// the upload is forgotten, all at once or not at all.
TEST_F(CustomerEditSyncTest, ALostUploadsCopyIsTakenWithItsRecordOrNotAtAll)
{
    struct Case {
        const char* name;
        const char* trigger; // a write of the taking that fails
        bool officeChanged;  // the office changed the copy before the retry
    } cases[] = {
        {"the record cannot be forgotten",
         "CREATE TRIGGER refuse BEFORE DELETE ON brivanta_customer_sent BEGIN SELECT RAISE(ABORT, 'busy'); END", false},
        {"the orders cannot be moved",
         "CREATE TRIGGER refuse BEFORE UPDATE ON brivanta_quote_order BEGIN SELECT RAISE(ABORT, 'busy'); END", false},
        {"the orders of a copy the office changed cannot be moved",
         "CREATE TRIGGER refuse BEFORE UPDATE ON brivanta_quote_order BEGIN SELECT RAISE(ABORT, 'busy'); END", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local = newCustomerFromOrderEditor("Renco", "7 Chain Ave", "111");
        ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
        EXPECT_EQ(submitOrders(), "999");
        if (c.officeChanged) {
            ASSERT_TRUE(backend().control(R"({"customerEdits": [{"customerId": 9002, "attributes": {"4": "Silver"}}]})"));
        }
        const std::string before = customer(local);
        const std::string sentBefore = rows("select * from brivanta_customer_sent");
        ASSERT_EQ(count("select count(*) from brivanta_customer_sent"), 1);
        ASSERT_TRUE(m_db->executeUpdate(c.trigger));
        EXPECT_EQ(submitOrders(), "FAILED");
        EXPECT_EQ(customer(local), before);
        EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id = 9002"), 0);
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), std::to_string(local) + "|0|\n");
        EXPECT_EQ(rows("select * from brivanta_customer_sent"), sentBefore) << "kept for the next try";

        ASSERT_TRUE(m_db->executeUpdate("DROP TRIGGER refuse"));
        EXPECT_EQ(submitOrders(), "200");
        EXPECT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9002});
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Renco"}));
        EXPECT_EQ(serverValue(9002, 4), c.officeChanged ? "Silver" : "-");
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), "9002|1|\n");
        EXPECT_EQ(count("select count(*) from brivanta_customer_sent"), 0);
    }
}

// An upload whose record cannot be kept (a table of an older layout, a refused write) is not
// sent: the user hears the failure, the customer and its order stay as they were, and the next
// try, once the record can be kept, sends them.
TEST_F(CustomerEditSyncTest, AnUploadWhoseRecordCannotBeKeptIsNotSent)
{
    const std::string table = "CREATE TABLE brivanta_customer_sent(customer_id INTEGER PRIMARY KEY NOT NULL,"
                              "sent TEXT NOT NULL";
    struct Case {
        const char* name;
        std::vector<std::string> breakIt;
        std::vector<std::string> mendIt;
        bool fromScreen;
    } cases[] = {
        {"a table without the later column, the order's Submit",
         {"DROP TABLE brivanta_customer_sent", table + ")"},
         {"DROP TABLE brivanta_customer_sent", table + ",alike TEXT NOT NULL DEFAULT '')"},
         false},
        {"a write refused, the customer screen's Submit",
         {"CREATE TRIGGER refuse_sent BEFORE INSERT ON brivanta_customer_sent BEGIN SELECT RAISE(ABORT, 'full'); END"},
         {"DROP TRIGGER refuse_sent"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local = newCustomerFromOrderEditor("Renco", "7 Chain Ave", "111");
        const std::string before = customer(local);
        for (const auto& sql : c.breakIt)
            ASSERT_TRUE(m_db->executeUpdate(sql)) << sql;
        const auto sentBefore = logged("520").size();
        if (c.fromScreen) {
            m_uploads.clear();
            CustomerDataModel::sharedInstance()->submitCustomer(local);
            ASSERT_TRUE(runUntil([&] { return !m_uploads.empty(); }));
            EXPECT_EQ(m_uploads, std::vector<bool>{false});
            ASSERT_TRUE(ui::AlertView::visibleAlert());
            EXPECT_EQ(ui::AlertView::visibleAlert()->message(), Language::stringWithName("FAILED"));
            ui::AlertView::dismissAllForTesting();
        } else {
            EXPECT_EQ(submitOrders(), "FAILED");
        }
        EXPECT_EQ(logged("520").size(), sentBefore) << "nothing sent";
        EXPECT_EQ(serverNames(), std::vector<std::string>{"Globex"});
        EXPECT_EQ(customer(local), before);
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), std::to_string(local) + "|0|\n");

        for (const auto& sql : c.mendIt)
            ASSERT_TRUE(m_db->executeUpdate(sql)) << sql;
        EXPECT_EQ(submitOrders(), "200");
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Renco"}));
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), "9002|1|\n");
        dropScreen();
    }
}

} // namespace
