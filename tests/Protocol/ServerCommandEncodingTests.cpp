// What each server command writes: its parameters, in order, all texts, the session never
// in the body, and the login's credential only as its digest.
#include "Network/BRJSON.h"
#include "Platform/Base/Bundle.h"
#include "Protocol/LoginMode.h"
#include "Protocol/RequestCheckDeviceStatus.h"
#include "Protocol/RequestCheckVersion.h"
#include "Protocol/RequestConfig.h"
#include "Protocol/RequestDownloadFinish.h"
#include "Protocol/RequestGetOrderHistory.h"
#include "Protocol/RequestGetUserinfo.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/RequestRuntimeConfig.h"
#include "Protocol/RequestSyncAllTable.h"
#include "Protocol/RequestSyncCustomerTable.h"
#include "Protocol/RequestSyncDataFinish.h"
#include "Protocol/RequestSyncFileTable.h"
#include "Protocol/RequestUploadCustomer.h"
#include "Protocol/RequestUploadQuoteOrder.h"
#include "tests/App/AppTestSupport.h"

#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace {

using Parameters = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kDigest = "ca6c5d8960b5f761e1676d26b282889c"; // of "s3cret!"

class ServerCommandEncodingTest : public apptest::AppServiceTest {
protected:
    ServerCommandEncodingTest()
    {
        LoginMode::freeInstance();
        auto login = LoginMode::sharedInstance();
        login->setAcountID("alice");
        login->setClientID("AcmeCo");
        login->setDeviceID("dev-1");
        login->setPassword(kDigest);
        login->setSessionId("SESSION-7");
    }
    ~ServerCommandEncodingTest() override { LoginMode::freeInstance(); }

    // The body's parameters in the order written; a failure when the body is not the envelope
    // or a value is not a text.
    static Parameters parametersOf(RequestInterfaceBase& command)
    {
        Parameters out;
        auto body = command.RequestEncode();
        EXPECT_TRUE(body);
        if (!body)
            return out;
        EXPECT_EQ(body->find("SESSION"), std::string::npos) << *body;
        auto parsed = JSONValue(*body);
        EXPECT_TRUE(parsed && parsed->isDictionary()) << *body;
        if (!parsed)
            return out;
        EXPECT_EQ(parsed->asDictionary().size(), 1u);
        const base::Value& parameters = (*parsed)["root"]["parameters"];
        EXPECT_TRUE(parameters.isDictionary()) << *body;
        if (!parameters.isDictionary())
            return out;
        for (const auto& [key, value] : parameters.asDictionary()) {
            EXPECT_TRUE(value.isString()) << key << " in " << *body;
            out.emplace_back(key, value.toString());
        }
        return out;
    }
};

