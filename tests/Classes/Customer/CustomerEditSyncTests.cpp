// Edits made on the device against what the server sends meanwhile: the customer screen over a
// client database filled by real customer syncs from the loopback back end (account "alice" of
// fixture S, whose change set "S-globex" changes customer 9001), and the customer upload.
#include "Classes/Customer/CustomerAttributeCell.h"
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Customer/CustomerViewController.h"
#include "Classes/Order/QuoteOrderViewController.h"
#include "Common/ConfigManager.h"
#include "Common/MessageBox.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Network/BRJSON.h"
#include "Network/BRJsonWriter.h"
#include "Common/Language.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TabBarController.h"
#include "Platform/UI/Window.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/SyncModel.h"
#include "tests/Protocol/ProtocolTestSupport.h"

namespace {

using protocoltest::ProtocolTest;

class SyncEnd : public SyncModelDelegate {
public:
    bool ended = false;
    std::string broken;
    void breakSync(const std::string& message) override
    {
        broken = message;
        ended = true;
        SyncModel::sharedInstance()->resetDownloadProgress();
    }
    void finishedSync() override
    {
        ended = true;
        SyncModel::sharedInstance()->resetDownloadProgress();
    }
};

class OrderUploads : public QuoteOrderStoreDelegate {
public:
    std::vector<std::string> statuses;
    void finishedUploadQuoteOrdersMessage(const std::optional<std::string>& status,
                                          const std::optional<std::string>&) override
    {
        statuses.push_back(status.value_or(""));
    }
};

// The first view of that class under the view, depth first.
template <typename T>
T* findView(ui::View& view, const std::function<bool(T&)>& wanted = {})
{
    for (const auto& sub : view.subviews()) {
        if (auto* found = dynamic_cast<T*>(sub.get()); found && (!wanted || wanted(*found)))
            return found;
        if (auto* found = findView<T>(*sub, wanted))
            return found;
    }
    return nullptr;
}

class CustomerEditSyncTest : public ProtocolTest {
protected:
    void SetUp() override
    {
        ProtocolTest::SetUp();
        if (HasFatalFailure())
            return;
        auto login = LoginMode::sharedInstance();
        login->setDeviceID("dev-1");
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        login->setLoginType(-1);
        ui::View::setAnimationsEnabled(false);
        // Customers only: the catalogue and library are beside the point.
        ConfigManager::sharedInstance()->setModelDescArray(
            std::vector<std::string>{"1", "0", "1", "1", "0", "1", "1", "1"});
        open();
        m_observer = base::NotificationCenter::defaultCenter().addObserver(
            CustomerDataModel::kUploadNotification, nullptr,
            [this](const base::Notification& note) { m_uploads.push_back(note.userInfo.toBool()); });
    }
    void TearDown() override
    {
        m_observer = {};
        QuoteOrderStore::setPreUploadHook({});
        close();
        ui::AlertView::dismissAllForTesting();
        ui::View::setAnimationsEnabled(true);
        ConfigManager::freeInstance();
        ProtocolTest::TearDown();
        DataAccessManager::releaseDataModel();
    }
    // As at launch: the database opened from its file, the models and screen made anew.
    void open()
    {
        m_data = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_data->hasModels());
        m_db = BRDatabase::sharedDataBase();
        m_end = std::make_shared<SyncEnd>();
        SyncModel::sharedInstance()->setDelegate(m_end);
    }
    void close()
    {
        m_driver.reset();
        m_tabs.reset();
        m_screen.reset();
        m_window.reset();
        MessageBox::sharedInstance()->dismissAllMsgBox();
        SyncModel::freeInstance();
        CustomerDataModel::freeInstance();
        QuoteOrderStore::freeInstance();
        m_db.reset();
        m_data.reset();
        DataAccessManager::releaseDataModel();
    }
    void restart()
    {
        close();
        open();
    }
    void sync()
    {
        m_end->ended = false;
        SyncModel::sharedInstance()->startSync();
        ASSERT_TRUE(runWhileServed("the sync's end", [&] { return m_end->ended; }));
        ASSERT_EQ(m_end->broken, "");
    }
    void upload(int customerId)
    {
        m_uploads.clear();
        CustomerDataModel::sharedInstance()->submitCustomer(customerId);
        ASSERT_TRUE(runUntil([&] { return !m_uploads.empty(); }));
        ASSERT_EQ(m_uploads, std::vector<bool>{true});
    }
    CustomerViewController& screen()
    {
        if (!m_screen) {
            m_window = std::make_shared<ui::Window>();
            m_window->makeKeyAndVisible();
            m_screen = std::make_shared<CustomerViewController>();
            m_window->setRootViewController(m_screen);
            m_driver = std::make_unique<ui::Driver>(*m_window);
        }
        return *m_screen;
    }
    // What the user does on the customer pane: Edit, the changes, Done.
    void edit(int customerId, const std::function<void(CustomerInfoView&, CustomerInfoGroupData&)>& change)
    {
        screen().customerList()->selectedCustomer(customerId);
        auto& pane = *screen().customerInfo();
        ASSERT_TRUE(pane.personInfo());
        ASSERT_EQ(pane.personInfo()->pid, customerId);
        pane.customerInfoViewEdit();
        ASSERT_EQ(pane.customerType(), 1);
        change(pane, pane.customerInfoGroupData());
        pane.customerInfoViewDone();
        ASSERT_EQ(pane.customerType(), 0) << "stored";
    }
    static void set(brivanta_customer_group_Entity& group, const std::string& field, const std::string& value)
    {
        for (auto& row : group.customerAttributes)
            if (row.field == field)
                row.value = value;
    }
    std::string rows(const std::string& sql)
    {
        std::string text;
        auto rs = m_db->executeQuery(sql);
        while (rs && rs->next()) {
            for (int i = 0; i < rs->columnCount(); ++i)
                text += rs->stringForColumnIndex(i).value_or("NULL") + "|";
            text += "\n";
        }
        return text;
    }
    // The customer as the device holds it, ids left out: what the user sees.
    std::string customer(int id)
    {
        std::string key = std::to_string(id);
        return rows("select customer_name, hidden from brivanta_customer where customer_id = " + key)
            + rows("select f.field_name, a.attribute_value from brivanta_customer_attribute a left join "
                   "brivanta_fields_customer_attribute f on f.field_id = a.attribute_fields_id where a.customer_id = "
                   + key + " order by 1, 2")
            + rows("select address, city, state, zip_code, isDefault from brivanta_customer_address where customer_id = "
                   + key + " order by 1")
            + rows("select first_name, last_name, job_title, work_phone, mobile_phone, email, im, note from "
                   "brivanta_customer_contact where customer_id = " + key + " order by 1, 3");
    }
    int count(const std::string& sql) { return m_db->intForQuery(sql); }
    int changes(int customerId) { return m_data->customerModel()->customerChangeCount(customerId); }
    // The customer as the back end holds it: its name and addresses.
    base::Value onServer(int customerId)
    {
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& customer : state["serverCustomers"].asArray())
            if (customer["customerId"].toInt() == customerId)
                return customer;
        return {};
    }
    int storedOrder(int customerId, const std::string& name)
    {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerId(customerId);
        order->setCurrency("USD");
        int id = m_data->saveQuoteOrder(order);
        EXPECT_NE(id, 0);
        // Order numbers are made from the second.
        base::RunLoop::main().runUntil([] { return false; }, 1.05);
        return id;
    }
    // Submit of every unsent order, as the order list starts it; the store's answer status.
    std::string submitOrders()
    {
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        store->setDelegate(m_orders);
        m_orders->statuses.clear();
        if (!store->startUploadQuoteOrder(0))
            return "not started";
        if (!runUntil([&] { return !m_orders->statuses.empty(); }))
            return "no answer";
        return m_orders->statuses.front();
    }
    // The customer tab beside a second tab whose navigation stack can hold an order editor.
    void showTabs()
    {
        m_window = std::make_shared<ui::Window>();
        m_window->makeKeyAndVisible();
        m_screen = std::make_shared<CustomerViewController>();
        m_screen->setTitle("Customers tab");
        m_other = std::make_shared<ui::ViewController>();
        m_other->setTitle("Other tab");
        m_otherNav = std::make_shared<ui::NavigationController>(m_other);
        m_otherNav->setTitle("Other tab");
        m_tabs = std::make_shared<ui::TabBarController>();
        m_tabs->setViewControllers({m_screen, m_otherNav});
        m_window->setRootViewController(m_tabs);
        m_driver = std::make_unique<ui::Driver>(*m_window);
        m_window->layoutIfNeeded();
    }
    void tapTab(const std::string& title)
    {
        m_window->layoutIfNeeded();
        ASSERT_TRUE(m_driver->tapText(title)) << title;
        m_window->layoutIfNeeded();
    }
    CustomerInfoViewHiddenCell* hideAndSubmitBar()
    {
        m_window->layoutIfNeeded();
        return findView<CustomerInfoViewHiddenCell>(*screen().customerInfo());
    }

    // The server as the fixture has it (and the office's change set, when named), and this
    // device after its first full sync.
    void startFresh(const char* changeSet = nullptr)
    {
        ASSERT_TRUE(backend().reset());
        if (changeSet) {
            ASSERT_TRUE(backend().applyChangeSet(changeSet));
        }
        secondDevice();
    }
    // A fresh start, as a login that uploads its orders.
    void startFreshUploading()
    {
        startFresh();
        LoginMode::sharedInstance()->setLoginType(1);
        CustomerDataModel::installOrderUploadHook();
    }
    // The customer screen let go, for the next case to make its own.
    void dropScreen()
    {
        m_driver.reset();
        m_screen.reset();
        m_window.reset();
    }
    // What another device holds after its first full sync: the database emptied of customers
    // and orders, then a full sync.
    void secondDevice()
    {
        wipeCustomers();
        sync();
    }
    // How often the back end has taken up a fault of that target.
    int faultUsed(const std::string& target)
    {
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        int used = 0;
        for (const auto& fault : state["faults"].asArray())
            if (fault["target"].toString() == target)
                used += int(fault["used"].toInt());
        return used;
    }
    void wipeCustomers()
    {
        for (const char* table : {"brivanta_customer", "brivanta_customer_address", "brivanta_customer_attribute",
                                  "brivanta_customer_contact", "brivanta_customer_unsent", "brivanta_customer_changed",
                                  "brivanta_customer_sent", "brivanta_quote_order", "brivanta_quote_order_item"})
            ASSERT_TRUE(m_db->executeUpdate(std::string("DELETE FROM ") + table));
        base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
        CustomerDataModel::sharedInstance()->reloadCustomerData();
    }
    // The primary rows of a customer on the device.
    std::string primaries(int customerId)
    {
        std::string key = std::to_string(customerId);
        return rows("select 'address ' || id from brivanta_customer_address where isDefault = 1 and customer_id = " + key)
            + rows("select 'contact ' || contact_id from brivanta_customer_contact where isDefault = 1 and customer_id = "
                   + key);
    }
    // The check box of a group, as the user ticks it while viewing the customer.
    void tapPrimary(int customerId, int indexId, int type)
    {
        screen().customerList()->selectedCustomer(customerId);
        m_window->layoutIfNeeded();
        auto& pane = *screen().customerInfo();
        // Scrolled until the group's check box is where a finger reaches it.
        CustomerInfoGroupView* header = nullptr;
        auto reachable = [&](CustomerInfoGroupView& view) {
            if (view.indexId != indexId || view.type != type)
                return false;
            const auto& box = view.btnSelect();
            return m_window->hitTest(box.convertPointToView({box.bounds().midX(), box.bounds().midY()}, nullptr)) == &box;
        };
        auto table = pane.tableCustomerInfo();
        for (int section = 0; !header && section < table->numberOfSections(); ++section) {
            for (auto position : {ui::TableViewScrollPosition::Middle, ui::TableViewScrollPosition::Bottom}) {
                table->scrollToRowAtIndexPath({section, 0}, position, false);
                m_window->layoutIfNeeded();
                if ((header = findView<CustomerInfoGroupView>(*table, reachable)))
                    break;
            }
        }
        ASSERT_TRUE(header);
        ASSERT_TRUE(m_driver->tap(&header->btnSelect()));
    }
    // Every field the back end holds of the customer, one line per row, ids included.
    std::string serverCustomer(int customerId)
    {
        const base::Value c = onServer(customerId);
        std::string text = c["customerInfoId"].toString() + "|" + c["customerName"].toString() + "|"
            + c["customerPublish"].toString() + "|" + c["customerOrdering"].toString() + "|"
            + c["customerDiscount"].toString() + "|\n";
        for (const auto& a : c["attributes"].asArray())
            text += a["attributeId"].toString() + "|" + a["attributeFieldsId"].toString() + "|"
                + a["attributeValue"].toString() + "|\n";
        for (const auto& a : c["addresses"].asArray())
            text += a["id"].toString() + "|" + a["customer_id"].toString() + "|" + a["address"].toString() + "|"
                + a["city"].toString() + "|" + a["state"].toString() + "|" + a["zip_code"].toString() + "|\n";
        for (const auto& k : c["contacts"].asArray()) {
            text += k["contactId"].toString();
            for (const char* key : {"firstName", "lastName", "jobTitle", "workPhone", "mobilePhone", "email", "im", "note"})
                text += "|" + k[key].toString();
            text += "|\n";
        }
        return text;
    }
    std::vector<std::string> serverNames()
    {
        std::vector<std::string> names;
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& customer : state["serverCustomers"].asArray())
            names.push_back(customer["customerName"].toString());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Customer 9001 as the office's change set leaves it, on the server and on a device.
    static constexpr const char* kOfficeGlobex =
        "C-9001|Globex Corporation|1|1|5|\n1|4|Platinum|\n2|5|YES|\n"
        "1|9001|1 Main Street, Suite 5|Springfield|IL|62701|\n71|9001|9 Harbor Road|Shelbyville|IL|62565|\n"
        "1|Hank|Scorpio|Chief|555-0101|555-0199|hank@globex.test|||\n2|Mindy|Simmons|Buyer|555-0103||mindy@globex.test|||\n";
    static constexpr const char* kOfficeGlobexOnDevice =
        "Globex Corporation|0|\nActive|YES|\nLevel|Platinum|\n1 Main Street, Suite 5|Springfield|IL|62701|0|\n"
        "9 Harbor Road|Shelbyville|IL|62565|0|\nHank|Scorpio|Chief|555-0101|555-0199|hank@globex.test|||\n"
        "Mindy|Simmons|Buyer|555-0103||mindy@globex.test|||\n";

    // The order editor's road to a new customer: an order for a name no customer has, with a
    // street typed in the address popup, its new-customer question answered ADD, the order
    // saved; then the phone typed on the customer screen, all before anything is sent. The
    // customer's id, negative.
    int newCustomerFromOrderEditor(const std::string& name, const std::string& street, const std::string& phone)
    {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerAddress(street);
        order->setCurrency("USD");
        order->setIsInEdit(true);
        {
            auto window = std::make_shared<ui::Window>();
            window->makeKeyAndVisible();
            auto editor = std::make_shared<QuoteOrderViewController>();
            editor->setQuoteOrder(order);
            window->setRootViewController(editor);
            window->layoutIfNeeded();
            editor->saveNewCustomer();
            EXPECT_NE(editor->saveCurrentOrder(), 0);
        }
        const int local = order->customerId();
        EXPECT_LT(local, 0);
        // Order numbers are made from the second.
        base::RunLoop::main().runUntil([] { return false; }, 1.05);
        screen().settingsSwitchChanged();
        edit(local, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
            set(groups.customerCompanyData()[0], "Phone", phone);
        });
        return local;
    }
    // Another device of the company (account bob) uploads its own new customer, as its order
    // editor makes one; the id the server gave it.
    int otherDeviceUploads(const std::string& name, const std::string& phone, const std::string& street)
    {
        const int local = m_otherLocal--;
        base::Array attributes;
        const std::pair<int, std::string> values[] = {{11, phone}, {12, ""}, {5, ""},  {14, street},
                                                      {15, ""},    {16, ""}, {17, ""}};
        int row = local * 10;
        for (const auto& [field, value] : values)
            attributes.push_back(base::Dictionary{{"attribute_id", row--},
                                                  {"customer_id", local},
                                                  {"attribute_fields_id", field},
                                                  {"attribute_value", field == 5 ? base::Value(1) : base::Value(value)}});
        base::Dictionary document{
            {"brivanta_customer", base::Array{base::Dictionary{{"customer_id", local},
                                                               {"customer_info_id", ""},
                                                               {"customer_name", name},
                                                               {"customer_publish", 1},
                                                               {"customer_ordering", 0},
                                                               {"discount", 0}}}},
            {"brivanta_customer_address", base::Array{}},
            {"brivanta_customer_attribute", std::move(attributes)},
            {"brivanta_customer_contact", base::Array{}}};
        return otherDeviceSends(base::Value(std::move(document)));
    }
    // Another device (account bob) sends that customer upload document; the id the server gave
    // its first customer.
    int otherDeviceSends(const base::Value& document)
    {
        auto syncData = BRJsonWriter().stringWithObject(document);
        auto body = BRJsonWriter().stringWithObject(base::Value(base::Dictionary{
            {"root", base::Dictionary{{"parameters", base::Dictionary{{"methodName", "syncData"},
                                                                      {"accountId", "bob"},
                                                                      {"clientId", "AcmeCo"},
                                                                      {"syncData", syncData.value_or("")}}}}}}));
        auto answer = testsupport::httpExchange(backend().commandPort(), "POST",
                                                std::string("/") + testsupport::TestBackend::kPath + "/SyncClient;",
                                                body.value_or(""), {{"Content-Type", "application/json"}});
        EXPECT_TRUE(answer && answer->status == 200);
        auto value = JSONValue(answer ? answer->body : "");
        EXPECT_TRUE(value);
        return value ? int((*value)["content"]["brivanta_customer"].asArray().at(0)["customerId"].toInt()) : 0;
    }
    // A server customer's value of an attribute field, "-" when it has none.
    std::string serverValue(int customerId, int field)
    {
        const base::Value customer = onServer(customerId);
        if (!customer["attributes"].isArray())
            return "-";
        for (const auto& a : customer["attributes"].asArray())
            if (a["attributeFieldsId"].toInt() == field)
                return a["attributeValue"].toString();
        return "-";
    }
    // The customer ids the server's uploaded orders name.
    std::vector<int64_t> orderCustomersOnServer()
    {
        std::vector<int64_t> ids;
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& order : state["orders"].asArray())
            if (order["source"].toString() == "upload")
                ids.push_back(order["customerId"].toInt());
        return ids;
    }

    std::shared_ptr<DataAccessManager> m_data;
    std::shared_ptr<BRDatabase> m_db;
    std::shared_ptr<SyncEnd> m_end;
    int m_otherLocal = -1;
    std::shared_ptr<ui::Window> m_window;
    std::shared_ptr<CustomerViewController> m_screen;
    base::ObserverToken m_observer;
    std::vector<bool> m_uploads;
    std::shared_ptr<OrderUploads> m_orders = std::make_shared<OrderUploads>();
    std::shared_ptr<ui::TabBarController> m_tabs;
    std::shared_ptr<ui::ViewController> m_other;
    std::shared_ptr<ui::NavigationController> m_otherNav;
    std::unique_ptr<ui::Driver> m_driver;
};

