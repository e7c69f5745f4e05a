// The login roads against the loopback back end (fixture S): online with configuration and
// skin, offline fall-backs and refusals, the demo, locks, the full resync that keeps unsent
// work, the version stamp, the quiet re-login and the saved logins they leave, and the local
// ids of new customers that outlive them.
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/CustomerModel.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderEntity.h"
#include "Database/QuoteOrderItemEntity.h"
#include "Database/brivanta_customer_Entity.h"
#include "Database/brivanta_customer_address_Entity.h"
#include "Network/BRJSON.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/OutsideWork.h"
#include "Protocol/DownloadRequest.h"
#include "Protocol/HttpNetworkCtrl.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/SavedLogins.h"
#include "Classes/Login/WeclomeViewController.h"
#include "tests/App/MainScreenTestSupport.h"
#include "tests/Support/TestBackend.h"
#include "tests/Support/DownloadLimits.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <thread>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using testsupport::TestBackend;

constexpr const char* kDevice = "DEV-FIXED-0001";

struct Recorder : LoginModelDelegate {
    std::vector<std::string> events;
    // As the welcome screen does before the main screen opens.
    void loginSuccess() override
    {
        events.push_back("success");
        MessageBox::sharedInstance()->EndBlockWait();
    }
    void loginErroWithMessage(const std::string& message) override { events.push_back("message:" + message); }
    void changeLoginButState() override { events.push_back("button"); }
    int count(const std::string& event) const { return static_cast<int>(std::count(events.begin(), events.end(), event)); }
    bool ended() const
    {
        return std::any_of(events.begin(), events.end(), [](const std::string& e) { return e != "button"; });
    }
};

// Rows of a query as "a|b" lines, read with a connection of the test's own.
std::string query(const fs::path& file, const std::string& sql)
{
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return "<no database>";
    }
    std::string out;
    auto row = [](void* text, int count, char** values, char**) {
        auto& s = *static_cast<std::string*>(text);
        for (int i = 0; i < count; ++i)
            s += (i ? "|" : "") + std::string(values[i] ? values[i] : "NULL");
        s += "\n";
        return 0;
    };
    char* error = nullptr;
    if (sqlite3_exec(handle, sql.c_str(), row, &out, &error) != SQLITE_OK) {
        out = std::string("<error ") + (error ? error : "") + ">";
        sqlite3_free(error);
    }
    sqlite3_close(handle);
    return out;
}

bool treeContains(const fs::path& root, const std::string& needle)
{
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_regular_file())
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        if (all.str().find(needle) != std::string::npos)
            return true;
    }
    return false;
}

class LoginFlowTest : public apptest::MainScreenTest {
protected:
    void SetUp() override
    {
        tzset();
        std::string error;
        backend = TestBackend::start("S", &error);
        ASSERT_TRUE(backend) << error;
        backend->writeServerSettings();
        defaults()->setString(kDevice, "SharedUDID");
        defaults()->synchronize();
        attach();
    }
    void TearDown() override
    {
        NetworkModel::sharedInstance()->cancelAllRequests();
        if (backend)
            backend->stop();
    }

    // The recording delegate in place of the welcome screen.
    void attach() { LoginMode::sharedInstance()->setDelegate(recorder); }
    static std::shared_ptr<LoginMode> login() { return LoginMode::sharedInstance(); }