TEST_F(ServerCommandEncodingTest, EveryMessageCommandWritesItsParametersInOrder)
{
    const std::string version = base::Bundle::shortVersion();
    ASSERT_FALSE(version.empty());
    struct Case {
        const char* name;
        std::function<std::shared_ptr<RequestInterfaceBase>()> make;
        Parameters expected;
    };
    const Parameters ids = {{"accountId", "alice"}, {"clientId", "AcmeCo"}};
    auto with = [](Parameters head, const Parameters& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const std::vector<Case> cases = {
        {"258", [] { return std::make_shared<RequestLogin>(); },
         {{"methodName", "login"}, {"version", version}, {"accountId", "alice"}, {"deviceId", "dev-1"},
          {"password", kDigest}, {"clientId", "AcmeCo"}, {"firstLogin", "YES"}}},
        {"260",
         [] {
             auto c = std::make_shared<RequestConfig>();
             c->setClientId("AcmeCo");
             return c;
         },
         {{"methodName", "loadConfigurationData"}, {"clientId", "AcmeCo"}}},
        {"260 without a client", [] { return std::make_shared<RequestConfig>(); },
         {{"methodName", "loadConfigurationData"}}},
        {"261",
         [] {
             auto c = std::make_shared<RequestRuntimeConfig>();
             c->setClientId("AcmeCo");
             return c;
         },
         {{"methodName", "getRunTimeConfig"}, {"clientId", "AcmeCo"}}},
        {"262", [] { return std::make_shared<RequestCheckDeviceStatus>(); },
         {{"methodName", "checkDeviceStatus"}, {"accountId", "alice"}, {"deviceId", "dev-1"}, {"clientId", "AcmeCo"}}},
        {"263", [] { return std::make_shared<RequestCheckVersion>(); },
         {{"methodName", "checkAppVersion"}, {"version", version}}},
        {"265 user info", [] { return std::make_shared<RequestGetUserinfo>(); },
         with({{"methodName", "getuserinfo"}}, ids)},
        {"265 history",
         [] {
             auto c = std::make_shared<RequestGetOrderHistory>();
             c->setNumberOfOrder(10);
             c->setBaseTime("01/31/2026 17:05:00");
             return c;
         },
         with(with({{"methodName", "getorderhistory"}}, ids),
              {{"baseTime", "2026-01-31 17:05:00"}, {"numberOfOrder", "10"}})},
        {"265 history from the newest",
         [] {
             auto c = std::make_shared<RequestGetOrderHistory>();
             c->setNumberOfOrder(10);
             return c;
         },
         with(with({{"methodName", "getorderhistory"}}, ids), {{"baseTime", ""}, {"numberOfOrder", "10"}})},
        {"513", [] { return std::make_shared<RequestSyncAllTable>(); },
         with(with({{"methodName", "syncData"}}, ids), {{"deviceId", "dev-1"}, {"syncType", "product"}, {"isFull", "true"}})},
        {"513 changes only",
         [] {
             auto c = std::make_shared<RequestSyncAllTable>();
             c->setIsFull("false");
             return c;
         },
         with(with({{"methodName", "syncData"}}, ids), {{"deviceId", "dev-1"}, {"syncType", "product"}, {"isFull", "false"}})},
        {"515", [] { return std::make_shared<RequestSyncFileTable>(); },
         with(with({{"methodName", "syncData"}}, ids), {{"deviceId", "dev-1"}, {"syncType", "file"}, {"isFull", "true"}})},
        {"516", [] { return std::make_shared<RequestSyncCustomerTable>(); },
         with(with({{"methodName", "syncData"}}, ids), {{"deviceId", "dev-1"}, {"syncType", "customer"}, {"isFull", "true"}})},
        {"517", [] { return std::make_shared<RequestSyncDataFinish>(); },
         with(with({{"methodName", "syncDataFinished"}}, ids), {{"tableType", "product"}})},
        {"519",
         [] {
             auto c = std::make_shared<RequestDownloadFinish>();
             c->setFileId(501);
             return c;
         },
         with(with({{"methodName", "syncFileFinished"}}, ids), {{"fileIds", "501"}})},
        {"518",
         [] {
             auto c = std::make_shared<RequestUploadQuoteOrder>();
             c->setSyncData(R"({"order":[{"order_number":"N-1"}]})");
             return c;
         },
         with(with({{"methodName", "syncData"}}, ids), {{"syncData", R"({"order":[{"order_number":"N-1"}]})"}})},
        {"520",
         [] {
             auto c = std::make_shared<RequestUploadCustomer>();
             c->setSyncData(R"({"brivanta_customer":[]})");
             return c;
         },
         with(with({{"methodName", "syncData"}}, ids), {{"syncData", R"({"brivanta_customer":[]})"}})},
    };
    std::set<std::string> classes;
    for (const Case& c : cases) {
        auto command = c.make();
        const auto& made = *command;
        classes.insert(typeid(made).name());
        EXPECT_EQ(parametersOf(*command), c.expected) << c.name;
    }
    EXPECT_EQ(classes.size(), 14u);

    for (const char* type : {"product", "file", "customer", "skin"}) {
        RequestSyncDataFinish finish;
        finish.setTableType(type);
        EXPECT_EQ(parametersOf(finish).back(), std::make_pair(std::string("tableType"), std::string(type)));
    }
}

TEST_F(ServerCommandEncodingTest, TheLoginSendsOnlyTheDigestAndAsksForFilesOnce)
{
    EXPECT_EQ(RequestLogin::passwordDigest("s3cret!"), kDigest);
    EXPECT_TRUE(RequestLogin::isPasswordDigest(kDigest));
    for (const char* shape : {"", "s3cret!", "CA6C5D8960B5F761E1676D26B282889C", "ca6c5d8960b5f761e1676d26b282889", "ca6c5d8960b5f761e1676d26b282889g"})
        EXPECT_FALSE(RequestLogin::isPasswordDigest(shape)) << shape;

    auto passwordSent = [&](RequestLogin& login) {
        for (const auto& [key, value] : parametersOf(login)) {
            if (key == "password")
                return value;
        }
        return std::string("(none)");
    };
    auto firstLogin = [&] {
        RequestLogin login;
        return parametersOf(login).back().second;
    };

    struct Case {
        const char* held;
        const char* sent;
    } cases[] = {
        // A held digest travels as it is, never hashed again.
        {kDigest, kDigest},
        // Text of any other shape is made a digest: the plain text never leaves.
        {"s3cret!", kDigest},
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
    };
    for (const Case& c : cases) {
        LoginMode::sharedInstance()->setPassword(c.held);
        RequestLogin login;
        EXPECT_EQ(passwordSent(login), c.sent) << c.held;
        EXPECT_EQ(login.passWord(), c.sent) << c.held;
        // Encoding again keeps the digest.
        EXPECT_EQ(passwordSent(login), c.sent) << c.held;
    }

    EXPECT_EQ(firstLogin(), "YES");
    defaults()->setString("synced", "OtherCo-FileSynced");
    EXPECT_EQ(firstLogin(), "YES");
    defaults()->setBool(false, "AcmeCo-FileSynced");
    EXPECT_EQ(firstLogin(), "NO");
}

} // namespace