TEST_F(CustomerEditSyncTest, AnEditOfASyncedCustomerOutlivesSyncsUntilItsUploadIsAnswered)
{
    for (bool restartBetween : {false, true}) {
        SCOPED_TRACE(restartBetween ? "restarted between the edit and the sync" : "one run");
        ASSERT_TRUE(backend().reset());
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_customer"));
        base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
        sync();
        ASSERT_EQ(rows("select customer_name from brivanta_customer"), "Globex|\n");

        // Renamed, Level changed, the one address deleted and another added, the contact's
        // title changed.
        edit(9001, [&](CustomerInfoView& pane, CustomerInfoGroupData& groups) {
            groups.customerCompanyData()[0].customerAttributes[0].value = "Globex Ltd";
            set(groups.customerCompanyData()[0], "Level", "Silver");
            ASSERT_EQ(groups.customerCompanyData().size(), 3u);
            pane.deleteSectionWithType(groups.customerCompanyData()[2].indexId, 1);
            pane.addAddress();
            set(groups.customerCompanyData().back(), "address", "2 Elm Street");
            set(groups.customerCompanyData().back(), "city", "Ogdenville");
            set(groups.customerContactData()[0], "job_title", "Founder");
        });
        const std::string left = customer(9001);
        ASSERT_NE(left.find("Globex Ltd|"), std::string::npos) << left;
        ASSERT_NE(left.find("Level|Silver|"), std::string::npos) << left;
        ASSERT_NE(left.find("2 Elm Street|Ogdenville|"), std::string::npos) << left;
        ASSERT_EQ(left.find("1 Main Street"), std::string::npos) << left;
        ASSERT_NE(left.find("|Founder|"), std::string::npos) << left;

        if (restartBetween)
            restart();
        ASSERT_TRUE(backend().applyChangeSet("S-globex"));
        sync();
        // The user's name, Level, addresses and title stay; what only the office changed comes:
        // its new address and the contact's mobile. The deleted address stays deleted.
        const std::string merged =
            "Globex Ltd|0|\nActive|YES|\nLevel|Silver|\n2 Elm Street|Ogdenville|||0|\n"
            "9 Harbor Road|Shelbyville|IL|62565|0|\nHank|Scorpio|Founder|555-0101|555-0199|hank@globex.test|||\n"
            "Mindy|Simmons|Buyer|555-0103||mindy@globex.test|||\n";
        EXPECT_EQ(customer(9001), merged);
        sync();
        EXPECT_EQ(customer(9001), merged);

        // Once the server has the merged version, the server's changes come again.
        upload(9001);
        EXPECT_EQ(customer(9001), merged);
        EXPECT_EQ(count("select count(*) from brivanta_customer_address where id < 0 or customer_id < 0"), 0);
        ASSERT_TRUE(backend().applyChangeSet("S-globex"));
        sync();
        const std::string server = customer(9001);
        EXPECT_NE(server.find("Globex Corporation|"), std::string::npos) << server;
        EXPECT_NE(server.find("Level|Platinum|"), std::string::npos) << server;
        EXPECT_EQ(server.find("Level|Silver|"), std::string::npos) << server;
        for (const char* address : {"1 Main Street, Suite 5|", "2 Elm Street|", "9 Harbor Road|"})
            EXPECT_NE(server.find(address), std::string::npos) << address << "\n" << server;
        EXPECT_EQ(count("select count(*) from brivanta_customer_address where customer_id = 9001"), 3);
        EXPECT_EQ(count("select count(*) from (select attribute_fields_id from brivanta_customer_attribute where "
                        "customer_id = 9001 group by attribute_fields_id having count(*) > 1)"),
                  0);
        dropScreen();
    }
}

