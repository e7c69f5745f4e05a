// Edits made on the device against what the server sends meanwhile: the customer screen over a
// client database filled by real customer syncs from the loopback back end (account "alice" of
// fixture S, whose change set "S-globex" changes customer 9001), and the customer upload.
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Customer/CustomerViewController.h"
#include "Common/ConfigManager.h"
#include "Common/MessageBox.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/UI/AlertView.h"
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

    std::shared_ptr<DataAccessManager> m_data;
    std::shared_ptr<BRDatabase> m_db;
    std::shared_ptr<SyncEnd> m_end;
    std::shared_ptr<ui::Window> m_window;
    std::shared_ptr<CustomerViewController> m_screen;
    base::ObserverToken m_observer;
    std::vector<bool> m_uploads;
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
        m_screen.reset();
        m_window.reset();
    }
}

} // namespace
