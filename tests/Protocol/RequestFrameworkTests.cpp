// The request envelope, the answer reader and the command table.
#include "Network/BRJSON.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/HttpNetworkCtrl.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestBody.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestInterfaceBase.h"
#include "Protocol/ServerCommands.h"
#include "tests/App/AppTestSupport.h"

#include <set>

namespace {

class RequestFrameworkTest : public apptest::AppServiceTest {};

base::Value parsed(const std::string& text)
{
    auto value = JSONValue(text);
    return value ? *value : base::Value();
}

TEST_F(RequestFrameworkTest, EnvelopeCarriesOnlyPresentTextsAndNeverTheSession)
{
    RequestBody body(std::string("Vendor?"));
    EXPECT_TRUE(body.addElemValueForKey(std::string("login"), std::string("methodName")));
    EXPECT_TRUE(body.addElemValueForKey(std::string("bob"), std::string("accountId")));
    EXPECT_TRUE(body.addElemValueForKey(std::string("alice"), std::string("accountId")));
    char n[16];
    std::snprintf(n, sizeof n, "%d", 3);
    EXPECT_TRUE(body.addElemValueForKey(std::string(n), std::string("n")));
    EXPECT_FALSE(body.addElemValueForKey(std::nullopt, std::string("deviceId")));
    EXPECT_FALSE(body.addElemValueForKey(std::string("x"), std::nullopt));
    EXPECT_TRUE(body.addElemValueForKey(std::string("SESSION-1"), std::string("jsessionId")));

    auto text = body.requestStr();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->find("SESSION-1"), std::string::npos);
    base::Value expected(base::Dictionary{
        {"root", base::Dictionary{{"parameters", base::Dictionary{{"methodName", "login"},
                                                                  {"accountId", "alice"},
                                                                  {"n", "3"}}}}}});
    EXPECT_EQ(parsed(*text), expected) << *text;
    // Asking twice does not lose the session to a later caller: the body keeps it.
    EXPECT_TRUE(body.parameters().contains("jsessionId"));

}

TEST_F(RequestFrameworkTest, ReaderTakesTheLastObjectEntryAndTheLanguageText)
{
    const std::string noStatus = Language::stringWithName("115");
    ASSERT_FALSE(noStatus.empty());
    struct Case {
        const char* answer;
        const char* status;
        const char* detail;
        std::string message;
    } cases[] = {
        {R"({"content":{},"results":[{"status":"200","detail":"a"},{"status":"101","detail":"b"}]})", "101", "b",
         Language::stringWithName("101")},
        {R"({"results":[{"status":"200"},"junk",7]})", "200", "", Language::stringWithName("200")},
        {R"({"results":[{"detail":"why","message":"Server text"}]})", "115", "why", noStatus},
        {R"({"content":{}})", "115", "", noStatus},
        {R"({"results":{"status":"200"}})", "115", "", noStatus},
        {R"({"results":[]})", "115", "", noStatus},
        {R"({"results":["200"]})", "115", "", noStatus},
        {R"([{"status":"200"}])", "115", "", noStatus},
        {"<html><body>Bad gateway</body></html>", "115", "", noStatus},
        {R"({"results":[{"status":200,"message":"ignored"}]})", "200", "", Language::stringWithName("200")},
        {R"({"results":[{"status":"87654","message":"Server text"}]})", "87654", "", noStatus},
        {R"({"results":[{"status":null,"detail":"d"}]})", "115", "d", noStatus},
    };
    for (const auto& c : cases) {
        NetBaseRst result;
        RequestInterfaceBase::DecodeResults(result, JSONValue(std::string(c.answer)));
        EXPECT_EQ(result.status, c.status) << c.answer;
        EXPECT_EQ(result.detail, c.detail) << c.answer;
        EXPECT_EQ(result.message, c.message) << c.answer;
    }

    // The base command has no body and reads only the envelope.
    RequestInterfaceBase base;
    EXPECT_FALSE(base.RequestEncode());
    auto result = base.RequestDecode(std::nullopt);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, "115");
}