// A local customer renamed while its upload's answer is late becomes a server customer with
// a change the server has not had; the next upload the user starts carries it.
TEST_F(CustomerEditSyncTest, AChangeMadeWhileTheUploadIsLateGoesUpWithTheNextUpload)
{
    for (bool fromScreen : {false, true}) {
        SCOPED_TRACE(fromScreen ? "the customer screen's Submit" : "the next order Submit");
        ASSERT_TRUE(backend().reset());
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_customer"));
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_quote_order"));
        base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
        sync();
        LoginMode::sharedInstance()->setLoginType(1);
        CustomerDataModel::installOrderUploadHook();
        const int local = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Initech");
        ASSERT_LT(local, 0);
        screen().settingsSwitchChanged();
        storedOrder(local, "Initech");

        // The order's Submit sends the customer first; its answer is held while the user renames it.
        ASSERT_TRUE(backend().setFault("520", "delay", 1, R"("seconds": 0.5)"));
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        store->setDelegate(m_orders);
        m_orders->statuses.clear();
        ASSERT_TRUE(store->startUploadQuoteOrder(0));
        ASSERT_TRUE(runUntil([&] { return count("select count(*) from brivanta_customer_sent") == 1; }));
        edit(local, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
            groups.customerCompanyData()[0].customerAttributes[0].value = "Initech Renamed";
        });
        ASSERT_TRUE(runUntil([&] { return !m_orders->statuses.empty(); }));
        ASSERT_EQ(m_orders->statuses.front(), "200");
        const int server = count("select customer_id from brivanta_customer where customer_name = 'Initech Renamed'");
        ASSERT_EQ(server, 9002);
        ASSERT_GT(changes(server), 0);
        ASSERT_EQ(onServer(server)["customerName"], base::Value("Initech"));

        if (fromScreen) {
            // The screen offers SUBMIT for it while its change is unsent.
            screen().customerList()->selectedCustomer(server);
            auto* bar = hideAndSubmitBar();
            ASSERT_TRUE(bar);
            ASSERT_FALSE(bar->submitButton().isHidden());
            m_uploads.clear();
            screen().customerInfo()->submitAction();
            auto alert = ui::AlertView::visibleAlert();
            ASSERT_TRUE(alert);
            ASSERT_EQ(alert->tag(), CustomerViewController::kSubmitAlertTag);
            alert->delegate()->alertViewClickedButtonAtIndex(*alert, 1);
            ui::AlertView::dismissAllForTesting();
            ASSERT_TRUE(runUntil([&] { return !m_uploads.empty(); }));
            EXPECT_EQ(m_uploads, std::vector<bool>{true});
            screen().customerList()->selectedCustomer(server);
            bar = hideAndSubmitBar();
            ASSERT_TRUE(bar);
            EXPECT_TRUE(bar->submitButton().isHidden()) << "nothing left to send";
        } else {
            storedOrder(9001, "Globex");
            EXPECT_EQ(submitOrders(), "200");
        }
        EXPECT_EQ(onServer(server)["customerName"], base::Value("Initech Renamed"));
        EXPECT_EQ(changes(server), 0);

        // From now on the server's version comes to the device again.
        sync();
        EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id = 9002 and "
                        "customer_name = 'Initech Renamed'"),
                  1);
        ASSERT_TRUE(backend().applyChangeSet("S-initech"));
        sync();
        EXPECT_EQ(rows("select customer_name from brivanta_customer where customer_id = 9002"), "Initech Holdings|\n");
        dropScreen();
    }
}