    static LoginInfo form(const std::string& user, const std::string& plain, const std::string& client,
                          const std::string& device = kDevice)
    {
        LoginInfo info;
        info.accountId = user;
        info.passWord = RequestLogin::passwordDigest(plain);
        info.clientId = client;
        info.deviceId = device;
        return info;
    }
    // As the welcome screen does: the wait box first, then the login.
    void start(const LoginInfo& info, bool fromInput = true, bool shortcut = false)
    {
        recorder->events.clear();
        MessageBox::sharedInstance()->BeginBlockWaitTimeout("LOGGING IN", 300);
        login()->login(info, fromInput, shortcut);
    }
    // Runs the main loop until `done`: while a request is on the wire it waits for the network
    // thread in real time, otherwise the manual clock moves on in small steps (at most
    // `seconds` of it), so every timer fires at its time however slow the machine is.
    static bool waitFor(const std::function<bool()>& done, double seconds = 8)
    {
        auto& loop = base::RunLoop::main();
        double end = loop.now() + seconds;
        auto realDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            if (done())
                return true;
            if (loop.runPending())
                continue;
            // A request on the wire, or a worker's operation (a request's own, an unzip) that
            // will report back: wait for it in real time, however slow the machine.
            bool onTheWire = NetworkModel::sharedInstance()->pendingRequestCount()
                    > HttpNetworkCtrl::sharedInstance()->scheduledResendCount()
                || base::outsideWorkCount() > 0;
            if (onTheWire) {
                if (std::chrono::steady_clock::now() > realDeadline)
                    return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (loop.now() >= end)
                return false;
            loop.advance(0.05);
        }
    }
    // Waits for the network thread only: the manual clock stays where it is.
    static bool waitStill(const std::function<bool()>& done, double realSeconds = 8)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(realSeconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            if (!base::RunLoop::main().runPending())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    // A whole online login; its configuration pause passes on the manual clock.
    bool loginOnline(const LoginInfo& info, bool fromInput = true)
    {
        start(info, fromInput);
        bool ended = waitFor([&] { return recorder->ended(); }, 12);
        // The skin's confirmation may still be on its way: let it arrive before the next step.
        waitFor([] { return NetworkModel::sharedInstance()->pendingRequestCount() == 0; }, 5);
        if (!ended)
            ADD_FAILURE() << "the login did not end; events " << ::testing::PrintToString(recorder->events)
                          << ", commands " << ::testing::PrintToString(commands());
        return ended;
    }
    void logout()
    {
        app->showLoginPage();
        settle();
        // The welcome screen checks the version as it loads: that check ends before the next step.
        EXPECT_TRUE(waitFor([] { return NetworkModel::sharedInstance()->pendingRequestCount() == 0; }, 8));
        recorder = std::make_shared<Recorder>();
        attach();
    }
    // The commands the back end received from `from` on, by code ("file" for downloads).
    std::vector<std::string> commands(size_t from = 0) const
    {
        std::vector<std::string> seen;
        for (const auto& line : backend->logLines(from)) {
            auto record = JSONValue(line);
            if (!record)
                continue;
            std::string command = (*record)["command"].toString();
            if (command.rfind("__", 0) == 0 || command.empty())
                continue;
            if (command == "file")
                command += ":" + (*record)["request"].toString();
            if (command == "517")
                command += ":" + (*record)["parameters"]["tableType"].toString();
            seen.push_back(command);
        }
        return seen;
    }
    size_t mark() const { return backend->logLines().size(); }
    static int count(const std::vector<std::string>& seen, const std::string& prefix)
    {
        return static_cast<int>(std::count_if(seen.begin(), seen.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
    }
    fs::path client(const std::string& folder = "acmeco") const { return documents() / folder; }
    fs::path database(const std::string& folder = "acmeco") const { return client(folder) / "brivanta_lite.sqlite"; }
    std::string waitText() const
    {
        auto box = MessageBox::sharedInstance();
        auto it = box->msgBoxDic().find(box->waitMsgBoxtag());
        if (it == box->msgBoxDic().end() || !it->second->av())
            return "";
        auto label = dynamic_cast<ui::Label*>(it->second->av()->viewWithTag(MessageBox::kWaitLabelTag));
        return label ? label->text() : "";
    }
    base::Array saved() const { return SavedLogins::stored(); }
    std::string message(const char* key) const { return "message:" + text(key); }

    basetest::ScopedEnv m_tz{"TZ", "UTC"};
    base::ScopedLogCapture m_log;
    std::unique_ptr<TestBackend> backend;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(LoginFlowTest, OnlineLoginLoadsConfigurationAndSkinAndKeepsNoPlainPassword)
{
    login()->checkAppVersion(true);
    ASSERT_TRUE(waitFor([&] { return count(commands(), "263") == 1; }));
    ASSERT_TRUE(waitFor([] { return NetworkModel::sharedInstance()->pendingRequestCount() == 0; }));

    size_t from = mark();
    start(form("alice", "s3cret!", "AcmeCo"));
    ASSERT_TRUE(waitFor([&] { return login()->loginType() == 1; }));
    // The configuration waits 1.5 s under its wait text.
    EXPECT_EQ(waitText(), text("SYNUSERCONFIG"));
    base::RunLoop::main().advance(1.4);
    EXPECT_EQ(NetworkModel::sharedInstance()->pendingRequestCount(), 0u);
    base::RunLoop::main().advance(0.2);
    EXPECT_EQ(NetworkModel::sharedInstance()->pendingRequestCount(), 1u);
    ASSERT_TRUE(waitFor([&] { return recorder->ended(); }));
    ASSERT_TRUE(waitFor([&] { return count(commands(from), "517") == 1; }));
    auto seen = commands(from);
    ASSERT_EQ(seen.size(), 4u) << ::testing::PrintToString(seen) << ::testing::PrintToString(recorder->events);
    EXPECT_EQ(seen[0], "258");
    EXPECT_EQ(seen[1], "260");
    EXPECT_NE(seen[2].find("SkinImages.zip"), std::string::npos) << seen[2];
    EXPECT_EQ(seen[3], "517:skin");
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_EQ(login()->loginType(), 1);

    auto digest = RequestLogin::passwordDigest("s3cret!");
    EXPECT_EQ(query(database(), "select useName, clientId, deviceId from brivanta_login_user"),
              std::string("alice|AcmeCo|") + kDevice + "\n");
    EXPECT_EQ(query(database(), "select substr(password, 1, 14) from brivanta_login_user"), "pbkdf2-sha256$\n");
    EXPECT_EQ(query(database(), "select count(*) from Brivanta_component_config"), "5\n");
    EXPECT_TRUE(fs::exists(client() / "SkinImages/homelogo.png"));
    EXPECT_TRUE(fs::is_directory(client() / "ProductImages"));
    EXPECT_EQ(defaults()->stringForKey("AcmeCo-App_version"), app->currentVersion());
    ASSERT_FALSE(saved().empty());
    EXPECT_EQ(saved()[0], base::Value(base::Dictionary{{"Input_UserID", "alice"}, {"Input_PassWord", digest},
                                                       {"Input_ClientID", "AcmeCo"}, {"Input_DeviceID", kDevice}}));
    EXPECT_FALSE(treeContains(m_home.path(), "s3cret!"));
    for (const auto& line : m_log.lines())
        EXPECT_EQ(line.find("s3cret!"), std::string::npos) << line;

    // Again, with the skin in place and not marked for update: no download.
    logout();
    from = mark();
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_EQ(commands(from), (std::vector<std::string>{"258", "260"}));
}

TEST_F(LoginFlowTest, AnExpiredSessionsStatusOnTheFormSaysWhatWasRefused)
{
    struct Case {
        const char* name;
        const char* status;
        bool fromInput;
        std::string shown;
    };
    const Case cases[] = {
        {"101 from the form", "101", true, message("LOGINREFUSED")},
        {"101 from elsewhere", "101", false, message("101")},
        {"206 from the form", "206", true, message("206")},
    };
    ASSERT_NE(text("LOGINREFUSED"), text("101"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(backend->setFault("258", "status", 1, std::string(R"("status": ")") + c.status + "\""));
        ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo"), c.fromInput));
        EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", c.shown}));
        EXPECT_EQ(login()->loginType(), -1);
        logout();
    }
}

TEST_F(LoginFlowTest, TheServersLetterCaseOfTheClientIdIsKept)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "acmeco")));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_EQ(login()->clientID(), "AcmeCo");
    EXPECT_TRUE(fs::is_directory(client()));
    base::Value config;
    for (const auto& line : backend->logLines()) {
        auto record = JSONValue(line);
        if (record && (*record)["command"].toString() == "260")
            config = (*record)["parameters"];
    }
    EXPECT_EQ(config["clientId"].toString(), "AcmeCo");
    EXPECT_TRUE(defaults()->stringForKey("AcmeCo-App_version"));
    EXPECT_FALSE(defaults()->stringForKey("acmeco-App_version"));
    ASSERT_FALSE(saved().empty());
    EXPECT_EQ(saved()[0]["Input_ClientID"].toString(), "AcmeCo");
}

TEST_F(LoginFlowTest, OfflineRoadsAndTheirRefusals)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    logout();