TEST_F(RequestFrameworkTest, CommandTableAndDownloadCommand)
{
    static_assert(findServerCommand("RequestLogin")->code == kCmdLogin);
    static_assert(findServerCommand("RequestGetOrderHistory")->head == "SyncServer;");
    static_assert(findServerCommand("NoSuchCommand") == nullptr);
    const std::set<std::string_view> heads{"Vendor?", "Component?", "SyncServer?", "SyncServer;", "SyncClient;"};
    std::set<std::string_view> classes;
    std::set<std::pair<int, std::string_view>> routes;
    for (const auto& command : kServerCommands) {
        EXPECT_TRUE(classes.insert(command.className).second) << command.className;
        if (command.requestType == kRequestTypeMessage) {
            EXPECT_TRUE(heads.count(command.head)) << command.className;
            EXPECT_FALSE(command.methodName.empty()) << command.className;
            // Only 265 is shared, and its two commands differ by head.
            EXPECT_TRUE(routes.insert({command.code, command.head}).second) << command.className;
        }
    }
    EXPECT_EQ(classes.size(), 15u);

    RequestDownload first, second;
    EXPECT_EQ(second.downloadId(), first.downloadId() + 1);
    EXPECT_EQ(first.cmdCode(), kCmdDownload);
    EXPECT_EQ(first.requestType(), kRequestTypeDownload);
    EXPECT_EQ(first.imgType(), -1);
    EXPECT_FALSE(first.fileNameList());
    struct Case {
        const char* status;
        std::string message;
    } cases[] = {{"200", Language::stringWithName("200")},
                 {"404", Language::stringWithName("404")},
                 {"999", Language::stringWithName("DOWNLOADERROR")}};
    for (const auto& c : cases) {
        std::string answer = std::string(R"({"content":"","results":[{"status":")") + c.status + R"("}]})";
        auto result = std::dynamic_pointer_cast<DownloadRst>(first.RequestDecode(JSONValue(answer)));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status);
        EXPECT_EQ(result->message, c.message);
        EXPECT_FALSE(result->message.empty());
    }
}

TEST_F(RequestFrameworkTest, AddressesDeviceAnswersAndLoggedBodies)
{
    auto defaults = base::UserDefaults::standard();
    defaults->setString("127.0.0.1", "IP");
    defaults->setInteger(80, "Port");
    defaults->setString("Sales \xC3\x9C%", "Path");
    auto transport = HttpNetworkCtrl::sharedInstance();
    // The port is always written; what may not stand in an address is escaped, ";" and "?" stay.
    EXPECT_EQ(transport->GetMsgURLWithHeader("SyncServer;"), "http://127.0.0.1:80/Sales%20%C3%9C%25/SyncServer;");
    EXPECT_EQ(transport->GetMsgURLWithHeader("Vendor?"), "http://127.0.0.1:80/Sales%20%C3%9C%25/Vendor?");

    struct Case {
        const char* text;
        const char* status;
    } answers[] = {{HttpNetworkCtrl::kFailureText, "999"},
                   {HttpNetworkCtrl::kMissingFileText, "404"},
                   {HttpNetworkCtrl::kDownloadDoneText, "200"}};
    for (const auto& c : answers) {
        NetBaseRst result;
        RequestInterfaceBase::DecodeResults(result, JSONValue(std::string(c.text)));
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(std::string(c.text).find('\\'), std::string::npos);
    }
    EXPECT_EQ(std::string(HttpNetworkCtrl::kDownloadDoneText).size(), 90u);

    const int kinds[][2] = {{1, 6}, {2, 2}, {3, 3}, {4, 1}, {5, 4}, {6, -1}, {8, -1}, {0, -1}};
    for (const auto& kind : kinds)
        EXPECT_EQ(HttpNetworkCtrl::httpRspForError(kind[0]), kind[1]) << kind[0];

    // Logged bodies hide every password value, escaped quotes included, and nothing else.
    EXPECT_EQ(NetworkModel::maskedBody(R"({"root":{"parameters":{"password":"a\"b","accountId":"password"}}})"),
              R"({"root":{"parameters":{"password":"******","accountId":"password"}}})");
    EXPECT_EQ(NetworkModel::maskedBody(R"({"vendor":{"password" : "x"},"syncData":"{\"password\":\"y\"}"})"),
              R"({"vendor":{"password" : "******"},"syncData":"{\"password\":\"y\"}"})");
}

} // namespace
