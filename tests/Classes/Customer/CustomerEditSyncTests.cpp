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
        ASSERT_TRUE(runUntil([&] { return m_end->ended; }));
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

    std::shared_ptr<DataAccessManager> m_data;
    std::shared_ptr<BRDatabase> m_db;
    std::shared_ptr<SyncEnd> m_end;
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
        EXPECT_EQ(customer(9001), left) << "the server's change waits behind the device's";
        sync();
        EXPECT_EQ(customer(9001), left);

        // Once the server has the device's version, the server's changes come again.
        upload(9001);
        EXPECT_EQ(customer(9001), left);
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
        m_driver.reset();
        m_screen.reset();
        m_window.reset();
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
        m_driver.reset();
        m_screen.reset();
        m_window.reset();
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

// Choosing a synced customer's primary address is a change like any other: kept through a
// full customer sync and sent with the next upload, after which the server's copy has it.
TEST_F(CustomerEditSyncTest, APrimaryAddressChoiceOutlivesAFullSyncAndGoesUp)
{
    ASSERT_TRUE(backend().reset());
    ASSERT_TRUE(backend().applyChangeSet("S-globex"));
    ASSERT_TRUE(m_db->executeUpdate("DELETE FROM brivanta_customer"));
    base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
    sync();
    ASSERT_EQ(count("select count(*) from brivanta_customer_address where customer_id = 9001"), 2);
    auto primary = [&] {
        return rows("select id from brivanta_customer_address where customer_id = 9001 and isDefault = 1");
    };
    ASSERT_EQ(primary(), "");

    // The check box of address 71's group, as the user ticks it while viewing.
    screen().customerList()->selectedCustomer(9001);
    m_window->layoutIfNeeded();
    auto& pane = *screen().customerInfo();
    ASSERT_EQ(pane.customerInfoGroupData().customerCompanyData().size(), 4u);
    ASSERT_EQ(pane.customerInfoGroupData().customerCompanyData()[3].indexId, 71);
    pane.tableCustomerInfo()->scrollToRowAtIndexPath({4, 0}, ui::TableViewScrollPosition::Middle, false);
    m_window->layoutIfNeeded();
    auto* header = findView<CustomerInfoGroupView>(
        *pane.tableCustomerInfo(), [](CustomerInfoGroupView& view) { return view.indexId == 71; });
    ASSERT_TRUE(header);
    ASSERT_TRUE(m_driver->tap(&header->btnSelect()));
    ASSERT_EQ(primary(), "71|\n");

    base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
    sync();
    EXPECT_EQ(primary(), "71|\n") << "a full sync keeps the choice";
    EXPECT_GT(changes(9001), 0);

    LoginMode::sharedInstance()->setLoginType(1);
    CustomerDataModel::installOrderUploadHook();
    // A refused customer upload keeps the change for the next one and holds no order back.
    ASSERT_TRUE(backend().setFault("520", "status", 1, R"("status": "115")"));
    storedOrder(9001, "Globex Corporation");
    EXPECT_EQ(submitOrders(), "200");
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where uploaded = 0"), 0);
    EXPECT_GT(changes(9001), 0);
    storedOrder(9001, "Globex Corporation");
    EXPECT_EQ(submitOrders(), "200");
    EXPECT_EQ(logged("520").size(), 2u);
    EXPECT_EQ(changes(9001), 0);
    int primaryOnServer = 0;
    std::string street;
    const base::Value globex = onServer(9001);
    for (const auto& address : globex["addresses"].asArray()) {
        if (address["isDefault"].toInt() == 1) {
            ++primaryOnServer;
            street = address["address"].toString();
        }
    }
    EXPECT_EQ(primaryOnServer, 1);
    EXPECT_EQ(street, "9 Harbor Road");

    // The server's version, which now has it, comes with the next full sync.
    base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
    sync();
    EXPECT_EQ(rows("select address from brivanta_customer_address where customer_id = 9001 and isDefault = 1"),
              "9 Harbor Road|\n");
}

} // namespace