    // A refusal that still allows the local check.
    size_t from = mark();
    ASSERT_TRUE(backend->setFault("258", "status", 1, R"("status": "402")"));
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", message("402"), "success"}));
    EXPECT_EQ(login()->loginType(), 2);
    EXPECT_EQ(commands(from), std::vector<std::string>{"258"});
    logout();

    ASSERT_TRUE(backend->setFault("258", "status", 1, R"("status": "402")"));
    ASSERT_TRUE(loginOnline(form("alice", "wrong", "AcmeCo")));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", message("402")}));
    EXPECT_NE(login()->loginType(), 2);
    logout();

    // No server at all: the command goes twice, 3.0 s apart, then the local check decides.
    ASSERT_TRUE(backend->control(R"({"refuse": {"port": "commands", "seconds": 600}})"));
    struct Case {
        const char* name;
        LoginInfo info;
        std::vector<std::string> events;
        int type;
    } cases[] = {
        {"typed password", form("alice", "s3cret!", "acmeco"), {"button", message("USINGOFFLINE"), "success"}, 2},
        {"wrong password", form("alice", "nope", "AcmeCo"), {"button", message("206")}, -1},
        {"unknown user", form("bob", "s3cret!", "AcmeCo"), {"button", message("202")}, -1},
        {"other device", form("alice", "s3cret!", "AcmeCo", "OTHER-DEVICE"), {"button", message("201")}, -1},
    };
    for (const auto& c : cases) {
        start(c.info);
        double began = base::RunLoop::main().now();
        EXPECT_FALSE(waitFor([&] { return recorder->ended(); }, 2.9)) << c.name;
        ASSERT_TRUE(waitFor([&] { return recorder->ended(); }, 2)) << c.name;
        EXPECT_GE(base::RunLoop::main().now() - began, 3.0) << c.name;
        EXPECT_EQ(recorder->events, c.events) << c.name;
        EXPECT_EQ(login()->loginType(), c.type) << c.name;
        logout();
    }
    // A tile's saved credential is the same digest and passes too.
    auto entry = saved().at(0);
    LoginInfo tile;
    tile.accountId = entry["Input_UserID"].toString();
    tile.passWord = entry["Input_PassWord"].toString();
    tile.clientId = entry["Input_ClientID"].toString();
    tile.deviceId = kDevice;
    start(tile);
    ASSERT_TRUE(waitFor([&] { return recorder->ended(); }, 6));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", message("USINGOFFLINE"), "success"}));

    // A device that never logged this client in makes no folder for it.
    logout();
    fs::remove_all(documents());
    start(form("alice", "s3cret!", "acmeco"));
    ASSERT_TRUE(waitFor([&] { return recorder->ended(); }, 6));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", message("FIRSTLOGINNETWORKERRO")}));
    EXPECT_FALSE(fs::exists(client()));
}

TEST_F(LoginFlowTest, NoModuleListStopsBothRoads)
{
    // Online: a configuration the server sends without its module switches.
    ASSERT_TRUE(backend->setFault("260", "raw", 1,
        R"("body": "{\"content\":{\"configuration\":{\"home\":\"1\"}},\"results\":[{\"status\":\"200\"}]}")"));
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, std::vector<std::string>{message("CONFIGRATIONINFOERROR")});
    EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
    EXPECT_FALSE(login()->isLoginPending());
    logout();

    // Offline: a stored row whose module list is blank.
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    ASSERT_EQ(recorder->events, std::vector<std::string>{"success"});
    logout();
    {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open(database().c_str(), &handle), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(handle, "update Brivanta_component_config set desc = ' \t ' where cfg_type = 'configuration'",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(handle);
    }
    ASSERT_TRUE(backend->setFault("258", "status", 1, R"("status": "403")"));
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", message("403"), message("CONFIGRATIONINFOERROR")}));
    EXPECT_NE(login()->loginType(), 2);
    EXPECT_FALSE(login()->isLoginPending());
}

TEST_F(LoginFlowTest, DemoLoginOpensTheTenantsDatabaseWithoutARequest)
{
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    size_t from = mark();
    login()->loginWithDemo("tolbernix_");
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_EQ(login()->loginType(), 3);
    ASSERT_TRUE(BRDatabase::sharedDataBase());
    std::error_code error;
    EXPECT_TRUE(fs::equivalent(BRDatabase::sharedDataBase()->databasePath().value_or(""), database("tolbernix_"), error));
    EXPECT_TRUE(ConfigManager::sharedInstance()->modelDescArray());
    waitFor([] { return false; }, 0.2);
    EXPECT_TRUE(commands(from).empty()) << ::testing::PrintToString(commands(from));
    // Offline in the demo stays the demo.
    base::NotificationCenter::defaultCenter().post("netUnconnect");
    EXPECT_EQ(login()->loginType(), 3);
}

TEST_F(LoginFlowTest, LocksFromTheDeviceCheckAndFromTheLogin)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    for (const char* flag : {"FileSynced", "ProductSynced", "CustomerSynced", "IconSynced"})
        defaults()->setString("synced", std::string("AcmeCo-") + flag);
    showMain();

    size_t from = mark();
    ASSERT_TRUE(backend->setPerRun(R"("deviceStatus": "11411")"));
    driver->enterBackground();
    driver->enterForeground();
    ASSERT_TRUE(waitFor([&] { return alert() != nullptr; })) << ::testing::PrintToString(commands(from));
    ASSERT_TRUE(waitFor([&] { return count(commands(from), "263") == 1; }));
    // Both go out at once, on connections of their own: the server may see either first.
    auto checks = commands(from);
    std::sort(checks.begin(), checks.end());
    EXPECT_EQ(checks, (std::vector<std::string>{"262", "263"}));
    answer(text("OK"));
    EXPECT_FALSE(fs::exists(client()));
    for (const auto& entry : saved())
        EXPECT_NE(entry["Input_UserID"].toString(), "alice");
    for (const char* flag : {"FileSynced", "ProductSynced", "CustomerSynced", "IconSynced"})
        EXPECT_FALSE(defaults()->objectForKey(std::string("AcmeCo-") + flag)) << flag;
    EXPECT_TRUE(std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()));

    // "114" to the login itself: the lock is recorded and the login ends with its text.
    recorder = std::make_shared<Recorder>();
    attach();
    ASSERT_TRUE(backend->setPerRun(R"("deviceStatus": "200")"));
    ASSERT_TRUE(backend->setFault("258", "status", 1, R"("status": "114")"));
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", message("114")}));
    EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
    EXPECT_EQ(app->deviceStatus(), "114");
    EXPECT_EQ(login()->loginType(), -1);
}