// Values typed into a customer being edited stay through a reload asked for by another
// screen: a sync that changed customers, or a customer stored from the order editor.
TEST_F(CustomerEditSyncTest, TypedValuesOutliveAReloadOfTheCustomerList)
{
    for (bool fromOrderEditor : {false, true}) {
        SCOPED_TRACE(fromOrderEditor ? "a customer stored by the order editor" : "a sync that changed customers");
        ASSERT_TRUE(backend().reset());
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_customer"));
        base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
        sync();
        const int local = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Initech");
        ASSERT_LT(local, 0);
        showTabs();
        tapTab("Customers tab");
        auto& pane = *screen().customerInfo();
        screen().customerList()->selectedCustomer(local);
        ASSERT_TRUE(m_driver->tap(&pane.editButton()));
        ASSERT_EQ(pane.customerType(), 1);
        // The new name typed into the name field, without DONE.
        auto* cell = dynamic_cast<CustomerAttributeCell*>(pane.tableCustomerInfo()->cellForRowAtIndexPath({1, 0}));
        ASSERT_TRUE(cell);
        ASSERT_TRUE(m_driver->tap(&cell->txtAttributeValue()));
        for (int i = 0; i < 7; ++i)
            m_driver->pressKey("\b");
        m_driver->type("Initech Typed");

        tapTab("Other tab");
        std::string arrived;
        if (fromOrderEditor) {
            auto order = std::make_shared<QuoteOrderEntity>();
            order->setCustomerName("Zed Co");
            order->setIsInEdit(true);
            auto editor = std::make_shared<QuoteOrderViewController>();
            editor->setQuoteOrder(order);
            m_otherNav->pushViewController(editor, false);
            m_window->layoutIfNeeded();
            editor->saveNewCustomer();
            ASSERT_LT(order->customerId(), 0);
            arrived = "Zed Co";
            m_otherNav->popViewController(false);
        } else {
            ASSERT_TRUE(backend().applyChangeSet("S-globex"));
            sync();
            arrived = "Globex Corporation";
        }
        ASSERT_EQ(ConfigManager::sharedInstance()->flagDic()["Needreloadcustomer"], "YES");
        tapTab("Customers tab");

        // The list took the change; the edit, its typed name and edit mode stayed.
        bool listed = false;
        for (const auto& [id, entry] : screen().customerList()->allCustomerdic())
            listed = listed || entry.customer_name == arrived;
        EXPECT_TRUE(listed) << arrived;
        ASSERT_TRUE(pane.personInfo());
        EXPECT_EQ(pane.personInfo()->pid, local);
        EXPECT_EQ(pane.customerType(), 1);
        EXPECT_EQ(pane.customerInfoGroupData().customerCompanyData()[0].customerAttributes[0].value,
                  std::optional<std::string>("Initech Typed"));
        ASSERT_TRUE(m_driver->tap(&pane.doneButton()));
        EXPECT_EQ(rows("select customer_name from brivanta_customer where customer_id = " + std::to_string(local)),
                  "Initech Typed|\n");
        close();
        open();
    }
}