// "207" to a table request of the sync: the lock alert, and the sync asks for nothing more.
TEST_F(LoginFlowTest, ALockedAnswerToTheSyncShowsTheLockAlertAndStopsIt)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    showMain();
    size_t from = mark();
    ASSERT_TRUE(backend->setFault("515", "status", 1, R"("status": "207")"));
    SyncModel::sharedInstance()->startSync();
    ASSERT_TRUE(waitFor([&] { return alert() != nullptr; }, 20)) << ::testing::PrintToString(commands(from));
    EXPECT_EQ(alert()->tag(), BrivantaAppDelegate::LockedAlert);
    waitFor([] { return NetworkModel::sharedInstance()->pendingRequestCount() == 0; }, 5);
    auto seen = commands(from);
    EXPECT_EQ(count(seen, "515"), 1) << ::testing::PrintToString(seen);
    EXPECT_EQ(count(seen, "516"), 0);
    EXPECT_EQ(count(seen, "517"), 0);
}

TEST_F(LoginFlowTest, FullResyncKeepsUnsentOrdersAndLocalCustomers)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    auto manager = DataAccessManager::sharedDataModel();
    auto order = std::make_shared<QuoteOrderEntity>();
    order->setCustomerName("Local Ltd");
    order->setCustomerId(-1);
    order->setCurrency("USD");
    for (int i = 0; i < 2; ++i) {
        auto line = std::make_shared<QuoteOrderItemEntity>();
        line->setSku(i ? "TB-1" : "CH-1");
        line->setQuantity(i + 1);
        line->setFinalPrice(10);
        order->items().push_back(line);
    }
    ASSERT_EQ(manager->saveQuoteOrder(order), -1);
    brivanta_customer_Entity customer;
    customer.customer_id = -1;
    customer.customer_name = "Local Ltd";
    ASSERT_TRUE(manager->saveToDatabaseCustomer(std::vector{customer}));
    brivanta_customer_address_Entity address;
    address.indexId = -1;
    address.customerId = -1;
    address.customerAddress = "1 Road";
    ASSERT_TRUE(manager->saveToDatabaseCustomerAddress(std::vector{address}));
    manager.reset();
    const std::string orders = "select * from brivanta_quote_order order by order_id";
    const std::string lines = "select * from brivanta_quote_order_item order by order_item_id";
    const std::string customers = "select * from brivanta_customer order by customer_id";
    const std::string addresses = "select * from brivanta_customer_address order by id";
    std::string before[] = {query(database(), orders), query(database(), lines), query(database(), customers),
                            query(database(), addresses)};
    ASSERT_EQ(query(database(), "select count(*) from brivanta_quote_order_item"), "2\n");
    for (const char* flag : {"FileSynced", "ProductSynced", "CustomerSynced", "IconSynced"})
        defaults()->setString("synced", std::string("AcmeCo-") + flag);
    logout();

    // A forced copy failure: the old folder comes back and the login ends.
    fs::copy_file(database(), m_home.path() / "good.sqlite");
    {
        std::ofstream junk(database(), std::ios::trunc);
        junk << std::string(8192, 'x');
    }
    ASSERT_TRUE(backend->setPerRun(R"("syncAll": 1)"));
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    ASSERT_FALSE(recorder->events.empty());
    EXPECT_EQ(recorder->events.back(), message("SYNCDBERROR"));
    EXPECT_EQ(query(database(), "select count(*) from sqlite_master"), "<error file is not a database>");
    EXPECT_TRUE(defaults()->objectForKey("AcmeCo-FileSynced"));
    ASSERT_FALSE(saved().empty());
    EXPECT_EQ(saved()[0]["Input_UserID"].toString(), "alice");
    logout();

    fs::remove(database());
    fs::copy_file(m_home.path() / "good.sqlite", database());
    start(form("alice", "s3cret!", "AcmeCo"));
    ASSERT_TRUE(waitFor([&] { return login()->loginType() == 1; }));
    EXPECT_EQ(waitText(), text("LOGINSUCCESSANDBOUND"));
    base::RunLoop::main().advance(1.6);
    EXPECT_EQ(waitText(), text("SYNUSERCONFIG"));
    ASSERT_TRUE(waitFor([&] { return recorder->ended(); }));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    std::string after[] = {query(database(), orders), query(database(), lines), query(database(), customers),
                           query(database(), addresses)};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(query(database(), "select count(*) from brivanta_product"), "0\n");
    for (const char* flag : {"FileSynced", "ProductSynced", "CustomerSynced", "IconSynced"})
        EXPECT_FALSE(defaults()->objectForKey(std::string("AcmeCo-") + flag)) << flag;
    std::vector<std::string> left;
    for (auto& entry : fs::directory_iterator(documents()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"acmeco"});
}

// The server knows a device's new customers by their local ids, so a new customer never takes
// one the device used before: not after an offline login that spells the company otherwise,
// nor once the preferences are lost, nor after a lock wiped the device. The server holds every
// customer, each with its own order.
TEST_F(LoginFlowTest, ANewCustomerNeverTakesALocalIdTheDeviceUsedBefore)
{
    struct Uploads : QuoteOrderStoreDelegate {
        std::vector<std::string> statuses;
        void finishedUploadQuoteOrdersMessage(const Text& status, const Text&) override
        {
            statuses.push_back(status.value_or(""));
        }
    };
    // Order numbers are made from the clock's second.
    base::Date::setFixedNow(base::Date::now());
    std::map<std::string, std::string> customerOfOrder;
    std::vector<int> used;
    // A customer made on the device with an order for it, every unsent order then submitted.
    auto customerWithOrder = [&](const std::string& name) {
        const int local = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode(
            name, "1 " + name + " Road");
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerId(local);
        order->setCurrency("USD");
        const int orderId = DataAccessManager::sharedDataModel()->saveQuoteOrder(order);
        EXPECT_NE(orderId, 0);
        std::string number = query(database(), "select order_number from brivanta_quote_order where order_id = "
                                                   + std::to_string(orderId));
        customerOfOrder[number.substr(0, number.find('\n'))] = name;
        base::RunLoop::main().advance(1.05);
        auto uploads = std::make_shared<Uploads>();
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        store->setDelegate(uploads);
        EXPECT_TRUE(store->startUploadQuoteOrder(0));
        EXPECT_TRUE(waitFor([&] { return !uploads->statuses.empty(); }, 30)) << name;
        EXPECT_EQ(uploads->statuses, std::vector<std::string>{"200"}) << name;
        return local;
    };

    // The client's customer fields, under the back end's ids, as a new database's first sync brings them.
    auto customerFields = [] {
        std::vector<brivanta_fields_customer_attribute_Entity> fields;
        for (const auto& [id, name] : std::vector<std::pair<int, const char*>>{
                 {11, "Phone"}, {12, "Bank Account"}, {5, "Active"}, {14, "Address"}, {15, "City"},
                 {16, "State/Province/Region"}, {17, "Zip Code"}}) {
            brivanta_fields_customer_attribute_Entity field;
            field.field_id = id;
            field.field_name = name;
            field.display = 1;
            field.published = 1;
            fields.push_back(field);
        }
        ASSERT_TRUE(DataAccessManager::sharedDataModel()->saveToDatabaseFieldsCustomerAttribute(fields));
        CustomerDataModel::freeInstance();
    };

    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    customerFields();
    used.push_back(customerWithOrder("Alpha Ltd"));
    logout();

    struct Road {
        const char* name;
        std::function<void()> before;
        const char* customer;
    } roads[] = {
        {"an offline login with the company typed in lower case",
         [&] {
             ASSERT_TRUE(backend->setFault("258", "status", 1, R"("status": "402")"));
             ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "acmeco")));
             ASSERT_EQ(login()->loginType(), 2);
             ASSERT_EQ(login()->clientID(), "acmeco");
         },
         "Beta Ltd"},
        {"the preferences lost",
         [&] {
             PublicFunction::clearUserDefault();
             // The server's address is set again, as before the first login.
             backend->writeServerSettings();
             ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
         },
         "Gamma Ltd"},
        {"a lock that wipes the device, unlocked a minute later",
         [&] {
             ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
             showMain();
             app->logoutWithLockedUserMessage("207", "Device locked.");
             app->logoutWithLockedUserMessage("114", "Wiped.");
             answer(text("OK"));
             ASSERT_FALSE(fs::exists(client()));
             logout();
             backend->writeServerSettings();
             base::RunLoop::main().advance(60);
             ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
             ASSERT_EQ(login()->loginType(), 1);
             customerFields();
         },
         "Delta Ltd"},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.name);
        road.before();
        if (HasFatalFailure())
            return;
        const int local = customerWithOrder(road.customer);
        EXPECT_LT(local, *std::min_element(used.begin(), used.end()));
        used.push_back(local);
        logout();
    }

    base::Value state = JSONValue(backend->state()).value_or(base::Value());
    std::map<int64_t, std::string> onServer;
    std::multiset<std::string> names;
    for (const auto& customer : state["serverCustomers"].asArray()) {
        onServer[customer["customerId"].toInt()] = customer["customerName"].toString();
        names.insert(customer["customerName"].toString());
    }
    for (const char* name : {"Alpha Ltd", "Beta Ltd", "Gamma Ltd", "Delta Ltd"})
        EXPECT_EQ(names.count(name), 1u) << name;
    int uploaded = 0;
    for (const auto& order : state["orders"].asArray()) {
        if (order["source"].toString() != "upload")
            continue;
        ++uploaded;
        EXPECT_EQ(onServer[order["customerId"].toInt()], customerOfOrder[order["order_number"].toString()])
            << order["order_number"].toString();
    }
    EXPECT_EQ(uploaded, 4);
}

TEST_F(LoginFlowTest, SkinArchivesNewMissingAndHostile)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    logout();
    ASSERT_TRUE(backend->setPerRun(R"("skinUpdated": 1, "skinVersion": 2)"));
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_TRUE(fs::exists(client() / "SkinImages/extra.png"));
    EXPECT_FALSE(login()->needUpdateSkin());
    logout();

    // A missing archive keeps the skin there is.
    ASSERT_TRUE(backend->setFault("SkinImages.zip", "notFound", 0));
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    ASSERT_TRUE(backend->control(R"({"clearFaults": true})"));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_TRUE(fs::exists(client() / "SkinImages/extra.png"));
    EXPECT_TRUE(login()->needUpdateSkin()) << ::testing::PrintToString(commands());
}