// The primary address and contact are the device's own choices: not counted, never sent,
// kept by every sync whatever the server's rows say, and by the upload of an edit.
TEST_F(CustomerEditSyncTest, PrimaryChoicesAreTheDevicesOwnThroughSyncsAndUploads)
{
    startFresh("S-globex");
    ASSERT_EQ(count("select count(*) from brivanta_customer_address where customer_id = 9001"), 2);
    ASSERT_EQ(primaries(9001), "");

    tapPrimary(9001, 71, CustomerInfoGroupView::Address);
    tapPrimary(9001, 2, CustomerInfoGroupView::Contact);
    const std::string chosen = "address 71|\ncontact 2|\n";
    ASSERT_EQ(primaries(9001), chosen);
    EXPECT_EQ(changes(9001), 0) << "a choice is nothing to send";

    for (int round = 0; round < 2; ++round) {
        base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
        sync();
        EXPECT_EQ(primaries(9001), chosen) << "full sync " << round + 1;
    }
    LoginMode::sharedInstance()->setLoginType(1);
    CustomerDataModel::installOrderUploadHook();
    storedOrder(9001, "Globex Corporation");
    EXPECT_EQ(submitOrders(), "200");
    EXPECT_TRUE(logged("520").empty()) << "nothing of the customer changed";

    // An edit goes up without the choices; a refused customer upload holds no order back and
    // keeps the change for the next one.
    edit(9001, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
        groups.customerCompanyData()[0].customerAttributes[0].value = "Globex Group";
    });
    ASSERT_TRUE(backend().setFault("520", "status", 1, R"("status": "115")"));
    storedOrder(9001, "Globex Group");
    EXPECT_EQ(submitOrders(), "200");
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded = 0"), 0);
    EXPECT_GT(changes(9001), 0);
    storedOrder(9001, "Globex Group");
    EXPECT_EQ(submitOrders(), "200");
    EXPECT_EQ(changes(9001), 0);
    const auto sent = logged("520");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1]["parameters"]["syncData"].toString().find("isDefault"), std::string::npos);
    EXPECT_EQ(onServer(9001)["customerName"], base::Value("Globex Group"));
    EXPECT_EQ(primaries(9001), chosen);
    base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
    sync();
    EXPECT_EQ(primaries(9001), chosen);
    EXPECT_EQ(rows("select customer_name from brivanta_customer where customer_id = 9001"), "Globex Group|\n");

    // Another device has the server's customer and no choice of this one's.
    secondDevice();
    EXPECT_EQ(rows("select customer_name from brivanta_customer where customer_id = 9001"), "Globex Group|\n");
    EXPECT_EQ(primaries(9001), "");
}