// The login's wait box closing by its time-out ends the login it stands for: the skin archive,
// coming without end a little above the pace, is cancelled with the rest of the login's
// requests, the network's failure is told, the form works again, and a second login starts
// afresh and reaches its end.
TEST_F(LoginFlowTest, TheWaitBoxsTimeOutEndsTheLoginAndItsRequests)
{
    ASSERT_TRUE(backend->setFault("SkinImages.zip", "endless", 0, R"("bytesPerSecond": 2000)"));
    size_t from = mark();
    start(form("alice", "s3cret!", "AcmeCo"));
    ASSERT_TRUE(waitFor([&] { return count(commands(from), "file:") == 1; }));
    // The archive comes, and keeps coming: the box stays.
    EXPECT_FALSE(waitStill([&] { return recorder->ended(); }, 1.5));
    EXPECT_TRUE(login()->isLoginPending());
    EXPECT_EQ(waitText(), text("SYNUSERCONFIG"));
    auto transport = HttpNetworkCtrl::sharedInstance();
    EXPECT_EQ(transport->singleQueue()->requestsCount(), 1);
    // The archive's part, and the data the login opened.
    auto parts = [&] {
        size_t count = 0;
        if (fs::exists(client() / "tempDownload"))
            for (const auto& entry : fs::recursive_directory_iterator(client() / "tempDownload"))
                count += entry.is_regular_file();
        return count;
    };
    ASSERT_TRUE(waitFor([&] { return parts() == 1; }));
    std::weak_ptr<DataAccessManager> opened = DataAccessManager::openDataModel();
    ASSERT_FALSE(opened.expired());

    // The box's time-out, counted from the tap.
    base::RunLoop::main().advance(300);
    EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", message("999")}));
    EXPECT_FALSE(login()->isLoginPending());
    EXPECT_EQ(login()->loginType(), -1);
    EXPECT_EQ(NetworkModel::sharedInstance()->pendingRequestCount(), 0u);
    // The archive's request ends on the network thread, and the back end sees the client leave.
    EXPECT_TRUE(waitStill([&] { return transport->singleQueue()->requestsCount() == 0; }, 10));
    // Nothing of the ended login stays open, nor any of its endless archive.
    EXPECT_FALSE(DataAccessManager::openDataModel());
    EXPECT_TRUE(opened.expired());
    EXPECT_EQ(parts(), 0u);
    const size_t afterTimeOut = mark();
    EXPECT_FALSE(waitStill([&] { return count(commands(afterTimeOut), "file:") > 0; }, 1.0))
        << "the archive was asked for again";

    // A later login starts afresh: a sound archive, the whole road.
    ASSERT_TRUE(backend->control(R"({"clearFaults": true})"));
    recorder = std::make_shared<Recorder>();
    attach();
    from = mark();
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    auto seen = commands(from);
    EXPECT_EQ(count(seen, "258"), 1) << ::testing::PrintToString(seen);
    EXPECT_EQ(count(seen, "file:"), 1) << ::testing::PrintToString(seen);
    EXPECT_TRUE(fs::exists(client() / "SkinImages/homelogo.png"));
    EXPECT_EQ(login()->loginType(), 1);
}

// A login answer that trickles is held to the pace of every answer: it times out, is sent once
// more, and the login ends as after any time-out, the box gone and the form working; a second
// login, the server sound again, logs in.
TEST_F(LoginFlowTest, ATricklingLoginAnswerEndsAsATimeOut)
{
    DownloadRequest::Limits pace;
    pace.lowSpeedBytes = 4096;
    pace.lowSpeedSeconds = 1;
    testsupport::ScopedDownloadLimits scoped(pace);
    ASSERT_TRUE(backend->setFault("258", "slow", 0, R"("bytesPerSecond": 1)"));
    size_t from = mark();
    start(form("alice", "s3cret!", "AcmeCo"));
    ASSERT_TRUE(waitFor([&] { return recorder->ended(); }, 30));
    EXPECT_EQ(count(commands(from), "258"), 2);
    // No data of this client on the device: the first login needs the network.
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"button", message("FIRSTLOGINNETWORKERRO")}));
    EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
    EXPECT_FALSE(login()->isLoginPending());

    ASSERT_TRUE(backend->control(R"({"clearFaults": true})"));
    recorder = std::make_shared<Recorder>();
    attach();
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_EQ(login()->loginType(), 1);
}

TEST_F(LoginFlowTest, ADamagedSkinArchiveKeepsTheSkinThereIs)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    ASSERT_TRUE(fs::exists(client() / "SkinImages/homelogo.png"));
    auto logo = fs::file_size(client() / "SkinImages/homelogo.png");
    logout();

    struct Case {
        const char* name;
        const char* kind;
        std::string extra;
    };
    const Case cases[] = {
        {"bytes that are no archive", "raw", R"("body": "PK not an archive at all")"},
        {"an archive with garbled entries", "corrupt", ""},
    };
    ASSERT_TRUE(backend->setPerRun(R"("skinUpdated": 1, "skinVersion": 2)"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(backend->control(R"({"clearFaults": true})"));
        ASSERT_TRUE(backend->setFault("SkinImages.zip", c.kind, 0, c.extra));
        size_t from = mark();
        ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
        EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
        EXPECT_EQ(count(commands(from), "file"), 1) << ::testing::PrintToString(commands(from));
        // The old skin is whole and nothing of the new one slipped in; the update waits.
        ASSERT_TRUE(fs::exists(client() / "SkinImages/homelogo.png"));
        EXPECT_EQ(fs::file_size(client() / "SkinImages/homelogo.png"), logo);
        EXPECT_FALSE(fs::exists(client() / "SkinImages/extra.png"));
        EXPECT_EQ(count(commands(from), "517:skin"), 0) << ::testing::PrintToString(commands(from));
        EXPECT_TRUE(login()->needUpdateSkin());
        std::vector<std::string> left;
        for (auto& entry : fs::directory_iterator(client()))
            if (entry.path().filename().string().rfind(".skin-", 0) == 0)
                left.push_back(entry.path().filename().string());
        EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
        logout();
    }

    // The next good archive replaces it.
    ASSERT_TRUE(backend->control(R"({"clearFaults": true})"));
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_TRUE(fs::exists(client() / "SkinImages/extra.png"));
    EXPECT_TRUE(fs::exists(client() / "SkinImages/homelogo.png"));
    EXPECT_FALSE(login()->needUpdateSkin());
}

TEST_F(LoginFlowTest, AHostileSkinArchiveWritesNothingOutsideTheClientFolder)
{
    backend->stop();
    std::string error;
    backend = TestBackend::start("S-evil", &error);
    ASSERT_TRUE(backend) << error;
    backend->writeServerSettings();
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_FALSE(fs::exists(client() / "evil.png"));
    EXPECT_FALSE(fs::exists(documents() / "evil.png"));
    EXPECT_FALSE(fs::exists(m_home.path() / "evil.png"));
}

TEST_F(LoginFlowTest, VersionStampAndUpdateSnooze)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    // Equal stamp: nothing is touched.
    fs::remove_all(client() / "Pdf");
    login()->versionCompare();
    EXPECT_FALSE(fs::exists(client() / "Pdf"));
    EXPECT_TRUE(fs::exists(client() / "SkinImages"));
    // A blank stamp counts as another version.
    defaults()->setString(" ", "AcmeCo-App_version");
    login()->versionCompare();
    EXPECT_TRUE(fs::is_directory(client() / "Pdf"));
    EXPECT_FALSE(fs::exists(client() / "SkinImages"));
    EXPECT_EQ(defaults()->stringForKey("AcmeCo-App_version"), app->currentVersion());

    // An optional update put off a week ago is offered again only after the week. The welcome
    // screen's own check, sent when it loaded, is answered first.
    ASSERT_TRUE(waitStill([] { return NetworkModel::sharedInstance()->pendingRequestCount() == 0; }));
    ASSERT_TRUE(backend->setPerRun(R"("version": {"update_status": 1, "latest_version": "9.9.9", "app_url": "http://127.0.0.1/app", "messages": {"zh": "x", "en": "New"}})"));
    base::Date::setFixedNow(base::Date(1700000000));
    defaults()->setObject(base::Value(base::Date(1700000000)), "UpdateVersionSign");
    // A second short of the week, then a second past it: timers left by earlier tests may
    // split the clock's advance into steps whose sum is not exact to the microsecond.
    base::RunLoop::main().advance(604799);
    login()->checkAppVersion(true);
    ASSERT_TRUE(waitStill([] { return NetworkModel::sharedInstance()->pendingRequestCount() == 0; }));
    EXPECT_EQ(alert(), nullptr) << (alert() ? alert()->title() + " / " + alert()->message() : "");
    EXPECT_TRUE(defaults()->objectForKey("UpdateVersionSign"));
    base::RunLoop::main().advance(2);
    login()->checkAppVersion(true);
    ASSERT_TRUE(waitStill([&] { return alert() != nullptr; }));
    EXPECT_EQ(alert()->tag(), BrivantaAppDelegate::OptionalUpdateAlert);
    EXPECT_FALSE(defaults()->objectForKey("UpdateVersionSign"));
}

// A device that ran the previous version holds its database in that version's layout and that
// version's stamp: the next login upgrades it to the template's every table and column.
TEST_F(LoginFlowTest, ADatabaseOfThePreviousVersionGetsEveryColumnAtTheNextLogin)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    logout();
    DataAccessManager::releaseDataModel();
    std::ifstream in(std::string(BRIVANTA_SOURCE_DIR) + "/tests/Database/data/layout-1.0.0.sql");
    std::stringstream script;
    script << in.rdbuf();
    ASSERT_FALSE(script.str().empty());
    script << "INSERT INTO brivanta_customer_sent(customer_id,sent) VALUES(-4,'Waiting Ltd');";
    fs::remove(database());
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(database().c_str(), &handle), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(handle, script.str().c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
    defaults()->setString("1.0.0", "AcmeCo-App_version");
    defaults()->synchronize();
    const std::string columns =
        "select m.name, p.name, p.type, p.\"notnull\", p.dflt_value, p.pk from sqlite_master m, "
        "pragma_table_info(m.name) p where m.type = 'table' and m.name not like 'sqlite_%' order by 1, p.cid";
    std::string templateFile = base::Bundle::pathForResource("brivanta_lite", "sqlite");
    ASSERT_FALSE(templateFile.empty());
    ASSERT_NE(query(database(), columns), query(templateFile, columns));

    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    // Each table and column of the template, as the template has it, and nothing else.
    auto lines = [](const std::string& text) {
        std::set<std::string> set;
        std::stringstream in(text);
        for (std::string line; std::getline(in, line);)
            set.insert(line);
        return set;
    };
    auto upgraded = lines(query(database(), columns));
    auto wanted = lines(query(templateFile, columns));
    std::vector<std::string> missing, extra;
    std::set_difference(wanted.begin(), wanted.end(), upgraded.begin(), upgraded.end(), std::back_inserter(missing));
    std::set_difference(upgraded.begin(), upgraded.end(), wanted.begin(), wanted.end(), std::back_inserter(extra));
    EXPECT_TRUE(missing.empty()) << ::testing::PrintToString(missing);
    EXPECT_TRUE(extra.empty()) << ::testing::PrintToString(extra);
    EXPECT_GT(wanted.size(), 200u);
    EXPECT_EQ(query(database(), "select customer_id, sent, alike from brivanta_customer_sent"), "-4|Waiting Ltd|\n");
    EXPECT_EQ(defaults()->stringForKey("AcmeCo-App_version"), app->currentVersion());
    // The models write to what the upgrade added.
    auto customers = DataAccessManager::sharedDataModel()->customerModel();
    ASSERT_TRUE(customers);
    EXPECT_TRUE(customers->rememberSentUpload(-5, "New Ltd", {9001}));
    EXPECT_EQ(customers->alikeWhenSent(-5), std::set<int>{9001});
}

TEST_F(LoginFlowTest, QuietReloginWhenTheNetworkReturns)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    showMain();
    auto& center = base::NotificationCenter::defaultCenter();
    auto settleNetwork = [&] { waitFor([] { return false; }, 1.0); };

    // A running sync is left alone.
    size_t from = mark();
    SyncModel::sharedInstance()->setIsDownloading(true);
    center.post("netconnect");
    settleNetwork();
    EXPECT_TRUE(commands(from).empty()) << ::testing::PrintToString(commands(from));
    SyncModel::sharedInstance()->setIsDownloading(false);

    // syncAll: only flags for the sync engine; nothing is closed or deleted.
    auto db = BRDatabase::sharedDataBase();
    std::string rowsBefore = query(database(), "select count(*) from Brivanta_component_config");
    ASSERT_TRUE(backend->setPerRun(R"("syncAll": 1)"));
    from = mark();
    center.post("netconnect");
    ASSERT_TRUE(waitFor([&] { return count(commands(from), "260") == 1; }));
    settleNetwork();
    EXPECT_EQ(login()->loginType(), 1);
    EXPECT_EQ(BRDatabase::sharedDataBase(), db);
    EXPECT_TRUE(db->goodConnection());
    EXPECT_TRUE(fs::exists(client() / "SkinImages/homelogo.png"));
    EXPECT_EQ(query(database(), "select count(*) from Brivanta_component_config"), rowsBefore);
    EXPECT_TRUE(SyncModel::sharedInstance()->isSyncAllData());
    EXPECT_TRUE(SyncModel::sharedInstance()->needUpdate());
    EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);

    // No network yet, or refused: the login stays as it was and nothing shows.
    struct Refusal {
        const char* status;
        int type;
    } refusals[] = {{"999", 2}, {"402", 1}, {"403", 1}, {"402", 2}};
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.status);
        login()->setLoginType(r.type);
        ASSERT_TRUE(backend->setFault("258", "status", 1, std::string(R"("status": ")") + r.status + "\""));
        from = mark();
        center.post("netconnect");
        ASSERT_TRUE(waitFor([&] { return count(commands(from), "258") == 1 && !login()->isLoginPending(); }));
        settleNetwork();
        EXPECT_EQ(login()->loginType(), r.type);
        EXPECT_EQ(commands(from), std::vector<std::string>{"258"});
        EXPECT_EQ(alert(), nullptr) << (alert() ? alert()->title() + " / " + alert()->message() : "");
    }

    // Any other answer offers to stay offline.
    ASSERT_TRUE(backend->setFault("258", "status", 1, R"("status": "101")"));
    center.post("netconnect");
    ASSERT_TRUE(waitFor([&] { return alert() != nullptr; }));
    EXPECT_EQ(alert()->tag(), LoginMode::kStayOfflineAlertTag);
    EXPECT_EQ(alert()->message(), text("101") + text("STAYOFFLINEORLOGIN"));
    answer(text("CANCEL"));
    EXPECT_FALSE(std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()));

    // On the welcome screen nothing is sent.
    logout();
    login()->setLoginType(1);
    from = mark();
    center.post("netconnect");
    settleNetwork();
    EXPECT_TRUE(commands(from).empty());
}