// A primary tap, then the office's change set, then an order Submit: the office's version
// stays on the server whole, and the device's choice stays on the device.
TEST_F(CustomerEditSyncTest, AnOfficeChangeOutlivesAPrimaryTapAndTheNextSubmit)
{
    startFresh();
    tapPrimary(9001, 1, CustomerInfoGroupView::Address);
    ASSERT_TRUE(backend().applyChangeSet("S-globex"));
    LoginMode::sharedInstance()->setLoginType(1);
    CustomerDataModel::installOrderUploadHook();
    storedOrder(9001, "Globex");
    EXPECT_EQ(submitOrders(), "200");

    EXPECT_EQ(serverCustomer(9001), kOfficeGlobex);
    sync();
    EXPECT_EQ(primaries(9001), "address 1|\n");
    std::string chosen = kOfficeGlobexOnDevice;
    chosen.replace(chosen.find("62701|0|"), 8, "62701|1|");
    EXPECT_EQ(customer(9001), chosen);
    secondDevice();
    EXPECT_EQ(customer(9001), kOfficeGlobexOnDevice);
}

// The user edits an address while the office edits the contact and more: the customer on
// the server and on every device holds both, whichever road the office's change takes.
TEST_F(CustomerEditSyncTest, TheUsersAddressEditAndTheOfficesContactEditAreBothKept)
{
    enum Road { SyncThenSubmit, SubmitWithoutSync, LateSyncAnswer };
    for (Road road : {SyncThenSubmit, SubmitWithoutSync, LateSyncAnswer}) {
        SCOPED_TRACE(road == SyncThenSubmit ? "a sync, then Submit"
                                            : road == SubmitWithoutSync ? "Submit with no sync between"
                                                                        : "edited while the sync's answer is late");
        startFreshUploading();
        auto editZip = [&] {
            edit(9001, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
                for (auto& group : groups.customerCompanyData())
                    if (group.indexId == 1)
                        set(group, "zip_code", "62799");
            });
        };
        if (road == LateSyncAnswer) {
            // The 516 answer is held while the user stores the edit.
            ASSERT_TRUE(backend().applyChangeSet("S-globex"));
            ASSERT_TRUE(backend().setFault("516", "delay", 1, R"("seconds": 1.5)"));
            m_end->ended = false;
            SyncModel::sharedInstance()->startSync();
            ASSERT_TRUE(runUntil([&] { return faultUsed("516") == 1 || m_end->ended; }));
            ASSERT_FALSE(m_end->ended);
            editZip();
            ASSERT_TRUE(runWhileServed("the sync's end", [&] { return m_end->ended; }));
            ASSERT_EQ(m_end->broken, "");
        } else {
            editZip();
            ASSERT_TRUE(backend().applyChangeSet("S-globex"));
            if (road == SyncThenSubmit)
                sync();
        }
        storedOrder(9001, "Globex");
        EXPECT_EQ(submitOrders(), "200");
        EXPECT_EQ(changes(9001), 0);

        std::string wanted = kOfficeGlobex;
        const std::string zip = "1|9001|1 Main Street, Suite 5|Springfield|IL|62701|";
        ASSERT_NE(wanted.find(zip), std::string::npos);
        wanted.replace(wanted.find(zip), zip.size(), "1|9001|1 Main Street, Suite 5|Springfield|IL|62799|");
        EXPECT_EQ(serverCustomer(9001), wanted);
        std::string device = kOfficeGlobexOnDevice;
        device.replace(device.find("62701"), 5, "62799");
        sync();
        EXPECT_EQ(customer(9001), device);
        secondDevice();
        EXPECT_EQ(customer(9001), device);
        dropScreen();
    }
}