TEST_F(LoginFlowTest, QuietReloginTakesANewSkinTheTableUpgradeAndTheServersClientId)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    showMain();
    auto db = BRDatabase::sharedDataBase();
    // A table upgrade pending: data of an older version, missing a view the upgrade makes.
    ASSERT_TRUE(db->executeUpdate("drop view customerView"));
    defaults()->setString("0.9", "AcmeCo-App_version");
    ASSERT_TRUE(backend->setPerRun(R"("skinUpdated": 1, "skinVersion": 2)"));
    login()->setClientID("acmeco");
    login()->setLoginType(2);

    size_t from = mark();
    base::NotificationCenter::defaultCenter().post("netconnect");
    ASSERT_TRUE(waitFor([&] { return count(commands(from), "517") == 1; }, 12))
        << ::testing::PrintToString(commands(from));
    auto seen = commands(from);
    ASSERT_EQ(seen.size(), 4u) << ::testing::PrintToString(seen);
    EXPECT_EQ(seen[0], "258");
    EXPECT_EQ(seen[1], "260");
    EXPECT_NE(seen[2].find("SkinImages.zip"), std::string::npos) << seen[2];
    EXPECT_EQ(seen[3], "517:skin");
    EXPECT_TRUE(waitFor([&] { return fs::exists(client() / "SkinImages/extra.png"); }));
    EXPECT_FALSE(login()->needUpdateSkin());
    EXPECT_EQ(login()->clientID(), "AcmeCo");
    EXPECT_EQ(login()->loginType(), 1);
    EXPECT_EQ(defaults()->stringForKey("AcmeCo-App_version"), app->currentVersion());
    EXPECT_EQ(query(database(), "select count(*) from sqlite_master where name = 'customerView'"), "1\n");
    // The open database and the screen stay as they were.
    EXPECT_EQ(BRDatabase::sharedDataBase(), db);
    EXPECT_TRUE(db->goodConnection());
    EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
    EXPECT_EQ(alert(), nullptr) << (alert() ? alert()->title() + " / " + alert()->message() : "");
}

TEST_F(LoginFlowTest, SavedLoginFollowsAPasswordChangeAndBadAnswersDeleteNothing)
{
    ASSERT_TRUE(loginOnline(form("alice", "s3cret!", "AcmeCo")));
    logout();
    ASSERT_TRUE(backend->control(R"({"passwords": {"alice": "n3w-pass"}})"));
    LoginInfo changed = form("alice", "n3w-pass", "AcmeCo", "DEV-NEW");
    ASSERT_TRUE(loginOnline(changed));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    ASSERT_EQ(saved().size(), 1u);
    EXPECT_EQ(saved()[0]["Input_PassWord"].toString(), RequestLogin::passwordDigest("n3w-pass"));
    EXPECT_EQ(saved()[0]["Input_DeviceID"].toString(), "DEV-NEW");
    logout();

    // A second tap while the first login is on its way sends nothing more.
    size_t from = mark();
    start(form("alice", "n3w-pass", "AcmeCo", "DEV-NEW"));
    login()->login(form("alice", "n3w-pass", "AcmeCo", "DEV-NEW"), true, false);
    ASSERT_TRUE(waitFor([&] { return recorder->ended(); }, 12));
    waitFor([] { return false; }, 2);
    EXPECT_EQ(count(commands(from), "258"), 1);
    EXPECT_EQ(recorder->count("success"), 1);
    logout();

    // A login answer without a usable client id keeps the typed one and deletes nothing else.
    fs::create_directories(documents() / "other");
    std::ofstream(documents() / "other/keep.txt") << "kept";
    for (const char* content : {R"({\"sessionId\":\"s\",\"syncAll\":1,\"vendor\":{\"vendor_id\":\"17\"}})",
                                R"({\"sessionId\":\"s\",\"syncAll\":1,\"vendor\":{\"clientId\":\"../x\",\"vendor_id\":\"17\"}})"}) {
        std::string body = std::string(R"("body": "{\"content\":)") + content + R"(,\"results\":[{\"status\":\"200\"}]}")";
        ASSERT_TRUE(backend->setFault("258", "raw", 1, body));
        ASSERT_TRUE(loginOnline(form("alice", "n3w-pass", "acmeco", "DEV-NEW")));
        EXPECT_EQ(recorder->events, std::vector<std::string>{"success"}) << content;
        EXPECT_EQ(login()->clientID(), "acmeco") << content;
        EXPECT_EQ(login()->vendorId(), 17) << content;
        EXPECT_TRUE(fs::exists(documents() / "other/keep.txt")) << content;
        EXPECT_TRUE(fs::exists(database())) << content;
        EXPECT_FALSE(fs::exists(m_home.path() / "x")) << content;
        EXPECT_FALSE(fs::exists(documents() / "x")) << content;
        logout();
    }
}

} // namespace