// The office deletes the address the user edited: the user's edit stays, goes up with the next
// Submit, and reaches every device, whether a sync or the Submit brings the office's change.
TEST_F(CustomerEditSyncTest, AnAddressTheUserEditedOutlivesTheOfficesDeletion)
{
    for (bool syncFirst : {true, false}) {
        SCOPED_TRACE(syncFirst ? "a sync, then Submit" : "Submit with no sync between");
        startFreshUploading();
        edit(9001, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
            for (auto& group : groups.customerCompanyData())
                if (group.indexId == 1)
                    set(group, "zip_code", "62799");
        });
        ASSERT_TRUE(backend().applyChangeSet("S-globex-moved"));
        if (syncFirst) {
            sync();
            EXPECT_NE(customer(9001).find("1 Main Street|Springfield|IL|62799|"), std::string::npos) << customer(9001);
        }
        storedOrder(9001, "Globex");
        EXPECT_EQ(submitOrders(), "200");
        EXPECT_EQ(changes(9001), 0);

        const auto addresses = onServer(9001)["addresses"].asArray();
        ASSERT_EQ(addresses.size(), 1u);
        EXPECT_EQ(addresses[0]["address"].toString() + "|" + addresses[0]["zip_code"].toString(), "1 Main Street|62799");
        sync();
        const std::string device = customer(9001);
        EXPECT_NE(device.find("1 Main Street|Springfield|IL|62799|"), std::string::npos) << device;
        EXPECT_EQ(count("select count(*) from brivanta_customer_address where customer_id = 9001"), 1);
        secondDevice();
        EXPECT_EQ(customer(9001), device);
        dropScreen();
    }
}

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
        std::function<void(base::Dictionary& customer, base::Dictionary& address)> differ;
        const char* field; // the other customer's differing value, as the server holds it
    } cases[] = {
        {"its customer number",
         [](base::Dictionary& customer, base::Dictionary&) { customer.set("customer_info_id", base::Value("C-77")); },
         "C-77"},
        {"the zip of its address",
         [](base::Dictionary&, base::Dictionary& address) { address.set("zip_code", base::Value("62702")); },
         "62702"},
        {"the street of its address",
         [](base::Dictionary&, base::Dictionary& address) { address.set("address", base::Value("9 Other Way")); },
         "9 Other Way"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local = newCustomerFromOrderEditor("Initech", "2 Side St", "555-USER");
        edit(local, [&](CustomerInfoView& pane, CustomerInfoGroupData& groups) {
            pane.addAddress();
            set(groups.customerCompanyData().back(), "address", "1 First Street");
            set(groups.customerCompanyData().back(), "zip_code", "62701");
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
        c.differ(document.asDictionary().find("brivanta_customer")->asArray()[0].asDictionary(),
                 document.asDictionary().find("brivanta_customer_address")->asArray()[0].asDictionary());
        const int other = otherDeviceSends(document);
        ASSERT_EQ(other, 9002);
        const std::string othersBefore = serverCustomer(other);
        ASSERT_NE(othersBefore.find(c.field), std::string::npos) << othersBefore;
        sync();
        EXPECT_EQ(submitOrders(), "200");

        EXPECT_EQ(orderCustomersOnServer(), std::vector<int64_t>{9003});
        EXPECT_EQ(serverNames(), (std::vector<std::string>{"Globex", "Initech", "Initech"}));
        EXPECT_EQ(serverCustomer(other), othersBefore);
        EXPECT_EQ(serverCustomer(9003).find(c.field), std::string::npos) << serverCustomer(9003);
        EXPECT_EQ(rows("select customer_id, uploaded from brivanta_quote_order"), "9003|1|\n");
        EXPECT_EQ(count("select count(*) from brivanta_customer where customer_id < 0"), 0);
        dropScreen();
    }
}

// The office changes the copy of a lost upload after a sync brought it; the next Submit finds
// it among the customers the device holds. From then on the device shows what the server
// holds, with only what the user changed since the upload on top, through the next sync too.
TEST_F(CustomerEditSyncTest, AHeldCopyTakenForALostUploadShowsTheOfficesLaterValues)
{
    struct Case {
        const char* name;
        const char* renamedTo; // the user's rename after the upload, or nothing
    } cases[] = {
        {"nothing changed since the upload", nullptr},
        {"renamed since the upload", "Renco Works"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local = newCustomerFromOrderEditor("Renco", "7 Chain Ave", "111");
        ASSERT_TRUE(backend().setFault("520", "truncate", 1, R"("fraction": 0.5)"));
        EXPECT_EQ(submitOrders(), "999");
        sync();
        ASSERT_EQ(count("select count(*) from brivanta_customer where customer_id = 9002"), 1) << "held";
        // The office's later values: another phone and a Level.
        ASSERT_TRUE(backend().control(R"({"customerEdits": [{"customerId": 9002, "attributes": {"11": "333", "4": "Gold"}}]})"));
        const std::string name = c.renamedTo ? c.renamedTo : "Renco";
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

// A row added to a customer the device made keeps the rows it had, however many edits in: the
// new row takes an id of its own, never one of the customer's.
TEST_F(CustomerEditSyncTest, ARowAddedToANewCustomerKeepsItsOtherRows)
{
    struct Case {
        const char* name;
        std::function<void(CustomerInfoView&, CustomerInfoGroupData&, const std::string&)> add;
        std::string stored; // the query of the customer's rows of that kind
    } cases[] = {
        {"addresses",
         [](CustomerInfoView& pane, CustomerInfoGroupData& groups, const std::string& text) {
             pane.addAddress();
             set(groups.customerCompanyData().back(), "address", text);
         },
         "select address from brivanta_customer_address where customer_id = "},
        {"contacts",
         [](CustomerInfoView& pane, CustomerInfoGroupData& groups, const std::string& text) {
             pane.addConctact();
             set(groups.customerContactData().back(), "first_name", text);
             set(groups.customerContactData().back(), "last_name", "Smith");
         },
         "select first_name from brivanta_customer_contact where customer_id = "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFreshUploading();
        const int local = newCustomerFromOrderEditor("Renco", "7 Chain Ave", "111");
        std::string wanted;
        for (const char* text : {"First", "Second", "Third"}) {
            edit(local, [&](CustomerInfoView& pane, CustomerInfoGroupData& groups) { c.add(pane, groups, text); });
            wanted += std::string(text) + "|\n";
            EXPECT_EQ(rows(c.stored + std::to_string(local) + " order by 1"), wanted);
        }
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

// After a resync that never reached the customer tables the field definitions are missing:
// they are synced before the upload, and the yes/no field goes up as 0 or 1.
TEST_F(CustomerEditSyncTest, TheYesNoFieldGoesUpAsANumberAfterAnUnfinishedResync)
{
    for (const char* active : {"YES", "NO"}) {
        SCOPED_TRACE(active);
        startFresh();
        const int local = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Initech");
        ASSERT_LT(local, 0);
        ASSERT_TRUE(m_db->executeUpdate("UPDATE brivanta_customer_attribute SET attribute_value = ? WHERE "
                                        "customer_id = ? AND attribute_fields_id = 5",
                                        std::string(active), local));
        // What the unfinished resync leaves: the carried customer, no field definitions.
        ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_fields_customer_attribute"));
        restart();
        LoginMode::sharedInstance()->setLoginType(1);
        CustomerDataModel::installOrderUploadHook();
        storedOrder(local, "Initech");
        EXPECT_EQ(submitOrders(), "200");

        const auto sent = logged("520");
        ASSERT_FALSE(sent.empty());
        int numbers = 0;
        for (const auto& row : sent.back()["syncData"]["brivanta_customer_attribute"].asArray()) {
            if (row["attribute_fields_id"].toInt() == 5) {
                EXPECT_TRUE(row["attribute_value"].isNumber());
                EXPECT_EQ(row["attribute_value"].toInt(), std::string(active) == "YES" ? 1 : 0);
                ++numbers;
            } else {
                EXPECT_TRUE(row["attribute_value"].isString());
            }
        }
        EXPECT_EQ(numbers, 1);
        EXPECT_GT(count("select count(*) from brivanta_fields_customer_attribute"), 0);
        const int server = count("select customer_id from brivanta_customer where customer_name = 'Initech'");
        ASSERT_GT(server, 9001);
        EXPECT_NE(serverCustomer(server).find(std::string("5|") + active + "|"), std::string::npos)
            << serverCustomer(server);
        secondDevice();
        EXPECT_NE(customer(server).find(std::string("Active|") + active + "|"), std::string::npos) << customer(server);
    }
}

} // namespace
